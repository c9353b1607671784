// tallyglass-cli export and reconcile as a user runs them: outputs, exit
// statuses, and nothing written when the input is bad.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/run_command.h"
#include "text/cp1251.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

namespace fs = std::filesystem;

using CliRun = test_support::CommandRun;

class ExportCliTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test_support::MakeScratchDir("tallyglass-export-cli"); }
  void TearDown() override { fs::remove_all(dir_); }

  CliRun Cli(const std::string& args) {
    const std::string command = "cd '" + dir_.string() + "' && '" TALLYGLASS_CLI "' " + args + " 2>stderr";
    return test_support::RunCommand(command);
  }
  std::string Err() { return test_support::ReadFile(dir_ / "stderr"); }

  static std::string Sample(const char* name = "sample-journal.xml") {
    return std::string("'" TALLYGLASS_SOURCE_DIR "/samples/") + name + "'";
  }

  fs::path dir_;
};

TEST_F(ExportCliTest, WritesTheFiveTablesAndJsonAndRefusesBadArgumentsWithStatusTwo) {
  EXPECT_EQ(Cli("export " + Sample() + " --from 131 --to 131 --format csv --out out").status, 0) << Err();
  for (const char* f : {"documents.csv", "lines.csv", "payments.csv", "taxes.csv", "zreports.csv"}) {
    EXPECT_TRUE(fs::exists(dir_ / "out" / f)) << f;
  }
  EXPECT_EQ(test_support::ReadFile(dir_ / "out" / "documents.csv"),
            "zn,fn,di,number,class,datetime,kind,annulled,total,cash_desk\r\n"
            "402400117,3011223344,513,131,receipt,2016-03-14T09:12:04,sale,0,52.00,1\r\n");

  const CliRun json = Cli("export " + Sample() + " --from-date 16.03.16 --to-date 16.03.16 --format json");
  EXPECT_EQ(json.status, 0) << Err();
  EXPECT_EQ(json.out.rfind("[\n{\"zn\":\"402400117\",\"fn\":\"3011223344\"", 0), 0u);
  EXPECT_NE(json.out.find("\"number\":143"), std::string::npos);
  EXPECT_EQ(json.out.find("\"number\":142"), std::string::npos);

  const char* kBad[] = {
      "export --format csv",                                        // no journal
      "export JOURNAL --format xml",                                // unknown format
      "export JOURNAL --format json --dialect excel",              // dialect of CSV only
      "export JOURNAL --format csv --from 5",                       // --to missing
      "export JOURNAL --format csv --from 5 --to 3",
      "export JOURNAL --format csv --from-date 31.02.16 --to-date 01.03.16",
      "export JOURNAL --format csv --from 1 --to 2 --from-date 01.03.16 --to-date 01.03.16",
      "export missing.xml --format json --out x.json",
      "export --archive --format json",
      "reconcile",
      "reconcile JOURNAL --csv",
  };
  for (const std::string bad : kBad) {
    std::string args = bad;
    if (const auto at = args.find("JOURNAL"); at != std::string::npos) args.replace(at, 7, Sample());
    EXPECT_EQ(Cli(args).status, 2) << bad;
    EXPECT_FALSE(Err().empty()) << bad;
  }
  EXPECT_FALSE(fs::exists(dir_ / "x.json"));
}

TEST_F(ExportCliTest, ABadValueWritesNothingAndNamesWhereItIs) {
  std::string text = test_support::SampleJournal();
  text.replace(text.find("SM=\"3750\""), 9, "SM=\"37.50\"");
  {
    std::FILE* f = std::fopen((dir_ / "bad.xml").c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  EXPECT_EQ(Cli("export bad.xml --format csv --out out").status, 2);
  EXPECT_NE(Err().find("document DI 513"), std::string::npos) << Err();
  EXPECT_NE(Err().find("attribute SM of P: \"37.50\""), std::string::npos) << Err();
  EXPECT_FALSE(fs::exists(dir_ / "out" / "documents.csv"));
  EXPECT_EQ(Cli("export bad.xml --format json --out out.json").status, 2);
  EXPECT_FALSE(fs::exists(dir_ / "out.json"));
  EXPECT_EQ(Cli("reconcile bad.xml").status, 2);
}

TEST_F(ExportCliTest, ReconcileAgreesOnTheSampleAndShowsTheDemoSamplesFaults) {
  const CliRun good = Cli("reconcile " + Sample());
  EXPECT_EQ(good.status, 0) << good.out;
  const CliRun faulty = Cli("reconcile " + Sample("sample-journal-discrepancies.xml") + " --json");
  EXPECT_EQ(faulty.status, 1);
  EXPECT_EQ(faulty.out.rfind("{\"agree\":false,", 0), 0u);
  // Z-report 41 differs by 1.00 in group 1; 42 agrees; 43 lacks receipt 145.
  EXPECT_NE(faulty.out.find("\"number\":41,"), std::string::npos);
  EXPECT_NE(faulty.out.find("{\"name\":\"TXS TX=1 SMI\",\"zreport\":\"390.29\",\"receipts\":\"391.29\",\"agree\":false}"),
            std::string::npos);
  EXPECT_NE(faulty.out.find("\"complete\":false"), std::string::npos);
  EXPECT_NE(faulty.out.find("\"gaps\":{\"di\":[[529,529]],\"numbers\":[[145,145]]"), std::string::npos);
}

// A register's ZN may hold letters: the sample's register renamed АТ40101234,
// and a second one with a '"' in its ZN, written "&quot;" in the journal.
TEST_F(ExportCliTest, RegisterIsChosenByItsZnAsTypedAndOneThatIsNotThereIsNamed) {
  std::string text = test_support::SampleJournal();
  const std::string cyrillic = Utf8ToCp1251("АТ40101234");
  for (auto at = text.find("ZN=\"402400117\""); at != std::string::npos; at = text.find("ZN=\"402400117\"", at))
    text.replace(at + 4, 9, cyrillic);
  test_support::WriteFile(dir_ / "letters.xml", text);

  const CliRun all = Cli("export letters.xml --format json");
  const CliRun chosen = Cli("export letters.xml --format json --register АТ40101234");
  EXPECT_EQ(chosen.status, 0) << Err();
  EXPECT_NE(chosen.out.find("\"zn\":\"АТ40101234\""), std::string::npos);
  EXPECT_EQ(chosen.out, all.out);
  const CliRun day = Cli("reconcile letters.xml --register АТ40101234");
  EXPECT_EQ(day.status, 0) << Err();
  EXPECT_EQ(day.out, Cli("reconcile letters.xml").out);

  for (const std::string command : {"export letters.xml --format json --register 402400117",
                                    "reconcile letters.xml --register 402400117"}) {
    const CliRun none = Cli(command);
    EXPECT_EQ(none.status, 2) << command;
    EXPECT_EQ(none.out, "") << command;
    EXPECT_NE(Err().find("no register with ZN 402400117 in the input; it holds:\n  ZN АТ40101234  FN 3011223344"),
              std::string::npos)
        << Err();
  }
}

// A journal joined from the sample and a copy in which receipt 131 became
// 931: DI 513 is held by two differing documents, and every command that
// reads the journal says so; what it prints stays as it was.
TEST_F(ExportCliTest, ADiHeldByTwoDifferingDocumentsIsNamedByEveryReader) {
  std::string copy = test_support::SampleJournal();
  copy.replace(copy.find("NO=\"131\""), 8, "NO=\"931\"");
  test_support::WriteFile(dir_ / "copy.xml", copy);
  const std::string named = "DI 513 (ЗН 402400117): одно место в журнале у 2 разных документов\n";
  for (const std::string command : {"render JOURNAL copy.xml", "export JOURNAL copy.xml --format json",
                                    "reconcile JOURNAL copy.xml"}) {
    std::string args = command;
    args.replace(args.find("JOURNAL"), 7, Sample());
    if (command.rfind("render", 0) == 0) {
      // render takes one file: the two joined.
      test_support::WriteFile(dir_ / "joined.xml", test_support::SampleJournal().substr(
                                                        0, test_support::SampleJournal().rfind("</RQ>")) +
                                                        copy.substr(copy.find("<DAT ")));
      args = "render joined.xml";
    }
    const CliRun run = Cli(args);
    EXPECT_NE(Err().find(named), std::string::npos) << command << "\n" << Err();
    EXPECT_FALSE(run.out.empty()) << command;
  }
  // The sample on its own names nothing.
  Cli("export " + Sample() + " " + Sample() + " --format json");
  EXPECT_EQ(Err(), "");
}

}  // namespace
}  // namespace tallyglass
