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

TEST(HeatAlbedo, NightAlbedoIsOneAndNoShortwaveEnters) {
  // Sun below the horizon: albedo 1, so (1 - 1) R reaches nothing and the
  // whole R goes back up; the net shortwave R - Sed - Upw is 0.
  const double a = albedo(250.0, -0.3, kPi / 2.0, refracted(kPi / 2.0));
  EXPECT_EQ(a, 1.0);
  const Shortwave s = shortwave(250.0, a, 0.3);
  EXPECT_EQ(s.fleRadShoDowSed, 0.0);
  EXPECT_EQ(s.fleRadShoUpw, 250.0);
  EXPECT_EQ(250.0 - s.fleRadShoDowSed - s.fleRadShoUpw, 0.0);
  // Exactly on the horizon and just above it (asin S < 0.001) as well.
  EXPECT_EQ(albedo(250.0, 0.0, kPi / 2.0, refracted(kPi / 2.0)), 1.0);
  EXPECT_EQ(albedo(250.0, 0.0009, 1.57, refracted(1.57)), 1.0);
}

TEST(HeatAlbedo, DayAlbedoMixesDirectFresnelAndDiffuse) {
  // Sun at 30 degrees elevation, S = 0.5, zenith 60 degrees; R = 341.75 gives
  // kt = 341.75 / (1367 x 0.5) = 0.5 and fd = 0.34085 (next test); Fresnel
  // at 60 degrees 0.059126. Albedo 0.34085 x 0.059126 + 0.65915 x 0.06
  // = 0.020153 + 0.039549 = 0.059702.
  const double zenith = kPi / 3.0;
  EXPECT_NEAR(albedo(341.75, 0.5, zenith, refracted(zenith)), 0.059702, 1e-6);
}

