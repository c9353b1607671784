// Fetching with the archive over a pseudo-terminal against the emulator: what
// crosses the line, what is served, what is kept, and what survives a kill.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_journal.h"
#include "archive/archive_session.h"
#include "emulator/emulator.h"
#include "link/frame.h"
#include "link/link.h"
#include "reader/request.h"
#include "support/reader_fakes.h"
#include "support/test_files.h"
#include "support/test_journal.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;
using test_support::TestJournal;

// The test journal as another register would hold it: the same numbers, another ZN.
std::string OtherRegister() {
  std::string text = TestJournal();
  for (std::size_t at; (at = text.find("ZN=\"402400089\"")) != std::string::npos;) text.replace(at, 14, "ZN=\"402400090\"");
  return text;
}

class ArchiveFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test_support::MakeScratchDir("tallyglass-archive-fetch");
    path = (dir / "journal.db").string();
    link::SetWaitFunction([](int) {});
  }
  void TearDown() override {
    link::ClosePort();
    link::SetWaitFunction(nullptr);
    if (reg) reg->Stop();
    std::filesystem::remove_all(dir);
  }
  void Start(const std::string& journal) {
    reg = std::make_unique<emulator::RegisterEmulator>(journal);
    std::string error;
    ASSERT_TRUE(reg->Start(&error)) << error;
    ASSERT_EQ(link::OpenPort(reg->PortName(), 115200), link::kPortOpened);
    reg->ClearRecords();
  }
  void Import(const std::string& journal) {
    Archive archive(path);
    archive.store_all(split_collected_journal(journal));
  }

  // One connection's request 5..7 with the archive; what the UI saw stays in ui.
  struct Run {
    RequestResult result;
    std::vector<std::string> raw_list;
    Listing listing;
    std::string temp_xml;
    int served = 0, fetched = 0;
    std::vector<std::string> conflicts, no_match, missed, replaced;
  };
  // before_finish, when given, runs after the request and before the
  // session's one more try at what it could not keep.
  Run Fetch(test_support::RecordingUi& ui, std::function<void(RequestControl&)> setup = nullptr,
            int busy_timeout_ms = Archive::kBusyTimeoutMs,
            std::function<void(ArchiveSession&)> before_finish = nullptr) {
    Archive archive(path);
    archive.set_busy_timeout(busy_timeout_ms);
    ArchiveSession session(archive);
    Run run;
    session.on_no_match = [&](const std::string& text) { run.no_match.push_back(Cp1251ToUtf8(text)); };
    session.bind(ui.control);
    if (setup) setup(ui.control);
    ReaderState state;
    state.work_dir = dir.string();
    state.wait_ms = [](int) {};
    state.Edit1 = "5";
    state.Edit2 = "7";
    state.type_index = kChoiceCheck;
    run.result = run_request(state, ui, ui.control, kByNumbers);
    if (before_finish) before_finish(session);
    session.finish_request();
    run.raw_list = state.raw_list;
    run.listing = state.listing;
    run.temp_xml = ReadFile(dir / "temp.xml");
    run.served = session.served();
    run.fetched = session.fetched();
    for (const auto& c : session.conflicts()) run.conflicts.push_back(Cp1251ToUtf8(c));
    for (const auto& m : session.missed()) run.missed.push_back(Cp1251ToUtf8(m));
    for (const auto& r : session.replaced()) run.replaced.push_back(Cp1251ToUtf8(r));
    return run;
  }
  // Another program's write transaction on the archive, held until released.
  struct WriteLock {
    explicit WriteLock(const std::string& path) {
      EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~WriteLock() { release(); }
    void release() {
      if (db == nullptr) return;
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(db);
      db = nullptr;
    }
    sqlite3* db = nullptr;
  };

  std::vector<ArchivedDocument> Kept() {
    Archive archive(path, Archive::Mode::kExisting);
    std::vector<ArchivedDocument> all;
    for (const auto& r : archive.registers())
      for (auto& d : archive.documents(r.id)) all.push_back(std::move(d));
    return all;
  }

  std::filesystem::path dir;
  std::string path;
  std::unique_ptr<emulator::RegisterEmulator> reg;
};

TEST_F(ArchiveFetchTest, ASecondRequestIsServedWithOneExchange) {
  Start(TestJournal());
  test_support::RecordingUi first_ui;
  const Run first = Fetch(first_ui);
  ASSERT_EQ(first.result.outcome, RequestOutcome::kRendered) << first.result.error;
  EXPECT_EQ(first.fetched, 3);
  ASSERT_EQ(Kept().size(), 3u);
  for (const auto& d : Kept()) EXPECT_NE(TestJournal().find(d.text + "\r\n"), std::string::npos);

  reg->ClearRecords();
  test_support::RecordingUi second_ui;
  const Run second = Fetch(second_ui);
  // Part 0 of receipt 5 identifies the register; nothing else crosses the line.
  const std::string exchange = link::LeadIn() + link::SelectSequence(1) + link::AckSequence() + link::LeadIn() +
                               link::BuildFrame("B;1;5;0;") + link::AckSequence() + link::EndSequence();
  ASSERT_TRUE(reg->WaitForReceived(exchange.size(), std::chrono::seconds(5)));
  EXPECT_EQ(reg->Received(), exchange);
  EXPECT_EQ(second.served, 3);
  EXPECT_EQ(second.fetched, 0);
  EXPECT_TRUE(second.no_match.empty());
  // The tape and temp.xml are byte-identical either way.
  EXPECT_EQ(second.temp_xml, first.temp_xml);
  EXPECT_EQ(second.listing, first.listing);
  ASSERT_FALSE(second_ui.progresses.empty());
  EXPECT_NE(Cp1251ToUtf8(second_ui.progresses.back()).find("из архива: 3, с аппарата: 0"), std::string::npos);
}

