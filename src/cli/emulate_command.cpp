// tallyglass-cli emulate: a register on a pseudo-terminal, serving a journal.
#include <signal.h>

#include <cerrno>
#include <optional>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/options.h"
#include "emulator/emulator.h"
#include "text/numbers.h"

namespace tallyglass::cli {
namespace {

constexpr const char* kEmulateUsage =
    "usage: tallyglass-cli emulate --journal FILE [--case N] [--baud B] [--line-speed B]\n"
    "\n"
    "Runs a cash register emulator on a pseudo-terminal. It serves the documents\n"
    "of FILE, a journal in the collected form temp.xml holds, answers the\n"
    "station poll, date-range lookups and document-part requests, and prints the\n"
    "port name to open (such as pts/7) as its first line. Stop it with Ctrl-C.\n"
    "\n"
    "options:\n"
    "  --journal FILE  the journal to serve (required)\n"
    "  --case N        the register's network number, 1 to 99 (default 1)\n"
    "  --baud B        pace every byte at B bit/s, 11 bits a byte (default: unpaced)\n"
    "  --line-speed B  answer only while the port is set to B bit/s (default: any)\n"
    "  --help          this text\n";

bool ReadFile(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  errno = error;
  return !failed;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "tallyglass-cli emulate: %s\n", message.c_str());
  return 2;
}

}  // namespace

int RunEmulate(int argc, char** argv) {
  OptionParser parser("emulate", kEmulateUsage);
  std::optional<std::string> journal_option, case_text, baud_text, line_speed_text;
  parser.value("--journal", &journal_option);
  parser.value("--case", &case_text);
  parser.value("--baud", &baud_text);
  parser.value("--line-speed", &line_speed_text);
  if (!parser.parse(argc, argv)) return parser.fail(parser.error());
  if (parser.help()) return parser.print_help();

  emulator::EmulatorOptions options;
  if (case_text) {
    const auto n = ParseExactInt32(*case_text);
    if (!n || *n < 1 || *n > 99) return Fail("--case must be a number from 1 to 99, not '" + *case_text + "'");
    options.case_number = *n;
  }
  if (line_speed_text) {
    const auto n = ParseExactInt32(*line_speed_text);
    if (!n || *n <= 0) return Fail("--line-speed must be a positive number of bit/s, not '" + *line_speed_text + "'");
    options.line_speed = *n;
  }
  if (baud_text) {
    const auto n = ParseExactInt32(*baud_text);
    if (!n || *n <= 0) return Fail("--baud must be a positive number of bit/s, not '" + *baud_text + "'");
    options.baud = *n;
  }
  const std::string journal_path = journal_option.value_or("");
  if (journal_path.empty()) return parser.fail("--journal FILE is required");
  std::string journal;
  if (!ReadFile(journal_path, journal))
    return Fail("cannot read the journal '" + journal_path + "': " + std::strerror(errno));

  emulator::RegisterEmulator emulator(journal, options);
  if (emulator.Documents().empty())
    std::fprintf(stderr, "tallyglass-cli emulate: '%s' holds no documents; serving none\n",
                 journal_path.c_str());

  // Block the stop signals before the serving thread starts, so that it
  // inherits the mask and sigwait below receives them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  std::string error;
  if (!emulator.Start(&error)) return Fail(error);
  std::printf("%s\n", emulator.PortName().c_str());
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop, &signal_number);
  emulator.Stop();
  return 0;
}

}  // namespace tallyglass::cli
