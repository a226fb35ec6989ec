#include "hydrology/representative_channel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace korvan {
namespace {

// A ditch of 1 m bottom width with almost vertical banks on a slope of
// 1 per 1000, 2 km of it up to the water body; a crest 0.4 m wide and
// 0.3 m high.
// (widBot, sloSid, sloBot, len, widCre, hgtCre, cofRghRef, cofVelHea)
RepresentativeChannel ditch() {
  return {1.0, 0.01, 0.001, 2000.0, 0.4, 0.3, 30.0, 1.1};
}

TEST(ChannelRoughness, StricklerAboveTenCentimetresLinearBelowAndTheFroudeNumber) {
  // K = 30 h^(1/3): 30 x 0.2^(1/3) = 17.54411.
  EXPECT_NEAR(roughnessCoefficient(0.2, 30.0), 30.0 * std::cbrt(0.2), 1e-13);
  // Continuous at 0.1 m: 30 x 0.4641589.
  EXPECT_NEAR(roughnessCoefficient(0.1, 30.0), 30.0 * 0.4641588833612779, 1e-13);
  EXPECT_NEAR(roughnessCoefficient(0.1 - 1e-12, 30.0), 30.0 * 0.4641588833612779, 1e-9);
  // Half way between 0.01 and 0.1 m: the mean of 0.01 and 13.92477.
  EXPECT_NEAR(roughnessCoefficient(0.055, 30.0), 0.5 * (0.01 + 30.0 * 0.4641588833612779), 1e-12);
  EXPECT_EQ(roughnessCoefficient(0.01, 30.0), 0.01);
  EXPECT_EQ(roughnessCoefficient(0.001, 30.0), 0.01);
  // v = 1 m.s-1 in A = 0.5 m2 under B = 1 m: Fr = 1 / sqrt(9.81 x 0.5).
  EXPECT_NEAR(froudeNumber(1.0, 0.5, 1.0), 1.0 / std::sqrt(4.905), 1e-15);
  EXPECT_EQ(froudeNumber(1.0, 0.0, 1.0), 0.0);
  EXPECT_EQ(kFroudeMax, static_cast<double>(0.9f));
}

TEST(UniformDepth, FlatChannelNeverCarriesTheFlowAndNoDischargeSearchesBelowTheBottom) {
  // Without a slope Q(h) = 0 for every depth: the search climbs until it
  // gives up after 500 iterations.
  RepresentativeChannel c = ditch();
  c.sloBot = 0.0;
  const UniformDepth flat = findUniformDepth(c, 0.05, 0.5);
  EXPECT_EQ(flat.status, UniformDepth::Status::TooManyIterations);
  EXPECT_EQ(flat.iterations, kMaxUniformDepthIterations + 1);
  // q = 0: every wet depth carries too much, so the search descends below 0.
  const UniformDepth u = findUniformDepth(ditch(), 0.0, 0.3);
  EXPECT_EQ(u.status, UniformDepth::Status::NegativeDepth);
  EXPECT_LT(u.depth, 0.0);
  EXPECT_GT(u.depth, -0.02);
}

TEST(BackwaterCurve, DrawdownCurveRisesToTheUniformDepth) {
  // A low and wide crest lets the water fall towards it (M2 curve).
  RepresentativeChannel c = ditch();
  c.widCre = 0.45;
  c.hgtCre = 0.01;
  c.sloBot = 0.0002;
  const double q = 0.1;
  const double hw = weirDepth(c, q);
  const double hu = findUniformDepth(c, q, hw).depth;
  ASSERT_LT(hw, hu);
  std::vector<BackwaterPoint> points;
  ASSERT_EQ(computeBackwaterCurve(c, q, hw, hu, points).status, BackwaterCurve::Status::Ok);
  for (std::size_t j = 1; j < points.size(); ++j) {
    EXPECT_GT(points[j].distance, points[j - 1].distance);
    EXPECT_GE(points[j].depth, points[j - 1].depth);
  }
}

TEST(BackwaterCurve, FarFirstStepRestartsWithHalfTheDepthStep) {
  // A channel of 10 m: the first step of a fiftieth of the depth difference
  // reaches beyond 2 m, so the step is halved until it does not.
  RepresentativeChannel c = ditch();
  c.len = 10.0;
  const double q = 0.05;
  const double hw = weirDepth(c, q);
  const double hu = findUniformDepth(c, q, hw).depth;
  std::vector<BackwaterPoint> points;
  ASSERT_EQ(computeBackwaterCurve(c, q, hw, hu, points).status, BackwaterCurve::Status::Ok);
  EXPECT_LE(points[1].distance, c.len / 5.0);
  const double ratio = (points[1].depth - hw) / ((hu - hw) / 50.0);
  const double halvings = -std::log2(ratio);
  EXPECT_GE(halvings, 1.0);
  EXPECT_NEAR(halvings, std::round(halvings), 1e-9);
}

TEST(BackwaterCurve, UniformFlowThroughoutAndDepthBelowOneCentimetreStopsTheCurve) {
  // A weir depth at the uniform depth: uniform flow throughout.
  std::vector<BackwaterPoint> points;
  ASSERT_EQ(computeBackwaterCurve(ditch(), 0.05, 0.3, 0.3005, points).status,
            BackwaterCurve::Status::Ok);
  EXPECT_EQ(points[0].depth, 0.3);
  EXPECT_EQ(points[1].distance, 20.0);
  EXPECT_EQ(points[1].depth, 0.3005);
  EXPECT_EQ(points.size(), 101u);  // every 20 m up to 2000 m
  const BackwaterCurve r = computeBackwaterCurve(ditch(), 1e-6, 0.05, 0.005, points);
  EXPECT_EQ(r.status, BackwaterCurve::Status::DepthBelowCentimetre);
  EXPECT_LT(r.depth, 0.01);
  EXPECT_GE(r.depth, 0.01 - (0.05 - 0.005) / 50.0);
}

}  // namespace
}  // namespace korvan
