#pragma once
// The listing saved as text in the register's code page or in UTF-8, which
// most people's editors open without garbled letters.
#include <optional>
#include <string>
#include <string_view>

#include "render/listing.h"

namespace tallyglass {

enum class TextEncoding {
  cp1251,  // the reader's own format: the listing's bytes as they are
  utf8,
};

// "cp1251" (also "windows-1251") or "utf-8" (also "utf8"), any case.
std::optional<TextEncoding> parse_text_encoding(std::string_view name);

// Writes the listing with CR LF after every line in the given encoding; throws
// std::system_error as save_listing does. cp1251 is exactly save_listing.
void save_listing_as(const Listing& listing, const std::string& path, TextEncoding encoding);

}  // namespace tallyglass
