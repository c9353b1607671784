// tallyglass-cli reconcile: each Z-report set beside the receipts of its day.
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/journal_args.h"
#include "export/reconcile.h"

namespace tallyglass::cli {
namespace {

constexpr const char* kReconcileUsage =
    "usage: tallyglass-cli reconcile (JOURNAL.xml... | --archive [PATH] [--register ZN]) [--json]\n"
    "\n"
    "For every register and every Z-report in the order of the journal, adds up\n"
    "the receipts of its day exactly (annulled ones left out) and sets the sums\n"
    "beside the report's own figures; tells gaps in the journal positions (DI)\n"
    "and in the receipt numbers. Receipts after the last Z-report are an open\n"
    "day: listed and summed, compared with nothing.\n"
    "\n"
    "options:\n"
    "  --json            one JSON object instead of the tables\n"
    "  --register ZN     only the register with this ZN\n"
    "  --archive [PATH]  read the archive (default journal.db) instead of\n"
    "                    journal files\n"
    "  --help            show this text\n"
    "\n"
    "exit status: 0 every day agrees and is complete; 1 a day differs or is\n"
    "incomplete; 2 bad arguments or a journal that cannot be read or parsed.\n";

}  // namespace

int RunReconcile(int argc, char** argv) {
  JournalArgs args;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kReconcileUsage, stdout);
      return 0;
    }
    std::string error;
    if (args.take(argc, argv, i, error)) continue;
    if (!error.empty()) return journal_usage_error("reconcile", error, kReconcileUsage);
    if (arg == "--json") {
      if (json) return journal_usage_error("reconcile", "--json given twice", kReconcileUsage);
      json = true;
      continue;
    }
    return journal_usage_error("reconcile", "unknown option '" + std::string(arg) + "'", kReconcileUsage);
  }
  ExactJournal journal;
  if (const int status = args.load("reconcile", kReconcileUsage, journal); status != 0) return status;
  std::vector<const ExactDocument*> docs;
  for (const auto& d : journal.documents) docs.push_back(&d);
  Reconciliation result;
  try {
    result = reconcile(docs);
  } catch (const ExportError& e) {
    std::fprintf(stderr, "tallyglass-cli reconcile: %s\n", e.what());
    return 2;
  }
  const std::string text = json ? reconciliation_json(result) : reconciliation_text(result);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0) return 2;
  return result.agree() ? 0 : 1;
}

}  // namespace tallyglass::cli
