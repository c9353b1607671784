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

}  // namespace
}  // namespace tallyglass
