// The sample journal, parsed and loaded, renders whole under every choice.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "render/render_listing.h"
#include "test_support.h"
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

  const auto dir = test_support::MakeScratchDir("tallyglass-sample");
  const std::string log = (dir / "error.log").string();
  const std::string heading = test::W("          ДП \"Компанія ZENTA\"");
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
    sootv zvit_state;
    sootv di;
    render_listing(model, c.choice, c.first, c.last, zvit_state, di, listing, log);
    EXPECT_EQ(test::Count(listing, heading), c.documents) << "choice " << c.choice;
    EXPECT_FALSE(std::filesystem::exists(log)) << "choice " << c.choice;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tallyglass
