// tallyglass-cli archive, render --archive and fetch with the archive, as a
// user runs them.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "archive/archive.h"
#include "emulator/emulator.h"
#include "support/test_files.h"
#include "support/test_journal.h"

namespace tallyglass {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;

struct CliRun {
  int status;
  std::string out, err;
};

class ArchiveCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test_support::MakeScratchDir("tallyglass-archive-cli");
    Write("sample.xml", test_support::SampleJournal());
    Write("small.xml", test_support::TestJournal());
  }
  void TearDown() override { fs::remove_all(dir); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  CliRun Cli(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" TALLYGLASS_CLI "' " + args +
                                " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "stdout.txt"), ReadFile(dir / "stderr.txt")};
  }

  fs::path dir;
};

TEST_F(ArchiveCliTest, RendersTheArchiveAsTheJournalFileForEveryChoice) {
  ASSERT_EQ(Cli("archive import sample.xml").status, 0);
  const char* kChoices[][2] = {
      {"--type z", ""},           {"--type check", ""},      {"--type check+z", ""},
      {"--type service", ""},     {"", ""},                  {"--type z --from 42 --to 43", ""},
      {"--type check --from 133 --to 140", ""},              {"--type check+z --from 135 --to 148", ""},
      {"--type service --from 130 --to 131", ""},            {"--from 200 --to 300", ""},
  };
  for (const auto& choice : kChoices) {
    SCOPED_TRACE(choice[0]);
    fs::remove(dir / "error.log");
    const CliRun file = Cli(std::string("render sample.xml ") + choice[0]);
    const std::string file_log = fs::exists(dir / "error.log") ? ReadFile(dir / "error.log") : "none";
    fs::remove(dir / "error.log");
    const CliRun archived = Cli(std::string("render --archive ") + choice[0]);
    const std::string archive_log = fs::exists(dir / "error.log") ? ReadFile(dir / "error.log") : "none";
    EXPECT_EQ(archived.status, file.status) << archived.err;
    EXPECT_EQ(archived.out, file.out);
    EXPECT_EQ(archive_log, file_log);
  }
  // export and reconcile read the archive as the file.
  for (const char* command : {"export --format json", "reconcile --json"}) {
    const std::string c = command;
    const std::string verb = c.substr(0, c.find(' '));
    const CliRun file = Cli(verb + " sample.xml" + c.substr(c.find(' ')));
    const CliRun archived = Cli(c + " --archive journal.db");
    EXPECT_EQ(archived.status, file.status) << archived.err;
    EXPECT_EQ(archived.out, file.out) << command;
  }
  // A day of the archive renders as a journal of that day's documents.
  const CliRun day = Cli("render --archive journal.db --from-date 15.03.16 --to-date 15.03.16");
  EXPECT_EQ(day.status, 0) << day.err;
  EXPECT_NE(day.out.find("15.03.2016"), std::string::npos);
  EXPECT_EQ(day.out.find("14.03.2016"), std::string::npos);
}

