#include "detect/serial_devices.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "link/link.h"
#include "text/cp1251.h"

namespace tallyglass::detect {
namespace {

namespace fs = std::filesystem;

// The number after a name's prefix, or -1 when the rest is not all digits.
int Suffix(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return -1;
  int n = 0;
  for (const char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9' || n > 100000) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// A ttyS node exists for every possible UART; the kernel's port type tells
// whether a chip is behind it (0 means none). The kernel's own console is left
// alone: polls written there would land in the system log or a terminal.
bool RealUart(const SystemRoots& roots, const std::string& name) {
  const std::string dir = roots.sys + "/class/tty/" + name;
  std::ifstream type(dir + "/type");
  int value = 0;
  if (!(type >> value) || value == 0) return false;
  std::ifstream console(dir + "/console");
  std::string is_console;
  return !(console >> is_console) || is_console != "Y";
}

}  // namespace

std::vector<std::string> ListSerialDevices(const SystemRoots& roots) {
  static constexpr std::string_view kPrefixes[] = {"ttyUSB", "ttyACM", "ttyS"};
  std::vector<std::pair<std::pair<int, int>, std::string>> found;
  std::error_code ec;
  for (fs::directory_iterator it(roots.dev, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (int p = 0; p < 3; ++p) {
      const int n = Suffix(name, kPrefixes[p]);
      if (n < 0) continue;
      if (p == 2 && !RealUart(roots, name)) break;
      found.push_back({{p, n}, roots.dev + "/" + name});
      break;
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

DeviceKind ClassifyDevice(const std::string& path, const SystemRoots& roots, std::string* what) {
  static const std::string kFolder = Utf8ToCp1251("это каталог");
  static const std::string kFile = Utf8ToCp1251("это обычный файл");
  static const std::string kOther = Utf8ToCp1251("это не символьное устройство");
  static const std::string kOtherDevice = Utf8ToCp1251("это устройство не последовательного порта");
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return DeviceKind::kMissing;
  auto not_serial = [&](const std::string& text) {
    if (what) *what = text;
    return DeviceKind::kNotSerial;
  };
  if (S_ISDIR(st.st_mode)) return not_serial(kFolder);
  if (S_ISREG(st.st_mode)) return not_serial(kFile);
  if (!S_ISCHR(st.st_mode)) return not_serial(kOther);
  const unsigned major_number = major(st.st_rdev);
  // Pseudo-terminal ports (majors 136-143) have no entry in sysfs.
  if (major_number >= 136 && major_number <= 143) return DeviceKind::kSerial;
  const fs::path entry = roots.sys + "/dev/char/" + std::to_string(major_number) + ":" +
                         std::to_string(minor(st.st_rdev)) + "/subsystem";
  std::error_code ec;
  const fs::path subsystem = fs::read_symlink(entry, ec);
  // Without sysfs (a container) we cannot tell; opening such a device does no
  // harm, since the link writes nothing until the terminal settings took.
  if (ec) return DeviceKind::kSerial;
  if (subsystem.filename() == "tty") return DeviceKind::kSerial;
  return not_serial(kOtherDevice);
}

std::string DeviceFile(std::string_view port_name, const SystemRoots& roots) {
  std::string path = link::PortDevicePath(port_name);
  if (roots.dev != "/dev" && path.rfind("/dev/", 0) == 0) path = roots.dev + path.substr(4);
  return path;
}

}  // namespace tallyglass::detect
