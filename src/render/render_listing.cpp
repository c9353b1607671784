#include "render/render_listing.h"

#include <algorithm>
#include <exception>
#include <set>
#include <tuple>
#include <utility>

#include "render/compose.h"
#include "render/receipt.h"
#include "render/selection.h"
#include "render/zreport.h"
#include "text/cp1251.h"
#include "text/messages.h"

namespace tallyglass {
namespace {

std::int32_t receipt_number(const dat& doc) {
  const auto it = doc.checks.find(0);
  return it == doc.checks.end() ? 0 : integer_part(it->second.end_line.NO);
}

std::int32_t zreport_number(const dat& doc) { return integer_part(record_at(doc.zvits, 0).NO); }

// Calls f(p, document) for the load positions 0 to doc_count - 1 in order,
// walking the map once; a position never loaded gives a default document.
template <typename F>
void for_each_position(const rq& model, F&& f) {
  static const dat kNoDocument{};
  auto it = model.dats.lower_bound(0);
  for (std::int32_t p = 0; p < model.doc_count; ++p) {
    while (it != model.dats.end() && it->first < p) ++it;
    const bool present = it != model.dats.end() && it->first == p;
    if (!f(p, present ? it->second : kNoDocument)) return;
  }
}

// Lines a document will take, roughly, so that the listing grows once.
std::size_t estimated_lines(const dat& doc) {
  const auto c = doc.checks.find(0);
  return 20 + (c == doc.checks.end() ? 10 : static_cast<std::size_t>(c->second.line_count()) * 2);
}

// Whether the dispatch table gives the document a layout under the choice.
bool rendered_under(const dat& doc, int choice) {
  if (!doc.is_check) return choice == kChoiceZ || choice == kChoiceCheckZ;
  if (choice == kChoiceCheck || choice == kChoiceCheckZ) return true;
  return choice == kChoiceService && record_at(doc.checks, 0).T == 2;
}

std::string describe(const dat& doc) {
  const std::string di = std::to_string(integer_part(doc.DI));
  if (!doc.is_check) return "Z-report " + std::to_string(zreport_number(doc)) + " (DI " + di + ")";
  return "receipt " + std::to_string(receipt_number(doc)) + " (DI " + di + ")";
}

}  // namespace

WalkList walk_list(const rq& model) {
  WalkList walk;
  walk.reserve(static_cast<std::size_t>(std::max(model.doc_count, 0)));
  for_each_position(model, [&walk](std::int32_t p, const dat& doc) {
    walk.emplace_back(p, integer_part(doc.DI));
    return true;
  });
  std::stable_sort(walk.begin(), walk.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  return walk;
}

std::int32_t find_position(const rq& model, const WalkList& walk, std::int32_t n, RangeEnd which) {
  // The register's journal order, not the load order: ranges asked out of
  // order, or documents loaded again, would otherwise cut the range short.
  std::int32_t result = walk.empty() ? 0 : walk.front().first;
  std::int32_t previous = result;
  for (const auto& [p, di] : walk) {
    const std::int32_t c = receipt_number(record_at(model.dats, p));
    if (c > n) {
      if (which == RangeEnd::start) result = previous;
      break;
    }
    result = p;
    if (c == n) break;
    previous = p;
  }
  return result;
}

std::int32_t find_position(const rq& model, std::int32_t n, RangeEnd which) {
  return find_position(model, walk_list(model), n, which);
}

std::optional<std::pair<std::int32_t, std::int32_t>> find_zreport_range(
    const rq& model, const WalkList& walk, std::int32_t first, std::int32_t last) {
  std::optional<std::size_t> first_index;
  std::size_t last_index = 0;
  for (std::size_t i = 0; i < walk.size(); ++i) {
    const dat& doc = record_at(model.dats, walk[i].first);
    if (doc.is_check) continue;
    const std::int32_t number = zreport_number(doc);
    if (number < first || number > last) continue;
    if (!first_index) first_index = i;
    last_index = i;
  }
  if (!first_index) return std::nullopt;
  return std::pair{walk[*first_index].first, walk[last_index].first};
}

RenderResult render_listing(const rq& docs, const Selection& what, sootv& di_by_position,
                            Listing& listing) {
  static const std::string kNoData = Utf8ToCp1251(messages::kNoData);
  const int type_choice = what.type_choice;
  const std::int32_t first_number = what.first_number;
  const std::int32_t last_number = what.last_number;
  RenderResult result;

  di_by_position.clear();
  for_each_position(docs, [&di_by_position](std::int32_t p, const dat& doc) {
    di_by_position.set(p, integer_part(doc.DI));
    return true;
  });
  if (docs.doc_count < 1) {
    listing.push_back(kNoData);
    return result;
  }

  WalkList walk = di_by_position.ordered_copy();
  std::stable_sort(walk.begin(), walk.end(),
                   [](const auto& a, const auto& b) { return a.second < b.second; });

  std::int32_t start = 0;
  std::int32_t end = 0;
  if (type_choice == kChoiceZ) {
    const auto range = find_zreport_range(docs, walk, first_number, last_number);
    if (!range) return result;
    std::tie(start, end) = *range;
  } else {
    start = find_position(docs, walk, first_number, RangeEnd::start);
    end = find_position(docs, walk, last_number, RangeEnd::end);
  }

  // Every document whose DI lies from the start document's to the end
  // document's, in DI order. Loaded in journal order without copies, this is
  // the load-position range start..end; otherwise it still is the journal's
  // own stretch, with no document left out or shown twice.
  const std::int32_t low = integer_part(record_at(docs.dats, start).DI);
  const std::int32_t high = integer_part(record_at(docs.dats, end).DI);
  if (high < low) return result;
  const auto from = std::lower_bound(walk.begin(), walk.end(), low,
                                     [](const auto& pair, std::int32_t di) { return pair.second < di; });
  const auto stop = std::upper_bound(from, walk.end(), high,
                                     [](std::int32_t di, const auto& pair) { return di < pair.second; });
  std::size_t lines = listing.size();
  for (auto at = from; at != stop; ++at) {
    const dat& doc = record_at(docs.dats, at->first);
    if (rendered_under(doc, type_choice)) lines += estimated_lines(doc);
  }
  listing.reserve(lines);
  // A document loaded more than once (the same DI, kind and number) is shown
  // once; its copies stand next to each other in the walk.
  std::set<std::pair<bool, std::int32_t>> done;
  std::int32_t done_di = low;
  for (auto it = from; it != stop; ++it) {
    const std::int32_t position = it->first;
    const dat& doc = record_at(docs.dats, position);
    if (!rendered_under(doc, type_choice)) continue;
    if (type_choice == kChoiceZ) {
      const std::int32_t number = zreport_number(doc);
      if (number < first_number || number > last_number) continue;
    }
    const std::int32_t number = doc.is_check ? receipt_number(doc) : zreport_number(doc);
    if (it->second != done_di) {
      done.clear();
      done_di = it->second;
    }
    if (!done.emplace(doc.is_check, number).second) continue;
    const std::size_t lines_before = listing.size();
    try {
      if (doc.is_check) {
        if (type_choice == kChoiceService) {
          render_service_receipt(docs, position, listing);
        } else {
          render_receipt(docs, position, listing);
        }
      } else {
        render_zreport(docs, position, listing);
      }
    } catch (const std::exception& failure) {
      result.failures.push_back({position, !doc.is_check,
                                 doc.is_check ? receipt_number(doc) : zreport_number(doc),
                                 integer_part(doc.DI), describe(doc) + ": " + failure.what()});
    }
    if (listing.size() > lines_before) result.document_starts.push_back(lines_before);
  }
  return result;
}

}  // namespace tallyglass
