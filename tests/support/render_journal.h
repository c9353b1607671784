#pragma once
// The listing of a journal text rendered straight from the text, as the tests
// expect a fetch of the same documents to show it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "reader/sootv.h"
#include "render/render_listing.h"

namespace tallyglass::test_support {

inline Listing RenderJournalText(std::string_view text, int type, std::int32_t first,
                                 std::int32_t last, const std::filesystem::path& error_log) {
  rq model;
  control loader;
  sootv zvit_state, di_by_position;
  EXPECT_TRUE(parse_and_load(text, model, loader));
  Listing listing;
  render_listing(model, type, first, last, zvit_state, di_by_position, listing, error_log.string());
  return listing;
}

}  // namespace tallyglass::test_support