TEST(HeatRadiation, ClearnessIndexCappedAtOneAndDirectFractionInItsThreeRanges) {
  // 683.5 / (1367 x 0.5) = 1; anything brighter stays 1.
  EXPECT_DOUBLE_EQ(clearnessIndex(683.5, 0.5), 1.0);
  EXPECT_EQ(clearnessIndex(2000.0, 0.5), 1.0);
  EXPECT_DOUBLE_EQ(clearnessIndex(136.7, 0.5), 0.2);
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

TEST(HeatRadiation, AboutAThirdReachesTheBottomAtOneDecimetre) {
  // 0.55 e^-0.425 + 0.45 e^-100 = 0.55 x 0.653770 = 0.359573.
  EXPECT_NEAR(fractionReachingBottom(0.1), 0.359573, 1e-6);
  // R = 100, albedo 0.06: B = 0.94 x 100 x 0.359573 = 33.7999;
  // Sed = 0.7 B = 23.6599; Upw = 6 + 0.3 B (0.653770 + e^-100) = 12.6292.
  const Shortwave s = shortwave(100.0, 0.06, 0.1);
  EXPECT_NEAR(s.fleRadShoDowSed, 23.65993, 1e-5);
  EXPECT_NEAR(s.fleRadShoUpw, 12.62921, 1e-5);
}

// ---------------------------------------------------------------------------
// Longwave, vapour pressure, turbulent exchange

TEST(HeatBalance, SaturatedVapourPressureTransferCoefficientAndLatentHeat) {
  // 611 Pa at 0 C; at 20 C 611 exp(17.27 x 20 / 257.15) = 2340.88 Pa.
  EXPECT_DOUBLE_EQ(saturatedVapourPressure(273.15), 611.0);
  EXPECT_NEAR(saturatedVapourPressure(293.15), 2340.879, 1e-3);
}

TEST(HeatRadiation, LongwaveTerms) {
  // 17 C, RH 1: e_s = 1939.7 Pa; 1.2 (19.397 / 290.15)^(1/7) = 0.815342.
  EXPECT_NEAR(emissivityAir(290.15, 1.0), 0.815342, 1e-6);
  // Clear sky plus the cloud terms: 60 x 0.5 + 20 x (0.5 - 1) = 20.
  const double clear = fleRadLonDow(290.15, 1.0, 0.0, 0.0, 60.0, 20.0);
  EXPECT_NEAR(fleRadLonDow(290.15, 1.0, 0.5, 1.0, 60.0, 20.0) - clear, 20.0, 1e-9);
  // 5.4999e-8 x 280^4 + 0.03 x 300 = 338.0547 + 9.
  EXPECT_NEAR(fleRadLonUpw(280.0, 300.0), 347.05465, 1e-5);
}

TEST(HeatBalance, TransferCoefficientAndLatentHeat) {
  // z = 2 m: 0.16 / (ln 100 x ln 1000) = 0.16 / 31.8114 = 0.00502965.
  EXPECT_NEAR(transferCoefficient(2.0), 0.00502965, 1e-8);
  EXPECT_DOUBLE_EQ(latentHeat(273.15), 2500820.0);
  // 101300 Pa / (287 x 283.15 K) = 1.246554 kg.m-3.
  EXPECT_NEAR(airDensity(101300.0, 283.15), 1.246554, 1e-6);
}

TEST(HeatBalance, TurbulentExchangeByHandAndNoneAtEqualTemperaturesInSaturatedAir) {
  // Tw = Ta gives Tw - Ta = 0; RH = 1 gives q_w - q_a = 0.
  const Air air{285.0, 1.0, 101300.0, 3.0, 2.0};
  EXPECT_EQ(sensHeaFlxAirWat(air, 285.0), 0.0);
  EXPECT_EQ(vapHeaFlxAirWat(air, 285.0), 0.0);
  // Warmer water loses heat to the air by both routes.
  EXPECT_GT(sensHeaFlxAirWat(air, 290.0), 0.0);
  EXPECT_GT(vapHeaFlxAirWat(air, 290.0), 0.0);
  // rho_a 101300 / (287 x 283.15) = 1.246554; c_t 0.00502965; u 4 m/s;
  // 1.246554 x 1005 x 0.00502965 x 4 x 2 K = 50.4086 W.m-2.
  EXPECT_NEAR(sensHeaFlxAirWat({283.15, 0.8, 101300.0, 4.0, 2.0}, 285.15), 50.4086, 1e-4);
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
  // RH = 1: T_p = Ta. 10 mm/h = 2.7778e-6 m/s of rain 5 K colder than the
  // water: 4.19e6 x 2.7778e-6 x (-5) = -58.19 W.m-2.
  EXPECT_DOUBLE_EQ(temWetBulb(280.0, 1.0, latentHeat(285.0)), 280.0);
  EXPECT_NEAR(heaFlxPrc(0.01 / 3600.0, 280.0, 285.0), -58.1944, 1e-4);
  // Dry air cools the rain below the air temperature.
  EXPECT_LT(temWetBulb(290.0, 0.5, latentHeat(290.0)), 290.0);
}

// ---------------------------------------------------------------------------
// The explicit step

TEST(HeatBalance, StepOfOneHour) {
  // 116.3889 W.m-2 into 1 m of water for 3600 s: 419000 J / 4.19e6 = 0.1 K.
  EXPECT_NEAR(stepTemperature(280.0, 419000.0 / 3600.0, 1.0, 3600.0), 280.1, 1e-12);
  const Fluxes f{1.0, 2.0, 300.0, 310.0, 5.0, 7.0, 11.0, -13.0};
  // 100 - 2 - 1 + 300 - 310 - 5 - 7 + 11 - 13 = 73.
  EXPECT_DOUBLE_EQ(netHeatFlux(100.0, f), 73.0);
}

// Constant night weather in which the air temperature is the equilibrium:
// Ta = 290.15 K (no sediment flux at Tw = Ta), RH = 1 (no latent heat at
// Tw = Ta), no rain, and a cloud term that makes the sky emit as a black
// body at Ta, so that the longwave balances at Tw = Ta. Every term then
// pulls Tw towards Ta.
struct RelaxationCase {
  RelaxationCase() {
    weather.sinElevation = -0.5;
    weather.zenithAngle = kPi / 2.0;
    weather.refractionAngle = refracted(kPi / 2.0);
    weather.air = {290.15, 1.0, 101300.0, 3.0, 2.0};
    weather.fraCldCov = 1.0;
    weather.fraCldCovMidLow = 1.0;
    site.depth = 0.5;
    site.thiSed = 0.1;
    // (1 - 0.815342) x 5.67e-8 x 290.15^4 = 74.2066 W.m-2.
    site.facCldC1 = (1.0 - emissivityAir(290.15, 1.0)) * kStefanBoltzmann * std::pow(290.15, 4);
  }
  double step(double tw) const {
    return stepTemperature(tw, netHeatFlux(0.0, fluxes(weather, site, tw)), site.depth, 3600.0);
  }
  Weather weather;
  Site site;
};

TEST(HeatBalance, WaterTemperatureRelaxesTowardsTheAirTemperature) {
  const RelaxationCase c;
  EXPECT_NEAR(c.site.facCldC1, 74.2066, 1e-3);
  // At Ta itself every term is 0 within rounding.
  EXPECT_NEAR(netHeatFlux(0.0, fluxes(c.weather, c.site, 290.15)), 0.0, 1e-9);
  for (const double start : {275.15, 305.15}) {
    double tw = start;
    double distance = std::fabs(tw - 290.15);
    for (int hour = 0; hour < 24 * 20; ++hour) {
      const double next = c.step(tw);
      // Monotone: never beyond Ta, always closer, until rounding is all
      // that is left.
      if (distance > 1e-9) {
        EXPECT_TRUE(start < 290.15 ? next <= 290.15 : next >= 290.15) << hour;
        EXPECT_LT(std::fabs(next - 290.15), distance) << hour;
      }
      distance = std::fabs(next - 290.15);
      tw = next;
    }
    // Longwave 5, sensible 19, latent 34 and sediment 11 W.m-2.K-1 over
    // 0.5 m of water: 4.19e6 x 0.5 / 70 = 3e4 s, a time constant of some
    // eight hours, so twenty days leave nothing of the start.
    EXPECT_NEAR(tw, 290.15, 1e-6) << start;
  }
}

}  // namespace
}  // namespace korvan::heat
