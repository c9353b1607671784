// XML bytes in: the journal read exactly (as export and reconcile read it),
// then written as CSV and JSON and reconciled. A journal is taken or refused
// with ExportError; nothing else may escape.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "export/exact_journal.h"
#include "export/export_writer.h"
#include "export/reconcile.h"
#include "fuzz_support.h"

using namespace tallyglass;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ExactJournal journal;
  try {
    journal.add_text(text, "fuzz.xml");
  } catch (const ExportError&) {
    TG_FUZZ_CHECK(journal.documents.empty());
    return 0;
  }
  journal.sort();
  const auto docs = select_documents(journal, {});
  TG_FUZZ_CHECK(docs.size() == journal.documents.size());
  const CsvTables csv = export_csv(docs);
  TG_FUZZ_CHECK(!csv.documents.empty());
  (void)export_csv(docs, CsvDialect::excel());
  const std::string json = export_json(docs);
  TG_FUZZ_CHECK(!json.empty() && json.front() == '[');
  (void)reconcile(docs, {});
  return 0;
}
