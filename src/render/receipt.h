#pragma once
// The two receipt layouts: the full paper receipt and the short one of
// service (cash in / cash out) receipts.
#include <cstdint>

#include "journal/model.h"
#include "render/listing.h"

namespace tallyglass {

// Appends the full layout of the receipt of the document at load position
// `position`. Throws RenderError part-way; the lines appended before stay.
void render_receipt(const rq& model, std::int32_t position, Listing& listing);

// Appends the short layout (no totals, no payments) of that receipt.
void render_service_receipt(const rq& model, std::int32_t position, Listing& listing);

}  // namespace tallyglass
