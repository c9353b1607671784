// Showing and saving a listing of 300,000 lines in the query window, beside
// rendering as many lines from the sample journal.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/tform3.h"
#include "app/tform53.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "render/render_listing.h"

namespace tallyglass {
namespace {

constexpr std::size_t kLines = 300000;

QApplication& App() {
  static int argc = 1;
  static char name[] = "tallyglass_bench";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
  }();
  return *app;
}

// The sample journal loaded once.
rq& SampleModel() {
  static rq model = [] {
    std::ifstream in(TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    rq loaded;
    control loader;
    parse_and_load(text, loaded, loader);
    return loaded;
  }();
  return model;
}

// Renders the sample's receipts again and again until the listing holds kLines.
Listing RenderLines() {
  Listing listing;
  listing.reserve(kLines + 1000);
  while (listing.size() < kLines) {
    sootv di_by_position;
    render_listing(SampleModel(), {kChoiceCheck, 130, 148}, di_by_position, listing);
  }
  listing.resize(kLines);
  return listing;
}

const Listing& Lines() {
  static const Listing lines = RenderLines();
  return lines;
}

struct Windows {
  TForm3 form3;
  TForm53 form53{&form3};
};

Windows& Forms() {
  App();
  // Never destroyed: Qt's own statics made while the windows were shown are
  // gone before the program's exit would reach them.
  static Windows* windows = new Windows;
  return *windows;
}

void BM_RenderListing300k(benchmark::State& state) {
  for (auto _ : state) {
    Listing listing = RenderLines();
    benchmark::DoNotOptimize(listing.data());
  }
  state.counters["lines"] = static_cast<double>(kLines);
}
BENCHMARK(BM_RenderListing300k)->Unit(benchmark::kMillisecond);

// The listing handed to the view, laid out and painted at its end.
void BM_ListingViewFill300k(benchmark::State& state) {
  Windows& w = Forms();
  w.form53.show();
  for (auto _ : state) {
    state.PauseTiming();
    w.form53.State().listing.clear();
    w.form53.RefreshLists();
    w.form53.State().listing = Lines();
    state.ResumeTiming();
    w.form53.RefreshLists();
    w.form53.ListBox2->scrollToBottom();
    w.form53.ListBox2->viewport()->repaint();
  }
  if (w.form53.ListBox2->model()->rowCount() != static_cast<int>(kLines)) state.SkipWithError("lines missing");
  state.counters["lines"] = static_cast<double>(kLines);
}
BENCHMARK(BM_ListingViewFill300k)->Unit(benchmark::kMillisecond);

void BM_ListingSave300k(benchmark::State& state) {
  Windows& w = Forms();
  w.form53.State().listing = Lines();
  w.form53.RefreshLists();
  const QString path = QString::fromStdString(
      (std::filesystem::temp_directory_path() / "tallyglass-bench-listing.txt").string());
  for (auto _ : state) w.form53.SaveListingTo(path);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path.toStdString()));
  std::filesystem::remove(path.toStdString());
}
BENCHMARK(BM_ListingSave300k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallyglass
