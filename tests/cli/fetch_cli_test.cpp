// tallyglass-cli fetch and lookup as a user runs them, against the emulator.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

#include "emulator/emulator.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "render/render_listing.h"
#include "text/cp1251.h"

#include "support/model_builders.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;
using test_support::SampleJournal;

struct CliRun {
  int status;
  std::string out, err;
};

class CliFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test_support::MakeScratchDir("tallyglass-cli");
    std::string error;
    ASSERT_TRUE(reg.Start(&error)) << error;
  }
  void TearDown() override {
    reg.Stop();
    std::filesystem::remove_all(dir);
  }

  // Runs the CLI in the scratch directory.
  CliRun Cli(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" TALLYGLASS_CLI "' " + args +
                                " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "stdout.txt"),
            ReadFile(dir / "stderr.txt")};
  }

  // The golden tape of the sample's receipts first..last.
  static Listing Expected(std::int32_t first, std::int32_t last) {
    return test_support::SampleTape(test_support::ReceiptIds(first, last));
  }

  std::filesystem::path dir;
  emulator::RegisterEmulator reg{SampleJournal()};
};

TEST_F(CliFetchTest, FetchPrintsTheTapeAndWritesTheFiles) {
  const CliRun run = Cli("fetch --port " + reg.PortName() + " --from 131 --to 133 --out tape.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  const Listing expected = Expected(131, 133);
  ASSERT_FALSE(expected.empty());
  std::string utf8, saved;
  for (const auto& line : expected) {
    utf8 += Cp1251ToUtf8(line) + "\n";
    saved += line + "\r\n";
  }
  EXPECT_EQ(run.out, utf8);
  EXPECT_EQ(ReadFile(dir / "tape.txt"), saved);
  EXPECT_NE(ReadFile(dir / "temp.xml").find("NO=\"133\""), std::string::npos);
  EXPECT_EQ(run.err, "");  // three documents in well under 5 s: no progress line
}

// Standard error that is no terminal (a log, a service) gets a progress line
// of its own every 10 documents: the count and the current number.
TEST_F(CliFetchTest, ProgressForALogIsALineEveryTenDocuments) {
  const CliRun run = Cli("fetch --port " + reg.PortName() + " --type check --from 130 --to 148");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Обработано номеров: 10, текущий номер 139 (47.37%); из архива: 0, с аппарата: 10\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("\x1b["), std::string::npos);  // no terminal controls
  EXPECT_EQ(run.err.find("Обработано номеров: 20"), std::string::npos);
}

TEST_F(CliFetchTest, NumbersNotInTheJournalAreNamedOnStandardError) {
  const CliRun run = Cli("fetch --port " + reg.PortName() + " --type check --from 147 --to 150");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.rfind("Не получены чеки: 149–150 (", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  std::string utf8;
  for (const auto& line : Expected(147, 148)) utf8 += Cp1251ToUtf8(line) + "\n";
  EXPECT_EQ(run.out, utf8);
}

TEST_F(CliFetchTest, ExitStatusesAndMessages) {
  struct Case {
    std::string args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"fetch --port " + reg.PortName() + " --from 7 --to 5", 2,
       "Конечный номер должен быть не меньше начального!\n"},
      {"fetch --port " + reg.PortName() + " --from-date 02.04.16 --to-date 01.04.16", 2,
       "Конечная дата должна быть не меньше начальной!\n"},
      {"fetch --port /nonexistent/tty", 3, "Невозможно подключить порт\n"},
      {"fetch --port " + reg.PortName() + " --speed 2400", 3, "Невозможно подключить порт\n"},
      {"lookup --port " + reg.PortName() + " --case 5", 4,
       "Подключения нет. Проверьте выбранную скорость обмена и сетевой номер аппарата\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    if (c.status == 3) {
      // The designed line first, then the cause found on this machine.
      EXPECT_EQ(run.err.substr(0, c.message.size()), c.message) << c.args;
      EXPECT_GT(run.err.size(), c.message.size()) << c.args << ": no cause given";
    } else {
      EXPECT_EQ(run.err, c.message) << c.args;
    }
    EXPECT_EQ(run.out, "") << c.args;
  }
  const CliRun bad = Cli("fetch --port " + reg.PortName() + " --type receipts");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("usage:"), std::string::npos);
}

