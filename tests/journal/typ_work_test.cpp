#include "journal/typ_work.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tallyglass {
namespace {

TEST(TypWork, GivesTheCodesOfItsTables) {
  struct Case {
    std::int32_t element;
    const char* name;
    std::int32_t code;
  };
  const Case cases[] = {
      {16, "NS", 15}, {6, "SM", 4},   {7, "SM", 4},   {16, "SM", 2},  {14, "HP", 2},
      {14, "HT", 3},  {21, "TX", 0},  {21, "TXAL", 6}, {8, "N", 7},   {9, "N", 7},
      {11, "SM", 3},  {12, "SM", 3},  {17, "SMO", 11}, {18, "SMO", 3}, {19, "SMT", 4},
      {20, "NO", 1},  {1, "V", 5},    {2, "NT", 1},   {3, "ON", 2},   {4, "NO", 0},
      {5, "TS", 0},   {10, "RRN", 5}, {13, "N", 0},   {15, "NI", 1},  {0, "V", 0},
  };
  typ_work work;
  for (const auto& c : cases) {
    EXPECT_EQ(work.attribute_code(c.element, c.name), c.code) << c.element << " " << c.name;
  }
  EXPECT_EQ(work.element_code("DAT"), 1);
  EXPECT_EQ(work.element_code("Z_M"), 18);
  EXPECT_EQ(work.element_code("TX"), 21);
  EXPECT_EQ(work.elements.size(), 22u);
}

TEST(TypWork, HoldsAMissingNameWithCodeZero) {
  typ_work work;
  EXPECT_EQ(work.element_code("dat"), 0);  // names are case-sensitive
  EXPECT_EQ(work.elements.count("dat"), 1u);
  EXPECT_EQ(work.elements.at("dat"), 0);

  for (const auto& [name, code] : work.h_table) EXPECT_NE(code, 1) << name;
  EXPECT_EQ(work.attribute_code(6, "XYZ"), 0);  // the code of "N"
  EXPECT_EQ(work.p_table.at("XYZ"), 0);
  EXPECT_EQ(work.c_table.count("XYZ"), 0u);
}

TEST(TypWork, AnElementCodeOutsideItsRangeAddsNothing) {
  typ_work work;
  const typ_work fresh;
  EXPECT_EQ(work.attribute_code(22, "NS"), 0);
  EXPECT_EQ(work.attribute_code(-1, "QQ"), 0);
  EXPECT_EQ(work.table_of(22), nullptr);
  for (std::int32_t e = 0; e <= 21; ++e) {
    EXPECT_EQ(work.table_of(e)->size(), const_cast<typ_work&>(fresh).table_of(e)->size()) << e;
  }
}

}  // namespace
}  // namespace tallyglass
