#include "substance/compound_arrays.hpp"

#include <gtest/gtest.h>

namespace korvan {
namespace {

TEST(CompoundArrays, PerCompoundArrayIsZeroAndContiguousPerCompound) {
  PerCompoundArray a;
  EXPECT_FALSE(a.allocated());
  a.allocate(3, 2);  // positions 0..3, compounds 1..2
  ASSERT_TRUE(a.allocated());
  for (int k = 1; k <= 2; ++k) {
    for (int i = 0; i <= 3; ++i) EXPECT_EQ(a(i, k), 0.0);
  }
  a(2, 1) = 1.5;
  a(0, 2) = 2.5;
  EXPECT_EQ(a.values(1).size(), 4u);
  EXPECT_EQ(a.values(1)[2], 1.5);
  EXPECT_EQ(a.values(2)[0], 2.5);
  // A span written through lands in the array.
  a.values(2)[3] = 7.0;
  EXPECT_EQ(a(3, 2), 7.0);
}

TEST(CompoundArrays, SedimentArrayHoldsTheLayersOfASegmentTogether) {
  CompoundSedimentArray a;
  a.allocate(2, 3, 2);  // layers 0..2, segments 0..3, compounds 1..2
  for (int k = 1; k <= 2; ++k) {
    for (int i = 0; i <= 3; ++i) {
      for (int j = 0; j <= 2; ++j) a(j, i, k) = 100 * k + 10 * i + j;
    }
  }
  const auto layers = a.values(3, 2);
  ASSERT_EQ(layers.size(), 3u);
  EXPECT_EQ(layers[0], 230.0);
  EXPECT_EQ(layers[2], 232.0);
  EXPECT_EQ(a(1, 1, 1), 111.0);
}

TEST(CompoundArrays, MatrixOverPairsOfCompounds) {
  CompoundMatrix m;
  m.allocate(3);
  m(1, 3) = 0.5;
  EXPECT_EQ(m(1, 3), 0.5);
  EXPECT_EQ(m(3, 1), 0.0);
  EXPECT_EQ(m.numCompounds(), 3);
}

}  // namespace
}  // namespace korvan
