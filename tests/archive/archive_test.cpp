// The archive file: what it keeps, what it refuses, and two programs on it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_journal.h"
#include "link/protocol.h"
#include "support/test_files.h"
#include "support/test_journal.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;
using test_support::SampleJournal;

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test_support::MakeScratchDir("tallyglass-archive");
    path = (dir / "journal.db").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
  }
  std::string Refusal(Archive::Mode mode = Archive::Mode::kCreate) {
    try {
      Archive archive(path, mode);
    } catch (const ArchiveError& e) {
      return e.what();
    }
    return "";
  }

  std::filesystem::path dir;
  std::string path;
};

TEST_F(ArchiveTest, KeepsEveryDocumentOnceAndConflictsBeside) {
  const auto docs = split_collected_journal(SampleJournal());
  ASSERT_EQ(docs.size(), 22u);
  Archive archive(path);
  for (const auto& [key, text] : docs) EXPECT_EQ(archive.store(key, text), StoreResult::kAdded);
  for (const auto& [key, text] : docs) EXPECT_EQ(archive.store(key, text), StoreResult::kAlreadyThere);

  const auto& [key, text] = docs[1];
  EXPECT_EQ(key.zn, "402400117");
  EXPECT_EQ(key.fn, "3011223344");
  EXPECT_EQ(key.class_code, kClassCheck);
  EXPECT_EQ(key.number, 131);
  EXPECT_EQ(key.di, 513);
  EXPECT_EQ(key.ts, "20160314091204");
  const auto reg = archive.register_id(key.zn, key.fn);
  ASSERT_TRUE(reg);
  EXPECT_EQ(archive.text(*reg, kClassCheck, 131), text);  // the exact bytes
  EXPECT_FALSE(archive.text(*reg, kClassZ, 131));

  // A differing copy never replaces the kept one; the same one is kept once.
  std::string other = text;
  other.replace(other.find("SM=\"5200\""), 9, "SM=\"5300\"");
  EXPECT_EQ(archive.store(key, other), StoreResult::kConflict);
  EXPECT_EQ(archive.store(key, other), StoreResult::kConflict);
  EXPECT_EQ(archive.text(*reg, kClassCheck, 131), text);
  const auto conflicts = archive.conflicts(*reg);
  ASSERT_EQ(conflicts.size(), 1u);
  EXPECT_EQ(conflicts[0].text, other);
  EXPECT_EQ(conflicts[0].key.number, 131);

  // A second differing copy is kept beside too, and each once.
  std::string third = text;
  third.replace(third.find("SM=\"5200\""), 9, "SM=\"5400\"");
  EXPECT_EQ(archive.store(key, third), StoreResult::kConflict);
  EXPECT_EQ(archive.store(key, other), StoreResult::kConflict);
  EXPECT_EQ(archive.text(*reg, kClassCheck, 131), text);
  ASSERT_EQ(archive.conflicts(*reg).size(), 2u);
  EXPECT_EQ(archive.conflicts(*reg)[1].text, third);
  EXPECT_EQ(archive.registers().at(0).conflicts, 2);
}

// Only a document that passes its check is kept. A kept copy that fails it
// (written by an older program from a noisy line) gives its place to the first
// sound copy and stays beside it, marked as replaced, never lost; were the
// sound copy kept beside already, the two change places.
TEST_F(ArchiveTest, KeepsOnlySoundCopiesAndLetsASoundOneReplaceADamagedOne) {
  const auto docs = split_collected_journal(SampleJournal());
  const auto& [key, good] = docs[1];  // receipt 131
  std::string unloadable = good;
  unloadable.replace(unloadable.find("SM=\"5200\""), 9, "SM=\"52a0\"");
  DocumentKey another = key;
  another.number = 132;
  {
    Archive archive(path);
    EXPECT_EQ(archive.store(key, unloadable), StoreResult::kRefused);
    EXPECT_EQ(archive.store(another, good), StoreResult::kRefused);  // not the number it says
    EXPECT_TRUE(archive.registers().empty()) << "nothing at all was written";
    EXPECT_EQ(archive.store(key, good), StoreResult::kAdded);
  }
  auto hex = [](const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "x'";
    for (const unsigned char c : bytes) {
      out += digits[c >> 4];
      out += digits[c & 15];
    }
    return out + "'";
  };
  for (const bool beside_already : {false, true}) {
    SCOPED_TRACE(beside_already ? "the sound copy kept beside already" : "a damaged copy alone");
    Sql("DELETE FROM replaced; DELETE FROM conflicts; UPDATE documents SET text = " + hex(unloadable) +
        " WHERE number = 131");
    if (beside_already)
      Sql("INSERT INTO conflicts (document_id, di, ts, text, fetched_at) SELECT id, di, ts, " + hex(good) +
          ", '2016-01-01 00:00:00' FROM documents WHERE number = 131");
    Archive archive(path);
    const auto reg = archive.register_id(key.zn, key.fn);
    ASSERT_TRUE(reg);
    EXPECT_EQ(archive.store(key, good), StoreResult::kReplaced);
    EXPECT_EQ(archive.text(*reg, kClassCheck, 131), good);
    EXPECT_TRUE(archive.conflicts(*reg).empty());
    ASSERT_EQ(archive.replaced_copies(*reg).size(), 1u);
    EXPECT_EQ(archive.replaced_copies(*reg)[0].text, unloadable);
    EXPECT_EQ(archive.registers().at(0).conflicts, 0);
    EXPECT_EQ(archive.store(key, good), StoreResult::kAlreadyThere);
  }
}

