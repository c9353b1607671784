// Exact export (CSV, JSON) and reconciliation of the 10,000-document synthetic
// journal, each beside the journal's parse + load; and one step of the
// listing's find at 300,000 lines.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "export/export_writer.h"
#include "export/reconcile.h"
#include "find/listing_find.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "journal/sootv.h"
#include "render/render_listing.h"
#include "support/synthetic_journal.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

const bench::SyntheticJournal& journal() {
  static const bench::SyntheticJournal j = bench::MakeSyntheticJournal();
  return j;
}

double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// glibc merges the fast bins a freed parse tree leaves at the next large
// allocation, whoever makes it; one large allocation at the end of each step
// keeps that merge in the step that caused it.
void settle_heap() {
  void* p = std::malloc(1 << 16);
  benchmark::DoNotOptimize(p);
  std::free(p);
}

template <typename F>
double timed(F&& f) {
  const double t0 = thread_seconds();
  f();
  settle_heap();
  return thread_seconds() - t0;
}

// Every step in every iteration, timed by the thread's CPU clock, so that the
// ratios are taken side by side even on a busy machine. The export and the
// reconciliation start from the exactly read documents, as the tape starts
// from the loaded model; the exact read itself is shown beside them.
void BM_ExportOverParseLoad(benchmark::State& state) {
  const std::string& text = journal().text;
  control loader;
  double parse_load = 0, exact_read = 0, csv = 0, json = 0, reconciliation = 0;
  std::size_t csv_bytes = 0, json_bytes = 0;
  bool agree = true;
  for (auto _ : state) {
    auto model = std::make_unique<rq>();
    parse_load += timed([&] { benchmark::DoNotOptimize(parse_and_load(text, *model, loader)); });
    ExactJournal exact;
    exact_read += timed([&] {
      exact.add_text(text);
      exact.sort();
    });
    const auto docs = select_documents(exact, {});
    csv += timed([&] {
      const CsvTables t = export_csv(docs);
      csv_bytes = t.documents.size() + t.lines.size() + t.payments.size() + t.taxes.size() + t.zreports.size();
    });
    json += timed([&] { json_bytes = export_json(docs).size(); });
    reconciliation += timed([&] { agree = reconcile(docs).agree(); });
    state.PauseTiming();
    model.reset();
    state.ResumeTiming();
  }
  if (!agree) state.SkipWithError("the synthetic journal does not reconcile");
  const double n = static_cast<double>(state.iterations());
  state.counters["parse_load_ms"] = parse_load * 1000 / n;
  state.counters["exact_read_ms"] = exact_read * 1000 / n;
  state.counters["csv_ms"] = csv * 1000 / n;
  state.counters["json_ms"] = json * 1000 / n;
  state.counters["reconcile_ms"] = reconciliation * 1000 / n;
  state.counters["csv_ratio"] = csv / parse_load;
  state.counters["json_ratio"] = json / parse_load;
  state.counters["reconcile_ratio"] = reconciliation / parse_load;
  // A whole export as the CLI runs it: the exact read and then the writing.
  state.counters["csv_whole_ratio"] = (exact_read + csv) / parse_load;
  state.counters["json_whole_ratio"] = (exact_read + json) / parse_load;
  state.counters["csv_MB"] = static_cast<double>(csv_bytes) / 1e6;
  state.counters["json_MB"] = static_cast<double>(json_bytes) / 1e6;
}
BENCHMARK(BM_ExportOverParseLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

// The synthetic journal's tape, cut to 300,000 lines.
const std::vector<std::string>& listing() {
  static const std::vector<std::string> lines = [] {
    rq model;
    control loader;
    loader.clear();
    parse_and_load(journal().text, model, loader);
    sootv di;
    Listing out;
    render_listing(model, {kChoiceCheckZ, model.check_no_min, 2147483647}, di, out);
    while (out.size() < 300000) out.insert(out.end(), out.begin(), out.end());
    out.resize(300000);
    return out;
  }();
  return lines;
}

// A find step: new text finds every matching line (the count), then Next
// moves on. Arg 0: a text found on few lines; 1: a text found on many.
void BM_ListingFindStep(benchmark::State& state) {
  const auto& lines = listing();
  ListingFind find(&lines);
  const std::string needle = Utf8ToCp1251(state.range(0) == 0 ? "моршинська" : "грошІ");
  int row = -1;
  for (auto _ : state) {
    find.set_text(needle);
    row = find.next(row);
    benchmark::DoNotOptimize(row);
  }
  state.counters["lines"] = static_cast<double>(lines.size());
  state.counters["matches"] = find.count();
}
BENCHMARK(BM_ListingFindStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallyglass
