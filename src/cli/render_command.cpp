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
#include <utility>

#include "cli/commands.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "reader/save_listing.h"
#include "reader/sootv.h"
#include "render/render_listing.h"
#include "text/cp1251.h"

namespace tallyglass::cli {
namespace {

constexpr const char* kRenderUsage =
    "usage: tallyglass-cli render JOURNAL.xml [--type z|check|check+z|service]\n"
    "                             [--from N] [--to N] [--out FILE]\n"
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
    "  --help      show this text\n"
    "\n"
    "Documents are printed in the order of their place in the register's journal.\n"
    "A document that cannot be rendered is cut short, its reason written to\n"
    "error.log in the current directory, and the next one is printed.\n"
    "\n"
    "exit status: 0 printed; 1 the journal text could not be parsed or loaded\n"
    "(the listing says so); 2 bad arguments, or a file that cannot be read or\n"
    "written.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "tallyglass-cli render: %s\n\n%s", message.c_str(), kRenderUsage);
  return 2;
}

std::optional<std::int32_t> parse_number(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto res = std::from_chars(text.data(), end, value);
  if (text.empty() || res.ec != std::errc() || res.ptr != end) return std::nullopt;
  return value;
}

std::optional<int> parse_type(std::string_view text) {
  if (text == "z") return kChoiceZ;
  if (text == "check") return kChoiceCheck;
  if (text == "check+z") return kChoiceCheckZ;
  if (text == "service") return kChoiceService;
  return std::nullopt;
}

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

// When error.log was last written, if it exists: a change tells that a
// document failed.
std::optional<std::pair<long long, long long>> log_stamp() {
  struct stat st {};
  if (::stat(kErrorLog, &st) != 0) return std::nullopt;
  return std::pair<long long, long long>(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

}  // namespace

int RunRender(int argc, char** argv) {
  std::optional<std::string> journal;
  std::optional<std::string> out_path;
  std::optional<std::int32_t> from;
  std::optional<std::int32_t> to;
  int choice = kChoiceCheckZ;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kRenderUsage, stdout);
      return 0;
    }
    // "--name value" or "--name=value".
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string_view::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
      }
      if (name != "--type" && name != "--from" && name != "--to" && name != "--out") {
        return usage_error("unknown option '" + std::string(arg) + "'");
      }
      if (!value) {
        if (i + 1 >= argc) return usage_error(std::string(name) + " needs a value");
        value = argv[++i];
      }
      if (name == "--type") {
        const auto parsed = parse_type(*value);
        if (!parsed) return usage_error("unknown --type '" + std::string(*value) + "' (z, check, check+z or service)");
        choice = *parsed;
      } else if (name == "--out") {
        if (value->empty()) return usage_error("--out needs a file name");
        out_path = std::string(*value);
      } else {
        const auto parsed = parse_number(*value);
        if (!parsed) return usage_error(std::string(name) + " needs a whole number, not '" + std::string(*value) + "'");
        (name == "--from" ? from : to) = *parsed;
      }
      continue;
    }
    if (arg.size() > 1 && arg.front() == '-') return usage_error("unknown option '" + std::string(arg) + "'");
    if (journal) return usage_error("more than one journal file given");
    journal = std::string(arg);
  }
  if (!journal) return usage_error("no journal file given");

  std::string text;
  std::string error;
  if (!read_file(*journal, text, error)) {
    std::fprintf(stderr, "tallyglass-cli render: %s\n", error.c_str());
    return 2;
  }

  static const std::string kBroken = Utf8ToCp1251("Непредвиденный сбой в структуре получаемой информации!");
  static const std::string kTryOther = Utf8ToCp1251("Попробуйте выбрать другой диапазон номеров или дат!");
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
  const bool loaded = parse_and_load(text, model, loader, &failure);
  std::string().swap(text);  // the model holds it all now: no need to keep both
  if (!loaded) {
    std::fprintf(stderr, "tallyglass-cli render: %s: %s\n", journal->c_str(), failure.c_str());
    listing.push_back(kBroken);
    status = 1;
  } else {
    const bool zreports = choice == kChoiceZ;
    const std::int32_t first = from.value_or(zreports ? model.zvit_no_min : model.check_no_min);
    const std::int32_t last = to.value_or(zreports ? model.zvit_no_max : model.check_no_max);
    sootv zvit_state;
    sootv di_by_position;
    const auto log_before = log_stamp();
    try {
      render_listing(model, choice, first, last, zvit_state, di_by_position, listing, kErrorLog);
      if (log_stamp() != log_before) {
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

  if (out_path) {
    try {
      save_listing(listing, *out_path);
    } catch (const std::system_error& e) {
      std::fprintf(stderr, "tallyglass-cli render: %s\n", e.what());
      return 2;
    }
  }
  return status;
}

}  // namespace tallyglass::cli
