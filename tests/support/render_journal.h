#pragma once
// The listing of a journal text rendered straight from the text, as the tests
// expect a fetch of the same documents to show it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "journal/sootv.h"
#include "render/render_listing.h"

namespace tallyglass::test_support {

inline Listing RenderJournalText(std::string_view text, int type, std::int32_t first,
                                 std::int32_t last) {
  rq model;
  control loader;
  sootv di_by_position;
  EXPECT_TRUE(parse_and_load(text, model, loader));
  Listing listing;
  render_listing(model, {type, first, last}, di_by_position, listing);
  return listing;
}

}  // namespace tallyglass::test_support