TEST_F(ArchiveTest, ListsRegistersWithRangesGapsAndDays) {
  Archive archive(path);
  auto docs = split_collected_journal(SampleJournal());
  docs.erase(docs.begin() + 3);  // receipt 133
  archive.store_all(docs);
  for (const auto& [key, text] : split_collected_journal(test_support::TestJournal())) archive.store(key, text);

  const auto list = archive.registers();
  ASSERT_EQ(list.size(), 2u);
  const RegisterSummary& small = list[0];  // ZN 402400089
  EXPECT_EQ(small.zn, "402400089");
  EXPECT_EQ(small.receipts.count, 3);
  EXPECT_EQ(small.receipts.first, 5);
  EXPECT_EQ(small.receipts.last, 7);
  EXPECT_TRUE(small.receipts.gaps.empty());
  EXPECT_EQ(small.zreports.count, 1);
  EXPECT_EQ(small.first_day, "20160401");
  EXPECT_EQ(small.last_day, "20160407");
  const RegisterSummary& sample = list[1];
  EXPECT_EQ(sample.receipts.first, 130);
  EXPECT_EQ(sample.receipts.gaps, std::vector<std::int32_t>{133});

  const auto day = archive.documents_by_day(sample.id, "20160314", "20160314");
  ASSERT_FALSE(day.empty());
  for (std::size_t i = 1; i < day.size(); ++i) EXPECT_LT(day[i - 1].key.di, day[i].key.di);
  const auto range = archive.documents_by_number(sample.id, kClassCheck, 131, 135);
  EXPECT_EQ(range.size(), 4u);  // 133 is missing
}

TEST_F(ArchiveTest, RefusesWhatIsNotItsOwnAndLeavesTheFileAlone) {
  struct Case {
    const char* name;
    std::string setup_sql;   // run on a fresh SQLite file; empty: write raw bytes
    std::string raw;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"not SQLite", "", "<?xml version=\"1.0\"?><RQ V=\"1\"></RQ>\r\n", "not a database"},
      {"truncated", "", std::string("SQLite format 3\0", 16) + std::string(84, '\x01'), ""},
      {"foreign tables", "CREATE TABLE t (x);", "", "not an archive"},
      {"newer schema", "PRAGMA user_version = 4;", "", "newer program"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path);
    if (c.setup_sql.empty()) {
      std::ofstream(path, std::ios::binary) << c.raw;
    } else {
      Sql(c.setup_sql);
    }
    const std::string before = ReadFile(path);
    const std::string refusal = Refusal();
    EXPECT_NE(refusal, "");
    EXPECT_NE(refusal.find(c.says), std::string::npos) << refusal;
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
  }
  std::filesystem::remove(path);
  EXPECT_NE(Refusal(Archive::Mode::kExisting), "");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_NE(Refusal(Archive::Mode::kReadOnly).find("no such archive"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));

  // Read only, an empty file holds no archive and stays empty, with nothing beside it.
  std::ofstream(path, std::ios::binary).close();
  EXPECT_NE(Refusal(Archive::Mode::kReadOnly).find("not an archive"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(path + "-shm"));
}

TEST_F(ArchiveTest, NeverRunsTheFilesOwnTriggersOrViews) {
  { Archive archive(path); }
  // A file made hostile by hand: a trigger that would empty the archive.
  Sql("PRAGMA writable_schema = ON; "
      "CREATE TRIGGER wipe AFTER INSERT ON documents BEGIN DELETE FROM documents; END;");
  EXPECT_NE(Refusal().find("not an archive"), std::string::npos);
  Sql("DROP TRIGGER wipe; CREATE VIEW v AS SELECT * FROM documents;");
  EXPECT_NE(Refusal().find("not an archive"), std::string::npos);
  Sql("DROP VIEW v;");
  EXPECT_EQ(Refusal(), "");
}

