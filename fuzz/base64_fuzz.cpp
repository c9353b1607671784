// Base64 decoding of any text, and the round trip of any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string decoded = tallyglass::DecodeBase64(input);
  // Four characters give at most three bytes.
  TG_FUZZ_CHECK(decoded.size() * 4 <= size * 3);
  TG_FUZZ_CHECK(tallyglass::DecodeBase64(tallyglass::EncodeBase64(input)) == input);
  // A decoding is stable: what the decoded bytes encode to decodes back to them.
  TG_FUZZ_CHECK(tallyglass::DecodeBase64(tallyglass::EncodeBase64(decoded)) == decoded);
  return 0;
}
