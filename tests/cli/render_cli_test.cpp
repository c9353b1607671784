// tallyglass-cli render, run as a user runs it, in a directory of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "text/cp1251.h"

#include "support/run_command.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::MakeScratchDir("tallyglass-cli");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs "tallyglass-cli render ARGS" with the test directory as the current one.
  CliRun Render(const std::string& args) {
    const std::string command = "cd '" + dir_.string() + "' && '" TALLYGLASS_CLI "' render " + args +
                                " 2>'" + (dir_ / "stderr").string() + "'";
    const test_support::CommandRun shell = test_support::RunCommand(command);
    CliRun run;
    run.status = shell.status;
    run.out = shell.out;
    run.err = ReadFile(dir_ / "stderr");
    return run;
  }

  static std::string Sample() { return "'" TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml'"; }
  static std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  fs::path dir_;
};

TEST_F(CliRenderTest, SampleJournalAsUtf8LinesAndSavedAsTheReaderSaves) {
  const CliRun run = Render(Sample() + " --out listing.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("          ДП \"Компанія ZENTA\"\n                м.Київ\n", 0), 0u) << run.out;
  // Trailing spaces are kept: the total line is 56 characters long.
  EXPECT_NE(run.out.find("\n  Сума" + std::string(26, ' ') + "52.00" + std::string(19, ' ') + "\n"),
            std::string::npos)
      << run.out;
  // Receipts 130 to 148 and the two Z-reports among them; the last Z-report
  // follows receipt 148 and lies outside the default range.
  EXPECT_EQ(Count(run.out, "ДП \"Компанія ZENTA\""), 21u);
  EXPECT_FALSE(fs::exists(dir_ / "error.log"));

  std::string want;
  for (std::size_t start = 0, end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1) {
    want += Utf8ToCp1251(run.out.substr(start, end - start)) + "\r\n";
  }
  EXPECT_EQ(ReadFile(dir_ / "listing.txt"), want);
}

TEST_F(CliRenderTest, TypeAndRangeChooseTheDocuments) {
  const CliRun z = Render(Sample() + " --type z");
  ASSERT_EQ(z.status, 0) << z.err;
  EXPECT_EQ(Count(z.out, "Z-звіт N "), 3u);
  const CliRun one = Render(Sample() + " --type=z --from 42 --to 42");
  EXPECT_EQ(Count(one.out, "Z-звіт N "), 1u);
  EXPECT_NE(one.out.find("Z-звіт N 42\n"), std::string::npos);
  const CliRun service = Render(Sample() + " --type service");
  EXPECT_EQ(Count(service.out, "СЛУЖБОВИЙ ЧЕК"), Count(service.out, "ДП \"Компанія ZENTA\""));
  EXPECT_GT(Count(service.out, "СЛУЖБОВИЙ ЧЕК"), 0u);
  const CliRun receipts = Render(Sample() + " --type check --from 131 --to 132");
  EXPECT_EQ(Count(receipts.out, "ДП \"Компанія ZENTA\""), 2u);
  EXPECT_NE(receipts.out.find("  000000131 "), std::string::npos);
  EXPECT_NE(receipts.out.find("  000000132 "), std::string::npos);
}

TEST_F(CliRenderTest, FailedDocumentGoesToErrorLogAndTheRestIsPrinted) {
  std::string text = ReadFile(TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml");
  const auto at = text.find("NO=\"131\"");
  ASSERT_NE(at, std::string::npos);
  const auto tax = text.rfind("TX=\"1\"", at);  // the last sale line of receipt 131
  ASSERT_NE(tax, std::string::npos);
  text.replace(tax, 6, "TX=\"Z\"");
  std::ofstream(dir_ / "journal.xml", std::ios::binary) << text;
  const CliRun run = Render("journal.xml --type check --from 131 --to 132");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("the last reason is in error.log"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir_ / "error.log"), "receipt 131 (DI 513): tax group \"Z\" is not an integer\n");
  EXPECT_EQ(Count(run.out, "ДП \"Компанія ZENTA\""), 2u);
  EXPECT_EQ(run.out.find("  000000131 "), std::string::npos) << "receipt 131 stops before its footer";
  EXPECT_NE(run.out.find("  000000132 "), std::string::npos);
}

TEST_F(CliRenderTest, BrokenJournalGivesTheFailureLineAndStatus1) {
  std::ofstream(dir_ / "broken.xml") << "<RQ V=\"1\"><DAT DI=\"1\"><C T=\"0\">";
  const CliRun run = Render("broken.xml --out listing.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Непредвиденный сбой в структуре получаемой информации!\n");
  EXPECT_EQ(ReadFile(dir_ / "listing.txt"),
            Utf8ToCp1251("Непредвиденный сбой в структуре получаемой информации!") + "\r\n");

  // An envelope without documents is not broken: there is just nothing to show.
  std::ofstream(dir_ / "empty.xml") << "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n</RQ>";
  const CliRun empty = Render("empty.xml");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "Запрашиваемые данные отсутствуют!\n");
}

TEST_F(CliRenderTest, UsageAndFileErrorsGiveStatus2) {
  const CliRun help = Render("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: tallyglass-cli render JOURNAL.xml"), std::string::npos);
  struct Case {
    std::string args;
    std::string message;
  };
  const Case cases[] = {
      {"missing.xml", "cannot read missing.xml: No such file or directory"},
      {".", "cannot read .: Is a directory"},
      {"", "no journal file given"},
      {Sample() + " --type x", "unknown --type 'x'"},
      {Sample() + " --from abc", "--from needs a whole number, not 'abc'"},
      {Sample() + " --to", "--to needs a value"},
      {Sample() + " --colour", "unknown option '--colour'"},
      {Sample() + " " + Sample(), "more than one journal file given"},
  };
  for (const auto& c : cases) {
    const CliRun run = Render(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.out, "") << c.args;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
  }
  // A listing that cannot be saved is still printed.
  const CliRun unsaved = Render(Sample() + " --out missing/listing.txt");
  EXPECT_EQ(unsaved.status, 2);
  EXPECT_NE(unsaved.out.find("ФІСКАЛЬНИЙ ЧЕК"), std::string::npos);
  EXPECT_NE(unsaved.err.find("cannot create missing/listing.txt"), std::string::npos) << unsaved.err;
}

}  // namespace
}  // namespace tallyglass
