// Figures of fetching through a noisy line: the register emulator spoils
// bytes at random both ways (a bit flipped, a byte dropped, doubled or put in),
// and the reader fetches a synthetic journal again and again with the archive.
// For each noise rate it prints how many documents were asked for, taken,
// left out, and taken or archived wrong (the goal is none), with the damaged
// replies the check value refused and the documents asked for again because
// they failed their own check. With --wire it also times a short fetch at
// 115200 bit/s with the protocol's real waits, noisy against clean.
//
//   noise_figures [--documents N] [--rates R,R,...] [--read-timeout MS] [--wire]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_session.h"
#include "emulator/emulator.h"
#include "link/link.h"
#include "reader/request.h"
#include "support/reader_fakes.h"
#include "support/synthetic_journal.h"

namespace tallyglass {
namespace {

struct Counts {
  long long asked = 0, taken = 0, left_out = 0, wrong = 0, archived_wrong = 0;
  long long refused_lines = 0;   // replies that failed the check value
  long long asked_again = 0;     // whole documents asked for again: they failed their own check
  long long exchanges = 0;
  std::uint64_t spoilt = 0;
  double seconds = 0;
};

struct Fetched {
  RequestResult result;
  ReaderState state;
};

// One request for receipts first..last with a fresh archive, counting what
// crossed the line.
void FetchOnce(const std::map<int, std::string>& held, int first, int last, bool skip_waits,
               const std::filesystem::path& scratch, Counts& counts) {
  ReaderState state;
  state.work_dir = scratch.string();
  if (skip_waits) state.wait_ms = [](int) {};
  state.Edit1 = std::to_string(first);
  state.Edit2 = std::to_string(last);
  state.type_index = kChoiceCheck;
  state.type_text = type_choice_text(kChoiceCheck);
  // Counts the exchanges: a part 0 asked for right after an answered part of
  // the same document means the whole document failed its check.
  auto inner = state.link.request_b;
  auto last_answered = std::make_shared<std::string>();
  state.link.request_b = [&counts, inner, last_answered](int net, std::string_view text, int mode, bool convert) {
    const std::string request(text);
    const std::string document = request.substr(0, request.rfind(';', request.size() - 2) + 1);
    if (request.size() >= 3 && request.compare(request.size() - 3, 3, ";0;") == 0 && *last_answered == document)
      ++counts.asked_again;
    const int result = inner(net, text, mode, convert);
    ++counts.exchanges;
    if (result == link::kBadCheckValue) ++counts.refused_lines;
    *last_answered = result > 0 ? document : std::string();
    return result;
  };
  const std::filesystem::path archive_path = scratch / "journal.db";
  std::filesystem::remove(archive_path);
  std::filesystem::remove(scratch / "journal.db-wal");
  std::filesystem::remove(scratch / "journal.db-shm");
  Archive archive(archive_path.string());
  ArchiveSession session(archive);
  test_support::RecordingUi ui;
  ui.answer_retry = [] { return true; };
  session.bind(ui.control);
  const RequestResult result = run_request(state, ui, ui.control, kByNumbers);
  session.finish_request();
  counts.asked += last - first + 1;
  counts.left_out += static_cast<long long>(result.left_out.size());
  // Every collected entry must be the register's document of its number.
  for (std::size_t i = 2; i + 1 < state.raw_list.size(); ++i) {
    ++counts.taken;
    bool found = false;
    for (const auto& [n, bytes] : held) found = found || bytes == state.raw_list[i];
    if (!found) ++counts.wrong;
  }
  for (const auto& r : archive.registers(false))
    for (const auto& doc : archive.documents(r.id)) {
      const auto it = held.find(doc.key.number);
      if (it == held.end() || it->second != doc.text) ++counts.archived_wrong;
    }
}

std::map<int, std::string> Receipts(const std::vector<emulator::Document>& documents) {
  std::map<int, std::string> held;
  for (const auto& d : documents)
    if (d.class_code == emulator::kReceiptClass) held[d.number] = d.bytes;
  return held;
}

Counts IntegrityRun(const std::string& journal, double rate, long long documents, int read_timeout_ms,
                    const std::filesystem::path& scratch) {
  emulator::RegisterEmulator reg(journal);
  const auto held = Receipts(reg.Documents());
  Counts counts;
  std::string error;
  if (!reg.Start(&error)) {
    std::fprintf(stderr, "noise figures: %s\n", error.c_str());
    std::exit(1);
  }
  link::SetWaitFunction([](int) {});
  link::SetReadTimeout(read_timeout_ms);
  if (link::OpenPort(reg.PortName(), 115200) != link::kPortOpened) std::exit(1);
  const auto start = std::chrono::steady_clock::now();
  const int first = held.begin()->first;
  const int last = held.rbegin()->first;
  for (std::uint32_t round = 0; counts.asked < documents; ++round) {
    reg.SetNoise(rate, 1000u + round);
    FetchOnce(held, first, last, true, scratch, counts);
    std::fprintf(stderr, "\r%.1f %%: %lld of %lld documents asked", rate * 100, counts.asked, documents);
  }
  std::fprintf(stderr, "\n");
  counts.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  counts.spoilt = reg.NoiseDamage();
  link::ClosePort();
  link::SetReadTimeout(0);
  link::SetWaitFunction(nullptr);
  return counts;
}

// A fetch of the first `count` receipts at 115200 bit/s with every wait and
// time-out real: the wire time a user waits.
Counts WireRun(const std::string& journal, double rate, int count, const std::filesystem::path& scratch) {
  emulator::EmulatorOptions paced;
  paced.baud = 115200;
  emulator::RegisterEmulator reg(journal, paced);
  const auto held = Receipts(reg.Documents());
  reg.SetNoise(rate, 77);
  Counts counts;
  std::string error;
  if (!reg.Start(&error) || link::OpenPort(reg.PortName(), 115200) != link::kPortOpened) std::exit(1);
  const auto start = std::chrono::steady_clock::now();
  FetchOnce(held, held.begin()->first, held.begin()->first + count - 1, false, scratch, counts);
  counts.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  link::ClosePort();
  return counts;
}

}  // namespace
}  // namespace tallyglass

