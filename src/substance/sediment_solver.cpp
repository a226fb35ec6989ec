#include "substance/sediment_solver.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <limits>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/run_options.hpp"
#include "substance/compounds.hpp"
#include "substance/sediment_kernels.hpp"

// The OpenMP library is not built for the thread sanitizer, which then does
// not see that the start and the end of a parallel region order the work of
// the threads. Under the sanitizer the region's edges are told to it.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#define KORVAN_TSAN_ACQUIRE(p) __tsan_acquire(p)
#define KORVAN_TSAN_RELEASE(p) __tsan_release(p)
#else
#define KORVAN_TSAN_ACQUIRE(p) static_cast<void>(p)
#define KORVAN_TSAN_RELEASE(p) static_cast<void>(p)
#endif

namespace korvan {

namespace {

constexpr char kRoutine[] = "SolveSediment";

// Fixed settings of the scheme.
constexpr double kTheta = 1.0;          // time weight of the start of the step
constexpr double kWeightSpatial = 0.5;  // spatial weight parameter
constexpr int kMaxIterations = 50;
constexpr double kTolConvergence = 1e-5;
constexpr double kFacConvergence = 0.01;
constexpr double kTolPartition = 1e-4;  // relative tolerance of the initial partitioning
constexpr double kTolPartitionMin = 1e-30;
// A Freundlich exponent far from 1 can make the fixed point of the initial
// partitioning oscillate; it then keeps the last iterate.
constexpr int kMaxPartitionIterations = 1000;
// With a single layer there is no inner interface; the weight is never used
// and takes the single-segment value of the water layer.
constexpr double kAlphaSingleLayer = 1.0;

std::size_t at(int j) {
  return static_cast<std::size_t>(j);
}

std::string layerLine(int layer, const char* name, double value) {
  return "At layer:" + formatLayout("(i5)", {std::int64_t{layer}}) + " " + name + " is" +
         formatLayout("(es13.5)", {value});
}

}  // namespace

// ---------------------------------------------------------------------------
// Free functions

void SedimentSolverInput::allocate(int layers, int segments, int compounds) {
  numLayers = layers;
  numSeg = segments;
  numCompounds = compounds;
  const std::size_t n = at(layers) + 1;
  for (auto* v : {&thiLay, &thetaSat, &rho, &cntOm, &lenDisSedLiq, &widSedLayer}) v->assign(n, 0.0);
  widSedLayer.assign(n, 1.0);
  widSedInterface.assign(n, 1.0);
  flwWatSpgSed.assign(n, 0.0);
  widRefSpg = 1.0;
  isotherm.assign(at(compounds), FreundlichIsotherm{});
  cofDifSed.allocate(layers, compounds);
  conSysSedIni.allocate(layers, compounds);
  cofTraSed.allocate(layers, compounds);
  ratForSed.allocate(layers, segments, compounds);
}

int positivityViolation(double lbd, double ldd, double lod, double rbd, double rdd, double rod) {
  return sediment_kernels::positivityCondition(lbd, ldd, lod, rbd, rdd, rod);
}

std::array<std::string, 3> maxIterationsMessage() {
  return {"Number of iterations for sediment needed is greater than maximum number of 50",
          "This error should not occur - please report", ""};
}

std::array<std::string, 3> positivityMessage(int condition, int layer, double value) {
  static constexpr const char* kFirst[] = {
      "Positivity condition 1 (lbd =< 0) not fulfilled",
      "Positivity condition 2 (ldd >= 0) not fulfilled",
      "Positivity condition 3 (lod =< 0) not fulfilled",
      "Positivity condition 4 (rbd >= 0) not fulfilled",
      "Positivity condition 5 (rdd >= 0)not fulfilled",
      "Positivity condition 6 (rod >= 0) not fulfilled",
  };
  static constexpr const char* kName[] = {"lbd", "ldd", "lod", "rbd", "rdd", "rod"};
  const auto c = at(std::clamp(condition, 1, 6) - 1);
  // The advice is two texts written next to each other; condition 6 carries
  // its own variant of the first.
  const std::string advice = condition == 6 ? "Take smaller time stepTimStpSed for sediment"
                                              "layer"
                                            : "Take smaller time step TimStpSed for sediment"
                                              "layer";
  return {kFirst[c], layerLine(layer, kName[c], value), advice};
}

// ---------------------------------------------------------------------------
// Set-up

SedimentSolver::SedimentSolver(Run& run) : run_(&run) {}

SedimentSolver::SedimentSolver(SedimentSolverInput input) : in_(std::move(input)) {}

void SedimentSolver::initialise() {
  if (initialised_) return;
  if (run_ != nullptr) readFromRun();
  allocate();
  setWeights();
  partitionInitial();
  initialised_ = true;
}

void SedimentSolver::readFromRun() {
  Run& run = *run_;
  SedimentProfile& sed = run.sediment();
  Compounds& cmp = run.compounds();
  Hydrology& hyd = run.hydrology();
  sed.getSedimentProfile();
  in_.allocate(sed.numLayers(), run.waterBody().numSeg(), cmp.numCompounds());
  for (int j = 0; j <= in_.numLayers; ++j) in_.widSedInterface[at(j)] = hyd.widSedInterface(j);
  for (int j = 1; j <= in_.numLayers; ++j) {
    in_.thiLay[at(j)] = sed.thiLay(j);
    in_.thetaSat[at(j)] = sed.thetaSat(j);
    in_.rho[at(j)] = sed.rho(j);
    in_.cntOm[at(j)] = sed.cntOm(j);
    in_.lenDisSedLiq[at(j)] = sed.lenDisSedLiq(j);
    in_.widSedLayer[at(j)] = hyd.widSedLayer(j);
  }
  // The seepage flux is defined per square metre of the sediment surface,
  // whose width is the exchanging perimeter of the water body.
  in_.widRefSpg = in_.widSedInterface[0];
  in_.conWatSpg = cmp.conWatSpg();
  for (int k = 1; k <= in_.numCompounds; ++k) {
    in_.isotherm[at(k - 1)] = cmp.isothermSed(k);
    for (int j = 1; j <= in_.numLayers; ++j) {
      in_.cofDifSed(j, k) = cmp.cofDifSed(j, k);
      in_.conSysSedIni(j, k) = cmp.conSysSedIni(j, k);
    }
  }
  // Eroded soil (QUIB) goes into the layers down to ThiLayErs.
  if (run.options().optLoa() == LoadingSource::QUIB) {
    in_.numLayErs = run.waterBody().numLayErs();
  }
}

void SedimentSolver::refreshFromRun() {
  Run& run = *run_;
  Compounds& cmp = run.compounds();
  Hydrology& hyd = run.hydrology();
  for (int j = 0; j <= in_.numLayers; ++j) in_.flwWatSpgSed[at(j)] = hyd.flwWatSpgSed(j);
  // The compound module holds both arrays with the same extents: copied
  // whole, into the storage they already have.
  in_.cofTraSed = cmp.cofTraSedAll();
  in_.ratForSed = cmp.ratForSedAll();
}

void SedimentSolver::allocate() {
  const int l = in_.numLayers;
  const std::size_t n = at(l) + 1;
  int_.assign(n, Interface{});
  AreaLay_.assign(n, 0.0);
  Qs_.assign(n, 0.0);
  for (auto* v : {&gFix_, &gDt_, &numPerDtR_, &kdSta_, &zeros_}) v->assign(n, 0.0);
  CofExcTop_.allocate(0, in_.numCompounds);
  kdRef_.allocate(l, in_.numCompounds);
  for (auto* a : {&ConLiqSed_, &ConLiqSedSta_, &KdSed_}) {
    a->allocate(l, in_.numSeg, in_.numCompounds);
  }
  for (auto& a : sums_) a.allocate(in_.numSeg, in_.numCompounds);
  for (auto& a : boundaries_) a.allocate(in_.numSeg, in_.numCompounds);
  StepCoefficients& sc = step_;
  for (auto* v : {&sc.advOwn, &sc.advUpp, &sc.advLow, &sc.dtArea}) v->assign(n, 0.0);
  for (auto* a : {&sc.dtCofTra, &sc.gFix, &sc.dtG}) a->allocate(l, in_.numCompounds);
  sc.dtG0.assign(at(in_.numCompounds), 0.0);
  sc.ownDisTop.assign(at(in_.numCompounds), 0.0);
  work_.assign(1, ColumnWork{});
  work_.front().allocate(n);
}

void SedimentSolver::setWeights() {
  const int l = in_.numLayers;
  for (int j = 1; j <= l; ++j) AreaLay_[at(j)] = in_.widSedLayer[at(j)] * in_.thiLay[at(j)];
  // The cross-section that receives eroded soil, summed from the same layer
  // areas, so that the shares add up to the whole erosion flux.
  AreaSedErs_ = 0.0;
  for (int j = 1; j <= std::min(in_.numLayErs, l); ++j) AreaSedErs_ += AreaLay_[at(j)];
  // Interface 0: the surface, half a layer above the first centre.
  int_[0].theta = in_.thetaSat[1];
  int_[0].dist = 0.5 * in_.thiLay[1];
  for (int j = 1; j < l; ++j) {
    const double t1 = in_.thiLay[at(j)];
    const double t2 = in_.thiLay[at(j + 1)];
    Interface& f = int_[at(j)];
    f.dist = 0.5 * (t1 + t2);
    // The node value interpolates linearly between the two centres.
    f.alpha = kWeightSpatial * t1 / f.dist;
    f.theta = (in_.thetaSat[at(j)] * t1 + in_.thetaSat[at(j + 1)] * t2) / (t1 + t2);
  }
  int_[at(l)].alpha = l > 1 ? int_[at(l - 1)].alpha : kAlphaSingleLayer;
  int_[at(l)].theta = int_[at(l - 1)].theta;
  int_[at(l)].dist = 0.5 * in_.thiLay[at(l)];
  // Diffusion through the surface over half the top layer (porosity of the
  // top layer): the conductance the water layer shares.
  for (int k = 1; k <= in_.numCompounds; ++k) {
    CofExcTop_(0, k) = in_.widSedInterface[0] * int_[0].theta * in_.cofDifSed(1, k) / int_[0].dist;
    const FreundlichIsotherm& iso = in_.isotherm[at(k - 1)];
    for (int j = 1; j <= l; ++j) kdRef_(j, k) = in_.cntOm[at(j)] * iso.kom;
  }
}

double SedimentSolver::partition(double conSys, int j, int k) const {
  // Fixed point of C = ConSysSed / (ThetaSat + rho x Kd(C)).
  const double theta = in_.thetaSat[at(j)];
  const double rho = in_.rho[at(j)];
  double c = conSys;
  for (int m = 0; m < kMaxPartitionIterations; ++m) {
    const double next = conSys / (theta + rho * kd(j, k, c));
    const bool done =
        std::fabs(next - c) < std::max(kTolPartition * std::fabs(next), kTolPartitionMin);
    c = next;
    if (done) break;
  }
  return c;
}

void SedimentSolver::partitionInitial() {
  for (int k = 1; k <= in_.numCompounds; ++k) {
    for (int i = 1; i <= in_.numSeg; ++i) {
      for (int j = 1; j <= in_.numLayers; ++j) {
        const double c = partition(in_.conSysSedIni(j, k), j, k);
        ConLiqSed_(j, i, k) = c;
        ConLiqSedSta_(j, i, k) = c;
      }
      updateKdColumn(i, k);
    }
  }
}

void SedimentSolver::updateKdColumn(int i, int k) {
  const auto c = ConLiqSed_.values(i, k);
  const auto kd = KdSed_.values(i, k);
  for (int j = 1; j <= in_.numLayers; ++j) kd[at(j)] = this->kd(j, k, c[at(j)]);
}

// ---------------------------------------------------------------------------
// Coefficients of a column

double SedimentSolver::conductanceFixed(int j, int k) const {
  const Interface& f = int_[at(j)];
  const double w = in_.widSedInterface[at(j)];
  const double theta = in_.thetaSat[at(j)];
  // Darcy velocity at the interface; dispersion follows the pore-water
  // velocity.
  const double v = Qs_[at(j)] / w;
  const double cofDis = in_.lenDisSedLiq[at(j)] * std::fabs(v / theta);
  // The numerical dispersion of the scheme, taken off the physical
  // coefficient: its spatial part here, its time part (which grows with the
  // time step and shrinks with the retardation) in numPerDtR_.
  const double numSpatial = 0.5 * v * (1.0 - 2.0 * f.alpha) * in_.thiLay[at(j)];
  return w * (f.theta * (in_.cofDifSed(j, k) + cofDis) - numSpatial) / f.dist;
}

void SedimentSolver::interfaceConstants(int k) {
  const int l = in_.numLayers;
  for (int j = 0; j <= l; ++j) Qs_[at(j)] = in_.widRefSpg * in_.flwWatSpgSed[at(j)];
  for (int j = 1; j < l; ++j) {
    const double v = Qs_[at(j)] / in_.widSedInterface[at(j)];
    numPerDtR_[at(j)] = 0.5 * v * (1.0 - 2.0 * kTheta) * v;
    gFix_[at(j)] = conductanceFixed(j, k);
  }
}

void SedimentSolver::conductances(int i, int k) {
  const int l = in_.numLayers;
  const auto kd = KdSed_.values(i, k);
  std::copy(kd.begin(), kd.end(), kdSta_.begin());
  const double expFre = in_.isotherm[at(k - 1)].expFre;
  for (int j = 1; j < l; ++j) {
    const double r = in_.thetaSat[at(j)] + in_.rho[at(j)] * kdSta_[at(j)] * expFre;
    const double numPerDt = numPerDtR_[at(j)] / r;
    gDt_[at(j)] = -in_.widSedInterface[at(j)] * numPerDt / int_[at(j)].dist;
  }
}

// ---------------------------------------------------------------------------
// Coefficients of a step

void SedimentSolver::ColumnWork::allocate(std::size_t n) {
  for (auto* v : {&stoSta, &frm, &ers, &rhs, &dG, &kdIt, &iterA, &iterB, &powIt, &powArg, &termSto,
                  &termAdv, &termDis, &termTra}) {
    v->assign(n, 0.0);
  }
  powIdx.assign(n, 0);
}

void SedimentSolver::prepareStep(double dt) {
  const int l = in_.numLayers;
  StepCoefficients& sc = step_;
  sc.dt = dt;
  // Seepage: the interfaces, then every layer's share of its two interfaces
  // (the same for every column and compound).
  for (int j = 0; j <= l; ++j) Qs_[at(j)] = in_.widRefSpg * in_.flwWatSpgSed[at(j)];
  sc.seepage = false;
  for (int j = 1; j < l; ++j) {
    const double v = Qs_[at(j)] / in_.widSedInterface[at(j)];
    numPerDtR_[at(j)] = 0.5 * v * (1.0 - 2.0 * kTheta) * v;
    if (numPerDtR_[at(j)] != 0.0) sc.seepage = true;
  }
  const double q0 = Qs_[0];
  sc.dtQTop = dt * q0;
  sc.ownAdvTop = q0 > 0.0 ? 0.0 : dt * q0;
  const double ql = Qs_[at(l)];
  sc.srcBot = ql < 0.0 ? -dt * ql * in_.conWatSpg : 0.0;
  sc.ownBot = ql < 0.0 ? 0.0 : -dt * ql;
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    sc.dtArea[s] = dt * AreaLay_[s];
    double own = 0.0, upp = 0.0, low = 0.0;
    if (j == 1) {
      own += sc.ownAdvTop;
    } else {
      const std::size_t u = at(j - 1);
      upp = dt * Qs_[u] * (1.0 - int_[u].alpha);
      own += dt * Qs_[u] * int_[u].alpha;
    }
    if (j == l) {
      own += sc.ownBot;
    } else {
      own -= dt * Qs_[s] * (1.0 - int_[s].alpha);
      low = -dt * Qs_[s] * int_[s].alpha;
    }
    sc.advOwn[s] = own;
    sc.advUpp[s] = upp;
    sc.advLow[s] = low;
  }
  // Per compound: transformation, the surface conductance, and the inner
  // conductances, whose time part vanishes without seepage (-0 v v / R is
  // a zero for any positive retardation R).
  for (int k = 1; k <= in_.numCompounds; ++k) {
    const double g0 = CofExcTop_(0, k);
    sc.dtG0[at(k - 1)] = dt * g0;
    sc.ownDisTop[at(k - 1)] = -dt * g0;
    for (int j = 1; j <= l; ++j) sc.dtCofTra(j, k) = dt * in_.cofTraSed(j, k);
    for (int j = 1; j < l; ++j) {
      sc.gFix(j, k) = conductanceFixed(j, k);
      sc.dtG(j, k) = dt * sc.gFix(j, k);
    }
  }
}

