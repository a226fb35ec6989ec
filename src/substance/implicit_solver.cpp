#include "substance/implicit_solver.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/vector_math.hpp"
#include "hydrology/hydrology.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"

namespace korvan {

namespace {

constexpr const char* kRoutine = "ImplicitScheme";
// Below this a concentration (g.m-3) counts as zero in the convergence test.
constexpr double kConZero = 1e-20;
// A Newton step of a Freundlich iterate is held to a tenth of the iterate
// while the iterate lies above this (g.m-3): the isotherm's tangent would
// throw it below zero, from where convergence is slow. Below it the step is
// free, so that a solution near or below zero is reached.
constexpr double kConDamp = 1e-12;
// Relative distance from the last evaluation of a layer's isotherm within
// which its tangent stands for it.
constexpr double kRelLinStorage = 1e-6;

std::size_t at(int i) {
  return static_cast<std::size_t>(i);
}

double valueAt(const std::vector<double>& v, int i) {
  return v.empty() ? 0.0 : v[at(i)];
}

// Derivative factor of C x Kd(C) to C: the exponent where the isotherm
// bends, 1 where it is linear or frozen at its lower limit.
double freundlichSlope(const FreundlichIsotherm& iso, double c) {
  return iso.linear || c <= kConLiqMinFre ? 1.0 : iso.expFre;
}

// Thomas algorithm: solves the tridiagonal system (l, d, u) for the
// right-hand side r, in place over indices 1..n. cp is workspace.
void thomas(int n, std::span<const double> l, std::span<const double> d, std::span<const double> u,
            std::span<double> r, std::span<double> cp) {
  double inv = 1.0 / d[1];
  cp[1] = n > 1 ? u[1] * inv : 0.0;
  r[1] *= inv;
  for (int m = 2; m <= n; ++m) {
    const std::size_t s = at(m);
    inv = 1.0 / (d[s] - l[s] * cp[s - 1]);
    cp[s] = m < n ? u[s] * inv : 0.0;
    r[s] = (r[s] - l[s] * r[s - 1]) * inv;
  }
  for (int m = n - 1; m >= 1; --m) r[at(m)] -= cp[at(m)] * r[at(m) + 1];
}

}  // namespace

// Loops over the layers of a column, on the vector unit.
namespace implicit_kernels {

// Whether a layer of 1..layers lies beyond its tangent's reach: further than
// rel x |cAt| from the concentration cAt its isotherm was evaluated at (a
// layer never evaluated has cAt NaN and is beyond).
KORVAN_VECTOR_CLONES bool anyBeyond(const double* __restrict c, const double* __restrict cAt,
                                    int layers, double rel) {
  // (A 64-bit flag, as wide as a lane: no narrowing of the comparison masks.)
  std::int64_t any = 0;
  for (int j = 1; j <= layers; ++j) {
    any |= !(std::fabs(c[j] - cAt[j]) <= rel * std::fabs(cAt[j])) ? 1 : 0;
  }
  return any != 0;
}

// Values from the tangents at cAt: out = v + slope x (c - cAt), layers 1..layers.
KORVAN_VECTOR_CLONES void fromTangents(const double* __restrict v, const double* __restrict slope,
                                       const double* __restrict c, const double* __restrict cAt,
                                       double* __restrict out, int layers) {
  for (int j = 1; j <= layers; ++j) out[j] = v[j] + slope[j] * (c[j] - cAt[j]);
}

// The layers' iterates c moved by their Newton steps dc, a Freundlich step
// that would overshoot below zero held back; false when a layer moved by
// more than the tolerance.
KORVAN_VECTOR_CLONES bool applySteps(double* __restrict c, const double* __restrict dc, int layers,
                                     bool linear) {
  std::int64_t moved = 0;
  const double damp = linear ? std::numeric_limits<double>::infinity() : kConDamp;
  for (int j = 1; j <= layers; ++j) {
    const double cj = c[j];
    double nxt = cj + dc[j];
    if (cj > damp && nxt < 0.1 * cj) nxt = 0.1 * cj;
    if (std::fabs(nxt - cj) > kTolNewtonStep * std::fabs(nxt) + kConZero) moved = 1;
    c[j] = nxt;
  }
  return moved == 0;
}

// One layer's row of a column at the iterate cs: its storage from the
// tangent, the residual (rA, with the sign of the Newton step) and the
// diagonal of the Jacobian (dS). The upper neighbour of layer 1 is the water
// layer (cWat); the bottom layer has none below.
struct RowArgs {
  const double *cs, *cAt, *stoAt, *dStoAt, *sto0, *src, *own, *up, *lo, *tra;
  double *dS, *rA;
  double cWat;
  int layers;
};

template <bool First, bool Last>
inline void rowOf(const RowArgs& a, int j) {
  const double dSto = a.dStoAt[j];
  const double sto = a.stoAt[j] + dSto * (a.cs[j] - a.cAt[j]);
  double rj = sto * (1.0 + a.tra[j]) - a.sto0[j] - a.own[j] * a.cs[j] - a.src[j];
  a.dS[j] = dSto * (1.0 + a.tra[j]) - a.own[j];
  rj -= a.up[j] * (First ? a.cWat : a.cs[j - 1]);
  if (!Last) rj -= a.lo[j] * a.cs[j + 1];
  a.rA[j] = -rj;
}

// The arguments are copied first: the stores through their pointers then
// cannot change them.
KORVAN_VECTOR_CLONES void innerRows(const RowArgs& args) {
  const RowArgs a = args;
KORVAN_INDEPENDENT_ITERATIONS
  for (int j = 2; j < a.layers; ++j) rowOf<false, false>(a, j);
}

}  // namespace implicit_kernels

// ---------------------------------------------------------------------------
// Set-up

void ImplicitSolver::allocate(const WaterLayerInput& in, const SedimentSolverInput& sed) {
  const int n = in.numSeg;
  const int l = sed.numLayers;
  const int nc = static_cast<int>(in.compounds.size());
  if (n == numSeg_ && l == numLay_ && nc == numComp_ && !rows_.empty()) return;
  alphaWat_.clear();
  numSeg_ = n;
  numLay_ = l;
  numComp_ = nc;
  const std::size_t segs = at(n) + 1;
  const std::size_t lays = at(l) + 1;
  rows_.assign(segs, WaterRow{});
  for (auto* v : {&aSed_, &bSed_, &dS_, &rA_, &col_.src, &col_.formation, &col_.erosion}) {
    v->assign(segs * lays, 0.0);
  }
  for (auto* v : {&dW_, &lW_, &uW_, &rW_, &xW_, &dxW_, &delW_}) v->assign(segs, 0.0);
  for (auto* v : {&traCofSed_, &areaLay_, &alphaSed_, &gFixSed_, &qSed_, &col_.own,
                  &col_.up, &col_.lo, &col_.negUp, &col_.negLo}) {
    v->assign(lays, 0.0);
  }
  cp_.assign(std::max(segs, lays), 0.0);
  powArg_.assign(lays, 0.0);
  powLay_.assign(lays, 0);
  kdSus_.assign(segs, 0.0);
  powArgSeg_.assign(segs, 0.0);
  powSeg_.assign(segs, 0);
  stoWat0_.allocate(n, nc);
  traWat_.allocate(n, nc);
  stoSed0_.allocate(l, n, nc);
  for (auto* a : {&cEval_, &stoEval_, &dStoEval_, &kdEval_, &dKdEval_, &kdSed_}) {
    a->allocate(l, n, nc);
  }
  // No evaluation yet: a concentration that compares with nothing.
  for (int k = 1; k <= nc; ++k) {
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j <= l; ++j) cEval_(j, i, k) = std::numeric_limits<double>::quiet_NaN();
    }
  }
  traSed_.allocate(l, n, nc);
  amounts_.assign(at(nc), BalanceAmounts{});
  iterations_.assign(at(nc), 0);
  areaErs_ = 0.0;
  for (int j = 1; j <= l; ++j) {
    areaLay_[at(j)] = sed.widSedLayer[at(j)] * sed.thiLay[at(j)];
    if (j <= sed.numLayErs) areaErs_ += areaLay_[at(j)];
  }
}

