// Inputs the fuzz targets found faults with, kept as normal tests.
#include <gtest/gtest.h>

#include <limits>

#include "journal/values.h"

namespace tallyglass {
namespace {

TEST(FuzzRegression, NotANumberHasIntegerPartZero) {
  // numbers_fuzz: a NaN bit pattern made the float-to-integer conversion undefined.
  EXPECT_EQ(truncate_to_int(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(truncate_to_int(-std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(truncate_to_int(std::numeric_limits<float>::infinity()), 2147483647);
  EXPECT_EQ(truncate_to_int(-std::numeric_limits<float>::infinity()), -2147483647 - 1);
}

}  // namespace
}  // namespace tallyglass
