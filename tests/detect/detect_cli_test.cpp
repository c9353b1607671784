// tallyglass-cli detect as a user runs it, and the cause lines of fetch.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <filesystem>
#include <fstream>

#include "emulator/emulator.h"
#include "link/link.h"

#include "support/test_files.h"

namespace tallyglass {
namespace {

struct CliRun {
  int status;
  std::string out, err;
};

class DetectCliTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = test_support::MakeScratchDir("tallyglass-detect-cli"); }
  void TearDown() override { std::filesystem::remove_all(dir); }

  CliRun Cli(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" TALLYGLASS_CLI "' " + args +
                                " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test_support::ReadFile(dir / "stdout.txt"),
            test_support::ReadFile(dir / "stderr.txt")};
  }
  std::filesystem::path dir;
};

TEST_F(DetectCliTest, FoundLineOnStdoutProgressOnStderr) {
  emulator::RegisterEmulator reg("");
  ASSERT_TRUE(reg.Start());
  const CliRun run = Cli("detect --ports " + reg.PortName());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, reg.PortName() + " 9600 1 ZENTA1 EMULATOR\n");
  EXPECT_NE(run.err.find(reg.PortName() + ": 9600 бод, касса 1..."), std::string::npos) << run.err;
}

TEST_F(DetectCliTest, NoneFoundAndBadOptions) {
  std::ofstream(dir / "plain") << "x";
  const CliRun none = Cli("detect --ports " + (dir / "plain").string() + ",/nonexistent/ttyUSB9");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_NE(none.err.find((dir / "plain").string() + ": пропущен — это обычный файл"), std::string::npos) << none.err;
  EXPECT_NE(none.err.find("/nonexistent/ttyUSB9: пропущен — нет такого устройства"), std::string::npos);
  EXPECT_NE(none.err.find("Аппарат не найден."), std::string::npos);

  for (const char* bad : {"--cases 0", "--cases 1-100", "--speeds 2400", "--speeds x", "--ports",
                          "--bogus", "--all=1"}) {
    const CliRun run = Cli(std::string("detect ") + bad);
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_FALSE(run.err.empty()) << bad;
  }
}

TEST_F(DetectCliTest, FetchExplainsAPortThatWillNotOpen) {
  const CliRun run = Cli("fetch --port /nonexistent/ttyUSB0");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err.rfind("Невозможно подключить порт\nУстройства /nonexistent/ttyUSB0 нет в системе.\n", 0),
            0u) << run.err;
}

// Ctrl-C lets the poll under way end, closes the port and exits "none found".
TEST_F(DetectCliTest, CtrlCStopsTheSearchAndFreesThePort) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string port = ::ptsname(master);
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(err[1], STDERR_FILENO);
    ::close(err[0]);
    ::execl(TALLYGLASS_CLI, TALLYGLASS_CLI, "detect", "--ports", port.c_str(), "--cases", "1-99",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err[1]);
  std::string text;
  auto read_some = [&](int timeout_ms) {
    pollfd p{err[0], POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    char buffer[512];
    const ssize_t n = ::read(err[0], buffer, sizeof buffer);
    if (n <= 0) return false;
    text.append(buffer, static_cast<std::size_t>(n));
    return true;
  };
  while (text.find("...") == std::string::npos && read_some(5000)) {
  }
  ASSERT_NE(text.find("..."), std::string::npos) << text;
  ::kill(child, SIGINT);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    read_some(50);
  if (done == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    FAIL() << "the search did not stop within 5 s";
  }
  while (read_some(0)) {
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_NE(text.find("Поиск прерван."), std::string::npos) << text;
  ASSERT_EQ(link::OpenPort(port, 9600), link::kPortOpened);
  link::ClosePort();
  ::close(err[0]);
  ::close(master);
}

}  // namespace
}  // namespace tallyglass
