#include "zxsort/decimal.h"

#include <cfloat>

#include <gtest/gtest.h>

namespace {

TEST(Decimal, ReadsLeadingDecimalNumbers) {
  EXPECT_DOUBLE_EQ(1500.0, readDecimal("1500"));
  EXPECT_DOUBLE_EQ(300.0, readDecimal("300\r\n"));
  EXPECT_DOUBLE_EQ(-2.5, readDecimal("  -2.5abc"));
  EXPECT_DOUBLE_EQ(0.5, readDecimal("+.5"));
  EXPECT_DOUBLE_EQ(7.0, readDecimal("7."));
  EXPECT_DOUBLE_EQ(1250.0, readDecimal("1.25e3"));
  EXPECT_DOUBLE_EQ(0.0125, readDecimal("1.25E-2,"));
  // An exponent without digits is not part of the number.
  EXPECT_DOUBLE_EQ(3.0, readDecimal("3e"));
  EXPECT_DOUBLE_EQ(3.0, readDecimal("3e+x"));
}

TEST(Decimal, RefusesWhatIsNotDecimal) {
  EXPECT_DOUBLE_EQ(0.0, readDecimal(""));
  EXPECT_DOUBLE_EQ(0.0, readDecimal("-"));
  EXPECT_DOUBLE_EQ(0.0, readDecimal("."));
  EXPECT_DOUBLE_EQ(0.0, readDecimal("inf"));
  EXPECT_DOUBLE_EQ(0.0, readDecimal("nan"));
  EXPECT_DOUBLE_EQ(0.0, readDecimal("'12'"));
  // Hexadecimal stops after the leading zero.
  EXPECT_DOUBLE_EQ(0.0, readDecimal("0x1A"));
}

TEST(Decimal, OutOfRangeSaturates) {
  EXPECT_DOUBLE_EQ(DBL_MAX, readDecimal("1e999"));
  EXPECT_DOUBLE_EQ(-DBL_MAX, readDecimal("-1e999"));
  EXPECT_DOUBLE_EQ(0.0, readDecimal("1e-999"));
}

}  // namespace
