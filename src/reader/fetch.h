#pragma once
// Fetching documents part by part into the raw list and "temp.xml".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "reader/reader_state.h"
#include "reader/reader_ui.h"
#include "reader/request_control.h"

namespace tallyglass {

// Attempts on one document before it is abandoned; the pause after each failure.
inline constexpr int kFailureLimit = 5;
inline constexpr int kFailurePauseMs = 200;
// A document has at most this many parts; a piece shorter than a whole part ends it.
inline constexpr int kMaxParts = 32768;
inline constexpr std::size_t kShortPiece = kPartSize;

// What one fetch left undone.
struct FetchResult {
  // Numbers that came back without data (abandoned, or answered with
  // nothing), in order; a later fetch asks for them again.
  std::vector<std::int32_t> left_out;
  // Why "temp.xml" could not be written (Windows-1251); "" when it was.
  std::string temp_xml_error;
};

// The request by numbers: the number check, then the range of Edit1..Edit2 in
// the class of the type choice. 0 when it fetched, 1 when the check refused.
// result, when given, receives what fetch_range returns.
int request_by_numbers(ReaderState& state, ReaderUi& ui, RequestControl& control,
                       FetchResult* result = nullptr);

// The request by dates: the date check, the lookup of the receipt numbers
// (1..1 when the register does not answer), then those receipts, class 1.
int request_by_dates(ReaderState& state, ReaderUi& ui, RequestControl& control,
                     FetchResult* result = nullptr);

// Fetches documents first..last of the class code into the raw list, records
// each number in the state table of that class, and writes "temp.xml". Stops
// early when the user asks to; what was collected is still written. Every
// document is checked to be the one asked for before it is taken; one that is
// not counts as a failed exchange and is asked for again (the same text twice
// in a row is taken as the register holds it, but never handed to
// control.fetched). Only numbers that came with data are skipped by later
// fetches: one abandoned or answered with nothing is asked for again.
FetchResult fetch_range(ReaderState& state, ReaderUi& ui, RequestControl& control, std::int32_t first,
                        std::int32_t last, int code);

// The message naming the documents a fetch left out, such as
// "Не получены чеки: 147, 149–151 ..." (Windows-1251).
std::string left_out_message(const std::vector<std::int32_t>& numbers, int code);

// The progress line after document n of first..last: "55.00%" + five spaces + n.
std::string progress_line(std::int32_t n, std::int32_t first, std::int32_t last);

}  // namespace tallyglass
