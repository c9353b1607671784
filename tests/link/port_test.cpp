// Opening and closing the port, and the station poll.
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include "support/link_fixture.h"

namespace tallyglass::test_support {
namespace {

using emulator::Event;
using emulator::Fault;

class PortTest : public LinkFixture {};

TEST_F(PortTest, UnsupportedSpeedsTouchNothing) {
  Connect();
  link::ClosePort();
  for (const int speed : {110, 300, 600, 1200, 2400, 0, 115201}) {
    EXPECT_EQ(link::OpenPort(emulator_->PortName(), speed), link::kUnsupportedSpeed) << speed;
  }
  EXPECT_EQ(link::ClosePort(), -1) << "nothing was opened";
}

TEST_F(PortTest, RefusedForMissingOrHeldPorts) {
  EXPECT_EQ(link::OpenPort("/dev/tallyglass-no-such-port", 9600), link::kPortRefused);
  EXPECT_EQ(link::OpenPort("COM250", 9600), link::kPortRefused);  // /dev/ttyS249
  emulator::RegisterEmulator emulator(TestJournal());
  ASSERT_TRUE(emulator.Start());
  const int other = ::open(emulator.DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(link::OpenPort(emulator.PortName(), 9600), link::kPortRefused);
  ::close(other);
  EXPECT_EQ(link::OpenPort(emulator.PortName(), 9600), link::kPortOpened);
}

TEST_F(PortTest, RefusedSettingsCloseThePortAgain) {
  // /dev/null opens but is no terminal: the settings are refused.
  EXPECT_EQ(link::OpenPort("/dev/null", 9600), link::kSettingsRefused);
  EXPECT_EQ(link::OpenPort("/dev/null", 9600), link::kSettingsRefused) << "not -3: it was closed";
  EXPECT_EQ(link::ClosePort(), -1);
}

TEST_F(PortTest, EverySupportedSpeedOpensAPseudoTerminal) {
  // A pseudo-terminal keeps any speed, BOTHER ones included, and ignores it.
  Connect();
  for (const int speed : {4800, 9600, 14400, 19200, 28800, 38400, 56000, 57600, 115200}) {
    ASSERT_EQ(link::ClosePort(), 1);
    EXPECT_EQ(link::OpenPort(emulator_->PortName(), speed), link::kPortOpened) << speed;
    EXPECT_EQ(link::PollStation(1), 0) << speed;
  }
  // A standard speed after a BOTHER one leaves no split input speed behind.
  ASSERT_EQ(link::ClosePort(), 1);
  const int watcher = ::open(emulator_->DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(link::OpenPort(emulator_->PortName(), 56000), link::kPortOpened);
  ASSERT_EQ(link::ClosePort(), 1);
  ASSERT_EQ(link::OpenPort(emulator_->PortName(), 115200), link::kPortOpened);
  termios settings{};
  ASSERT_EQ(::tcgetattr(watcher, &settings), 0);
  ::close(watcher);
  EXPECT_EQ(settings.c_cflag & CIBAUD, 0u);
  EXPECT_EQ(settings.c_cflag & CBAUD, static_cast<tcflag_t>(B115200));
  // The path form names the same port.
  ASSERT_EQ(link::ClosePort(), 1);
  EXPECT_EQ(link::OpenPort(emulator_->DevicePath(), 9600), link::kPortOpened);
}

TEST_F(PortTest, CloseEndsWithTheReleaseSequence) {
  Connect();
  EXPECT_EQ(link::ClosePort(), 1);
  EXPECT_EQ(Written(), link::ReleaseSequence());
  EXPECT_EQ(link::ClosePort(), -1);
}

TEST_F(PortTest, PollWritesTheNetworkNumberAsTwoDigits) {
  for (const int number : {7, 42}) {
    emulator::EmulatorOptions options;
    options.case_number = number;
    Connect(options);
    EXPECT_EQ(link::PollStation(number), 0) << number;
    EXPECT_EQ(Written(), link::SelectSequence(number) + link::AckSequence()) << number;
    EXPECT_EQ(Written().substr(12, 2), number == 7 ? "07" : "42");
    EXPECT_EQ(link::ReplyText(), "ZENTA1 EMULATOR");
    link::ClosePort();
  }
}

TEST_F(PortTest, PollDropsFillBytesFromTheStatusText) {
  Connect();
  emulator_->SetFault(Event::kPoll, 0, Fault::kFillBytes);
  ASSERT_EQ(link::PollStation(1), 0);
  EXPECT_EQ(link::ReplyText(), "ZENTA1 EMULATOR");
  EXPECT_EQ(link::ReplyBuffer()[15], '\r');
}

TEST_F(PortTest, WrongFirstByteFailsTheAttemptAndTheNextOneStartsInStep) {
  Connect();
  emulator_->SetFault(Event::kPoll, 0, Fault::kWrongFirstByte);
  EXPECT_EQ(link::PollStation(1), 0);
  const std::string select = link::SelectSequence(1);
  EXPECT_EQ(Written(), select + select + link::AckSequence());
  EXPECT_EQ(link::ReplyText(), "ZENTA1 EMULATOR");
}

TEST_F(PortTest, OverlongStatusFailsTheAttemptWithoutOverrunningTheBuffer) {
  Connect();
  emulator_->SetFault(Event::kPoll, 0, Fault::kOverlongReply);
  EXPECT_EQ(link::PollStation(1), 0);
  const std::string select = link::SelectSequence(1);
  EXPECT_EQ(Written(), select + select + link::AckSequence());
  EXPECT_EQ(link::ReplyText(), "ZENTA1 EMULATOR");
}

TEST_F(PortTest, FivePollsToASilentRegisterThenOneRelease) {
  Connect();  // the emulator is station 1: station 3 never answers
  EXPECT_EQ(link::PollStation(3), link::kNoLink);
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += link::SelectSequence(3);
  EXPECT_EQ(Written(), expected + link::ReleaseSequence());
  EXPECT_EQ(emulator_->PollsAnswered(), 0);
}

}  // namespace
}  // namespace tallyglass::test_support