void ImplicitSolver::sorptionSus(const WaterLayerInput& in, int k, std::span<const double> c) {
  const FreundlichIsotherm& iso = in.compounds[at(k - 1)].isoSusSol;
  const double kdRef = in.cntOmSusSol * iso.kom;
  std::size_t m = 0;
  for (int i = 1; i <= numSeg_; ++i) {
    const std::size_t s = at(i);
    if (iso.linear) {
      kdSus_[s] = kdRef;
    } else if (c[s] > kConLiqMinFre) {
      powSeg_[m] = i;
      powArgSeg_[m++] = c[s] / iso.conLiqRef;
    } else {
      kdSus_[s] = kdRef * iso.frozen;
    }
  }
  if (m == 0) return;
  vecmath::powArray(isa_, powArgSeg_.data(), iso.expFre - 1.0, powArgSeg_.data(), m);
  for (std::size_t q = 0; q < m; ++q) kdSus_[at(powSeg_[q])] = kdRef * powArgSeg_[q];
}

double ImplicitSolver::waterStorage(const WaterLayerInput& in, int i, int k, double c, double* dSto,
                                    double* x, double* dX) const {
  const WaterLayerCompound& cmp = in.compounds[at(k - 1)];
  const WaterLayerHydraulics& h = in.end;
  const double s = in.conSus * kdSus_[at(i)];
  const double m = cmp.cofSorMph * amaMphPerVolume(in.amaMphWatLay, h.perWet[at(i)], h.area[at(i)]);
  const double slope = 1.0 + s * freundlichSlope(cmp.isoSusSol, c);
  *x = c * (1.0 + s);
  *dX = slope;
  *dSto = h.area[at(i)] * (slope + m);
  return h.area[at(i)] * (1.0 + s + m) * c;
}

