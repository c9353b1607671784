#include "link/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

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

// The check value written from its definition alone, bit by bit, so that the
// program's table-driven form is pinned by something other than itself:
// CRC-16, generator x^16 + x^15 + 1, MSB first, initial 0, no final XOR.
std::uint16_t ReferenceCrc(std::string_view bytes) {
  std::uint16_t crc = 0;
  for (const char c : bytes) {
    crc ^= static_cast<std::uint16_t>(static_cast<std::uint8_t>(c) << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8001 : crc << 1);
  }
  return crc;
}

// A reply line as the register sends it after its start byte: the text, CR
// and the two check bytes of the reference.
std::string ReplyBody(std::string_view text) {
  std::string body(text);
  body.push_back('\r');
  const std::uint16_t check = ReferenceCrc(body);
  body.push_back(static_cast<char>(check >> 8));
  body.push_back(static_cast<char>(check & 0xFF));
  return body;
}

bool Refused(std::string_view body) {
  CheckRegister reg;
  for (const char c : body) reg.feed(static_cast<std::uint8_t>(c));
  return reg.refuses();
}

TEST(FrameCheck, AgreesWithTheBitwiseDefinition) {
  EXPECT_EQ(ReferenceCrc("123456789"), 0xA829);  // the reference itself, by its known value
  const std::string texts[] = {"", "\r", "B;1;5;0;\r", "F;01;04;16;00;00;07;04;16;13;45;\r",
                               std::string(1, '\0'), std::string(1, '\xFF'), std::string(200, 'A') + "\r",
                               "PERhVCBEST0iNTEyIiBEVD0iMCIgRk49IjMwMTEyMjMzNDQiIFRO\r"};
  for (const auto& text : texts) EXPECT_EQ(FrameCheck(text), ReferenceCrc(text)) << text;
}

// An undamaged line ends at 00 00, so every other remainder is refused: one
// byte zero and the other not is a damaged line too.
TEST(CheckRegister, RefusesEveryRemainderButZero) {
  // Two bytes fed into a zero register come out as H = first, L = second.
  struct Case {
    int high, low;
    bool refused;
  };
  const Case cases[] = {{0, 0, false}, {0, 0x5A, true}, {0x5A, 0, true}, {0x5A, 0x01, true}, {0x80, 0x00, true}};
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

// Every single-bit error anywhere in a reply line of 150 Base64 characters
// (its text, CR and check bytes) is refused. Under the register family's
// rule (refused only when both bytes are non-zero) a large share passed.
TEST(CheckRegister, RefusesEverySingleBitErrorOfAReplyLine) {
  std::string text;
  for (int i = 0; i < 150; ++i)
    text.push_back("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[(i * 37 + 11) % 64]);
  const std::string body = ReplyBody(text);
  ASSERT_FALSE(Refused(body));
  int passed_the_old_rule = 0;
  for (std::size_t at = 0; at < body.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string damaged = body;
      damaged[at] = static_cast<char>(damaged[at] ^ (1 << bit));
      ASSERT_TRUE(Refused(damaged)) << "byte " << at << " bit " << bit;
      CheckRegister reg;
      for (const char c : damaged) reg.feed(static_cast<std::uint8_t>(c));
      if (reg.high() == 0 || reg.low() == 0) ++passed_the_old_rule;
    }
  }
  EXPECT_GT(passed_the_old_rule, 100) << "the case the stricter rule is for";
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
