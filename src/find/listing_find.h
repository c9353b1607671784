#pragma once
// Finding text in a listing of Windows-1251 lines, letter case ignored for
// Latin and Cyrillic alike. The find bar of the windows steps through the
// matching lines with it; it is Qt-free so that it can be tested and timed.
#include <string>
#include <string_view>
#include <vector>

namespace tallyglass {

// The lower-case letter of a Windows-1251 byte (Latin, Russian, Ukrainian,
// Belarusian, Serbian and Macedonian letters); any other byte as it is.
unsigned char fold_cp1251(unsigned char byte);

class ListingFind {
 public:
  explicit ListingFind(const std::vector<std::string>* lines) : lines_(lines) {}

  // The text to find (Windows-1251). Finds every matching line at once, so
  // that the count is known and each step is a lookup.
  void set_text(std::string_view needle);
  // After the lines changed: the matches are found again.
  void refresh();

  const std::string& text() const { return needle_; }
  int count() const { return static_cast<int>(matches_.size()); }
  const std::vector<int>& matches() const { return matches_; }

  // The first matching line after `row` (from the top when `row` is -1),
  // wrapping past the end; -1 when nothing matches.
  int next(int row) const;
  // The last matching line before `row` (from the bottom when `row` is -1 or
  // past the end), wrapping past the start; -1 when nothing matches.
  int previous(int row) const;
  // 1-based place of `row` among the matches, 0 when it is not one.
  int ordinal(int row) const;

 private:
  const std::vector<std::string>* lines_;
  std::string needle_;  // folded
  std::vector<int> matches_;
};

}  // namespace tallyglass
