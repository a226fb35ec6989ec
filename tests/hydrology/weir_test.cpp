#include "hydrology/weir.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "hydrology/weir_reach.hpp"

namespace korvan {
namespace {

TEST(WeirFormula, DischargeOverACrestAndItsInverseTheHeight) {
  // Q = 1.7 b h^1.5: b = 2 m, h = 0.25 m gives 1.7 x 2 x 0.125 = 0.425 m3.s-1.
  EXPECT_NEAR(weirDischarge(2.0, 0.25), 0.425, 1e-15);
  // b = 0.5 m, h = 1 m: 0.85 m3.s-1.
  EXPECT_DOUBLE_EQ(weirDischarge(0.5, 1.0), 0.85);
  // No flow at or below the crest.
  EXPECT_EQ(weirDischarge(2.0, 0.0), 0.0);
  EXPECT_EQ(weirDischarge(2.0, -0.1), 0.0);
  EXPECT_EQ(weirHeight(0.0, 2.0), 0.0);
  // h = (Q / (1.7 b))^(2/3): 0.425 m3.s-1 over 2 m needs 0.25 m.
  EXPECT_NEAR(weirHeight(0.425, 2.0), 0.25, 1e-15);
  for (double h : {1e-4, 0.01, 0.3, 1.0, 4.0}) {
    EXPECT_NEAR(weirHeight(weirDischarge(0.7, h), 0.7), h, 1e-14 * (1.0 + h)) << h;
  }
}

TEST(WeirReach, DepthFollowsTheBottomSlopeWaterBelowTheCrestIsStoredAboveItLeaves) {
  // A reach of 100 m with a bottom slope of 0.001 ending at a crest 0.5 m high
  // and 0.5 m wide; rectangular section 1 m wide.
  const WeirReach reach{100.0, 0.001, 0.5, 0.5, Trapezoid{1.0, 0.0}};
  // h(x) = h_c - S0 (L - x): 0.6 - 0.001 x 50 = 0.55 m half way.
  EXPECT_DOUBLE_EQ(reach.depthAt(0.6, 50.0), 0.55);
  EXPECT_DOUBLE_EQ(reach.depthAt(0.6, 100.0), 0.6);
  // Mean depth 0.6 - 0.05 = 0.55 m over the width of 1 m.
  EXPECT_DOUBLE_EQ(reach.meanArea(0.6), 0.55);
  EXPECT_DOUBLE_EQ(reach.meanSurfaceWidth(0.6), 1.0);
  // From the crest level nothing leaves: 0.01 m3.s-1 for an hour over
  // 100 m2 of surface raises the level by 36 / 100 = 0.36 m.
  const double next = reach.nextCrestDepth(0.5, 0.0, 0.01, 3600.0);
  EXPECT_NEAR(next, 0.86, 1e-14);
  // All of it was stored: no discharge at the weir position.
  EXPECT_NEAR(reach.weirPositionDischarge(0.01, 0.0, 0.5, next, 3600.0), 0.0, 1e-15);
  // 0.2 m above the crest: Q = 1.7 x 0.5 x 0.2^1.5 = 0.0760263 m3.s-1
  // leaves over 100 m2 in 60 s: the level drops by 0.0456158 m.
  const double q = 1.7 * 0.5 * std::pow(0.2, 1.5);
  EXPECT_NEAR(reach.nextCrestDepth(0.7, 0.0, 0.0, 60.0), 0.7 - 60.0 * q / 100.0, 1e-14);
  // Lateral inflow of 1e-4 m2.s-1 over the 100 m is 0.01 m3.s-1.
  EXPECT_NEAR(reach.nextCrestDepth(0.5, 1e-4, 0.0, 3600.0), 0.86, 1e-14);
  // Discharges rise linearly from the inflow to the weir.
  EXPECT_DOUBLE_EQ(reach.dischargeAt(0.01, 0.03, 50.0), 0.02);
}

}  // namespace
}  // namespace korvan
