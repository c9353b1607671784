// Where the tape lines land on the pages, without drawing anything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "print/tape_layout.h"

namespace tallyglass {
namespace {

// A listing of documents of the given line counts, each line short.
struct Documents {
  Listing listing;
  std::vector<std::size_t> starts;
};
Documents MakeDocuments(const std::vector<std::size_t>& sizes) {
  Documents d;
  for (std::size_t size : sizes) {
    d.starts.push_back(d.listing.size());
    for (std::size_t i = 0; i < size; ++i) d.listing.push_back("line " + std::to_string(d.listing.size()));
  }
  return d;
}

// The rows of every column of the layout, as (line, row) pairs in page order.
std::vector<std::pair<std::size_t, std::uint32_t>> Walk(const Listing& listing, const TapeLayout& layout) {
  std::vector<std::pair<std::size_t, std::uint32_t>> rows;
  for (const auto& page : layout.pages) {
    for (const auto& span : page.columns) {
      std::size_t line = span.first_line;
      std::uint32_t row = span.first_row;
      for (std::uint32_t n = 0; n < span.row_count; ++n) {
        rows.emplace_back(line, row);
        if (++row == rows_of(listing[line], page.geometry.line_width)) {
          row = 0;
          ++line;
        }
      }
    }
  }
  return rows;
}

// The last listing line a column shows (part of).
std::size_t LastLine(const Listing& listing, const ColumnSpan& span, int width) {
  std::size_t line = span.first_line;
  std::uint32_t row = span.first_row;
  for (std::uint32_t n = 1; n < span.row_count; ++n) {
    if (++row == rows_of(listing[line], width)) {
      row = 0;
      ++line;
    }
  }
  return line;
}

TEST(TapeLayout, FitsSeveralReadableTapeColumnsOnA4) {
  PageGeometry g;
  fit_columns(g);
  EXPECT_GE(g.columns, 3);
  EXPECT_GE(g.font_size, g.min_font_size);
  EXPECT_LE(g.column_left(g.columns - 1) + kTapeWidth * g.char_width(), g.page_width - g.margin + 0.01);
  EXPECT_GT(g.rows_per_column, 60);
}

TEST(TapeLayout, RowsOfALineIgnoreTrailingSpaces) {
  struct Case { std::string line; std::uint32_t rows; };
  const Case cases[] = {
      {"", 1},
      {std::string(40, 'x'), 1},
      {std::string(40, 'x') + "     ", 1},
      {std::string(41, 'x'), 2},
      {std::string(120, 'x'), 3},
      {std::string(121, 'x'), 4},
  };
  for (const auto& c : cases) EXPECT_EQ(rows_of(c.line), c.rows) << c.line.size() << " characters";
}

TEST(TapeLayout, EveryRowOnceInOrderAndNoShortDocumentSplit) {
  PageGeometry g;
  fit_columns(g);
  const std::size_t column = static_cast<std::size_t>(g.rows_per_column);
  // Short documents of awkward sizes, one longer than a column, then more.
  Documents d = MakeDocuments({30, 30, 25, column - 3, 40, column * 2 + 7, 12, 50, 50, 50, 1});
  // Wider than one column at 6 pt (148 characters): wraps onto three rows.
  d.listing[5] = std::string(300, 'w');
  const TapeLayout layout = lay_out_tape(d.listing, d.starts);

  const auto rows = Walk(d.listing, layout);
  std::vector<std::pair<std::size_t, std::uint32_t>> expected;
  for (std::size_t i = 0; i < d.listing.size(); ++i) {
    for (std::uint32_t r = 0; r < rows_of(d.listing[i], 148); ++r) expected.emplace_back(i, r);
  }
  EXPECT_EQ(rows, expected);

  // A document that fits a column starts and ends in the same column.
  for (std::size_t k = 0; k < d.starts.size(); ++k) {
    const std::size_t begin = d.starts[k];
    const std::size_t end = k + 1 < d.starts.size() ? d.starts[k + 1] : d.listing.size();
    std::uint32_t doc_rows = 0;
    for (std::size_t i = begin; i < end; ++i) doc_rows += rows_of(d.listing[i]);
    if (doc_rows > column) continue;
    int columns_touched = 0;
    for (const auto& page : layout.pages) {
      for (const auto& span : page.columns) {
        const std::size_t last = LastLine(d.listing, span, page.geometry.line_width);
        if (span.first_line < end && last >= begin) ++columns_touched;
      }
    }
    EXPECT_EQ(columns_touched, 1) << "document " << k;
  }
  for (const auto& page : layout.pages) {
    EXPECT_LE(page.columns.size(), static_cast<std::size_t>(page.geometry.columns));
    for (const auto& span : page.columns) EXPECT_LE(span.row_count, static_cast<std::uint32_t>(page.geometry.rows_per_column));
  }
  // The page of the wide line: one column at the smallest legible size.
  EXPECT_EQ(layout.pages[0].geometry.columns, 1);
  EXPECT_EQ(layout.pages[0].geometry.line_width, 148);
  EXPECT_EQ(layout.pages[0].geometry.font_size, 6.0);
  EXPECT_EQ(layout.pages.back().geometry.line_width, kTapeWidth);
}

TEST(TapeLayout, OneReceiptIsOnePageAndNothingIsOneEmptyPage) {
  const Documents one = MakeDocuments({28});
  const TapeLayout layout = lay_out_tape(one.listing, one.starts);
  ASSERT_EQ(layout.page_count(), 1u);
  EXPECT_EQ(layout.pages[0].columns.size(), 1u);
  EXPECT_FALSE(layout.empty);

  const TapeLayout none = lay_out_tape({}, {});
  EXPECT_EQ(none.page_count(), 1u);
  EXPECT_TRUE(none.empty);
}

}  // namespace
}  // namespace tallyglass
