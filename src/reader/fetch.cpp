#include "reader/fetch.h"

#include <charconv>
#include <system_error>
#include <utility>

#include "journal/document_check.h"
#include "link/link.h"
#include "reader/query.h"
#include "reader/save_listing.h"
#include "text/base64.h"
#include "text/cp1251.h"
#include "text/messages.h"

namespace tallyglass {

int request_by_numbers(ReaderState& state, ReaderUi& ui, RequestControl& control,
                       FetchResult* result) {
  if (!check_numbers(state, ui)) return 1;
  const int code = state.type_index == kChoiceZ ? kClassZ : kClassCheck;
  auto fetched = fetch_range(state, ui, control, state.first_number, state.last_number, code);
  if (result) *result = std::move(fetched);
  return 0;
}

int request_by_dates(ReaderState& state, ReaderUi& ui, RequestControl& control, FetchResult* result) {
  if (!check_dates(state, ui)) return 1;
  std::int32_t first = 1;
  std::int32_t last = 1;
  lookup_range(state, control, first, last);
  state.model.check_no_min = first;
  state.model.check_no_max = last;
  state.first_number = first;
  state.last_number = last;
  auto fetched = fetch_range(state, ui, control, first, last, kClassCheck);
  if (result) *result = std::move(fetched);
  return 0;
}

std::string progress_line(std::int32_t n, std::int32_t first, std::int32_t last) {
  const float done = static_cast<float>(std::int64_t{n} - first);
  const float all = static_cast<float>(std::int64_t{last} + 1 - first);
  const float percent = done / all * 100.0f;
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, percent,
                                 std::chars_format::fixed, 2).ptr;
  return std::string(buffer, end) + "%     " + int_text(n);
}

namespace {

// One document's parts into buffer (at most `parts` of them). Returns false
// when the user asked to stop.
bool fetch_document(ReaderState& state, ReaderUi& ui, RequestControl& control, std::int32_t n,
                    int code, int& failures, std::string& buffer, int parts = kMaxParts) {
  static const std::string kNoLinkCaption = Utf8ToCp1251(messages::kNoLinkCaption);
  static const std::string kNoLinkText = Utf8ToCp1251(messages::kNoLinkText);
  const std::string prefix = int_text(code) + ";" + int_text(n) + ";";
  int part = 0;
  while (part < parts) {
    const std::string request = prefix + int_text(part) + ";";
    // The network number is read anew for every exchange.
    const int number = network_number(control.network_number_text());
    const int result = state.link.request_b(number, request, 0, true);
    if (result > 0) {
      const std::string reply = state.link.reply_text();
      if (reply.size() >= 2 && reply[0] == 'D' && reply[1] == ';') {
        failures = 0;  // the register says the document is complete
        return true;
      }
      const std::string piece = DecodeBase64(reply);
      buffer += piece;
      if (piece.size() < kShortPiece) return true;
      ++part;
      continue;
    }
    if (result == link::kNoLink && !ui.ask_retry(kNoLinkCaption, kNoLinkText))
      control.request_stop();
    if (control.stop_requested()) return false;
    state.wait_ms(kFailurePauseMs);
    if (++failures >= kFailureLimit) {
      buffer.clear();  // abandoned: recorded as nothing came back
      failures = 0;
      return true;
    }
  }
  return true;
}

enum class FetchedDocument { kVerified, kAsItIs, kStopped };

// One document, asked for again from part 0 while what came is not the
// document asked for: each such text counts as a failed exchange of it. The
// same failing text twice in a row is what the register holds (a line never
// damages a document the same way twice): it is taken as it is, unverified.
// An empty buffer means nothing came (or the document was abandoned).
FetchedDocument fetch_verified(ReaderState& state, ReaderUi& ui, RequestControl& control, std::int32_t n,
                               int code, int& failures, std::string& buffer) {
  std::string refused;
  for (;;) {
    if (!fetch_document(state, ui, control, n, code, failures, buffer)) return FetchedDocument::kStopped;
    if (!refused.empty() && buffer == refused) return FetchedDocument::kAsItIs;  // fails as it did
    if (buffer.empty() || check_document(buffer, code, n).ok()) return FetchedDocument::kVerified;
    refused = std::move(buffer);
    buffer.clear();
    if (control.stop_requested()) return FetchedDocument::kStopped;
    state.wait_ms(kFailurePauseMs);
    if (++failures >= kFailureLimit) {
      failures = 0;  // abandoned: recorded as nothing came back
      return FetchedDocument::kVerified;
    }
  }
}

}  // namespace