TEST_F(ArchiveFetchTest, AnotherRegisterWithTheSameNumbersGetsNothingServed) {
  Import(TestJournal());
  Start(OtherRegister());
  test_support::RecordingUi ui;
  const Run run = Fetch(ui);
  EXPECT_EQ(run.served, 0);
  EXPECT_EQ(run.fetched, 3);
  EXPECT_EQ(run.no_match.size(), 1u);  // said once
  EXPECT_TRUE(run.conflicts.empty());
  EXPECT_EQ(run.temp_xml.find("402400089"), std::string::npos);
  EXPECT_EQ(Archive(path).registers().size(), 2u);
}

TEST_F(ArchiveFetchTest, ADifferingCopyIsKeptBesideAndReported) {
  std::string changed = TestJournal();
  changed.replace(changed.find("SM=\"1200\""), 9, "SM=\"1300\"");  // receipt 5, within its part 0
  Import(changed);
  Start(TestJournal());
  test_support::RecordingUi ui;
  const Run run = Fetch(ui);
  EXPECT_EQ(run.served, 0);
  EXPECT_EQ(run.no_match.size(), 1u);
  ASSERT_EQ(run.conflicts.size(), 1u);
  EXPECT_EQ(run.conflicts[0], "чек 5 (ЗН 402400089)");
  Archive archive(path);
  const auto id = archive.registers().at(0).id;
  EXPECT_NE(archive.text(id, kClassCheck, 5)->find("SM=\"1300\""), std::string::npos);  // the kept copy stays
  ASSERT_EQ(archive.conflicts(id).size(), 1u);
  EXPECT_NE(archive.conflicts(id)[0].text.find("SM=\"1200\""), std::string::npos);
}

// A kept copy that fails its check (an older program's, from a noisy line)
// is not served: the document crosses the line again, and the sound copy
// takes its place while the damaged one stays beside it.
TEST_F(ArchiveFetchTest, ADamagedArchivedCopyIsFetchedAgainAndReplaced) {
  Import(TestJournal());
  std::string damaged;
  {
    Archive archive(path);
    const auto id = archive.registers().at(0).id;
    const std::string kept = *archive.text(id, kClassCheck, 6);
    damaged = kept.substr(0, kept.size() / 2);  // cut short, as a stray character ended the decoding
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "UPDATE documents SET text = ? WHERE number = 6", -1, &stmt, nullptr);
    sqlite3_bind_blob(stmt, 1, damaged.data(), static_cast<int>(damaged.size()), SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_DONE);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }
  Start(TestJournal());
  test_support::RecordingUi ui;
  const Run run = Fetch(ui);
  EXPECT_EQ(run.result.outcome, RequestOutcome::kRendered);
  EXPECT_EQ(run.served, 2);
  EXPECT_EQ(run.fetched, 1);
  EXPECT_EQ(run.replaced, std::vector<std::string>{"чек 6 (ЗН 402400089)"});
  EXPECT_TRUE(run.conflicts.empty());
  EXPECT_EQ(run.raw_list.at(3), split_collected_journal(TestJournal()).at(1).second);

  Archive archive(path);
  const auto id = archive.registers().at(0).id;
  EXPECT_EQ(archive.text(id, kClassCheck, 6), split_collected_journal(TestJournal()).at(1).second);
  EXPECT_TRUE(archive.conflicts(id).empty());
  ASSERT_EQ(archive.replaced_copies(id).size(), 1u);
  EXPECT_EQ(archive.replaced_copies(id)[0].text, damaged);  // never lost
  EXPECT_EQ(archive.registers().at(0).conflicts, 0);
}

