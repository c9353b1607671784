#include "journal/values.h"

#include <charconv>
#include <limits>
#include <system_error>

#include "journal/journal_error.h"

namespace tallyglass {
namespace {

[[noreturn]] void fail(std::string_view text, const char* problem) {
  throw ConversionError({}, {}, std::string(text), text.empty() ? "is empty" : problem);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A signed decimal integer within the 32-bit range, or false.
bool read_int32(std::string_view text, std::int32_t& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!is_digit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

float to_number(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end && is_blank(*p)) ++p;
  const char* start = p;  // from_chars takes "-" but not "+"
  if (p < end && (*p == '+' || *p == '-')) {
    if (*p == '+') start = p + 1;
    ++p;
  }
  std::size_t digits = 0;
  while (p < end && is_digit(*p)) ++p, ++digits;
  if (p < end && *p == '.') {
    ++p;
    while (p < end && is_digit(*p)) ++p, ++digits;
  }
  if (digits == 0) fail(text, "is not a number");
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    if (p == end || !is_digit(*p)) fail(text, "is not a number");
    while (p < end && is_digit(*p)) ++p;
  }
  const char* const number_end = p;
  while (p < end && is_blank(*p)) ++p;
  if (p != end) fail(text, "is not a number");
  float value = 0;
  const auto [stop, ec] = std::from_chars(start, number_end, value, std::chars_format::general);
  if (ec != std::errc() || stop != number_end) fail(text, "is not a number");
  return value;
}

float to_locale_number(std::string_view text) { return to_number(text); }

std::int32_t to_integer_or_zero(std::string_view text) {
  if (text.empty()) fail(text, "");
  std::int32_t value = 0;
  return read_int32(text, value) ? value : 0;
}

std::int16_t to_short_integer(std::string_view text) {
  std::int32_t value = 0;
  if (!read_int32(text, value)) fail(text, "is not a short integer");
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

std::string_view to_text(std::string_view text) {
  if (text.empty()) fail(text, "");
  return text;
}

std::int32_t truncate_to_int(float value) {
  if (value != value) return 0;  // NaN has no integer part
  const double d = value;
  if (d >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (d <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(d);
}

}  // namespace tallyglass
