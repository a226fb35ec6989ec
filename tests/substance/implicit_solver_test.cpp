#include "substance/implicit_solver.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <numbers>

#include "substance/sediment_test_input.hpp"

namespace korvan {
namespace {

using sediment_test::column;
using sediment_test::water;

// The sediment of numSeg segments without layers, for a single compound.
CompoundSedimentArray noSediment(int numSeg) {
  CompoundSedimentArray cs;
  cs.allocate(0, numSeg, 1);
  return cs;
}

// A water layer of numSeg segments of 10 m, stagnant unless the caller sets
// a discharge, without sorption.
WaterLayerInput waterLayer(int numSeg, int compounds, double dt, double area = 1.0) {
  return sediment_test::chain(numSeg, 10.0, area, 0.0, 1e-3, dt, compounds, 1.0);
}

FormationFractions noFormation(int compounds) {
  FormationFractions f;
  f.water.allocate(compounds);
  f.sediment.allocate(compounds);
  return f;
}

// ---------------------------------------------------------------------------
// Analytical solutions

// First-order decay in stagnant water without sediment: backward Euler gives
// C_n = C_0 / (1 + k dt)^n exactly; against C_0 exp(-k t) its error is
// C_0 exp(-k t) k^2 dt t / 2 to first order in dt, so it halves with dt.
TEST(ImplicitSolver, DecayInStagnantWaterFollowsBackwardEulerAndConvergesToExponential) {
  const double k = std::log(2.0) / 86400.0;  // DT50 of one day
  const double tEnd = 2.0 * 86400.0;
  double previousError = 0.0;
  for (const double dt : {3600.0, 1800.0, 900.0, 450.0}) {
    WaterLayerInput in = waterLayer(3, 1, dt);
    in.compounds[0].cofTra = k;
    SedimentSolverInput sed = column(0, 0.0, 3, 1, 0.0);
    CompoundSegmentArray c = water(3, 1, 1.0);
    CompoundSedimentArray cs = noSediment(3);
    ImplicitSolver solver;
    const int steps = static_cast<int>(tEnd / dt);
    for (int n = 0; n < steps; ++n) ASSERT_TRUE(solver.solve(in, sed, noFormation(1), c, cs));
    const double recursion = std::pow(1.0 + k * dt, -steps);
    const double exact = std::exp(-k * tEnd);
    const double error = c(2, 1) - exact;
    EXPECT_NEAR(c(2, 1), recursion, 1e-13 * recursion) << dt;
    EXPECT_NEAR(error, exact * k * k * dt * tEnd / 2.0, 0.05 * exact * k * k * dt * tEnd) << dt;
    if (previousError > 0.0) {
      EXPECT_NEAR(error / previousError, 0.5, 0.01) << dt;
    }
    previousError = error;
  }
}

// Decay with strongly curved Freundlich sorption to suspended solids
// (exponent 0.5) over one step of a day: backward Euler asks for S(C1) (1 + k
// dt) = S(C0) with S(C) = C (1 + ConSus Kd(C)), which bisection solves to
// round-off. Newton reaches it within the relative 1e-10 of its tolerance
// although it stops on a step of up to 1e-6, without a step that only
// confirms the one before.
TEST(ImplicitSolver, FreundlichSorptionConvergesToTheToleranceWithoutAConfirmingStep) {
  const double dt = 86400.0;
  const double k = std::log(2.0) / dt;
  WaterLayerInput in = waterLayer(3, 1, dt);
  in.compounds[0].cofTra = k;
  in.conSus = 1000.0;
  in.cntOmSusSol = 0.1;
  in.compounds[0].isoSusSol = FreundlichIsotherm::make(0.01, 1.0, 0.5);
  const auto storage = [&](double c) {
    return c * (1.0 + in.conSus * in.compounds[0].isoSusSol.kd(in.cntOmSusSol, c));
  };
  const double target = storage(1.0) / (1.0 + k * dt);
  double lo = 0.0, hi = 1.0;
  for (int n = 0; n < 200; ++n) (storage(0.5 * (lo + hi)) < target ? lo : hi) = 0.5 * (lo + hi);
  SedimentSolverInput sed = column(0, 0.0, 3, 1, 0.0);
  CompoundSegmentArray c = water(3, 1, 1.0);
  CompoundSedimentArray cs = noSediment(3);
  ImplicitSolver solver;
  ASSERT_TRUE(solver.solve(in, sed, noFormation(1), c, cs));
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(c(i, 1), lo, 1e-10 * lo) << i;
  // Four steps; a fifth would only confirm the fourth (to round-off).
  EXPECT_EQ(solver.iterations(1), 4);

  // The same in the sediment, whose layers exchange nothing here: each one
  // decays on its own, its storage theta C + rho Kd(C) C. The water layer
  // holds nothing, so only the layers keep the iteration going.
  for (int i = 1; i <= 3; ++i) c(i, 1) = 0.0;
  in.conSus = 0.0;
  sed = column(3, 0.01, 3, 1, 0.0);
  sed.flwWatSpgSed.assign(4, 0.0);
  sed.isotherm[0] = FreundlichIsotherm::make(1e-5, 1.0, 0.5);
  for (int j = 1; j <= 3; ++j) sed.cofTraSed(j, 1) = k;
  cs.allocate(3, 3, 1);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) cs(j, i, 1) = 1.0;
  }
  const auto layer = [&](double con) {
    return con * (sed.thetaSat[1] + sed.rho[1] * sed.isotherm[0].kd(sed.cntOm[1], con));
  };
  const double layerTarget = layer(1.0) / (1.0 + k * dt);
  lo = 0.0;
  hi = 1.0;
  for (int n = 0; n < 200; ++n) (layer(0.5 * (lo + hi)) < layerTarget ? lo : hi) = 0.5 * (lo + hi);
  ImplicitSolver sedimentSolver;
  ASSERT_TRUE(sedimentSolver.solve(in, sed, noFormation(1), c, cs));
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(cs(j, i, 1), lo, 1e-10 * lo) << i << " " << j;
  }
  EXPECT_EQ(sedimentSolver.iterations(1), 4);
}

