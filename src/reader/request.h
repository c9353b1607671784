#pragma once
// The request driver behind the two "Получить" buttons, and saving the listing.
#include <cstdint>
#include <string>
#include <vector>

#include "reader/reader_state.h"
#include "reader/reader_ui.h"
#include "reader/request_control.h"
#include "render/render_listing.h"

namespace tallyglass {

inline constexpr int kByNumbers = 0;
inline constexpr int kByDates = 1;

// How a request ended; the window needs none of it, the CLI turns it into
// its exit status.
enum class RequestOutcome {
  kRendered,          // fetched, loaded and rendered into the emptied listing
  kRefused,           // a check refused the request; its message was shown
  kStructureFailure,  // the collected text failed to parse or load twice
  kFailed,            // the failure path: its two lines were appended
};

struct RequestResult {
  RequestOutcome outcome = RequestOutcome::kRendered;
  std::string error;  // what went wrong, for kFailed (Windows-1251)
  // Requested numbers that came back without data (abandoned, or answered
  // with nothing); a later request asks for them again.
  std::vector<std::int32_t> left_out;
  // Why "temp.xml" could not be written (Windows-1251); "" when it was.
  std::string temp_xml_error;
  RenderResult rendered;  // documents that could not be rendered in full
};

// Runs one request (kByNumbers or kByDates) behind the busy notice: fetch,
// parse and load, render. Every failure ends as a message or listing lines.
// Documents the fetch left out are named in an information box at the end; a
// document that failed to render leaves its reason in "error.log".
RequestResult run_request(ReaderState& state, ReaderUi& ui, RequestControl& control, int mode);

// Writes the listing to path (Windows-1251, CR LF after every line). Throws
// std::system_error with the operating system's message; the listing stays.
void save(const ReaderState& state, const std::string& path);

}  // namespace tallyglass
