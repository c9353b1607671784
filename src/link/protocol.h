#pragma once
// The register protocol's vocabulary that the link, the reader, the emulator
// and the tests share: the document classes of the "B" request, the size of a
// document part, and the network number.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tallyglass {

// Class codes of the "B" (document part) request.
inline constexpr int kClassZ = 0;      // Z-reports
inline constexpr int kClassCheck = 1;  // receipts

// A document crosses the line in parts of this many bytes before Base64; a
// shorter part is its last.
inline constexpr std::size_t kPartSize = 150;

// The register's network number: 1 to 99, one or two digits, blanks and tabs
// around allowed. One rule for connecting and for every request after it.
inline std::optional<std::int32_t> ParseNetworkNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > 2) return std::nullopt;
  std::int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1) return std::nullopt;
  return value;
}

}  // namespace tallyglass
