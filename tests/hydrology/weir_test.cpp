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

}  // namespace
}  // namespace korvan
