#include "text/base64.h"

#include <gtest/gtest.h>

namespace tallyglass {
namespace {

struct Case {
  std::string_view text;
  std::string_view bytes;
};
constexpr Case kCases[] = {
    {"", ""},
    {"TWFu", "Man"},
    {"TWE=", "Ma"},
    {"TQ==", "M"},
    {"TWE", "Ma"},              // final group of three characters: two bytes
    {"TQ", "M"},                // final group of two: one byte
    {"T", ""},                  // a lone character gives nothing
    {"TWFu\rTWFu", "Man"},      // stops at the CR ending a reply line
    {"TWFuTW=FuTWFu", "ManM"},  // stops at the first "="
    {"TW*Fu", "M"},             // stops at a character outside the alphabet
    {"+/+/", "\xFB\xFF\xBF"},
};

TEST(Base64, DecodeTable) {
  for (const auto& c : kCases) EXPECT_EQ(DecodeBase64(c.text), c.bytes) << c.text;
}

TEST(Base64, EncodeRoundTripsEveryLength) {
  std::string bytes;
  for (int n = 0; n < 300; ++n) {
    EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes) << n;
    bytes += static_cast<char>(n * 37);
  }
  EXPECT_EQ(EncodeBase64("Ma"), "TWE=");
}

}  // namespace
}  // namespace tallyglass
