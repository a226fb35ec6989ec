#include "substance/sorption.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <vector>

#include "substance/compound_arrays.hpp"
#include "substance/compounds.hpp"
#include "substance/compounds_test_input.hpp"

namespace korvan {
namespace {

using namespace compound_test;

// ---------------------------------------------------------------------------
// Freundlich isotherm

TEST(FreundlichSorption, ExponentOneIsLinearWhateverTheReference) {
  for (double cRef : {1e-6, 1.0, 100.0}) {
    EXPECT_EQ(freundlichKd(0.1, 1e-3, 5.0, cRef, 1.0), 0.1 * 1e-3) << cRef;
  }
  // Within 1e-9 of 1 counts as 1.
  EXPECT_EQ(freundlichKd(0.1, 1e-3, 5.0, 2.0, 1.0 + 5e-10), 0.1 * 1e-3);
  EXPECT_NE(freundlichKd(0.1, 1e-3, 5.0, 2.0, 1.0 + 2e-9), 0.1 * 1e-3);
}

TEST(FreundlichSorption, BelowTheLowerLimitTheTermIsFrozen) {
  // n = 0.9, Cref = 1, C = 0: Kd = 1e-4 x (1e-15 / 1)^-0.1 = 1e-4 x 10^1.5,
  // finite although C^(n - 1) has no value at 0.
  EXPECT_NEAR(freundlichFrozenFactor(1.0, 0.9), 31.622776601683793, 1e-12);
  EXPECT_NEAR(freundlichKd(0.1, 1e-3, 0.0, 1.0, 0.9), 3.1622776601683795e-03, 1e-17);
  // Negative (round-off) concentrations take the same value; at the limit the
  // frozen value joins the power law.
  EXPECT_EQ(freundlichKd(0.1, 1e-3, -1e-20, 1.0, 0.9), freundlichKd(0.1, 1e-3, 0.0, 1.0, 0.9));
  EXPECT_NEAR(freundlichKd(0.1, 1e-3, 1e-15, 1.0, 0.9),
              freundlichKd(0.1, 1e-3, 1.000001e-15, 1.0, 0.9), 1e-9);
}

// The coefficients of a row of segments at once: the frozen factor below the
// lower limit and the linear value exactly; the power law within 2 units in
// the last place of the one-at-a-time value (the vector power may differ
// from std::pow in the last place, and kdRef x power rounds once more).
TEST(FreundlichSorption, ARowOfCoefficientsIsTheCoefficientOfEachSegment) {
  const double conLiq[] = {-7.0, 0.0,   1e-15,  1.0000001e-15, 3e-9, 0.02, 1.0,
                           5.5,  123.0, -1e-20, 7e-4,          2.5,  1e5,  1e-12};
  const int n = static_cast<int>(std::size(conLiq)) - 1;  // index 0 unused
  for (double expFre : {0.9, 0.7, 1.0, 1.05, 0.3}) {
    for (double cRef : {1.0, 0.25}) {
      const FreundlichIsotherm iso = FreundlichIsotherm::make(2e-3, cRef, expFre);
      std::vector<double> kd(conLiq + 0, conLiq + n + 1);
      iso.kdArray(0.07, conLiq, kd.data(), n);
      for (int i = 1; i <= n; ++i) {
        const double want = iso.kd(0.07, conLiq[i]);
        SCOPED_TRACE(::testing::Message()
                     << "n " << expFre << " cRef " << cRef << " C " << conLiq[i]);
        if (iso.linear || conLiq[i] <= kConLiqMinFre) {
          EXPECT_EQ(kd[i], want);
        } else {
          EXPECT_NEAR(kd[i], want, 2.0 * std::ldexp(std::fabs(want), -52));
        }
      }
      EXPECT_EQ(kd[0], conLiq[0]) << "position 0 is left alone";
    }
  }
}

// ---------------------------------------------------------------------------
// Total concentrations

TEST(SorptionTotalConcentration, WaterLayerIsLiquidTimesOnePlusSorptionCapacities) {
  // C = 0.5 g.m-3, Kd = 1e-3 m3.g-1 on 15 g.m-3 of suspended solids,
  // CofSorMph = 1e-4 m3.g-1 on 50 g.m-2 x P 3 m / A 1.5 m2 = 100 g.m-3 of plants:
  // 0.5 x (1 + 15 x 1e-3 + 100 x 1e-4) = 0.5 x 1.025 = 0.5125 g.m-3.
  EXPECT_NEAR(amaMphPerVolume(50.0, 3.0, 1.5), 100.0, 1e-13);
  EXPECT_NEAR(conSysWatLay(0.5, 15.0, 1e-3 * 0.5, 50.0, 3.0, 1.5, 1e-4 * 0.5), 0.5125, 1e-15);
  // A dry segment has no water for the plants to take from.
  EXPECT_EQ(amaMphPerVolume(50.0, 3.0, 0.0), 0.0);
}

TEST(SorptionTotalConcentration, PartitioningFindsTheDissolvedPartOfATotal) {
  // Linear: capacity 1.25 gives 0.8 at the second iterate. Freundlich with
  // exponent 0.9 (capacity 1 + C^-0.1): the fixed point of C + C^0.9 = 1, to
  // the relative step 1e-4 of the iteration; a total of 0 stays 0.
  EXPECT_DOUBLE_EQ(partitionFixedPoint(1.0, [](double) { return 1.25; }), 0.8);
  const double c = partitionFixedPoint(1.0, [](double x) { return 1.0 + std::pow(x, -0.1); });
  EXPECT_NEAR(c + std::pow(c, 0.9), 1.0, 1e-4);
  EXPECT_EQ(partitionFixedPoint(0.0, [](double) { return 2.0; }), 0.0);
}

TEST(SorptionTotalConcentration, SedimentIsPoreWaterPlusSorbed) {
  // 0.6 x 0.5 g.m-3 + 8e5 g.m-3 x (1e-5 m3.g-1 x 0.5 g.m-3) = 0.3 + 4 = 4.3 g.m-3.
  EXPECT_NEAR(conSysSed(0.6, 0.5, 8e5, 1e-5 * 0.5), 4.3, 1e-14);
}

// ---------------------------------------------------------------------------
// Sorption of the compounds in the water layer and the sediment

TEST(CompoundSorption, LinearSorptionInTheWaterLayerWithPlants) {
  TestRun t(compoundInput(
      {"C", "MET"},
      compoundRecords("C", {{"ExpFreSusSol", "1"}}) +
          compoundRecords("MET", {{"ExpFreSusSol", "1"}, {"KomSusSol", "0"}, {"CofSorMph", "0"}})));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  const std::vector<double> conLiq = uniform(10, 2.0);
  c.updateSorptionWater(1, conLiq);
  c.updateConSysWatLay(1, conLiq);
  // Kd = 0.1 x 1000 L.kg-1 / 1e6 = 1e-4 m3.g-1; CofSorMph = 100 x 1e-6 = 1e-4.
  // S = 15 x 1e-4 = 0.0015; M = 1e-4 x 50 x P / A with A = 1.125 m2 and
  // P = 2 + 2 x 0.5 x sqrt(1 + 0.25) = 3.118033988749895 m: M = 0.013857928838888423.
  // ConSysWatLay = 2 x (1 + 0.0015 + 0.013857928838888423) = 2.030715857677777.
  for (int i = 1; i <= 10; ++i) {
    EXPECT_DOUBLE_EQ(c.kdSusSol(i, 1), 1e-4);
    EXPECT_DOUBLE_EQ(c.cntSorSusSol(i, 1), 2e-4);
    EXPECT_DOUBLE_EQ(c.cntSorMph(i, 1), 2e-4);
    EXPECT_NEAR(c.conSysWatLay(i, 1), 2.030715857677777, 1e-14);
  }
}

TEST(CompoundSorption, FreundlichInTheSedimentWithItsOwnReference) {
  TestRun t(compoundInput({"CMP"},
                          compoundRecords("CMP", {{"ConLiqRefSed", "0.1"}, {"ExpFreSed", "0.8"}})));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  std::vector<double> conLiq = {0.0, 1.0, 0.0};
  c.updateSorptionSed(1, 1, conLiq);
  // C / Cref = 10: Kd = 9e-5 x 10^-0.2 = 9e-5 x 0.6309573444801932.
  EXPECT_NEAR(c.kdSed(1, 1, 1), 9e-5 * 0.6309573444801932, 1e-19);
  // C = 0: Kd = 9e-5 x (1e-15 / 0.1)^-0.2 = 9e-5 x 10^2.8.
  EXPECT_NEAR(c.kdSed(2, 1, 1), 9e-5 * std::pow(10.0, 2.8), 1e-15);
}

// The sediment's phases from the solver's concentrations and coefficients
// in one pass: the values of the isotherm's own update where the
// coefficients are the isotherm's (bit for bit), and the coefficients given
// where they are not.
TEST(CompoundSorption, SedimentPhasesFromGivenCoefficientsMatchTheIsotherm) {
  TestRun t(compoundInput({"CMP", "MET"},
                          compoundRecords("CMP", {{"ConLiqRefSed", "0.1"}, {"ExpFreSed", "0.8"}}) +
                              compoundRecords("MET", {{"ExpFreSed", "1"}})));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  const int numSeg = 10, numLay = 2;
  CompoundSedimentArray conLiq, kd;
  conLiq.allocate(numLay, numSeg, 2);
  kd.allocate(numLay, numSeg, 2);
  for (int k = 1; k <= 2; ++k) {
    for (int i = 1; i <= numSeg; ++i) {
      for (int j = 1; j <= numLay; ++j) conLiq(j, i, k) = i == 3 ? 0.0 : 0.37 * i * j / k;
    }
  }
  std::vector<double> kdWant, sorbedWant, totalWant;
  for (int k = 1; k <= 2; ++k) {
    for (int i = 1; i <= numSeg; ++i) {
      const auto column = conLiq.values(i, k);
      c.updateSorptionSed(i, k, column);
      c.updateConSysSed(i, k, column);
      for (int j = 1; j <= numLay; ++j) {
        kd(j, i, k) = c.kdSed(j, i, k);
        kdWant.push_back(c.kdSed(j, i, k));
        sorbedWant.push_back(c.cntSorSed(j, i, k));
        totalWant.push_back(c.conSysSed(j, i, k));
      }
    }
  }
  kd(2, 4, 1) = 0.5;  // a coefficient the solver kept: taken as it is
  c.updateSediment(conLiq, kd);
  std::size_t n = 0;
  for (int k = 1; k <= 2; ++k) {
    for (int i = 1; i <= numSeg; ++i) {
      for (int j = 1; j <= numLay; ++j, ++n) {
        SCOPED_TRACE(::testing::Message() << "layer " << j << " segment " << i << " cmp " << k);
        if (k == 1 && i == 4 && j == 2) {
          EXPECT_EQ(c.kdSed(j, i, k), 0.5);
          EXPECT_EQ(c.cntSorSed(j, i, k), 0.5 * conLiq(j, i, k));
          continue;
        }
        EXPECT_EQ(c.kdSed(j, i, k), kdWant[n]);
        EXPECT_EQ(c.cntSorSed(j, i, k), sorbedWant[n]);
        EXPECT_EQ(c.conSysSed(j, i, k), totalWant[n]);
      }
    }
  }
}

}  // namespace
}  // namespace korvan
