// The archive's speed: a request for 200 archived documents against the
// emulator paced at 115200 bit/s beside the fetch that archived them, the
// time keeping documents adds to that fetch, and `archive list` and the render
// of one day's 500 receipts from a 100,000-document archive, each in a fresh
// process as a user runs them.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "archive/archive.h"
#include "archive/archive_journal.h"
#include "archive/archive_session.h"
#include "emulator/emulator.h"
#include "link/link.h"
#include "reader/fetch.h"
#include "reader/quiet_ui.h"
#include "reader/reader_state.h"
#include "support/synthetic_journal.h"

namespace tallyglass {
namespace {

namespace fs = std::filesystem;
constexpr int kDocuments = 200;
constexpr int kBaud = 115200;

// Receipts 1..200 of one register, 300..3000 bytes each (seeded).
std::string MakeJournal() {
  std::mt19937 random(20160407);
  std::uniform_int_distribution<int> size(300, 3000);
  std::string journal = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<RQ V=\"1\">\n";
  for (int n = 1; n <= kDocuments; ++n) {
    const std::string no = std::to_string(n);
    const std::string head =
        "<DAT DI=\"" + no + "\" DT=\"0\" FN=\"3011223344\" V=\"1\" ZN=\"402400117\"><C CN=\"1\" T=\"0\">";
    const std::string tail = "<E N=\"2\" NO=\"" + no + "\" SM=\"100\" TS=\"20160314080512\"></E></C>"
                             "<TS>20160314080512</TS></DAT><MAC DI=\"" + no + "\" NT=\"" + no +
                             "\">UvImZaYMEtKJGF2VDuiBNgkWb2sRPReN</MAC>";
    std::string body = "<L N=\"1\">";
    const std::size_t want = static_cast<std::size_t>(size(random));
    while (head.size() + body.size() + tail.size() + 4 < want) body += static_cast<char>('a' + body.size() % 26);
    body += "</L>";
    journal += head + body + tail + "\n";
  }
  return journal + "</RQ>\n";
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One fetch of 1..200 over a connection of its own (a session identifies anew).
double Fetch(Archive& archive, double* archive_seconds, int* served) {
  ArchiveSession session(archive);
  QuietUi ui;
  RequestControl control;
  control.progress = [](std::string_view) {};
  session.bind(control);
  auto store = std::move(control.fetched);
  control.fetched = [&](int code, std::int32_t n, const std::string& text) {
    const auto start = std::chrono::steady_clock::now();
    store(code, n, text);
    *archive_seconds += Seconds(start);
  };
  ReaderState state;
  state.work_dir = (fs::temp_directory_path() / "tallyglass-archive-bench").string();
  const auto start = std::chrono::steady_clock::now();
  fetch_range(state, ui, control, 1, kDocuments, kClassCheck);
  *served = session.served();
  return Seconds(start);
}

// The first request fetches and archives 200 documents; the second, on a new
// connection, is served with the one identifying exchange.
void BM_ArchiveServedRequestPaced115200(benchmark::State& bench) {
  emulator::EmulatorOptions options;
  options.baud = kBaud;
  emulator::RegisterEmulator reg(MakeJournal(), options);
  std::string error;
  if (!reg.Start(&error) || link::OpenPort(reg.PortName(), kBaud) != link::kPortOpened) {
    bench.SkipWithError("cannot start the emulator");
    return;
  }
  const fs::path dir = fs::temp_directory_path() / "tallyglass-archive-bench";
  fs::create_directories(dir);
  double first = 0, second = 0, archiving = 0;
  for (auto _ : bench) {
    fs::remove(dir / "journal.db");
    fs::remove(dir / "journal.db-wal");
    fs::remove(dir / "journal.db-shm");
    Archive archive((dir / "journal.db").string());
    int served = 0;
    double ignored = 0;
    first += Fetch(archive, &archiving, &served);
    if (served != 0) bench.SkipWithError("the first request was served");
    second += Fetch(archive, &ignored, &served);
    if (served != kDocuments) bench.SkipWithError("the second request was not served whole");
  }
  link::ClosePort();
  fs::remove_all(dir);
  const double n = static_cast<double>(bench.iterations());
  bench.counters["first_s"] = benchmark::Counter(first / n);
  bench.counters["second_s"] = benchmark::Counter(second / n);
  bench.counters["second_over_first"] = benchmark::Counter(second / first);
  bench.counters["archiving_over_fetch"] = benchmark::Counter(archiving / (first - archiving));
}
BENCHMARK(BM_ArchiveServedRequestPaced115200)->Iterations(1)->Unit(benchmark::kSecond);

// A 100,000-document archive of one register, 500 receipts and a Z-report a day.
const fs::path& LargeArchive(double* xml_bytes_per_document) {
  static const fs::path path = fs::temp_directory_path() / "tallyglass-archive-100k.db";
  static double xml_bytes = 0;
  static bool made = false;
  if (!made) {
    fs::remove(path);
    bench::SyntheticJournalOptions options;
    options.documents = 100000;
    options.receipts_per_zreport = 500;
    const auto journal = bench::MakeSyntheticJournal(options);
    const auto documents = split_collected_journal(journal.text);
    for (const auto& d : documents) xml_bytes += static_cast<double>(d.second.size());
    xml_bytes /= static_cast<double>(documents.size());
    Archive archive(path.string());
    archive.store_all(documents);
    made = true;
  }
  *xml_bytes_per_document = xml_bytes;
  return path;
}

void RunCli(benchmark::State& bench, const std::string& args) {
  double xml_bytes = 0;
  const fs::path& path = LargeArchive(&xml_bytes);
  const std::string command = "'" TALLYGLASS_CLI "' " + args + " --archive '" + path.string() + "' >/dev/null";
  for (auto _ : bench) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    bench.SetIterationTime(Seconds(start));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) bench.SkipWithError(("failed: " + command).c_str());
  }
  bench.counters["file_bytes_per_document"] =
      benchmark::Counter(static_cast<double>(fs::file_size(path)) / 100000.0);
  bench.counters["xml_bytes_per_document"] = benchmark::Counter(xml_bytes);
}

void BM_ArchiveList100k(benchmark::State& bench) { RunCli(bench, "archive list"); }
BENCHMARK(BM_ArchiveList100k)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The tenth day: 500 receipts and its Z-report.
void BM_ArchiveRenderDay100k(benchmark::State& bench) {
  RunCli(bench, "render --from-date 10.03.16 --to-date 10.03.16");
}
BENCHMARK(BM_ArchiveRenderDay100k)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallyglass
