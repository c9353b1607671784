// The register emulator's side: the journal split, the served parts, the
// register's frame check and selection, and the emulate command.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>

#include "support/link_fixture.h"
#include "text/base64.h"

namespace tallyglass::test_support {
namespace {

using emulator::Document;

TEST(SplitJournal, KeepsEachDocumentByteForByte) {
  const std::string& journal = TestJournal();
  const std::vector<Document> documents = emulator::SplitJournal(journal);
  struct Expected {
    int class_code, number;
    const char* time_stamp;
  };
  const Expected expected[] = {
      {1, 5, "20160401093000"}, {1, 6, "20160405120000"}, {1, 7, "20160407134530"},
      {0, 2, "20160407220000"}};
  ASSERT_EQ(documents.size(), 4u);
  std::size_t from = 0;
  for (std::size_t i = 0; i < documents.size(); ++i) {
    EXPECT_EQ(documents[i].class_code, expected[i].class_code) << i;
    EXPECT_EQ(documents[i].number, expected[i].number) << i;
    EXPECT_EQ(documents[i].time_stamp, expected[i].time_stamp) << i;
    const std::size_t at = journal.find("<DAT", from);
    const std::size_t end = journal.find("</MAC>", at) + 6;
    EXPECT_EQ(documents[i].bytes, journal.substr(at, end - at)) << i;
    from = end;
  }
  EXPECT_TRUE(emulator::SplitJournal("<?xml version=\"1.0\"?><RQ V=\"1\"></RQ>").empty());
}

class ServedPartsTest : public LinkFixture {
 protected:
  // Fetches a document part by part as the reader does.
  std::string Fetch(int class_code, int number, int* exchanges) {
    std::string bytes;
    for (int part = 0;; ++part) {
      const std::string request = std::to_string(class_code) + ";" + std::to_string(number) +
                                  ";" + std::to_string(part) + ";";
      EXPECT_GT(link::RequestB(1, request, 0, true), 0) << request;
      ++*exchanges;
      if (link::ReplyText() == "D;") break;
      const std::string piece = DecodeBase64(link::ReplyText());
      bytes += piece;
      if (piece.size() < 150) break;
    }
    return bytes;
  }
};

TEST_F(ServedPartsTest, EveryDocumentComesBackWhole) {
  Connect();
  for (const Document& d : emulator_->Documents()) {
    int exchanges = 0;
    EXPECT_EQ(Fetch(d.class_code, d.number, &exchanges), d.bytes) << d.number;
    EXPECT_EQ(exchanges, static_cast<int>(d.bytes.size() / 150 + 1)) << d.number;
  }
  int exchanges = 0;
  EXPECT_EQ(Fetch(1, 99, &exchanges), "") << "unknown number: D;";
  EXPECT_EQ(Fetch(0, 5, &exchanges), "") << "receipt 5 is no Z-report";
  EXPECT_EQ(link::RequestB(1, "1;5;9;", 0, true), 12);
  EXPECT_EQ(link::ReplyText(), "D;") << "past the end";
}

TEST_F(ServedPartsTest, ADocumentOfWholePartsEndsWithD) {
  std::string bytes = "<DAT><C><E NO=\"3\"></E></C></DAT><MAC></MAC>";
  bytes.insert(5, std::string(300 - bytes.size(), ' '));
  ASSERT_EQ(bytes.size(), 300u);
  emulator_ = std::make_unique<emulator::RegisterEmulator>(emulator::SplitJournal(bytes),
                                                           emulator::EmulatorOptions{});
  ASSERT_TRUE(emulator_->Start());
  ASSERT_EQ(link::OpenPort(emulator_->PortName(), 9600), link::kPortOpened);
  int exchanges = 0;
  EXPECT_EQ(Fetch(1, 3, &exchanges), bytes);
  EXPECT_EQ(exchanges, 3);
}

// The register's side seen from a bare port, without the link.
class RawLine {
 public:
  explicit RawLine(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    tcsetattr(fd_, TCSANOW, &t);
  }
  ~RawLine() { ::close(fd_); }
  void Write(const std::string& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads `count` bytes, or what came within five seconds.
  std::string Read(std::size_t count) {
    std::string bytes;
    while (bytes.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      char c;
      if (::read(fd_, &c, 1) != 1) break;
      bytes.push_back(c);
    }
    return bytes;
  }

 private:
  int fd_;
};

std::string StatusLine() {
  const std::string body = "ZENTA1 EMULATOR\r";
  const std::uint16_t check = link::FrameCheck(body);
  return "\n" + body + static_cast<char>(check >> 8) + static_cast<char>(check & 0xFF);
}

TEST(EmulatorLine, RefusesDamagedFramesAndObeysSelection) {
  emulator::RegisterEmulator emulator(TestJournal());
  ASSERT_TRUE(emulator.Start());
  RawLine line(emulator.DevicePath());
  std::string frame = link::BuildFrame("B;1;99;0;");
  const std::string d_line = [] {
    const std::uint16_t check = link::FrameCheck("D;\r");
    return std::string("\nD;\r") + static_cast<char>(check >> 8) + static_cast<char>(check & 0xFF);
  }();

  // A frame before any selection, and a poll of another station: no answer,
  // so the first bytes to come are the answers to what follows.
  line.Write(link::LeadIn() + frame + link::SelectSequence(2) + link::LeadIn() + frame);
  line.Write(link::SelectSequence(1));
  EXPECT_EQ(line.Read(StatusLine().size()), StatusLine());
  std::string damaged = frame;
  damaged[damaged.size() - 1] ^= 0x01;
  line.Write(link::AckSequence() + link::LeadIn() + damaged);
  EXPECT_EQ(line.Read(1), "\x15");
  line.Write(link::LeadIn() + frame);
  EXPECT_EQ(line.Read(1 + d_line.size()), "\x06" + d_line);
  // Released: frames are ignored until the next selection.
  line.Write(link::AckSequence() + link::EndSequence() + link::LeadIn() + frame +
             link::SelectSequence(1));
  EXPECT_EQ(line.Read(StatusLine().size()), StatusLine());
  EXPECT_EQ(emulator.FramesReceived(), 2);
}

// Runs the CLI with a pipe on its standard output; returns its pid.
pid_t Spawn(const std::vector<std::string>& args, int* out) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  *out = pipe_fds[0];
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(EmulateCommand, PrintsThePortAndServesUntilTerminated) {
  const std::string path = ::testing::TempDir() + "emulate_journal.xml";
  std::ofstream(path, std::ios::binary) << TestJournal();
  int out = -1;
  const pid_t pid = Spawn({TALLYGLASS_CLI, "emulate", "--journal", path, "--case", "7"}, &out);
  ASSERT_GT(pid, 0);
  std::string port;
  char c;
  while (::read(out, &c, 1) == 1 && c != '\n') port.push_back(c);
  EXPECT_EQ(port.rfind("pts/", 0), 0u) << port;
  ASSERT_EQ(link::OpenPort(port, 9600), link::kPortOpened);
  EXPECT_EQ(link::PollStation(7), 0);
  EXPECT_EQ(link::ReplyText(), "ZENTA1 EMULATOR");
  EXPECT_EQ(link::RequestB(7, "0;2;0;", 0, true), 12);
  EXPECT_EQ(DecodeBase64(link::ReplyText()), emulator::SplitJournal(TestJournal())[3].bytes.substr(0, 150));
  link::ClosePort();
  ::kill(pid, SIGTERM);
  EXPECT_EQ(ExitStatus(pid), 0);
  ::close(out);
}

// The bad line from the command line: faults drawn at a rate, and noise.
TEST(EmulateCommand, FaultsAndNoiseFromTheCommandLine) {
  const std::string path = ::testing::TempDir() + "emulate_faults.xml";
  std::ofstream(path, std::ios::binary) << TestJournal();
  struct Case {
    std::vector<std::string> options;
    int poll, request;  // PollStation and RequestB results
  };
  const Case cases[] = {
      {{"--faults", "bad-check,one-check-byte", "--fault-rate", "1"}, 0, link::kBadCheckValue},
      {{"--fault", "frame:0:error-reply,frame:1:error-reply"}, 0, 12},
      {{"--noise", "1", "--seed", "5"}, link::kNoLink, link::kNoLink},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{TALLYGLASS_CLI, "emulate", "--journal", path};
    args.insert(args.end(), c.options.begin(), c.options.end());
    int out = -1;
    const pid_t pid = Spawn(args, &out);
    ASSERT_GT(pid, 0);
    std::string port;
    char byte;
    while (::read(out, &byte, 1) == 1 && byte != '\n') port.push_back(byte);
    ASSERT_EQ(link::OpenPort(port, 9600), link::kPortOpened) << c.options[0];
    link::SetWaitFunction([](int) {});
    EXPECT_EQ(link::PollStation(1), c.poll) << c.options[0];
    EXPECT_EQ(link::RequestB(1, "1;5;0;", 0, true), c.request) << c.options[0];
    link::SetWaitFunction(nullptr);
    link::ClosePort();
    ::kill(pid, SIGTERM);
    EXPECT_EQ(ExitStatus(pid), 0);
    ::close(out);
  }
}

TEST(EmulateCommand, BadOptionsAndMissingJournalsExitWithTwo) {
  const std::string journal = ::testing::TempDir() + "emulate_options.xml";
  std::ofstream(journal, std::ios::binary) << TestJournal();
  const std::vector<std::vector<std::string>> cases = {
      {"emulate", "--journal", journal, "--noise", "1.5"},
      {"emulate", "--journal", journal, "--noise", "0,003"},
      {"emulate", "--journal", journal, "--faults", "static"},
      {"emulate", "--journal", journal, "--faults", ","},
      {"emulate", "--journal", journal, "--fault-rate", "0.1"},
      {"emulate", "--journal", journal, "--faults", "silence", "--fault-rate", "2"},
      {"emulate", "--journal", journal, "--fault", "frame:x:silence"},
      {"emulate", "--journal", journal, "--fault", "reply:1:silence"},
      {"emulate", "--journal", journal, "--fault", "poll:1:quiet"},
      {"emulate", "--journal", journal, "--seed", "-1"},
      {"emulate"},
      {"emulate", "--journal", "/nonexistent/journal.xml"},
      {"emulate", "--journal", "/"},
      {"emulate", "--journal", "x", "--case", "100"},
      {"emulate", "--journal", "x", "--baud", "fast"},
      {"emulate", "--journal"},
      {"emulate", "--speed", "9600"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{TALLYGLASS_CLI};
    args.insert(args.end(), c.begin(), c.end());
    int out = -1;
    const pid_t pid = Spawn(args, &out);
    ASSERT_GT(pid, 0);
    std::string printed;
    char byte;
    while (::read(out, &byte, 1) == 1) printed.push_back(byte);
    ::close(out);
    EXPECT_EQ(ExitStatus(pid), 2) << args[args.size() > 2 ? args.size() - 2 : 0] << " " << args.back();
    EXPECT_EQ(printed, "") << "no port name for " << args.back();
  }
}

}  // namespace
}  // namespace tallyglass::test_support
