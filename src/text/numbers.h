#pragma once
// Reading and writing whole numbers, never through the global locale. The
// program reads integers under a few different rules, each named here once.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyglass {

// The whole text is a decimal integer that fits: digits with an optional "-"
// in front, nothing else ("12", "-3"; not "+3", " 3", "3 ", "").
std::optional<std::int64_t> ParseExactInteger(std::string_view text);

// The same, limited to a 32-bit signed value.
std::optional<std::int32_t> ParseExactInt32(std::string_view text);

// A count or number a person typed: digits only, with blanks and tabs around
// allowed ("5", " 5 "; not "+5", "-5", "5a").
std::optional<std::int64_t> ParseTypedNatural(std::string_view text);

// A text field read as the windows read their integer fields: leading blanks,
// then an optional "+" or "-", then 1 to 11 digits and nothing after them,
// within 32 bits ("  42", "+7", "-3"; not "4 2", "42 ", "").
std::optional<std::int32_t> ParseFieldInteger(std::string_view text);

// The decimal text of a value: "-12", "0".
std::string IntText(std::int64_t value);

}  // namespace tallyglass
