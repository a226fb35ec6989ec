// The vector powers agree with std::pow to one unit in the last place on
// the arguments of a Freundlich isotherm, for every length (whole vectors
// and tails), and the scalar unit gives std::pow itself.
#include "core/vector_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace korvan::vecmath {
namespace {

std::int64_t ulps(double a, double b) {
  return std::bit_cast<std::int64_t>(a) - std::bit_cast<std::int64_t>(b);
}

TEST(VectorMath, PowersOfEveryUnitWithinOneUlpOfStdPowForEveryLength) {
  std::vector<Isa> units{Isa::Scalar};
  if (bestIsa() != Isa::Scalar) units.push_back(Isa::Avx2);
  if (bestIsa() == Isa::Avx512) units.push_back(Isa::Avx512);
  for (Isa isa : units) {
    SCOPED_TRACE(std::string(isaName(isa)));
    for (std::size_t count = 0; count <= 19; ++count) {
      std::vector<double> x(count + 1), y(count + 1, -7.0);
      for (std::size_t n = 0; n < count; ++n) x[n] = std::pow(10.0, -12.0 + 0.77 * n);
      for (double e : {0.9 - 1.0, 0.7 - 1.0, 1.2 - 1.0}) {
        powArray(isa, x.data(), e, y.data(), count);
        for (std::size_t n = 0; n < count; ++n) {
          const std::int64_t d = ulps(y[n], std::pow(x[n], e));
          if (isa == Isa::Scalar) {
            EXPECT_EQ(d, 0);
          } else {
            EXPECT_LE(std::abs(d), 1) << "x " << x[n] << " e " << e;
          }
        }
        EXPECT_EQ(y[count], -7.0) << "written past the end, length " << count;
      }
    }
  }
  EXPECT_EQ(isaName(Isa::Avx512), "AVX-512");
}

}  // namespace
}  // namespace korvan::vecmath
