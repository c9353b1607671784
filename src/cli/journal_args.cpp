#include "cli/journal_args.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <set>
#include <utility>

#include "archive/archive_journal.h"
#include "cli/archive_source.h"
#include "text/cp1251.h"

namespace tallyglass::cli {

bool JournalArgs::take(int argc, char** argv, int& i, std::string& error) {
  const std::string_view arg = argv[i];
  if (arg == "--archive") {
    if (archive) {
      error = "--archive given twice";
      return false;
    }
    archive = true;
    // The path is optional: the next argument is it unless it is an option.
    if (i + 1 < argc && argv[i + 1][0] != '-') archive_path = argv[++i];
    return true;
  }
  if (arg == "--register") {
    if (register_zn) {
      error = "--register given twice";
      return false;
    }
    if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
      error = "--register needs a ZN";
      return false;
    }
    register_zn = argv[++i];
    return true;
  }
  if (arg.size() > 1 && arg.front() == '-') return false;
  journals.emplace_back(arg);
  return true;
}

int JournalArgs::load(const char* command, const char* usage, ExactJournal& journal) const {
  if (archive) {
    if (!journals.empty())
      return journal_usage_error(command, "--archive reads the archive: give no journal file", usage);
    const auto opened = OpenArchive(command, archive_path.value_or(kDefaultArchive), Archive::Mode::kReadOnly);
    if (!opened) return 2;
    try {
      for (const auto& r : opened->registers(false))
        journal.add_text(collected_journal(opened->documents(r.id)), opened->path());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tallyglass-cli %s: %s\n", command, e.what());
      return 2;
    }
  } else if (journals.empty()) {
    return journal_usage_error(command, "no journal file given", usage);
  }
  try {
    for (const auto& path : journals) journal.add_file(path);
  } catch (const ExportError& e) {
    std::fprintf(stderr, "tallyglass-cli %s: %s\n", command, e.what());
    return 2;
  }
  for (const auto& line : shared_di_lines(journal.shared_dis()))
    std::fprintf(stderr, "tallyglass-cli %s: %s\n", command, line.c_str());
  if (register_zn) {
    // The option is UTF-8 as typed, the journal's ZN Windows-1251.
    const std::string zn = Utf8ToCp1251(*register_zn);
    std::set<std::pair<std::string, std::string>> registers;
    bool found = false;
    for (const auto& d : journal.documents) {
      registers.emplace(d.zn, d.fn);
      found = found || d.zn == zn;
    }
    if (!found) {
      std::string list;
      for (const auto& [z, f] : registers) list += "\n  ZN " + Cp1251ToUtf8(z) + "  FN " + Cp1251ToUtf8(f);
      std::fprintf(stderr, "tallyglass-cli %s: no register with ZN %s in the input; %s\n", command,
                   register_zn->c_str(), list.empty() ? "it holds no documents" : ("it holds:" + list).c_str());
      return 2;
    }
    journal.keep_register(zn);
  }
  journal.sort();
  return 0;
}

int journal_usage_error(const char* command, const std::string& message, const char* usage) {
  std::fprintf(stderr, "tallyglass-cli %s: %s\n\n%s", command, message.c_str(), usage);
  return 2;
}

std::optional<std::int64_t> whole_number(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto res = std::from_chars(text.data(), end, value);
  if (text.empty() || res.ec != std::errc() || res.ptr != end) return std::nullopt;
  return value;
}

}  // namespace tallyglass::cli
