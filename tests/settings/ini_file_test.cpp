#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "text/cp1251.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::MakeScratchDir("tallyglass-ini");
    path_ = (dir_ / "fpinit.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string Get() const { return test_support::ReadFile(path_); }
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(ProfileFileTest, ReadsLikeThePrivateProfileCall) {
  Put("; note\r\nPort=outside\r\n[Other]\r\nPort=COM9\r\n"
      "[communication]\r\n  PORT = com5 \r\nSpeed=\"115200\"\r\nNCase=1234567890123\r\n"
      "Empty=\r\n[LogFile]\nLogName=ostrane.log\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Communication", "Port", "com5"},         // names without regard to case, blanks dropped
      {"COMMUNICATION", "speed", "115200"},      // quotes dropped
      {"Communication", "NCase", "123456789"},   // 9 characters of a 10-byte area
      {"Communication", "Empty", ""},            // present but empty: not the default
      {"Communication", "Missing", "dflt"},      // missing key
      {"Nowhere", "Port", "dflt"},               // missing section
      {"LogFile", "LogName", "ostrane.l"},       // LF-only lines read too
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadProfileString(path_, c.section, c.key, "dflt", 10), c.expected)
        << c.section << "/" << c.key;
  EXPECT_EQ(ReadProfileString((dir_ / "absent.ini").string(), "A", "B", "dflt", 10), "dflt");
}

TEST_F(ProfileFileTest, WritingKeepsOtherLinesAndAppendsWhatIsMissing) {
  const std::string other = "; kept as it is\n[Other]\r\nx = 1 \r\n\r\n";
  Put(other + "[Communication]\r\nport=COM1\r\nSpeed=9600");
  ASSERT_TRUE(WriteProfileString(path_, "COMMUNICATION", "Port", "com3"));
  ASSERT_TRUE(WriteProfileString(path_, "Communication", "NCase", "12"));
  ASSERT_TRUE(WriteProfileString(path_, "New", "Key", ""));
  EXPECT_EQ(Get(), other + "[Communication]\r\nPort=com3\r\nSpeed=9600\r\nNCase=12\r\n\r\n[New]\r\nKey=\r\n");
  EXPECT_EQ(ReadProfileString(path_, "new", "KEY", "dflt", 10), "");
}

TEST_F(ProfileFileTest, WritingCreatesTheFileAndKeepsWindows1251Bytes) {
  const std::string value = Utf8ToCp1251("Каса №1");
  ASSERT_TRUE(WriteProfileString(path_, "A", "Name", value));
  EXPECT_EQ(Get(), "[A]\r\nName=" + value + "\r\n");
  EXPECT_EQ(ReadProfileString(path_, "a", "name", "", 64), value);
  // Cyrillic names match without regard to case as well.
  ASSERT_TRUE(WriteProfileString(path_, Utf8ToCp1251("Раздел"), "k", "1"));
  EXPECT_EQ(ReadProfileString(path_, Utf8ToCp1251("РАЗДЕЛ"), "K", "", 10), "1");
}

TEST_F(ProfileFileTest, WriteFailsInAMissingDirectory) {
  EXPECT_FALSE(WriteProfileString((dir_ / "no" / "fpinit.ini").string(), "A", "B", "C"));
}

}  // namespace
}  // namespace tallyglass
