#include "hydrology/sediment_width.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace korvan {
namespace {

TEST(HydrologySedimentWidth, VerticalBanksWidenByOneMetrePerMetreSlopingBanksBisectTheAngle) {
  // s = 0, d = 0.3, b = 1: t = 1; at the surface W = b + 2 d = 1.6 m;
  // 0.1 m down W = 1 + 2 x 0.1 x 1 + 2 x 0.4 = 2.0 m.
  EXPECT_EQ(halfAngleFactor(0.0, 0.3), 1.0);
  EXPECT_DOUBLE_EQ(sedimentWidth(0.0, 1.0, 0.0, 0.3), 1.6);
  EXPECT_DOUBLE_EQ(sedimentWidth(-0.1, 1.0, 0.0, 0.3), 2.0);
  // No banks and no exchanging depth leave the bottom width.
  EXPECT_EQ(sedimentWidth(0.0, 1.5, 0.0, 0.0), 1.5);
  EXPECT_EQ(sedimentWidth(-0.5, 1.5, 0.0, 0.0), 1.5);
  // s = 1 (45 degrees): t = tan(22.5 degrees) = sqrt(2) - 1. With b = 1 and
  // d = 0.2, 0.1 m down: 1 + 0.2 t + 2 x 0.3 x sqrt(2) = 1.9313708.
  const double t = std::sqrt(2.0) - 1.0;
  EXPECT_NEAR(halfAngleFactor(1.0, 0.2), t, 1e-15);
  EXPECT_NEAR(sedimentWidth(-0.1, 1.0, 1.0, 0.2), 1.0 + 0.2 * t + 0.6 * std::sqrt(2.0), 1e-14);
}

}  // namespace
}  // namespace korvan
