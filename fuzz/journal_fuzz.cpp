// XML bytes in: parsed and loaded into a fresh model, then rendered with the
// "Чек+Z-отчет" choice over the loaded receipt range (and the Z-reports with
// their own choice), as a request would.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "render/render_listing.h"

using namespace tallyglass;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  rq model;
  control loader;
  if (!parse_and_load(text, model, loader)) return 0;

  sootv di_by_position;
  Listing listing;
  render_listing(model, {kChoiceCheckZ, model.check_no_min, model.check_no_max}, di_by_position,
                 listing);
  TG_FUZZ_CHECK(model.doc_count < 1 || di_by_position.size() ==
                                          static_cast<std::size_t>(model.doc_count));
  Listing zreports;
  render_listing(model, {kChoiceZ, model.zvit_no_min, model.zvit_no_max}, di_by_position,
                 zreports);
  return 0;
}
