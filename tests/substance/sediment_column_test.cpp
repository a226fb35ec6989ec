// The column solve of the sediment computes the same iterates as the plain
// form of the scheme: on random columns (uneven layers and widths, linear
// and Freundlich sorption, empty layers, seepage either way, erosion,
// formation, transformation) every concentration, Kd and column sum of a
// series of steps equals, bit for bit, that of the plain form below, which
// builds the whole matrix of a column, rebuilds the right-hand side at every
// iteration and keeps every per-layer term. And the threads that share the
// columns of a step do not change a bit either.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "substance/sediment_solver.hpp"

namespace korvan {
namespace {

// The plain form of one step of one column. Same scheme, same operations
// in the same order per layer: time weight 1 on the start of the step,
// Freundlich storage at the end iterated to its fixed point, then one more
// update with Kd at the new concentrations.
struct PlainColumn {
  const SedimentSolverInput& in;
  std::vector<double> alpha, theta, dist, area;
  double areaErs = 0.0;

  explicit PlainColumn(const SedimentSolverInput& input) : in(input) {
    const int l = in.numLayers;
    const std::size_t n = static_cast<std::size_t>(l) + 1;
    alpha.assign(n, 0.5);
    theta.assign(n, 0.0);
    dist.assign(n, 0.0);
    area.assign(n, 0.0);
    for (int j = 1; j <= l; ++j) area[j] = in.widSedLayer[j] * in.thiLay[j];
    for (int j = 1; j <= std::min(in.numLayErs, l); ++j) areaErs += area[j];
    theta[0] = in.thetaSat[1];
    dist[0] = 0.5 * in.thiLay[1];
    for (int j = 1; j < l; ++j) {
      dist[j] = 0.5 * (in.thiLay[j] + in.thiLay[j + 1]);
      alpha[j] = 0.5 * in.thiLay[j] / dist[j];
      theta[j] = (in.thetaSat[j] * in.thiLay[j] + in.thetaSat[j + 1] * in.thiLay[j + 1]) /
                 (in.thiLay[j] + in.thiLay[j + 1]);
    }
    alpha[l] = l > 1 ? alpha[l - 1] : 1.0;
    dist[l] = 0.5 * in.thiLay[l];
  }

  double kd(int j, int k, double c) const { return in.isotherm[k - 1].kd(in.cntOm[j], c); }

  struct Result {
    std::vector<double> c, kd;
    double sums[6] = {};
    double bnd[3] = {};
  };

