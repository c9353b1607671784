#include "settings/ini_file.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace tallyglass {
namespace {

// Case folding for names: ASCII letters and the Cyrillic letters of Windows-1251.
unsigned char FoldByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + ('a' - 'A'));
  if (c >= 0xC0 && c <= 0xDF) return static_cast<unsigned char>(c + 0x20);
  if (c == 0xA8) return 0xB8;  // Ё
  return c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldByte(static_cast<unsigned char>(a[i])) != FoldByte(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// One line of the file with its own line end ("", "\n" or "\r\n") kept.
struct Line {
  std::string text;
  std::string end;
};

std::optional<std::vector<Line>> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  if (in.bad()) return std::nullopt;
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t nl = bytes.find('\n', start);
    if (nl == std::string::npos) {
      lines.push_back({bytes.substr(start), ""});
      break;
    }
    std::size_t text_end = nl;
    if (text_end > start && bytes[text_end - 1] == '\r') --text_end;
    lines.push_back({bytes.substr(start, text_end - start), bytes.substr(text_end, nl + 1 - text_end)});
    start = nl + 1;
  }
  return lines;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const std::size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// The key and value of a "key=value" line; comments and other lines give none.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';') return std::nullopt;
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return std::pair{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view default_value,
                              std::size_t area_size) {
  const std::size_t limit = area_size == 0 ? 0 : area_size - 1;
  std::string_view found = default_value;
  std::string value_store;
  if (const auto lines = ReadLines(path)) {
    bool in_section = false;
    for (const Line& line : *lines) {
      if (const auto name = SectionName(line.text)) {
        in_section = SameName(*name, section);
        continue;
      }
      if (!in_section) continue;
      if (const auto kv = KeyValue(line.text); kv && SameName(kv->first, key)) {
        value_store = std::string(Unquote(kv->second));
        found = value_store;
        break;
      }
    }
  }
  return std::string(found.substr(0, std::min(found.size(), limit)));
}

bool WriteProfileString(const std::string& path, std::string_view section,
                        std::string_view key, std::string_view value) {
  std::vector<Line> lines;
  {
    std::ifstream probe(path, std::ios::binary);
    if (probe) {
      auto read = ReadLines(path);
      if (!read) return false;
      lines = std::move(*read);
    }
  }
  const std::string entry = std::string(key) + "=" + std::string(value);

  // Find the section and, inside it, the key or the place after its last entry.
  std::optional<std::size_t> section_line;
  std::optional<std::size_t> key_line;
  std::size_t last_in_section = 0;
  bool in_section = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto name = SectionName(lines[i].text)) {
      if (in_section) break;  // the first matching section is the one used
      in_section = SameName(*name, section);
      if (in_section) {
        section_line = i;
        last_in_section = i;
      }
      continue;
    }
    if (!in_section) continue;
    if (!Trim(lines[i].text).empty()) last_in_section = i;
    if (const auto kv = KeyValue(lines[i].text); kv && SameName(kv->first, key)) {
      key_line = i;
      break;
    }
  }

  if (key_line) {
    lines[*key_line].text = entry;
    if (lines[*key_line].end.empty()) lines[*key_line].end = "\r\n";
  } else if (section_line) {
    if (lines[last_in_section].end.empty()) lines[last_in_section].end = "\r\n";
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last_in_section + 1), Line{entry, "\r\n"});
  } else {
    if (!lines.empty() && lines.back().end.empty()) lines.back().end = "\r\n";
    if (!lines.empty() && !Trim(lines.back().text).empty()) lines.push_back({"", "\r\n"});
    lines.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines.push_back({entry, "\r\n"});
  }

  std::string bytes;
  for (const Line& line : lines) bytes += line.text + line.end;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace tallyglass
