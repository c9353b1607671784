// Fetching 200 documents of 300 to 3000 bytes from the register emulator:
// how close the fetch comes to the time the bytes themselves need on the wire.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "emulator/emulator.h"
#include "link/link.h"
#include "reader/fetch.h"
#include "reader/reader_state.h"
#include "reader/quiet_ui.h"

namespace tallyglass {
namespace {

constexpr int kDocuments = 200;
constexpr int kBaud = 115200;

// A journal of receipts 1..200, each padded with comment lines to a size
// drawn evenly from 300..3000 bytes (seeded, so every run fetches the same).
std::string MakeJournal() {
  std::mt19937 random(20160407);
  std::uniform_int_distribution<int> size(300, 3000);
  std::string journal = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<RQ V=\"1\">\n";
  for (int n = 1; n <= kDocuments; ++n) {
    const std::string no = std::to_string(n);
    const std::string head = "<DAT DI=\"" + no + "\" DT=\"0\" FN=\"3011223344\" V=\"1\"><C CN=\"1\" T=\"0\">";
    const std::string tail = "<E N=\"2\" NO=\"" + no + "\" SM=\"100\" TS=\"20160314080512\"></E></C>"
                             "<TS>20160314080512</TS></DAT><MAC DI=\"" + no + "\" NT=\"" + no +
                             "\">UvImZaYMEtKJGF2VDuiBNgkWb2sRPReN</MAC>";
    std::string body = "<L N=\"1\">";
    const std::size_t want = static_cast<std::size_t>(size(random));
    while (head.size() + body.size() + tail.size() + 4 < want) body += static_cast<char>('a' + body.size() % 26);
    body += "</L>";
    journal += head + body + tail + "\n";
  }
  journal += "</RQ>\n";
  return journal;
}

void FetchFromEmulator(benchmark::State& bench, int baud) {
  emulator::EmulatorOptions options;
  options.baud = baud;
  emulator::RegisterEmulator reg(MakeJournal(), options);
  std::string error;
  if (!reg.Start(&error)) {
    bench.SkipWithError(error.c_str());
    return;
  }
  if (link::OpenPort(reg.PortName(), kBaud) != link::kPortOpened) {
    bench.SkipWithError("cannot open the emulator's port");
    return;
  }
  const auto dir = std::filesystem::temp_directory_path() / "tallyglass-fetch-bench";
  std::filesystem::create_directories(dir);
  QuietUi ui;
  RequestControl control;
  control.progress = [](std::string_view) {};  // progress lines are made, as on a desktop
  double wire_seconds = 0;
  double total_seconds = 0;
  for (auto _ : bench) {
    ReaderState state;
    state.work_dir = dir.string();
    reg.ClearRecords();
    const auto start = std::chrono::steady_clock::now();
    fetch_range(state, ui, control, 1, kDocuments, kClassCheck);
    total_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t bytes = reg.Received().size() + reg.Sent().size();
    wire_seconds += static_cast<double>(bytes) * 11.0 / kBaud;
    if (state.raw_list.size() != kDocuments + 3u) bench.SkipWithError("documents went missing");
  }
  link::ClosePort();
  std::filesystem::remove_all(dir);
  bench.counters["documents_per_s"] =
      benchmark::Counter(static_cast<double>(kDocuments) * bench.iterations() / total_seconds);
  bench.counters["wire_s"] = benchmark::Counter(wire_seconds / bench.iterations());
  bench.counters["total_over_wire"] = benchmark::Counter(total_seconds / wire_seconds);
}

void BM_FetchPaced115200(benchmark::State& bench) { FetchFromEmulator(bench, kBaud); }
void BM_FetchUnpaced(benchmark::State& bench) { FetchFromEmulator(bench, 0); }

BENCHMARK(BM_FetchPaced115200)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_FetchUnpaced)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace tallyglass
