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
// One step by hand

TEST(SedimentSolver, ZeroSeepageLeavesOnlyDiffusion) {
  SedimentSolver s(column(2, 0.01, 1, 1, 1.0e-9));
  s.step(100.0, water(1, 1, 1.0));
  // Surface conductance W x ThetaSat x D / (0.5 ThiLay) = 0.5e-9 / 0.005 =
  // 1e-7 m2.s-1; storage 0.01 m2 x 0.5: C1 = 100 x 1e-7 / 0.005.
  EXPECT_DOUBLE_EQ(s.cofExcWatSed(1), 1.0e-7);
  EXPECT_NEAR(s.conLiqSed(1, 1, 1), 2.0e-3, 1e-17);
  EXPECT_EQ(s.conLiqSed(2, 1, 1), 0.0);
}

TEST(SedimentSolver, SeepageAddsDispersionAndNumericalDispersion) {
  SedimentSolverInput in = column(2, 0.01);
  in.conSysSedIni(1, 1) = 0.5;  // C(1) = 1, C(2) = 0
  for (double& q : in.flwWatSpgSed) q = 1.0e-7;
  SedimentSolver s(std::move(in));
  s.step(100.0, water(1, 1, 0.0));
  // Interface 1: v = 1e-7 m.s-1; dispersion 0.01 x v / 0.5 times porosity
  // 0.5 gives 1e-9; the time part of the numerical dispersion, v^2 dt /
  // (2 R) = 1e-14 x 100 / 1 = 1e-12, is taken off (added back); over the
  // distance 0.01 m: G = 1e-7 + 1e-10. Layer 2 receives
  // dt (q (1 - alpha) + G) x C0(1) into a storage of 0.005.
  const double g = 1.0e-7 + 1.0e-10;
  EXPECT_NEAR(s.conLiqSed(2, 1, 1), 100.0 * (0.5e-7 + g) / 0.005, 1e-15);
}

// ---------------------------------------------------------------------------
// Against analytical solutions

TEST(SedimentTransport, DiffusionIntoDeepSedimentFollowsErfc) {
  // 300 layers of 1 mm; constant water concentration 1 g.m-3 above; linear
  // sorption R = 0.5 + 1 = 1.5; D = 1e-9 m2.s-1, so the apparent diffusion
  // coefficient is 0.5 x 1e-9 / 1.5. After 10 days the penetration depth
  // 2 sqrt(Da t) is 0.034 m, far above the bottom at 0.3 m.
  const int layers = 300;
  const double thi = 0.001;
  SedimentSolverInput in = column(layers, thi, 1, 1, 1.0e-9);
  setKom(in, 1, 2.0e-5);
  SedimentSolver s(std::move(in));
  const double dt = 300.0;  // stable below R dz^2 / (2 theta D) = 1500 s
  const int steps = 2880;   // 10 days
  const CompoundSegmentArray w = water(1, 1, 1.0);
  for (int n = 0; n < steps; ++n) s.step(dt, w);
  const double da = 0.5 * 1.0e-9 / 1.5;
  const double t = dt * steps;
  for (int j = 1; j <= 60; ++j) {
    const double z = (j - 0.5) * thi;
    const double exact = std::erfc(z / (2.0 * std::sqrt(da * t)));
    // Second-order in space with 34 layers over the penetration depth, the
    // half-layer distance to the surface, and first order in time: the
    // error stays below 0.5 % of the surface concentration.
    EXPECT_NEAR(s.conLiqSed(j, 1, 1), exact, 5e-3) << "layer " << j;
  }
}

TEST(SedimentTransport, FirstOrderDecayInClosedColumn) {
  SedimentSolverInput in = column(4, 0.01);
  setKom(in, 1, 2.0e-5);
  const double k = std::log(2.0) / (10.0 * 86400.0);  // DT50 10 d
  for (int j = 1; j <= 4; ++j) {
    in.conSysSedIni(j, 1) = 1.0 + j;
    in.cofTraSed(j, 1) = k;
  }
  SedimentSolver s(std::move(in));  // no diffusion, no seepage: closed
  s.initialise();
  const double dt = 600.0;
  const int steps = 4320;  // 30 days
  for (int n = 0; n < steps; ++n) s.step(dt, water(1, 1, 0.0));
  const double t = dt * steps;
  for (int j = 1; j <= 4; ++j) {
    const double c0 = (1.0 + j) / 1.5;
    // Explicit Euler gives (1 - k dt)^n; its relative distance to exp(-k t)
    // is about k^2 dt t / 2 = 5.0e-4.
    const double tol = 0.5 * k * k * dt * t * 1.1;
    EXPECT_NEAR(s.conLiqSed(j, 1, 1) / (c0 * std::exp(-k * t)), 1.0, tol);
  }
}

// ---------------------------------------------------------------------------
// Mass balance

