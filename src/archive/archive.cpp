#include "archive/archive.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>
#include <utility>

#include "journal/document_check.h"
#include "journal/start_tag.h"
#include "journal/xml_document.h"
#include "link/protocol.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tallyglass {
namespace {

// The schema, one list of statements per version step. The statements are
// also what the schema check compares the file's own schema with, text for
// text, so they never change once released: a change is a new step.
const std::vector<std::vector<std::string>>& migrations() {
  static const std::vector<std::vector<std::string>> steps = {
      // 0 -> 1: registers, their documents, and the differing copies beside them.
      {"CREATE TABLE registers (id INTEGER PRIMARY KEY, zn TEXT NOT NULL, fn TEXT NOT NULL, "
       "UNIQUE (zn, fn))",
       "CREATE TABLE documents (id INTEGER PRIMARY KEY, register_id INTEGER NOT NULL REFERENCES registers (id), "
       "class INTEGER NOT NULL, number INTEGER NOT NULL, di INTEGER NOT NULL, ts TEXT NOT NULL, "
       "day TEXT NOT NULL, text BLOB NOT NULL, fetched_at TEXT NOT NULL, UNIQUE (register_id, class, number))",
       "CREATE TABLE conflicts (id INTEGER PRIMARY KEY, document_id INTEGER NOT NULL REFERENCES documents (id), "
       "di INTEGER NOT NULL, ts TEXT NOT NULL, text BLOB NOT NULL, fetched_at TEXT NOT NULL, "
       "UNIQUE (document_id, text))"},
      // 1 -> 2: date requests and journal-order reads over large archives.
      {"CREATE INDEX documents_by_day ON documents (register_id, day)",
       "CREATE INDEX documents_by_di ON documents (register_id, di)"},
      // 2 -> 3: copies that were kept but failed their check, and were put
      // beside the document when a sound copy came (conflict rows, marked).
      {"CREATE TABLE replaced (id INTEGER PRIMARY KEY, conflict_id INTEGER NOT NULL REFERENCES conflicts (id), "
       "replaced_at TEXT NOT NULL, UNIQUE (conflict_id))"},
  };
  return steps;
}

// The rows sqlite_schema holds at a version: "type|name|table|sql".
std::set<std::string> expected_schema(int version) {
  std::set<std::string> rows;
  for (int step = 0; step < version; ++step) {
    for (const auto& sql : migrations()[static_cast<std::size_t>(step)]) {
      const bool table = sql.rfind("CREATE TABLE ", 0) == 0;
      const std::size_t name_at = table ? 13 : 13;  // "CREATE INDEX " is as long
      const std::string name = sql.substr(name_at, sql.find(' ', name_at) - name_at);
      std::string owner = name;
      if (!table) {
        const std::size_t on = sql.find(" ON ") + 4;
        owner = sql.substr(on, sql.find(' ', on) - on);
      }
      rows.insert(std::string(table ? "table" : "index") + "|" + name + "|" + owner + "|" + sql);
      if (table) rows.insert("index|sqlite_autoindex_" + name + "_1|" + name + "|");
    }
  }
  return rows;
}

std::string sqlite_message(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

class Statement {
 public:
  Statement(sqlite3* db, const char* sql, const std::string& path) : db_(db), path_(path) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail();
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, std::int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& bind_text(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind_blob(int i, std::string_view v) {
    sqlite3_bind_blob(stmt_, i, v.empty() ? "" : v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // True while there is a row.
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) fail();
    return false;
  }
  std::int64_t integer(int i) const { return sqlite3_column_int64(stmt_, i); }
  std::string bytes(int i) const {
    const void* p = sqlite3_column_blob(stmt_, i);
    const int n = sqlite3_column_bytes(stmt_, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
  }
  bool null(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }

 private:
  [[noreturn]] void fail() const { throw ArchiveError(path_ + ": " + sqlite_message(db_)); }
  sqlite3* db_;
  const std::string& path_;
  sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const std::string& sql, const std::string& path) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : sqlite_message(db);
    sqlite3_free(message);
    throw ArchiveError(path + ": " + text);
  }
}

// A write transaction that rolls back unless committed.
class Transaction {
 public:
  Transaction(sqlite3* db, const std::string& path) : db_(db), path_(path) {
    exec(db_, "BEGIN IMMEDIATE", path_);
  }
  ~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void commit() {
    exec(db_, "COMMIT", path_);
    done_ = true;
  }

 private:
  sqlite3* db_;
  const std::string& path_;
  bool done_ = false;
};

std::string now_text() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buffer;
}

constexpr const char* kDocumentColumns =
    "SELECT r.zn, r.fn, d.class, d.number, d.di, d.ts, d.text, d.fetched_at "
    "FROM documents d JOIN registers r ON r.id = d.register_id ";

ArchivedDocument read_document(const Statement& s) {
  ArchivedDocument doc;
  doc.key.zn = Utf8ToCp1251(s.bytes(0));
  doc.key.fn = Utf8ToCp1251(s.bytes(1));
  doc.key.class_code = static_cast<int>(s.integer(2));
  doc.key.number = static_cast<std::int32_t>(s.integer(3));
  doc.key.di = s.integer(4);
  doc.key.ts = Utf8ToCp1251(s.bytes(5));
  doc.text = s.bytes(6);
  doc.fetched_at = s.bytes(7);
  return doc;
}

// Finds or adds the register; inside a transaction.
std::int64_t register_row(sqlite3* db, const std::string& path, const DocumentKey& key) {
  const std::string zn = Cp1251ToUtf8(key.zn);
  const std::string fn = Cp1251ToUtf8(key.fn);
  {
    Statement find(db, "SELECT id FROM registers WHERE zn = ? AND fn = ?", path);
    find.bind_text(1, zn).bind_text(2, fn);
    if (find.step()) return find.integer(0);
  }
  Statement add(db, "INSERT INTO registers (zn, fn) VALUES (?, ?)", path);
  add.bind_text(1, zn).bind_text(2, fn);
  add.step();
  return sqlite3_last_insert_rowid(db);
}

StoreResult store_one(sqlite3* db, const std::string& path, const DocumentKey& key, std::string_view text,
                      const std::string& now) {
  if (!check_document(text, key.class_code, key.number).ok()) return StoreResult::kRefused;
  const std::int64_t reg = register_row(db, path, key);
  Statement find(db,
                 "SELECT id, text, di, ts, fetched_at FROM documents "
                 "WHERE register_id = ? AND class = ? AND number = ?",
                 path);
  find.bind(1, reg).bind(2, key.class_code).bind(3, key.number);
  if (find.step()) {
    const std::string kept = find.bytes(1);
    if (kept == text) return StoreResult::kAlreadyThere;
    const std::int64_t document = find.integer(0);
    if (check_document(kept, key.class_code, key.number).ok()) {
      Statement add(db,
                    "INSERT OR IGNORE INTO conflicts (document_id, di, ts, text, fetched_at) VALUES (?, ?, ?, ?, ?)",
                    path);
      add.bind(1, document).bind(2, key.di).bind_text(3, Cp1251ToUtf8(key.ts)).bind_blob(4, text);
      add.bind_text(5, now).step();
      return StoreResult::kConflict;
    }
    // The kept copy is damaged: the sound one is served from now on, and the
    // damaged one stays beside it, marked, so that no copy is ever lost. Were
    // the sound text kept beside already, the two change places.
    std::optional<std::int64_t> slot;
    {
      Statement same(db, "SELECT id FROM conflicts WHERE document_id = ? AND text = ?", path);
      same.bind(1, document).bind_blob(2, text);
      if (same.step()) slot = same.integer(0);
    }
    if (slot) {
      Statement swap(db, "UPDATE conflicts SET di = ?, ts = ?, text = ?, fetched_at = ? WHERE id = ?", path);
      swap.bind(1, find.integer(2)).bind_text(2, find.bytes(3)).bind_blob(3, kept).bind_text(4, find.bytes(4));
      swap.bind(5, *slot).step();
    } else {
      Statement add(db,
                    "INSERT OR IGNORE INTO conflicts (document_id, di, ts, text, fetched_at) VALUES (?, ?, ?, ?, ?)",
                    path);
      add.bind(1, document).bind(2, find.integer(2)).bind_text(3, find.bytes(3)).bind_blob(4, kept);
      add.bind_text(5, find.bytes(4)).step();
      Statement row(db, "SELECT id FROM conflicts WHERE document_id = ? AND text = ?", path);
      row.bind(1, document).bind_blob(2, kept);
      if (row.step()) slot = row.integer(0);
    }
    if (slot) {
      Statement mark(db, "INSERT OR IGNORE INTO replaced (conflict_id, replaced_at) VALUES (?, ?)", path);
      mark.bind(1, *slot).bind_text(2, now).step();
    }
    Statement update(db, "UPDATE documents SET di = ?, ts = ?, day = ?, text = ?, fetched_at = ? WHERE id = ?",
                     path);
    update.bind(1, key.di).bind_text(2, Cp1251ToUtf8(key.ts)).bind_text(3, day_of(key.ts)).bind_blob(4, text);
    update.bind_text(5, now).bind(6, document).step();
    return StoreResult::kReplaced;
  }
  Statement add(db,
                "INSERT INTO documents (register_id, class, number, di, ts, day, text, fetched_at) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                path);
  add.bind(1, reg).bind(2, key.class_code).bind(3, key.number).bind(4, key.di);
  add.bind_text(5, Cp1251ToUtf8(key.ts)).bind_text(6, day_of(key.ts)).bind_blob(7, text).bind_text(8, now);
  add.step();
  return StoreResult::kAdded;
}

// A path as an SQLite file URI ("file:" and the path, percent-encoded).
std::string file_uri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

}  // namespace

std::string day_of(std::string_view ts) {
  if (ts.size() < 8) return {};
  for (std::size_t i = 0; i < 8; ++i)
    if (ts[i] < '0' || ts[i] > '9') return {};
  return std::string(ts.substr(0, 8));
}

std::optional<DocumentKey> read_document_key(std::string_view text) {
  // Well-formed as one DAT followed by one MAC, checked by the same parser
  // the loader uses; the values are then read from the DAT's own tags.
  const std::size_t dat_end = text.find("</DAT>");
  if (text.rfind("<DAT ", 0) != 0 || dat_end == std::string_view::npos ||
      text.substr(dat_end + 6).rfind("<MAC", 0) != 0)
    return std::nullopt;
  DocumentKey key;
  try {
    xml_document parsed("<RQ>" + std::string(text) + "</RQ>");
    int children = 0;
    for (auto n = parsed.first_child(parsed.root()); n; n = parsed.next_sibling(n)) {
      const std::string_view name = parsed.name(n);
      if (name != "DAT" && name != "MAC") return std::nullopt;
      ++children;
      // The register as its values read (a ZN holding '"' is written "&quot;").
      for (auto a = name == "DAT" ? parsed.first_attribute(n) : nullptr; a; a = parsed.next_attribute(a)) {
        if (parsed.attribute_name(a) == "ZN") key.zn = parsed.attribute_value(a);
        if (parsed.attribute_name(a) == "FN") key.fn = parsed.attribute_value(a);
      }
    }
    if (children != 2) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const std::string_view dat = text.substr(0, dat_end);
  const std::string_view head = dat.substr(0, dat.find('>'));
  const auto di = ParseExactInt32(start_tag_attribute(head, "DI"));
  if (key.zn.empty() || !di) return std::nullopt;
  key.di = *di;
  auto tag = [&](std::string_view name) -> std::string_view {
    for (std::size_t from = 0;;) {
      const std::size_t at = dat.find(name, from);
      if (at == std::string_view::npos || at == 0) return {};
      from = at + 1;
      const char after = at + name.size() < dat.size() ? dat[at + name.size()] : '\0';
      if (dat[at - 1] == '<' && (after == ' ' || after == '>')) return dat.substr(at, dat.find('>', at) - at);
    }
  };
  std::optional<std::int32_t> number;
  if (const auto z = tag("Z"); !z.empty()) {
    key.class_code = kClassZ;
    number = ParseExactInt32(start_tag_attribute(z, "NO"));
  } else if (const auto e = tag("E"); !e.empty()) {
    key.class_code = kClassCheck;
    number = ParseExactInt32(start_tag_attribute(e, "NO"));
    key.ts = start_tag_attribute(e, "TS");
  }
  if (!number) return std::nullopt;
  key.number = *number;
  if (const std::size_t ts = dat.find("<TS>"); ts != std::string_view::npos) {
    const std::size_t ts_end = dat.find("</TS>", ts);
    if (ts_end != std::string_view::npos) key.ts = dat.substr(ts + 4, ts_end - ts - 4);
  }
  return key;
}

Archive::Archive(const std::string& path, Mode mode) : path_(path) {
  const bool read_only = mode == Mode::kReadOnly;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (mode == Mode::kCreate) flags |= SQLITE_OPEN_CREATE;
  std::string name = path;
  if (read_only) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw ArchiveError(path + ": no such archive");
    // A reader of a WAL file makes its "-shm" and "-wal" beside it. Without a
    // writer's "-wal" there is nothing to share, and the file is read as
    // immutable: no file is made, and a read-only folder reads too.
    flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    name = file_uri(path) + (std::filesystem::exists(path + "-wal", ec) ? "?mode=ro" : "?mode=ro&immutable=1");
  }
  const int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string why = rc == SQLITE_CANTOPEN && mode != Mode::kCreate ? "no such archive" : sqlite_message(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    throw ArchiveError(path + ": " + why);
  }
  try {
    // Data, never code: nothing of the file's own schema runs here.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);

    int version = 0;
    std::set<std::string> actual;
    try {
      Statement v(db_, "PRAGMA user_version", path_);
      if (v.step()) version = static_cast<int>(v.integer(0));
      Statement s(db_, "SELECT type, name, tbl_name, sql FROM sqlite_schema", path_);
      while (s.step()) actual.insert(s.bytes(0) + "|" + s.bytes(1) + "|" + s.bytes(2) + "|" + s.bytes(3));
    } catch (const ArchiveError&) {
      if (sqlite3_errcode(db_) == SQLITE_NOTADB) throw ArchiveError(path + ": not an archive (file is not a database)");
      throw;
    }
    if (version > kSchemaVersion)
      throw ArchiveError(path + ": the archive was written by a newer program (schema version " +
                         std::to_string(version) + ", this program knows up to " +
                         std::to_string(kSchemaVersion) + ")");
    if (version < 0 || actual != expected_schema(version))
      throw ArchiveError(path + ": not an archive (its tables are not the journal archive's own)");
    if (read_only) {
      // An older schema reads as it is; an empty file holds no archive at all.
      if (version == 0) throw ArchiveError(path + ": not an archive (it holds no archive tables)");
    } else if (version < kSchemaVersion) {
      // Large pages for a new file: documents of one to three kilobytes waste
      // less of each page.
      if (actual.empty()) exec(db_, "PRAGMA page_size = 16384", path_);
      exec(db_, "PRAGMA journal_mode=WAL", path_);
      Transaction t(db_, path_);
      // Another program may have brought it up to date while this one waited.
      int now_version = 0;
      {
        Statement v(db_, "PRAGMA user_version", path_);
        if (v.step()) now_version = static_cast<int>(v.integer(0));
      }
      if (now_version == version) {
        for (int step = version; step < kSchemaVersion; ++step)
          for (const auto& sql : migrations()[static_cast<std::size_t>(step)]) exec(db_, sql, path_);
        exec(db_, "PRAGMA user_version = " + std::to_string(kSchemaVersion), path_);
      }
      t.commit();
    } else {
      // A read-only file stays in the mode it has.
      sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    if (!read_only) exec(db_, "PRAGMA synchronous=NORMAL", path_);
    version_ = read_only ? version : kSchemaVersion;
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

Archive::~Archive() { sqlite3_close(db_); }

void Archive::set_busy_timeout(int ms) { sqlite3_busy_timeout(db_, ms); }

int Archive::schema_version() const {
  Statement v(db_, "PRAGMA user_version", path_);
  return v.step() ? static_cast<int>(v.integer(0)) : 0;
}

StoreResult Archive::store(const DocumentKey& key, std::string_view text) {
  Transaction t(db_, path_);
  const StoreResult result = store_one(db_, path_, key, text, now_text());
  t.commit();
  return result;
}

std::vector<StoreResult> Archive::store_all(const std::vector<std::pair<DocumentKey, std::string>>& documents) {
  Transaction t(db_, path_);
  const std::string now = now_text();
  std::vector<StoreResult> results;
  results.reserve(documents.size());
  for (const auto& [key, text] : documents) results.push_back(store_one(db_, path_, key, text, now));
  t.commit();
  return results;
}

std::vector<RegisterSummary> Archive::registers(bool counted) const {
  std::vector<RegisterSummary> list;
  {
    Statement s(db_, "SELECT id, zn, fn FROM registers ORDER BY zn, fn", path_);
    while (s.step()) {
      RegisterSummary r;
      r.id = s.integer(0);
      r.zn = Utf8ToCp1251(s.bytes(1));
      r.fn = Utf8ToCp1251(s.bytes(2));
      list.push_back(std::move(r));
    }
  }
  if (!counted) return list;
  for (auto& r : list) {
    for (const int code : {kClassCheck, kClassZ}) {
      NumberSpan& span = code == kClassZ ? r.zreports : r.receipts;
      Statement s(db_, "SELECT number FROM documents WHERE register_id = ? AND class = ? ORDER BY number", path_);
      s.bind(1, r.id).bind(2, code);
      std::int64_t previous = 0;
      while (s.step()) {
        const std::int64_t n = s.integer(0);
        if (span.count == 0) {
          span.first = static_cast<std::int32_t>(n);
        } else {
          for (std::int64_t g = previous + 1; g < n; ++g) span.gaps.push_back(static_cast<std::int32_t>(g));
        }
        span.last = static_cast<std::int32_t>(n);
        previous = n;
        ++span.count;
      }
    }
    // Each end of the register's days is one look into the day index.
    Statement first(db_, "SELECT day FROM documents WHERE register_id = ? AND day > '' ORDER BY day LIMIT 1",
                    path_);
    first.bind(1, r.id);
    if (first.step()) r.first_day = first.bytes(0);
    Statement last(db_, "SELECT day FROM documents WHERE register_id = ? AND day > '' ORDER BY day DESC LIMIT 1",
                   path_);
    last.bind(1, r.id);
    if (last.step()) r.last_day = last.bytes(0);
    // Conflicts are few: walked from their side.
    Statement c(db_,
                marks_replaced()
                    ? "SELECT count(*) FROM conflicts c CROSS JOIN documents d "
                      "WHERE d.id = c.document_id AND d.register_id = ? "
                      "AND NOT EXISTS (SELECT 1 FROM replaced p WHERE p.conflict_id = c.id)"
                    : "SELECT count(*) FROM conflicts c CROSS JOIN documents d "
                      "WHERE d.id = c.document_id AND d.register_id = ?",
                path_);
    c.bind(1, r.id);
    if (c.step()) r.conflicts = c.integer(0);
  }
  return list;
}

std::optional<std::int64_t> Archive::register_id(std::string_view zn, std::string_view fn) const {
  Statement s(db_, "SELECT id FROM registers WHERE zn = ? AND fn = ?", path_);
  s.bind_text(1, Cp1251ToUtf8(zn)).bind_text(2, Cp1251ToUtf8(fn));
  if (s.step()) return s.integer(0);
  return std::nullopt;
}

std::optional<std::string> Archive::text(std::int64_t register_id, int class_code, std::int32_t number) const {
  Statement s(db_, "SELECT text FROM documents WHERE register_id = ? AND class = ? AND number = ?", path_);
  s.bind(1, register_id).bind(2, class_code).bind(3, number);
  if (s.step()) return s.bytes(0);
  return std::nullopt;
}

std::vector<std::pair<std::int64_t, std::string>> Archive::copies(int class_code, std::int32_t number) const {
  std::vector<std::pair<std::int64_t, std::string>> list;
  // Register by register: each is one look into the (register, class, number) index.
  Statement s(db_,
              "SELECT d.register_id, d.text FROM registers r CROSS JOIN documents d "
              "WHERE d.register_id = r.id AND d.class = ? AND d.number = ? ORDER BY r.id",
              path_);
  s.bind(1, class_code).bind(2, number);
  while (s.step()) list.emplace_back(s.integer(0), s.bytes(1));
  return list;
}

bool Archive::holds(int class_code, std::int32_t number) const {
  Statement s(db_,
              "SELECT 1 FROM registers r CROSS JOIN documents d "
              "WHERE d.register_id = r.id AND d.class = ? AND d.number = ? LIMIT 1",
              path_);
  s.bind(1, class_code).bind(2, number);
  return s.step();
}

std::vector<ArchivedDocument> Archive::documents(std::int64_t register_id) const {
  return documents_by_di(register_id, INT64_MIN, INT64_MAX);
}

std::vector<ArchivedDocument> Archive::documents_by_number(std::int64_t register_id, int class_code,
                                                           std::int32_t first, std::int32_t last) const {
  std::vector<ArchivedDocument> list;
  Statement s(db_,
              (std::string(kDocumentColumns) +
               "WHERE d.register_id = ? AND d.class = ? AND d.number BETWEEN ? AND ? ORDER BY d.number")
                  .c_str(),
              path_);
  s.bind(1, register_id).bind(2, class_code).bind(3, first).bind(4, last);
  while (s.step()) list.push_back(read_document(s));
  return list;
}

std::vector<ArchivedDocument> Archive::documents_by_day(std::int64_t register_id, std::string_view from,
                                                        std::string_view to) const {
  std::vector<ArchivedDocument> list;
  Statement s(db_,
              (std::string(kDocumentColumns) +
               "WHERE d.register_id = ? AND d.day BETWEEN ? AND ? ORDER BY d.di, d.class, d.number")
                  .c_str(),
              path_);
  s.bind(1, register_id).bind_text(2, from).bind_text(3, to);
  while (s.step()) list.push_back(read_document(s));
  return list;
}

std::vector<ArchivedDocument> Archive::documents_by_di(std::int64_t register_id, std::int64_t low,
                                                       std::int64_t high) const {
  std::vector<ArchivedDocument> list;
  Statement s(db_,
              (std::string(kDocumentColumns) +
               "WHERE d.register_id = ? AND d.di BETWEEN ? AND ? ORDER BY d.di, d.class, d.number")
                  .c_str(),
              path_);
  s.bind(1, register_id).bind(2, low).bind(3, high);
  while (s.step()) list.push_back(read_document(s));
  return list;
}

std::optional<std::int64_t> Archive::neighbour_di(std::int64_t register_id, int class_code, std::int32_t number,
                                                   bool below) const {
  Statement s(db_,
              below ? "SELECT di FROM documents WHERE register_id = ? AND class = ? AND number < ? "
                      "ORDER BY number DESC LIMIT 1"
                    : "SELECT di FROM documents WHERE register_id = ? AND class = ? AND number > ? "
                      "ORDER BY number LIMIT 1",
              path_);
  s.bind(1, register_id).bind(2, class_code).bind(3, number);
  if (s.step()) return s.integer(0);
  return std::nullopt;
}

// The copies kept beside a register's documents: the differing ones, or those
// a sound copy replaced.
std::vector<ArchiveConflict> Archive::copies_beside(std::int64_t register_id, bool replaced) const {
  std::vector<ArchiveConflict> list;
  // An older archive read as it is has no marks: every copy beside is a conflict.
  if (replaced && !marks_replaced()) return list;
  std::string sql =
      "SELECT r.zn, r.fn, d.class, d.number, c.di, c.ts, c.text, c.fetched_at FROM conflicts c "
      "JOIN documents d ON d.id = c.document_id JOIN registers r ON r.id = d.register_id WHERE d.register_id = ? ";
  if (marks_replaced())
    sql += replaced ? "AND EXISTS (SELECT 1 FROM replaced p WHERE p.conflict_id = c.id) "
                    : "AND NOT EXISTS (SELECT 1 FROM replaced p WHERE p.conflict_id = c.id) ";
  sql += "ORDER BY d.class, d.number, c.id";
  Statement s(db_, sql.c_str(), path_);
  s.bind(1, register_id);
  while (s.step()) {
    const ArchivedDocument doc = read_document(s);
    list.push_back({doc.key, doc.text, doc.fetched_at});
  }
  return list;
}

std::vector<ArchiveConflict> Archive::conflicts(std::int64_t register_id) const {
  return copies_beside(register_id, false);
}

std::vector<ArchiveConflict> Archive::replaced_copies(std::int64_t register_id) const {
  return copies_beside(register_id, true);
}

}  // namespace tallyglass
