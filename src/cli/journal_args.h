#pragma once
// What export and reconcile share: the journal files (or the archive seam),
// --register, and the small value checks of their options.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/exact_journal.h"

namespace tallyglass::cli {

struct JournalArgs {
  std::vector<std::string> journals;
  bool archive = false;
  std::optional<std::string> archive_path;
  std::optional<std::string> register_zn;

  // Takes argv[i] (and its value, moving i) when it is a journal file,
  // --archive [PATH] or --register ZN. False when it is none of them; then
  // `error` says what is wrong if the argument was one of them but bad.
  bool take(int argc, char** argv, int& i, std::string& error);
  // Reads every journal into `journal`, sorted; 0, or the exit status 2 after
  // telling why on standard error.
  int load(const char* command, const char* usage, ExactJournal& journal) const;
};

int journal_usage_error(const char* command, const std::string& message, const char* usage);
std::optional<std::int64_t> whole_number(std::string_view text);

}  // namespace tallyglass::cli
