#include "archive/archive_session.h"

#include <utility>

#include "journal/document_check.h"
#include "link/protocol.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

std::string number_text(std::int64_t n) { return std::to_string(n); }

std::string document_name(int code, std::int32_t number, const std::string& zn) {
  static const std::string kReceipt = Utf8ToCp1251("чек ");
  static const std::string kZReport = Utf8ToCp1251("Z-отчет ");
  static const std::string kZn = Utf8ToCp1251(" (ЗН ");
  return (code == kClassZ ? kZReport : kReceipt) + number_text(number) + kZn + zn + ")";
}

}  // namespace

void ArchiveSession::bind(RequestControl& control) {
  control.needs_identity = [this](int code, std::int32_t number) { return needs_identity(code, number); };
  control.identify = [this](int code, std::int32_t number, const std::optional<std::string>& first_part) {
    identify(code, number, first_part);
  };
  control.serve = [this](int code, std::int32_t number) { return serve(code, number); };
  control.fetched = [this](int code, std::int32_t number, const std::string& text) { store(code, number, text); };
  if (control.progress) {
    control.progress = [this, inner = std::move(control.progress)](std::string_view line) {
      if (line.empty()) {
        inner(line);
      } else {
        inner(std::string(line) + "     " + counts_text());
      }
    };
  }
}

void ArchiveSession::start_request() {
  served_ = 0;
  fetched_ = 0;
  conflicts_.clear();
  replaced_.clear();
  missed_.clear();
  missed_reason_.clear();
}

std::string ArchiveSession::counts_text() const {
  static const std::string kFromArchive = Utf8ToCp1251("из архива: ");
  static const std::string kFromRegister = Utf8ToCp1251(", с аппарата: ");
  return kFromArchive + number_text(served_) + kFromRegister + number_text(fetched_);
}

std::string ArchiveSession::no_match_text() {
  static const std::string text =
      Utf8ToCp1251("Архив: подключённый аппарат не опознан, все документы запрашиваются с аппарата");
  return text;
}

bool ArchiveSession::needs_identity(int code, std::int32_t number) const {
  if (identity_ != Identity::kUnknown) return false;
  try {
    return archive_.holds(code, number);
  } catch (const ArchiveError&) {
    return false;  // an archive that cannot be read serves nothing
  }
}

void ArchiveSession::identify(int code, std::int32_t number, const std::optional<std::string>& first_part) {
  identity_ = Identity::kNoMatch;
  if (first_part && !first_part->empty()) {
    try {
      for (const auto& [reg, text] : archive_.copies(code, number)) {
        if (text.compare(0, first_part->size(), *first_part) == 0 &&
            (first_part->size() == kPartSize || first_part->size() == text.size())) {
          identity_ = Identity::kMatched;
          register_id_ = reg;
          break;
        }
      }
    } catch (const ArchiveError&) {
    }
  }
  if (identity_ == Identity::kNoMatch && on_no_match) on_no_match(no_match_text());
}

std::optional<std::string> ArchiveSession::serve(int code, std::int32_t number) {
  if (identity_ != Identity::kMatched) return std::nullopt;
  try {
    auto text = archive_.text(register_id_, code, number);
    // A copy that fails its check (kept by an older program) is fetched
    // again; the sound copy then takes its place.
    if (text && !check_document(*text, code, number).ok()) return std::nullopt;
    if (text) ++served_;
    return text;
  } catch (const ArchiveError&) {
    return std::nullopt;  // fetched instead
  }
}

void ArchiveSession::store(int code, std::int32_t number, const std::string& text) {
  ++fetched_;
  // A document that does not read as one is shown as fetched but never kept.
  const auto key = read_document_key(text);
  if (!key) return;
  // Once the archive has failed, the rest of the request does not wait on it
  // again (a locked file costs the busy time-out for every try): everything
  // is kept for the one more try at the end.
  if (!missed_.empty() || !keep(*key, text)) missed_.push_back({code, number, *key, text});
}

bool ArchiveSession::keep(const DocumentKey& key, const std::string& text) {
  try {
    switch (archive_.store(key, text)) {
      case StoreResult::kConflict:
        conflicts_.push_back(document_name(key.class_code, key.number, key.zn));
        break;
      case StoreResult::kReplaced:
        replaced_.push_back(document_name(key.class_code, key.number, key.zn));
        break;
      default:
        break;
    }
    return true;
  } catch (const ArchiveError& e) {
    missed_reason_ = Utf8ToCp1251(e.what());
    return false;
  }
}

void ArchiveSession::finish_request() {
  std::size_t kept = 0;
  while (kept < missed_.size() && keep(missed_[kept].key, missed_[kept].text)) ++kept;
  missed_.erase(missed_.begin(), missed_.begin() + static_cast<std::ptrdiff_t>(kept));
}

std::vector<std::string> ArchiveSession::missed() const {
  std::vector<std::string> names;
  for (const auto& m : missed_) names.push_back(document_name(m.code, m.number, m.key.zn));
  return names;
}

}  // namespace tallyglass
