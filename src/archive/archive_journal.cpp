#include "archive/archive_journal.h"

#include <exception>
#include <limits>

#include "journal/xml_document.h"
#include "link/protocol.h"
#include "render/selection.h"

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

std::string archived_journal(const Archive& archive, std::int64_t register_id, const ArchiveRequest& request) {
  constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();
  if (register_id == 0) return collected_journal({});
  if (request.from_day || request.to_day)
    return collected_journal(archive.documents_by_day(register_id, request.from_day.value_or("00000000"),
                                                      request.to_day.value_or("99999999")));
  if (!request.from && !request.to) return collected_journal(archive.documents(register_id));
  const std::int32_t first = request.from.value_or(std::numeric_limits<std::int32_t>::min());
  const std::int32_t last = request.to.value_or(std::numeric_limits<std::int32_t>::max());
  if (request.type_choice == kChoiceZ)
    return collected_journal(archive.documents_by_number(register_id, kClassZ, first, last));
  // The renderer finds a receipt range by walking the journal from its
  // neighbours: the receipt just before it and the one just after it bound
  // every document it can show, Z-reports among them.
  const auto low = archive.neighbour_di(register_id, kClassCheck, first, true);
  const auto high = archive.neighbour_di(register_id, kClassCheck, last, false);
  return collected_journal(archive.documents_by_di(register_id, low.value_or(kLowest), high.value_or(kHighest)));
}

}  // namespace tallyglass
