#include "substance/sediment_solver.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "substance/sediment_test_input.hpp"

namespace korvan {
namespace {

using sediment_test::column;
using sediment_test::water;

// Linear sorption with rho x Kd = 1e6 x 0.05 x kom.
void setKom(SedimentSolverInput& in, int k, double kom, double expFre = 1.0) {
  in.isotherm[k - 1] = FreundlichIsotherm::make(kom, 1.0, expFre);
}

SedimentSolverStop stopOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const SedimentSolverStop& stop) {
    return stop;
  }
  ADD_FAILURE() << "no fatal error";
  return {};
}

// A column that holds no substance and gets none keeps the Kd of zero
// concentration (the isotherm's lower limit), whatever column was solved
// before it: its iterates do not move, so the Kd of the start holds.
TEST(SedimentSolver, ColumnWithoutSubstanceKeepsTheKdOfTheLowerLimit) {
  for (int threads : {1, 2}) {
    SedimentSolverInput in = column(6, 0.01, 2, 1, 1e-9);
    setKom(in, 1, 1e-5, 0.8);
    for (int j = 1; j <= 6; ++j) in.conSysSedIni(j, 1) = 0.0;
    SedimentSolver s(in);
    s.setThreads(threads);
    CompoundSegmentArray w = water(2, 1, 0.0);
    w(1, 1) = 5.0;  // only the first column takes substance
    for (int step = 0; step < 3; ++step) s.step(600.0, w);
    const double kdZero = 0.05 * 1e-5 * in.isotherm[0].frozen;
    for (int j = 1; j <= 6; ++j) {
      EXPECT_EQ(s.conLiqSed(j, 2, 1), 0.0);
      EXPECT_EQ(s.kdSed(j, 2, 1), kdZero) << "layer " << j << ", threads " << threads;
    }
    EXPECT_GT(s.conLiqSed(1, 1, 1), 0.0);
  }
}

// ---------------------------------------------------------------------------
// Initial partitioning

TEST(SedimentSolver, InitialPartitioningLinearDividesByThetaPlusRhoKd) {
  SedimentSolverInput in = column(3, 0.01, 2, 2);
  setKom(in, 1, 2.0e-5);  // rho x Kd = 1e6 x 0.05 x 2e-5 = 1
  for (int j = 1; j <= 3; ++j) in.conSysSedIni(j, 1) = 3.0;
  SedimentSolver s(std::move(in));
  s.initialise();
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 3; ++j) {
      EXPECT_DOUBLE_EQ(s.conLiqSed(j, i, 1), 3.0 / 1.5);
      EXPECT_DOUBLE_EQ(s.conLiqSedStart(j, i, 1), 3.0 / 1.5);
      EXPECT_EQ(s.conLiqSed(j, i, 2), 0.0);  // compounds from 2 on start empty
    }
  }
}

TEST(SedimentSolver, InitialPartitioningFreundlichMeetsItsStoppingRule) {
  SedimentSolverInput in = column(1, 0.01);
  setKom(in, 1, 2.0e-5, 0.8);
  in.conSysSedIni(1, 1) = 5.0;
  SedimentSolver s(std::move(in));
  s.initialise();
  const double c = s.conLiqSed(1, 1, 1);
  // C = ConSysSed / (ThetaSat + rho x Kd(C)) holds to the relative stopping
  // tolerance 1e-4 of the fixed point (one more contraction step inside it).
  const double kd = 0.05 * 2.0e-5 * std::pow(c / 1.0, -0.2);
  EXPECT_NEAR(c, 5.0 / (0.5 + 1.0e6 * kd), 1e-4 * c);
}

// ---------------------------------------------------------------------------
// Messages

TEST(SedimentSolver, PositivityMessagesOfEveryCondition) {
  EXPECT_EQ(positivityViolation(1e-9, 1, 0, 0, 0, 0), 1);
  EXPECT_EQ(positivityViolation(0, -1, 0, 0, 0, 0), 2);
  EXPECT_EQ(positivityViolation(0, 1, 1e-9, 0, 0, 0), 3);
  EXPECT_EQ(positivityViolation(0, 1, 0, -1, 0, 0), 4);
  EXPECT_EQ(positivityViolation(0, 1, 0, 0, -1, 0), 5);
  EXPECT_EQ(positivityViolation(0, 1, 0, 0, 0, -1), 6);
  EXPECT_EQ(positivityViolation(0, 0, 0, 0, 0, 0), 0);
  const char* first[] = {"Positivity condition 1 (lbd =< 0) not fulfilled",
                         "Positivity condition 2 (ldd >= 0) not fulfilled",
                         "Positivity condition 3 (lod =< 0) not fulfilled",
                         "Positivity condition 4 (rbd >= 0) not fulfilled",
                         "Positivity condition 5 (rdd >= 0)not fulfilled",
                         "Positivity condition 6 (rod >= 0) not fulfilled"};
  const char* name[] = {"lbd", "ldd", "lod", "rbd", "rdd", "rod"};
  for (int c = 1; c <= 6; ++c) {
    const auto lines = positivityMessage(c, 7, -2.5);
    EXPECT_EQ(lines[0], first[c - 1]);
    EXPECT_EQ(lines[1], std::string("At layer:    7 ") + name[c - 1] + " is -2.50000E+00");
    EXPECT_EQ(lines[2], c == 6 ? "Take smaller time stepTimStpSed for sedimentlayer"
                               : "Take smaller time step TimStpSed for sedimentlayer");
  }
}