// ---------------------------------------------------------------------------
// The column solve

void SedimentSolver::fault(ColumnWork& w, std::size_t order,
                           std::array<std::string, 3> lines) const {
  if (!w.fault || order < w.fault->order) w.fault = ColumnFault{order, std::move(lines)};
}

int SedimentSolver::buildColumn(ColumnWork& w, std::size_t order, int i, int k, double conWat,
                                double ers) {
  const int l = in_.numLayers;
  const StepCoefficients& sc = step_;
  const double dt = sc.dt;
  const auto kdSta = KdSed_.values(i, k);
  const auto c0 = ConLiqSedSta_.values(i, k);
  // dt x G(j) per inner interface: with seepage the time part of the
  // numerical dispersion depends on the column's retardation.
  double* dG = w.dG.data();
  if (sc.seepage) {
    const double expFre = in_.isotherm[at(k - 1)].expFre;
    for (int j = 1; j < l; ++j) {
      const std::size_t s = at(j);
      const double r = in_.thetaSat[s] + in_.rho[s] * kdSta[s] * expFre;
      const double numPerDt = numPerDtR_[s] / r;
      const double gDt = -in_.widSedInterface[s] * numPerDt / int_[s].dist;
      const double g = sc.gFix(j, k) + gDt * dt;
      dG[s] = dt * g;
    }
    w.dGOf = dG;
  } else {
    // Without seepage every column of the compound has the step's own.
    w.dGOf = sc.dtG.values(k).data();
  }
  const double srcAdvTop = Qs_[0] > 0.0 ? sc.dtQTop * conWat : 0.0;
  const double srcDisTop = sc.dtG0[at(k - 1)] * conWat;
  w.srcAdvTop = srcAdvTop;
  w.srcDisTop = srcDisTop;
  sediment_kernels::BuildArgs a;
  a.layers = l;
  a.area = AreaLay_.data();
  a.theta = in_.thetaSat.data();
  a.rho = in_.rho.data();
  a.kdSta = kdSta.data();
  a.dtCofTra = sc.dtCofTra.values(k).data();
  a.dtArea = sc.dtArea.data();
  a.ratFor = in_.ratForSed.values(i, k).data();
  a.dG = w.dGOf;
  a.advOwn = sc.advOwn.data();
  a.advUpp = sc.advUpp.data();
  a.advLow = sc.advLow.data();
  a.c0 = c0.data();
  // Eroded soil, into the top layers: most columns have none.
  if (AreaSedErs_ > 0.0) {
    for (int j = 1; j <= l; ++j) {
      w.ers[at(j)] = j <= in_.numLayErs ? dt * ers * AreaLay_[at(j)] / AreaSedErs_ : 0.0;
    }
    w.ersOf = w.ers.data();
  } else {
    w.ersOf = zeros_.data();
  }
  a.ers = w.ersOf;
  a.ownDisTop = sc.ownDisTop[at(k - 1)];
  a.srcAdvTop = srcAdvTop;
  a.srcDisTop = srcDisTop;
  a.srcBot = sc.srcBot;
  a.stoSta = w.stoSta.data();
  a.kdIt = w.kdIt.data();
  a.frm = w.frm.data();
  a.rhs = w.rhs.data();
  a.adv = w.termAdv.data();
  a.dis = w.termDis.data();
  a.traTerm = w.termTra.data();
  a.first = w.iterA.data();
  a.tolerance = kFacConvergence * kTolConvergence;
  bool moved = false;
  auto layer = [&](int j) {
    const sediment_kernels::Violation v = sediment_kernels::buildLayer(a, j, j == 1, j == l);
    if (v.condition != 0) [[unlikely]] {
      fault(w, order, positivityMessage(v.condition, j, v.value));
      return false;
    }
    moved = moved || v.moved;
    return true;
  };
  if (!layer(1)) return -1;
  // The inner layers at once; layer by layer only to find the first that
  // breaks a positivity condition.
  if (l > 2) {
    const int inner = sediment_kernels::buildInner(a);
    if ((inner & sediment_kernels::kBuildBroken) != 0) {
      for (int j = 2; j < l; ++j) {
        if (!layer(j)) return -1;
      }
    }
    moved = moved || (inner & sediment_kernels::kBuildMoved) != 0;
  }
  if (l > 1 && !layer(l)) return -1;
  return moved ? 0 : 1;
}

