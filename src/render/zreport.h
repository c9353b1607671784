#pragma once
// The daily closing report (Z-report) layout.
#include <cstdint>

#include "journal/model.h"
#include "render/listing.h"

namespace tallyglass {

// Appends the Z-report of the document at load position `position`. Throws
// RenderError part-way; the lines appended before stay.
void render_zreport(const rq& model, std::int32_t position, Listing& listing);

}  // namespace tallyglass
