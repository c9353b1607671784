#include "print/tape_layout.h"

#include <algorithm>
#include <cmath>

namespace tallyglass {

double PageGeometry::column_left(int column) const {
  // The wrap mark sits in the gutter one character wide left of the text.
  return margin + column * (column_width + column_gap) + char_width();
}

void fit_columns(PageGeometry& g) {
  const double usable = g.page_width - 2 * g.margin;
  // A column: the wrap-mark gutter plus the tape, in ems.
  const double column_ems = (kTapeWidth + 1) * g.advance_em;
  g.columns = std::max(1, static_cast<int>((usable + g.column_gap) /
                                           (column_ems * g.min_font_size + g.column_gap)));
  const double fill = (usable - (g.columns - 1) * g.column_gap) / (g.columns * column_ems);
  g.font_size = std::clamp(fill, g.min_font_size, g.max_font_size);
  // Round down to a tenth of a point so the numbers in the file stay short.
  g.font_size = std::floor(g.font_size * 10) / 10;
  g.column_width = column_ems * g.font_size;
  const double body = g.page_height - 2 * g.margin - g.header_height - g.footer_height;
  g.rows_per_column = std::max(1, static_cast<int>(body / g.row_height()));
}

std::uint32_t rows_of(std::string_view line) {
  const auto end = line.find_last_not_of(' ');
  const std::size_t visible = end == std::string_view::npos ? 0 : end + 1;
  return visible <= kTapeWidth ? 1 : static_cast<std::uint32_t>((visible + kTapeWidth - 1) / kTapeWidth);
}

namespace {

// Fills columns and pages row by row.
class Placer {
 public:
  explicit Placer(TapeLayout& layout) : layout_(layout), rows_(layout.geometry.rows_per_column) {}

  std::uint32_t free_rows() const { return open_ ? rows_ - used_ : 0; }

  // Starts the next column, on a new page when this one is full.
  void next_column() {
    auto& pages = layout_.pages;
    if (pages.empty() || static_cast<int>(pages.back().columns.size()) == layout_.geometry.columns) {
      pages.emplace_back();
      pages.back().columns.reserve(static_cast<std::size_t>(layout_.geometry.columns));
    }
    pages.back().columns.emplace_back();
    open_ = true;
    used_ = 0;
  }

  // Puts rows [first_row, first_row + count) of a line at the current place.
  void put(std::size_t line, std::uint32_t first_row, std::uint32_t count) {
    while (count > 0) {
      if (free_rows() == 0) next_column();
      ColumnSpan& span = layout_.pages.back().columns.back();
      if (span.row_count == 0) {
        span.first_line = line;
        span.first_row = first_row;
      }
      const std::uint32_t n = std::min(count, free_rows());
      span.row_count += n;
      used_ += n;
      first_row += n;
      count -= n;
    }
  }

 private:
  TapeLayout& layout_;
  std::uint32_t rows_;
  std::uint32_t used_ = 0;
  bool open_ = false;
};

}  // namespace

TapeLayout lay_out_tape(const Listing& listing, const std::vector<std::size_t>& document_starts,
                        PageGeometry geometry) {
  TapeLayout layout;
  fit_columns(geometry);
  layout.geometry = geometry;
  layout.empty = listing.empty();
  if (listing.empty()) {
    layout.pages.emplace_back();
    return layout;
  }

  Placer placer(layout);
  auto next_start = document_starts.begin();
  std::size_t line = 0;
  while (line < listing.size()) {
    // The block runs to the next document start after its first line.
    while (next_start != document_starts.end() && *next_start <= line) ++next_start;
    const std::size_t end = next_start == document_starts.end() ? listing.size()
                                                                : std::min(*next_start, listing.size());
    std::uint64_t rows = 0;
    for (std::size_t i = line; i < end; ++i) rows += rows_of(listing[i]);
    // A block that fits a column but not what is left of this one moves on.
    if (rows > placer.free_rows() && rows <= static_cast<std::uint64_t>(geometry.rows_per_column)) {
      placer.next_column();
    }
    for (std::size_t i = line; i < end; ++i) placer.put(i, 0, rows_of(listing[i]));
    line = end;
  }
  return layout;
}

}  // namespace tallyglass
