#include "find/listing_find.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tallyglass {

namespace {

constexpr std::array<unsigned char, 256> make_fold_table() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c + 32);
  for (int c = 0xC0; c <= 0xDF; ++c) t[c] = static_cast<unsigned char>(c + 32);  // А..Я
  // Capitals outside the А..Я block and their small letters.
  constexpr unsigned char kPairs[][2] = {{0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xA5, 0xB4},
                                         {0xA1, 0xA2}, {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                         {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA3, 0xBC}, {0xBD, 0xBE}};
  for (const auto& p : kPairs) t[p[0]] = p[1];
  return t;
}

constexpr auto kFold = make_fold_table();

// Whether the folded needle occurs in the line. The first byte is looked for
// in both cases with memchr, which keeps a scan of 300,000 lines short.
bool contains(std::string_view line, const std::string& needle, unsigned char lower, unsigned char upper) {
  const std::size_t n = needle.size();
  if (line.size() < n) return false;
  const char* p = line.data();
  const char* const last = line.data() + (line.size() - n);
  while (p <= last) {
    const auto* a = static_cast<const char*>(std::memchr(p, lower, static_cast<std::size_t>(last - p) + 1));
    const auto* b = lower == upper ? nullptr
                                   : static_cast<const char*>(std::memchr(p, upper, static_cast<std::size_t>(last - p) + 1));
    const char* hit = a && b ? std::min(a, b) : a ? a : b;
    if (hit == nullptr) return false;
    std::size_t i = 1;
    while (i < n && kFold[static_cast<unsigned char>(hit[i])] == static_cast<unsigned char>(needle[i])) ++i;
    if (i == n) return true;
    p = hit + 1;
  }
  return false;
}

}  // namespace

unsigned char fold_cp1251(unsigned char byte) { return kFold[byte]; }

void ListingFind::set_text(std::string_view needle) {
  needle_.assign(needle);
  for (char& c : needle_) c = static_cast<char>(kFold[static_cast<unsigned char>(c)]);
  refresh();
}

void ListingFind::refresh() {
  matches_.clear();
  if (needle_.empty() || lines_ == nullptr) return;
  const auto lower = static_cast<unsigned char>(needle_[0]);
  // The other byte that folds to the same letter, if any.
  unsigned char upper = lower;
  for (int c = 0; c < 256; ++c) {
    if (kFold[c] == lower && c != lower) upper = static_cast<unsigned char>(c);
  }
  const auto& lines = *lines_;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (contains(lines[i], needle_, lower, upper)) matches_.push_back(static_cast<int>(i));
  }
}

int ListingFind::next(int row) const {
  if (matches_.empty()) return -1;
  const auto it = std::upper_bound(matches_.begin(), matches_.end(), row);
  return it == matches_.end() ? matches_.front() : *it;
}

int ListingFind::previous(int row) const {
  if (matches_.empty()) return -1;
  if (row < 0) return matches_.back();
  const auto it = std::lower_bound(matches_.begin(), matches_.end(), row);
  return it == matches_.begin() ? matches_.back() : *(it - 1);
}

int ListingFind::ordinal(int row) const {
  const auto it = std::lower_bound(matches_.begin(), matches_.end(), row);
  return it != matches_.end() && *it == row ? static_cast<int>(it - matches_.begin()) + 1 : 0;
}

}  // namespace tallyglass