void SedimentSolver::powersOfMoved(ColumnWork& w, int l, const double* from, const double* to,
                                   double conLiqRef, double expPow) const {
  // Only the layers whose iterate moved and that lie above the lower limit
  // of the isotherm need a power: they are packed together, raised at once
  // and put back in their places.
  std::size_t m = 0;
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    const double c = to[s];
    if (c != from[s] && c > kConLiqMinFre) {
      w.powIdx[m] = s;
      w.powArg[m++] = c / conLiqRef;
    }
  }
  vecmath::powArray(isa_, w.powArg.data(), expPow, w.powArg.data(), m);
  for (std::size_t n = 0; n < m; ++n) w.powIt[w.powIdx[n]] = w.powArg[n];
}

sediment_kernels::IterateArgs SedimentSolver::kernelArgs(ColumnWork& w, int k) const {
  const FreundlichIsotherm& iso = in_.isotherm[at(k - 1)];
  sediment_kernels::IterateArgs a;
  a.layers = in_.numLayers;
  a.kdIt = w.kdIt.data();
  a.kdRef = kdRef_.values(k).data();
  a.rhs = w.rhs.data();
  a.area = AreaLay_.data();
  a.theta = in_.thetaSat.data();
  a.rho = in_.rho.data();
  a.linear = iso.linear;
  a.conLiqRef = iso.conLiqRef;
  a.expPow = iso.expFre - 1.0;
  a.frozen = iso.frozen;
  a.conLiqMin = kConLiqMinFre;
  a.tolerance = kFacConvergence * kTolConvergence;
  return a;
}

