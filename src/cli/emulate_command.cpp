// tallyglass-cli emulate: a register on a pseudo-terminal, serving a journal.
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "emulator/emulator.h"
#include "text/numbers.h"

namespace tallyglass::cli {
namespace {

constexpr const char* kEmulateUsage =
    "usage: tallyglass-cli emulate --journal FILE [--case N] [--baud B] [--line-speed B]\n"
    "           [--noise RATE] [--faults KINDS [--fault-rate P]] [--fault PLAN] [--seed N]\n"
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
    "\n"
    "A bad line, to rehearse with:\n"
    "  --noise RATE    spoil each byte on the line, both ways, with probability\n"
    "                  RATE (0 to 1; 0.003 is a poor cable): a bit flipped, the\n"
    "                  byte dropped or doubled, or a random byte put before it\n"
    "  --faults KINDS  let each poll and request go wrong with probability\n"
    "                  --fault-rate (default 0.05), the fault drawn from KINDS,\n"
    "                  a comma-separated list of: refuse-frame (a byte other\n"
    "                  than ACK), error-reply (\"E;\"), bad-check (both check\n"
    "                  bytes wrong), one-check-byte (the low one wrong),\n"
    "                  fill-bytes (0xFF after every text byte), silence,\n"
    "                  ack-only (ACK, then nothing), cut-reply (half a line),\n"
    "                  overlong-reply (2000 text bytes), wrong-first-byte (a\n"
    "                  poll answer that does not start with 0x0A), close-line\n"
    "                  (the register goes away), hidden-damage (two bits of a\n"
    "                  reply flipped 255 bits apart: the check value cannot see\n"
    "                  it, the document check must)\n"
    "  --fault-rate P  the probability for --faults, 0 to 1\n"
    "  --fault PLAN    faults at given events: a comma-separated list of\n"
    "                  poll:N:KIND or frame:N:KIND, N counting polls or request\n"
    "                  frames from 0 (frame:3:silence,poll:0:wrong-first-byte)\n"
    "  --seed N        the seed of --noise and --faults (default 1): the same\n"
    "                  seed spoils the same bytes again\n"
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

// A probability written with a decimal point ("0.003", "1", "0"), read
// without the locale.
bool ParseProbability(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  return error == std::errc() && at == end && value >= 0 && value <= 1;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  for (std::size_t from = 0; from <= text.size();) {
    const std::size_t comma = std::min(text.find(',', from), text.size());
    if (comma > from) items.push_back(text.substr(from, comma - from));
    from = comma + 1;
  }
  return items;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "tallyglass-cli emulate: %s\n", message.c_str());
  return 2;
}

}  // namespace

int RunEmulate(int argc, char** argv) {
  OptionParser parser("emulate", kEmulateUsage);
  std::optional<std::string> journal_option, case_text, baud_text, line_speed_text;
  std::optional<std::string> noise_text, faults_text, fault_rate_text, plan_text, seed_text;
  parser.value("--journal", &journal_option);
  parser.value("--case", &case_text);
  parser.value("--baud", &baud_text);
  parser.value("--line-speed", &line_speed_text);
  parser.value("--noise", &noise_text);
  parser.value("--faults", &faults_text);
  parser.value("--fault-rate", &fault_rate_text);
  parser.value("--fault", &plan_text);
  parser.value("--seed", &seed_text);
  if (!parser.parse(argc, argv)) return parser.fail(parser.error());
  if (parser.help()) return parser.print_help();

  std::uint32_t seed = 1;
  if (seed_text) {
    const auto n = ParseExactInteger(*seed_text);
    if (!n || *n < 0 || *n > 0xFFFFFFFFLL) return Fail("--seed must be a whole number from 0 to 4294967295, not '" + *seed_text + "'");
    seed = static_cast<std::uint32_t>(*n);
  }
  double noise = 0;
  if (noise_text && !ParseProbability(*noise_text, noise))
    return Fail("--noise must be a probability from 0 to 1, such as 0.003, not '" + *noise_text + "'");
  double fault_rate = 0.05;
  if (fault_rate_text && !faults_text) return Fail("--fault-rate goes with --faults");
  if (fault_rate_text && !ParseProbability(*fault_rate_text, fault_rate))
    return Fail("--fault-rate must be a probability from 0 to 1, not '" + *fault_rate_text + "'");
  std::vector<emulator::Fault> kinds;
  if (faults_text) {
    for (const std::string& name : SplitList(*faults_text)) {
      const auto fault = emulator::FaultFromName(name);
      if (!fault) return Fail("--faults: '" + name + "' is none of " + emulator::FaultNames());
      kinds.push_back(*fault);
    }
    if (kinds.empty()) return Fail("--faults needs at least one of " + emulator::FaultNames());
  }
  struct Planned {
    emulator::Event::Kind kind;
    int index;
    emulator::Fault fault;
  };
  std::vector<Planned> plan;
  if (plan_text) {
    for (const std::string& item : SplitList(*plan_text)) {
      const std::size_t a = item.find(':');
      const std::size_t b = a == std::string::npos ? a : item.find(':', a + 1);
      const std::string what = item.substr(0, a);
      std::optional<std::int32_t> index;
      std::optional<emulator::Fault> fault;
      if (b != std::string::npos) {
        index = ParseExactInt32(item.substr(a + 1, b - a - 1));
        fault = emulator::FaultFromName(item.substr(b + 1));
      }
      if ((what != "poll" && what != "frame") || !index || *index < 0 || !fault)
        return Fail("--fault: '" + item + "' is not poll:N:KIND or frame:N:KIND with KIND one of " +
                    emulator::FaultNames());
      plan.push_back({what == "poll" ? emulator::Event::kPoll : emulator::Event::kFrame, *index, *fault});
    }
  }

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
  if (noise > 0) emulator.SetNoise(noise, seed);
  if (!kinds.empty()) emulator.SetRandomFaults(seed, fault_rate, kinds);
  for (const auto& p : plan) emulator.SetFault(p.kind, p.index, p.fault);
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
