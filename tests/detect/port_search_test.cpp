// The port search against emulated registers on pseudo-terminals and decoys.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "detect/port_search.h"
#include "emulator/emulator.h"
#include "link/link.h"
#include "text/cp1251.h"

#include "support/test_files.h"

namespace tallyglass::detect {
namespace {

namespace fs = std::filesystem;
using Kind = SearchEvent::Kind;

// A pseudo-terminal with nobody behind it: every poll goes unanswered.
class SilentLine {
 public:
  SilentLine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) path_ = ::ptsname(master_);
  }
  ~SilentLine() {
    if (master_ >= 0) ::close(master_);
  }
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

emulator::EmulatorOptions Register(int number, int line_speed) {
  emulator::EmulatorOptions options;
  options.case_number = number;
  options.line_speed = line_speed;
  return options;
}

struct Recorded {
  std::vector<SearchEvent> events;
  SearchProgress Sink() {
    return [this](const SearchEvent& e) {
      events.push_back(e);
      return true;
    };
  }
  std::vector<SearchEvent> Of(Kind kind) const {
    std::vector<SearchEvent> out;
    for (const auto& e : events)
      if (e.kind == kind) out.push_back(e);
    return out;
  }
};

class PortSearchTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = test_support::MakeScratchDir("tallyglass-search"); }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

// The emulator hears only 57600 bit/s and answers only to number 7; a silent
// line and a plain file come before it. The file is never written to.
TEST_F(PortSearchTest, FindsTheRegisterAmongDecoysAtItsSpeedAndNumber) {
  emulator::RegisterEmulator reg("", Register(7, 57600));
  ASSERT_TRUE(reg.Start());
  SilentLine silent;
  ASSERT_FALSE(silent.Path().empty());
  const fs::path file = dir / "not-a-port";
  std::ofstream(file) << "keep";

  SearchOptions options;
  options.ports = {file.string(), silent.Path(), reg.PortName()};
  options.speeds = {9600, 57600};
  options.cases = {1, 7};
  Recorded seen;
  const SearchResult result = SearchRegisters(options, seen.Sink());

  ASSERT_EQ(result.found.size(), 1u);
  EXPECT_EQ(result.found[0].port, reg.PortName());
  EXPECT_EQ(result.found[0].speed, 57600);
  EXPECT_EQ(result.found[0].network_number, 7);
  EXPECT_EQ(result.found[0].status, "ZENTA1 EMULATOR");
  EXPECT_EQ(reg.PollsAnswered(), 1);
  EXPECT_EQ(result.ports_searched, 2);

  const auto skipped = seen.Of(Kind::kSkipped);
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].port, file.string());
  EXPECT_EQ(Cp1251ToUtf8(DescribeEvent(skipped[0])), file.string() + ": пропущен — это обычный файл");
  EXPECT_EQ(test_support::ReadFile(file), "keep");
  // Number first, then speed, then port; it stops at the first answer.
  const auto tried = seen.Of(Kind::kTrying);
  ASSERT_EQ(tried.size(), 8u);
  EXPECT_EQ(tried[1].port, reg.PortName());
  EXPECT_EQ(tried[1].speed, 9600);
  EXPECT_EQ(tried[1].network_number, 1);
  EXPECT_EQ(tried[2].speed, 57600);
  EXPECT_EQ(tried[4].network_number, 7);
  EXPECT_EQ(link::ClosePort(), -1);  // nothing left open
}

TEST_F(PortSearchTest, AllReportsEveryRegisterAndLeavesOutAPortHeldElsewhere) {
  emulator::RegisterEmulator first("", Register(1, 0));
  emulator::RegisterEmulator second("", Register(1, 0));
  emulator::RegisterEmulator held("", Register(1, 0));
  ASSERT_TRUE(first.Start() && second.Start() && held.Start());
  // Another program (or a second search) has the port: the exclusive open refuses it.
  const int other = ::open(held.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

  SearchOptions options;
  options.ports = {held.PortName(), first.PortName(), second.PortName()};
  options.speeds = {9600};
  options.all = true;
  Recorded seen;
  const SearchResult result = SearchRegisters(options, seen.Sink());
  ::close(other);

  ASSERT_EQ(result.found.size(), 2u);
  EXPECT_EQ(result.found[0].port, first.PortName());
  EXPECT_EQ(result.found[1].port, second.PortName());
  const auto refused = seen.Of(Kind::kPortRefused);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].port, held.PortName());
  EXPECT_NE(Cp1251ToUtf8(refused[0].text).find("другим поиском"), std::string::npos);
  EXPECT_EQ(held.Received(), "");
}

// Cancelling stops before the next poll; the port is closed and free again.
TEST_F(PortSearchTest, CancelStopsAndFreesThePort) {
  SilentLine silent;
  emulator::RegisterEmulator reg("", Register(2, 0));
  ASSERT_TRUE(reg.Start());
  SearchOptions options;
  options.ports = {silent.Path(), reg.PortName()};
  options.cases = {1, 2};
  int polls = 0;
  const SearchResult result = SearchRegisters(options, [&](const SearchEvent& e) {
    return e.kind != Kind::kTrying || ++polls < 3;
  });
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(result.found.empty());
  EXPECT_EQ(link::ClosePort(), -1);
  ASSERT_EQ(link::OpenPort(reg.PortName(), 9600), link::kPortOpened);
  link::ClosePort();
}

// The emulator reads the speed the program set, BOTHER speeds included.
TEST(EmulatorLineSpeedTest, AnswersOnlyAtItsOwnSpeed) {
  for (const int speed : {14400, 115200}) {
    emulator::RegisterEmulator reg("", Register(1, speed));
    ASSERT_TRUE(reg.Start());
    ASSERT_EQ(link::OpenPort(reg.PortName(), speed), link::kPortOpened);
    EXPECT_EQ(link::PollStation(1), 0) << speed;
    link::ClosePort();
  }
  emulator::RegisterEmulator reg("", Register(1, 57600));
  ASSERT_TRUE(reg.Start());
  ASSERT_EQ(link::OpenPort(reg.PortName(), 9600), link::kPortOpened);
  EXPECT_EQ(link::PollStation(1), link::kNoLink);
  link::ClosePort();
  EXPECT_EQ(reg.PollsAnswered(), 0);
}

}  // namespace
}  // namespace tallyglass::detect