// Diffusion from water of a constant concentration Cw (a cross-section so
// large that it does not deplete) into a thick sediment without sorption:
// c(z, t) = Cw erfc(z / (2 sqrt(D t))) and the uptake per m2
// 2 theta Cw sqrt(D t / pi). Layers of 1 mm and hourly steps over ten days
// resolve the profile to about 1 %; the tolerance is 2 % of Cw.
TEST(ImplicitSolver, DiffusionIntoThickSedimentFollowsSemiInfiniteSolution) {
  const double d = 1e-9;
  const double thi = 0.001;
  const int layers = 200;
  WaterLayerInput in = waterLayer(1, 1, 3600.0, 1e12);
  SedimentSolverInput sed = column(layers, thi, 1, 1, d);
  CompoundSegmentArray c;
  c.allocate(1, 1);
  c(1, 1) = 1.0;
  CompoundSedimentArray cs;
  cs.allocate(layers, 1, 1);
  ImplicitSolver solver;
  const int steps = 240;
  double uptake = 0.0;
  for (int n = 0; n < steps; ++n) {
    ASSERT_TRUE(solver.solve(in, sed, noFormation(1), c, cs));
    uptake += solver.amounts(1).excSed / in.lenSeg[1];
  }
  const double t = steps * 3600.0;
  EXPECT_NEAR(uptake, 2.0 * 0.5 * std::sqrt(d * t / std::numbers::pi), 0.02 * uptake);
  for (const int j : {1, 10, 30, 60, 100}) {
    const double z = (j - 0.5) * thi;
    EXPECT_NEAR(cs(j, 1, 1), std::erfc(z / (2.0 * std::sqrt(d * t))), 0.02) << j;
  }
  EXPECT_LT(cs(layers, 1, 1), 1e-4);
}

// Diffusion between a segment and a column of very uneven layers conserves
// the mass of the pair exactly when the step's linear system is solved
// exactly: a fault in the elimination of the column shows where layers of
// equal thickness would hide it.
TEST(ImplicitSolver, UnevenColumnAndSegmentKeepTheirMassToRoundOff) {
  const double thi[] = {0.001, 0.01, 0.0005, 0.02, 0.002, 0.001};
  const int layers = static_cast<int>(std::size(thi));
  WaterLayerInput in = waterLayer(1, 1, 3600.0, 0.01);
  SedimentSolverInput sed = column(layers, 0.0, 1, 1, 1e-9);
  for (int j = 1; j <= layers; ++j) sed.thiLay[j] = thi[j - 1];
  CompoundSegmentArray c;
  c.allocate(1, 1);
  c(1, 1) = 1.0;
  CompoundSedimentArray cs;
  cs.allocate(layers, 1, 1);
  auto mass = [&] {
    double m = 0.01 * c(1, 1);
    for (int j = 1; j <= layers; ++j) m += 0.5 * thi[j - 1] * cs(j, 1, 1);
    return m;
  };
  const double m0 = mass();
  ImplicitSolver solver;
  for (int n = 0; n < 3; ++n) {
    ASSERT_TRUE(solver.solve(in, sed, noFormation(1), c, cs));
    EXPECT_NEAR(mass(), m0, 1e-13 * m0) << n;
  }
  EXPECT_GT(cs(layers, 1, 1), 1e-4);  // the substance reached the bottom layer
}

