// The date and time fields of the query window, the integer fields they are
// made of, and the number fields of a lookup reply.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "reader/query.h"

using namespace tallyglass;

namespace {

// What field_to_int must give: blanks, a sign, at most eleven digits, 32 bits.
bool Reference(std::string_view text, std::int32_t& out) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 11) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  std::int64_t v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::int32_t expected = 0;
  const bool valid = Reference(text, expected);
  try {
    const std::int32_t v = field_to_int(text);
    TG_FUZZ_CHECK(valid && v == expected);
    TG_FUZZ_CHECK(field_to_int(int_text(v)) == v);
  } catch (const FieldConversionError&) {
    TG_FUZZ_CHECK(!valid);
  }

  try {
    const date_e d = date_e::from_text(text);
    const std::string request = d.request_form();
    const std::string shown = d.display_form();
    TG_FUZZ_CHECK(request.size() >= 9 && shown.size() >= 8);
    const date_e previous = d.first_of_previous_month();
    TG_FUZZ_CHECK(previous.day == 1);
    (void)previous.request_form();
    // A date shown in its own form reads back as the same date.
    if (d.day >= 0 && d.day <= 99 && d.month >= 0 && d.month <= 99 && d.year >= 0 && d.year <= 99) {
      const date_e again = date_e::from_text(shown);
      TG_FUZZ_CHECK(again.day == d.day && again.month == d.month && again.year == d.year);
    }
  } catch (const FieldConversionError&) {
  }

  try {
    const time_e t = time_e::from_text(text);
    (void)t.request_form();
  } catch (const FieldConversionError&) {
  }

  for (int k = 1; k <= 2; ++k) {
    try {
      (void)reply_field(text, k);
    } catch (const FieldConversionError&) {
    }
  }
  return 0;
}
