// tallyglass-cli fetch / lookup: the query window's two requests and its
// "Вернуть номера" on the command line, over a connection made the way the
// connection window makes it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "archive/archive_session.h"
#include "cli/archive_source.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/date_options.h"
#include "cli/options.h"
#include "detect/open_failure.h"
#include "link/link.h"
#include "print/tape_pdf.h"
#include "reader/query.h"
#include "reader/reader_state.h"
#include "reader/request.h"
#include "settings/connection.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tallyglass::cli {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitNoPort = 3;
constexpr int kExitNoRegister = 4;
constexpr int kExitConflicts = 5;
constexpr int kExitNotKept = 6;

constexpr const char* kFetchUsage =
    "usage: tallyglass-cli fetch --port NAME [--speed BAUD] [--case N]\n"
    "           [--type z|check|check+z|service]\n"
    "           [--from N --to M | --by-dates [--from-date DD.MM.YY] [--from-time HH:MM]\n"
    "                                         [--to-date DD.MM.YY] [--to-time HH:MM]]\n"
    "           [--keep-going] [--trace] [--out FILE] [--pdf FILE]\n"
    "           [--archive PATH | --no-archive]\n"
    "\n"
    "Fetches documents from the register by number (default 1..1) or by date\n"
    "(default: from the first day of the previous month to now), writes the\n"
    "collected journal to temp.xml in the current directory and prints the\n"
    "tape. Defaults: speed 9600, case (network number) 1, type check+z.\n"
    "  --keep-going  answer Retry when the register stops answering (default Cancel)\n"
    "  --trace       every byte on the line, in hex with direction and time, on stderr\n"
    "  --out FILE    also save the tape as Windows-1251 text with CR LF line ends\n"
    "  --pdf FILE    also write the tape as a PDF of tape columns on A4 pages\n"
    "  --archive PATH  the archive of fetched documents (default journal.db): what\n"
    "                it holds for the connected register is taken from it, with\n"
    "                no exchange, and every document fetched is kept in it\n"
    "  --no-archive  fetch everything and keep nothing\n"
    "Ctrl-C stops the fetch after the current document; what came is still printed.\n"
    "Exit: 0 done, 1 the request failed, 2 bad options or a refused check,\n"
    "      3 the port cannot be opened, 4 the register does not answer,\n"
    "      5 done, but documents differ from their archived copies (named on stderr),\n"
    "      6 done, but not everything was kept: temp.xml, --out or --pdf could not\n"
    "        be written, or the archive could not keep documents (named on stderr);\n"
    "      an archive that cannot be used, or an --out or --pdf that cannot be\n"
    "      written: 2 before connecting, nothing touched.\n"
    "Every document is checked before it is taken: one that is not the document\n"
    "asked for (a damaged line) is asked for again, and only sound ones are archived.\n";

constexpr const char* kLookupUsage =
    "usage: tallyglass-cli lookup --port NAME [--speed BAUD] [--case N]\n"
    "           [--from-date DD.MM.YY] [--from-time HH:MM] [--to-date DD.MM.YY] [--to-time HH:MM]\n"
    "\n"
    "Asks the register for the receipt numbers of a period and prints\n"
    "\"FIRST LAST\". Exit: 0 done, 1 no answer, 2 bad options, 3 no port, 4 no register.\n";

struct Options {
  std::optional<std::string> port;
  std::optional<std::string> speed;
  std::optional<std::string> network;
  std::optional<std::string> type;
  std::optional<std::string> from, to;
  bool by_dates = false;
  std::optional<std::string> from_date, from_time, to_date, to_time;
  bool keep_going = false;
  bool trace = false;
  std::optional<std::string> out;
  std::optional<std::string> pdf;
  std::optional<std::string> archive;
  bool no_archive = false;

  int type_index = kChoiceCheckZ;
};

void Complain(const std::string& utf8) { std::fprintf(stderr, "tallyglass-cli: %s\n", utf8.c_str()); }

// Whether a file can be written at path, asked before the line is touched so
// that a long fetch does not end in a file that cannot be made. Nothing is
// created. "" when it can, else why not (UTF-8).
std::string CannotWrite(const std::string& path) {
  if (path.empty()) return "needs a file name";
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return "'" + path + "' is a folder";
    if (::access(path.c_str(), W_OK) != 0) return "cannot write '" + path + "': " + std::strerror(errno);
    return {};
  }
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return "cannot write '" + path + "': no folder '" + folder + "'";
  if (::access(folder.c_str(), W_OK) != 0)
    return "cannot write '" + path + "': " + std::strerror(errno) + " (folder '" + folder + "')";
  return {};
}

