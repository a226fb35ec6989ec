#include "substance/volatilisation.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "core/messages.hpp"
#include "input/calendar.hpp"
#include "substance/compounds.hpp"
#include "substance/compounds_test_input.hpp"

namespace korvan {
namespace {

using namespace compound_test;

constexpr double kTemRef = 293.15;  // 20 C

// A compound of 300 g.mol-1 with 0.01 Pa and 100 g.m-3 at 20 C:
// KH = 0.01 x 300 / (8.31432 x 293.15 x 100) = 1.2308485564969998e-05.
constexpr double kKH = 1.2308485564969998e-05;
// kl = (1/18000) x sqrt(44 / 300), kg = (1/120) x sqrt(18 / 300).
constexpr double kKl = 2.1276157950140845e-05;
constexpr double kKg = 0.002041241452319315;
// kv = 1 / (1/kl + 1/(KH kg)): the gas film limits this compound.
constexpr double kKv = 2.5094956816057144e-08;

// ---------------------------------------------------------------------------
// Two-film volatilisation

TEST(VolatilisationCoefficient, TwoFilmsInSeriesAboveTheHenryThreshold) {
  EXPECT_NEAR(cofVol(kKl, kKg, kKH), kKv, 1e-22);
  // A very volatile compound is limited by the liquid film alone.
  EXPECT_NEAR(cofVol(kKl, kKg, 1e6), kKl, 1e-7 * kKl);
  EXPECT_EQ(cofVol(kKl, kKg, 1e-12), 0.0);
  EXPECT_EQ(cofVol(kKl, kKg, 0.0), 0.0);
  EXPECT_GT(cofVol(kKl, kKg, 2e-12), 0.0);
}

TEST(VolatilisationFlux, TowardsEquilibriumWithTheAirNoneWithoutVapourPressure) {
  // Clean air: J = -kv x C, out of the water.
  EXPECT_NEAR(flmVol(0.01, kKv, 0.1, 0.0, kKH), -kKv * 0.1, 1e-24);
  // Air in equilibrium with the water (ConAir = KH x C): no net flux.
  EXPECT_NEAR(flmVol(0.01, kKv, 0.1, kKH * 0.1, kKH), 0.0, 1e-24);
  // More in the air than in equilibrium: uptake by the water.
  EXPECT_GT(flmVol(0.01, kKv, 0.1, kKH * 0.2, kKH), 0.0);
  EXPECT_EQ(flmVol(0.0, kKv, 0.1, 0.005, 0.0), 0.0);
  EXPECT_EQ(flmVol(0.0, kKv, 0.1, 0.005, kKH), 0.0);
}

// ---------------------------------------------------------------------------
// Volatilisation of the compounds

TEST(CompoundVolatilisation, CoefficientsAndFluxPerSegment) {
  // ConAir 0.005 is kept as 5e-6: the water approaches 5e-6 / KH.
  TestRun t(compoundInput({"CMP"}, compoundRecords("CMP") + "0.005 ConAir (kg.m-3)\n"));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  c.updateVolatilisationCoefficients(kTemRef);
  EXPECT_NEAR(c.cofHenry(1), kKH, 1e-19);
  EXPECT_NEAR(c.cofVol(1), kKv, 1e-22);
  EXPECT_EQ(c.slbWat(1), 100.0);
  EXPECT_NEAR(c.conLiqEquAir(1), 5e-6 / kKH, 1e-12);
  std::vector<double> conLiq = uniform(10, 0.1);
  conLiq[2] = 5e-6 / kKH;
  c.updateVolatilisation(1, conLiq);
  EXPECT_NEAR(c.flmVol(1, 1), -kKv * (0.1 - 5e-6 / kKH), 1e-22);
  EXPECT_NEAR(c.flmVol(2, 1), 0.0, 1e-22);
}

TEST(CompoundVolatilisation, NoVapourPressureNoFluxAlsoWithAirConcentration) {
  TestRun t(
      compoundInput({"CMP"}, compoundRecords("CMP", {{"PreVapRef", "0"}}) + "5 ConAir (kg.m-3)\n"));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  CompoundSegmentArray conLiq;
  conLiq.allocate(10, 1);
  for (int i = 1; i <= 10; ++i) conLiq(i, 1) = 0.1;
  c.updateVolatilisationCoefficients(kTemRef);
  c.updateVolatilisation(conLiq);
  EXPECT_EQ(c.cofHenry(1), 0.0);
  EXPECT_EQ(c.cofVol(1), 0.0);
  EXPECT_EQ(c.conLiqEquAir(1), 0.0);
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(c.flmVol(i, 1), 0.0);
}

// ---------------------------------------------------------------------------
// Solubility

double eightOClockFirstJanuary1980() {
  return calendar::timeOfDate({1980, 1, 1}) + 8.0 / 24.0;
}

TEST(CompoundSolubility, FirstExceedanceAtTheWaterTemperatureIsReportedOnce) {
  TestRun t(compoundInput({"CMP"}, compoundRecords("CMP")));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  // 140 g.m-3 lies below the 144.11 g.m-3 of 30 C and above the 100 of 20 C.
  EXPECT_FALSE(c.checkSolubility(1, uniform(10, 140.0), 0.0, kTemRef + 10.0));
  EXPECT_FALSE(c.solubilityExceeded());
  // A concentration equal to the solubility does not exceed it.
  EXPECT_FALSE(c.checkSolubility(1, uniform(10, 100.0), 0.0, kTemRef));
  std::vector<double> conLiq = uniform(10, 1.0);
  conLiq[4] = 150.0;
  conLiq[6] = 200.0;
  EXPECT_TRUE(c.checkSolubility(1, conLiq, eightOClockFirstJanuary1980(), kTemRef));
  EXPECT_TRUE(c.solubilityExceeded());
  const MessageRecord& m = t.run().messages().record();
  EXPECT_EQ(m.level, 1);
  EXPECT_EQ(m.lines[0], "Concentration in water layer of CMP exceeds solubility of 100.00 mg.L-1");
  EXPECT_EQ(m.lines[1], "in segment 4 at 01-Jan-1980-08h00 and temperature of 20.00");
  EXPECT_EQ(m.lines[2],
            "This is first occurence; check concentrations in out file for other occurences.");
  EXPECT_TRUE(t.run().messages().warningsOccurred());
  // Later exceedances are not reported.
  EXPECT_FALSE(c.checkSolubility(1, conLiq, eightOClockFirstJanuary1980() + 1.0, kTemRef));
  const Lines log = logOf(t);
  int blocks = 0;
  for (const auto& line : log) blocks += line.find("exceeds solubility") != std::string::npos;
  EXPECT_EQ(blocks, 1);
}

}  // namespace
}  // namespace korvan
