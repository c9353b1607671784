#include "detect/open_failure.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/link.h"
#include "text/cp1251.h"

namespace tallyglass::detect {
namespace {

namespace fs = std::filesystem;

std::string T(std::string_view utf8) { return Utf8ToCp1251(utf8); }

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string ProcessName(const fs::path& process) {
  std::ifstream comm(process / "comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? std::string("?") : name;
}

// Every process folder under roots.proc.
std::vector<fs::path> Processes(const SystemRoots& roots) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(roots.proc, ec), end; !ec && it != end; it.increment(ec))
    if (AllDigits(it->path().filename().string())) found.push_back(it->path());
  std::sort(found.begin(), found.end());
  return found;
}

std::string GroupName(gid_t gid) {
  if (const group* g = ::getgrgid(gid)) return g->gr_name;
  return std::to_string(gid);
}

bool MayReadWrite(const struct stat& st, const Identity& who) {
  if (who.uid == 0) return true;
  if (st.st_uid == who.uid) return (st.st_mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR);
  if (std::find(who.groups.begin(), who.groups.end(), st.st_gid) != who.groups.end())
    return (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  return (st.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
}

std::string ShortName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Identity Identity::Current() {
  Identity who;
  who.uid = ::getuid();
  who.groups.push_back(::getgid());
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> more(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, more.data());
    if (got > 0) who.groups.insert(who.groups.end(), more.begin(), more.begin() + got);
  }
  if (const passwd* p = ::getpwuid(who.uid)) who.user = p->pw_name;
  else if (const char* env = std::getenv("USER")) who.user = env;
  else who.user = "$USER";
  return who;
}

std::vector<std::string> ProcessesHolding(const std::string& path, const SystemRoots& roots) {
  std::vector<std::string> holders;
  for (const fs::path& process : Processes(roots)) {
    std::error_code ec;
    for (fs::directory_iterator it(process / "fd", ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code link_ec;
      if (fs::read_symlink(it->path(), link_ec).string() != path) continue;
      holders.push_back(ProcessName(process) + " (PID " + process.filename().string() + ")");
      break;
    }
  }
  return holders;
}

std::vector<std::string> ExplainOpenFailure(std::string_view port_name, int speed,
                                            const SystemRoots& roots, const Identity& who) {
  std::vector<std::string> lines;
  if (!link::SupportedSpeed(speed)) {
    lines.push_back(T("Скорость ") + std::to_string(speed) +
                    T(" бод не поддерживается; допустимы 4800, 9600, 14400, 19200, 28800, "
                      "38400, 56000, 57600 и 115200 бод."));
    return lines;
  }
  const std::string path = DeviceFile(port_name, roots);
  std::string what;
  const DeviceKind kind = ClassifyDevice(path, roots, &what);
  // Said first; and whoever holds such a file (every program holds /dev/null)
  // is no reason at all.
  const bool serial = kind != DeviceKind::kNotSerial;
  if (!serial) lines.push_back(path + T(" — не последовательный порт: ") + what + ".");
  if (kind == DeviceKind::kMissing) {
    lines.push_back(T("Устройства ") + path + T(" нет в системе."));
    const std::vector<std::string> present = ListSerialDevices(roots);
    if (present.empty()) {
      lines.push_back(T("Последовательных устройств в системе не найдено; проверьте кабель аппарата."));
    } else {
      std::string list;
      for (const std::string& p : present) list += (list.empty() ? "" : ", ") + p;
      lines.push_back(T("Последовательные устройства в системе: ") + list + ".");
    }
    return lines;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !MayReadWrite(st, who)) {
    const std::string group = GroupName(st.st_gid);
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && st.st_gid != 0) {
      lines.push_back(T("Нет прав на чтение и запись ") + path + T(": устройство принадлежит группе ") +
                      group + T(", а пользователь ") + who.user + T(" в неё не входит."));
      lines.push_back(T("Добавьте пользователя в группу командой: sudo usermod -aG ") + group + " " +
                      who.user);
      lines.push_back(T("Изменение вступит в силу после нового входа в систему."));
    } else {
      lines.push_back(T("Нет прав на чтение и запись ") + path + T(" (владелец — группа ") + group +
                      T("); откройте доступ правилом udev или обратитесь к администратору."));
    }
  }

  // The first three holders; a port open in many programs is named with their count.
  constexpr std::size_t kHoldersNamed = 3;
  const std::vector<std::string> holders = serial ? ProcessesHolding(path, roots) : std::vector<std::string>{};
  for (std::size_t i = 0; i < holders.size() && i < kHoldersNamed; ++i)
    lines.push_back(T("Устройство ") + path + T(" занято другой программой: ") + holders[i] + ".");
  if (holders.size() > kHoldersNamed)
    lines.push_back(T("Его держат ещё программ: ") + std::to_string(holders.size() - kHoldersNamed) + ".");

  if (ShortName(path).rfind("ttyACM", 0) == 0) {
    for (const fs::path& process : Processes(roots)) {
      if (ProcessName(process) != "ModemManager") continue;
      lines.push_back(T("Устройства ttyACM опрашивает ModemManager (PID ") + process.filename().string() +
                      T("): он может занимать только что подключённый аппарат. Подождите минуту "
                        "и повторите или исключите аппарат из его опроса (правило udev "
                        "ENV{ID_MM_DEVICE_IGNORE}=\"1\")."));
      break;
    }
  }

  if (lines.empty())
    lines.push_back(T("Устройство ") + path +
                    T(" есть и доступно, но не открылось: вероятно, его держит программа другого "
                      "пользователя или оно не принимает настройки линии."));
  return lines;
}

}  // namespace tallyglass::detect
