#include "core/text.hpp"

#include <gtest/gtest.h>

#include "core/compare.hpp"

namespace korvan {
namespace {

TEST(TolerantComparison, DecidesWithinOneNanoDay) {
  // 1e-10 apart counts as equal, 2e-9 apart does not.
  EXPECT_TRUE(cmp::eq(1.0, 1.0 + 1e-10));
  EXPECT_FALSE(cmp::eq(1.0, 1.0 + 2e-9));
  EXPECT_TRUE(cmp::ge(1.0, 1.0 + 1e-10));
  EXPECT_FALSE(cmp::gt(1.0 + 1e-10, 1.0));
  EXPECT_TRUE(cmp::le(1.0 + 1e-10, 1.0));
  EXPECT_FALSE(cmp::lt(1.0, 1.0 + 1e-10));
  // 24 hourly steps summed with rounding still reach the next day.
  double t = 29219.0;
  for (int i = 0; i < 24; ++i) t += 1.0 / 24.0;
  EXPECT_TRUE(cmp::eq(t, 29220.0));
}

TEST(NumberToText, ShortVariantForTheProgressDisplay) {
  EXPECT_EQ(numberToTextShort(0.0), "0");
  EXPECT_EQ(numberToTextShort(5e-10), "0");  // within the tolerance of 0
  EXPECT_EQ(numberToTextShort(5e-7), "< 1e-6");
  EXPECT_EQ(numberToTextShort(-3.0), "< 1e-6");
  EXPECT_EQ(numberToTextShort(1e-6), "   0.000001");       // 1e-6 itself is shown
  EXPECT_EQ(numberToTextShort(2.6e-6), "   0.000003");     // 6 decimals, rounded
  EXPECT_EQ(numberToTextShort(1.2345e-5), "    0.00001");  // 5 decimals
  EXPECT_EQ(numberToTextShort(0.0056), "      0.006");     // 3 decimals below 0.01
  EXPECT_EQ(numberToTextShort(123.456), "     123.46");
}

TEST(NumberToText, LongVariantForTablesAndSummary) {
  EXPECT_EQ(numberToTextLong(-1.0), "< 1e-6");
  EXPECT_EQ(numberToTextLong(9.9e-7), "< 1e-6");
  EXPECT_EQ(numberToTextLong(1.5e-6), "  0.0000015");     // 7 decimals
  EXPECT_EQ(numberToTextLong(0.0012346), "   0.001235");  // 6 decimals
  EXPECT_EQ(numberToTextLong(1234.56), "     1234.6");
}

TEST(SharedRoutines, WeightedMeanFlushAndTruncation) {
  EXPECT_DOUBLE_EQ(weightedMean(1.0, 3.0, 1.0, 3.0), 2.5);  // (1 + 9) / 4
  EXPECT_EQ(flushToZero(1e-33), 0.0);
  EXPECT_EQ(flushToZero(2e-32), 2e-32);
  EXPECT_EQ(flushToZero(1e-5, 1e-4), 0.0);
  EXPECT_EQ(padTo("abcdef", 3), "abc");
}

}  // namespace
}  // namespace korvan
