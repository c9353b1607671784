// The number readers of the journal's value types, and the float-to-integer
// step the loader and the renderer apply to what they read.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string_view>

#include "fuzz_support.h"
#include "journal/values.h"

using namespace tallyglass;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const float v = to_number(text);
    TG_FUZZ_CHECK(!std::isnan(v));
    (void)truncate_to_int(v);
    TG_FUZZ_CHECK(to_locale_number(text) == v);
  } catch (const std::exception&) {
  }
  try {
    const std::int32_t v = to_integer_or_zero(text);
    // Whatever reads as an integer reads as the same number.
    if (v != 0) TG_FUZZ_CHECK(to_number(text) == static_cast<float>(v));
  } catch (const std::exception&) {
  }
  try {
    (void)to_short_integer(text);
  } catch (const std::exception&) {
  }
  try {
    (void)to_text(text);
  } catch (const std::exception&) {
  }
  if (size >= sizeof(float)) {
    float raw;
    std::memcpy(&raw, data, sizeof raw);  // any bit pattern, NaN and infinities included
    (void)truncate_to_int(raw);
  }
  return 0;
}
