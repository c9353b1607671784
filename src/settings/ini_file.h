#pragma once
// A small private-profile (INI) file layer: sections in square brackets, then
// key=value lines. Section and key names match without regard to case; values
// are kept exactly as written. Text is Windows-1251 bytes; new lines end in CR LF.
#include <cstddef>
#include <string>
#include <string_view>

namespace tallyglass {

// The value of `key` in `section`, or `default_value` when the file, the section
// or the key is missing. The result is cut to `area_size` - 1 bytes, as a read
// into an area of that many bytes (its last byte the terminator) would give.
// Surrounding blanks of the value are dropped, and one pair of enclosing quotes.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view default_value,
                              std::size_t area_size);

// Stores key=value in section. The file is created when missing; a missing
// section is appended at the end of the file, a missing key at the end of its
// section; every other line keeps its bytes. False when the file cannot be
// read or written.
bool WriteProfileString(const std::string& path, std::string_view section,
                        std::string_view key, std::string_view value);

}  // namespace tallyglass
