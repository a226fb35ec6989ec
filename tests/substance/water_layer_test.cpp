#include "substance/water_layer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "substance/sediment_test_input.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;

using sediment_test::chain;

class WaterLayerTest : public ::testing::Test {
 protected:
  WaterLayerTest() : t_(minimalInput()) { t_.setup(); }
  ~WaterLayerTest() override { t_.finish(); }
  TestRun t_;
  SedimentTop noSed_;
};

// --- A0, A1, A7 ------------------------------------------------------------------

TEST(SpatialWeight, EqualSegmentsGiveOneHalfASingleSegmentOne) {
  const std::vector<double> len = {0, 10, 10, 10, 10};
  const std::vector<double> x = {0, 5, 15, 25, 35};
  const std::vector<double> a = spatialWeights(len, x);
  for (int i = 1; i <= 4; ++i) EXPECT_DOUBLE_EQ(a[static_cast<std::size_t>(i)], 0.5) << i;
  EXPECT_DOUBLE_EQ(spatialWeights(std::vector<double>{0, 10}, std::vector<double>{0, 5})[1], 1.0);
}

TEST(Dispersion, InputIsConvertedAndFlooredFischerUsesTheFloorWithoutShear) {
  EXPECT_DOUBLE_EQ(cofDisPhsInput(864.0), 0.01);
  EXPECT_DOUBLE_EQ(cofDisPhsInput(0.0), 50.0 / 86400.0);
  EXPECT_DOUBLE_EQ(cofDisPhsFischer(0.273, 0.0, 0.0, 1.0, 0.5), kCofDisPhsMin);
  // c u^2 W^2 / (h u*) = 0.273 x 0.25 x 4 / (0.5 x 0.05) = 10.92 m2.s-1.
  EXPECT_NEAR(cofDisPhsFischer(0.273, 0.5, 0.05, 2.0, 0.5), 10.92, 1e-12);
  EXPECT_DOUBLE_EQ(fischerCoefficient(true, false), 0.273);
  EXPECT_DOUBLE_EQ(fischerCoefficient(false, true), 0.028);
  EXPECT_DOUBLE_EQ(fischerCoefficient(false, false), 0.0);
}

// Sub-steps of a daily TimStpWat, of an input one and of a calculated one
// (reduced by 2 % and dividing the hour).
TEST(WaterLayerTimeStep, DailyInputAndCalculatedSubSteps) {
  const struct {
    SubstanceTimeStep step;
    int numSteps;  // 0: not compared
    double dt;     // 0: not compared
  } cases[] = {
      {dailyTimeStep(600.0), 144, 600.0},
      // TimStpSed 500 s: 86400 / 500 = 172.8, so 173 sub-steps of 499.42 s.
      {dailyTimeStep(500.0), 173, 86400.0 / 173},
      {inputTimeStep(700.0, 3600.0), 5, 700.0},  // int(3600 / 700)
      // The smallest TimStpSed: 3600 / 0.001 sub-steps exactly.
      {inputTimeStep(700.0, 0.001), 3600000, 0.0},
      {inputTimeStep(700.0, 650.0), 6, 0.0},  // ceil(5.54)
      // The sediment's smaller step bounds the result: 500 -> 490 -> 8 steps.
      {calcTimeStep(1000.0, 500.0, false, 3600.0), 8, 0.0},
      // At most 720 s for a small KomSed: int(3600 / 720) + 1.
      {calcTimeStep(3000.0, 1e30, true, 3600.0), 6, 600.0},
      // The maximum step of MERIX.
      {calcTimeStep(1e9, 1e9, false, 1900.0), 1, 1900.0},
      {calcTimeStep(1e9, 1e9, false, 3600.0), 0, 3600.0},
      // The floor of 0.01 s.
      {calcTimeStep(0.005, 1e9, false, 3600.0), 360000, 0.01},
  };
  for (std::size_t n = 0; n < std::size(cases); ++n) {
    SCOPED_TRACE(n);
    if (cases[n].numSteps > 0) {
      EXPECT_EQ(cases[n].step.numSteps, cases[n].numSteps);
    }
    if (cases[n].dt > 0.0) {
      EXPECT_DOUBLE_EQ(cases[n].step.dt, cases[n].dt);
    }
  }
}

// --- Solver ---------------------------------------------------------------------