int SedimentSolver::iterateColumn(ColumnWork& w, std::size_t order, int k, const double* xPrev,
                                  const double* x, double* y) {
  const int l = in_.numLayers;
  const FreundlichIsotherm& iso = in_.isotherm[at(k - 1)];
  const auto kdRef = kdRef_.values(k);
  const double expPow = iso.expFre - 1.0;
  w.cellIterations += static_cast<std::uint64_t>(l);
  // The powers of the layers whose iterate moved, all at once: the others
  // keep their coefficient, or have none to compute.
  double* pw = w.powIt.data();
  if (!iso.linear) powersOfMoved(w, l, xPrev, x, iso.conLiqRef, expPow);
  bool converged = true;
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    const double c = x[s];
    // Every layer iterates on its own concentration alone (the neighbours
    // enter at the start of the step only), so a layer that has reached its
    // fixed point keeps the same iterate and the same coefficient.
    double kdEnd = w.kdIt[s];
    if (c != xPrev[s]) {
      kdEnd = iso.linear ? kdRef[s] : c > kConLiqMinFre ? kdRef[s] * pw[s] : kdRef[s] * iso.frozen;
    }
    w.kdIt[s] = kdEnd;
    const double ldd = AreaLay_[s] * (in_.thetaSat[s] + in_.rho[s] * kdEnd);
    if (ldd < 0.0) [[unlikely]] {
      fault(w, order, positivityMessage(2, j, ldd));
      return -1;
    }
    const double next = w.rhs[s] / ldd;
    y[s] = next;
    converged =
        converged && !(std::fabs(next - c) > kFacConvergence * kTolConvergence * std::fabs(next));
  }
  return converged ? 1 : 0;
}