TEST_F(ArchiveTest, BringsAnOlderSchemaUpToDate) {
  // Version 1 as the first release wrote it, with one document in it.
  Sql("CREATE TABLE registers (id INTEGER PRIMARY KEY, zn TEXT NOT NULL, fn TEXT NOT NULL, UNIQUE (zn, fn));"
      "CREATE TABLE documents (id INTEGER PRIMARY KEY, register_id INTEGER NOT NULL REFERENCES registers (id), "
      "class INTEGER NOT NULL, number INTEGER NOT NULL, di INTEGER NOT NULL, ts TEXT NOT NULL, "
      "day TEXT NOT NULL, text BLOB NOT NULL, fetched_at TEXT NOT NULL, UNIQUE (register_id, class, number));"
      "CREATE TABLE conflicts (id INTEGER PRIMARY KEY, document_id INTEGER NOT NULL REFERENCES documents (id), "
      "di INTEGER NOT NULL, ts TEXT NOT NULL, text BLOB NOT NULL, fetched_at TEXT NOT NULL, "
      "UNIQUE (document_id, text));"
      "INSERT INTO registers VALUES (1, 'Z1', 'F1');"
      "INSERT INTO documents VALUES (1, 1, 1, 7, 3, '20160407134530', '20160407', x'3C444154', '2016-04-08');"
      "PRAGMA user_version = 1;");
  {
    // Read as it is, without the later tables: its copy beside is a conflict.
    Sql("INSERT INTO conflicts VALUES (1, 1, 3, '20160407134530', x'3C444154203E', '2016-04-09')");
    Archive old(path, Archive::Mode::kReadOnly);
    EXPECT_EQ(old.schema_version(), 1);
    EXPECT_EQ(old.conflicts(1).size(), 1u);
    EXPECT_TRUE(old.replaced_copies(1).empty());
    EXPECT_EQ(old.registers().at(0).conflicts, 1);
  }
  Archive archive(path);
  EXPECT_EQ(archive.schema_version(), Archive::kSchemaVersion);
  EXPECT_EQ(archive.text(1, kClassCheck, 7), "<DAT");
  EXPECT_EQ(archive.documents_by_day(1, "20160407", "20160407").size(), 1u);
  Archive again(path);  // and the result passes its own check
  EXPECT_EQ(again.schema_version(), Archive::kSchemaVersion);
}

TEST_F(ArchiveTest, ImportsAJournalWholeOrNotAtAll) {
  const std::string good = SampleJournal();
  std::string cut = good.substr(0, good.size() / 2);  // cut in the middle of a document
  std::string no_number = good;
  no_number.replace(no_number.find("NO=\"131\""), 8, "NO=\"x\"  ");
  for (const std::string* bad : {&cut, &no_number}) EXPECT_THROW(split_collected_journal(*bad), ArchiveError);
  EXPECT_EQ(split_collected_journal(good).size(), 22u);
}

TEST_F(ArchiveTest, TwoProgramsStoreIntoOneArchiveAtOnce) {
  { Archive archive(path); }
  auto document = [](int number) {
    DocumentKey key{"ZN1", "FN1", kClassCheck, number, number, "20160101120000"};
    const std::string no = std::to_string(number);
    return std::pair{key, "<DAT DI=\"" + no + "\" ZN=\"ZN1\" FN=\"FN1\"><C T=\"0\"><E NO=\"" + no +
                              "\"></E></C></DAT><MAC></MAC>"};
  };
  constexpr int kEach = 150;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      Archive archive(path);
      for (int n = 0; n < kEach; ++n) {
        const auto [key, text] = document(n * 2);
        archive.store(key, text);
      }
    } catch (...) {
      status = 1;
    }
    ::_exit(status);
  }
  Archive archive(path);
  for (int n = 0; n < kEach; ++n) {
    const auto [key, text] = document(n * 2 + 1);
    EXPECT_EQ(archive.store(key, text), StoreResult::kAdded);
    archive.registers();  // reads between the writes of the other
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const auto list = archive.registers();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].receipts.count, 2 * kEach);
  EXPECT_TRUE(list[0].receipts.gaps.empty());
}

}  // namespace
}  // namespace tallyglass
