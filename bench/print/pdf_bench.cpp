// A 300,000-line listing to PDF: the time, the memory the writing takes on top
// of the listing (pages are streamed, so it should not grow with the listing)
// and the bytes per page.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "print/tape_pdf.h"
#include "journal/sootv.h"
#include "render/render_listing.h"

namespace tallyglass {
namespace {

struct Tape {
  Listing listing;
  std::vector<std::size_t> starts;
  TapeHeading heading;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The sample journal's listing repeated to about the wanted number of lines.
Tape MakeTape(std::size_t lines) {
  rq model;
  control loader;
  sootv di;
  if (!parse_and_load(ReadAll(TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml"), model, loader)) {
    throw std::runtime_error("the sample journal did not load");
  }
  Listing one;
  const std::vector<std::size_t> one_starts =
      render_listing(model, {kChoiceCheckZ, model.check_no_min, model.check_no_max}, di, one).document_starts;
  Tape tape;
  tape.heading = heading_for(model, kChoiceCheckZ, model.check_no_min, model.check_no_max);
  while (tape.listing.size() < lines) {
    for (std::size_t s : one_starts) tape.starts.push_back(tape.listing.size() + s);
    tape.listing.insert(tape.listing.end(), one.begin(), one.end());
  }
  return tape;
}

// Resident and peak resident memory of the process, in kB (Linux).
long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  }
  return -1;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_TapePdf(benchmark::State& state) {
  const Tape tape = MakeTape(static_cast<std::size_t>(state.range(0)));
  const std::string path = "tallyglass-pdf-bench.pdf";
  PdfResult result;
  std::size_t pages = 0;
  long growth_kb = 0;
  for (auto _ : state) {
    ResetPeak();
    const long before = StatusKb("VmRSS:");
    const TapeLayout layout = lay_out_tape(tape.listing, tape.starts);
    result = write_tape_pdf(tape.listing, layout, tape.heading, path);
    growth_kb = std::max(growth_kb, StatusKb("VmHWM:") - before);
    pages = layout.page_count();
    if (!result.ok()) state.SkipWithError(result.error.c_str());
  }
  std::remove(path.c_str());
  state.counters["lines"] = static_cast<double>(tape.listing.size());
  state.counters["pages"] = static_cast<double>(pages);
  state.counters["bytes_per_page"] = static_cast<double>(result.bytes) / static_cast<double>(pages);
  state.counters["file_MB"] = static_cast<double>(result.bytes) / 1e6;
  state.counters["memory_growth_MB"] = static_cast<double>(growth_kb) / 1024.0;
}
// A tenth of the listing beside the full one shows whether memory grows with it.
BENCHMARK(BM_TapePdf)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tallyglass