int main(int argc, char** argv) {
  using namespace tallyglass;
  long long documents = 10000;
  std::vector<double> rates = {0.001, 0.003, 0.01};
  int read_timeout_ms = 5;
  bool wire = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--documents" && i + 1 < argc) {
      documents = std::atoll(argv[++i]);
    } else if (arg == "--rates" && i + 1 < argc) {
      rates.clear();
      for (std::string list = argv[++i]; !list.empty();) {
        const std::size_t comma = list.find(',');
        rates.push_back(std::strtod(list.substr(0, comma).c_str(), nullptr));
        list = comma == std::string::npos ? "" : list.substr(comma + 1);
      }
    } else if (arg == "--read-timeout" && i + 1 < argc) {
      read_timeout_ms = std::atoi(argv[++i]);
    } else if (arg == "--wire") {
      wire = true;
    } else {
      std::fprintf(stderr,
                   "usage: noise_figures [--documents N] [--rates R,R,...] [--read-timeout MS] [--wire]\n");
      return 2;
    }
  }
  bench::SyntheticJournalOptions options;
  options.documents = 202;
  options.receipts_per_zreport = 100;
  options.min_lines = 3;
  options.max_lines = 12;
  const std::string journal = bench::MakeSyntheticJournal(options).text;
  const auto scratch = std::filesystem::temp_directory_path() / ("tallyglass-noise-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);

  std::printf("| noise | asked | taken | left out | taken wrong | archived wrong | replies refused by the check value "
              "| documents asked again (failed their check) | exchanges | bytes spoilt | seconds |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
  int failed = 0;
  for (const double rate : rates) {
    const Counts c = IntegrityRun(journal, rate, documents, read_timeout_ms, scratch);
    std::printf("| %.1f %% | %lld | %lld | %lld | %lld | %lld | %lld | %lld | %lld | %llu | %.0f |\n", rate * 100,
                c.asked, c.taken, c.left_out, c.wrong, c.archived_wrong, c.refused_lines, c.asked_again,
                c.exchanges, static_cast<unsigned long long>(c.spoilt), c.seconds);
    std::fflush(stdout);
    if (c.wrong > 0 || c.archived_wrong > 0) failed = 1;
  }
  if (wire) {
    constexpr int kWireDocuments = 10;
    const Counts clean = WireRun(journal, 0, kWireDocuments, scratch);
    std::printf("\n| noise | wire time of %d receipts at 115200 bit/s, s | against a clean line | taken |\n",
                kWireDocuments);
    std::printf("|---|---|---|---|\n");
    std::printf("| clean | %.2f | 1.00 | %lld |\n", clean.seconds, clean.taken);
    for (const double rate : rates) {
      const Counts c = WireRun(journal, rate, kWireDocuments, scratch);
      std::printf("| %.1f %% | %.2f | %.2f | %lld |\n", rate * 100, c.seconds, c.seconds / clean.seconds, c.taken);
      std::fflush(stdout);
      if (c.wrong > 0 || c.archived_wrong > 0) failed = 1;
    }
  }
  std::filesystem::remove_all(scratch);
  return failed;
}
