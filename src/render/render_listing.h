#pragma once
// The renderer's entry: chooses, orders and renders the documents of a request.
#include <cstdint>
#include <string>
#include <vector>

#include "journal/model.h"
#include "journal/sootv.h"
#include "render/listing.h"
#include "render/selection.h"

namespace tallyglass {

// A document that could not be rendered in full; its lines up to the failure
// stay in the listing.
struct DocumentFailure {
  std::int32_t position = 0;  // load position
  bool zreport = false;
  std::int32_t number = 0;    // receipt or Z-report number
  std::int32_t di = 0;
  std::string message;        // "receipt 12 (DI 40): <reason>", Windows-1251
};

struct RenderResult {
  std::vector<DocumentFailure> failures;  // in listing order
  // The listing index where each document that added lines begins (the
  // printed pages keep documents whole).
  std::vector<std::size_t> document_starts;
  bool ok() const { return failures.empty(); }
};

// Appends the rendered documents of the selection to the listing and fills
// di_by_position, the walk's ordering table, anew. A failing document is
// reported in the result and the walk goes on with the next one.
RenderResult render_listing(const rq& model, const Selection& what, sootv& di_by_position,
                            Listing& listing);

}  // namespace tallyglass