// Parses argv into o. Returns -1 to go on, else the exit status (help or a
// bad command line, already reported).
int ParseOptions(int argc, char** argv, bool fetch, Options& o) {
  OptionParser parser(fetch ? "fetch" : "lookup", fetch ? kFetchUsage : kLookupUsage);
  parser.value("--port", &o.port);
  parser.value("--speed", &o.speed);
  parser.value("--case", &o.network);
  parser.value("--from-date", &o.from_date);
  parser.value("--from-time", &o.from_time);
  parser.value("--to-date", &o.to_date);
  parser.value("--to-time", &o.to_time);
  if (fetch) {
    parser.value("--type", &o.type);
    parser.value("--from", &o.from);
    parser.value("--to", &o.to);
    parser.flag("--by-dates", &o.by_dates);
    parser.flag("--keep-going", &o.keep_going);
    parser.flag("--trace", &o.trace);
    parser.value("--out", &o.out);
    parser.value("--pdf", &o.pdf);
    parser.value("--archive", &o.archive);
    parser.flag("--no-archive", &o.no_archive);
  }
  if (!parser.parse(argc, argv)) return parser.fail(parser.error());
  if (parser.help()) return parser.print_help();
  if (!o.port || o.port->empty()) return parser.fail("--port is required");
  if (o.speed && !ParseTypedNatural(*o.speed))
    return parser.fail("--speed: '" + *o.speed + "' is not a number");
  if (o.type) {
    const auto choice = ParseTypeChoice(*o.type);
    if (!choice) return parser.fail("--type: '" + *o.type + "' is none of " + kTypeChoices);
    o.type_index = *choice;
  }
  // Dates and times are checked here, before the line is touched, and handed
  // on in the query window's own form (14.03.2016 becomes 14.03.16).
  for (auto [name, value] : {std::pair{"--from-date", &o.from_date}, std::pair{"--to-date", &o.to_date}}) {
    if (!*value) continue;
    const auto date = ParseOptionDate(**value);
    if (!date) return parser.fail(BadDateMessage(name, **value));
    **value = date->field();
  }
  for (auto [name, value] : {std::pair{"--from-time", &o.from_time}, std::pair{"--to-time", &o.to_time}}) {
    if (!*value) continue;
    const auto time = ParseOptionTime(**value);
    if (!time) return parser.fail(BadTimeMessage(name, **value));
    **value = time->field();
  }
  if (o.from_date || o.from_time || o.to_date || o.to_time) o.by_dates = true;
  if (o.by_dates && (o.from || o.to))
    return parser.fail("--from/--to and the date options exclude each other");
  if (o.archive && o.no_archive) return parser.fail("--archive and --no-archive exclude each other");
  if (o.archive && o.archive->empty()) return parser.fail("--archive needs a file name");
  for (const auto& [name, path] : {std::pair{"--out", &o.out}, std::pair{"--pdf", &o.pdf}}) {
    if (!*path) continue;
    if (const std::string why = CannotWrite(**path); !why.empty()) return parser.fail(std::string(name) + ": " + why);
  }
  return -1;
}

// The query window's fields from the options, over its defaults.
void ApplyFields(const Options& o, ReaderState& state) {
  form_create(state, current_local_time());
  state.type_index = o.type_index;
  state.type_text = type_choice_text(o.type_index);
  if (o.from) {
    state.Edit1 = Utf8ToCp1251(*o.from);
    state.Edit2 = o.to ? Utf8ToCp1251(*o.to) : state.Edit1;  // a lone --from asks for one document
  } else if (o.to) {
    state.Edit2 = Utf8ToCp1251(*o.to);
  }
  if (o.from_date) state.Edit4 = Utf8ToCp1251(*o.from_date);
  if (o.from_time) state.Edit6 = Utf8ToCp1251(*o.from_time);
  if (o.to_date) state.Edit5 = Utf8ToCp1251(*o.to_date);
  if (o.to_time) state.Edit7 = Utf8ToCp1251(*o.to_time);
}

// Opens the port and polls the register as the connect button does. Returns 0
// when connected, else the exit status (the port is closed again).
int Connect(const Options& o) {
  const ConnectOutcome outcome = ConnectRegister(*o.port, o.speed.value_or("9600"),
                                                 Utf8ToCp1251(o.network.value_or("1")));
  switch (outcome.kind) {
    case ConnectOutcome::Kind::kConnected:
      return 0;
    case ConnectOutcome::Kind::kBadNetworkNumber:
      print_line(stderr, outcome.text);
      return kExitUsage;
    case ConnectOutcome::Kind::kOpenFailed: {
      // The designed line first, then what this machine says about the port.
      print_line(stderr, outcome.text);
      const int speed = static_cast<int>(ParseTypedNatural(o.speed.value_or("9600")).value_or(0));
      for (const std::string& cause : detect::ExplainOpenFailure(*o.port, speed)) print_line(stderr, cause);
      return kExitNoPort;
    }
    case ConnectOutcome::Kind::kNoAnswer:
      print_line(stderr, outcome.text);
      return kExitNoRegister;
  }
  return kExitNoRegister;
}

