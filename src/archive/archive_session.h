#pragma once
// One connection's use of the archive: identifies the connected register by
// the first part of one requested document the archive holds, serves that
// register's archived documents without an exchange, stores every document
// that came complete over the line, and counts what came from where. Bound to
// a request's control; it lives as long as the connection.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "reader/request_control.h"

namespace tallyglass {

class ArchiveSession {
 public:
  explicit ArchiveSession(Archive& archive) : archive_(archive) {}

  // Sets the control's identification, serve and fetched hooks, and wraps its
  // progress line with the counts (when it shows progress at all).
  void bind(RequestControl& control);
  // Counts of the current request back to zero (identification is kept).
  void start_request();

  enum class Identity { kUnknown, kMatched, kNoMatch };
  Identity identity() const { return identity_; }

  int served() const { return served_; }
  int fetched() const { return fetched_; }
  // Documents fetched whose bytes differ from their archived copy, such as
  // "чек 12 (ЗН 402400117)" (Windows-1251).
  const std::vector<std::string>& conflicts() const { return conflicts_; }
  // Archived copies that failed their check and were replaced by the sound
  // copy just fetched (names as for conflicts).
  const std::vector<std::string>& replaced() const { return replaced_; }
  // Documents that could not be stored (disk full, a locked or read-only
  // file), with the last reason (Windows-1251).
  std::vector<std::string> missed() const;
  const std::string& missed_reason() const { return missed_reason_; }

  // Once the request has ended: one more try at storing what could not be
  // stored while it ran (another program may have let the file go).
  void finish_request();

  // Windows-1251 texts of the messages, for the CLI and the windows alike.
  // "из архива: N, с аппарата: M"
  std::string counts_text() const;
  // The identification failed: everything is fetched.
  static std::string no_match_text();

  // Called once when identification fails (the status bar or standard error).
  std::function<void(const std::string& cp1251)> on_no_match;

 private:
  bool needs_identity(int code, std::int32_t number) const;
  void identify(int code, std::int32_t number, const std::optional<std::string>& first_part);
  std::optional<std::string> serve(int code, std::int32_t number);
  void store(int code, std::int32_t number, const std::string& text);
  bool keep(const DocumentKey& key, const std::string& text);

  struct Missed {
    int code;
    std::int32_t number;
    DocumentKey key;
    std::string text;
  };

  Archive& archive_;
  Identity identity_ = Identity::kUnknown;
  std::int64_t register_id_ = 0;
  int served_ = 0;
  int fetched_ = 0;
  std::vector<std::string> conflicts_;
  std::vector<std::string> replaced_;
  std::vector<Missed> missed_;
  std::string missed_reason_;
};

}  // namespace tallyglass
