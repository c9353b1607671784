#include "settings/fpinit_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "settings/ini_file.h"
#include "text/cp1251.h"
#include "text/numbers.h"
#include "text/paths.h"

namespace tallyglass {
namespace {

constexpr std::size_t kReadArea = 10;  // 9 characters and the terminator

std::string CurrentDirectory() {
  std::error_code ec;
  const auto dir = std::filesystem::current_path(ec);
  return ec ? std::string(".") : dir.string();
}

// Name prefixes of serial devices worth offering.
constexpr std::string_view kSerialPrefixes[] = {"ttyUSB", "ttyACM", "ttyAMA", "ttyXRUSB", "rfcomm"};

// Orders "ttyUSB2" before "ttyUSB10": prefix first, then the number.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& s) {
    std::size_t i = s.size();
    while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
    return std::pair{s.substr(0, i), s.substr(i)};
  };
  const auto [pa, na] = split(a);
  const auto [pb, nb] = split(b);
  if (pa != pb) return pa < pb;
  if (na.size() != nb.size()) return na.size() < nb.size();
  return na < nb;
}

}  // namespace

std::string IniPathIn(const std::string& directory) { return JoinPath(directory, kIniFileName); }

bool EnsureIniFile(std::string& ini_path, const std::function<void(std::string_view)>& inform) {
  if (ini_path.empty()) ini_path = IniPathIn(CurrentDirectory());
  if (::access(ini_path.c_str(), F_OK) == 0) return false;
  static const std::string kMessage = Utf8ToCp1251("Файл fpinit.ini отсутствует.\n Создание файла!");
  if (inform) inform(kMessage);
  { std::ofstream create(ini_path, std::ios::binary | std::ios::trunc); }
  WriteProfileString(ini_path, "CountryMode", "Country code", "0");
  WriteProfileString(ini_path, "Fiscal Printer", "ExtendedTax", "1");
  WriteProfileString(ini_path, "LogFile", "Log", "0");
  WriteProfileString(ini_path, "LogFile", "LogName", "ostrane.log");
  return true;
}

ConnectionSettings LoadConnectionSettings(const std::string& ini_path) {
  ConnectionSettings s;
  s.port = ReadProfileString(ini_path, "Communication", "Port", "", kReadArea);
  s.port_as_saved = s.port;
  s.speed = ReadProfileString(ini_path, "Communication", "Speed", "", kReadArea);
  s.network_number = ReadProfileString(ini_path, "Communication", "NCase", "", kReadArea);
  for (char& c : s.port) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
  return s;
}

void SaveConnectionSettings(const std::string& ini_path, const ConnectionSettings& settings) {
  WriteProfileString(ini_path, "Communication", "Port", settings.port);
  WriteProfileString(ini_path, "Communication", "Speed", settings.speed);
  WriteProfileString(ini_path, "Communication", "NCase", settings.network_number);
}

int SelectIndex(const std::vector<std::string>& items, std::string_view value, int default_index) {
  if (value.empty()) return default_index;
  const auto it = std::find(items.begin(), items.end(), value);
  return it == items.end() ? default_index : static_cast<int>(it - items.begin());
}

int SelectPortIndex(const std::vector<std::string>& items, std::string_view value) {
  const int exact = SelectIndex(items, value, -1);
  if (exact >= 0 || value.empty()) return exact >= 0 ? exact : kDefaultPortIndex;
  const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; };
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    if (item.size() == value.size() &&
        std::equal(item.begin(), item.end(), value.begin(),
                   [&](char a, char b) { return upper(a) == upper(b); }))
      return static_cast<int>(i);
  }
  return kDefaultPortIndex;
}

int ChoosePort(std::vector<std::string>& items, const ConnectionSettings& saved,
               const std::string& device_dir) {
  const int index = SelectPortIndex(items, saved.port);
  const std::string& name = saved.port_as_saved;
  if (index != kDefaultPortIndex || name.empty() || name == items[kDefaultPortIndex]) return index;
  const bool com_name = name.size() > 3 && (name[0] == 'C' || name[0] == 'c') &&
                        (name[1] == 'O' || name[1] == 'o') && (name[2] == 'M' || name[2] == 'm');
  if (com_name) return index;
  const std::string path = name.front() == '/' ? name : JoinPath(device_dir, name);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return index;
  items.push_back(name);
  return static_cast<int>(items.size() - 1);
}

std::vector<std::string> FoundSerialPorts(const std::string& device_dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(device_dir, ec)) {
    const std::string name = entry.path().filename().string();
    for (std::string_view prefix : kSerialPrefixes) {
      if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
        found.push_back(name);
        break;
      }
    }
  }
  std::sort(found.begin(), found.end(), NaturalLess);
  return found;
}

std::vector<std::string> PortItems(const std::string& device_dir) {
  std::vector<std::string> items;
  for (int i = 1; i <= 20; ++i) items.push_back("COM" + IntText(i));
  for (auto& name : FoundSerialPorts(device_dir)) items.push_back(std::move(name));
  return items;
}

const std::vector<std::string>& SpeedItems() {
  static const std::vector<std::string> kItems = {"110",  "300",   "600",   "1200",  "2400",  "4800",
                                                  "9600", "19200", "38400", "57600", "115200"};
  return kItems;
}

const std::vector<std::string>& NetworkNumberItems() {
  static const std::vector<std::string> kItems = [] {
    std::vector<std::string> items;
    for (int i = 1; i <= 99; ++i) items.push_back(IntText(i));
    return items;
  }();
  return kItems;
}

}  // namespace tallyglass
