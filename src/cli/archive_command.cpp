// tallyglass-cli archive: importing collected journals into the archive and
// listing what it holds; the archive helpers the other commands share.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_journal.h"
#include "cli/archive_source.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "journal/document_check.h"
#include "link/protocol.h"
#include "text/cp1251.h"

namespace tallyglass::cli {
namespace {

constexpr const char* kArchiveUsage =
    "usage: tallyglass-cli archive import [--archive PATH] FILE...\n"
    "       tallyglass-cli archive list [--archive PATH]\n"
    "       tallyglass-cli archive check [--archive PATH]\n"
    "\n"
    "The archive keeps every document fetched from a register (default\n"
    "journal.db in the current directory); a fetch takes what it holds from it.\n"
    "  import  adds the documents of collected journals (such as temp.xml) and\n"
    "          prints per file how many were added, already there, in conflict\n"
    "          (a differing copy, kept beside the archived one), replaced (an\n"
    "          archived copy that failed its check, kept beside the sound one now\n"
    "          served) and refused (a document that fails its check is never\n"
    "          archived); a file that cannot be read whole adds nothing.\n"
    "          exit: 0 done, 1 a conflict or a refused document,\n"
    "          2 unreadable input or archive\n"
    "  list    one block per register: ZN, FN, receipts and Z-reports (count,\n"
    "          range, gaps), first and last date.\n"
    "          exit: 0 done, 2 a missing or unusable archive\n"
    "  check   checks every archived document as a fetch checks it (one DAT and\n"
    "          its MAC that loads, of its own class and number) and lists those\n"
    "          that fail and every conflict, then a summary line.\n"
    "          exit: 0 all sound, 1 something found, 2 a missing or unusable archive\n";

void Say(const char* command, const std::string& utf8) {
  std::fprintf(stderr, "tallyglass-cli %s: %s\n", command, utf8.c_str());
}

std::string Ranges(const std::vector<std::int32_t>& numbers) {
  if (numbers.empty()) return "none";
  std::string text;
  for (std::size_t i = 0; i < numbers.size();) {
    std::size_t j = i;
    while (j + 1 < numbers.size() && std::int64_t{numbers[j + 1]} == std::int64_t{numbers[j]} + 1) ++j;
    if (i > 0) text += ", ";
    text += std::to_string(numbers[i]);
    if (j > i) {
      text += '-';
      text += std::to_string(numbers[j]);
    }
    i = j + 1;
  }
  return text;
}

std::string Span(const NumberSpan& span) {
  if (span.count == 0) return "0";
  std::string text = std::to_string(span.count);
  text += ", ";
  text += std::to_string(span.first);
  text += '-';
  text += std::to_string(span.last);
  text += ", gaps: ";
  text += Ranges(span.gaps);
  return text;
}

// "DD.MM.YY" of "YYYYMMDD".
std::string DayText(const std::string& day) {
  if (day.size() != 8) return "-";
  return day.substr(6, 2) + "." + day.substr(4, 2) + "." + day.substr(2, 2);
}

std::string DocumentName(const DocumentKey& key) {
  return std::string(key.class_code == kClassZ ? "Z-report " : "receipt ") + std::to_string(key.number) +
         " (ZN " + Cp1251ToUtf8(key.zn) + ", FN " + Cp1251ToUtf8(key.fn) + ")";
}

bool ReadWhole(const std::string& path, std::string& bytes, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  const bool ok = !std::ferror(f);
  if (!ok) error = std::strerror(errno);
  std::fclose(f);
  return ok;
}

int Import(std::vector<char*>& args) {
  std::string path;
  const bool archive_named = TakeArchiveOption(args, path);
  OptionParser parser("archive import", kArchiveUsage);
  if (archive_named) parser.taken("--archive");
  std::vector<std::string> files;
  parser.arguments(&files);
  if (!parser.parse(static_cast<int>(args.size()), args.data())) return parser.fail(parser.error());
  if (parser.help()) return parser.print_help();
  if (files.empty()) return parser.fail("no journal file given");
  // Opened at the first file with documents to store: an import whose every
  // file is refused makes no archive.
  std::unique_ptr<Archive> archive;
  int status = 0;
  for (const auto& file : files) {
    std::string text, error;
    std::vector<std::pair<DocumentKey, std::string>> documents;
    if (!ReadWhole(file, text, error)) {
      Say("archive import", file + ": cannot read: " + error + "; nothing imported from it");
      status = kExitUsage;
      continue;
    }
    try {
      documents = split_collected_journal(text);
    } catch (const ArchiveError& e) {
      Say("archive import", file + ": " + e.what() + "; nothing imported from it");
      status = kExitUsage;
      continue;
    }
    if (!archive && !documents.empty()) {
      archive = OpenArchive("archive import", path, Archive::Mode::kCreate);
      if (!archive) return kExitUsage;
    }
    std::vector<StoreResult> results;
    try {
      if (archive) results = archive->store_all(documents);
    } catch (const ArchiveError& e) {
      Say("archive import", std::string(e.what()) + "; nothing imported from " + file);
      status = kExitUsage;
      continue;
    }
    int added = 0, there = 0, conflicts = 0, replaced = 0, refused = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
      const auto& [key, document] = documents[i];
      switch (results[i]) {
        case StoreResult::kAdded: ++added; break;
        case StoreResult::kAlreadyThere: ++there; break;
        case StoreResult::kConflict:
          ++conflicts;
          Say("archive import", file + ": conflict: " + DocumentName(key) +
                                    " differs from its archived copy; both are kept");
          break;
        case StoreResult::kReplaced:
          ++replaced;
          Say("archive import", file + ": " + DocumentName(key) +
                                    ": the archived copy fails its check; this one is kept in its place");
          break;
        case StoreResult::kRefused:
          ++refused;
          Say("archive import", file + ": not imported: " + DocumentName(key) + ": " +
                                    check_document(document, key.class_code, key.number).message);
          break;
      }
    }
    std::printf("%s: added %d, already there %d, conflicts %d", file.c_str(), added, there, conflicts);
    if (replaced > 0) std::printf(", replaced %d", replaced);
    if (refused > 0) std::printf(", refused %d", refused);
    std::printf("\n");
    if ((conflicts > 0 || refused > 0) && status == 0) status = 1;
  }
  std::fflush(stdout);
  return status;
}

int List(std::vector<char*>& args) {
  std::string path;
  const bool archive_named = TakeArchiveOption(args, path);
  OptionParser parser("archive list", kArchiveUsage);
  if (archive_named) parser.taken("--archive");
  if (!parser.parse(static_cast<int>(args.size()), args.data())) return parser.fail(parser.error());
  if (parser.help()) return parser.print_help();
  auto archive = OpenArchive("archive list", path, Archive::Mode::kReadOnly);
  if (!archive) return kExitUsage;
  std::vector<RegisterSummary> registers;
  try {
    registers = archive->registers();
  } catch (const ArchiveError& e) {
    Say("archive list", e.what());
    return kExitUsage;
  }
  std::string out;
  for (const auto& r : registers) {
    if (!out.empty()) out += "\n";
    out += "ZN: " + Cp1251ToUtf8(r.zn) + "\n";
    out += "FN: " + Cp1251ToUtf8(r.fn) + "\n";
    out += "receipts: " + Span(r.receipts) + "\n";
    out += "Z-reports: " + Span(r.zreports) + "\n";
    out += "dates: " + DayText(r.first_day) + " - " + DayText(r.last_day) + "\n";
    if (r.conflicts > 0) out += "conflicts: " + std::to_string(r.conflicts) + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return 0;
}

// Every archived document checked as a fetch checks it, every conflict
// listed; replaced damaged copies are counted, not listed.
int Check(std::vector<char*>& args) {
  std::string path;
  const bool archive_named = TakeArchiveOption(args, path);
  OptionParser parser("archive check", kArchiveUsage);
  if (archive_named) parser.taken("--archive");
  if (!parser.parse(static_cast<int>(args.size()), args.data())) return parser.fail(parser.error());
  if (parser.help()) return parser.print_help();
  auto archive = OpenArchive("archive check", path, Archive::Mode::kReadOnly);
  if (!archive) return kExitUsage;
  std::string out;
  std::int64_t documents = 0, failing = 0, conflicts = 0, replaced = 0;
  try {
    for (const auto& r : archive->registers(false)) {
      for (const auto& doc : archive->documents(r.id)) {
        ++documents;
        const DocumentCheck check = check_document(doc.text, doc.key.class_code, doc.key.number);
        if (check.ok()) continue;
        ++failing;
        out += "fails: " + DocumentName(doc.key) + ": " + check.message + "\n";
      }
      for (const auto& c : archive->conflicts(r.id)) {
        ++conflicts;
        out += "conflict: " + DocumentName(c.key) + ": a differing copy fetched " + c.fetched_at + "\n";
      }
      replaced += static_cast<std::int64_t>(archive->replaced_copies(r.id).size());
    }
  } catch (const ArchiveError& e) {
    Say("archive check", e.what());
    return kExitUsage;
  }
  out += "documents " + std::to_string(documents) + ", failing " + std::to_string(failing) + ", conflicts " +
         std::to_string(conflicts);
  if (replaced > 0) out += ", damaged copies replaced " + std::to_string(replaced);
  out += "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return failing > 0 || conflicts > 0 ? 1 : 0;
}

}  // namespace

bool TakeArchiveOption(std::vector<char*>& args, std::string& path) {
  path = kDefaultArchive;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg.rfind("--archive=", 0) == 0) {
      path = std::string(arg.substr(10));
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
    if (arg != "--archive") continue;
    std::size_t count = 1;
    if (i + 1 < args.size() && args[i + 1][0] != '-') {
      path = args[i + 1];
      count = 2;
    }
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i + count));
    return true;
  }
  return false;
}