std::string left_out_message(const std::vector<std::int32_t>& numbers, int code) {
  static const std::string kReceipts = Utf8ToCp1251("Не получены чеки: ");
  static const std::string kZReports = Utf8ToCp1251("Не получены Z-отчеты: ");
  static const std::string kDash = Utf8ToCp1251("–");
  static const std::string kWhy =
      Utf8ToCp1251(" (нет связи или таких номеров в журнале нет). Повторный запрос попросит их снова.");
  std::string text = code == kClassZ ? kZReports : kReceipts;
  for (std::size_t i = 0; i < numbers.size();) {
    std::size_t j = i;
    while (j + 1 < numbers.size() && std::int64_t{numbers[j + 1]} == std::int64_t{numbers[j]} + 1) ++j;
    if (i > 0) text += ", ";
    text += int_text(numbers[i]);
    if (j > i) text += kDash + int_text(numbers[j]);
    i = j + 1;
  }
  return text + kWhy;
}

FetchResult fetch_range(ReaderState& state, ReaderUi& ui, RequestControl& control, std::int32_t first,
                        std::int32_t last, int code) {
  static const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>";
  ui.raise_busy();
  state.raw_list.clear();
  state.raw_list.push_back(kDeclaration);
  state.raw_list.push_back("<RQ V=\"1\">");
  int failures = 0;
  std::string buffer;
  FetchResult result;
  // 64-bit so that a range ending at the largest number still ends.
  for (std::int64_t m = first; m <= last; ++m) {
    const auto n = static_cast<std::int32_t>(m);
    // The table of the class asked for: a date request with the choice
    // "Z-отчет" fetches receipts, and must not hide them from later receipt requests.
    sootv& table = code == kClassZ ? state.zvit_state : state.check_state;
    if (table.get(n) == 1) continue;  // fetched before with data
    control.pump_input();
    buffer.clear();
    if (control.needs_identity && control.identify && control.needs_identity(code, n)) {
      if (!fetch_document(state, ui, control, n, code, failures, buffer, 1)) break;
      if (control.stop_requested()) break;
      control.identify(code, n, buffer.empty() ? std::nullopt : std::optional<std::string>(buffer));
      buffer.clear();
    }
    std::optional<std::string> served = control.serve ? control.serve(code, n) : std::nullopt;
    bool verified = true;
    if (served) {
      buffer = std::move(*served);
    } else {
      const FetchedDocument got = fetch_verified(state, ui, control, n, code, failures, buffer);
      if (got == FetchedDocument::kStopped) break;
      verified = got == FetchedDocument::kVerified;
    }
    if (control.stop_requested()) break;  // asked during this document: neither added nor recorded
    // Only a document that is what was asked for reaches the archive.
    if (!served && verified && !buffer.empty() && control.fetched) control.fetched(code, n, buffer);
    if (buffer.empty()) {
      table.set(n, 2);
      result.left_out.push_back(n);
    } else {
      state.raw_list.push_back(buffer);
      table.set(n, 1);
    }
    if (control.shows_progress()) control.show_progress(progress_line(n, first, last));
  }
  state.raw_list.push_back("</RQ>");
  // "temp.xml" is only a copy for the user: failing to write it is reported,
  // and the collected documents still go on to be loaded and rendered.
  try {
    write_crlf_lines(state.raw_list, state.work_path("temp.xml"));
  } catch (const std::system_error& e) {
    static const std::string kCannotWrite = Utf8ToCp1251("Не удалось записать файл temp.xml: ");
    result.temp_xml_error = kCannotWrite + Utf8ToCp1251(e.what());
    ui.inform(result.temp_xml_error);
  }
  return result;
}

}  // namespace tallyglass