bool SedimentSolver::finishColumn(ColumnWork& w, std::size_t order, int i, int k, const double* x,
                                  const double* y, bool updated) {
  const int l = in_.numLayers;
  const StepCoefficients& sc = step_;
  const auto c = ConLiqSed_.values(i, k);
  const auto c0 = ConLiqSedSta_.values(i, k);
  // Kd at the new concentrations: where the last iterate did not move, the
  // value of the last storage evaluation holds already. The update is then
  // repeated once with that Kd, so that the end storage of the step, the
  // mass the layer holds and the start storage of the next step are one and
  // the same: the sediment balance closes to round-off instead of to the
  // convergence tolerance. The column sums of the terms are kept on the way,
  // from the surface down.
  const FreundlichIsotherm& iso = in_.isotherm[at(k - 1)];
  // The repeated update is one more iteration from the last iterate: on the
  // vector unit it has left Kd at the new concentrations in kdIt and the new
  // concentrations in c (updated).
  if (!updated) {
    const double* pw = w.powIt.data();
    if (!iso.linear) powersOfMoved(w, l, x, y, iso.conLiqRef, iso.expFre - 1.0);
    const auto kdRef = kdRef_.values(k);
    for (int j = 1; j <= l; ++j) {
      const std::size_t s = at(j);
      if (y[s] == x[s]) continue;
      w.kdIt[s] = iso.linear             ? kdRef[s]
                  : y[s] > kConLiqMinFre ? kdRef[s] * pw[s]
                                         : kdRef[s] * iso.frozen;
    }
  }
  sediment_kernels::FinishArgs a;
  a.layers = l;
  a.updated = updated;
  a.kd = w.kdIt.data();
  a.area = AreaLay_.data();
  a.theta = in_.thetaSat.data();
  a.rho = in_.rho.data();
  a.rhs = w.rhs.data();
  a.c0 = c0.data();
  a.stoSta = w.stoSta.data();
  a.c = c.data();
  a.kdNew = KdSed_.values(i, k).data();
  a.sto = w.termSto.data();
  const bool anyNegative = sediment_kernels::finishColumnLayers(a);
  int negative = 0;
  for (int j = 1; anyNegative && negative == 0 && j <= l; ++j) {
    if (c[at(j)] < 0.0) negative = j;
  }
  std::array<double, kNumTerms> sum{};
  auto add = [&sum](Term t, double v) { sum[static_cast<std::size_t>(t)] += v; };
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    add(Term::Storage, w.termSto[s]);
    add(Term::Advection, w.termAdv[s]);
    add(Term::Dispersion, w.termDis[s]);
    add(Term::Transformation, w.termTra[s]);
    add(Term::Formation, w.frm[s]);
    add(Term::Erosion, w.ersOf[s]);
  }
  if (negative != 0) [[unlikely]] {
    fault(w, order,
          {"Negative concentration of compound encountered in sediment layer" +
               formatLayout("(i5)", {std::int64_t{negative}}),
           "under water layer segment" + formatLayout("(i5)", {std::int64_t{i}}),
           "This error should not occur - please report"});
    return false;
  }
  for (std::size_t t = 0; t < sum.size(); ++t) sums_[t](i, k) = sum[t];
  boundaries_[static_cast<std::size_t>(Boundary::SurfaceAdvection)](i, k) =
      w.srcAdvTop + sc.ownAdvTop * c0[1];
  boundaries_[static_cast<std::size_t>(Boundary::SurfaceDiffusion)](i, k) =
      w.srcDisTop + sc.ownDisTop[at(k - 1)] * c0[1];
  boundaries_[static_cast<std::size_t>(Boundary::Bottom)](i, k) = sc.srcBot + sc.ownBot * c0[at(l)];
  return true;
}