TEST_F(ArchiveFetchTest, AbandonedAndStoppedDocumentsAreNotKept) {
  Start(TestJournal());
  // Receipt 6 never answers: abandoned by the failure counter.
  reg->SetFaultCallback([](const emulator::Event& e) {
    return e.request.find(";6;") != std::string::npos ? emulator::Fault::kErrorReply : emulator::Fault::kNone;
  });
  test_support::RecordingUi ui;
  Run run = Fetch(ui);
  EXPECT_EQ(run.result.left_out, std::vector<std::int32_t>{6});
  std::vector<std::int32_t> kept;
  for (const auto& d : Kept()) kept.push_back(d.key.number);
  EXPECT_EQ(kept, (std::vector<std::int32_t>{5, 7}));

  // Receipt 6 again, stopped after its first part: cut short, not kept.
  std::atomic<RequestControl*> control{nullptr};  // read on the emulator's thread
  reg->SetFaultCallback([&](const emulator::Event& e) {
    if (RequestControl* c = control.load(); e.request.find(";6;1;") != std::string::npos && c) c->request_stop();
    return emulator::Fault::kNone;
  });
  test_support::RecordingUi stop_ui;
  run = Fetch(stop_ui, [&](RequestControl& c) { control = &c; });
  kept.clear();
  for (const auto& d : Kept()) kept.push_back(d.key.number);
  EXPECT_EQ(kept, (std::vector<std::int32_t>{5, 7}));
}

// A stop asked during the identifying exchange: nothing is served, fetched or
// recorded, and the request ends.
TEST_F(ArchiveFetchTest, AStopDuringTheIdentifyingExchangeEndsTheRequest) {
  Import(TestJournal());
  Start(TestJournal());
  std::atomic<RequestControl*> control{nullptr};  // read on the emulator's thread
  reg->SetFaultCallback([&](const emulator::Event& e) {
    if (RequestControl* c = control.load(); e.request == "B;1;5;0;" && c) c->request_stop();
    return emulator::Fault::kNone;
  });
  test_support::RecordingUi ui;
  const Run run = Fetch(ui, [&](RequestControl& c) { control = &c; });
  EXPECT_EQ(run.result.outcome, RequestOutcome::kRendered);
  EXPECT_EQ(run.served, 0);
  EXPECT_EQ(run.fetched, 0);
  EXPECT_TRUE(run.result.left_out.empty());
  EXPECT_EQ(run.raw_list.size(), 3u) << "the envelope alone";
  EXPECT_EQ(reg->FramesReceived(), 1) << "the identifying exchange alone";
}

// An archive that cannot take documents (here another program holds its write
// lock past the wait): the fetch goes on, the tape and temp.xml are whole, and
// the documents it missed are named.
TEST_F(ArchiveFetchTest, AnArchiveThatCannotWriteMissesDocumentsNotTheFetch) {
  { Archive create(path); }
  WriteLock other(path);
  Start(TestJournal());
  test_support::RecordingUi ui;
  const Run run = Fetch(ui, nullptr, 20);
  other.release();
  EXPECT_EQ(run.result.outcome, RequestOutcome::kRendered);
  EXPECT_EQ(run.raw_list.size(), 3u + 3u);
  EXPECT_NE(run.temp_xml.find("NO=\"7\""), std::string::npos);
  EXPECT_EQ(run.missed, (std::vector<std::string>{"чек 5 (ЗН 402400089)", "чек 6 (ЗН 402400089)",
                                                  "чек 7 (ЗН 402400089)"}));
  EXPECT_TRUE(Kept().empty());
}

// A lock that goes away before the request ends: the one more try at the end
// keeps every document, and the request waited on the lock only once.
TEST_F(ArchiveFetchTest, DocumentsHeldBackByALockAreKeptAtTheEnd) {
  { Archive create(path); }
  WriteLock other(path);
  Start(TestJournal());
  test_support::RecordingUi ui;
  const Run run = Fetch(ui, nullptr, 20, [&](ArchiveSession& session) {
    EXPECT_EQ(session.missed().size(), 3u);
    other.release();
  });
  EXPECT_TRUE(run.missed.empty());
  EXPECT_EQ(Kept().size(), 3u);
}

// A fetch killed in its middle leaves an archive that opens cleanly and holds
// every document completed before the kill, byte for byte.
TEST_F(ArchiveFetchTest, AKilledFetchLeavesEveryCompletedDocument) {
  emulator::EmulatorOptions paced;
  paced.baud = 9600;  // about a tenth of a second per exchange
  reg = std::make_unique<emulator::RegisterEmulator>(test_support::SampleJournal(), paced);
  std::string error;
  ASSERT_TRUE(reg->Start(&error)) << error;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int out = ::open("/dev/null", O_WRONLY);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execl(TALLYGLASS_CLI, TALLYGLASS_CLI, "fetch", "--port", reg->PortName().c_str(), "--speed", "9600",
            "--from", "130", "--to", "148", "--archive", path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Kill it once two documents are kept, with the third on the line.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::size_t before = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    try {
      if (std::filesystem::exists(path) && (before = Kept().size()) >= 2) break;
    } catch (const ArchiveError&) {
      // the child is still creating it
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the fetch ended before the kill";
  ASSERT_GE(before, 2u);
  const auto kept = Kept();
  EXPECT_GE(kept.size(), before);
  EXPECT_LT(kept.size(), 19u);
  for (const auto& d : kept) EXPECT_NE(test_support::SampleJournal().find(d.text + "\r\n"), std::string::npos);
  Archive archive(path);  // and it takes more
  EXPECT_EQ(archive.schema_version(), Archive::kSchemaVersion);
}

}  // namespace
}  // namespace tallyglass
