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

// Refused with status 2 and the option named, before a port or an archive is
// opened: ttyNONE does not exist (a connection attempt would give status 3)
// and no archive file is there.
TEST_F(CliOptionsTest, BadDatesTimesAndOptionsAreRefusedBeforeAnyWork) {
  const std::string sample = "'" TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml'";
  struct Case {
    std::string args, message;
  };
  const Case cases[] = {
      // Dates are real calendar dates, times real times of day.
      {"lookup --port ttyNONE --from-date 31.02.16", "--from-date: «31.02.16» — не дата"},
      {"lookup --port ttyNONE --to-date 00.03.16", "--to-date: «00.03.16» — не дата"},
      {"lookup --port ttyNONE --from-date abc", "--from-date: «abc» — не дата"},
      {"lookup --port ttyNONE --from-date 14.03.216", "--from-date: «14.03.216» — не дата"},
      {"lookup --port ttyNONE --from-time 25:00", "--from-time: «25:00» — не время"},
      {"lookup --port ttyNONE --to-time 12:60", "--to-time: «12:60» — не время"},
      {"fetch --port ttyNONE --by-dates --to-date 29.02.15", "--to-date: «29.02.15» — не дата"},
      {"fetch --port ttyNONE --from-time 9:5", "--from-time: «9:5» — не время"},
      {"export " + sample + " --format json --from-date 31.04.16 --to-date 01.05.16",
       "--from-date: «31.04.16» — не дата"},
      {"render --archive none.db --from-date 32.01.16", "--from-date: «32.01.16» — не дата"},
      // An option given twice is a mistake, not "the last one wins".
      {"render " + sample + " --from 130 --from 131", "--from given twice"},
      {"fetch --port ttyNONE --port ttyNONE2", "--port given twice"},
      {"export " + sample + " --format json --format csv", "--format given twice"},
      {"reconcile " + sample + " --register 1 --register 2", "--register given twice"},
      {"render --archive a.db --archive b.db", "--archive given twice"},
      {"archive list --archive a.db --archive=b.db", "--archive given twice"},
      {"reconcile " + sample + " --json --json", "--json given twice"},
      {"detect --ports ttyNONE --ports ttyNONE2", "--ports given twice"},
      // Options that say nothing on their own, or ask for nothing.
      {"render " + sample + " --out-encoding utf-8", "--out-encoding is the encoding of --out"},
      {"render " + sample + " --from 148 --to 130", "the range --from 148 --to 130 is empty"},
      {"detect --speeds 0", "--speeds: '0' is not a register speed (4800, 9600, 14400"},
  };
  for (const auto& c : cases) {
    const CliRun run = Run(c.args);
    EXPECT_EQ(run.status, 2) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
  EXPECT_FALSE(fs::exists(dir_ / "none.db"));
}

// What the checks take: 29 February of a leap year, a four-digit year, hours
// from 0. The lookup then goes on to the port (status 3: there is none).
TEST_F(CliOptionsTest, RealDatesAndTimesAreTakenWithTwoOrFourDigitYears) {
  for (const std::string args : {"--from-date 29.02.16 --from-time 0:00", "--from-date 14.03.2016 --to-time 23:59",
                                 "--to-date 1.3.16"}) {
    const CliRun run = Run("lookup --port ttyNONE " + args);
    EXPECT_EQ(run.status, 3) << args << "\n" << run.err;
  }
  // 14.03.2016 is 14.03.16: the same documents.
  const std::string sample = "'" TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml'";
  const CliRun four = Run("export " + sample + " --format json --from-date 14.03.2016 --to-date 14.03.2016");
  const CliRun two = Run("export " + sample + " --format json --from-date 14.03.16 --to-date 14.03.16");
  EXPECT_EQ(four.status, 0) << four.err;
  EXPECT_NE(two.out.find("\"di\""), std::string::npos);
  EXPECT_EQ(four.out, two.out);
}

}  // namespace
}  // namespace tallyglass