bool SedimentSolver::solveColumn(ColumnWork& w, std::size_t order, int i, int k, double conWat,
                                 double ers) {
  const auto c = ConLiqSed_.values(i, k);
  const auto c0 = ConLiqSedSta_.values(i, k);
  std::copy(c.begin(), c.end(), c0.begin());
  // Transport and sinks use the start of the step only: built once, with
  // the first iteration (from the start of the step) on the way.
  int state = buildColumn(w, order, i, k, conWat, ers);
  if (state < 0) return false;
  w.cellIterations += static_cast<std::uint64_t>(in_.numLayers);
  // The iterates alternate between two buffers; the first is the start.
  // The next iterate overwrites the one before the current (layer by
  // layer, after reading it); never the start of the step.
  double* xPrev = nullptr;
  double* x = c0.data();
  double* y = w.iterA.data();
  for (int count = 2; count <= kMaxIterations && state == 0; ++count) {
    double* next = count == 2 ? w.iterB.data() : x;
    xPrev = x;
    x = y;
    y = next;
    state = iterateColumn(w, order, k, xPrev, x, y);
  }
  if (state < 0) return false;
  if (state == 0) {
    fault(w, order, maxIterationsMessage());
    return false;
  }
  return finishColumn(w, order, i, k, x, y, false);
}

// The pointers of a column's next iteration: after an iteration that did
// not converge the iterates rotate (the next overwrites the one before the
// current, layer by layer after reading it; never the start of the step);
// after convergence the closing update goes from the last iterate into
// the new concentrations. False when the column has run out of iterations.
bool SedimentSolver::nextRound(ColumnWork& w, const ColumnInput& col) {
  sediment_kernels::IterateArgs& a = w.args;
  if (w.phase == ColumnPhase::Converged) {
    a.xPrev = w.x;
    a.x = w.y;
    a.y = ConLiqSed_.values(col.i, col.k).data();
    return true;
  }
  if (w.count == kMaxIterations) {
    fault(w, w.order, maxIterationsMessage());
    w.phase = ColumnPhase::Done;
    return false;
  }
  ++w.count;
  double* next = w.count == 2 ? w.iterB.data() : w.x;
  a.xPrev = w.x;
  a.x = w.y;
  a.y = next;
  w.x = w.y;
  w.y = next;
  return true;
}

void SedimentSolver::solveBatch(std::span<ColumnWork> slots, PowerBatch& pb,
                                std::span<const ColumnInput> columns, std::size_t first) {
  const int l = in_.numLayers;
  const std::size_t nb = columns.size();
  // Two sets of packed powers: those of the round and those of the next,
  // which each iteration packs on its way.
  sediment_kernels::PackTarget round{pb.arg.data(), pb.expo.data(), 0};
  sediment_kernels::PackTarget coming{pb.argNext.data(), pb.expoNext.data(), 0};
  // The start of the step, the first iteration of every column, and the
  // powers of the second.
  bool open = false;  // a column still takes a round
  for (std::size_t b = 0; b < nb; ++b) {
    ColumnWork& w = slots[b];
    const ColumnInput& col = columns[b];
    w.order = first + b;
    const auto c = ConLiqSed_.values(col.i, col.k);
    const auto c0 = ConLiqSedSta_.values(col.i, col.k);
    std::copy(c.begin(), c.end(), c0.begin());
    const int state = buildColumn(w, w.order, col.i, col.k, col.conWat, col.ers);
    if (state < 0) {
      w.phase = ColumnPhase::Done;
      continue;
    }
    w.cellIterations += static_cast<std::uint64_t>(l);
    w.phase = state == 1 ? ColumnPhase::Converged : ColumnPhase::Iterating;
    w.args = kernelArgs(w, col.k);
    w.x = c0.data();
    w.y = w.iterA.data();
    w.count = 1;
    nextRound(w, col);
    open = true;
    w.powAt = round.count;
    round.count +=
        sediment_kernels::packPowers(w.args, round.arg + round.count, round.expo + round.count);
  }
  // Round after round, every open column takes its next iteration, or the
  // closing update into its new concentrations once it has converged; the
  // powers of a round are raised together.
  while (open) {
    open = false;
    sediment_kernels::raisePowers(round.arg, round.expo, round.count);
    int packed = 0;
    for (std::size_t b = 0; b < nb; ++b) {
      ColumnWork& w = slots[b];
      if (w.phase == ColumnPhase::Done) continue;
      double negative = 0.0;
      const double* pow = round.arg + w.powAt;
      if (w.phase == ColumnPhase::Converged) {
        const int state = sediment_kernels::applyPowers(w.args, pow, &negative);
        finishColumn(w, w.order, columns[b].i, columns[b].k, w.args.xPrev, w.args.x, state >= 0);
        w.phase = ColumnPhase::Done;
        continue;
      }
      sediment_kernels::PackTarget to{coming.arg + packed, coming.expo + packed, 0};
      const int state = sediment_kernels::applyPowers(w.args, pow, &negative, &to);
      w.cellIterations += static_cast<std::uint64_t>(l);
      if (state < 0) [[unlikely]] {
        fault(w, w.order, positivityMessage(2, -state, negative));
        w.phase = ColumnPhase::Done;
        continue;
      }
      if (state == 1) w.phase = ColumnPhase::Converged;
      if (nextRound(w, columns[b])) {
        w.powAt = packed;
        packed += to.count;
        open = true;
      }
    }
    coming.count = packed;
    std::swap(round, coming);
  }
}