// What the archive did in this fetch, on standard error: how many documents
// came from it, what it could not keep, and the conflicts. kExitConflicts
// when there were any, else 0.
int ReportArchive(const ArchiveSession& session) {
  if (session.served() > 0) print_line(stderr, session.counts_text());
  for (const auto& name : session.replaced())
    print_line(stderr, Utf8ToCp1251("Архив: повреждённая копия заменена полученной с аппарата: ") + name);
  for (const auto& name : session.conflicts())
    print_line(stderr, Utf8ToCp1251("Архив: документ отличается от сохранённой копии, сохранены обе: ") + name);
  const auto missed = session.missed();
  if (!missed.empty()) {
    std::string names;
    for (const auto& name : missed) names += (names.empty() ? "" : ", ") + name;
    print_line(stderr, Utf8ToCp1251("Архив не сохранил документы: ") + names + " (" + session.missed_reason() + ")");
    return kExitNotKept;
  }
  return session.conflicts().empty() ? 0 : kExitConflicts;
}


}  // namespace

int RunFetch(int argc, char** argv) {
  Options o;
  if (const int status = ParseOptions(argc, argv, true, o); status >= 0) return status;
  std::unique_ptr<TraceWriter> trace;
  if (o.trace) {
    trace = std::make_unique<TraceWriter>(stderr);
    link::SetTraceSink([w = trace.get()](bool sent, const std::uint8_t* bytes, std::size_t n) {
      w->add(sent, bytes, n);
    });
  }
  auto finish = [&](int status) {
    if (trace) {
      trace->flush();
      link::SetTraceSink(nullptr);
    }
    return status;
  };
  // An archive that cannot be used stops the fetch before the line is touched.
  std::unique_ptr<Archive> archive;
  if (!o.no_archive) {
    archive = OpenArchive("fetch", o.archive.value_or(kDefaultArchive), Archive::Mode::kCreate);
    if (!archive) return finish(kExitUsage);
  }
  std::unique_ptr<ArchiveSession> session;
  if (archive) {
    session = std::make_unique<ArchiveSession>(*archive);
    session->on_no_match = [](const std::string& text) {
      ClearProgress();
      print_line(stderr, text);
    };
  }
  if (const int status = Connect(o); status != 0) return finish(status);

  ReaderState state;
  ApplyFields(o, state);
  RequestResult result;
  {
    // The number the register answered to, as the requests read it (" 5").
    CliUi ui(o.keep_going);
    CliControl control(int_text(network_number(Utf8ToCp1251(o.network.value_or("1")))), ProgressFor(o.trace));
    if (session) session->bind(control.control());
    result = run_request(state, ui, control.control(), o.by_dates ? kByDates : kByNumbers);
  }
  if (trace) trace->flush();
  link::ClosePort();
  if (result.outcome == RequestOutcome::kRefused) return finish(kExitUsage);

  for (const auto& line : state.listing) print_line(stdout, line);
  std::fflush(stdout);
  int status = 0;
  if (session) {
    session->finish_request();
    status = ReportArchive(*session);
  }
  if (!result.temp_xml_error.empty()) status = kExitNotKept;  // the message was shown by the request
  if (result.outcome == RequestOutcome::kFailed) {
    Complain(Cp1251ToUtf8(result.error));
    status = kExitFailed;
  } else if (result.outcome == RequestOutcome::kStructureFailure) {
    status = kExitFailed;
    Complain("the fetched journal could not be read; see temp.xml");
  }
  if (o.out) {
    try {
      save(state, *o.out);
    } catch (const std::system_error& e) {
      Complain(e.what());
      if (status != kExitFailed) status = kExitNotKept;
    }
  }
  if (o.pdf) {
    const PdfResult pdf = write_tape_pdf(state.listing, lay_out_tape(state.listing, state.document_starts),
                                         heading_for(state.model, state.type_index, state.first_number,
                                                     state.last_number),
                                         *o.pdf);
    if (!pdf.ok()) {
      Complain(pdf.error);
      if (status != kExitFailed) status = kExitNotKept;
    }
  }
  return finish(status);
}

int RunLookup(int argc, char** argv) {
  Options o;
  if (const int status = ParseOptions(argc, argv, false, o); status >= 0) return status;
  ReaderState state;
  ApplyFields(o, state);
  try {  // the fields are the user's: check them before the line is touched
    date_e::from_text(state.Edit4);
    date_e::from_text(state.Edit5);
    time_e::from_text(state.Edit6);
    time_e::from_text(state.Edit7);
  } catch (const FieldConversionError& e) {
    Complain(Cp1251ToUtf8(e.what()));
    return kExitUsage;
  }
  if (const int status = Connect(o); status != 0) return status;

  int status = 0;
  std::int32_t first = 1;
  std::int32_t last = 1;
  try {
    CliControl control(int_text(network_number(Utf8ToCp1251(o.network.value_or("1")))), Progress::kNone);
    if (lookup_range(state, control.control(), first, last)) {
      std::printf("%d %d\n", first, last);
    } else {
      Complain("the register did not answer the lookup");
      status = kExitFailed;
    }
  } catch (const FieldConversionError& e) {
    Complain("the register's reply: " + Cp1251ToUtf8(e.what()));
    status = kExitFailed;
  }
  link::ClosePort();
  return status;
}

}  // namespace tallyglass::cli
