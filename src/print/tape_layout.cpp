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
  // What one column holds at the smallest legible size, the gutter included.
  const int widest = std::max(kTapeWidth, static_cast<int>(usable / (g.smallest_font_size * g.advance_em)) - 1);
  g.line_width = std::clamp(g.line_width, kTapeWidth, widest);
  // A column: the wrap-mark gutter plus the line, in ems.
  const double column_ems = (g.line_width + 1) * g.advance_em;
  g.columns = std::max(1, static_cast<int>((usable + g.column_gap) /
                                           (column_ems * g.min_font_size + g.column_gap)));
  const double fill = (usable - (g.columns - 1) * g.column_gap) / (g.columns * column_ems);
  g.font_size = std::clamp(fill, g.columns == 1 ? g.smallest_font_size : g.min_font_size, g.max_font_size);
  // Round down to a tenth of a point so the numbers in the file stay short.
  g.font_size = std::floor(g.font_size * 10) / 10;
  g.column_width = column_ems * g.font_size;
  const double body = g.page_height - 2 * g.margin - g.header_height - g.footer_height;
  g.rows_per_column = std::max(1, static_cast<int>(body / g.row_height()));
}

std::size_t visible_width(std::string_view line) {
  const auto end = line.find_last_not_of(' ');
  return end == std::string_view::npos ? 0 : end + 1;
}

std::uint32_t rows_of(std::string_view line, int width) {
  const std::size_t visible = visible_width(line);
  const auto w = static_cast<std::size_t>(width);
  return visible <= w ? 1 : static_cast<std::uint32_t>((visible + w - 1) / w);
}

namespace {

// A run of listing lines that stays in one column when it can: a document.
struct Block {
  std::size_t begin = 0, end = 0;
};

// Where the next page starts: a line of a block, and a row of that line.
struct Cursor {
  std::size_t block = 0;
  std::size_t line = 0;
  std::uint32_t row = 0;
};

// Fills one page with geometry g from `at`, column by column. Returns where
// the next page starts; `widest` receives the widest line placed.
Cursor fill_page(const Listing& listing, const std::vector<Block>& blocks, Cursor at, const PageGeometry& g,
                 TapePage& page, std::size_t& widest) {
  page = {};
  page.geometry = g;
  page.columns.reserve(static_cast<std::size_t>(g.columns));
  const auto rows_per_column = static_cast<std::uint32_t>(g.rows_per_column);
  std::uint32_t used = rows_per_column;  // no column open yet
  const auto free_rows = [&] { return page.columns.empty() ? 0 : rows_per_column - used; };
  // Opens the next column; false when the page has no more.
  const auto next_column = [&] {
    if (static_cast<int>(page.columns.size()) == g.columns) return false;
    page.columns.emplace_back();
    used = 0;
    return true;
  };
  widest = 0;
  for (; at.block < blocks.size(); ++at.block) {
    const Block& b = blocks[at.block];
    if (at.line < b.begin) at = {at.block, b.begin, 0};
    // A block that fits a column but not what is left of this one moves on.
    if (at.line == b.begin && at.row == 0) {
      std::uint64_t rows = 0;
      for (std::size_t i = b.begin; i < b.end; ++i) rows += rows_of(listing[i], g.line_width);
      if (rows > free_rows() && rows <= rows_per_column && !next_column()) return at;
    }
    for (; at.line < b.end; ++at.line, at.row = 0) {
      const std::uint32_t rows = rows_of(listing[at.line], g.line_width);
      widest = std::max(widest, visible_width(listing[at.line]));
      while (at.row < rows) {
        if (free_rows() == 0 && !next_column()) return at;
        ColumnSpan& span = page.columns.back();
        if (span.row_count == 0) {
          span.first_line = at.line;
          span.first_row = at.row;
        }
        const std::uint32_t n = std::min(rows - at.row, free_rows());
        span.row_count += n;
        used += n;
        at.row += n;
      }
    }
  }
  return at;
}

}  // namespace

TapeLayout lay_out_tape(const Listing& listing, const std::vector<std::size_t>& document_starts,
                        PageGeometry geometry) {
  TapeLayout layout;
  geometry.line_width = kTapeWidth;
  fit_columns(geometry);
  layout.geometry = geometry;
  layout.empty = listing.empty();
  if (listing.empty()) {
    layout.pages.emplace_back();
    layout.pages.back().geometry = geometry;
    return layout;
  }

  // The blocks: each runs to the next document start after its first line.
  std::vector<Block> blocks;
  auto next_start = document_starts.begin();
  for (std::size_t line = 0; line < listing.size();) {
    while (next_start != document_starts.end() && *next_start <= line) ++next_start;
    const std::size_t end = next_start == document_starts.end() ? listing.size()
                                                                : std::min(*next_start, listing.size());
    blocks.push_back({line, end});
    line = end;
  }

  // Page by page: laid out at the tape's width, and again wider while the
  // page took a longer line than its columns hold (the width only grows, to
  // at most what one column holds, so this ends).
  Cursor at;
  while (at.block < blocks.size()) {
    PageGeometry g = geometry;
    TapePage page;
    std::size_t widest = 0;
    Cursor next = fill_page(listing, blocks, at, g, page, widest);
    while (widest > static_cast<std::size_t>(g.line_width)) {
      const int before = g.line_width;
      g.line_width = static_cast<int>(std::min<std::size_t>(widest, 100000));
      fit_columns(g);
      if (g.line_width == before) break;  // as wide as a column gets: the rest wraps
      next = fill_page(listing, blocks, at, g, page, widest);
    }
    layout.pages.push_back(std::move(page));
    at = next;
  }
  return layout;
}

}  // namespace tallyglass
