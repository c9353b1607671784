// tallyglass-cli detect as a user runs it, and the cause lines of fetch.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "emulator/emulator.h"

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

}  // namespace
}  // namespace tallyglass
