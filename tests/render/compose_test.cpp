#include "render/compose.h"

#include <gtest/gtest.h>

#include "support/model_builders.h"

namespace tallyglass {
namespace {

using test_support::W;

TEST(ValueTexts, RoundHalvesAwayFromZeroOnTheExactBinaryValue) {
  struct Case {
    double v;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {0.125, 2, "0.13"},     {-0.125, 2, "-0.13"}, {2.5, 0, "3"},  {-2.5, 0, "-3"},
      {1.005, 2, "1.00"},  // 1.005 is stored a little below the half
      {0.0001, 3, "0.000"},   {-0.001, 2, "0.00"},  {-0.0, 2, "0.00"}, {0.0, 0, "0"},
      {123456789.0, 2, "123456789.00"},          {1e20, 2, "100000000000000000000.00"},
      {9.9999, 3, "10.000"},  {0.5, 0, "1"},
  };
  for (const auto& c : cases) EXPECT_EQ(fixed_text(c.v, c.decimals), c.text) << c.v << " / " << c.decimals;
}

TEST(ValueTexts, FormsOfTheLayouts) {
  EXPECT_EQ(amount_text(1250), "12.50");
  EXPECT_EQ(amount_text(5), "0.05");
  EXPECT_EQ(amount_text(-150), "-1.50");
  // In single precision 2^25 * 0.01 lands on 335544.3125, not 335544.32.
  EXPECT_EQ(amount_text(33554432.0f), "335544.31");
  EXPECT_EQ(rate_text(20), "20.00");
  EXPECT_EQ(quantity_text(2000), "2.000");
  EXPECT_EQ(quantity_text(1500), "1.500");
  EXPECT_EQ(quantity_whole_text(2000), "2");
  EXPECT_EQ(quantity_whole_text(1700), "2");
  EXPECT_EQ(quantity_whole_text(1500), "2");
  EXPECT_EQ(quantity_whole_text(1499), "1");
  EXPECT_EQ(integer_text(138), "138");
  EXPECT_EQ(integer_text(2.5f), "3");
  EXPECT_EQ(integer_text(-2.5f), "-3");
  // The integer part truncates where the integer of x rounds.
  EXPECT_EQ(integer_part(2.7f), 2);
  EXPECT_EQ(integer_part(-2.7f), -2);
  EXPECT_EQ(integer_part(1e12f), 2147483647);
  EXPECT_EQ(integer_part(-1e12f), -2147483647 - 1);
}

TEST(TaxGroups, IntegersOnlyAndTheLetterTable) {
  EXPECT_EQ(tax_group("1"), 1);
  EXPECT_EQ(tax_group("-1"), -1);
  EXPECT_EQ(tax_group("+2"), 2);
  for (const char* bad : {"", " ", "1 ", " 1", "1a", "x", "+-1", "99999999999", "1.0"}) {
    EXPECT_THROW(tax_group(bad), RenderError) << '"' << bad << '"';
  }
  try {
    tax_group("x7");
  } catch (const RenderError& e) {
    EXPECT_STREQ(e.what(), "tax group \"x7\" is not an integer");
  }
  const char* letters[] = {" ", "A", "Б", "В", "Г", "Д", "Є", "Ж", "И", "Ї", "*"};
  for (int g = 0; g <= 10; ++g) EXPECT_EQ(tax_letter(g), W(letters[g])) << g;
  EXPECT_EQ(tax_letter(1), "\x41");  // Latin, not Cyrillic
  EXPECT_EQ(tax_letter(11), W("Много параметров"));
  EXPECT_EQ(tax_letter(-1), W("Много параметров"));
}

TEST(PlaceRight, WidensShortTextsOnceAndOverwritesUpToTheEndColumn) {
  // 3 + 35 = 38 characters; the value ends at column 37 and column 38 stays.
  EXPECT_EQ(place_right("abc", "12.50", 37), "abc" + std::string(29, ' ') + "12.50 ");
  // 38 characters or more: not widened; the value overwrites what stood there.
  const std::string long_text(40, 'x');
  EXPECT_EQ(place_right(long_text, "1.00", 37), std::string(33, 'x') + "1.00xxx");
  // Two characters become 37: column 37 is the last one.
  EXPECT_EQ(place_right("ab", "7", 37).size(), 37u);
  // A single character becomes 36, one short of column 37.
  EXPECT_THROW(place_right("a", "7", 37), RenderError);
  // A value longer than its end column has no room.
  EXPECT_THROW(place_right("  000000000", "123456789012", 11), RenderError);
  EXPECT_EQ(place_right("  000000000", "2351", 11), "  000002351" + std::string(35, ' '));
  EXPECT_EQ(place_right(std::string(40, ' '), std::string(37, '9'), 37), std::string(37, '9') + "   ");
}

TEST(StampText, DateAndTimeFromTheStamp) {
  EXPECT_EQ(stamp_text("20140430144200", true), "30.04.2014  14:42");
  EXPECT_EQ(stamp_text("20140430", false), "30.04.2014  ");
  EXPECT_EQ(stamp_text("20140430144200", false), "30.04.2014  ");
  EXPECT_EQ(stamp_text("201404", true), ".04.2014  :");
  EXPECT_EQ(stamp_text("", true), "..  :");
}

}  // namespace
}  // namespace tallyglass