TEST_F(WaterLayerTest, SingleSegmentUpdate) {
  // One segment, inflow 0.1 m3.s-1 at 2 g.m-3, outflow at C, decay 1e-4 s-1:
  // C1 = (A C0 - dt (Q/dx + k A) C0 + dt Q/dx Cups) / A.
  WaterLayerInput in = chain(1, 100.0, 2.0, 0.1, 0.01, 60.0);
  in.compounds[0].cofTra = 1e-4;
  in.compounds[0].conSysUps = 2.0;
  WaterLayerSolver s(t_.run());
  s.allocate(1, 1, 0.5);
  s.solve(in, noSed_);
  const double expected =
      (2.0 * 0.5 - 60.0 * (0.1 / 100.0 + 1e-4 * 2.0) * 0.5 + 60.0 * 0.1 / 100.0 * 2.0) / 2.0;
  EXPECT_NEAR(s.conLiqWatLay()(1, 1), expected, 1e-15);
  EXPECT_DOUBLE_EQ(s.alpha()[1], 1.0);
}

TEST_F(WaterLayerTest, LinearSorptionConvergesAtSecondIterationFreundlichNeedsMore) {
  for (const double expFre : {1.0, 0.9}) {
    WaterLayerInput in = chain(3, 10.0, 1.0, 0.01, 0.1, 60.0);
    in.conSus = 15.0;
    in.cntOmSusSol = 0.1;
    if (expFre < 1.0) in.start.area.assign(4, 0.9);  // a rising water level changes the storage
    in.compounds[0].isoSusSol = FreundlichIsotherm::make(expFre < 1.0 ? 1e-2 : 1e-3, 1.0, expFre);
    WaterLayerSolver s(t_.run());
    s.allocate(3, 1, 1.0);
    s.solve(in, noSed_);
    if (expFre == 1.0) {
      EXPECT_EQ(s.iterations(1), 2);
    } else {
      EXPECT_GT(s.iterations(1), 2);
      EXPECT_LT(s.iterations(1), kMaxItWatLay);
    }
  }
}

TEST_F(WaterLayerTest, PositivityConditionFiveForOversizedTimeStep) {
  // Decay 1e-3 s-1 over 2000 s removes more than the storage: rdd < 0.
  WaterLayerInput in = chain(2, 10.0, 1.0, 0.0, 0.0, 2000.0);
  in.compounds[0].cofTra = 1e-3;
  WaterLayerSolver s(t_.run());
  const auto lines = t_.expectFatal([&] { s.solve(in, noSed_); });
  const std::string all = [&] {
    std::string r;
    for (const auto& l : lines) r += l + "\n";
    return r;
  }();
  EXPECT_NE(all.find("Positivity condition 5 (rdd >= 0) not fulfilled"), std::string::npos) << all;
  EXPECT_NE(all.find("At segment:   1 rdd is"), std::string::npos) << all;
  EXPECT_NE(all.find("Time step of   2000.00s is too large"), std::string::npos) << all;
}

TEST_F(WaterLayerTest, MassBalanceClosesFromTermContributions) {
  WaterLayerInput in = chain(4, 25.0, 1.2, 0.02, 0.5, 120.0);
  in.start.area = {0, 1.1, 1.15, 1.2, 1.25};
  in.start.qBou = {0.018, 0.02, 0.021, 0.022, 0.023};
  in.conSus = 15.0;
  in.cntOmSusSol = 0.1;
  in.amaMphWatLay = 5.0;
  in.thetaSat1 = 0.6;
  in.thiLay1 = 0.01;
  in.widSed.assign(5, 1.5);
  in.qSpg = {0, 1e-6, -1e-6, 2e-6, -2e-6};
  WaterLayerCompound& c = in.compounds[0];
  c.isoSusSol = FreundlichIsotherm::make(1e-2, 1.0, 0.9);
  c.cofSorMph = 1e-4;
  c.cofTra = 1e-6;
  c.cofVol = 1e-6;
  c.conLiqEquAir = 0.01;
  c.conSysUps = 0.3;
  c.ratFor.assign(5, 1e-7);
  c.ratAtmDep.assign(5, 1e-8);
  c.flmDra.assign(5, 1e-6);
  c.flmRnf.assign(5, 2e-6);
  CompoundSegmentArray sedCon;
  sedCon.allocate(4, 1);
  for (int i = 1; i <= 4; ++i) sedCon(i, 1) = 0.2 * i;
  const std::vector<double> dif = {1e-9};
  const SedimentTop sed{&sedCon, dif};
  WaterLayerSolver s(t_.run());
  s.allocate(4, 1, 0.0);
  for (int i = 1; i <= 4; ++i) s.conLiqWatLay()(i, 1) = 0.1 * i;
  s.solve(in, sed);
  const WaterLayerAmounts m = s.amounts(in, 1);
  // Every term is a coefficient times a concentration the update used, so
  // the sum equals the storage change to round-off of the sums (~1e-16 of
  // the amounts, here about 1 g).
  EXPECT_NEAR(m.storageChange, m.sum(), 1e-13);
  EXPECT_NEAR(m.internal, 0.0, 1e-14);
  EXPECT_LT(m.downstream, 0.0);
  EXPECT_GT(m.upstream, 0.0);
  EXPECT_NE(m.sediment, 0.0);
}