// The isotherms of a column. An isotherm costs a power; within
// kRelLinStorage of the concentration it was last evaluated at, the tangent
// there gives the storage to 1e-12 of itself (the error is of the order of
// the square of the relative distance), so a layer whose concentration
// hardly moves from one iterate or step to the next is not evaluated again.
// The layers whose isotherm bends at their concentration take their powers
// together on the vector unit.
void ImplicitSolver::refreshColumn(const SedimentSolverInput& sed, int i, int k, const double* cs) {
  double* cAt = cEval_.values(i, k).data();
  double* stoAt = stoEval_.values(i, k).data();
  double* dStoAt = dStoEval_.values(i, k).data();
  const FreundlichIsotherm& iso = sed.isotherm[at(k - 1)];
  double* kdAt = kdEval_.values(i, k).data();
  double* dKdAt = dKdEval_.values(i, k).data();
  const auto evaluated = [&](std::size_t j, double c, double kd, double slope) {
    const double rhoKd = sed.rho[j] * kd;
    const double theta = sed.thetaSat[j];
    cAt[j] = c;
    dStoAt[j] = areaLay_[j] * (theta + rhoKd * slope);
    stoAt[j] = areaLay_[j] * (theta + rhoKd) * c;
    kdAt[j] = kd;
    dKdAt[j] = slope == 1.0 ? 0.0 : kd * (slope - 1.0) / c;
  };
  // The layers beyond their tangent's reach, found in one pass the compiler
  // vectorises; most often there are none. (A layer never evaluated
  // compares with NaN and is evaluated.)
  if (!implicit_kernels::anyBeyond(cs, cAt, numLay_, kRelLinStorage)) return;
  std::size_t m = 0;
  for (int j = 1; j <= numLay_; ++j) {
    const std::size_t sj = at(j);
    if (std::fabs(cs[sj] - cAt[sj]) <= kRelLinStorage * std::fabs(cAt[sj])) continue;
    const double kdRef = sed.cntOm[sj] * iso.kom;
    if (iso.linear) {
      evaluated(sj, cs[sj], kdRef, 1.0);
    } else if (cs[sj] <= kConLiqMinFre) {
      // Frozen at the isotherm's lower limit: linear there.
      evaluated(sj, cs[sj], kdRef * iso.frozen, 1.0);
    } else {
      powLay_[m] = j;
      powArg_[m++] = cs[sj] / iso.conLiqRef;
    }
  }
  if (m == 0) return;
  vecmath::powArray(isa_, powArg_.data(), iso.expFre - 1.0, powArg_.data(), m);
  for (std::size_t q = 0; q < m; ++q) {
    const std::size_t sj = at(powLay_[q]);
    evaluated(sj, cs[sj], sed.cntOm[sj] * iso.kom * powArg_[q], iso.expFre);
  }
}

// The storage of the layers of the column under segment i at cs (per metre),
// from each layer's tangent.
void ImplicitSolver::columnStorage(const SedimentSolverInput& sed, int i, int k, const double* cs,
                                   double* sto) {
  refreshColumn(sed, i, k, cs);
  const double* cAt = cEval_.values(i, k).data();
  const double* stoAt = stoEval_.values(i, k).data();
  const double* dStoAt = dStoEval_.values(i, k).data();
  implicit_kernels::fromTangents(stoAt, dStoAt, cs, cAt, sto, numLay_);
}

// The storage of every compound at the start of the step (start-of-step
// hydraulics), which is also the mass the balance holds at that time.
void ImplicitSolver::startStorage(const WaterLayerInput& in, const SedimentSolverInput& sed,
                                  const CompoundSegmentArray& conWat,
                                  const CompoundSedimentArray& conSed) {
  const WaterLayerHydraulics& h = in.start;
  for (int k = 1; k <= numComp_; ++k) {
    const WaterLayerCompound& cmp = in.compounds[at(k - 1)];
    sorptionSus(in, k, conWat.values(k));
    for (int i = 1; i <= numSeg_; ++i) {
      const double c = conWat(i, k);
      const double s = in.conSus * kdSus_[at(i)];
      const double m =
          cmp.cofSorMph * amaMphPerVolume(in.amaMphWatLay, h.perWet[at(i)], h.area[at(i)]);
      stoWat0_(i, k) = h.area[at(i)] * (1.0 + s + m) * c;
      // Until the compound is solved, its transformation is the start-of-
      // step one (for a daughter listed before its parent).
      traWat_(i, k) = in.dt * cmp.cofTra * stoWat0_(i, k);
      if (numLay_ == 0) continue;
      double* sto = stoSed0_.values(i, k).data();
      double* tra = traSed_.values(i, k).data();
      columnStorage(sed, i, k, conSed.values(i, k).data(), sto);
      for (int j = 1; j <= numLay_; ++j) tra[at(j)] = in.dt * sed.cofTraSed(j, k) * sto[at(j)];
    }
  }
}

