// The PDF read back with poppler's tools, and the CLI options that make it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "print/tape_pdf.h"
#include "journal/sootv.h"
#include "render/render_listing.h"
#include "text/cp1251.h"

#include "support/run_command.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;

using ShellRun = test_support::CommandRun;

ShellRun Shell(const std::string& command) { return test_support::RunCommand(command); }

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

// Spaces squeezed and trimmed: pdftotext places words by their position, so
// only the words and their order are compared.
std::string Squeezed(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    if (c == ' ' || c == '\f' || c == '\r') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    const auto nl = text.find('\n', at);
    const std::string line = Squeezed(text.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
    if (!line.empty()) lines.push_back(line);
    if (nl == std::string::npos) break;
    at = nl + 1;
  }
  return lines;
}

int PdfPages(const fs::path& pdf) {
  const ShellRun info = Shell("pdfinfo " + Quote(pdf));
  const auto at = info.out.find("Pages:");
  return at == std::string::npos ? -1 : std::stoi(info.out.substr(at + 6));
}

class TapePdfTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test_support::MakeScratchDir("tallyglass-pdf"); }
  void TearDown() override { fs::remove_all(dir_); }

  // The sample journal's listing as the CLI renders it by default.
  void RenderSample(Listing& listing, std::vector<std::size_t>& starts, TapeHeading& heading) {
    rq model;
    control loader;
    sootv di;
    ASSERT_TRUE(parse_and_load(test_support::SampleJournal(), model, loader));
    starts = render_listing(model, {kChoiceCheckZ, model.check_no_min, model.check_no_max}, di, listing)
                 .document_starts;
    heading = heading_for(model, kChoiceCheckZ, model.check_no_min, model.check_no_max);
  }

  // The text of one column of one page: pdftotext cropped to its rectangle.
  std::string ColumnText(const fs::path& pdf, const PageGeometry& g, std::size_t page, int column) {
    const int x = static_cast<int>(g.column_left(column) - g.char_width());
    const int w = static_cast<int>(g.column_width + g.char_width());
    const int y = static_cast<int>(g.body_top());
    const int h = static_cast<int>(g.rows_per_column * g.row_height() + g.font_size);
    const std::string p = std::to_string(page + 1);
    return Shell("pdftotext -layout -r 72 -f " + p + " -l " + p + " -x " + std::to_string(x) + " -y " +
                 std::to_string(y) + " -W " + std::to_string(w) + " -H " + std::to_string(h) + " " +
                 Quote(pdf) + " -")
        .out;
  }

  fs::path dir_;
};

TEST_F(TapePdfTest, SampleListingReadsBackLineByLineInOrderWithCyrillic) {
  Listing listing;
  std::vector<std::size_t> starts;
  TapeHeading heading;
  RenderSample(listing, starts, heading);
  ASSERT_GT(starts.size(), 5u);
  // Every document begins with the taxpayer's first heading line.
  for (std::size_t at : starts) EXPECT_EQ(listing.at(at), listing[0]) << "document at line " << at;
  const TapeLayout layout = lay_out_tape(listing, starts);
  const fs::path pdf = dir_ / "sample.pdf";
  const PdfResult result = write_tape_pdf(listing, layout, heading, pdf.string());
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.pages, layout.page_count());
  EXPECT_EQ(result.bytes, fs::file_size(pdf));

  std::vector<std::string> read_back;
  for (std::size_t p = 0; p < layout.page_count(); ++p) {
    for (std::size_t c = 0; c < layout.pages[p].columns.size(); ++c) {
      for (auto& line : NonEmptyLines(ColumnText(pdf, layout.pages[p].geometry, p, static_cast<int>(c)))) {
        read_back.push_back(std::move(line));
      }
    }
  }
  // Every tape line whole: the sample's line wider than the tape (48
  // characters) widens the columns of its page instead of wrapping.
  constexpr int kWidest = 148;  // one column at 6 pt
  std::vector<std::string> expected;
  std::size_t wrapped = 0;
  for (const auto& line : listing) {
    for (std::uint32_t r = 0; r < rows_of(line, kWidest); ++r) {
      std::string row = Squeezed(Cp1251ToUtf8(line.substr(r * kWidest, kWidest)));
      if (r > 0) {
        if (!row.empty() && row.front() == ' ') row.erase(0, 1);
        row = "↪" + row;
        ++wrapped;
      }
      if (!row.empty()) expected.push_back(std::move(row));
    }
  }
  EXPECT_EQ(wrapped, 0u);
  EXPECT_TRUE(std::any_of(listing.begin(), listing.end(), [](const std::string& l) { return visible_width(l) > 40; }));
  for (auto& line : read_back) {
    if (line.rfind("↪ ", 0) == 0) line.erase(3, 1);
  }
  ASSERT_EQ(read_back.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(read_back[i], expected[i]) << "line " << i;

  // The heading and the footer of the first page.
  const std::string first_page = Shell("pdftotext -layout -f 1 -l 1 " + Quote(pdf) + " -").out;
  EXPECT_NE(first_page.find("ЗН " + heading.zn), std::string::npos);
  EXPECT_NE(first_page.find("ФН " + heading.fn), std::string::npos);
  EXPECT_NE(first_page.find("стр. 1 из " + std::to_string(layout.page_count())), std::string::npos);
  EXPECT_NE(Shell("pdffonts " + Quote(pdf)).out.find("DejaVuSansMono"), std::string::npos);
}