TEST_F(WaterLayerTest, LoadingSolveStartsFromTheStartOfStepStorage) {
  // No sorption; the water rises from 1.0 to 1.25 m2 over the step. 0.1 g.m-3
  // in 1 m2 plus a loading of 0.012 g.m-1 spread over 1.25 m2:
  // (1.0 x 0.1 + 0.012) / 1.25 = 0.0896 g.m-3.
  WaterLayerInput in = chain(1, 10.0, 1.0, 0.0, 1.0, 600.0);
  in.end.area[1] = 1.25;
  in.compounds[0].loaWatLay = {0.0, 0.012};
  WaterLayerSolver s(t_.run());
  s.allocate(1, 1, 0.1);
  s.solveLoading(in, noSed_);
  EXPECT_NEAR(s.conLiqWatLay()(1, 1), 0.0896, 1e-15);
  EXPECT_NEAR(s.amounts(in, 1).loa, 10.0 * 0.012, 1e-15);
}

TEST_F(WaterLayerTest, LoadingSolveOfLaterCompoundsIsTheOrdinarySolve) {
  // A closed segment; compound 2 decays at 1e-3 s-1 over 600 s and carries no
  // loading. Lowered after compound 1, the flag leaves compound 2 the ordinary
  // step: 0.2 x (1 - 0.6) = 0.08 g.m-3. Lowered after the last compound
  // (MERIX water course), compound 2 only stores: it keeps 0.2 g.m-3.
  for (const bool all : {false, true}) {
    WaterLayerInput in = chain(1, 10.0, 1.0, 0.0, 1.0, 600.0);
    in.compounds.resize(2);
    in.compounds[0].loaWatLay = {0.0, 0.012};
    in.compounds[1].cofTra = 1e-3;
    in.loadingAllCompounds = all;
    WaterLayerSolver s(t_.run());
    s.allocate(1, 2, 0.1);
    s.conLiqWatLay()(1, 2) = 0.2;
    s.solveLoading(in, noSed_);
    EXPECT_NEAR(s.conLiqWatLay()(1, 1), 0.1 + 0.012, 1e-15) << all;
    EXPECT_NEAR(s.conLiqWatLay()(1, 2), all ? 0.2 : 0.08, 1e-15) << all;
    EXPECT_NEAR(s.amounts(in, 2).tra, all ? 0.0 : -10.0 * 0.12, 1e-14) << all;
  }
}

TEST_F(WaterLayerTest, StableTimeStepKeepsRddNonNegative) {
  WaterLayerInput in = chain(5, 10.0, 1.0, 0.05, 1.0, 1.0);
  in.compounds[0].cofTra = 1e-4;
  WaterLayerSolver s(t_.run());
  s.allocate(5, 1, 1.0);
  const double dtMax = s.stableTimeStep(in, noSed_, false);
  in.dt = dtMax;
  s.solve(in, noSed_);
  double minRdd = 1e30;
  for (int i = 1; i <= 5; ++i) minRdd = std::min(minRdd, s.rdd(1)[static_cast<std::size_t>(i)]);
  // At the limit the smallest diagonal is 0 up to the rounding of the root.
  EXPECT_NEAR(minRdd, 0.0, 1e-12);
}

}  // namespace
}  // namespace korvan
