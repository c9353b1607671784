#pragma once
// Which loaded documents a request covers, as load positions.
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "journal/model.h"

namespace tallyglass {

// The document-type choice of the query window.
inline constexpr int kChoiceNone = -1;   // text typed into the type box
inline constexpr int kChoiceZ = 0;       // "Z-отчет"
inline constexpr int kChoiceCheck = 1;   // "Чек"
inline constexpr int kChoiceCheckZ = 2;  // "Чек+Z-отчет"
inline constexpr int kChoiceService = 3; // "Внес./Изъят."

// What a request asks the renderer for: the type choice and the number range
// (Z-report numbers for kChoiceZ, receipt numbers otherwise).
struct Selection {
  int type_choice = kChoiceCheckZ;
  std::int32_t first_number = 0;
  std::int32_t last_number = 0;
};

enum class RangeEnd { start, end };

// (load position, DI) pairs in DI order; equal DI keep their load order.
using WalkList = std::vector<std::pair<std::int32_t, std::int32_t>>;

// The model's documents as a walk list.
WalkList walk_list(const rq& model);

// For the receipt choices, scanning the documents in DI order: the load
// position of the receipt numbered n, or, when there is none, the last
// document before the first receipt numbered above n (the first document
// when that is the first one). Z-report documents count as numbered 0.
std::int32_t find_position(const rq& model, const WalkList& walk, std::int32_t n, RangeEnd which);
std::int32_t find_position(const rq& model, std::int32_t n, RangeEnd which);

// For the "Z-отчет" choice: the load positions of the first and the last
// loaded Z-report numbered first to last, in DI order; their DI bound the
// walk. Nothing when none is loaded.
std::optional<std::pair<std::int32_t, std::int32_t>> find_zreport_range(
    const rq& model, const WalkList& walk, std::int32_t first, std::int32_t last);

}  // namespace tallyglass
