#include "link/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text/cp1251.h"

namespace tallyglass::link {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(FrameCheck, WorkedExamples) {
  struct Case {
    std::string text;
    std::uint16_t check;
  };
  const Case cases[] = {
      {"123456789", 0xA829},
      {"abc\r", 0x3CDE},
      {"", 0x0000},
  };
  for (const auto& c : cases) EXPECT_EQ(FrameCheck(c.text), c.check) << c.text;
}

TEST(BuildFrame, LaysOutStartTextEndAndCheckHighFirst) {
  EXPECT_EQ(BuildFrame("abc"), Bytes({0x0A, 0x61, 0x62, 0x63, 0x0D, 0x3C, 0xDE}));
  EXPECT_EQ(BuildFrame("B;1;5;0;").size(), 12u);
}

// Every frame, whatever its check bytes (0x00, 0x0A, 0x0D, 0xFF among them),
// leaves a fresh register at zero when fed after its start byte.
TEST(CheckRegister, IntactLinesEndAtZero) {
  int special_check_bytes = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string text = "B;1;" + std::to_string(i) + ";0;";
    const std::string frame = BuildFrame(text);
    for (const char c : frame.substr(frame.size() - 2))
      if (c == 0x00 || c == 0x0A || c == 0x0D || c == '\xFF') ++special_check_bytes;
    CheckRegister reg;
    for (const char c : frame.substr(1)) reg.feed(static_cast<std::uint8_t>(c));
    ASSERT_EQ(reg.high(), 0) << text;
    ASSERT_EQ(reg.low(), 0) << text;
  }
  EXPECT_GT(special_check_bytes, 0);
}

TEST(CheckRegister, RefusesOnlyWhenBothBytesAreNonZero) {
  // Two bytes fed into a zero register come out as H = first, L = second.
  struct Case {
    int high, low;
    bool refused;
  };
  const Case cases[] = {{0, 0, false}, {0, 0x5A, false}, {0x5A, 0, false}, {0x5A, 0x01, true}};
  for (const auto& c : cases) {
    CheckRegister reg;
    reg.feed(static_cast<std::uint8_t>(c.high));
    reg.feed(static_cast<std::uint8_t>(c.low));
    EXPECT_EQ(reg.high(), c.high);
    EXPECT_EQ(reg.low(), c.low);
    EXPECT_EQ(reg.refuses(), c.refused) << c.high << "/" << c.low;
    reg.reset();
    EXPECT_FALSE(reg.refuses());
  }
}

TEST(ToDeviceText, ConversionTable) {
  struct Case {
    int in, out;
    const char* what;
  };
  const Case cases[] = {
      {0x00, 0x00, "control"}, {'0', '0', "digit"},   {';', ';', "semicolon"},
      {0x5F, 0x5F, "0x5F"},    {0x60, 0x20, "0x60"},  {'a', 0x41, "Latin a"},
      {0x7F, 0x5F, "0x7F"},    {0x85, 0x20, "0x85"},  {0xA8, 0x20, "Ё"},
      {0xB8, 0x20, "ё"},       {0xA5, 0x20, "Ґ"},     {0xB4, 0x20, "ґ"},
      {0xAA, 0x5D, "Є"},       {0xBA, 0x5D, "є"},     {0xAF, 0x5C, "Ї"},
      {0xBF, 0x5C, "ї"},       {0xB2, 0x5B, "І"},     {0xB3, 0x5B, "і"},
      {0xC0, 0x60, "А"},       {0xE0, 0x60, "а"},     {0xC1, 0x61, "Б"},
      {0xDA, 0x7A, "Ъ"},       {0xFA, 0x7A, "ъ"},     {0xDB, 0x7E, "Ы"},
      {0xFC, 0x7B, "ь"},       {0xDD, 0x7F, "Э"},     {0xFE, 0x7C, "ю"},
      {0xDF, 0x7D, "Я"},       {0xFF, 0x7D, "я"},
  };
  for (const auto& c : cases) {
    const std::string out = ToDeviceText(std::string(1, static_cast<char>(c.in)));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(static_cast<std::uint8_t>(out[0]), c.out) << c.what;
  }
  EXPECT_EQ(ToDeviceText(Utf8ToCp1251("Ї я a")), Bytes({0x5C, 0x20, 0x7D, 0x20, 0x41}));
}

TEST(FixedSequences, Bytes) {
  const std::string ff2(2, '\xFF');
  EXPECT_EQ(LeadIn(), std::string(11, '\xFF'));
  EXPECT_EQ(SelectSequence(7), std::string(10, '\xFF') + "\x11\x11" "07" + std::string(10, '\xFF'));
  EXPECT_EQ(SelectSequence(42), std::string(10, '\xFF') + "\x11\x11" "42" + std::string(10, '\xFF'));
  EXPECT_EQ(AckSequence(), std::string(3, '\xFF') + "\x06" + std::string(3, '\xFF'));
  EXPECT_EQ(ReleaseSequence(), std::string(8, '\xFF') + "\x13\x13" + std::string(8, '\xFF'));
  EXPECT_EQ(EndSequence(), std::string(10, '\xFF') + "\x13\x13" + std::string(15, '\xFF'));
}

}  // namespace
}  // namespace tallyglass::link