// A step in which a strongly sorbing layer loses almost all its substance
// (k dt = 1000, Freundlich exponent 0.5): the isotherm's tangent at the
// start points to -C (the Newton step is C (1 - 1/n)). The iteration still
// reaches the solution that bisection gives, positive, to the tolerance.
TEST(ImplicitSolver, FreundlichStepTowardsZeroReachesThePositiveSolution) {
  const double dt = 3600.0;
  const double k = 1000.0 / dt;
  WaterLayerInput in = waterLayer(1, 1, dt);
  SedimentSolverInput sed = column(1, 0.01, 1, 1, 0.0);
  sed.flwWatSpgSed.assign(2, 0.0);
  sed.isotherm[0] = FreundlichIsotherm::make(1e-5, 1.0, 0.5);
  sed.cofTraSed(1, 1) = k;
  CompoundSegmentArray c = water(1, 1, 0.0);
  CompoundSedimentArray cs;
  cs.allocate(1, 1, 1);
  cs(1, 1, 1) = 1.0;
  const auto layer = [&](double con) {
    return con * (sed.thetaSat[1] + sed.rho[1] * sed.isotherm[0].kd(sed.cntOm[1], con));
  };
  const double target = layer(1.0) / (1.0 + k * dt);
  double lo = 0.0, hi = 1.0;
  for (int n = 0; n < 200; ++n) (layer(0.5 * (lo + hi)) < target ? lo : hi) = 0.5 * (lo + hi);
  ImplicitSolver solver;
  ASSERT_TRUE(solver.solve(in, sed, noFormation(1), c, cs));
  EXPECT_NEAR(cs(1, 1, 1), lo, 1e-10 * lo);
  EXPECT_GT(cs(1, 1, 1), 0.0);
}

// The sorption coefficients handed to the sediment after a step with curved
// Freundlich sorption (exponent 0.8) agree with the isotherm at every
// layer's end-of-step concentration to 1e-11 of themselves (they come from
// the tangents the step used, whose error is of the order of 1e-12), also in
// the layers the substance has not reached (frozen at the lower limit), and
// with them the mass of segment and column stays what it was.
TEST(ImplicitSolver, SedimentSorptionCoefficientsFollowTheIsothermAndKeepTheMass) {
  const int layers = 20;
  const double thi = 0.002;
  WaterLayerInput in = waterLayer(2, 1, 3600.0, 0.01);
  SedimentSolverInput sed = column(layers, thi, 2, 1, 1e-9);
  sed.isotherm[0] = FreundlichIsotherm::make(1e-5, 1.0, 0.8);
  CompoundSegmentArray c = water(2, 1, 1e-3);
  CompoundSedimentArray cs;
  cs.allocate(layers, 2, 1);
  const FreundlichIsotherm& iso = sed.isotherm[0];
  auto mass = [&] {
    double m = 0.0;
    for (int i = 1; i <= 2; ++i) {
      m += 0.01 * c(i, 1);
      for (int j = 1; j <= layers; ++j) {
        m += thi * (0.5 + 1.0e6 * iso.kd(0.05, cs(j, i, 1))) * cs(j, i, 1);
      }
    }
    return m;
  };
  const double m0 = mass();
  ImplicitSolver solver;
  for (int n = 0; n < 6; ++n) {
    ASSERT_TRUE(solver.solve(in, sed, noFormation(1), c, cs));
    const CompoundSedimentArray& kd = solver.sedimentKd();
    for (int i = 1; i <= 2; ++i) {
      for (int j = 1; j <= layers; ++j) {
        const double exact = iso.kd(0.05, cs(j, i, 1));
        EXPECT_NEAR(kd(j, i, 1), exact, 1e-11 * exact) << n << " " << i << " " << j;
      }
    }
    EXPECT_NEAR(mass(), m0, 1e-10 * m0) << n;
  }
  EXPECT_GT(cs(2, 1, 1), 1e-8);       // reached by the substance
  EXPECT_LT(cs(layers, 1, 1), 1e-15);  // not reached: the isotherm's lower limit
}

}  // namespace
}  // namespace korvan