TEST_F(ArchiveCliTest, ImportsListsAndRefuses) {
  CliRun run = Cli("archive import sample.xml");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sample.xml: added 22, already there 0, conflicts 0\n");
  run = Cli("archive import --archive journal.db sample.xml small.xml");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sample.xml: added 0, already there 22, conflicts 0\nsmall.xml: added 4, already there 0, conflicts 0\n");

  std::string changed = test_support::TestJournal();
  changed.replace(changed.find("SM=\"1200\""), 9, "SM=\"1300\"");
  Write("changed.xml", changed);
  run = Cli("archive import changed.xml");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "changed.xml: added 0, already there 3, conflicts 1\n");
  EXPECT_NE(run.err.find("receipt 5 (ZN 402400089"), std::string::npos) << run.err;

  const std::string before = ReadFile(dir / "journal.db");
  Write("cut.xml", test_support::SampleJournal().substr(0, 3000));
  run = Cli("archive import cut.xml");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("nothing imported"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir / "journal.db"), before);

  run = Cli("archive list");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "ZN: 402400089\nFN: 5555555555\nreceipts: 3, 5-7, gaps: none\nZ-reports: 1, 2-2, gaps: none\n"
            "dates: 01.04.16 - 07.04.16\nconflicts: 1\n\n"
            "ZN: 402400117\nFN: 3011223344\nreceipts: 19, 130-148, gaps: none\nZ-reports: 3, 41-43, gaps: none\n"
            "dates: 14.03.16 - 16.03.16\n");

  // Two registers: render needs one of them named.
  run = Cli("render --archive");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("ZN 402400089"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ZN 402400117"), std::string::npos) << run.err;
  EXPECT_EQ(Cli("render --archive --register 402400117 --type z").out, Cli("render sample.xml --type z").out);
  EXPECT_EQ(Cli("render --archive --register 999").status, 2);

  for (const char* missing : {"archive list --archive none.db", "render --archive none.db"}) {
    EXPECT_EQ(Cli(missing).status, 2) << missing;
    EXPECT_FALSE(fs::exists(dir / "none.db"));
  }
}

// Overwrites one archived document's text as an older program, taking a
// damaged copy from a noisy line, would have kept it.
void Poison(const fs::path& archive, int number, const std::string& text) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(archive.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE documents SET text = ? WHERE class = 1 AND number = ?", -1, &stmt,
                               nullptr),
            SQLITE_OK);
  sqlite3_bind_blob(stmt, 1, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int(stmt, 2, number);
  EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
  sqlite3_finalize(stmt);
  EXPECT_EQ(sqlite3_changes(db), 1);
  sqlite3_close(db);
}

// A damaged copy in the archive is listed by archive check, is not served but
// fetched again, and gives its place to the sound copy: check is clean after.
TEST_F(ArchiveCliTest, ADamagedArchivedCopyIsListedUntilAFetchReplacesIt) {
  ASSERT_EQ(Cli("archive import small.xml").status, 0);
  const std::string journal = test_support::TestJournal();
  const std::size_t from = journal.find("<DAT DI=\"2\"");
  std::string damaged = journal.substr(from, journal.find("</MAC>", from) + 6 - from);
  damaged.replace(damaged.find("SM=\"10000\""), 10, "SM=\"1O000\"");  // a letter O for a zero
  Poison(dir / "journal.db", 6, damaged);

  CliRun run = Cli("archive check");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.rfind("fails: receipt 6 (ZN 402400089, FN 5555555555): the loader refuses it: ", 0), 0u)
      << run.out;
  EXPECT_NE(run.out.find("\ndocuments 4, failing 1, conflicts 0\n"), std::string::npos) << run.out;

  emulator::RegisterEmulator reg(journal);
  std::string error;
  ASSERT_TRUE(reg.Start(&error)) << error;
  const std::string fetch = "fetch --port " + reg.PortName() + " --speed 115200 --from 5 --to 7";
  const std::string tape = Cli(fetch + " --no-archive").out;
  reg.ClearRecords();
  run = Cli(fetch);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, tape);
  EXPECT_NE(run.err.find("из архива: 2, с аппарата: 1"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("повреждённая копия заменена полученной с аппарата: чек 6 (ЗН 402400089)"),
            std::string::npos)
      << run.err;
  EXPECT_NE(reg.Received().find("B;1;6;3;"), std::string::npos) << "receipt 6 crossed the line whole";

  run = Cli("archive check");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "documents 4, failing 0, conflicts 0, damaged copies replaced 1\n");
  run = Cli("archive list");
  EXPECT_EQ(run.out.find("conflicts"), std::string::npos) << "a replaced copy is no conflict";

  // A real conflict is listed too.
  std::string changed = journal;
  changed.replace(changed.find("SM=\"1200\""), 9, "SM=\"1300\"");
  Write("changed.xml", changed);
  EXPECT_EQ(Cli("archive import changed.xml").status, 1);
  run = Cli("archive check");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("conflict: receipt 5 (ZN 402400089, FN 5555555555): a differing copy fetched "),
            std::string::npos)
      << run.out;
  EXPECT_EQ(Cli("archive check --archive none.db").status, 2);
  EXPECT_FALSE(fs::exists(dir / "none.db"));
}