// ---------------------------------------------------------------------------
// Rows of the system

void ImplicitSolver::buildRows(const WaterLayerInput& in, const SedimentSolverInput& sed,
                               const FormationFractions& f, const CompoundSegmentArray* erosion,
                               int k) {
  const WaterLayerCompound& c = in.compounds[at(k - 1)];
  const WaterLayerHydraulics& h = in.end;
  if (alphaWat_.empty()) alphaWat_ = spatialWeights(in.lenSeg, in.x);
  const std::vector<double>& alpha = alphaWat_;
  const int n = numSeg_;
  const int l = numLay_;
  const double dt = in.dt;
  // The sediment surface: seepage per metre of water course (positive
  // downwards) and the diffusion conductance over half the top layer.
  const double qTop = l > 0 ? sed.widRefSpg * sed.flwWatSpgSed[0] : 0.0;
  gTop_ =
      l > 0 ? sed.widSedInterface[0] * sed.thetaSat[1] * sed.cofDifSed(1, k) / (0.5 * sed.thiLay[1])
            : 0.0;
  for (int i = 1; i <= n; ++i) {
    WaterRow r;
    const double dx = in.lenSeg[at(i)];
    if (i < n) {
      const double q = h.qBou[at(i)];
      const double a = alpha[at(i)];
      const double dis = dt * 2.0 * nodeArea(h, alpha, i, n) * h.cofDisPhs[at(i)] /
                         (dx * (dx + in.lenSeg[at(i + 1)]));
      r.ownX += -dt * q / dx * (1.0 - a) - dis;
      r.dnX += -dt * q / dx * a + dis;
    } else {
      r.dwn = -dt * h.qBou[at(n)] / dx;  // the outflow carries the last segment's X
      r.ownX += r.dwn;
    }
    if (i > 1) {
      const double q = h.qBou[at(i - 1)];
      const double a = alpha[at(i - 1)];
      const double dis = dt * 2.0 * nodeArea(h, alpha, i - 1, n) * h.cofDisPhs[at(i - 1)] /
                         (dx * (in.lenSeg[at(i - 1)] + dx));
      r.upX += dt * q / dx * (1.0 - a) + dis;
      r.ownX += dt * q / dx * a - dis;
    } else if (h.qBou[0] >= 0.0) {
      r.inflow = dt * h.qBou[0] / dx * c.conSysUps;
    } else {
      r.ups = dt * h.qBou[0] / dx;  // flow leaving upstream
      r.ownX += r.ups;
    }
    const double b = h.width[at(i)];
    r.vol = -dt * c.cofVol * b;
    r.airExc = dt * c.cofVol * b * c.conLiqEquAir;
    r.atmDep = dt * valueAt(c.ratAtmDep, i) * b;
    r.dra = dt * valueAt(c.flmDra, i);
    r.rnf = dt * valueAt(c.flmRnf, i);
    r.upsCatch = dt * valueAt(c.flmUpsCatch, i);
    for (int p = 1; p <= numComp_; ++p) {
      if (p != k && f.water(p, k) != 0.0) r.formation += f.water(p, k) * traWat_(i, p);
    }
    // Seepage carries the concentration of the side it leaves (upward
    // seepage not into the water layer in the Orlan edition); diffusion
    // drives the difference.
    if (l > 0) {
      if (qTop > 0.0) {
        r.exc = -dt * qTop;
      } else if (in.upwardSeepageCarriesSediment) {
        r.sedC = -dt * qTop;
      }
      r.exc -= dt * gTop_;
      r.sedC += dt * gTop_;
    }
    r.ownC = r.vol + r.exc;
    r.src = r.inflow + r.airExc + r.atmDep + r.dra + r.rnf + r.upsCatch + r.formation;
    rows_[at(i)] = r;
  }
  if (l == 0) return;

  // Inner interfaces of a column: the same for every segment.
  for (int j = 0; j <= l; ++j) qSed_[at(j)] = sed.widRefSpg * sed.flwWatSpgSed[at(j)];
  for (int j = 1; j < l; ++j) {
    const double t1 = sed.thiLay[at(j)];
    const double t2 = sed.thiLay[at(j + 1)];
    const double dist = 0.5 * (t1 + t2);
    const double theta = (sed.thetaSat[at(j)] * t1 + sed.thetaSat[at(j + 1)] * t2) / (t1 + t2);
    const double w = sed.widSedInterface[at(j)];
    const double v = qSed_[at(j)] / w;
    const double cofDis = sed.lenDisSedLiq[at(j)] * std::fabs(v / sed.thetaSat[at(j)]);
    alphaSed_[at(j)] = 0.5 * t1 / dist;
    gFixSed_[at(j)] = w * theta * (sed.cofDifSed(j, k) + cofDis) / dist;
  }
  for (int j = 1; j <= l; ++j) traCofSed_[at(j)] = dt * sed.cofTraSed(j, k);
  // The transport rows of a column.
  col_.bot = 0.0;
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    double own = 0.0, up = 0.0, lo = 0.0;
    if (j == 1) {
      // The water layer is the upper neighbour.
      if (qTop > 0.0) {
        up += dt * qTop;
      } else {
        own += dt * qTop;
      }
      up += dt * gTop_;
      own -= dt * gTop_;
    } else {
      up += dt * (qSed_[s - 1] * (1.0 - alphaSed_[s - 1]) + gFixSed_[s - 1]);
      own += dt * (qSed_[s - 1] * alphaSed_[s - 1] - gFixSed_[s - 1]);
    }
    if (j == l) {
      const double q = qSed_[s];
      if (q < 0.0) {
        col_.bot = -dt * q * sed.conWatSpg;
      } else {
        own -= dt * q;
      }
    } else {
      own -= dt * (qSed_[s] * (1.0 - alphaSed_[s]) + gFixSed_[s]);
      lo += dt * (-qSed_[s] * alphaSed_[s] + gFixSed_[s]);
    }
    col_.own[s] = own;
    col_.up[s] = up;
    col_.lo[s] = lo;
    col_.negUp[s] = j > 1 ? -up : 0.0;
    col_.negLo[s] = j < l ? -lo : 0.0;
  }
  // The sources of each layer.
  const std::size_t lays = at(l) + 1;
  for (int i = 1; i <= n; ++i) {
    const std::size_t o = at(i) * lays;
    double* formation = &col_.formation[o];
    double* eroded = &col_.erosion[o];
    double* src = &col_.src[o];
    for (std::size_t j = 1; j < lays; ++j) formation[j] = eroded[j] = 0.0;
    for (int p = 1; p <= numComp_; ++p) {
      const double fraction = f.sediment(p, k);
      if (p == k || fraction == 0.0) continue;
      const double* tra = traSed_.values(i, p).data();
      for (std::size_t j = 1; j < lays; ++j) formation[j] += fraction * tra[j];
    }
    if (areaErs_ > 0.0) {
      const double ers = erosion != nullptr ? (*erosion)(i, k) : 0.0;
      const std::size_t last = std::min(at(l), at(std::max(sed.numLayErs, 0)));
      for (std::size_t j = 1; j <= last; ++j) eroded[j] = dt * ers * areaLay_[j] / areaErs_;
    }
    for (std::size_t j = 1; j < lays; ++j) {
      src[j] = (j == at(l) ? col_.bot : 0.0) + formation[j] + eroded[j];
    }
  }
}

