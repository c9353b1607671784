// tallyglass-cli emulate: a register on a pseudo-terminal, serving a journal.
#include <signal.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "emulator/emulator.h"

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

bool ParseInt(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

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
  std::string journal_path;
  emulator::EmulatorOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kEmulateUsage, stdout);
      return 0;
    }
    const bool takes_value = arg == "--journal" || arg == "--case" || arg == "--baud" ||
                             arg == "--line-speed";
    if (!takes_value) {
      std::fprintf(stderr, "tallyglass-cli emulate: unknown option '%s'\n\n%s", argv[i],
                   kEmulateUsage);
      return 2;
    }
    if (i + 1 >= argc) return Fail(std::string(arg) + " needs a value");
    const std::string_view value = argv[++i];
    if (arg == "--journal") {
      journal_path = value;
    } else if (arg == "--case") {
      if (!ParseInt(value, options.case_number) || options.case_number < 1 ||
          options.case_number > 99)
        return Fail("--case must be a number from 1 to 99, not '" + std::string(value) + "'");
    } else if (arg == "--line-speed") {
      if (!ParseInt(value, options.line_speed) || options.line_speed <= 0)
        return Fail("--line-speed must be a positive number of bit/s, not '" + std::string(value) + "'");
    } else if (!ParseInt(value, options.baud) || options.baud <= 0) {
      return Fail("--baud must be a positive number of bit/s, not '" + std::string(value) + "'");
    }
  }
  if (journal_path.empty()) {
    std::fprintf(stderr, "tallyglass-cli emulate: --journal FILE is required\n\n%s",
                 kEmulateUsage);
    return 2;
  }
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
