#include "core/containers.hpp"

#include <gtest/gtest.h>

namespace korvan {
namespace {

TEST(ContainerScalarVariable, FirstReadGivesZeroAndFirstReadOrWriteMarksItUsed) {
  ScalarVariable read;
  EXPECT_FALSE(read.initialised());
  EXPECT_EQ(read.value(), 0.0);
  EXPECT_TRUE(read.initialised());
  ScalarVariable written;
  written.set(7.0);
  EXPECT_TRUE(written.initialised());
  EXPECT_EQ(written.value(), 7.0);
}

TEST(ContainerSegmentVariable, FirstUseAllocatesZeroedOnceWithTheBoundOfThatTime) {
  int numSeg = 0;
  SegmentVariable depWat(numSeg);  // built before the water body is known
  EXPECT_FALSE(depWat.initialised());
  numSeg = 4;
  EXPECT_EQ(depWat.upperBound(), 4);
  depWat[3] = 0.25;  // first use: a write allocates 0..4 and zeroes it
  ASSERT_EQ(depWat.values().size(), 5u);
  EXPECT_EQ(depWat[4], 0.0);
  // The bound is fixed by the first use; inner loops work on the span, never moved.
  numSeg = 9;
  EXPECT_EQ(depWat.upperBound(), 4);
  const std::span<double> values = depWat.values();
  values[2] = 20.0;
  depWat.set(1, 11.0);
  EXPECT_EQ(depWat.values().data(), values.data());
  EXPECT_EQ(depWat[2], 20.0);
  // A first read allocates too.
  const SegmentVariable qBou(numSeg);
  EXPECT_EQ(qBou[9], 0.0);
  EXPECT_EQ(qBou.values().size(), 10u);
}

#ifndef NDEBUG
TEST(ContainerSegmentVariableDeathTest, IndexOutsideTheBoundsIsCaughtInDebugBuilds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int numSeg = 2;
  SegmentVariable v(numSeg);
  EXPECT_DEATH(v[3] = 1.0, "outside 0..N");
  EXPECT_DEATH(v[-1] = 1.0, "outside 0..N");
}
#endif

}  // namespace
}  // namespace korvan
