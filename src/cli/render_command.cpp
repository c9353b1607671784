// tallyglass-cli render: a saved journal printed as the paper tape.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/archive_source.h"
#include "cli/commands.h"
#include "cli/date_options.h"
#include "cli/journal_args.h"
#include "cli/options.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "journal/shared_di.h"
#include "print/tape_pdf.h"
#include "print/text_export.h"
#include "reader/save_listing.h"
#include "journal/sootv.h"
#include "render/render_listing.h"
#include "text/cp1251.h"
#include "text/messages.h"
#include "text/numbers.h"

namespace tallyglass::cli {
namespace {

constexpr const char* kRenderUsage =
    "usage: tallyglass-cli render JOURNAL.xml [--type z|check|check+z|service]\n"
    "                             [--from N] [--to N] [--out FILE]\n"
    "                             [--out-encoding cp1251|utf-8] [--pdf FILE] [--quiet]\n"
    "       tallyglass-cli render --archive [PATH] [--register ZN] [--type ...]\n"
    "                             [--from N --to M | --from-date DD.MM.YY --to-date DD.MM.YY]\n"
    "                             [--out FILE] [--out-encoding E] [--pdf FILE] [--quiet]\n"
    "\n"
    "Loads a collected journal (as the reader keeps it in temp.xml) and prints\n"
    "its documents as the register printed them, one tape line per output line,\n"
    "in UTF-8, trailing spaces kept.\n"
    "\n"
    "options:\n"
    "  --type T    which documents to print (default check+z):\n"
    "                z        Z-reports (daily closings)\n"
    "                check    receipts\n"
    "                check+z  receipts and the Z-reports among them\n"
    "                service  service receipts (cash in / cash out), short form\n"
    "  --from N    first number of the range: a Z-report number for --type z,\n"
    "              a receipt number otherwise (default: the lowest loaded)\n"
    "  --to N      last number of the range (default: the highest loaded)\n"
    "  --out FILE  also save the listing to FILE as the reader saves it\n"
    "              (Windows-1251, CR LF after every line)\n"
    "  --out-encoding E  the text of --out: cp1251 (default) or utf-8;\n"
    "              CR LF either way\n"
    "  --pdf FILE  also write the listing as a PDF of tape columns on A4 pages\n"
    "  --quiet     do not print the listing on standard output\n"
    "  --archive [PATH]  render the documents the archive holds (default\n"
    "              journal.db) as a journal holding them would be rendered\n"
    "  --register ZN  the register of the archive (needed when it holds several)\n"
    "  --from-date DD.MM.YY --to-date DD.MM.YY  with --archive: the documents of these days\n"
    "  --help      show this text\n"
    "\n"
    "Documents are printed in the order of their place in the register's journal.\n"
    "A document that cannot be rendered is cut short, its reason written to\n"
    "error.log in the current directory, and the next one is printed.\n"
    "\n"
    "exit status: 0 printed; 1 the journal text could not be parsed or loaded\n"
    "(the listing says so); 2 bad arguments, or a file that cannot be read or\n"
    "written.\n";

// The whole file, or a message saying why it cannot be had.
bool read_file(const std::string& path, std::string& bytes, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error = "cannot read " + path + ": " + std::strerror(EISDIR);
    return false;
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      error = "cannot read " + path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

constexpr const char* kErrorLog = "error.log";

}  // namespace

int RunRender(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  std::string archive_path;
  const bool from_archive = TakeArchiveOption(args, archive_path);
  argc = static_cast<int>(args.size());
  argv = args.data();
  std::optional<std::string> register_zn, from_date, to_date;
  OptionParser options("render", kRenderUsage);
  if (from_archive) options.taken("--archive");
  options.value("--register", &register_zn);
  options.value("--from-date", &from_date);
  options.value("--to-date", &to_date);
  std::vector<std::string> files;
  std::optional<std::string> type_text, from_text, to_text, out_path, encoding_text, pdf_path;
  bool quiet = false;
  options.arguments(&files);
  options.value("--type", &type_text);
  options.value("--from", &from_text);
  options.value("--to", &to_text);
  options.value("--out", &out_path);
  options.value("--out-encoding", &encoding_text);
  options.value("--pdf", &pdf_path);
  options.flag("--quiet", &quiet);
  if (!options.parse(argc, argv)) return options.fail(options.error());
  if (options.help()) return options.print_help();

  int choice = kChoiceCheckZ;
  if (type_text) {
    const auto parsed = ParseTypeChoice(*type_text);
    if (!parsed) return options.fail("unknown --type '" + *type_text + "' (" + kTypeChoices + ")");
    choice = *parsed;
  }
  std::optional<std::int32_t> from, to;
  for (auto [name, text, into] : {std::tuple{"--from", &from_text, &from}, std::tuple{"--to", &to_text, &to}}) {
    if (!*text) continue;
    *into = ParseExactInt32(**text);
    if (!*into) return options.fail(std::string(name) + " needs a whole number, not '" + **text + "'");
  }
  if (from && to && *to < *from)
    return options.fail("the range --from " + std::to_string(*from) + " --to " + std::to_string(*to) +
                        " is empty: --to is below --from");
  if (out_path && out_path->empty()) return options.fail("--out needs a file name");
  if (encoding_text && !out_path) return options.fail("--out-encoding is the encoding of --out: give --out FILE");
  if (pdf_path && pdf_path->empty()) return options.fail("--pdf needs a file name");
  TextEncoding out_encoding = TextEncoding::cp1251;
  if (encoding_text) {
    const auto parsed = parse_text_encoding(*encoding_text);
    if (!parsed) return options.fail("unknown --out-encoding '" + *encoding_text + "' (cp1251 or utf-8)");
    out_encoding = *parsed;
  }
  std::string text;
  std::string error;
  std::optional<std::string> journal;
  if (from_archive) {
    if (!files.empty()) return options.fail("--archive renders the archive: give no journal file");
    if ((from_date || to_date) && (from || to))
      return options.fail("--from/--to and --from-date/--to-date exclude each other");
    ArchiveRequest request;
    request.type_choice = choice;
    request.from = from;
    request.to = to;
    for (auto [name, date, day] : {std::tuple{"--from-date", &from_date, &request.from_day},
                                   std::tuple{"--to-date", &to_date, &request.to_day}}) {
      if (!*date) continue;
      const auto parsed = ParseOptionDate(**date);
      if (!parsed) return options.fail(BadDateMessage(name, **date));
      *day = parsed->stamp();
    }
    const auto archive = OpenArchive("render", archive_path, Archive::Mode::kReadOnly);
    if (!archive) return 2;
    const auto chosen = ChooseRegister("render", *archive, register_zn);
    if (!chosen) return 2;
    try {
      text = archived_journal(*archive, chosen->id, request);
    } catch (const ArchiveError& e) {
      std::fprintf(stderr, "tallyglass-cli render: %s\n", e.what());
      return 2;
    }
    journal = archive_path;
  } else {
    if (register_zn || from_date || to_date)
      return options.fail("--register, --from-date and --to-date need --archive");
    if (files.empty()) return options.fail("no journal file given");
    if (files.size() > 1) return options.fail("more than one journal file given");
    journal = files.front();
    if (!read_file(*journal, text, error)) {
      std::fprintf(stderr, "tallyglass-cli render: %s\n", error.c_str());
      return 2;
    }
  }

  {
    SharedDiFinder shared;
    shared.add(text);
    for (const auto& line : shared_di_lines(shared.shared()))
      std::fprintf(stderr, "tallyglass-cli render: %s\n", line.c_str());
  }

  static const std::string kBroken = Utf8ToCp1251(messages::kStructureFailure);
  static const std::string kTryOther = Utf8ToCp1251(messages::kOtherRange);
  // A large journal's model is hundreds of thousands of small blocks and the
  // process ends right after the listing: the system takes them back at once,
  // cheaper than freeing them one by one. Kept reachable for leak checkers.
  static rq* const kept_model = new rq;
  rq& model = *kept_model;
  control loader;
  loader.clear();
  Listing listing;
  int status = 0;
  std::string failure;
  std::vector<std::size_t> document_starts;
  std::int32_t first = 0;
  std::int32_t last = 0;
  const bool loaded = parse_and_load(text, model, loader, &failure);
  std::string().swap(text);  // the model holds it all now: no need to keep both
  if (!loaded) {
    std::fprintf(stderr, "tallyglass-cli render: %s: %s\n", journal->c_str(), failure.c_str());
    listing.push_back(kBroken);
    status = 1;
  } else {
    const bool zreports = choice == kChoiceZ;
    first = from.value_or(zreports ? model.zvit_no_min : model.check_no_min);
    last = to.value_or(zreports ? model.zvit_no_max : model.check_no_max);
    sootv di_by_position;
    try {
      const RenderResult rendered = render_listing(model, {choice, first, last}, di_by_position, listing);
      write_error_log(rendered, kErrorLog);
      document_starts = rendered.document_starts;
      if (!rendered.ok()) {
        std::fprintf(stderr, "tallyglass-cli render: a document could not be rendered in full; "
                             "the last reason is in %s\n", kErrorLog);
      }
    } catch (const std::exception& e) {
      // A failure outside a single document: reported in the listing as the
      // reader does, with the reason on standard error.
      std::fprintf(stderr, "tallyglass-cli render: %s\n", e.what());
      listing.push_back(kBroken);
      listing.push_back(kTryOther);
      status = 1;
    }
  }

  if (!quiet) {
    // Written in pieces: a whole UTF-8 copy of a large listing would cost as
    // much memory again as the listing itself.
    std::string utf8;
    for (const auto& line : listing) {
      AppendCp1251AsUtf8(utf8, line);
      utf8 += '\n';
      if (utf8.size() >= 65536) {
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        utf8.clear();
      }
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "tallyglass-cli render: cannot write the listing: %s\n", std::strerror(errno));
      return 2;
    }
  }

  if (out_path) {
    try {
      save_listing_as(listing, *out_path, out_encoding);
    } catch (const std::system_error& e) {
      std::fprintf(stderr, "tallyglass-cli render: %s\n", e.what());
      return 2;
    }
  }
  if (pdf_path) {
    const TapeLayout layout = lay_out_tape(listing, document_starts);
    const PdfResult pdf = write_tape_pdf(listing, layout, heading_for(model, choice, first, last), *pdf_path);
    if (!pdf.ok()) {
      std::fprintf(stderr, "tallyglass-cli render: %s\n", pdf.error.c_str());
      return 2;
    }
  }
  return status;
}

}  // namespace tallyglass::cli
