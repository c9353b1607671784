#include "print/text_export.h"

#include <algorithm>
#include <cctype>

#include "reader/save_listing.h"
#include "text/cp1251.h"

namespace tallyglass {

std::optional<TextEncoding> parse_text_encoding(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "cp1251" || lower == "windows-1251") return TextEncoding::cp1251;
  if (lower == "utf-8" || lower == "utf8") return TextEncoding::utf8;
  return std::nullopt;
}

void save_listing_as(const Listing& listing, const std::string& path, TextEncoding encoding) {
  if (encoding == TextEncoding::cp1251) {
    save_listing(listing, path);
    return;
  }
  std::vector<std::string> utf8;
  utf8.reserve(listing.size());
  for (const auto& line : listing) utf8.push_back(Cp1251ToUtf8(line));
  write_crlf_lines(utf8, path);
}

}  // namespace tallyglass
