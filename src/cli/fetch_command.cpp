// tallyglass-cli fetch / lookup: the query window's two requests and its
// "Вернуть номера" on the command line, over a connection made the way the
// connection window makes it.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "detect/open_failure.h"
#include "link/link.h"
#include "reader/query.h"
#include "reader/reader_state.h"
#include "reader/request.h"
#include "text/cp1251.h"

namespace tallyglass::cli {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;  // also a refused request check
constexpr int kExitNoPort = 3;
constexpr int kExitNoRegister = 4;

constexpr const char* kFetchUsage =
    "usage: tallyglass-cli fetch --port NAME [--speed BAUD] [--case N]\n"
    "           [--type z|check|check+z|service]\n"
    "           [--from N --to M | --by-dates [--from-date DD.MM.YY] [--from-time HH:MM]\n"
    "                                         [--to-date DD.MM.YY] [--to-time HH:MM]]\n"
    "           [--keep-going] [--trace] [--out FILE]\n"
    "\n"
    "Fetches documents from the register by number (default 1..1) or by date\n"
    "(default: from the first day of the previous month to now), writes the\n"
    "collected journal to temp.xml in the current directory and prints the\n"
    "tape. Defaults: speed 9600, case (network number) 1, type check+z.\n"
    "  --keep-going  answer Retry when the register stops answering (default Cancel)\n"
    "  --trace       every byte on the line, in hex with direction and time, on stderr\n"
    "  --out FILE    also save the tape as Windows-1251 text with CR LF line ends\n"
    "Ctrl-C stops the fetch after the current document; what came is still printed.\n"
    "Exit: 0 done, 1 the request failed, 2 bad options or a refused check,\n"
    "      3 the port cannot be opened, 4 the register does not answer.\n";

constexpr const char* kLookupUsage =
    "usage: tallyglass-cli lookup --port NAME [--speed BAUD] [--case N]\n"
    "           [--from-date DD.MM.YY] [--from-time HH:MM] [--to-date DD.MM.YY] [--to-time HH:MM]\n"
    "\n"
    "Asks the register for the receipt numbers of a period and prints\n"
    "\"FIRST LAST\". Exit: 0 done, 1 no answer, 2 bad options, 3 no port, 4 no register.\n";

struct Options {
  std::string port;
  int speed = 9600;
  std::string network = "1";
  int type_index = kChoiceCheckZ;
  std::optional<std::string> from, to;
  bool by_dates = false;
  std::optional<std::string> from_date, from_time, to_date, to_time;
  bool keep_going = false;
  bool trace = false;
  std::optional<std::string> out;
  bool help = false;
};

void Complain(const std::string& utf8) { std::fprintf(stderr, "tallyglass-cli: %s\n", utf8.c_str()); }

// Parses argv; on an error prints it and returns false.
bool ParseOptions(int argc, char** argv, bool fetch, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::optional<std::string> inline_value;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      inline_value = arg.substr(eq + 1);
      arg.resize(eq);
    }
    auto value = [&](std::string& into) {
      if (inline_value) {
        into = *inline_value;
        return true;
      }
      if (i + 1 >= argc) {
        Complain(arg + " needs a value");
        return false;
      }
      into = argv[++i];
      return true;
    };
    auto optional_value = [&](std::optional<std::string>& into) {
      std::string v;
      if (!value(v)) return false;
      into = v;
      return true;
    };
    auto flag = [&](bool& into) {
      if (inline_value) {
        Complain(arg + " takes no value");
        return false;
      }
      into = true;
      return true;
    };
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--port") {
      ok = value(o.port);
    } else if (arg == "--speed") {
      std::string v;
      ok = value(v);
      if (ok) {
        try {
          o.speed = field_to_int(v);
        } catch (const FieldConversionError&) {
          Complain("--speed: '" + v + "' is not a number");
          ok = false;
        }
      }
    } else if (arg == "--case") {
      ok = value(o.network);
    } else if (arg == "--from-date") {
      ok = optional_value(o.from_date);
    } else if (arg == "--from-time") {
      ok = optional_value(o.from_time);
    } else if (arg == "--to-date") {
      ok = optional_value(o.to_date);
    } else if (arg == "--to-time") {
      ok = optional_value(o.to_time);
    } else if (fetch && arg == "--type") {
      std::string v;
      ok = value(v);
      if (ok) {
        if (v == "z") o.type_index = kChoiceZ;
        else if (v == "check") o.type_index = kChoiceCheck;
        else if (v == "check+z") o.type_index = kChoiceCheckZ;
        else if (v == "service") o.type_index = kChoiceService;
        else {
          Complain("--type: '" + v + "' is none of z, check, check+z, service");
          ok = false;
        }
      }
    } else if (fetch && arg == "--from") {
      ok = optional_value(o.from);
    } else if (fetch && arg == "--to") {
      ok = optional_value(o.to);
    } else if (fetch && arg == "--by-dates") {
      ok = flag(o.by_dates);
    } else if (fetch && arg == "--keep-going") {
      ok = flag(o.keep_going);
    } else if (fetch && arg == "--trace") {
      ok = flag(o.trace);
    } else if (fetch && arg == "--out") {
      ok = optional_value(o.out);
    } else {
      Complain("unknown option '" + arg + "'");
      ok = false;
    }
    if (!ok) return false;
  }
  if (o.help) return true;
  if (o.port.empty()) {
    Complain("--port is required");
    return false;
  }
  if (o.from_date || o.from_time || o.to_date || o.to_time) o.by_dates = true;
  if (o.by_dates && (o.from || o.to)) {
    Complain("--from/--to and the date options exclude each other");
    return false;
  }
  return true;
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
  int network_number = 0;
  try {
    network_number = field_to_int(Utf8ToCp1251(o.network));
  } catch (const FieldConversionError&) {
    Complain("--case: '" + o.network + "' is not a number");
    return kExitUsage;
  }
  if (link::OpenPort(o.port, o.speed) != link::kPortOpened) {
    print_line(stderr, Utf8ToCp1251("Невозможно подключить порт"));
    for (const std::string& cause : detect::ExplainOpenFailure(o.port, o.speed)) print_line(stderr, cause);
    return kExitNoPort;
  }
  if (link::PollStation(network_number) != 0) {
    link::ClosePort();
    print_line(stderr, Utf8ToCp1251("Подключения нет. Проверьте выбранную скорость обмена и "
                                    "сетевой номер аппарата"));
    return kExitNoRegister;
  }
  return 0;
}

}  // namespace