// Uneven layers and widths, Freundlich sorption, diffusion, dispersion,
// seepage, transformation, formation and erosion under two segments.
SedimentSolverInput busyColumn(double seepage) {
  SedimentSolverInput in = column(5, 0.01, 2, 2, 5.0e-10);
  const double thi[] = {0, 0.002, 0.004, 0.01, 0.02, 0.05};
  for (int j = 0; j <= 5; ++j) {
    in.widSedInterface[j] = 1.0 + 0.2 * j;
    if (j > 0) {
      in.thiLay[j] = thi[j];
      in.widSedLayer[j] = 0.9 + 0.2 * j;
      in.thetaSat[j] = 0.7 - 0.05 * j;
    }
    in.flwWatSpgSed[j] = seepage;
  }
  in.widRefSpg = 1.0;
  in.conWatSpg = 0.3;
  in.numLayErs = 2;
  for (int k = 1; k <= 2; ++k) {
    setKom(in, k, 1.0e-5 * k, 0.9);
    for (int j = 1; j <= 5; ++j) {
      in.conSysSedIni(j, k) = k == 1 ? 2.0 / j : 0.0;
      in.cofTraSed(j, k) = 1.0e-6;
      for (int i = 1; i <= 2; ++i) in.ratForSed(j, i, k) = k == 2 ? 1.0e-7 * i : 0.0;
    }
  }
  return in;
}

void expectBalanceCloses(SedimentSolver& s) {
  using T = SedimentSolver::Term;
  using B = SedimentSolver::Boundary;
  for (int k = 1; k <= 2; ++k) {
    for (int i = 1; i <= 2; ++i) {
      const double storage = s.columnSum(T::Storage, i, k);
      const double adv = s.columnSum(T::Advection, i, k);
      const double dis = s.columnSum(T::Dispersion, i, k);
      const double sum = adv + dis + s.columnSum(T::Transformation, i, k) +
                         s.columnSum(T::Formation, i, k) + s.columnSum(T::Erosion, i, k);
      // Round-off of sums of a few dozen terms of order 1e-2 g.
      EXPECT_NEAR(storage, sum, 1e-15) << "segment " << i << " compound " << k;
      // The inner interfaces cancel: only the boundaries remain.
      EXPECT_NEAR(adv, s.boundary(B::SurfaceAdvection, i, k) + s.boundary(B::Bottom, i, k), 1e-16);
      EXPECT_NEAR(dis, s.boundary(B::SurfaceDiffusion, i, k), 1e-16);
    }
  }
}

// Downward seepage with erosion, upward seepage without.
TEST(SedimentSolver, MassBalanceOfAStepClosesFromTheTermsWithSeepageEitherWay) {
  SedimentSolver down(busyColumn(2.0e-8));
  CompoundSegmentArray ers = water(2, 2, 1.0e-6);
  SedimentSolver up(busyColumn(-2.0e-8));
  for (int n = 0; n < 3; ++n) {
    down.step(60.0, water(2, 2, 0.4), &ers);
    up.step(60.0, water(2, 2, 0.4));
  }
  expectBalanceCloses(down);
  expectBalanceCloses(up);
  // The erosion of a step is spread over the layers to ThiLayErs and sums
  // to the whole flux.
  EXPECT_NEAR(down.columnSum(SedimentSolver::Term::Erosion, 1, 1), 60.0 * 1.0e-6, 1e-20);
  EXPECT_LT(down.boundary(SedimentSolver::Boundary::Bottom, 1, 1), 0.0);  // leaves downwards
  // ConWatSpg enters at the bottom: 60 s x 2e-8 m2.s-1 x 0.3 g.m-3.
  EXPECT_DOUBLE_EQ(up.boundary(SedimentSolver::Boundary::Bottom, 1, 1), 60.0 * 2.0e-8 * 0.3);
}

TEST(SedimentSolver, StorageMatchesSystemContentWithinConvergenceTolerance) {
  SedimentSolver s(busyColumn(2.0e-8));
  s.step(60.0, water(2, 2, 0.4));
  // The storage change uses Kd at the last iterate; the system content at
  // the new concentration differs by the convergence tolerance 1e-7
  // relative, times (1 - ExpFreSed).
  const SedimentSolverInput& in = s.input();
  double change = 0.0, tol = 0.0;
  for (int j = 1; j <= 5; ++j) {
    const auto sys = [&](double c) {
      return s.areaLayer(j) * (in.thetaSat[j] + in.rho[j] * in.isotherm[0].kd(in.cntOm[j], c)) * c;
    };
    change += sys(s.conLiqSed(j, 1, 1)) - sys(s.conLiqSedStart(j, 1, 1));
    tol += 1e-7 * sys(s.conLiqSed(j, 1, 1));
  }
  EXPECT_NEAR(change, s.columnSum(SedimentSolver::Term::Storage, 1, 1), tol);
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

TEST(SedimentSolver, NegativeConcentrationStopsWithLayerAndSegment) {
  SedimentSolver s(column(2, 0.01, 3, 1, 1.0e-9));
  CompoundSegmentArray w = water(3, 1, 0.0);
  w(2, 1) = -1.0;  // a negative source under segment 2
  const SedimentSolverStop stop = stopOf([&] { s.step(10.0, w); });
  EXPECT_EQ(stop.lines[0], "Negative concentration of compound encountered in sediment layer    1");
  EXPECT_EQ(stop.lines[1], "under water layer segment    2");
  EXPECT_EQ(stop.lines[2], "This error should not occur - please report");
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
