#include "journal/values.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

#include "journal/journal_error.h"

namespace tallyglass {
namespace {

TEST(Values, NumbersFollowTheirGrammar) {
  struct Case {
    const char* text;
    float value;
  };
  const Case good[] = {
      {"0", 0},       {"1200", 1200}, {"20.00", 20},   {"-3.5", -3.5f}, {"+7", 7},
      {" 12 ", 12},   {"1e3", 1000},  {"2.5E-1", 0.25f}, {"5.", 5},    {".5", 0.5f},
      {"16777217", 16777216.f},  // single precision
  };
  for (const auto& c : good) EXPECT_EQ(to_number(c.text), c.value) << c.text;

  const char* bad[] = {"12,50", "", " ", "abc", "1.2.3", "1e", "e5", "0x10", "inf", "nan",
                       "1 2", "--1", "+", "1e999"};
  for (const char* text : bad) EXPECT_THROW(to_number(text), ConversionError) << '"' << text << '"';
  const Case locale[] = {{"1", 1}, {"250", 250}, {"-4", -4}};
  for (const auto& c : locale) EXPECT_EQ(to_locale_number(c.text), c.value) << c.text;
}

TEST(Values, IntegersAndTexts) {
  EXPECT_EQ(to_integer_or_zero("42"), 42);
  EXPECT_EQ(to_integer_or_zero("-7"), -7);
  EXPECT_EQ(to_integer_or_zero("x"), 0);
  EXPECT_EQ(to_integer_or_zero("1.5"), 0);
  EXPECT_EQ(to_integer_or_zero("99999999999"), 0);
  EXPECT_THROW(to_integer_or_zero(""), ConversionError);

  EXPECT_EQ(to_short_integer("70000"), 4464);
  EXPECT_EQ(to_short_integer("65535"), -1);
  EXPECT_EQ(to_short_integer("-32769"), 32767);
  EXPECT_EQ(to_short_integer("12"), 12);
  for (const char* text : {"", "1.0", "x", "99999999999"}) {
    EXPECT_THROW(to_short_integer(text), ConversionError) << '"' << text << '"';
  }

  EXPECT_EQ(to_text(" "), " ");
  EXPECT_THROW(to_text(""), ConversionError);

  EXPECT_EQ(truncate_to_int(77.9f), 77);
  EXPECT_EQ(truncate_to_int(-77.9f), -77);
  EXPECT_EQ(truncate_to_int(1e20f), 2147483647);
}

TEST(Values, FailureNamesTheText) {
  try {
    to_number("12,50");
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.text(), "12,50");
    EXPECT_STREQ(e.named("P", "SM").what(), "attribute SM of P: \"12,50\" is not a number");
  }
}

struct CommaPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(Values, ThePointIsTheDecimalMarkUnderACommaCxxLocale) {
  const std::locale before = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
  const float value = to_number("20.00");
  const bool comma_fails = [] {
    try {
      to_number("20,00");
      return false;
    } catch (const ConversionError&) {
      return true;
    }
  }();
  std::locale::global(before);
  EXPECT_EQ(value, 20.f);
  EXPECT_TRUE(comma_fails);
}

TEST(Values, ThePointIsTheDecimalMarkUnderACommaCLocale) {
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  const char* found = nullptr;
  for (const char* name : {"uk_UA.UTF-8", "de_DE.UTF-8", "ru_RU.UTF-8", "fr_FR.UTF-8",
                           "uk_UA.utf8", "de_DE.utf8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      found = name;
      break;
    }
  }
  // scripts/install-deps generates uk_UA.UTF-8; without it this test would prove nothing.
  ASSERT_NE(found, nullptr) << "no comma-decimal locale installed: run scripts/install-deps";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",") << found;
  const float value = to_number("20.00");
  bool comma_fails = false;
  try {
    to_number("20,00");
  } catch (const ConversionError&) {
    comma_fails = true;
  }
  std::setlocale(LC_NUMERIC, before.c_str());
  EXPECT_EQ(value, 20.f);
  EXPECT_TRUE(comma_fails);
}

}  // namespace
}  // namespace tallyglass
