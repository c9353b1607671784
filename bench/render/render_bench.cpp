// Rendering the whole listing of a 10,000-document journal, side by side with
// parsing and loading the same journal.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// Makes glibc merge the fast bins that freeing the parsed XML tree filled
// (it would at the next large allocation, whoever makes it).
void SettleAllocator() {
  void* block = std::malloc(4096);
  benchmark::DoNotOptimize(block);
  std::free(block);
}

// The synthetic journal renders without a failure; a failure is a broken benchmark.
std::size_t RenderAll(rq& model, Listing& listing, bool& failed) {
  sootv di;
  failed |= !render_listing(model, {kChoiceCheckZ, model.check_no_min, 2147483647}, di, listing).ok();
  return listing.size();
}

void BM_RenderListing(benchmark::State& state) {
  rq model = Loaded();
  SettleAllocator();
  Listing listing;
  std::size_t lines = 0;
  bool failed = false;
  for (auto _ : state) {
    lines = RenderAll(model, listing, failed);
    benchmark::DoNotOptimize(listing.data());
    state.PauseTiming();
    Listing().swap(listing);  // the reader empties the listing before each request
    state.ResumeTiming();
  }
  if (failed) state.SkipWithError("a document failed to render");
  state.counters["documents"] = model.doc_count;
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderListing)->Unit(benchmark::kMillisecond);

// Both steps in every iteration, one right after the other, so the ratio is
// taken side by side even on a busy machine: by the wall clock and by the
// thread's own processor time.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

//
// Freeing the parsed XML tree leaves glibc's fast bins full, and glibc merges
// them at the next large allocation, whoever makes it: without help that is
// the renderer's first vector. With argument 1 a large allocation right after
// the load settles that merge inside the parse + load time where the frees
// were made; argument 0 leaves it to the renderer.
void BM_RenderToParseLoadRatio(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const bool settle = state.range(0) != 0;
  double parse_load = 0, render = 0, parse_load_cpu = 0, render_cpu = 0;
  std::size_t lines = 0;
  bool failed = false;
  for (auto _ : state) {
    Listing listing;
    const auto t0 = Clock::now();
    const double c0 = ThreadSeconds();
    rq model = Loaded();
    if (settle) SettleAllocator();
    const auto t1 = Clock::now();
    const double c1 = ThreadSeconds();
    lines = RenderAll(model, listing, failed);
    const auto t2 = Clock::now();
    const double c2 = ThreadSeconds();
    parse_load += std::chrono::duration<double>(t1 - t0).count();
    render += std::chrono::duration<double>(t2 - t1).count();
    parse_load_cpu += c1 - c0;
    render_cpu += c2 - c1;
  }
  if (failed) state.SkipWithError("a document failed to render");
  const double n = static_cast<double>(state.iterations());
  state.counters["parse_load_ms"] = 1000 * parse_load / n;
  state.counters["render_ms"] = 1000 * render / n;
  state.counters["render_per_parse_load"] = render / parse_load;
  state.counters["render_per_parse_load_cpu"] = render_cpu / parse_load_cpu;
  state.counters["lines_per_second"] = static_cast<double>(lines) * n / render;
}
BENCHMARK(BM_RenderToParseLoadRatio)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
}  // namespace tallyglass