// ---------------------------------------------------------------------------
// Newton iteration

bool ImplicitSolver::newton(const WaterLayerInput& in, const SedimentSolverInput& sed, int k,
                            std::span<double> c, CompoundSedimentArray& conSed) {
  const int n = numSeg_;
  const int l = numLay_;
  const std::size_t lays = at(l) + 1;
  const double traW = in.dt * in.compounds[at(k - 1)].cofTra;
  const bool linear =
      in.compounds[at(k - 1)].isoSusSol.linear && (l == 0 || sed.isotherm[at(k - 1)].linear);
  int& count = iterations_[at(k - 1)];
  for (count = 1; count <= kMaxItImplicit; ++count) {
    // Mobile concentrations and their slopes at the iterate.
    sorptionSus(in, k, c);
    for (int i = 1; i <= n; ++i) {
      double dSto = 0.0;
      const double sto = waterStorage(in, i, k, c[at(i)], &dSto, &xW_[at(i)], &dxW_[at(i)]);
      rW_[at(i)] = sto * (1.0 + traW) - stoWat0_(i, k);
      dW_[at(i)] = dSto * (1.0 + traW);
    }
    // The segments' rows, and the rows of the columns under them.
    for (int i = 1; i <= n; ++i) {
      const WaterRow& r = rows_[at(i)];
      const std::size_t s = at(i);
      double res = rW_[s] - r.ownX * xW_[s] - r.ownC * c[s] - r.src;
      dW_[s] -= r.ownX * dxW_[s] + r.ownC;
      lW_[s] = uW_[s] = 0.0;
      if (i > 1) {
        res -= r.upX * xW_[s - 1];
        lW_[s] = -r.upX * dxW_[s - 1];
      }
      if (i < n) {
        res -= r.dnX * xW_[s + 1];
        uW_[s] = -r.dnX * dxW_[s + 1];
      }
      if (l > 0) {
        const double* cs = conSed.values(i, k).data();
        res -= r.sedC * cs[1];
        columnRows(sed, i, k, cs, c[s]);
      }
      rW_[s] = res;
    }
    if (l > 0) {
      // The columns eliminated into the segments' rows: J_col (a + b dC) =
      // -r - e1 dR/dC x dC, with dR/dc1 = -sedC.
      eliminateColumns();
      for (int i = 1; i <= n; ++i) {
        const std::size_t s = at(i);
        const double* rP = &aSed_[s * lays];
        const double* invD = &bSed_[s * lays];
        const double a1 = rP[1] * invD[1];
        const double b1 = col_.up[1] * invD[1];
        dW_[s] -= rows_[s].sedC * b1;
        rW_[s] -= rows_[s].sedC * a1;
      }
    }
    for (int i = 1; i <= n; ++i) {
      const std::size_t s = at(i);
      // A dry segment keeps its concentration.
      if (in.end.area[s] <= 0.0) {
        dW_[s] = 1.0;
        lW_[s] = uW_[s] = 0.0;
        rW_[s] = 0.0;
      }
      delW_[s] = -rW_[s];
    }
    thomas(n, lW_, dW_, uW_, delW_, cp_);
    bool converged = true;
    for (int i = 1; i <= n; ++i) {
      const std::size_t s = at(i);
      double next = c[s] + delW_[s];
      // A Freundlich step that would overshoot below zero is held back.
      if (!linear && c[s] > kConDamp && next < 0.1 * c[s]) next = 0.1 * c[s];
      const double del = next - c[s];
      if (std::fabs(del) > kTolNewtonStep * std::fabs(next) + kConZero) converged = false;
      c[s] = next;
      delW_[s] = del;
    }
    if (l > 0 && !updateColumns(conSed, k, linear)) converged = false;
    // A linear system is solved exactly by one step.
    if (linear || converged) return true;
  }
  count = kMaxItImplicit;
  return false;
}

