#pragma once
// The renderer's entry: chooses, orders and renders the documents of a request.
#include <cstdint>
#include <string>
#include <vector>

#include "journal/model.h"
#include "reader/sootv.h"
#include "render/listing.h"

namespace tallyglass {

// The document-type choice of the query window.
inline constexpr int kChoiceNone = -1;  // text typed into the type box
inline constexpr int kChoiceZ = 0;      // "Z-отчет"
inline constexpr int kChoiceCheck = 1;  // "Чек"
inline constexpr int kChoiceCheckZ = 2; // "Чек+Z-отчет"
inline constexpr int kChoiceService = 3;// "Внес./Изъят."

// Appends the rendered documents of the current request to the listing. A
// failing document writes its message to error_log_path and the walk goes on.
// When document_starts is given, the listing index where each document that
// added lines begins is appended to it (the printed pages keep documents whole).
void render_listing(rq& model, int type_choice, std::int32_t first_number,
                    std::int32_t last_number, sootv& zvit_state, sootv& di_by_position,
                    Listing& listing, const std::string& error_log_path = "error.log",
                    std::vector<std::size_t>* document_starts = nullptr);

}  // namespace tallyglass