  // c0 and kdSta: the concentrations and Kd the last step left (Kd at the
  // iterate before its final update).
  Result step(int i, int k, double dt, double conWat, double ers, std::vector<double> c0,
              std::vector<double> kdSta) const {
    const int l = in.numLayers;
    const std::size_t n = static_cast<std::size_t>(l) + 1;
    std::vector<double> q(n), rdd(n), rod(n), rbd(n), src(n), sto(n), tra(n), frm(n), er(n), aO(n),
        aU(n), aL(n), dO(n), dU(n), dL(n), ldd(n);
    for (int j = 0; j <= l; ++j) q[j] = in.widRefSpg * in.flwWatSpgSed[j];
    const double g0 = in.widSedInterface[0] * theta[0] * in.cofDifSed(1, k) / dist[0];
    auto g = [&](int j) {
      const double w = in.widSedInterface[j];
      const double v = q[j] / w;
      const double cofDis = in.lenDisSedLiq[j] * std::fabs(v / in.thetaSat[j]);
      const double numSpatial = 0.5 * v * (1.0 - 2.0 * alpha[j]) * in.thiLay[j];
      const double numPerDtR = 0.5 * v * (1.0 - 2.0 * 1.0) * v;
      const double gFix = w * (theta[j] * (in.cofDifSed(j, k) + cofDis) - numSpatial) / dist[j];
      const double r = in.thetaSat[j] + in.rho[j] * kdSta[j] * in.isotherm[k - 1].expFre;
      const double gDt = -in.widSedInterface[j] * (numPerDtR / r) / dist[j];
      return gFix + gDt * dt;
    };
    double srcAdvTop = 0, ownAdvTop = 0, srcDisTop = 0, ownDisTop = 0, srcBot = 0, ownBot = 0;
    for (int j = 1; j <= l; ++j) {
      sto[j] = area[j] * (in.thetaSat[j] + in.rho[j] * kdSta[j]);
      tra[j] = dt * in.cofTraSed(j, k) * sto[j];
      frm[j] = dt * area[j] * in.ratForSed(j, i, k);
      er[j] = j <= in.numLayErs && areaErs > 0.0 ? dt * ers * area[j] / areaErs : 0.0;
      if (j == 1) {
        srcAdvTop = q[0] > 0.0 ? dt * q[0] * conWat : 0.0;
        ownAdvTop = q[0] > 0.0 ? 0.0 : dt * q[0];
        srcDisTop = dt * g0 * conWat;
        ownDisTop = -dt * g0;
        aO[j] += ownAdvTop;
        dO[j] += ownDisTop;
      } else {
        aU[j] = dt * q[j - 1] * (1.0 - alpha[j - 1]);
        aO[j] += dt * q[j - 1] * alpha[j - 1];
        dU[j] = dt * g(j - 1);
        dO[j] -= dt * g(j - 1);
      }
      if (j == l) {
        srcBot = q[j] < 0.0 ? -dt * q[j] * in.conWatSpg : 0.0;
        ownBot = q[j] < 0.0 ? 0.0 : -dt * q[j];
        aO[j] += ownBot;
      } else {
        aO[j] -= dt * q[j] * (1.0 - alpha[j]);
        aL[j] = -dt * q[j] * alpha[j];
        dO[j] -= dt * g(j);
        dL[j] = dt * g(j);
      }
      rdd[j] = sto[j] - tra[j] + aO[j] + dO[j];
      rod[j] = aU[j] + dU[j];
      rbd[j] = aL[j] + dL[j];
      src[j] = frm[j] + er[j];
    }
    src[1] += srcAdvTop + srcDisTop;
    src[l] += srcBot;
    auto update = [&](std::vector<double>& out) {
      for (int j = 1; j <= l; ++j) {
        double rhs = rdd[j] * c0[j] + src[j];
        if (j > 1) rhs += rod[j] * c0[j - 1];
        if (j < l) rhs += rbd[j] * c0[j + 1];
        out[j] = rhs / ldd[j];
      }
    };
    std::vector<double> c = c0, cNew(n), kdIt(n), kdArg(n);
    for (int count = 1; count <= 50; ++count) {
      if (count > 1) c = cNew;
      for (int j = 1; j <= l; ++j) {
        const double kdEnd = count == 1 ? kdSta[j] : c[j] == kdArg[j] ? kdIt[j] : kd(j, k, c[j]);
        kdIt[j] = kdEnd;
        kdArg[j] = c[j];
        ldd[j] = area[j] * (in.thetaSat[j] + in.rho[j] * kdEnd);
      }
      update(cNew);
      bool converged = true;
      for (int j = 1; j <= l; ++j) {
        if (std::fabs(cNew[j] - c[j]) > 0.01 * 1e-5 * std::fabs(cNew[j])) converged = false;
      }
      if (converged) break;
    }
    Result r;
    r.kd.assign(n, 0.0);
    for (int j = 1; j <= l; ++j) {
      r.kd[j] = cNew[j] == c[j] ? kdIt[j] : kd(j, k, cNew[j]);
      ldd[j] = area[j] * (in.thetaSat[j] + in.rho[j] * r.kd[j]);
    }
    update(cNew);
    std::vector<std::vector<double>> t(6, std::vector<double>(n));
    for (int j = 1; j <= l; ++j) {
      const double up = j > 1 ? c0[j - 1] : 0.0;
      const double low = j < l ? c0[j + 1] : 0.0;
      t[0][j] = ldd[j] * cNew[j] - sto[j] * c0[j];
      t[1][j] = aO[j] * c0[j] + aU[j] * up + aL[j] * low;
      t[2][j] = dO[j] * c0[j] + dU[j] * up + dL[j] * low;
      t[3][j] = -tra[j] * c0[j];
      t[4][j] = frm[j];
      t[5][j] = er[j];
    }
    t[1][1] += srcAdvTop;
    t[2][1] += srcDisTop;
    t[1][l] += srcBot;
    for (int m = 0; m < 6; ++m) {
      for (int j = 1; j <= l; ++j) r.sums[m] += t[m][j];
    }
    r.bnd[0] = srcAdvTop + ownAdvTop * c0[1];
    r.bnd[1] = srcDisTop + ownDisTop * c0[1];
    r.bnd[2] = srcBot + ownBot * c0[l];
    r.c = cNew;
    return r;
  }
};

std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// A random column set: up to 9 layers under up to 3 segments, up to 3
// compounds with different isotherms (compound 2 empty at the start); or
// the counts given.
SedimentSolverInput randomColumns(std::mt19937_64& rng, double& dt, int segments = 0,
                                  int compounds = 0) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int layers = 1 + static_cast<int>(u(rng) * 9);
  if (segments == 0) segments = 1 + static_cast<int>(u(rng) * 3);
  if (compounds == 0) compounds = 1 + static_cast<int>(u(rng) * 3);
  SedimentSolverInput in;
  in.allocate(layers, segments, compounds);
  const double seepage = u(rng) < 0.4 ? 0.0 : (u(rng) - 0.5) * 4e-8;
  for (int j = 0; j <= layers; ++j) {
    in.widSedInterface[j] = 0.5 + u(rng);
    in.flwWatSpgSed[j] = seepage;
    if (j == 0) continue;
    in.thiLay[j] = 0.002 + 0.02 * u(rng);
    in.widSedLayer[j] = 0.5 + u(rng);
    in.thetaSat[j] = 0.3 + 0.4 * u(rng);
    in.rho[j] = 5e5 + 1e6 * u(rng);
    in.cntOm[j] = 0.01 + 0.1 * u(rng);
    in.lenDisSedLiq[j] = 0.005 + 0.01 * u(rng);
  }
  in.widRefSpg = in.widSedInterface[0];
  in.conWatSpg = u(rng);
  in.numLayErs = static_cast<int>(u(rng) * 3);
  const double expFre[] = {1.0, 0.9, 0.7, 1.05};
  for (int k = 1; k <= compounds; ++k) {
    in.isotherm[k - 1] =
        FreundlichIsotherm::make(1e-5 * u(rng), 0.5 + u(rng), expFre[static_cast<int>(u(rng) * 4)]);
    for (int j = 1; j <= layers; ++j) {
      in.cofDifSed(j, k) = 1e-10 + 1e-9 * u(rng);
      in.conSysSedIni(j, k) = k == 2 ? 0.0 : 5.0 * u(rng);
      in.cofTraSed(j, k) = 1e-6 * u(rng);
      for (int i = 1; i <= segments; ++i) in.ratForSed(j, i, k) = k > 1 ? 1e-7 * u(rng) : 0.0;
    }
  }
  SedimentSolver probe(in);
  dt = 0.8 * std::min(600.0, probe.maxStableTimeStep(1));
  for (int k = 2; k <= compounds; ++k) dt = std::min(dt, 0.8 * probe.maxStableTimeStep(k));
  return in;
}

// Every concentration of two solvers of the same columns equal bit for bit.
void expectSameBits(const SedimentSolver& a, const SedimentSolver& b) {
  const SedimentSolverInput& in = a.input();
  for (int k = 1; k <= in.numCompounds; ++k) {
    for (int i = 1; i <= in.numSeg; ++i) {
      for (int j = 1; j <= in.numLayers; ++j) {
        EXPECT_EQ(bits(a.conLiqSed(j, i, k)), bits(b.conLiqSed(j, i, k)));
      }
    }
  }
}

// Values equal bit for bit with relTol 0, else within relTol of each other.
void expectClose(double got, double want, double relTol) {
  if (relTol == 0.0) {
    EXPECT_EQ(bits(got), bits(want));
  } else {
    EXPECT_NEAR(got, want, relTol * std::max(std::fabs(want), 1e-300));
  }
}

// The solver with the isotherm powers of unit isa against the plain form.
void compareWithPlainForm(vecmath::Isa isa, double relTol) {
  SCOPED_TRACE(std::string(vecmath::isaName(isa)));
  std::mt19937_64 rng(20261206);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 60; ++trial) {
    double dt = 0.0;
    const SedimentSolverInput in = randomColumns(rng, dt);
    SCOPED_TRACE(::testing::Message() << "trial " << trial << " layers " << in.numLayers);
    SedimentSolver s(in);
    s.setIsa(isa);
    s.initialise();
    const PlainColumn plain(in);
    const int l = in.numLayers, n = in.numSeg, nc = in.numCompounds;
    std::vector<std::vector<double>> state(static_cast<std::size_t>(n * nc));
    std::vector<std::vector<double>> kds(state.size());
    for (int k = 1; k <= nc; ++k) {
      for (int i = 1; i <= n; ++i) {
        auto& c = state[static_cast<std::size_t>((k - 1) * n + i - 1)];
        auto& kd = kds[static_cast<std::size_t>((k - 1) * n + i - 1)];
        c.assign(static_cast<std::size_t>(l) + 1, 0.0);
        kd.assign(c.size(), 0.0);
        for (int j = 1; j <= l; ++j) {
          c[j] = s.conLiqSed(j, i, k);
          kd[j] = plain.kd(j, k, c[j]);
        }
      }
    }
    for (int step = 0; step < 8; ++step) {
      CompoundSegmentArray water, ers;
      water.allocate(n, nc);
      ers.allocate(n, nc);
      for (int k = 1; k <= nc; ++k) {
        for (int i = 1; i <= n; ++i) {
          water(i, k) = u(rng) < 0.2 ? 0.0 : 2.0 * u(rng);
          ers(i, k) = 1e-7 * u(rng);
        }
      }
      s.step(dt, water, &ers);
      for (int k = 1; k <= nc; ++k) {
        for (int i = 1; i <= n; ++i) {
          auto& c = state[static_cast<std::size_t>((k - 1) * n + i - 1)];
          auto& kd = kds[static_cast<std::size_t>((k - 1) * n + i - 1)];
          const auto r = plain.step(i, k, dt, water(i, k), ers(i, k), c, kd);
          for (int j = 1; j <= l; ++j) {
            SCOPED_TRACE(::testing::Message() << "layer " << j << " step " << step);
            expectClose(s.conLiqSed(j, i, k), r.c[j], relTol);
          }
          for (int t = 0; t < SedimentSolver::kNumTerms; ++t) {
            SCOPED_TRACE(::testing::Message() << "term " << t);
            expectClose(s.columnSum(static_cast<SedimentSolver::Term>(t), i, k), r.sums[t], relTol);
          }
          for (int b = 0; b < 3; ++b) {
            SCOPED_TRACE(::testing::Message() << "boundary " << b);
            expectClose(s.boundary(static_cast<SedimentSolver::Boundary>(b), i, k), r.bnd[b],
                        relTol);
          }
          c = r.c;
          kd = r.kd;
          if (relTol > 0.0) {
            // The vector power may differ from std::pow in the last place:
            // the plain form goes on from the solver's state.
            for (int j = 1; j <= l; ++j) c[j] = s.conLiqSed(j, i, k);
          }
        }
      }
    }
  }
}