void SedimentSolver::fatal(const std::array<std::string, 3>& lines) const {
  if (run_ != nullptr) run_->messages().fatal(kRoutine, lines[0], lines[1], lines[2]);
  throw SedimentSolverStop{kRoutine, lines};
}

// ---------------------------------------------------------------------------
// Step

int SedimentSolver::threads() const {
  if (threads_ > 0) return threads_;
  if (run_ != nullptr && run_->environment().threads > 0) return run_->environment().threads;
#ifdef _OPENMP
  // More threads only when asked for: they meet at the end of every
  // sub-step, and the serial part of a sub-step (the water layer, the
  // balance, the tables) leaves them little to share.
  if (std::getenv("OMP_NUM_THREADS") != nullptr) return omp_get_max_threads();
#endif
  return 1;
}

void SedimentSolver::step(double dt, const CompoundSegmentArray& conLiqWatLay,
                          const CompoundSegmentArray* erosion) {
  step(dt, conLiqWatLay, erosion, {});
}

void SedimentSolver::step(double dt, const CompoundSegmentArray& conLiqWatLay,
                          const CompoundSegmentArray* erosion,
                          const std::function<void()>& alongside) {
  initialise();
  ++numSteps_;
  if (run_ != nullptr) refreshFromRun();
  prepareStep(dt);
  columns_.clear();
  for (int k = 1; k <= in_.numCompounds; ++k) {
    for (int i = 1; i <= in_.numSeg; ++i) {
      columns_.push_back({k, i, conLiqWatLay(i, k), erosion != nullptr ? (*erosion)(i, k) : 0.0});
    }
  }
  solveColumns(columns_, alongside ? &alongside : nullptr);
}

void SedimentSolver::stepCompound(int k, double dt, std::span<const double> conLiqWatLay,
                                  std::span<const double> erosion) {
  initialise();
  prepareStep(dt);
  columns_.clear();
  for (int i = 1; i <= in_.numSeg; ++i) {
    columns_.push_back({k, i, conLiqWatLay[at(i)], erosion.empty() ? 0.0 : erosion[at(i)]});
  }
  solveColumns(columns_);
}

std::span<SedimentSolver::ColumnWork> SedimentSolver::threadSlots(int t) {
  return std::span<ColumnWork>(work_).subspan(static_cast<std::size_t>(t) * kBatch, kBatch);
}

bool SedimentSolver::faulted(int t) {
  const std::span<ColumnWork> own = threadSlots(t);
  return std::any_of(own.begin(), own.end(), [](const ColumnWork& w) { return w.fault; });
}

void SedimentSolver::solvePlanned(int t, int b) {
  const std::span<ColumnWork> own = threadSlots(t);
  const auto batch = static_cast<std::size_t>(plan_.batch);
  const std::size_t from = static_cast<std::size_t>(b) * batch;
  const std::size_t count = std::min(batch, plan_.columns.size() - from);
  if (vectorKernel_) {
    solveBatch(own, powers_[at(t)], plan_.columns.subspan(from, count), from);
    return;
  }
  for (std::size_t m = from; m < from + count && !own.front().fault; ++m) {
    const ColumnInput& col = plan_.columns[m];
    solveColumn(own.front(), m, col.i, col.k, col.conWat, col.ers);
  }
}

