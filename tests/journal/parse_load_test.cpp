#include "journal/parse_load.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "journal/loader.h"
#include "support/journal_text.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::describe;
using test_support::journal_text;

TEST(ParseAndLoad, LoadsTheSampleJournal) {
  const std::string text = test_support::SampleJournal();
  ASSERT_FALSE(text.empty());
  rq model;
  control loader;
  std::string failure;
  ASSERT_TRUE(parse_and_load(text, model, loader, &failure)) << failure;
  EXPECT_EQ(model.doc_count, 22);
  EXPECT_EQ(model.check_no_min, 130);
  EXPECT_EQ(model.check_no_max, 148);
  EXPECT_EQ(model.zvit_no_min, 41);
  EXPECT_EQ(model.zvit_no_max, 43);
  int receipts = 0, zreports = 0, service = 0;
  float last_di = 0;
  for (int p = 0; p < model.doc_count; ++p) {
    dat& d = model.dats[p];
    EXPECT_GT(d.DI, last_di) << p;
    last_di = d.DI;
    EXPECT_EQ(d.ts.text.size(), 14u) << p;
    if (!d.is_check) {
      ++zreports;
      continue;
    }
    ++receipts;
    const check& c = d.checks.at(0);
    if (c.T == 2) ++service;
    // Every line carries N: the print order covers 1..line_count() exactly.
    ASSERT_EQ(static_cast<int>(c.line_order.size()), c.line_count()) << p;
    EXPECT_EQ(c.line_order.rbegin()->first, c.line_count()) << p;
    EXPECT_EQ(c.line_order_next, c.line_count() + 1) << p;
  }
  EXPECT_EQ(receipts, 19);
  EXPECT_EQ(zreports, 3);
  EXPECT_EQ(service, 6);
  EXPECT_EQ(model.dats[10].checks[0].end_line.VD, 1.f);
  EXPECT_EQ(model.dats[2].checks[0].end_line.tx_count, 2);
}

TEST(ParseAndLoad, UnparsableTextFailsTwiceAndLoadsNothing) {
  rq model;
  control loader;
  std::string failure;
  EXPECT_FALSE(parse_and_load(journal_text("<DAT>"), model, loader, &failure));
  EXPECT_NE(failure.find("line"), std::string::npos) << failure;
  EXPECT_EQ(model.doc_count, 0);
  EXPECT_TRUE(model.dats.empty());
}

TEST(ParseAndLoad, ALoaderFailureIsRetriedOnACleanKey) {
  const std::string good =
      R"(<DAT DI="1"><C T="0"><P N="1" SM="100"/><E N="2" NO="5" SM="100"/></C><TS>1</TS></DAT><MAC/>)";
  const std::string bad = R"(<DAT DI="2"><C T="0"><P N="1" SM="7"/><P N="2" SM="1,5"/>)";
  rq model;
  control loader;
  std::string failure;
  EXPECT_FALSE(parse_and_load(journal_text(good + bad + "</C></DAT><MAC/>"), model, loader,
                              &failure));
  EXPECT_EQ(failure, R"(attribute SM of P: "1,5" is not a number)");
  // The good document was loaded by both attempts, each time whole and alone.
  EXPECT_EQ(model.doc_count, 2);
  EXPECT_EQ(describe(model.dats[0]), describe(model.dats[1]));
  EXPECT_EQ(model.dats[1].checks[0].line_count(), 2);

  // The next text starts on a clean key too.
  ASSERT_TRUE(parse_and_load(journal_text(good), model, loader));
  EXPECT_EQ(model.doc_count, 3);
  EXPECT_EQ(describe(model.dats[0]), describe(model.dats[2]));
}

TEST(ParseAndLoad, TheBareEnvelopeLoadsNothing) {
  rq model;
  control loader;
  EXPECT_TRUE(parse_and_load(journal_text(""), model, loader));
  EXPECT_EQ(model.doc_count, 0);
  EXPECT_EQ(model.V, 1.f);
}

}  // namespace
}  // namespace tallyglass
