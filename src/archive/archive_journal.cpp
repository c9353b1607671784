#include "archive/archive_journal.h"

#include <exception>

#include "journal/xml_document.h"

namespace tallyglass {

std::vector<std::pair<DocumentKey, std::string>> split_collected_journal(std::string_view text) {
  int dat_elements = 0;
  try {
    xml_document parsed(text);
    for (auto n = parsed.first_child(parsed.root()); n; n = parsed.next_sibling(n))
      if (parsed.name(n) == "DAT") ++dat_elements;
  } catch (const std::exception& e) {
    throw ArchiveError(std::string("not a well-formed journal: ") + e.what());
  }
  std::vector<std::pair<DocumentKey, std::string>> documents;
  for (std::size_t from = 0;;) {
    const std::size_t start = text.find("<DAT ", from);
    if (start == std::string_view::npos) break;
    const std::size_t end = text.find("</MAC>", start);
    if (end == std::string_view::npos) throw ArchiveError("a document without its MAC at byte " + std::to_string(start));
    std::string document(text.substr(start, end + 6 - start));
    auto key = read_document_key(document);
    if (!key)
      throw ArchiveError("document " + std::to_string(documents.size() + 1) +
                         " has no register, class or number of its own");
    documents.emplace_back(std::move(*key), std::move(document));
    from = end + 6;
  }
  if (static_cast<int>(documents.size()) != dat_elements)
    throw ArchiveError("the documents are not one DAT and one MAC each");
  return documents;
}

std::string collected_journal(const std::vector<ArchivedDocument>& documents) {
  std::size_t size = 80;
  for (const auto& d : documents) size += d.text.size() + 2;
  std::string text;
  text.reserve(size);
  text += "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n";
  for (const auto& d : documents) {
    text += d.text;
    text += "\r\n";
  }
  text += "</RQ>\r\n";
  return text;
}

}  // namespace tallyglass
