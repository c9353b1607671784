// Parsing and loading a journal of 10,000 documents: libxml2's bare parse
// against our parse + load, and the model's memory per document.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>

#include <ctime>
#include <memory>
#include <string>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "journal/xml_document.h"
#include "support/synthetic_journal.h"

namespace tallyglass {
namespace {

const bench::SyntheticJournal& journal() {
  static const bench::SyntheticJournal j = bench::MakeSyntheticJournal();
  return j;
}

void bare_parse(const std::string& text) {
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr,
                                "windows-1251", journal_parse_options());
  benchmark::DoNotOptimize(doc);
  xmlFreeDoc(doc);
}

std::size_t heap_in_use() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

void set_sizes(benchmark::State& state) {
  const auto& j = journal();
  state.counters["docs"] = j.documents;
  state.counters["text_B_per_doc"] = static_cast<double>(j.text.size()) / j.documents;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * j.text.size()));
}

void BM_JournalBareParse(benchmark::State& state) {
  const std::string& text = journal().text;
  for (auto _ : state) bare_parse(text);
  set_sizes(state);
}
BENCHMARK(BM_JournalBareParse)->Unit(benchmark::kMillisecond);

void BM_JournalParseAndLoad(benchmark::State& state) {
  const std::string& text = journal().text;
  control loader;
  std::size_t model_bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto model = std::make_unique<rq>();
    const std::size_t before = heap_in_use();
    state.ResumeTiming();
    const bool ok = parse_and_load(text, *model, loader);
    state.PauseTiming();
    model_bytes = heap_in_use() - before;
    if (!ok || model->doc_count != journal().documents) state.SkipWithError("load failed");
    model.reset();
    state.ResumeTiming();
  }
  set_sizes(state);
  state.counters["model_B_per_doc"] = static_cast<double>(model_bytes) / journal().documents;
}
BENCHMARK(BM_JournalParseAndLoad)->Unit(benchmark::kMillisecond);

double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Both in every iteration, in alternating order, timed by the thread's CPU
// clock, so that the ratio is taken side by side even on a busy machine.
void BM_JournalLoadOverParse(benchmark::State& state) {
  const std::string& text = journal().text;
  control loader;
  double parse_seconds = 0, load_seconds = 0;
  bool parse_first = true;
  for (auto _ : state) {
    auto model = std::make_unique<rq>();
    auto time_parse = [&] {
      const double t0 = thread_seconds();
      bare_parse(text);
      parse_seconds += thread_seconds() - t0;
    };
    if (parse_first) time_parse();
    const double t0 = thread_seconds();
    benchmark::DoNotOptimize(parse_and_load(text, *model, loader));
    load_seconds += thread_seconds() - t0;
    if (!parse_first) time_parse();
    parse_first = !parse_first;
    state.PauseTiming();
    model.reset();
    state.ResumeTiming();
  }
  state.counters["bare_parse_ms"] = parse_seconds * 1000 / static_cast<double>(state.iterations());
  state.counters["parse_load_ms"] = load_seconds * 1000 / static_cast<double>(state.iterations());
  state.counters["ratio"] = load_seconds / parse_seconds;
}
BENCHMARK(BM_JournalLoadOverParse)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace
}  // namespace tallyglass
