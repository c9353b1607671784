#include "render/render_listing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "render/compose.h"
#include "render/selection.h"
#include "support/model_builders.h"

#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::W;

const std::string& FirstHeadingLine() {
  static const std::string k = W("          ДП \"Компанія ZENTA\"");
  return k;
}

// The receipt numbers and Z-report numbers in the listing, in order: each
// document shows as its footer ("  000000138 ...") or its title.
std::vector<std::string> Documents(const Listing& listing) {
  static const std::string title = W("           Z-звіт N ");
  std::vector<std::string> docs;
  for (const auto& line : listing) {
    if (line.rfind("  0", 0) == 0 && line.size() > 11 && line[11] == ' ') docs.push_back(line.substr(2, 9));
    if (line.rfind(title, 0) == 0) docs.push_back("Z" + line.substr(title.size()));
  }
  return docs;
}

class RenderListingTest : public ::testing::Test {
 protected:

  Listing Render(int choice, std::int32_t first, std::int32_t last) {
    Listing out;
    result_ = render_listing(model_, {choice, first, last}, di_, out);
    return out;
  }
  // What error.log is given from the result: the last failure's message.
  std::string Log() const { return result_.ok() ? "" : result_.failures.back().message + "\n"; }

  rq model_;
  sootv di_;
  RenderResult result_;
};

TEST_F(RenderListingTest, NothingLoaded) {
  EXPECT_EQ(Render(kChoiceCheck, 1, 1), Listing{W("Запрашиваемые данные отсутствуют!")});
  EXPECT_EQ(di_.size(), 0u);
}

TEST_F(RenderListingTest, FindPositionFromReceiptNumbers) {
  test_support::add_receipt(model_, 10, 138);
  test_support::add_receipt(model_, 11, 140);
  struct Case {
    std::int32_t n;
    RangeEnd which;
    std::int32_t position;
  };
  const Case cases[] = {
      {138, RangeEnd::start, 0}, {140, RangeEnd::end, 1},   {139, RangeEnd::start, 0},
      {139, RangeEnd::end, 0},   {5, RangeEnd::start, 0},   {5, RangeEnd::end, 0},
      {500, RangeEnd::start, 1}, {500, RangeEnd::end, 1},   {140, RangeEnd::start, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_position(model_, c.n, c.which), c.position)
        << c.n << (c.which == RangeEnd::start ? " start" : " end");
  }
  EXPECT_EQ(Documents(Render(kChoiceCheck, 138, 140)), (std::vector<std::string>{"000000138", "000000140"}));
  EXPECT_EQ(Documents(Render(kChoiceCheck, 139, 140)), (std::vector<std::string>{"000000138", "000000140"}));
  // The ordering table keeps the DI of every loaded position.
  EXPECT_EQ(di_.ordered_copy(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{0, 10}, {1, 11}}));
}

TEST_F(RenderListingTest, WalksInDiOrderFromTheStartPair) {
  // Load order 1, 2, 3 with DI 30, 10, 20: the DI order is 2, 3, 1.
  test_support::add_receipt(model_, 30, 1);
  test_support::add_receipt(model_, 10, 2);
  test_support::add_receipt(model_, 20, 3);
  EXPECT_EQ(Documents(Render(kChoiceCheck, 2, 3)), (std::vector<std::string>{"000000002", "000000003"}));
  // The start is looked up in DI order too: receipt 2 comes first, above 1,
  // so the range starts there; receipt 1 lies after the end in the journal.
  EXPECT_EQ(Documents(Render(kChoiceCheck, 1, 2)), (std::vector<std::string>{"000000002"}));
  EXPECT_EQ(Documents(Render(kChoiceCheck, 1, 3)), (std::vector<std::string>{"000000002", "000000003"}));
  // Documents follow one another directly, each closed by its two separators.
  const Listing all = Render(kChoiceCheck, 2, 3);
  EXPECT_EQ(all.size(), 2 * 15u);
  EXPECT_EQ(all[15], FirstHeadingLine());
}

TEST_F(RenderListingTest, RangesLoadedOutOfJournalOrderAndCopiesShowEachDocumentOnce) {
  using Docs = std::vector<std::string>;
  // Requests 1-2, 5-6, then 3-4, then 2 again: load order 1 2 5 6 3 4 2.
  for (int n : {1, 2, 5, 6, 3, 4, 2}) test_support::add_receipt(model_, static_cast<float>(n), static_cast<float>(n));
  test_support::add_zreport(model_, 4.5f, 9);
  test_support::add_zreport(model_, 4.5f, 9);
  EXPECT_EQ(find_position(model_, 3, RangeEnd::start), 4);
  EXPECT_EQ(find_position(model_, 4, RangeEnd::end), 5);
  EXPECT_EQ(Documents(Render(kChoiceCheck, 3, 4)), (Docs{"000000003", "000000004"}));
  EXPECT_EQ(Documents(Render(kChoiceCheck, 1, 6)),
            (Docs{"000000001", "000000002", "000000003", "000000004", "000000005", "000000006"}));
  EXPECT_EQ(Documents(Render(kChoiceCheckZ, 2, 5)), (Docs{"000000002", "000000003", "000000004", "Z9", "000000005"}));
  EXPECT_EQ(Documents(Render(kChoiceZ, 9, 9)), (Docs{"Z9"}));
  // An end before the start in the journal: nothing.
  EXPECT_TRUE(Render(kChoiceCheck, 5, 3).empty());
}

