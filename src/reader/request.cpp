#include "reader/request.h"

#include <exception>

#include "journal/parse_load.h"
#include "reader/fetch.h"
#include "reader/save_listing.h"
#include "render/render_listing.h"
#include "text/cp1251.h"
#include "text/messages.h"

namespace tallyglass {
namespace {

std::string join_crlf(const std::vector<std::string>& lines) {
  std::string text;
  std::size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  text.reserve(size);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

// Back to idle: the busy notice's second line emptied, the notice hidden, the
// query window shown.
void back_to_query(ReaderUi& ui, const RequestControl& control) {
  control.show_progress("");
  ui.hide_busy();
  ui.show_query();
}

}  // namespace

RequestResult run_request(ReaderState& state, ReaderUi& ui, RequestControl& control, int mode) {
  static const std::string kCaption = Utf8ToCp1251("ВНИМАНИЕ!!!!");
  static const std::string kLoading = Utf8ToCp1251("ИДЁТ ЗАГРУЗКА ДАННЫХ....");
  static const std::string kStructure =
      Utf8ToCp1251(messages::kStructureFailure);
  static const std::string kOtherRange =
      Utf8ToCp1251(messages::kOtherRange);

  RequestResult result;
  control.clear_stop();
  try {
    state.loader.clear();
    ui.hide_query();
    ui.show_busy(kCaption, kLoading);
    FetchResult fetched;
    const int refused = mode == kByDates ? request_by_dates(state, ui, control, &fetched)
                                         : request_by_numbers(state, ui, control, &fetched);
    result.left_out = std::move(fetched.left_out);
    result.temp_xml_error = std::move(fetched.temp_xml_error);
    if (refused != 0) {
      result.outcome = RequestOutcome::kRefused;
    } else if (parse_and_load(join_crlf(state.raw_list), state.model, state.loader)) {
      state.listing.clear();
      // A date request fetches receipts whatever the choice; with "Z-отчет"
      // it shows them with the day's Z-reports among them, never an empty listing.
      const int choice =
          mode == kByDates && state.type_index == kChoiceZ ? kChoiceCheckZ : state.type_index;
      result.rendered = render_listing(state.model, {choice, state.first_number, state.last_number},
                                       state.di_by_position, state.listing);
      state.document_starts = result.rendered.document_starts;
      write_error_log(result.rendered, state.work_path("error.log"));
    } else {
      back_to_query(ui, control);
      state.listing.push_back(kStructure);
      result.outcome = RequestOutcome::kStructureFailure;
    }
    back_to_query(ui, control);
    if (!result.left_out.empty()) {
      const bool z = mode == kByNumbers && state.type_index == kChoiceZ;
      ui.inform(left_out_message(result.left_out, z ? kClassZ : kClassCheck));
    }
  } catch (...) {
    back_to_query(ui, control);
    state.listing.push_back(kStructure);
    state.listing.push_back(kOtherRange);
    result.outcome = RequestOutcome::kFailed;
    result.error = "unknown failure";
    try {
      throw;
    } catch (const std::exception& e) {
      result.error = e.what();
    } catch (...) {
    }
  }
  return result;
}

void save(const ReaderState& state, const std::string& path) { save_listing(state.listing, path); }

}  // namespace tallyglass
