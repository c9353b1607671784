// The cause shown when a port will not open, against a /dev-like folder of
// real files and a pseudo-terminal that another process holds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "detect/open_failure.h"
#include "link/link.h"
#include "text/cp1251.h"

#include "support/test_files.h"

namespace tallyglass::detect {
namespace {

namespace fs = std::filesystem;

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += Cp1251ToUtf8(line) + "\n";
  return all;
}

void Touch(const fs::path& path, const std::string& text = {}) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// A pseudo-terminal's master end, closed at the end; path() is the port ("" when
// none could be made).
class PseudoTerminal {
 public:
  PseudoTerminal() : fd_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (fd_ >= 0 && ::grantpt(fd_) == 0 && ::unlockpt(fd_) == 0) path_ = ::ptsname(fd_);
  }
  ~PseudoTerminal() {
    if (fd_ >= 0) ::close(fd_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

class OpenFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = test_support::MakeScratchDir("tallyglass-cause");
    roots = {(base / "dev").string(), (base / "proc").string(), (base / "sys").string()};
    for (const char* name : {"ttyS1", "ttyUSB10", "ttyACM0", "ttyUSB1", "ttyS0", "ttyS2", "tty0", "null"})
      Touch(base / "dev" / name);
    Touch(base / "sys/class/tty/ttyS0/type", "4\n");  // a 16550A behind it
    Touch(base / "sys/class/tty/ttyS0/console", "N\n");
    Touch(base / "sys/class/tty/ttyS1/type", "0\n");  // no chip: not offered
    Touch(base / "sys/class/tty/ttyS2/type", "4\n");  // the kernel's console: not offered
    Touch(base / "sys/class/tty/ttyS2/console", "Y\n");
  }
  void TearDown() override { fs::remove_all(base); }

  std::string Dev(const std::string& name) const { return roots.dev + "/" + name; }

  fs::path base;
  SystemRoots roots;
  Identity shopkeeper{4242, {4243}, "shop"};
};

TEST_F(OpenFailureTest, ListsTheSerialDevicesUsbFirstInNumericOrder) {
  EXPECT_EQ(ListSerialDevices(roots),
            (std::vector<std::string>{Dev("ttyUSB1"), Dev("ttyUSB10"), Dev("ttyACM0"), Dev("ttyS0")}));
}

TEST_F(OpenFailureTest, MissingDeviceNamesTheOnesThatExist) {
  const std::string text = Joined(ExplainOpenFailure("ttyUSB0", 9600, roots, shopkeeper));
  EXPECT_EQ(text, "Устройства " + Dev("ttyUSB0") + " нет в системе.\n"
                  "Последовательные устройства в системе: " + Dev("ttyUSB1") + ", " + Dev("ttyUSB10") +
                  ", " + Dev("ttyACM0") + ", " + Dev("ttyS0") + ".\n");
  // COM names map onto ttyS the way the link opens them.
  EXPECT_NE(Joined(ExplainOpenFailure("COM9", 9600, roots, shopkeeper)).find(Dev("ttyS8") + " нет"),
            std::string::npos);
}

TEST_F(OpenFailureTest, PermissionDeniedNamesTheGroupAndTheCommand) {
  const fs::path device = base / "dev/ttyUSB1";
  // Serial devices belong to a group of their own (dialout); root may hand
  // ours to one, anyone else uses a group of theirs that is not root's.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(device.c_str(), 0, 20), 0);
  }
  ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
  struct stat st {};
  ASSERT_EQ(::stat(device.c_str(), &st), 0);
  if (st.st_gid == 0) GTEST_SKIP() << "the device file cannot be given a group other than root's";
  const group* g = ::getgrgid(st.st_gid);
  const std::string name = g ? g->gr_name : std::to_string(st.st_gid);

  const std::string text = Joined(ExplainOpenFailure("ttyUSB1", 115200, roots, shopkeeper));
  EXPECT_NE(text.find("Нет прав на чтение и запись " + device.string() + ": устройство принадлежит группе " +
                      name + ", а пользователь shop в неё не входит."),
            std::string::npos) << text;
  EXPECT_NE(text.find("sudo usermod -aG " + name + " shop\n"), std::string::npos) << text;
  EXPECT_NE(text.find("после нового входа в систему"), std::string::npos) << text;

  // A member of the group has the rights: the cause is then something else.
  Identity member = shopkeeper;
  member.groups.push_back(st.st_gid);
  EXPECT_EQ(Joined(ExplainOpenFailure("ttyUSB1", 115200, roots, member)).find("Нет прав"), std::string::npos);
}

TEST_F(OpenFailureTest, ModemManagerIsNamedForAnAcmDevice) {
  Touch(base / "proc/77/comm", "ModemManager\n");
  Touch(base / "proc/78/comm", "bash\n");
  ::chmod((base / "dev/ttyACM0").c_str(), 0666);
  const std::string acm = Joined(ExplainOpenFailure("ttyACM0", 9600, roots, shopkeeper));
  EXPECT_NE(acm.find("опрашивает ModemManager (PID 77)"), std::string::npos) << acm;
  ::chmod((base / "dev/ttyUSB1").c_str(), 0666);
  EXPECT_EQ(Joined(ExplainOpenFailure("ttyUSB1", 9600, roots, shopkeeper)).find("опрашивает"),
            std::string::npos);
}

TEST_F(OpenFailureTest, FolderOrFileIsNoSerialPortAndSpeedIsChecked) {
  fs::create_directories(base / "dev/ttyUSB5");
  ::chmod((base / "dev/null").c_str(), 0666);
  // Every process holds /dev/null: none of them is named for it.
  for (int pid = 100; pid < 105; ++pid) {
    Touch(base / "proc" / std::to_string(pid) / "comm", "bash\n");
    fs::create_directories(base / "proc" / std::to_string(pid) / "fd");
    fs::create_symlink(Dev("null"), base / "proc" / std::to_string(pid) / "fd" / "0");
  }
  EXPECT_EQ(Joined(ExplainOpenFailure("ttyUSB5", 9600, roots, shopkeeper)),
            Dev("ttyUSB5") + " — не последовательный порт: это каталог.\n");
  EXPECT_EQ(Joined(ExplainOpenFailure("null", 9600, roots, shopkeeper)),
            Dev("null") + " — не последовательный порт: это обычный файл.\n");
  EXPECT_EQ(Joined(ExplainOpenFailure("ttyUSB1", 2400, roots, shopkeeper)),
            "Скорость 2400 бод не поддерживается; допустимы 4800, 9600, 14400, 19200, 28800, 38400, "
            "56000, 57600 и 115200 бод.\n");
}

// A real pseudo-terminal, and five programs of a /proc-like folder holding it.
TEST_F(OpenFailureTest, APortHeldByManyProgramsNamesTheFirstThree) {
  const PseudoTerminal pty;
  const std::string& path = pty.path();
  ASSERT_FALSE(path.empty());
  const SystemRoots real_dev{"/dev", roots.proc, roots.sys};
  for (int pid = 100; pid < 105; ++pid) {
    Touch(base / "proc" / std::to_string(pid) / "comm", "minicom\n");
    fs::create_directories(base / "proc" / std::to_string(pid) / "fd");
    fs::create_symlink(path, base / "proc" / std::to_string(pid) / "fd" / "3");
  }
  const std::string text = Joined(ExplainOpenFailure(path, 9600, real_dev, shopkeeper));
  const std::string held = "Устройство " + path + " занято другой программой: minicom (PID ";
  std::size_t named = 0;
  for (auto at = text.find(held); at != std::string::npos; at = text.find(held, at + 1)) ++named;
  EXPECT_EQ(named, 3u) << text;
  EXPECT_NE(text.find("Его держат ещё программ: 2.\n"), std::string::npos) << text;
}

// A pseudo-terminal opened exclusively by another process, as a second
// program holding the register's port would.
TEST(OpenFailureHeldTest, PortHeldByAnotherProcessNamesIt) {
  const PseudoTerminal pty;
  const std::string& path = pty.path();
  ASSERT_FALSE(path.empty());
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(release[1]);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
    [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
    char byte;
    n = ::read(release[0], &byte, 1);  // until the parent closes its end
    ::_exit(0);
  }
  ::close(release[0]);
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 1);

  EXPECT_EQ(link::OpenPort(path, 9600), link::kPortRefused);
  const std::string text = Joined(ExplainOpenFailure(path, 9600));
  EXPECT_NE(text.find("Устройство " + path + " занято другой программой: "), std::string::npos) << text;
  EXPECT_NE(text.find("(PID " + std::to_string(child) + ")"), std::string::npos) << text;

  ::close(release[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace tallyglass::detect
