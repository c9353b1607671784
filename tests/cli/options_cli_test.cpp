// What every command of tallyglass-cli does with its command line before any
// work: the version and licence, and options that are refused with status 2
// and a message naming the option.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/run_command.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

class CliOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test_support::MakeScratchDir("tallyglass-options"); }
  void TearDown() override { fs::remove_all(dir_); }

  // "tallyglass-cli ARGS" in the test's own directory; standard input empty.
  CliRun Run(const std::string& args) {
    const std::string command = "cd '" + dir_.string() + "' && '" TALLYGLASS_CLI "' " + args + " </dev/null 2>'" +
                                (dir_ / "stderr").string() + "'";
    const test_support::CommandRun shell = test_support::RunCommand(command);
    return {shell.status, shell.out, test_support::ReadFile(dir_ / "stderr")};
  }

  fs::path dir_;
};

TEST_F(CliOptionsTest, HelpAndVersionStateTheLicence) {
  const CliRun help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: tallyglass-cli COMMAND"), std::string::npos);
  EXPECT_NE(help.out.find("License GPLv3+: GNU GPL version 3 or later"), std::string::npos) << help.out;

  const CliRun version = Run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("tallyglass-cli 1.28\nCopyright 2026 The Tallyglass developers\n", 0), 0u)
      << version.out;
  EXPECT_NE(version.out.find("There is NO WARRANTY"), std::string::npos);
}

}  // namespace
}  // namespace tallyglass
