#include "temperature/heat_balance.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace korvan::heat {
namespace {

constexpr double kPi = 3.141592653589793;

// Refraction angle of a beam at zenith angle z by Snell's law, n = 1.33.
double refracted(double zenith) {
  return std::asin(std::sin(zenith) / 1.33);
}

// ---------------------------------------------------------------------------
// Shortwave

TEST(HeatAlbedo, NightAlbedoIsOne) {
  // Sun below the horizon: albedo 1, so no shortwave enters the water.
  EXPECT_EQ(albedo(250.0, -0.3, kPi / 2.0, refracted(kPi / 2.0)), 1.0);
  // Exactly on the horizon and just above it (asin S < 0.001) as well.
  EXPECT_EQ(albedo(250.0, 0.0, kPi / 2.0, refracted(kPi / 2.0)), 1.0);
  EXPECT_EQ(albedo(250.0, 0.0009, 1.57, refracted(1.57)), 1.0);
}

TEST(HeatRadiation, ClearnessIndexCappedAtOneAndDirectFractionInItsThreeRanges) {
  // 2000 / (1367 x 0.5) = 2.93 is cut to 1.
  EXPECT_EQ(clearnessIndex(2000.0, 0.5), 1.0);
  // kt 0.1: 0.09 x 0.1; kt 0.9: 0.835; kt 0.5: 1 - (0.9511 - 0.0802 +
  // 1.097 - 2.07975 + 0.771) = 0.34085 (0.1604 in single precision).
  EXPECT_DOUBLE_EQ(directFraction(0.1), 0.009);
  EXPECT_EQ(directFraction(0.9), 0.835);
  EXPECT_NEAR(directFraction(0.5), 0.34085, 1e-8);
  EXPECT_DOUBLE_EQ(directFraction(0.22), 0.0198);
}

TEST(HeatRadiation, FresnelReflectance) {
  // Zenith 60 degrees: refraction asin(0.86603 / 1.33) = 0.709095 rad;
  // 0.5 (sin^2(0.33810) / sin^2(1.75629) + tan^2(0.33810) / tan^2(1.75629))
  // = 0.5 (0.113898 + 0.004353) = 0.059126.
  const double zenith = kPi / 3.0;
  EXPECT_NEAR(fresnelReflectance(zenith, refracted(zenith)), 0.0591256, 1e-6);
  // Sun in the zenith: ((1.33 - 1) / (1.33 + 1))^2 = 0.020059, the limit of
  // the ratios that are 0/0 there.
  EXPECT_NEAR(fresnelReflectance(0.0, 0.0), 0.0200593, 1e-7);
  EXPECT_NEAR(fresnelReflectance(1e-4, refracted(1e-4)), 0.0200593, 1e-7);
  // Grazing light is reflected almost entirely, never more than 1.
  const double grazing = 1.5707;
  EXPECT_GT(fresnelReflectance(grazing, refracted(grazing)), 0.99);
  EXPECT_LE(fresnelReflectance(grazing, refracted(grazing)), 1.0);
}

TEST(HeatRadiation, CloudTermsOfTheLongwaveFromTheSky) {
  // Clear sky plus the cloud terms: 60 x 0.5 + 20 x (0.5 - 1) = 20.
  const double clear = fleRadLonDow(290.15, 1.0, 0.0, 0.0, 60.0, 20.0);
  EXPECT_NEAR(fleRadLonDow(290.15, 1.0, 0.5, 1.0, 60.0, 20.0) - clear, 20.0, 1e-9);
}

// ---------------------------------------------------------------------------
// Sediment and precipitation

TEST(HeatBalance, SedimentHeatFlux) {
  // 0.57 x (290.15 - 280.15) / (0.5 x 0.1) = 114 W.m-2 into the water.
  EXPECT_NEAR(sensHeaFlxWatSed(280.15, 0.1), 114.0, 1e-9);
  EXPECT_EQ(sensHeaFlxWatSed(290.15, 0.1), 0.0);
  EXPECT_EQ(sensHeaFlxWatSed(280.15, 0.0), 0.0);
}

TEST(HeatBalance, PrecipitationHeatNoneWithoutRainAndAtAirTemperatureInSaturatedAir) {
  const double heat = heaFlxPrc(0.0, 275.0, 285.0);
  EXPECT_EQ(heat, 0.0);
  EXPECT_FALSE(std::signbit(heat));
  // RH = 1: T_p = Ta.
  EXPECT_DOUBLE_EQ(temWetBulb(280.0, 1.0, latentHeat(285.0)), 280.0);
}

}  // namespace
}  // namespace korvan::heat
