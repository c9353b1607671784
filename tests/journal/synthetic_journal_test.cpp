#include "support/synthetic_journal.h"

#include <gtest/gtest.h>

#include "journal/loader.h"
#include "journal/parse_load.h"

namespace tallyglass {
namespace {

TEST(SyntheticJournal, LoadsWhole) {
  const auto j = bench::MakeSyntheticJournal(
      {.documents = 450, .receipts_per_zreport = 100, .first_receipt_no = 500,
       .first_zreport_no = 7, .first_di = 1000});
  EXPECT_EQ(j.zreports, 4);
  EXPECT_EQ(j.receipts, 446);
  EXPECT_EQ(j.first_receipt_no, 500);
  EXPECT_EQ(j.last_receipt_no, 945);
  EXPECT_EQ(j.last_zreport_no, 10);
  EXPECT_EQ(bench::MakeSyntheticJournal({.documents = 450}).text,
            bench::MakeSyntheticJournal({.documents = 450}).text);

  rq model;
  control loader;
  std::string failure;
  ASSERT_TRUE(parse_and_load(j.text, model, loader, &failure)) << failure;
  ASSERT_EQ(model.doc_count, 450);
  EXPECT_EQ(model.check_no_min, 500);
  EXPECT_EQ(model.check_no_max, 945);
  EXPECT_EQ(model.zvit_no_min, 7);
  EXPECT_EQ(model.zvit_no_max, 10);
  long long lines = 0;
  for (int p = 0; p < model.doc_count; ++p) {
    const dat& d = model.dats[p];
    EXPECT_EQ(d.DI, 1000.f + p);
    if (!d.is_check) {
      EXPECT_EQ(p % 101, 100) << p;
      continue;
    }
    const check& c = d.checks.at(0);
    lines += c.line_count();
    EXPECT_EQ(static_cast<int>(c.line_order.size()), c.line_count()) << p;
    if (c.T != 2) {
      EXPECT_GE(c.line_count(), 5) << p;
      EXPECT_LE(c.line_count(), 30) << p;
    }
  }
  EXPECT_EQ(lines, j.lines);
}

}  // namespace
}  // namespace tallyglass
