// The link's speed: the check value's throughput, and the time RequestB
// exchanges take against the emulator compared with the time their bytes
// need on the wire.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "emulator/emulator.h"
#include "link/frame.h"
#include "link/link.h"

namespace tallyglass {
namespace {

void BM_FrameCheck(benchmark::State& state) {
  std::string bytes(static_cast<std::size_t>(state.range(0)), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
  for (auto _ : state) benchmark::DoNotOptimize(link::FrameCheck(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_FrameCheck)->Arg(16)->Arg(200)->Arg(64 << 10);

// One journal document of 20 full parts, so every reply carries 150 bytes.
std::string BenchJournal() {
  std::string dat = "<DAT DI=\"1\"><C T=\"0\"><L N=\"1\">";
  dat += std::string(3000 - 80, 'x');
  dat += "</L><E N=\"2\" NO=\"1\"></E></C>";
  dat += "<TS>20160401093000</TS></DAT><MAC DI=\"1\" NT=\"8\">QUJD</MAC>";
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n" + dat +
         "\r\n</RQ>\r\n";
}

// range(0): the emulator's speed in bit/s, 0 for unpaced.
void BM_RequestB(benchmark::State& state) {
  emulator::EmulatorOptions options;
  options.baud = static_cast<int>(state.range(0));
  emulator::RegisterEmulator emulator(BenchJournal(), options);
  std::string error;
  if (!emulator.Start(&error) || link::OpenPort(emulator.PortName(), 115200) != link::kPortOpened) {
    state.SkipWithError(("no emulator: " + error).c_str());
    return;
  }
  // Both directions as the link saw them: every byte it wrote and read.
  std::size_t bytes = 0;
  link::SetTraceSink([&bytes](bool, const std::uint8_t*, std::size_t count) { bytes += count; });
  int part = 0;
  int failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const std::string request = "1;1;" + std::to_string(part) + ";";
    if (link::RequestB(1, request, 0, true) != static_cast<int>(request.size()) + 6) ++failures;
    part = (part + 1) % 19;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  link::SetTraceSink(nullptr);
  link::ClosePort();
  state.counters["exchanges_per_s"] = state.iterations() / seconds;
  state.counters["failures"] = failures;
  state.counters["wire_bytes"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
  if (options.baud > 0) {
    const double wire_seconds = static_cast<double>(bytes) * 11.0 / options.baud;
    state.counters["time_over_wire"] = seconds / wire_seconds;
  }
}
BENCHMARK(BM_RequestB)->Arg(115200)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestB)->Arg(0)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tallyglass