// Importing follows the archive's rule: a document that fails its check is
// named and not imported, the others are.
TEST_F(ArchiveCliTest, ImportRefusesADocumentThatFailsItsCheck) {
  std::string journal = test_support::TestJournal();
  journal.replace(journal.find("SM=\"10000\""), 10, "SM=\"1O000\"");
  Write("damaged.xml", journal);
  const CliRun run = Cli("archive import damaged.xml");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "damaged.xml: added 3, already there 0, conflicts 0, refused 1\n");
  EXPECT_NE(run.err.find("not imported: receipt 6 (ZN 402400089, FN 5555555555): the loader refuses it"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Cli("archive check").status, 0);
}

// A fetch that could not keep everything still prints the tape, names what
// was not kept and exits 6; files that cannot be written at all are found
// before connecting.
TEST_F(ArchiveCliTest, AFetchThatCouldNotKeepEverythingExitsSix) {
  emulator::RegisterEmulator reg(test_support::TestJournal());
  std::string error;
  ASSERT_TRUE(reg.Start(&error)) << error;
  const std::string fetch = "fetch --port " + reg.PortName() + " --speed 115200 --from 5 --to 7";
  const std::string tape = Cli(fetch + " --no-archive").out;
  ASSERT_NE(tape, "");

  // A full disk under temp.xml and under --out: the kernel's full device.
  fs::remove(dir / "temp.xml");
  fs::create_symlink("/dev/full", dir / "temp.xml");
  CliRun run = Cli(fetch + " --no-archive --out /dev/full");
  EXPECT_EQ(run.status, 6) << run.err;
  EXPECT_EQ(run.out, tape);
  EXPECT_NE(run.err.find("Не удалось записать файл temp.xml: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("/dev/full"), std::string::npos) << run.err;
  fs::remove(dir / "temp.xml");

  // An archive that another program holds locked past the busy time-out, and
  // still at the end: every document is named.
  { Archive create((dir / "locked.db").string()); }
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "locked.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  run = Cli(fetch + " --archive locked.db");
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(run.status, 6) << run.err;
  EXPECT_EQ(run.out, tape);
  EXPECT_NE(run.err.find("Архив не сохранил документы: чек 5 (ЗН 402400089), чек 6 (ЗН 402400089), "
                         "чек 7 (ЗН 402400089)"),
            std::string::npos)
      << run.err;

  // Nothing touched when --out or --pdf cannot be written at all.
  reg.ClearRecords();
  for (const char* bad : {" --out missing/tape.txt", " --pdf .", " --out small.xml/tape.txt"}) {
    run = Cli(fetch + bad);
    EXPECT_EQ(run.status, 2) << bad << ": " << run.err;
    EXPECT_NE(run.err.find(bad[3] == 'o' ? "--out: " : "--pdf: "), std::string::npos) << run.err;
  }
  EXPECT_EQ(reg.Received(), "");
}

// The names of the files in the test's folder.
std::set<std::string> Files(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST_F(ArchiveCliTest, ReadingNeverWritesAndAFileThatHoldsNoArchiveIsRefused) {
  ASSERT_EQ(Cli("archive import sample.xml").status, 0);
  Write("empty.db", "");
  Write("text.db", test_support::TestJournal());
  const char* kReaders[] = {"archive list --archive %s", "render --archive %s", "export --archive %s --format json",
                            "reconcile --archive %s", "archive check --archive %s"};
  const auto command = [](const char* pattern, const std::string& file) {
    std::string c = pattern;
    return c.replace(c.find("%s"), 2, file);
  };
  fs::remove(dir / "stdout.txt");
  fs::remove(dir / "stderr.txt");
  const std::set<std::string> files = Files(dir);
  const std::string archive = ReadFile(dir / "journal.db");
  for (const char* reader : kReaders) {
    const CliRun run = Cli(command(reader, "journal.db"));
    EXPECT_NE(run.status, 2) << reader << "\n" << run.err;
    EXPECT_FALSE(run.out.empty()) << reader;
    for (const char* file : {"empty.db", "text.db"}) {
      const CliRun refused = Cli(command(reader, file));
      EXPECT_EQ(refused.status, 2) << reader << " " << file;
      EXPECT_NE(refused.err.find(std::string(file) + ": not an archive"), std::string::npos) << refused.err;
    }
  }
  std::set<std::string> after = Files(dir);
  after.erase("stdout.txt");
  after.erase("stderr.txt");
  after.erase("error.log");  // render's own work file
  EXPECT_EQ(after, files);  // no journal.db-wal, no journal.db-shm
  EXPECT_EQ(ReadFile(dir / "journal.db"), archive);
  EXPECT_EQ(fs::file_size(dir / "empty.db"), 0u);
  EXPECT_EQ(ReadFile(dir / "text.db"), test_support::TestJournal());

  // An import that takes no file makes no archive.
  Write("cut.xml", test_support::SampleJournal().substr(0, 3000));
  const CliRun none = Cli("archive import --archive new.db cut.xml missing.xml");
  EXPECT_EQ(none.status, 2);
  EXPECT_FALSE(fs::exists(dir / "new.db"));
}

// The archive keys a register by its ZN's value: one holding '"' (written
// "&quot;" in the journal) is listed and chosen as it reads.
TEST_F(ArchiveCliTest, RegistersAreKeyedByTheirDecodedZn) {
  std::string text = test_support::TestJournal();
  for (auto at = text.find("ZN=\"402400089\""); at != std::string::npos; at = text.find("ZN=\"402400089\"", at))
    text.replace(at + 4, 9, "40&quot;89");
  Write("quote.xml", text);
  ASSERT_EQ(Cli("archive import quote.xml").status, 0);
  EXPECT_EQ(Cli("archive list").out.rfind("ZN: 40\"89\n", 0), 0u);
  const CliRun rendered = Cli("render --archive --register '40\"89'");
  EXPECT_EQ(rendered.status, 0) << rendered.err;
  EXPECT_EQ(rendered.out, Cli("render quote.xml").out);
}

TEST_F(ArchiveCliTest, FetchRefusesAnUnusableArchiveBeforeConnecting) {
  emulator::RegisterEmulator reg(test_support::TestJournal());
  std::string error;
  ASSERT_TRUE(reg.Start(&error)) << error;
  const std::string fetch = "fetch --port " + reg.PortName() + " --speed 115200 --from 5 --to 7";
  Write("journal.db", test_support::TestJournal());  // not SQLite
  const std::string before = ReadFile(dir / "journal.db");
  CliRun run = Cli(fetch);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("journal.db"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir / "journal.db"), before);
  EXPECT_EQ(reg.Received(), "");

  // With the archive off the fetch works as ever.
  run = Cli(fetch + " --no-archive");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string tape = run.out;
  fs::remove(dir / "journal.db");

  // The default archive: the second fetch serves all three and says so.
  EXPECT_EQ(Cli(fetch).status, 0);
  run = Cli(fetch);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, tape);
  EXPECT_EQ(run.err, "из архива: 3, с аппарата: 0\n");

  // A differing archived copy: the fetch completes and names it, exit 5.
  std::string changed = test_support::TestJournal();
  changed.replace(changed.find("SM=\"1200\""), 9, "SM=\"1300\"");
  Write("changed.xml", changed);
  ASSERT_EQ(Cli("archive import --archive other.db changed.xml").status, 0);
  run = Cli(fetch + " --archive other.db");
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(run.out, tape);
  EXPECT_NE(run.err.find("чек 5 (ЗН 402400089)"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace tallyglass
