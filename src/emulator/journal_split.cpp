// Splitting a collected journal into the documents the emulator serves.
#include <charconv>

#include "emulator/emulator.h"
#include "text/numbers.h"

namespace tallyglass::emulator {
namespace {

// The start tag "<name ...>" in `text`, or empty when there is none.
std::string_view FindTag(std::string_view text, std::string_view name) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(name, from);
    if (at == std::string_view::npos) return {};
    from = at + 1;
    if (at == 0 || text[at - 1] != '<' || at + name.size() >= text.size()) continue;
    const char after = text[at + name.size()];
    if (after != ' ' && after != '>' && after != '/' && after != '\t' && after != '\r' &&
        after != '\n')
      continue;
    const std::size_t end = text.find('>', at);
    if (end == std::string_view::npos) return {};
    return text.substr(at - 1, end - at + 2);
  }
}

std::string_view Attribute(std::string_view tag, std::string_view name) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = tag.find(name, from);
    if (at == std::string_view::npos) return {};
    from = at + 1;
    const bool starts = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                   tag[at - 1] == '\r' || tag[at - 1] == '\n');
    const std::size_t eq = at + name.size();
    if (!starts || eq + 1 >= tag.size() || tag[eq] != '=' || tag[eq + 1] != '"') continue;
    const std::size_t close = tag.find('"', eq + 2);
    if (close == std::string_view::npos) return {};
    return tag.substr(eq + 2, close - eq - 2);
  }
}

int Number(std::string_view text) { return ParseExactInt32(text).value_or(-1); }

}  // namespace

std::vector<Document> SplitJournal(std::string_view journal) {
  std::vector<Document> documents;
  std::size_t from = 0;
  for (;;) {
    const std::size_t start = journal.find("<DAT", from);
    if (start == std::string_view::npos) break;
    std::size_t end = journal.find("</MAC>", start);
    if (end == std::string_view::npos) break;
    end += 6;
    Document document;
    document.bytes = std::string(journal.substr(start, end - start));
    std::string_view dat = document.bytes;
    dat = dat.substr(0, dat.find("</DAT>"));
    if (const std::string_view z = FindTag(dat, "Z"); !z.empty()) {
      document.class_code = kZReportClass;
      document.number = Number(Attribute(z, "NO"));
    } else if (const std::string_view e = FindTag(dat, "E"); !e.empty()) {
      document.class_code = kReceiptClass;
      document.number = Number(Attribute(e, "NO"));
      document.time_stamp = std::string(Attribute(e, "TS"));
    }
    if (const std::size_t ts = dat.find("<TS>"); ts != std::string_view::npos) {
      const std::size_t ts_end = dat.find("</TS>", ts);
      if (ts_end != std::string_view::npos)
        document.time_stamp = std::string(dat.substr(ts + 4, ts_end - ts - 4));
    }
    documents.push_back(std::move(document));
    from = end;
  }
  return documents;
}

}  // namespace tallyglass::emulator
