#pragma once
// Collected journals (the form of "temp.xml") to and from archived documents.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/archive.h"

namespace tallyglass {

// The documents of a collected journal text with their keys, in file order.
// A text that is not well-formed, or holds a document without a register, a
// class or a number, throws ArchiveError naming what is wrong (UTF-8): such a
// file is taken whole or not at all.
std::vector<std::pair<DocumentKey, std::string>> split_collected_journal(std::string_view text);

// A collected journal holding the documents in the given order, as the reader
// writes "temp.xml" (declaration, RQ, one document a line, CR LF).
std::string collected_journal(const std::vector<ArchivedDocument>& documents);

// What a request asks of the archive: receipt or Z-report numbers (of the
// class of the type choice), or the days "YYYYMMDD" from..to, or everything.
struct ArchiveRequest {
  int type_choice = 0;
  std::optional<std::int32_t> from, to;
  std::optional<std::string> from_day, to_day;
};

// The collected journal of a register's archived documents that renders a
// request exactly as the register's whole journal would: for a number range,
// the range and the documents between its neighbours, in journal order.
// register_id 0 gives an empty journal.
std::string archived_journal(const Archive& archive, std::int64_t register_id, const ArchiveRequest& request);

}  // namespace tallyglass