TEST(SedimentColumn, RandomColumnsGiveThePlainFormsIteratesBitForBit) {
  compareWithPlainForm(vecmath::Isa::Scalar, 0.0);
}

// The vector powers differ from std::pow by at most one unit in the last
// place; a step's fixed point and sums then differ by a few units in the
// last place of the largest term (1e-12 leaves room for the cancellation
// in the column sums).
TEST(SedimentColumn, VectorPowersStayWithinRoundOffOfThePlainForm) {
  if (vecmath::bestIsa() == vecmath::Isa::Scalar) GTEST_SKIP() << "no vector unit";
  compareWithPlainForm(vecmath::bestIsa(), 1e-12);
  if (vecmath::bestIsa() == vecmath::Isa::Avx512) compareWithPlainForm(vecmath::Isa::Avx2, 1e-12);
}

TEST(SedimentColumn, ThreadsShareTheColumnsWithoutChangingABit) {
  std::mt19937_64 rng(11);
  double dt2 = 0.0;
  const SedimentSolverInput big = randomColumns(rng, dt2, 7, 3);  // 21 columns
  std::vector<SedimentSolver> solvers;
  for (int threads : {1, 2, 3}) {
    solvers.emplace_back(big);
    solvers.back().setThreads(threads);
  }
  CompoundSegmentArray water;
  water.allocate(big.numSeg, big.numCompounds);
  for (int step = 0; step < 5; ++step) {
    for (int k = 1; k <= big.numCompounds; ++k) {
      for (int i = 1; i <= big.numSeg; ++i) water(i, k) = 0.3 * (i + k + step);
    }
    for (auto& s : solvers) s.step(dt2, water);
  }
  expectSameBits(solvers[1], solvers[0]);
  expectSameBits(solvers[2], solvers[0]);
  EXPECT_EQ(solvers[2].numCellIterations(), solvers[0].numCellIterations());
}

// The work alongside a step (the water layer's step) runs once on any
// thread count and leaves the columns as they are without it; an error it
// throws comes out of the step.
TEST(SedimentColumn, WorkAlongsideRunsOnceAndItsErrorComesOut) {
  std::mt19937_64 rng(12);
  double dt = 0.0;
  const SedimentSolverInput in = randomColumns(rng, dt, 5, 2);
  CompoundSegmentArray water;
  water.allocate(in.numSeg, in.numCompounds);
  for (int k = 1; k <= in.numCompounds; ++k) {
    for (int i = 1; i <= in.numSeg; ++i) water(i, k) = 0.5 * (i + k);
  }
  SedimentSolver plain(in);
  plain.step(dt, water);
  for (int threads : {1, 2}) {
    SedimentSolver s(in);
    s.setThreads(threads);
    int calls = 0;
    s.step(dt, water, nullptr, [&calls] { ++calls; });
    EXPECT_EQ(calls, 1);
    expectSameBits(s, plain);
    EXPECT_THROW(s.step(dt, water, nullptr, [] { throw std::runtime_error("water layer"); }),
                 std::runtime_error);
  }
}

}  // namespace
}  // namespace korvan
