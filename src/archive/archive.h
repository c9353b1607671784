#pragma once
// The journal archive: every complete document a register handed out, kept in
// one SQLite file so that it never has to cross the line again. Only a
// document that passes check_document is stored. No copy is ever deleted: a
// copy that differs from the kept one is stored beside it as a conflict, and
// a kept copy that fails its check (written by an older program from a noisy
// line) gives its place to the first sound copy and stays beside it, marked
// as replaced. The file is data from anywhere, so it
// is opened in SQLite's defensive mode with an untrusted schema and its schema
// is checked before anything is read or written.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tallyglass {

// An archive that cannot be used (not SQLite, corrupt, a newer or foreign
// schema, a missing file) or an operation on it that failed. The message is
// UTF-8 and names the file.
class ArchiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What identifies a document and its register, read from its own text.
struct DocumentKey {
  std::string zn, fn;       // "DAT" ZN and FN, Windows-1251
  int class_code = 1;       // kClassZ or kClassCheck
  std::int32_t number = 0;  // "Z" NO or "E" NO
  std::int64_t di = 0;      // "DAT" DI
  std::string ts;           // the "TS" element (fourteen digits as the register writes it)
};

// The key of one document's DAT+MAC text; nothing when the text is not one
// well-formed document with a register, a class and a number.
std::optional<DocumentKey> read_document_key(std::string_view text);

// "YYYYMMDD" of a time stamp "YYYYMMDDhhmmss"; "" when it is not one.
std::string day_of(std::string_view ts);

enum class StoreResult {
  kAdded,
  kAlreadyThere,
  kConflict,  // differs from a sound kept copy: kept beside it
  kReplaced,  // the kept copy failed its check: this one is kept in its place, the old one beside
  kRefused,   // fails its check itself (check_document): nothing stored
};

struct ArchivedDocument {
  DocumentKey key;
  std::string text;        // the exact DAT+MAC bytes, Windows-1251
  std::string fetched_at;  // "YYYY-MM-DD hh:mm:ss" UTC
};

// One conflict: the kept copy's key and a different copy's text.
struct ArchiveConflict {
  DocumentKey key;
  std::string text;
  std::string fetched_at;
};

// Numbers of one class of one register: count, range and the missing numbers
// inside the range.
struct NumberSpan {
  std::int64_t count = 0;
  std::int32_t first = 0, last = 0;
  std::vector<std::int32_t> gaps;
};

struct RegisterSummary {
  std::int64_t id = 0;
  std::string zn, fn;  // Windows-1251
  NumberSpan receipts, zreports;
  std::string first_day, last_day;  // "YYYYMMDD"; "" without dated documents
  std::int64_t conflicts = 0;  // replaced damaged copies not counted
};

class Archive {
 public:
  // The schema version this program writes; a file with a higher one is refused.
  static constexpr int kSchemaVersion = 3;
  // How long a writer waits for another program holding the file.
  static constexpr int kBusyTimeoutMs = 10000;

  enum class Mode { kCreate, kExisting, kReadOnly };
  // Opens (kCreate: creating an empty one when missing) and checks the file,
  // bringing an older schema up to date. kReadOnly only reads: nothing is
  // created, changed or brought up to date, not even SQLite's files beside
  // it, so a copy on a read-only medium reads too; an empty file is not an
  // archive then. Throws ArchiveError; a refused file is left as it was.
  Archive(const std::string& path, Mode mode = Mode::kCreate);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  const std::string& path() const { return path_; }
  // How long a write waits for another program before it fails.
  void set_busy_timeout(int ms);

  // Stores one complete document in a transaction of its own. A document
  // that fails its check is refused; one already kept with the same bytes
  // changes nothing; with other bytes it is kept beside a sound copy as a
  // conflict (once per distinct text), or takes the place of a damaged one.
  StoreResult store(const DocumentKey& key, std::string_view text);
  // Stores the documents of one journal together: all of them or none.
  std::vector<StoreResult> store_all(const std::vector<std::pair<DocumentKey, std::string>>& documents);

  // Registers by (ZN, FN), with the counts, ranges, gaps and days of their
  // documents unless `counted` is false (then only id, ZN and FN).
  std::vector<RegisterSummary> registers(bool counted = true) const;
  std::optional<std::int64_t> register_id(std::string_view zn, std::string_view fn) const;

  // The kept text of a register's document.
  std::optional<std::string> text(std::int64_t register_id, int class_code, std::int32_t number) const;
  // Every register holding a document of this class and number, with its text.
  std::vector<std::pair<std::int64_t, std::string>> copies(int class_code, std::int32_t number) const;
  bool holds(int class_code, std::int32_t number) const;

  // A register's documents, in journal order (DI): all of them, those of a
  // class with numbers in a range, or those whose day is in from..to
  // ("YYYYMMDD", inclusive).
  std::vector<ArchivedDocument> documents(std::int64_t register_id) const;
  std::vector<ArchivedDocument> documents_by_number(std::int64_t register_id, int class_code,
                                                    std::int32_t first, std::int32_t last) const;
  std::vector<ArchivedDocument> documents_by_day(std::int64_t register_id, std::string_view from,
                                                 std::string_view to) const;
  // Documents of the register whose DI lies in low..high, in DI order.
  std::vector<ArchivedDocument> documents_by_di(std::int64_t register_id, std::int64_t low,
                                                std::int64_t high) const;

  // The DI of the register's nearest document of the class numbered below
  // (or above) number.
  std::optional<std::int64_t> neighbour_di(std::int64_t register_id, int class_code, std::int32_t number,
                                           bool below) const;

  // Differing copies kept beside a register's documents, and the damaged
  // copies that sound ones replaced.
  std::vector<ArchiveConflict> conflicts(std::int64_t register_id) const;
  std::vector<ArchiveConflict> replaced_copies(std::int64_t register_id) const;

  int schema_version() const;

 private:
  std::vector<ArchiveConflict> copies_beside(std::int64_t register_id, bool replaced) const;
  // Whether the file has the table of replaced copies (schema 3 on; an older
  // archive opened read-only is read as it is).
  bool marks_replaced() const { return version_ >= 3; }

  sqlite3* db_ = nullptr;
  std::string path_;
  int version_ = 0;  // the schema the open file has
};

}  // namespace tallyglass
