#include "core/containers.hpp"

#include <gtest/gtest.h>

#include "hydrology/water_body.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

TEST(ContainerScalarVariable, FirstReadGivesZeroAndMarksTheVariableUsed) {
  ScalarVariable v;
  EXPECT_FALSE(v.initialised());
  EXPECT_EQ(v.value(), 0.0);
  EXPECT_TRUE(v.initialised());
  v.set(2.5);
  EXPECT_EQ(v.value(), 2.5);
  v.set(-1.0);  // a write replaces the value
  EXPECT_EQ(v.value(), -1.0);
}

TEST(ContainerScalarVariable, FirstWriteMarksTheVariableUsed) {
  ScalarVariable v;
  v.set(7.0);
  EXPECT_TRUE(v.initialised());
  EXPECT_EQ(v.value(), 7.0);
}

TEST(ContainerSegmentVariable, AllocatesZeroedWithTheBoundAtFirstUse) {
  int numSeg = 0;
  SegmentVariable depWat(numSeg);  // built before the water body is known
  EXPECT_FALSE(depWat.initialised());
  numSeg = 4;
  EXPECT_EQ(depWat.upperBound(), 4);
  depWat[3] = 0.25;  // first use: a write allocates 0..4 and zeroes it
  EXPECT_TRUE(depWat.initialised());
  ASSERT_EQ(depWat.values().size(), 5u);
  EXPECT_EQ(depWat[0], 0.0);
  EXPECT_EQ(depWat[3], 0.25);
  EXPECT_EQ(depWat[4], 0.0);
  // The bound is fixed by the first use.
  numSeg = 9;
  EXPECT_EQ(depWat.upperBound(), 4);
  EXPECT_EQ(depWat.values().size(), 5u);
}

TEST(ContainerSegmentVariable, FirstReadAllocatesToo) {
  int numSeg = 2;
  const SegmentVariable qBou(numSeg);
  EXPECT_EQ(qBou[2], 0.0);
  EXPECT_TRUE(qBou.initialised());
  EXPECT_EQ(qBou.values().size(), 3u);
}

TEST(ContainerSegmentVariable, InnerLoopsWorkOnTheSpan) {
  int numSeg = 3;
  SegmentVariable x(numSeg);
  const std::span<double> values = x.values();
  for (int i = 0; i <= 3; ++i) values[static_cast<std::size_t>(i)] = 10.0 * i;
  x.set(1, 11.0);
  EXPECT_EQ(x.values().data(), values.data());  // allocated once, never moved
  EXPECT_EQ(x[0], 0.0);
  EXPECT_EQ(x[1], 11.0);
  EXPECT_EQ(x[3], 30.0);
}

TEST(ContainerSegmentVariable, TakesItsBoundFromTheWaterBody) {
  testing::TestRun t(testing::minimalInput(
      "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys DepWatDefPer\n(m) (-) (m) (-) (m)\n"
      "100 10 1.2 0.5 0.3\nend_table\nDitch WaterbodyID\nNone OptOutputDistances\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  SegmentVariable velocity(wb.numSegRef());  // before GetWaterBody, as modules are
  wb.getWaterBody();
  EXPECT_EQ(velocity[10], 0.0);
  EXPECT_EQ(velocity.upperBound(), 10);
  EXPECT_EQ(velocity.values().size(), 11u);
  t.finish();
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
