#include "settings/fpinit_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "settings/ini_file.h"
#include "text/cp1251.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::MakeScratchDir("tallyglass-profile");
    path_ = (dir_ / "fpinit.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Get() const { return test_support::ReadFile(path_); }
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(ProfileTest, FirstStartTellsAndCreatesTheFourDefaultKeys) {
  const auto old_dir = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  std::string ini_path;
  std::vector<std::string> told;
  const auto inform = [&](std::string_view text) { told.emplace_back(text); };
  EXPECT_TRUE(EnsureIniFile(ini_path, inform));
  std::filesystem::current_path(old_dir);

  EXPECT_EQ(ini_path, path_);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0], Utf8ToCp1251("Файл fpinit.ini отсутствует.\n Создание файла!"));
  EXPECT_EQ(Get(),
            "[CountryMode]\r\nCountry code=0\r\n\r\n[Fiscal Printer]\r\nExtendedTax=1\r\n\r\n"
            "[LogFile]\r\nLog=0\r\nLogName=ostrane.log\r\n");
  const ConnectionSettings s = LoadConnectionSettings(path_);
  EXPECT_EQ(SelectPortIndex(PortItems(dir_.string()), s.port), kDefaultPortIndex);
  EXPECT_EQ(SelectIndex(SpeedItems(), s.speed, kDefaultSpeedIndex), kDefaultSpeedIndex);
  EXPECT_EQ(SelectIndex(NetworkNumberItems(), s.network_number, kDefaultNetworkIndex), 0);

  // The path is kept; an existing file is left alone.
  EXPECT_FALSE(EnsureIniFile(ini_path, inform));
  EXPECT_EQ(told.size(), 1u);
  // Deleted while running: made again, with the message.
  std::filesystem::remove(path_);
  EXPECT_TRUE(EnsureIniFile(ini_path, inform));
  EXPECT_EQ(told.size(), 2u);
}

TEST_F(ProfileTest, SavedValuesSelectListItems) {
  std::filesystem::create_directories(dir_ / "dev");
  std::ofstream(dir_ / "dev" / "ttyUSB0");
  const auto ports = PortItems((dir_ / "dev").string());
  struct Case {
    const char* port;
    const char* speed;
    const char* ncase;
    const char* want_port;
    const char* want_speed;
    const char* want_ncase;
  };
  const Case cases[] = {
      {"com5", "57600", "12", "COM5", "57600", "12"},
      {"COM25", "56000", "100", "COM1", "9600", "1"},   // no such items
      {"", "", "", "COM1", "9600", "1"},                 // empty values
      {"ttyUSB0", "115200", "99", "ttyUSB0", "115200", "99"},
      {"COM1234567890", "9600", "7", "COM1", "9600", "7"},  // cut to COM123456
      {"ttyUSB9", "300", "05", "COM1", "300", "1"},       // gone device, "05" is no item
  };
  for (const auto& c : cases) {
    SaveConnectionSettings(path_, {c.port, c.speed, c.ncase});
    const ConnectionSettings s = LoadConnectionSettings(path_);
    EXPECT_EQ(ports[SelectPortIndex(ports, s.port)], c.want_port) << c.port;
    EXPECT_EQ(SpeedItems()[SelectIndex(SpeedItems(), s.speed, kDefaultSpeedIndex)], c.want_speed) << c.speed;
    EXPECT_EQ(NetworkNumberItems()[SelectIndex(NetworkNumberItems(), s.network_number, kDefaultNetworkIndex)],
              c.want_ncase)
        << c.ncase;
  }
  // Saved as typed, in the order Port, Speed, NCase.
  SaveConnectionSettings(path_, {"com3", "115200", "12"});
  EXPECT_EQ(Get(), "[Communication]\r\nPort=com3\r\nSpeed=115200\r\nNCase=12\r\n");
}

TEST_F(ProfileTest, APresentDeviceOutsideTheListJoinsIt) {
  const auto dev = dir_ / "dev";
  std::filesystem::create_directories(dev / "pts");
  std::filesystem::create_symlink("/dev/null", dev / "pts" / "7");  // a character device
  std::ofstream(dev / "plain");
  struct Case {
    const char* saved;
    const char* chosen;
  };
  const Case cases[] = {
      {"pts/7", "pts/7"},  // present: added as written
      {"pts/8", "COM1"},   // absent
      {"plain", "COM1"},   // no device
      {"com25", "COM1"},   // COM names keep the list's rule
  };
  for (const auto& c : cases) {
    SaveConnectionSettings(path_, {c.saved, "9600", "1"});
    auto items = PortItems(dev.string());
    const int index = ChoosePort(items, LoadConnectionSettings(path_), dev.string());
    EXPECT_EQ(items[index], c.chosen) << c.saved;
    EXPECT_EQ(items.size(), std::string(c.chosen) == "COM1" ? 20u : 21u) << c.saved;
  }
}

TEST_F(ProfileTest, PortListHoldsTheComNamesThenThisMachinesSerialPorts) {
  const auto dev = dir_ / "dev";
  std::filesystem::create_directories(dev);
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty1", "null", "ttyUSB"})
    std::ofstream(dev / name);
  const auto items = PortItems(dev.string());
  ASSERT_EQ(items.size(), 23u);
  EXPECT_EQ(items[0], "COM1");
  EXPECT_EQ(items[19], "COM20");
  EXPECT_EQ(std::vector<std::string>(items.begin() + 20, items.end()),
            (std::vector<std::string>{"ttyACM0", "ttyUSB2", "ttyUSB10"}));
}

}  // namespace
}  // namespace tallyglass
