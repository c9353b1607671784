#include "settings/archive_settings.h"

#include "settings/ini_file.h"
#include "text/cp1251.h"

namespace tallyglass {

std::string LoadArchivePath(const std::string& ini_path) {
  std::string path = ReadProfileString(ini_path, kArchiveSection, kArchivePathKey, kDefaultArchivePath, 4096);
  if (path.empty()) path = kDefaultArchivePath;
  return Cp1251ToUtf8(path);
}

}  // namespace tallyglass
