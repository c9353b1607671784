#include "cli/journal_args.h"

#include <charconv>
#include <cstdio>
#include <exception>

#include "archive/archive_journal.h"
#include "cli/archive_source.h"

namespace tallyglass::cli {

bool JournalArgs::take(int argc, char** argv, int& i, std::string& error) {
  const std::string_view arg = argv[i];
  if (arg == "--archive") {
    archive = true;
    // The path is optional: the next argument is it unless it is an option.
    if (i + 1 < argc && argv[i + 1][0] != '-') archive_path = argv[++i];
    return true;
  }
  if (arg == "--register") {
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
    const auto opened = OpenArchive(command, archive_path.value_or(kDefaultArchive), Archive::Mode::kExisting);
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
  if (register_zn) journal.keep_register(*register_zn);
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

std::optional<std::string> day_stamp(std::string_view text) {
  if (text.size() != 8 || text[2] != '.' || text[5] != '.') return std::nullopt;
  for (const int i : {0, 1, 3, 4, 6, 7}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  const int day = (text[0] - '0') * 10 + (text[1] - '0');
  const int month = (text[3] - '0') * 10 + (text[4] - '0');
  const int year = 2000 + (text[6] - '0') * 10 + (text[7] - '0');
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return std::nullopt;
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  if (month == 2 && day == 29 && !leap) return std::nullopt;
  std::string out = std::to_string(year);
  out += text.substr(3, 2);
  out += text.substr(0, 2);
  return out;
}

}  // namespace tallyglass::cli