// The rows of the column under segment i at its iterate cs, with the water
// layer's iterate cWat above: each layer's storage from the tangent at its
// last evaluation (exact where it was just evaluated), the residual (at rA_)
// and the diagonal of the Jacobian (at dS_).
void ImplicitSolver::columnRows(const SedimentSolverInput& sed, int i, int k, const double* cs,
                                double cWat) {
  const std::size_t o = at(i) * (at(numLay_) + 1);
  refreshColumn(sed, i, k, cs);
  const implicit_kernels::RowArgs a{cs,
                                    cEval_.values(i, k).data(),
                                    stoEval_.values(i, k).data(),
                                    dStoEval_.values(i, k).data(),
                                    stoSed0_.values(i, k).data(),
                                    &col_.src[o],
                                    col_.own.data(),
                                    col_.up.data(),
                                    col_.lo.data(),
                                    traCofSed_.data(),
                                    &dS_[o],
                                    &rA_[o],
                                    cWat,
                                    numLay_};
  const int l = numLay_;
  if (l == 1) {
    implicit_kernels::rowOf<true, true>(a, 1);
    return;
  }
  implicit_kernels::rowOf<true, false>(a, 1);
  implicit_kernels::innerRows(a);
  implicit_kernels::rowOf<false, true>(a, l);
}

namespace {

// The columns of a group of G segments eliminated from their bottom up, side
// by side so that the divisions of one column wait for no other: each
// layer's row keeps the layer above only (r' at rP, the inverse of d' at
// invD), so that layer 1 gives dc1 = a1 + b1 dC. uS and lS are the upper and
// lower off-diagonals, the same in every column.
template <int G>
void eliminateGroup(std::size_t l, const double* uS, const double* lS, const double* const* rA,
                    const double* const* dS, double* const* rP, double* const* invD) {
  double r[G], inv[G];
  for (int g = 0; g < G; ++g) {
    r[g] = rA[g][l];
    inv[g] = 1.0 / dS[g][l];
    rP[g][l] = r[g];
    invD[g][l] = inv[g];
  }
  for (std::size_t j = l - 1; j >= 1; --j) {
    for (int g = 0; g < G; ++g) {
      const double f = uS[j] * inv[g];
      r[g] = rA[g][j] - f * r[g];
      inv[g] = 1.0 / (dS[g][j] - f * lS[j + 1]);
      rP[g][j] = r[g];
      invD[g][j] = inv[g];
    }
  }
}

// The changes of the layers of a group of G columns from the top down (at
// dc), given the change of the water layer above each (del): the change of a
// layer follows from the undamped change of the one above.
template <int G>
void substituteGroup(std::size_t l, double up1, const double* lS, const double* del,
                     const double* const* rP, const double* const* invD, double* const* dc) {
  double d[G];
  for (int g = 0; g < G; ++g) {
    d[g] = (rP[g][1] + up1 * del[g]) * invD[g][1];
    dc[g][1] = d[g];
  }
  for (std::size_t j = 2; j <= l; ++j) {
    for (int g = 0; g < G; ++g) {
      d[g] = (rP[g][j] - lS[j] * d[g]) * invD[g][j];
      dc[g][j] = d[g];
    }
  }
}

// Columns taken four at a time, the rest two and one.
template <typename Group>
void inGroups(int n, Group&& group) {
  int i = 1;
  for (; i + 3 <= n; i += 4) group(std::integral_constant<int, 4>{}, i);
  for (; i + 1 <= n; i += 2) group(std::integral_constant<int, 2>{}, i);
  for (; i <= n; ++i) group(std::integral_constant<int, 1>{}, i);
}

}  // namespace

