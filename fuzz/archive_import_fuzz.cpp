// A collected journal offered to "archive import": split into its documents
// and keys, as the archive would store them. A text that is taken must give
// the same documents again when the archive writes it back out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_journal.h"
#include "fuzz_support.h"

using namespace tallyglass;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::pair<DocumentKey, std::string>> split;
  try {
    split = split_collected_journal(text);
  } catch (const ArchiveError&) {
    return 0;  // refused whole, as import refuses the file
  }
  std::vector<ArchivedDocument> documents;
  for (const auto& [key, document] : split) {
    const auto again = read_document_key(document);
    TG_FUZZ_CHECK(again && again->zn == key.zn && again->fn == key.fn && again->di == key.di &&
                  again->class_code == key.class_code && again->number == key.number);
    documents.push_back({key, document, ""});
  }
  const auto rejoined = split_collected_journal(collected_journal(documents));
  TG_FUZZ_CHECK(rejoined.size() == split.size());
  for (std::size_t i = 0; i < split.size(); ++i) TG_FUZZ_CHECK(rejoined[i].second == split[i].second);
  return 0;
}