std::unique_ptr<Archive> OpenArchive(const char* command, const std::string& path, Archive::Mode mode) {
  if (path.empty()) {
    Say(command, "--archive needs a file name");
    return nullptr;
  }
  try {
    return std::make_unique<Archive>(path, mode);
  } catch (const ArchiveError& e) {
    Say(command, std::string("the archive cannot be used: ") + e.what());
    return nullptr;
  }
}

std::optional<RegisterSummary> ChooseRegister(const char* command, const Archive& archive,
                                              const std::optional<std::string>& zn_utf8) {
  std::vector<RegisterSummary> all;
  try {
    all = archive.registers(false);
  } catch (const ArchiveError& e) {
    Say(command, e.what());
    return std::nullopt;
  }
  std::vector<RegisterSummary> chosen;
  for (const auto& r : all)
    if (!zn_utf8 || r.zn == Utf8ToCp1251(*zn_utf8)) chosen.push_back(r);
  if (chosen.size() == 1) return chosen.front();
  if (chosen.empty() && !zn_utf8) return RegisterSummary{};  // an empty archive: no documents
  std::string list;
  for (const auto& r : (chosen.empty() ? all : chosen))
    list += "\n  ZN " + Cp1251ToUtf8(r.zn) + "  FN " + Cp1251ToUtf8(r.fn);
  if (chosen.empty()) {
    Say(command, "the archive holds no register with ZN " + *zn_utf8 + "; it holds:" + list);
  } else if (zn_utf8) {
    Say(command, "several registers have ZN " + *zn_utf8 + ":" + list);
  } else {
    Say(command, "the archive holds several registers; choose one with --register ZN:" + list);
  }
  return std::nullopt;
}

int RunArchive(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kArchiveUsage, stderr);
    return kExitUsage;
  }
  const std::string_view sub = argv[1];
  if (sub == "--help" || sub == "-h") {
    std::fputs(kArchiveUsage, stdout);
    return 0;
  }
  // The subcommand sees its own name as argv[0].
  std::vector<char*> args(argv + 1, argv + argc);
  if (sub == "import") return Import(args);
  if (sub == "list") return List(args);
  if (sub == "check") return Check(args);
  std::fprintf(stderr, "tallyglass-cli archive: unknown subcommand '%s'\n\n%s", argv[1], kArchiveUsage);
  return kExitUsage;
}

}  // namespace tallyglass::cli
