#include "journal/model.h"

#include <gtest/gtest.h>

namespace tallyglass {
namespace {

TEST(Model, NumberRangesTakeTheLowestAndHighest) {
  rq model;
  model.note_check_no(5);
  model.note_check_no(3);
  model.note_check_no(9);
  model.note_check_no(4);
  EXPECT_EQ(model.check_no_min, 3);
  EXPECT_EQ(model.check_no_max, 9);

  model.note_zvit_no(0);  // taken as "none yet": the next number is the first again
  EXPECT_EQ(model.zvit_no_min, 0);
  EXPECT_EQ(model.zvit_no_max, 0);
  model.note_zvit_no(12);
  EXPECT_EQ(model.zvit_no_min, 12);
  EXPECT_EQ(model.zvit_no_max, 12);

  model.dats[0].checks[0].p_count = 1;
  model.doc_count = 1;
  model.clear();
  EXPECT_TRUE(model.dats.empty());
  EXPECT_EQ(model.doc_count, 0);
  EXPECT_EQ(model.check_no_min, 3);
  EXPECT_EQ(model.zvit_no_max, 12);
}

TEST(Model, NewRecordsStartAtTheirDefaults) {
  rq model;
  const dat& d = model.dats[4];
  EXPECT_TRUE(d.is_check);
  EXPECT_TRUE(d.checks.empty() && d.zvits.empty());
  const check& c = model.dats[4].checks[0];
  EXPECT_EQ(c.line_count(), 0);
  EXPECT_EQ(c.line_order_next, 1);
  const sale_end& e = c.end_line;
  EXPECT_EQ(e.TX + e.TS + e.FN, "000");
  EXPECT_FALSE(e.has_tx);
  EXPECT_EQ(tx{}.TX, " ");
  const zvit z;
  EXPECT_FALSE(z.has_txs || z.has_z_m || z.has_io || z.has_nc);
}

}  // namespace
}  // namespace tallyglass