TEST_F(RenderListingTest, DispatchByTypeChoice) {
  test_support::add_receipt(model_, 1, 1);
  test_support::add_receipt(model_, 2, 2).T = 2;
  test_support::add_receipt(model_, 3, 3);
  test_support::add_zreport(model_, 4, 7);
  using Docs = std::vector<std::string>;
  EXPECT_EQ(Documents(Render(kChoiceCheck, 1, 3)), (Docs{"000000001", "000000002", "000000003"}));
  // The Z-report after the last requested receipt is inside the range when
  // the end number is not itself a loaded receipt.
  EXPECT_EQ(Documents(Render(kChoiceCheckZ, 1, 3)), (Docs{"000000001", "000000002", "000000003"}));
  EXPECT_EQ(Documents(Render(kChoiceCheckZ, 2, 5)), (Docs{"000000002", "000000003", "Z7"}));
  const Listing service = Render(kChoiceService, 1, 3);
  EXPECT_EQ(Documents(service), (Docs{"000000002"}));
  EXPECT_EQ(service[3], W("            Каса00")) << "short layout";
  EXPECT_TRUE(Render(kChoiceNone, 1, 3).empty());
  // The heading of every document takes its fiscal number from position 0.
  model_.dats[0].FN = "0000000001";
  model_.dats[2].FN = "3333333333";
  const Listing third = Render(kChoiceCheck, 3, 3);
  EXPECT_EQ(third[3], W("     ЗН 402400089  ФН 0000000001"));
}

TEST_F(RenderListingTest, DocumentWithNeitherRendersAsAnEmptyReceipt) {
  test_support::add_doc(model_, 1);
  const Listing got = Render(kChoiceCheck, 0, 0);
  EXPECT_EQ(got.size(), 10u) << test_support::ShowListing(got);
  EXPECT_EQ(Documents(got), std::vector<std::string>{"000000000"});
}

TEST_F(RenderListingTest, FailedDocumentIsLoggedAndTheNextRenderedInFull) {
  check& bad = test_support::add_receipt(model_, 1, 1);
  for (const char* group : {"1", "x"}) {
    sale& s = test_support::add_p(bad);
    s.NM = "a";
    s.SM = 100;
    s.TX = group;
  }
  test_support::add_receipt(model_, 2, 2);
  const Listing got = Render(kChoiceCheck, 1, 2);
  // Heading (4), cash desk, separator and the first sale line of receipt 1,
  // then receipt 2 whole.
  ASSERT_EQ(got.size(), 7u + 15u) << test_support::ShowListing(got);
  EXPECT_EQ(got[6], test_support::Line(45, {test_support::At(3, "a"), test_support::End(39, "1.00 A")}));
  EXPECT_EQ(got[7], FirstHeadingLine());
  EXPECT_EQ(Documents(got), std::vector<std::string>{"000000002"});
  EXPECT_EQ(Log(), "receipt 1 (DI 1): tax group \"x\" is not an integer\n");
  ASSERT_EQ(result_.failures.size(), 1u);
  EXPECT_EQ(result_.failures[0].position, 0);
  EXPECT_EQ(result_.failures[0].number, 1);
  EXPECT_FALSE(result_.failures[0].zreport);

  // Both failures are reported in listing order; the log holds the last.
  test_support::add_i(model_.dats[1].checks[0]).SM = 1e38f;
  Render(kChoiceCheck, 1, 2);
  ASSERT_EQ(result_.failures.size(), 2u);
  EXPECT_EQ(result_.failures[1].number, 2);
  EXPECT_EQ(Log().find("receipt 2 (DI 2): value \"9999"), 0u) << Log();
  EXPECT_NE(Log().find("does not fit before column 37"), std::string::npos) << Log();
  EXPECT_EQ(Log().back(), '\n');
}

TEST_F(RenderListingTest, ZReportChoiceRendersTheRequestedNumbersOnceInDiOrder) {
  using Docs = std::vector<std::string>;
  test_support::add_zreport(model_, 10, 5);
  test_support::add_receipt(model_, 11, 1);
  test_support::add_zreport(model_, 40, 8);  // loaded early, but last in the journal
  test_support::add_zreport(model_, 30, 7);
  test_support::add_zreport(model_, 20, 6);
  test_support::add_zreport(model_, 20, 6);  // the same report loaded twice
  EXPECT_EQ(Documents(Render(kChoiceZ, 6, 7)), (Docs{"Z6", "Z7"}));
  EXPECT_EQ(Documents(Render(kChoiceZ, 5, 8)), (Docs{"Z5", "Z6", "Z7", "Z8"}));
  EXPECT_EQ(Documents(Render(kChoiceZ, 8, 8)), (Docs{"Z8"}));
  EXPECT_TRUE(Render(kChoiceZ, 9, 12).empty());
  EXPECT_TRUE(Render(kChoiceZ, 7, 6).empty());

  // A report out of the range between two requested ones in DI order.
  model_.dats[3].zvits[0].NO = 99;
  EXPECT_EQ(Documents(Render(kChoiceZ, 5, 8)), (Docs{"Z5", "Z6", "Z8"}));
  // (load position, DI) in DI order, as loaded above: Z5, the receipt, Z8, Z7
  // (now numbered 99), Z6 and Z6 again.
  const WalkList walk = {{0, 10}, {1, 11}, {4, 20}, {5, 20}, {3, 30}, {2, 40}};
  const auto range = find_zreport_range(model_, walk, 5, 8);
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(*range, (std::pair<std::int32_t, std::int32_t>{0, 2}));  // from Z5 to Z8
}

}  // namespace
}  // namespace tallyglass