void ImplicitSolver::eliminateColumns() {
  const std::size_t l = at(numLay_);
  inGroups(numSeg_, [&](auto size, int i0) {
    constexpr int G = decltype(size)::value;
    const double* rA[G];
    const double* dS[G];
    double* rP[G];
    double* invD[G];
    for (int g = 0; g < G; ++g) {
      const std::size_t o = at(i0 + g) * (l + 1);
      rA[g] = &rA_[o];
      dS[g] = &dS_[o];
      rP[g] = &aSed_[o];
      invD[g] = &bSed_[o];
    }
    eliminateGroup<G>(l, col_.negLo.data(), col_.negUp.data(), rA, dS, rP, invD);
  });
}

bool ImplicitSolver::updateColumns(CompoundSedimentArray& conSed, int k, bool linear) {
  const std::size_t l = at(numLay_);
  // The changes go where the residuals were (rA_), no longer needed.
  inGroups(numSeg_, [&](auto size, int i0) {
    constexpr int G = decltype(size)::value;
    const double* rP[G];
    const double* invD[G];
    double* dc[G];
    double del[G];
    for (int g = 0; g < G; ++g) {
      const std::size_t o = at(i0 + g) * (l + 1);
      rP[g] = &aSed_[o];
      invD[g] = &bSed_[o];
      dc[g] = &rA_[o];
      del[g] = delW_[at(i0 + g)];
    }
    substituteGroup<G>(l, col_.up[1], col_.negUp.data(), del, rP, invD, dc);
  });
  bool converged = true;
  for (int i = 1; i <= numSeg_; ++i) {
    const double* dc = &rA_[at(i) * (l + 1)];
    if (!implicit_kernels::applySteps(conSed.values(i, k).data(), dc, numLay_, linear)) {
      converged = false;
    }
  }
  return converged;
}

// The balance amounts from the contributions with the end-of-step
// concentrations, and the compound's transformation for its daughters.
void ImplicitSolver::finish(const WaterLayerInput& in, const SedimentSolverInput& sed, int k,
                            std::span<const double> c, const CompoundSedimentArray& conSed) {
  BalanceAmounts a;
  const int n = numSeg_;
  const int l = numLay_;
  const std::size_t lays = at(l) + 1;
  const double traW = in.dt * in.compounds[at(k - 1)].cofTra;
  double internal = 0.0;
  // The storage and mobile concentration of every segment (at rW_, xW_).
  sorptionSus(in, k, c);
  for (int i = 1; i <= n; ++i) {
    double dSto = 0.0;
    rW_[at(i)] = waterStorage(in, i, k, c[at(i)], &dSto, &xW_[at(i)], &dxW_[at(i)]);
  }
  for (int i = 1; i <= n; ++i) {
    const std::size_t s = at(i);
    const WaterRow& r = rows_[s];
    const double dx = in.lenSeg[s];
    const double x = xW_[s];
    traWat_(i, k) = traW * rW_[s];
    a.AmaTraWatLay -= dx * traWat_(i, k);
    a.AmaForWatLay += dx * r.formation;
    a.AmaVolWatLay += dx * (r.vol * c[s] + r.airExc);
    a.AmaAtmDepWatLay += dx * r.atmDep;
    a.AmaDraWatLay += dx * r.dra;
    a.AmaRnoWatLay += dx * r.rnf;
    const auto cs = conSed.values(i, k);
    const double c1 = l > 0 ? cs[1] : 0.0;
    a.excWatLay += dx * (r.exc * c[s] + r.sedC * c1);
    a.AmaDwnWatLay += dx * r.dwn * x;
    a.AmaUpsWatLay += dx * (r.inflow + r.ups * x + r.upsCatch);
    double tr = (r.ownX - r.dwn - r.ups) * x;
    if (i > 1) tr += r.upX * xW_[s - 1];
    if (i < n) tr += r.dnX * xW_[s + 1];
    internal += dx * tr;
    if (l == 0) continue;
    // The sediment: surface exchange, bottom, transformation, formation,
    // erosion.
    const double qTop = sed.widRefSpg * sed.flwWatSpgSed[0];
    const double adv = qTop > 0.0 ? in.dt * qTop * c[s] : in.dt * qTop * c1;
    a.excSed += dx * (adv + in.dt * gTop_ * (c[s] - c1));
    double* tra = traSed_.values(i, k).data();
    columnStorage(sed, i, k, cs.data(), tra);
    implicit_kernels::fromTangents(kdEval_.values(i, k).data(), dKdEval_.values(i, k).data(),
                                   cs.data(), cEval_.values(i, k).data(),
                                   kdSed_.values(i, k).data(), l);
    for (int j = 1; j <= l; ++j) {
      const std::size_t sj = at(j);
      tra[sj] *= traCofSed_[sj];
      a.AmaTraSed -= dx * tra[sj];
      a.AmaForSed += dx * col_.formation[s * lays + sj];
      a.AmaErsSed += dx * col_.erosion[s * lays + sj];
    }
    const double qBot = qSed_[at(l)];
    a.AmaDwnSed += dx * (qBot < 0.0 ? col_.bot : -in.dt * qBot * cs[at(l)]);
  }
  // Advection and dispersion between segments cancel to round-off; kept with
  // the upstream inflow, as the explicit scheme does.
  a.AmaUpsWatLay += internal;
  amounts_[at(k - 1)] = a;
}

