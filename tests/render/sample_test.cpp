// The sample journal, parsed and loaded, renders whole under every choice.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "render/render_listing.h"
#include "support/model_builders.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

TEST(SampleJournal, RendersEveryDocumentWithoutFailure) {
  const std::string& text = test_support::SampleJournal();
  rq model;
  control loader;
  loader.clear();
  ASSERT_TRUE(parse_and_load(text, model, loader));
  ASSERT_GT(model.doc_count, 0);

  const std::string heading = test_support::W("          ДП \"Компанія ZENTA\"");
  struct Case {
    int choice;
    std::int32_t first, last;
    std::size_t documents;
  };
  // The sample holds receipts 130-148 (six of them service receipts, C T="2")
  // and Z-reports 41-43.
  const Case cases[] = {
      {kChoiceCheckZ, 130, 2147483647, 22},
      {kChoiceCheck, 130, 148, 19},
      {kChoiceZ, 41, 43, 3},
      {kChoiceService, 130, 148, 6},
  };
  for (const auto& c : cases) {
    Listing listing;
    sootv di;
    const RenderResult result = render_listing(model, {c.choice, c.first, c.last}, di, listing);
    EXPECT_EQ(test_support::Count(listing, heading), c.documents) << "choice " << c.choice;
    EXPECT_TRUE(result.ok()) << "choice " << c.choice << ": " << result.failures.front().message;
  }
}

// The sample's tape, document by document, is the golden one; "Чек+Z-отчет"
// takes the Z-reports whose DI lies among the receipts (Z41 between 136 and
// 137), "Внес./Изъят." the six service receipts in their own layout.
TEST(SampleJournal, RendersAsTheGoldenTape) {
  rq model;
  control loader;
  loader.clear();
  ASSERT_TRUE(parse_and_load(test_support::SampleJournal(), model, loader));
  using Ids = std::vector<std::string>;
  struct Case {
    int choice;
    std::int32_t first, last;
    Ids documents;
  };
  Ids whole = test_support::ReceiptIds(130, 136);
  for (const auto& part : {Ids{"Z41"}, test_support::ReceiptIds(137, 142), Ids{"Z42"},
                           test_support::ReceiptIds(143, 148), Ids{"Z43"}})
    whole.insert(whole.end(), part.begin(), part.end());
  const Case cases[] = {
      {kChoiceCheckZ, 131, 133, {"R131", "R132", "R133"}},
      {kChoiceCheckZ, 135, 138, {"R135", "R136", "Z41", "R137", "R138"}},
      {kChoiceCheck, 135, 138, {"R135", "R136", "R137", "R138"}},
      {kChoiceZ, 41, 43, {"Z41", "Z42", "Z43"}},
      {kChoiceService, 130, 148, {"S130", "S136", "S137", "S142", "S143", "S148"}},
      {kChoiceCheckZ, 130, 2147483647, whole},
  };
  for (const auto& c : cases) {
    Listing listing;
    sootv di;
    render_listing(model, {c.choice, c.first, c.last}, di, listing);
    EXPECT_EQ(test_support::FirstDifference(listing, test_support::SampleTape(c.documents)), "")
        << "choice " << c.choice << ", " << c.first << ".." << c.last;
  }
}

}  // namespace
}  // namespace tallyglass
