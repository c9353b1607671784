#include "journal/shared_di.h"

#include <algorithm>
#include <charconv>
#include <functional>

#include "journal/start_tag.h"
#include "text/cp1251.h"

namespace tallyglass {

void SharedDiFinder::add(std::string_view text) {
  static constexpr std::string_view kStart = "<DAT", kEnd = "</MAC>";
  for (std::size_t at = text.find(kStart); at != std::string_view::npos;) {
    const std::size_t tag_end = text.find('>', at);
    if (tag_end == std::string_view::npos) break;
    const std::size_t next = text.find(kStart, tag_end);
    std::size_t end = text.find(kEnd, tag_end);
    end = end == std::string_view::npos || end > next ? std::min(next, text.size()) : end + kEnd.size();
    const std::string_view tag = text.substr(at, tag_end - at);
    const std::string_view di_text = start_tag_attribute(tag, "DI");
    std::int64_t di = 0;
    const auto parsed = std::from_chars(di_text.data(), di_text.data() + di_text.size(), di);
    if (!di_text.empty() && parsed.ec == std::errc() && parsed.ptr == di_text.data() + di_text.size()) {
      const std::string_view document = text.substr(at, end - at);
      const std::pair<std::size_t, std::size_t> print{std::hash<std::string_view>{}(document), document.size()};
      auto& held = seen_[{std::string(start_tag_attribute(tag, "ZN")), di}];
      if (std::find(held.begin(), held.end(), print) == held.end()) held.push_back(print);
    }
    at = next;
  }
}

std::vector<SharedDi> SharedDiFinder::shared() const {
  std::vector<SharedDi> out;
  for (const auto& [key, held] : seen_)
    if (held.size() > 1) out.push_back({key.first, key.second, static_cast<int>(held.size())});
  return out;
}

std::vector<std::string> shared_di_lines(const std::vector<SharedDi>& shared) {
  std::vector<std::string> lines;
  for (const auto& s : shared)
    lines.push_back("DI " + std::to_string(s.di) + " (ЗН " + Cp1251ToUtf8(s.zn) + "): одно место в журнале у " +
                    std::to_string(s.documents) + " разных документов");
  return lines;
}

}  // namespace tallyglass
