#include "text/cp1251.h"

#include <gtest/gtest.h>

namespace tallyglass {
namespace {

struct Row {
  unsigned char byte;
  const char* utf8;
};
// Rows across the table: ASCII, the irregular 0x80..0xBF half, the alphabet.
constexpr Row kRows[] = {
    {0x41, "A"},  {0x80, "Ђ"}, {0x85, "…"}, {0x88, "€"}, {0xA5, "Ґ"}, {0xA8, "Ё"},
    {0xAA, "Є"},  {0xAF, "Ї"}, {0xB2, "І"}, {0xB3, "і"}, {0xB4, "ґ"}, {0xB9, "№"},
    {0xBA, "є"},  {0xBF, "ї"}, {0xC0, "А"}, {0xDF, "Я"}, {0xE0, "а"}, {0xFF, "я"},
};

TEST(Cp1251, TableRowsBothWays) {
  for (const auto& r : kRows) {
    const std::string byte(1, static_cast<char>(r.byte));
    EXPECT_EQ(Cp1251ToUtf8(byte), r.utf8) << int(r.byte);
    EXPECT_EQ(Utf8ToCp1251(r.utf8), byte) << r.utf8;
  }
}

TEST(Cp1251, EveryAssignedByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    if (b == 0x98) continue;
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(byte)), byte) << b;
  }
}

TEST(Cp1251, CharactersOutsideBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a\xE2\x82\xBD" "b"), "a?b");     // U+20BD, the rouble sign
  EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");        // an emoji
  EXPECT_EQ(Utf8ToCp1251("x\xC3"), "x?");                  // cut sequence
  EXPECT_EQ(Utf8ToCp1251("\x80z"), "?z");                  // stray continuation
  EXPECT_EQ(Utf8ToCp1251("\xE2\x82z\xD0"), "?z?");          // each broken sequence is one "?"
  EXPECT_EQ(Utf8ToCp1251("\xC0\xBC\xE0\x80\x80"), "??");     // overlong forms ("<", NUL)
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "?");
}

TEST(Cp1251, OneByteACharacterForCyrillicText) {
  const std::string text = Utf8ToCp1251("Колбаса докторська");
  EXPECT_EQ(text.size(), 18u);
  EXPECT_EQ(Cp1251ToUtf8(text), "Колбаса докторська");
}

}  // namespace
}  // namespace tallyglass