TEST(SedimentSolver, StepsThatBreakPositivityStopWithTheirCondition) {
  SedimentSolverInput thin = column(3, 0.001, 1, 1, 1.0e-9);  // too large a time step
  // Layers of 5 cm, five times the dispersion length: the weight of the
  // lower neighbour, dispersion minus half the seepage, goes negative.
  SedimentSolverInput seeping = column(3, 0.05);
  for (double& q : seeping.flwWatSpgSed) q = 1.0e-8;
  SedimentSolverInput negative = column(2, 0.01);
  setKom(negative, 1, -1.0e-4);  // rho x Kd = -5: a negative storage
  const struct {
    const SedimentSolverInput& in;
    double dt, conWat;
    std::string first, second;
  } cases[] = {
      {thin, 1.0e5, 1.0, "Positivity condition 5 (rdd >= 0)not fulfilled", "At layer:    1 rdd"},
      {seeping, 1.0, 0.0, "Positivity condition 4 (rbd >= 0) not fulfilled", "At layer: "},
      {negative, 1.0, 0.0, "Positivity condition 2 (ldd >= 0) not fulfilled", "At layer: "}};
  for (const auto& c : cases) {
    SedimentSolver s(c.in);
    const SedimentSolverStop stop = stopOf([&] { s.step(c.dt, water(1, 1, c.conWat)); });
    EXPECT_EQ(stop.routine, "SolveSediment");
    EXPECT_EQ(stop.lines[0], c.first);
    EXPECT_EQ(stop.lines[1].substr(0, c.second.size()), c.second);
  }
}

TEST(SedimentSolver, NonConvergingSorptionStopsAfterFiftyIterations) {
  SedimentSolverInput in = column(1, 0.01, 1, 1, 1.0e-9);
  // A steep isotherm (exponent 3): diffusion brings 0.01 g.m-1 into an empty
  // layer of 0.01 m2, so the iterate is C -> 1 / (0.5 + 50 C^2), whose slope
  // at the fixed point (C = 0.26) is about -1.7: the iteration settles on a
  // two-cycle instead of converging.
  setKom(in, 1, 1.0e-3, 3.0);
  SedimentSolver s(std::move(in));
  const SedimentSolverStop stop = stopOf([&] { s.step(100.0, water(1, 1, 1000.0)); });
  EXPECT_EQ(stop.lines[0],
            "Number of iterations for sediment needed is greater than maximum number of 50");
  EXPECT_EQ(stop.lines[1], "This error should not occur - please report");
}

// Of several columns that fail in one step, the first in the order of the
// columns is reported, whichever columns are solved together or on which
// thread.
TEST(SedimentSolver, NegativeConcentrationStopsWithLayerAndSegment) {
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(threads);
    SedimentSolver s(column(2, 0.01, 12, 1, 1.0e-9));
    s.setThreads(threads);
    CompoundSegmentArray w = water(12, 1, 0.0);
    w(2, 1) = -1.0;  // a negative source under segment 2
    w(9, 1) = -5.0;  // and under segment 9
    const SedimentSolverStop stop = stopOf([&] { s.step(10.0, w); });
    EXPECT_EQ(stop.lines[0],
              "Negative concentration of compound encountered in sediment layer    1");
    EXPECT_EQ(stop.lines[1], "under water layer segment    2");
    EXPECT_EQ(stop.lines[2], "This error should not occur - please report");
  }
}

// ---------------------------------------------------------------------------
// Time step

TEST(SedimentSolver, LargestStableStepIsWhereTheDiagonalTurnsNegative) {
  for (double seepage : {0.0, 3.0e-8}) {
    SedimentSolverInput in = column(4, 0.002, 1, 1, 1.0e-9);
    setKom(in, 1, 2.0e-5);
    for (int j = 1; j <= 4; ++j) in.cofTraSed(j, 1) = 1.0e-6;
    for (double& q : in.flwWatSpgSed) q = seepage;
    SedimentSolver probe(in);
    const double dtMax = probe.maxStableTimeStep(1);
    ASSERT_TRUE(std::isfinite(dtMax));
    SedimentSolver below(in);
    EXPECT_NO_THROW(below.step(0.999 * dtMax, water(1, 1, 0.0)));
    SedimentSolver above(in);
    EXPECT_EQ(stopOf([&] { above.step(1.001 * dtMax, water(1, 1, 0.0)); }).lines[0],
              "Positivity condition 5 (rdd >= 0)not fulfilled");
  }
}

}  // namespace
}  // namespace korvan