bool ImplicitSolver::solve(const WaterLayerInput& in, const SedimentSolverInput& sed,
                           const FormationFractions& fractions, CompoundSegmentArray& conWat,
                           CompoundSedimentArray& conSed, const CompoundSegmentArray* erosion) {
  allocate(in, sed);
  startStorage(in, sed, conWat, conSed);
  bool ok = true;
  for (int k = 1; k <= numComp_; ++k) {
    buildRows(in, sed, fractions, erosion, k);
    ok = newton(in, sed, k, conWat.values(k), conSed) && ok;
    finish(in, sed, k, conWat.values(k), conSed);
  }
  return ok;
}

// ---------------------------------------------------------------------------
// In a run

ImplicitScheme::ImplicitScheme(Run& run, WaterLayerSolver& water, SedimentSolver& sediment)
    : run_(run), water_(water), sediment_(sediment) {}

SubstanceTimeStep ImplicitScheme::timeStep() {
  if (!timStpRead_) {
    timStpRead_ = true;
    if (run_.records().getRecord("TimStpImp", 2, {.mustExist = false})) {
      timStpImp_ = run_.numbers().rdFloat("TimStpImp", {.unit = "(s)", .min = 1.0, .max = 86400.0});
    }
  }
  const double outer = run_.options().optInp() == InputInterval::Daily ? 86400.0 : 3600.0;
  const int n = std::max(1, static_cast<int>(std::ceil(outer / timStpImp_ - 1e-9)));
  return {outer / n, n};
}

void ImplicitScheme::step(int subStep, double dt) {
  const WaterLayerInput& in = water_.gather(subStep, dt);
  Compounds& cp = run_.compounds();
  Hydrology& hy = run_.hydrology();
  SedimentSolverInput& sed = sediment_.input();
  const int nc = cp.numCompounds();
  if (!fractions_.water.allocated()) {
    fractions_.water.allocate(nc);
    fractions_.sediment.allocate(nc);
    for (int p = 1; p <= nc; ++p) {
      for (int d = 1; d <= nc; ++d) {
        fractions_.water(p, d) = cp.fraMasPrtDauWat(p, d);
        fractions_.sediment(p, d) = cp.fraMasPrtDauSed(p, d);
      }
    }
    conSed_ = sediment_.conLiqSed();
    erosion_.allocate(in.numSeg, nc);
  }
  for (int j = 0; j <= sed.numLayers; ++j) sed.flwWatSpgSed[at(j)] = hy.flwWatSpgSed(j);
  if (sed.numLayers > 0) sed.cofTraSed = cp.cofTraSedAll();
  const bool erosion = run_.options().optFloWat() == FlowOption::Variable &&
                       run_.options().optLoa() == LoadingSource::QUIB;
  if (erosion) {
    const LoadingEntries& en = run_.loadings().entries();
    const double width = hy.widEntErs();
    for (int k = 1; k <= nc; ++k) {
      for (int i = 1; i <= in.numSeg; ++i) erosion_(i, k) = en.flmErsPrevious(i, k) * width;
    }
  }
  conSed_ = sediment_.conLiqSed();
  if (!solver_.solve(in, sed, fractions_, water_.conLiqWatLay(), conSed_,
                     erosion ? &erosion_ : nullptr)) {
    run_.messages().fatal(kRoutine,
                          "Number of iterations for implicit scheme needed is greater than "
                          "maximum number of 50",
                          "This error should not occur - please report");
  }
  sediment_.setConLiqSed(conSed_, solver_.sedimentKd());
  if (in.checkSolubility && !cp.solubilityExceeded()) {
    for (int k = 1; k <= nc; ++k) cp.checkSolubility(k, water_.conLiqWatLay().values(k), in.time);
  }
}

}  // namespace korvan