TEST_F(CliFetchTest, FailedRequestPrintsItsLinesAndFails) {
  const CliRun run = Cli("fetch --port " + reg.PortName() + " --from 1x");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "Непредвиденный сбой в структуре получаемой информации!\n"
            "Попробуйте выбрать другой диапазон номеров или дат!\n");
  EXPECT_NE(run.err.find("'1x' is not a valid integer value"), std::string::npos) << run.err;
}

// Ctrl-C during a document: the fetch stops once that document is in, leaves
// it out (it may be cut short), and prints and keeps what came before it.
TEST_F(CliFetchTest, CtrlCStopsAfterTheCurrentDocumentAndKeepsWhatCame) {
  emulator::EmulatorOptions paced;
  paced.baud = 9600;  // a document of the sample takes a couple of seconds
  emulator::RegisterEmulator slow(SampleJournal(), paced);
  std::string error;
  ASSERT_TRUE(slow.Start(&error)) << error;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int out = ::open((dir / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open((dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    ::execl(TALLYGLASS_CLI, TALLYGLASS_CLI, "fetch", "--port", slow.PortName().c_str(), "--from", "130", "--to",
            "148", "--no-archive", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (slow.Received().find("B;1;132;0;") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal";
  EXPECT_EQ(WEXITSTATUS(status), 0) << ReadFile(dir / "stderr.txt");
  EXPECT_EQ(slow.Received().find("B;1;133;0;"), std::string::npos) << "no document after the stop";
  std::string tape;
  for (const auto& line : Expected(130, 131)) tape += Cp1251ToUtf8(line) + "\n";
  EXPECT_EQ(ReadFile(dir / "stdout.txt"), tape);
  const auto docs = emulator::SplitJournal(SampleJournal());
  EXPECT_EQ(ReadFile(dir / "temp.xml"), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n" +
                                            docs[0].bytes + "\r\n" + docs[1].bytes + "\r\n</RQ>\r\n");
}

TEST_F(CliFetchTest, LookupPrintsTheReceiptRange) {
  const CliRun run = Cli("lookup --port " + reg.PortName() +
                      " --from-date 14.03.16 --from-time 00:00 --to-date 16.03.16 --to-time 23:59");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "130 148\n");
}

TEST_F(CliFetchTest, ProgressGoesToStandardErrorWhenItIsATerminal) {
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const std::string out = (dir / "stdout.txt").string();
  const std::string port = reg.PortName();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(slave, STDERR_FILENO);
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, STDOUT_FILENO);
    ::close(master);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execl(TALLYGLASS_CLI, TALLYGLASS_CLI, "fetch", "--port", port.c_str(), "--from", "131",
            "--to", "134", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(slave);
  std::string terminal;
  char buffer[4096];
  for (;;) {  // until the child's end closes the terminal (EIO) or a deadline
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) break;
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    terminal.append(buffer, static_cast<std::size_t>(n));
  }
  int raw = 0;
  ::waitpid(child, &raw, 0);
  ::close(master);
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << terminal;
  for (const char* line : {"0.00%     131", "25.00%     132", "50.00%     133", "75.00%     134"})
    EXPECT_NE(terminal.find(std::string("\r\x1b[K") + line), std::string::npos) << line;
  EXPECT_EQ(terminal.substr(terminal.size() - 4), "\r\x1b[K");  // cleared at the end
  EXPECT_EQ(ReadFile(out).find("\x1b[K"), std::string::npos);  // the tape alone on stdout
}

TEST_F(CliFetchTest, TraceShowsEveryByteWithDirectionAndTime) {
  const CliRun run = Cli("fetch --trace --port " + reg.PortName() + " --from 131 --to 131");
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.err);
  const std::regex format(R"(\d\d:\d\d:\d\d\.\d{3} (->|<-)( [0-9A-F]{2}){1,16})");
  std::string line, hex_sent, hex_received;
  while (std::getline(lines, line)) {
    ASSERT_TRUE(std::regex_match(line, format)) << line;
    (line.substr(13, 2) == "->" ? hex_sent : hex_received) += line.substr(15);
  }
  auto hex = [](const std::string& bytes) {
    std::string text;
    char b[4];
    for (unsigned char c : bytes) {
      std::snprintf(b, sizeof b, " %02X", c);
      text += b;
    }
    return text;
  };
  // The emulator may still be reading the last bytes the program wrote.
  EXPECT_TRUE(reg.WaitForReceived(hex_sent.size() / 3, std::chrono::seconds(5)));
  EXPECT_EQ(hex_sent, hex(reg.Received()));
  EXPECT_EQ(hex_received, hex(reg.Sent()));
}

}  // namespace
}  // namespace tallyglass