TEST_F(TapePdfTest, LongListingHasThePagesOfItsLayout) {
  Listing one;
  std::vector<std::size_t> one_starts;
  TapeHeading heading;
  RenderSample(one, one_starts, heading);
  Listing listing;
  std::vector<std::size_t> starts;
  for (int copy = 0; copy < 25; ++copy) {
    for (std::size_t s : one_starts) starts.push_back(listing.size() + s);
    listing.insert(listing.end(), one.begin(), one.end());
  }
  const TapeLayout layout = lay_out_tape(listing, starts);
  ASSERT_GT(layout.page_count(), 20u);
  const fs::path pdf = dir_ / "long.pdf";
  std::size_t reported = 0;
  const PdfResult result = write_tape_pdf(listing, layout, heading, pdf.string(),
                                          [&](std::size_t done, std::size_t total) {
                                            EXPECT_EQ(done, reported + 1);
                                            EXPECT_EQ(total, layout.page_count());
                                            reported = done;
                                            return true;
                                          });
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(PdfPages(pdf), static_cast<int>(layout.page_count()));
  EXPECT_EQ(reported, layout.page_count());
  const std::string m = std::to_string(layout.page_count());
  EXPECT_NE(Shell("pdftotext -f " + m + " -l " + m + " " + Quote(pdf) + " -").out.find("стр. " + m + " из " + m),
            std::string::npos);
}

TEST_F(TapePdfTest, EmptyListingAndOverWideLines) {
  const fs::path empty = dir_ / "empty.pdf";
  ASSERT_TRUE(write_tape_pdf({}, lay_out_tape({}, {}), {}, empty.string()).ok());
  EXPECT_EQ(PdfPages(empty), 1);
  EXPECT_NE(Shell("pdftotext " + Quote(empty) + " -").out.find("Нет документов для показа"), std::string::npos);

  // Wider than one column at the smallest legible size (148 characters at
  // 6 pt): three rows, the second and third marked as carried over.
  const std::string wide = std::string(148, 'a') + std::string(148, 'b') + std::string(4, 'c');
  const fs::path pdf = dir_ / "wide.pdf";
  const Listing listing{"before", wide, "after"};
  ASSERT_TRUE(write_tape_pdf(listing, lay_out_tape(listing, {0}), {}, pdf.string()).ok());
  const auto lines = NonEmptyLines(Shell("pdftotext -raw " + Quote(pdf) + " -").out);
  const auto first = std::find(lines.begin(), lines.end(), "before");
  ASSERT_GE(lines.end() - first, 5);
  const std::vector<std::string> body(first, first + 5);
  EXPECT_EQ(body, (std::vector<std::string>{"before", std::string(148, 'a'), "↪" + std::string(148, 'b'),
                                            "↪" + std::string(4, 'c'), "after"}));
}

// A listing of 60-character lines (a product name and its text, longer than
// the tape): the pages holding them get two columns that wide, the others
// keep the tape's three, and pdftotext -layout gives back every line whole.
TEST_F(TapePdfTest, LinesLongerThanTheTapeComeBackWhole) {
  Listing listing;
  std::vector<std::size_t> starts;
  for (int doc = 0; doc < 40; ++doc) {
    starts.push_back(listing.size());
    for (int i = 0; i < 30; ++i) {
      std::string line = Utf8ToCp1251("  Кава " + std::to_string(doc) + "/" + std::to_string(i) +
                                      " нараховано 13 балів");
      if (doc < 20) line += std::string(60 - line.size() - 4, '.') + "1.00";  // 60 characters
      listing.push_back(line);
    }
  }
  const TapeLayout layout = lay_out_tape(listing, starts);
  EXPECT_EQ(layout.pages.front().geometry.line_width, 60);
  EXPECT_EQ(layout.pages.front().geometry.columns, 2);
  EXPECT_EQ(layout.pages.back().geometry.line_width, kTapeWidth);
  EXPECT_EQ(layout.pages.back().geometry.columns, 3);
  const fs::path pdf = dir_ / "long-lines.pdf";
  ASSERT_TRUE(write_tape_pdf(listing, layout, {}, pdf.string()).ok());
  const std::string text = Squeezed(Shell("pdftotext -layout " + Quote(pdf) + " -").out);
  for (const auto& line : listing) {
    const std::string whole = Squeezed(Cp1251ToUtf8(line));
    EXPECT_NE(text.find(whole), std::string::npos) << whole;
  }
  EXPECT_EQ(text.find("↪"), std::string::npos);
}