void SedimentSolver::solveColumns(std::span<const ColumnInput> columns,
                                  const std::function<void()>* alongside) {
  // A compound's products depend on it through start-of-step values only,
  // so every column of the step is solved on its own. The columns go in
  // batches (on the vector unit they share the power calls); each thread
  // keeps its workspace, and the column sums stay with their column, so
  // the result does not depend on the threads or the batches.
  const int n = static_cast<int>(columns.size());
  const int asked = std::max(1, this->threads());
  const int batch = vectorKernel_ ? std::clamp((n + 2 * asked - 1) / (2 * asked), 1, kBatch) : 1;
  const int batches = (n + batch - 1) / batch;
  const int threads = std::max(1, std::min(asked, batches));
  const std::size_t slots = static_cast<std::size_t>(threads) * kBatch;
  const std::size_t size = at(in_.numLayers) + 1;
  if (work_.size() < slots) {
    work_.resize(slots);
    for (auto& w : work_) {
      if (w.rhs.size() != size) w.allocate(size);
    }
  }
  if (powers_.size() < static_cast<std::size_t>(threads)) {
    powers_.resize(static_cast<std::size_t>(threads));
    for (PowerBatch& pb : powers_) {
      const std::size_t room = size * kBatch + sediment_kernels::kPackPadding;
      pb.arg.assign(room, 1.0);
      pb.expo.assign(room, 0.0);
      pb.argNext.assign(room, 1.0);
      pb.expoNext.assign(room, 0.0);
    }
  }
  // The plan lives in the solver, which the threads share already.
  plan_ = {columns, batch, batches};
  if (threads == 1) {
    if (alongside != nullptr) (*alongside)();
    for (int b = 0; b < batches; ++b) {
      solvePlanned(0, b);
      if (faulted(0)) break;
    }
  } else {
#ifdef _OPENMP
    // The first thread takes the work alongside, the others the batches;
    // whoever is free takes the next batch, so that the columns come out
    // the same whichever thread solves them.
    std::exception_ptr alongsideError;
    KORVAN_TSAN_RELEASE(&work_);
#pragma omp parallel num_threads(threads)
    {
      KORVAN_TSAN_ACQUIRE(&work_);
      const int t = omp_get_thread_num();
      if (alongside != nullptr && t == 0) {
        try {
          (*alongside)();
        } catch (...) {
          alongsideError = std::current_exception();
        }
      }
#pragma omp for schedule(dynamic, 1)
      for (int b = 0; b < plan_.batches; ++b) {
        if (!faulted(t)) solvePlanned(t, b);
      }
      KORVAN_TSAN_RELEASE(&work_);
    }
    KORVAN_TSAN_ACQUIRE(&work_);
    if (alongsideError) {
      for (ColumnWork& w : work_) {
        w.fault.reset();
        w.cellIterations = 0;
      }
      std::rethrow_exception(alongsideError);
    }
#endif
  }
  // The work of every thread, and the first fault in the order of the
  // columns.
  const ColumnFault* first = nullptr;
  for (ColumnWork& w : work_) {
    numCellIterations_ += w.cellIterations;
    w.cellIterations = 0;
    if (w.fault && (first == nullptr || w.fault->order < first->order)) first = &*w.fault;
  }
  if (first != nullptr) {
    const std::array<std::string, 3> lines = first->lines;
    for (ColumnWork& w : work_) w.fault.reset();
    fatal(lines);
  }
}

void SedimentSolver::setConLiqSed(const CompoundSedimentArray& conLiqSed,
                                  const CompoundSedimentArray& kdSed) {
  initialise();
  ConLiqSed_ = conLiqSed;
  KdSed_ = kdSed;
}

void SedimentSolver::updatePhases() {
  if (run_ == nullptr) return;
  run_->compounds().updateSediment(ConLiqSed_, KdSed_);
}

// ---------------------------------------------------------------------------
// Time step

double SedimentSolver::maxStableTimeStep(int k) {
  initialise();
  const int l = in_.numLayers;
  double best = std::numeric_limits<double>::infinity();
  interfaceConstants(k);
  for (int i = 1; i <= in_.numSeg; ++i) {
    conductances(i, k);
    for (int j = 1; j <= l; ++j) {
      const std::size_t s = at(j);
      // rdd(dt) = S + a dt - b dt^2: storage, the rates of the own
      // concentration, and the part of the numerical dispersion that grows
      // with the time step.
      const double sto = AreaLay_[s] * (in_.thetaSat[s] + in_.rho[s] * kdSta_[s]);
      double a = -in_.cofTraSed(j, k) * sto;
      double b = 0.0;
      if (j == 1) {
        a += std::min(Qs_[0], 0.0) - CofExcTop_(0, k);
      } else {
        a += Qs_[s - 1] * int_[s - 1].alpha - gFix_[s - 1];
        b += gDt_[s - 1];
      }
      if (j == l) {
        a -= std::max(Qs_[s], 0.0);
      } else {
        a -= Qs_[s] * (1.0 - int_[s].alpha) + gFix_[s];
        b += gDt_[s];
      }
      double dtMax = std::numeric_limits<double>::infinity();
      if (b > 0.0) {
        dtMax = (a + std::sqrt(a * a + 4.0 * b * sto)) / (2.0 * b);
      } else if (a < 0.0) {
        dtMax = sto / -a;
      }
      best = std::min(best, dtMax);
    }
  }
  return best;
}

double SedimentSolver::subStepBound() {
  initialise();
  if (run_ != nullptr) {
    RunOptions& options = run_->options();
    const double timStpSed = run_->waterBody().timStpSed();
    if (options.optInp() == InputInterval::Daily || options.optTimStp() == TimeStepOption::Input) {
      return timStpSed;
    }
    refreshFromRun();
  }
  double best = std::numeric_limits<double>::infinity();
  for (int k = 1; k <= in_.numCompounds; ++k) best = std::min(best, maxStableTimeStep(k));
  return best;
}

// ---------------------------------------------------------------------------
// Getters

double SedimentSolver::cofExcWatSed(int k) const {
  return CofExcTop_(0, k);
}

double SedimentSolver::boundary(Boundary b, int i, int k) const {
  return boundaries_[static_cast<std::size_t>(b)](i, k);
}

double SedimentSolver::columnSum(Term t, int i, int k) const {
  return sums_[static_cast<std::size_t>(t)](i, k);
}

}  // namespace korvan
