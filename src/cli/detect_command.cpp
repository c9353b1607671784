// tallyglass-cli detect: finds the port, speed and network number a register
// answers at.
#include <signal.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "detect/port_search.h"
#include "link/link.h"
#include "text/cp1251.h"

namespace tallyglass::cli {
namespace {

constexpr int kExitFound = 0;
constexpr int kExitNoneFound = 1;
constexpr int kExitUsage = 2;

constexpr const char* kDetectUsage =
    "usage: tallyglass-cli detect [--ports P,...] [--speeds S,...] [--cases N,...] [--all]\n"
    "\n"
    "Polls serial ports for a register and prints, for each one that answers, a\n"
    "line \"PORT SPEED CASE STATUS\" on standard output; progress goes to standard\n"
    "error. Without --ports it tries the serial devices present (ttyUSB*, ttyACM*,\n"
    "and the ttyS* with a real UART behind them that are not the kernel's console).\n"
    "\n"
    "options:\n"
    "  --ports P,...   ports to try (names such as ttyUSB0 or COM1, or paths)\n"
    "  --speeds S,...  speeds to try (default 9600,115200,19200,38400,57600,4800,\n"
    "                  14400,28800,56000)\n"
    "  --cases N,...   network numbers to try, 1 to 99; A-B is a range, so 1-99\n"
    "                  tries them all (default 1)\n"
    "  --all           go on after the first register and report every one\n"
    "  --help          this text\n"
    "\n"
    "Each silent combination costs one station poll, about 1.5 s. Ctrl-C stops the\n"
    "search and closes the port it holds.\n"
    "Exit: 0 a register was found, 1 none was found, 2 bad options.\n";

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

void Complain(const std::string& text) {
  std::fprintf(stderr, "tallyglass-cli detect: %s\n", text.c_str());
}

bool ParseNumber(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = text.substr(start, comma - start);
    if (!item.empty()) items.emplace_back(item);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return items;
}

// Numbers and A-B ranges, each from `low` to `high`; false with a message.
bool ParseNumbers(const std::string& option, std::string_view text, int low, int high,
                  bool ranges, std::vector<int>& out) {
  const std::vector<std::string> items = SplitList(text);
  if (items.empty()) {
    Complain(option + " needs at least one value");
    return false;
  }
  for (const std::string& item : items) {
    int first = 0;
    int last = 0;
    const std::size_t dash = ranges ? item.find('-', 1) : std::string::npos;
    const bool ok = dash == std::string::npos
                        ? ParseNumber(item, first) && (last = first, true)
                        : ParseNumber(std::string_view(item).substr(0, dash), first) &&
                              ParseNumber(std::string_view(item).substr(dash + 1), last);
    if (!ok || first < low || last > high || first > last) {
      Complain(option + ": '" + item + "' is not " +
               (ranges ? "a number or range within " : "one of ") + std::to_string(low) + ".." +
               std::to_string(high));
      return false;
    }
    for (int v = first; v <= last; ++v) out.push_back(v);
  }
  return true;
}

}  // namespace

int RunDetect(int argc, char** argv) {
  detect::SearchOptions options;
  std::set<std::string> given;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_value = false;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      has_value = true;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(kDetectUsage, stdout);
      return 0;
    }
    if (!given.insert(arg).second && arg.rfind("--", 0) == 0) {
      Complain(arg + " given twice");
      return kExitUsage;
    }
    if (arg == "--all") {
      if (has_value) {
        Complain("--all takes no value");
        return kExitUsage;
      }
      options.all = true;
      continue;
    }
    if (arg != "--ports" && arg != "--speeds" && arg != "--cases") {
      Complain("unknown option '" + arg + "'");
      std::fputs(kDetectUsage, stderr);
      return kExitUsage;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        Complain(arg + " needs a value");
        return kExitUsage;
      }
      value = argv[++i];
    }
    if (arg == "--ports") {
      options.ports = SplitList(value);
      if (options.ports.empty()) {
        Complain("--ports needs at least one port");
        return kExitUsage;
      }
    } else if (arg == "--speeds") {
      options.speeds.clear();
      const std::vector<std::string> items = SplitList(value);
      if (items.empty()) {
        Complain("--speeds needs at least one value");
        return kExitUsage;
      }
      for (const std::string& item : items) {
        int speed = 0;
        if (!ParseNumber(item, speed) || !link::SupportedSpeed(speed)) {
          Complain("--speeds: '" + item +
                   "' is not a register speed (4800, 9600, 14400, 19200, 28800, 38400, 56000, "
                   "57600, 115200)");
          return kExitUsage;
        }
        options.speeds.push_back(speed);
      }
    } else {
      options.cases.clear();
      if (!ParseNumbers(arg, value, 1, 99, true, options.cases)) return kExitUsage;
    }
  }

  // Ctrl-C lets the poll under way finish (at most 1.5 s) so the port is closed.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  const detect::SearchResult result =
      detect::SearchRegisters(options, [](const detect::SearchEvent& event) {
        // A register found just as Ctrl-C came is still reported.
        if (event.kind == detect::SearchEvent::Kind::kFound) {
          std::printf("%s %d %d %s\n", Cp1251ToUtf8(event.port).c_str(), event.speed,
                      event.network_number, Cp1251ToUtf8(event.text).c_str());
          std::fflush(stdout);
        }
        if (g_interrupted) return false;
        print_line(stderr, detect::DescribeEvent(event));
        return true;
      });

  if (result.cancelled) print_line(stderr, Utf8ToCp1251("Поиск прерван."));
  if (result.found.empty()) {
    if (result.ports_searched == 0)
      print_line(stderr, Utf8ToCp1251("Нет последовательных портов для поиска."));
    if (!result.cancelled) print_line(stderr, Utf8ToCp1251("Аппарат не найден."));
    return kExitNoneFound;
  }
  return kExitFound;
}

}  // namespace tallyglass::cli