TEST_F(TapePdfTest, PagePictureForPrintersHasTheTapeOnIt) {
  const Listing listing{std::string(40, '#'), "x"};
  const TapeLayout layout = lay_out_tape(listing, {0});
  const PageImage image = draw_tape_page(listing, layout, {}, 0, 72);
  ASSERT_TRUE(image.error.empty()) << image.error;
  EXPECT_EQ(image.width, 595);
  EXPECT_EQ(image.height, 842);
  // The first tape row, a run of "#", darkens pixels where the layout puts it.
  const PageGeometry& g = layout.geometry;
  const int y0 = static_cast<int>(g.body_top());
  const int y1 = static_cast<int>(g.body_top() + g.row_height());
  std::size_t dark = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = static_cast<int>(g.column_left(0)); x < static_cast<int>(g.column_left(0) + 40 * g.char_width()); ++x) {
      dark += image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.stride) +
                           static_cast<std::size_t>(x) * 4] < 128;
    }
  }
  EXPECT_GT(dark, 100u);
}

TEST_F(TapePdfTest, FailureOrCancelLeavesNoFileBehind) {
  const Listing listing{"x"};
  const TapeLayout layout = lay_out_tape(listing, {0});

  const fs::path missing = dir_ / "no-such-dir" / "out.pdf";
  PdfResult result = write_tape_pdf(listing, layout, {}, missing.string());
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error.find(missing.string()), std::string::npos) << result.error;

  // A directory in the way: the temporary file is written, the rename fails.
  fs::create_directory(dir_ / "taken.pdf");
  fs::create_directory(dir_ / "taken.pdf" / "inside");
  result = write_tape_pdf(listing, layout, {}, (dir_ / "taken.pdf").string());
  EXPECT_FALSE(result.ok());
  EXPECT_FALSE(result.error.empty());

  // Cancelled over an existing file: the old file stays as it was.
  const fs::path kept = dir_ / "kept.pdf";
  { std::ofstream(kept) << "old"; }
  result = write_tape_pdf(listing, layout, {}, kept.string(), [](std::size_t, std::size_t) { return false; });
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(ReadFile(kept), "old");

  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"kept.pdf", "taken.pdf"}));
}

TEST_F(TapePdfTest, CliWritesPdfAndUtf8Text) {
  const std::string cli = "cd " + Quote(dir_) + " && '" TALLYGLASS_CLI "' render '" TALLYGLASS_SOURCE_DIR
                          "/samples/sample-journal.xml' ";
  const ShellRun plain = Shell(cli + "2>/dev/null");
  ASSERT_EQ(plain.status, 0);
  const ShellRun with_pdf = Shell(cli + "--pdf a.pdf 2>/dev/null");
  EXPECT_EQ(with_pdf.status, 0);
  EXPECT_EQ(with_pdf.out, plain.out);  // the text is untouched by --pdf
  const ShellRun quiet = Shell(cli + "--quiet --pdf=b.pdf 2>/dev/null");
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(ReadFile(dir_ / "b.pdf").substr(0, 5), "%PDF-");
  EXPECT_GT(PdfPages(dir_ / "b.pdf"), 0);

  // --out-encoding utf-8: the lines of standard output with CR LF; cp1251 stays the default.
  ASSERT_EQ(Shell(cli + "--quiet --out u.txt --out-encoding utf-8 2>/dev/null").status, 0);
  ASSERT_EQ(Shell(cli + "--quiet --out w.txt 2>/dev/null").status, 0);
  std::string crlf;
  for (char c : plain.out) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(ReadFile(dir_ / "u.txt"), crlf);
  EXPECT_EQ(ReadFile(dir_ / "w.txt"), Utf8ToCp1251(crlf));

  const ShellRun bad = Shell(cli + "--quiet --out v.txt --out-encoding latin1 2>&1");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.out.find("--out-encoding"), std::string::npos);
  const ShellRun unwritable = Shell(cli + "--quiet --pdf no-such-dir/c.pdf 2>&1");
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.out.find("no-such-dir/c.pdf"), std::string::npos) << unwritable.out;
}

}  // namespace
}  // namespace tallyglass
