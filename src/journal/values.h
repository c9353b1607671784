#pragma once
// The value types of journal attributes. Each conversion throws ConversionError
// (without element and attribute names; the loader adds them) when the text
// does not fit its type. An empty text fits no type.
#include <cstdint>
#include <string_view>

namespace tallyglass {

// Blanks, an optional sign, digits with an optional "." and fraction digits,
// an optional exponent, blanks. The decimal point is "." whatever the locale.
float to_number(std::string_view text);

// The program's own number format (decimal point "."), used by "I" N and T;
// it reads every integer exactly as to_number does.
float to_locale_number(std::string_view text);

// A signed decimal integer; any other non-empty text gives 0.
std::int32_t to_integer_or_zero(std::string_view text);

// A signed decimal integer (32-bit range), kept modulo 65536.
std::int16_t to_short_integer(std::string_view text);

// Any non-empty text.
std::string_view to_text(std::string_view text);

// Toward zero, clamped to the 32-bit range.
std::int32_t truncate_to_int(float value);

}  // namespace tallyglass
