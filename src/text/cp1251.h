#pragma once
// Windows-1251 is the program's text inside the core: one character, one byte,
// one column. These convert at the edges (Qt, terminal, libxml2, source literals).
#include <string>
#include <string_view>

namespace tallyglass {

// UTF-8 to Windows-1251. A character with no Windows-1251 byte, or a broken
// UTF-8 sequence, becomes "?".
std::string Utf8ToCp1251(std::string_view utf8);
// The same appended to out, without a string of its own.
void AppendUtf8AsCp1251(std::string& out, std::string_view utf8);

// Windows-1251 to UTF-8. The one unassigned byte, 0x98, becomes "?".
std::string Cp1251ToUtf8(std::string_view cp1251);
// The same appended to out, without a string of its own.
void AppendCp1251AsUtf8(std::string& out, std::string_view cp1251);

// Unicode code point of one Windows-1251 byte (0x98 gives U+FFFD).
char32_t Cp1251CodePoint(unsigned char byte);

// Windows-1251 byte of a code point, or '?' when there is none.
char CodePointToCp1251(char32_t code_point);

}  // namespace tallyglass
