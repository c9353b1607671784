// Rendering the whole listing of a 10,000-document journal, side by side with
// parsing and loading the same journal.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "render/render_listing.h"
#include "support/synthetic_journal.h"

namespace tallyglass {
namespace {

const std::string& Journal() {
  static const std::string text = bench::MakeSyntheticJournal().text;  // 10,000 documents
  return text;
}

rq Loaded() {
  rq model;
  control loader;
  loader.clear();
  if (!parse_and_load(Journal(), model, loader)) throw std::runtime_error("synthetic journal did not load");
  return model;
}

// Where a failed document would leave its message; the synthetic journal has none.
const char* const kErrorLog = "tallyglass-render-bench-error.log";

std::size_t RenderAll(rq& model, Listing& listing) {
  sootv zvit_state;
  sootv di;
  listing.clear();
  render_listing(model, kChoiceCheckZ, model.check_no_min, 2147483647, zvit_state, di, listing,
                 kErrorLog);
  return listing.size();
}

void BM_RenderListing(benchmark::State& state) {
  rq model = Loaded();
  Listing listing;
  std::size_t lines = 0;
  std::remove(kErrorLog);
  for (auto _ : state) {
    lines = RenderAll(model, listing);
    benchmark::DoNotOptimize(listing.data());
  }
  if (std::FILE* f = std::fopen(kErrorLog, "rb")) {
    std::fclose(f);
    state.SkipWithError("a document failed to render; see the error log");
  }
  state.counters["documents"] = model.doc_count;
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderListing)->Unit(benchmark::kMillisecond);

// Both steps timed in the same iteration, so the ratio compares like with like.
void BM_RenderToParseLoadRatio(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  double parse_load = 0;
  double render = 0;
  Listing listing;
  std::size_t lines = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    rq model = Loaded();
    const auto t1 = Clock::now();
    lines = RenderAll(model, listing);
    const auto t2 = Clock::now();
    parse_load += std::chrono::duration<double>(t1 - t0).count();
    render += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["parse_load_ms"] = 1000 * parse_load / static_cast<double>(state.iterations());
  state.counters["render_ms"] = 1000 * render / static_cast<double>(state.iterations());
  state.counters["render_per_parse_load"] = render / parse_load;
  state.counters["lines_per_second"] = static_cast<double>(lines) * static_cast<double>(state.iterations()) / render;
}
BENCHMARK(BM_RenderToParseLoadRatio)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallyglass
