// Rendering the whole listing of a 10,000-document journal, side by side with
// parsing and loading the same journal.
#include <benchmark/benchmark.h>

#include <chrono>
#include <stdexcept>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "quick_journal.h"
#include "render/render_listing.h"

namespace tallyglass {
namespace {

constexpr int kDocuments = 10000;

const std::string& Journal() {
  static const std::string text = bench::quick_journal(kDocuments);
  return text;
}

rq Loaded() {
  rq model;
  control loader;
  loader.clear();
  if (!parse_and_load(Journal(), model, loader)) throw std::runtime_error("synthetic journal did not load");
  return model;
}

std::size_t RenderAll(rq& model, Listing& listing) {
  sootv zvit_state;
  sootv di;
  listing.clear();
  render_listing(model, kChoiceCheckZ, model.check_no_min, 2147483647, zvit_state, di, listing,
                 "/dev/null");
  return listing.size();
}

void BM_ParseLoadJournal(benchmark::State& state) {
  for (auto _ : state) {
    rq model = Loaded();
    benchmark::DoNotOptimize(model.doc_count);
  }
  state.counters["documents"] = kDocuments;
}
BENCHMARK(BM_ParseLoadJournal)->Unit(benchmark::kMillisecond);

void BM_RenderListing(benchmark::State& state) {
  rq model = Loaded();
  Listing listing;
  std::size_t lines = 0;
  for (auto _ : state) {
    lines = RenderAll(model, listing);
    benchmark::DoNotOptimize(listing.data());
  }
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
  for (auto _ : state) {
    const auto t0 = Clock::now();
    rq model = Loaded();
    const auto t1 = Clock::now();
    RenderAll(model, listing);
    const auto t2 = Clock::now();
    parse_load += std::chrono::duration<double>(t1 - t0).count();
    render += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["parse_load_ms"] = 1000 * parse_load / static_cast<double>(state.iterations());
  state.counters["render_ms"] = 1000 * render / static_cast<double>(state.iterations());
  state.counters["render_per_parse_load"] = render / parse_load;
}
BENCHMARK(BM_RenderToParseLoadRatio)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallyglass
