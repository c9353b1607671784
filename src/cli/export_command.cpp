// tallyglass-cli export: the journal's documents as exact CSV or JSON.
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "cli/date_options.h"
#include "cli/journal_args.h"
#include "export/export_writer.h"

namespace tallyglass::cli {
namespace {

constexpr const char* kExportUsage =
    "usage: tallyglass-cli export (JOURNAL.xml... | --archive [PATH] [--register ZN])\n"
    "                             [--from N --to M | --from-date DD.MM.YY --to-date DD.MM.YY]\n"
    "                             --format csv|json [--dialect excel] [--out PATH]\n"
    "\n"
    "Writes the documents of saved journals (such as temp.xml) as data, every\n"
    "amount exactly as the journal holds it (\"12.00\", \"-0.50\"), never rounded.\n"
    "\n"
    "options:\n"
    "  --from N --to M          receipts numbered N to M and the Z-reports among them\n"
    "  --from-date DD.MM.YY --to-date DD.MM.YY\n"
    "                           the documents of these days\n"
    "  --format csv             documents.csv, lines.csv, payments.csv, taxes.csv and\n"
    "                           zreports.csv (RFC 4180, UTF-8) in the folder --out\n"
    "                           (default: the current folder)\n"
    "  --format json            one JSON array of documents to --out FILE or to\n"
    "                           standard output\n"
    "  --dialect excel          CSV for a spreadsheet in a Ukrainian or Russian\n"
    "                           locale: BOM, \";\" separators, decimal comma\n"
    "  --register ZN            only the documents of the register with this ZN\n"
    "  --archive [PATH]         read the archive (default journal.db) instead of\n"
    "                           journal files\n"
    "  --help                   show this text\n"
    "\n"
    "exit status: 0 written; 2 bad arguments, a journal that cannot be read or\n"
    "parsed, or a value that is not what its field needs (nothing is written then).\n";

}  // namespace

int RunExport(int argc, char** argv) {
  JournalArgs args;
  std::optional<std::string> format, dialect, out;
  std::optional<std::string> from, to, from_date, to_date;
  const auto fail = [](const std::string& m) { return journal_usage_error("export", m, kExportUsage); };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kExportUsage, stdout);
      return 0;
    }
    std::string error;
    if (args.take(argc, argv, i, error)) continue;
    if (!error.empty()) return fail(error);
    std::optional<std::string>* slot = nullptr;
    if (arg == "--format") slot = &format;
    else if (arg == "--dialect") slot = &dialect;
    else if (arg == "--out") slot = &out;
    else if (arg == "--from") slot = &from;
    else if (arg == "--to") slot = &to;
    else if (arg == "--from-date") slot = &from_date;
    else if (arg == "--to-date") slot = &to_date;
    if (slot == nullptr) return fail("unknown option '" + std::string(arg) + "'");
    if (i + 1 >= argc) return fail(std::string(arg) + " needs a value");
    if (*slot) return fail(std::string(arg) + " given twice");
    *slot = argv[++i];
  }
  if (!format) return fail("--format csv or --format json is needed");
  if (*format != "csv" && *format != "json") return fail("unknown --format '" + *format + "' (csv or json)");
  if (dialect && *dialect != "excel") return fail("unknown --dialect '" + *dialect + "' (excel)");
  if (dialect && *format != "csv") return fail("--dialect is for --format csv");
  if (out && out->empty()) return fail("--out needs a path");

  ExportSelection what;
  if ((from || to) && (from_date || to_date)) return fail("give numbers or dates, not both");
  if (from || to) {
    if (!from || !to) return fail("--from and --to go together");
    const auto f = whole_number(*from), t = whole_number(*to);
    if (!f) return fail("--from needs a whole number, not '" + *from + "'");
    if (!t) return fail("--to needs a whole number, not '" + *to + "'");
    if (*t < *f) return fail("--to must not be below --from");
    what.by = ExportSelection::By::numbers;
    what.from = *f;
    what.to = *t;
  } else if (from_date || to_date) {
    if (!from_date || !to_date) return fail("--from-date and --to-date go together");
    const auto f = ParseOptionDate(*from_date), t = ParseOptionDate(*to_date);
    if (!f) return fail(BadDateMessage("--from-date", *from_date));
    if (!t) return fail(BadDateMessage("--to-date", *to_date));
    if (t->stamp() < f->stamp()) return fail("--to-date must not be before --from-date");
    what.by = ExportSelection::By::dates;
    what.from_ts = f->stamp() + "000000";
    what.to_ts = t->stamp() + "235959";
  }

  ExactJournal journal;
  if (const int status = args.load("export", kExportUsage, journal); status != 0) return status;
  const auto docs = select_documents(journal, what);
  try {
    if (*format == "json") {
      const std::string json = export_json(docs);
      if (out) {
        write_file_atomically(*out, json);
      } else {
        std::fwrite(json.data(), 1, json.size(), stdout);
        if (std::fflush(stdout) != 0) {
          std::fprintf(stderr, "tallyglass-cli export: cannot write: %s\n", std::strerror(errno));
          return 2;
        }
      }
    } else {
      write_csv_folder(out ? *out : std::string("."), export_csv(docs, dialect ? CsvDialect::excel() : CsvDialect{}));
    }
  } catch (const std::system_error& e) {
    std::fprintf(stderr, "tallyglass-cli export: %s\n", e.what());
    return 2;
  }
  return 0;
}

}  // namespace tallyglass::cli
