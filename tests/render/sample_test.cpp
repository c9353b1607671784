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
  std::size_t zreports = 0;
  std::size_t service = 0;
  for (const auto& [position, doc] : model.dats) {
    zreports += !doc.is_check;
    service += doc.is_check && doc.checks.at(0).T == 2;
  }
  const Case cases[] = {
      {kChoiceCheckZ, model.check_no_min, 2147483647, static_cast<std::size_t>(model.doc_count)},
      {kChoiceCheck, model.check_no_min, model.check_no_max, static_cast<std::size_t>(model.doc_count) - zreports},
      {kChoiceZ, model.zvit_no_min, model.zvit_no_max, zreports},
      {kChoiceService, model.check_no_min, model.check_no_max, service},
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
