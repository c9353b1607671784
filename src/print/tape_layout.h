#pragma once
// Where every tape line of a listing goes on A4 pages: the documents in
// tape-wide columns, side by side, as many as fit at a readable size. The
// layout is computed whole before anything is drawn (the footer needs the page
// count) but holds only a few numbers per page, so the drawing can stream.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "render/listing.h"

namespace tallyglass {

// Characters of the register's tape. A page holding longer lines has wider
// columns; only a line wider than a page's one column at the smallest size
// wraps onto marked rows.
inline constexpr int kTapeWidth = 40;

// Page and type measures in PDF points (1/72 inch).
struct PageGeometry {
  double page_width = 595.276;   // A4
  double page_height = 841.890;
  double margin = 28.0;          // about 10 mm on every side
  double header_height = 22.0;   // heading text and its rule
  double footer_height = 16.0;
  double column_gap = 10.0;
  double min_font_size = 7.0;    // smallest size still comfortable to read
  double smallest_font_size = 6.0;  // still legible: for one column of long lines
  double max_font_size = 10.0;
  double advance_em = 0.6021;    // advance of one character of the fixed-pitch font, in ems
  double line_spacing = 1.18;    // row pitch in ems

  // Characters a column's row holds: the tape's width, or the longest line
  // of the page (fit_columns lowers it to what one column can hold).
  int line_width = kTapeWidth;

  // Chosen by fit_columns from the measures above.
  int columns = 0;
  double font_size = 0;
  double column_width = 0;  // the line width plus the wrap mark's gutter
  int rows_per_column = 0;

  double char_width() const { return font_size * advance_em; }
  double row_height() const { return font_size * line_spacing; }
  // Left edge of a column's text and top of its first row.
  double column_left(int column) const;
  double body_top() const { return margin + header_height; }
};

// Fills the chosen part of the geometry: the column count of line_width
// characters at the smallest readable size, then the largest font size up to
// the maximum at which that many columns still fill the width. One column too
// wide even so takes a smaller size down to the smallest legible one, and
// line_width is lowered to what that holds.
void fit_columns(PageGeometry& g);

// One column's share: rows_count rows starting at row first_row of listing
// line first_line (rows past the first come from a wrapped line).
struct ColumnSpan {
  std::size_t first_line = 0;
  std::uint32_t first_row = 0;
  std::uint32_t row_count = 0;
};

struct TapePage {
  PageGeometry geometry;            // this page's columns, size and line width
  std::vector<ColumnSpan> columns;  // left to right; fewer than the page holds on the last page
};

struct TapeLayout {
  PageGeometry geometry;  // the page, and the columns of a page of tape-wide lines
  std::vector<TapePage> pages;  // at least one; an empty listing gives one page without columns
  bool empty = true;            // the listing had no lines
  std::size_t page_count() const { return pages.size(); }
};

// Visible characters of a line: trailing spaces do not count.
std::size_t visible_width(std::string_view line);

// Rows a listing line takes: its visible characters in rows of `width`, at
// least one.
std::uint32_t rows_of(std::string_view line, int width = kTapeWidth);

// Lays the listing out. document_starts holds the listing index where each
// rendered document begins, in increasing order (what render_listing reports);
// lines before the first start form a block of their own. A block never
// breaks across columns unless it is longer than one column. Each page's
// columns are as wide as its longest line.
TapeLayout lay_out_tape(const Listing& listing, const std::vector<std::size_t>& document_starts,
                        PageGeometry geometry = {});

}  // namespace tallyglass
