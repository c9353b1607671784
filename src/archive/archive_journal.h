#pragma once
// Collected journals (the form of "temp.xml") to and from archived documents.
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

}  // namespace tallyglass