int RunFetch(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, true, o)) {
    std::fputs(kFetchUsage, stderr);
    return kExitUsage;
  }
  if (o.help) {
    std::fputs(kFetchUsage, stdout);
    return 0;
  }
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
  if (const int status = Connect(o); status != 0) return finish(status);

  ReaderState state;
  ApplyFields(o, state);
  const bool progress = !o.trace && ::isatty(STDERR_FILENO) == 1;
  RequestResult result;
  {
    CliUi ui(Utf8ToCp1251(o.network), o.keep_going, progress);
    result = run_request(state, ui, o.by_dates ? kByDates : kByNumbers);
  }
  if (trace) trace->flush();
  link::ClosePort();
  if (result.outcome == RequestOutcome::kRefused) return finish(kExitUsage);

  for (const auto& line : state.listing) print_line(stdout, line);
  std::fflush(stdout);
  int status = 0;
  if (result.outcome == RequestOutcome::kFailed) {
    Complain(Cp1251ToUtf8(result.error));
    status = kExitFailed;
  } else if (result.outcome == RequestOutcome::kStructureFailure) {
    Complain("the fetched journal could not be read; see temp.xml");
    status = kExitFailed;
  }
  if (o.out) {
    try {
      save(state, *o.out);
    } catch (const std::system_error& e) {
      Complain(e.what());
      status = kExitFailed;
    }
  }
  return finish(status);
}

int RunLookup(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, false, o)) {
    std::fputs(kLookupUsage, stderr);
    return kExitUsage;
  }
  if (o.help) {
    std::fputs(kLookupUsage, stdout);
    return 0;
  }
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
    CliUi ui(Utf8ToCp1251(o.network), false, false);
    if (lookup_range(state, ui, first, last)) {
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
