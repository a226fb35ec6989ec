#include "substance/sediment_solver.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/layout.hpp"
#include "driver/messages.hpp"
#include "driver/run.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/water_body.hpp"
#include "input/run_options.hpp"
#include "substance/compounds.hpp"
#include "substance/sediment.hpp"

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
  if (lbd > 0.0) return 1;
  if (ldd < 0.0) return 2;
  if (lod > 0.0) return 3;
  if (rbd < 0.0) return 4;
  if (rdd < 0.0) return 5;
  if (rod < 0.0) return 6;
  return 0;
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
  for (auto* v : {&gFix_, &gDt_, &numPerDtR_, &kdIt_, &kdArg_, &lbd_, &ldd_, &lod_, &rbd_, &rdd_, &rod_, &src_, &kdSta_, &stoSta_, &tra_,
                  &advOwn_, &advUpp_, &advLow_, &disOwn_, &disUpp_, &disLow_, &for_, &ers_}) {
    v->assign(n, 0.0);
  }
  CofExcTop_.allocate(0, in_.numCompounds);
  for (auto* a : {&ConLiqSed_, &ConLiqSedSta_, &ConLiqSedNew_, &KdSed_}) {
    a->allocate(l, in_.numSeg, in_.numCompounds);
  }
  for (auto& a : terms_) a.allocate(l, in_.numSeg, in_.numCompounds);
  for (auto& a : boundaries_) a.allocate(in_.numSeg, in_.numCompounds);
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
        ConLiqSedNew_(j, i, k) = c;
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

void SedimentSolver::interfaceConstants(int k) {
  const int l = in_.numLayers;
  for (int j = 0; j <= l; ++j) Qs_[at(j)] = in_.widRefSpg * in_.flwWatSpgSed[at(j)];
  for (int j = 1; j < l; ++j) {
    const Interface& f = int_[at(j)];
    const double w = in_.widSedInterface[at(j)];
    const double theta = in_.thetaSat[at(j)];
    // Darcy velocity at the interface; dispersion follows the pore-water
    // velocity.
    const double v = Qs_[at(j)] / w;
    const double cofDis = in_.lenDisSedLiq[at(j)] * std::fabs(v / theta);
    // The numerical dispersion of the scheme, taken off the physical
    // coefficient: its spatial part and its time part (the latter grows with
    // the time step, so it is kept apart, and shrinks with the retardation).
    const double numSpatial = 0.5 * v * (1.0 - 2.0 * f.alpha) * in_.thiLay[at(j)];
    numPerDtR_[at(j)] = 0.5 * v * (1.0 - 2.0 * kTheta) * v;
    gFix_[at(j)] = w * (f.theta * (in_.cofDifSed(j, k) + cofDis) - numSpatial) / f.dist;
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

void SedimentSolver::buildColumn(int i, int k, double dt, double conWat, double ers) {
  const int l = in_.numLayers;
  conductances(i, k);
  const double g0 = CofExcTop_(0, k);
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    const double area = AreaLay_[s];
    stoSta_[s] = area * (in_.thetaSat[s] + in_.rho[s] * kdSta_[s]);
    // Transformation of the total content, first order.
    tra_[s] = dt * in_.cofTraSed(j, k) * stoSta_[s];
    for_[s] = dt * area * in_.ratForSed(j, i, k);
    ers_[s] = j <= in_.numLayErs && AreaSedErs_ > 0.0 ? dt * ers * area / AreaSedErs_ : 0.0;
    advOwn_[s] = advUpp_[s] = advLow_[s] = disOwn_[s] = disUpp_[s] = disLow_[s] = 0.0;
    // Upper interface.
    if (j == 1) {
      const double q = Qs_[0];
      srcAdvTop_ = q > 0.0 ? dt * q * conWat : 0.0;
      ownAdvTop_ = q > 0.0 ? 0.0 : dt * q;
      srcDisTop_ = dt * g0 * conWat;
      ownDisTop_ = -dt * g0;
      advOwn_[s] += ownAdvTop_;
      disOwn_[s] += ownDisTop_;
    } else {
      const std::size_t u = at(j - 1);
      const double g = gFix_[u] + gDt_[u] * dt;
      advUpp_[s] = dt * Qs_[u] * (1.0 - int_[u].alpha);
      advOwn_[s] += dt * Qs_[u] * int_[u].alpha;
      disUpp_[s] = dt * g;
      disOwn_[s] -= dt * g;
    }
    // Lower interface.
    if (j == l) {
      const double q = Qs_[s];
      srcBot_ = q < 0.0 ? -dt * q * in_.conWatSpg : 0.0;
      ownBot_ = q < 0.0 ? 0.0 : -dt * q;
      advOwn_[s] += ownBot_;
    } else {
      const double g = gFix_[s] + gDt_[s] * dt;
      advOwn_[s] -= dt * Qs_[s] * (1.0 - int_[s].alpha);
      advLow_[s] = -dt * Qs_[s] * int_[s].alpha;
      disOwn_[s] -= dt * g;
      disLow_[s] = dt * g;
    }
    // With time weight 1 the end-of-step side holds the storage only.
    lbd_[s] = lod_[s] = 0.0;
    rdd_[s] = stoSta_[s] - tra_[s] + advOwn_[s] + disOwn_[s];
    rod_[s] = advUpp_[s] + disUpp_[s];
    rbd_[s] = advLow_[s] + disLow_[s];
    src_[s] = for_[s] + ers_[s];
  }
  src_[1] += srcAdvTop_ + srcDisTop_;
  src_[at(l)] += srcBot_;
}

void SedimentSolver::storageEnd(int k, std::span<const double> c, bool firstIterate) {
  for (int j = 1; j <= in_.numLayers; ++j) {
    const std::size_t s = at(j);
    // Every layer iterates on its own concentration alone (the neighbours
    // enter at the start of the step only), so a layer that has reached its
    // fixed point keeps the same iterate and the same coefficient.
    double kdEnd = kdSta_[s];
    if (!firstIterate) kdEnd = c[s] == kdArg_[s] ? kdIt_[s] : kd(j, k, c[s]);
    kdIt_[s] = kdEnd;
    kdArg_[s] = c[s];
    ldd_[s] = AreaLay_[s] * (in_.thetaSat[s] + in_.rho[s] * kdEnd);
  }
}

void SedimentSolver::checkPositivity(bool storageOnly) const {
  for (int j = 1; j <= in_.numLayers; ++j) {
    const std::size_t s = at(j);
    // After the first iterate only the end-of-step storage has changed, and
    // the other conditions held in every layer.
    if (storageOnly && ldd_[s] >= 0.0) [[likely]]
      continue;
    const int c = positivityViolation(lbd_[s], ldd_[s], lod_[s], rbd_[s], rdd_[s], rod_[s]);
    if (c == 0) [[likely]]
      continue;
    const double values[] = {lbd_[s], ldd_[s], lod_[s], rbd_[s], rdd_[s], rod_[s]};
    fatal(positivityMessage(c, j, values[c - 1]));
  }
}

void SedimentSolver::solveColumn(int i, int k, double dt, double conWat, double ers) {
  const int l = in_.numLayers;
  const auto c = ConLiqSed_.values(i, k);
  const auto c0 = ConLiqSedSta_.values(i, k);
  const auto cNew = ConLiqSedNew_.values(i, k);
  int count = 0;
  bool converged = false;
  while (count < kMaxIterations && !converged) {
    ++count;
    if (count == 1) {
      std::copy(c.begin(), c.end(), c0.begin());
      // Transport and sinks use the start of the step only: built once.
      buildColumn(i, k, dt, conWat, ers);
    } else {
      std::copy(cNew.begin(), cNew.end(), c.begin());
    }
    storageEnd(k, c, count == 1);
    numCellIterations_ += static_cast<std::uint64_t>(l);
    checkPositivity(count > 1);
    for (int j = 1; j <= l; ++j) {
      const std::size_t s = at(j);
      double rhs = rdd_[s] * c0[s] + src_[s];
      if (j > 1) rhs += rod_[s] * c0[s - 1];
      if (j < l) rhs += rbd_[s] * c0[s + 1];
      cNew[s] = rhs / ldd_[s];
    }
    converged = true;
    for (int j = 1; j <= l; ++j) {
      const std::size_t s = at(j);
      if (std::fabs(cNew[s] - c[s]) > kFacConvergence * kTolConvergence * std::fabs(cNew[s])) {
        converged = false;
        break;
      }
    }
  }
  if (!converged) {
    fatal({"Number of iterations for sediment needed is greater than maximum number of 50",
           "This error should not occur - please report", ""});
  }
  // Kd at the new concentrations: where the last iterate did not move, the
  // value of the last storage evaluation holds already. The update is then
  // repeated once with that Kd, so that the end storage of the step, the
  // mass the layer holds and the start storage of the next step are one and
  // the same: the sediment balance closes to round-off instead of to the
  // convergence tolerance.
  const auto kdNew = KdSed_.values(i, k);
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    kdNew[s] = cNew[s] == c[s] ? kdIt_[s] : kd(j, k, cNew[s]);
    ldd_[s] = AreaLay_[s] * (in_.thetaSat[s] + in_.rho[s] * kdNew[s]);
  }
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    double rhs = rdd_[s] * c0[s] + src_[s];
    if (j > 1) rhs += rod_[s] * c0[s - 1];
    if (j < l) rhs += rbd_[s] * c0[s + 1];
    cNew[s] = rhs / ldd_[s];
  }
  std::copy(cNew.begin(), cNew.end(), c.begin());
  for (int j = 1; j <= l; ++j) {
    if (c[at(j)] < 0.0) {
      fatal({"Negative concentration of compound encountered in sediment layer" +
                 formatLayout("(i5)", {std::int64_t{j}}),
             "under water layer segment" + formatLayout("(i5)", {std::int64_t{i}}),
             "This error should not occur - please report"});
    }
  }
  storeTerms(i, k, c0, cNew);
}

void SedimentSolver::storeTerms(int i, int k, std::span<const double> c0,
                                std::span<const double> cNew) {
  const int l = in_.numLayers;
  auto& sto = terms_[static_cast<std::size_t>(Term::Storage)];
  auto& adv = terms_[static_cast<std::size_t>(Term::Advection)];
  auto& dis = terms_[static_cast<std::size_t>(Term::Dispersion)];
  auto& tra = terms_[static_cast<std::size_t>(Term::Transformation)];
  auto& frm = terms_[static_cast<std::size_t>(Term::Formation)];
  auto& ers = terms_[static_cast<std::size_t>(Term::Erosion)];
  for (int j = 1; j <= l; ++j) {
    const std::size_t s = at(j);
    const double up = j > 1 ? c0[s - 1] : 0.0;
    const double low = j < l ? c0[s + 1] : 0.0;
    // ldd x new = rdd x C0 + neighbours + source holds by construction, so
    // the storage change is the sum of the other terms.
    sto(j, i, k) = ldd_[s] * cNew[s] - stoSta_[s] * c0[s];
    adv(j, i, k) = advOwn_[s] * c0[s] + advUpp_[s] * up + advLow_[s] * low;
    dis(j, i, k) = disOwn_[s] * c0[s] + disUpp_[s] * up + disLow_[s] * low;
    tra(j, i, k) = -tra_[s] * c0[s];
    frm(j, i, k) = for_[s];
    ers(j, i, k) = ers_[s];
  }
  adv(1, i, k) += srcAdvTop_;
  dis(1, i, k) += srcDisTop_;
  adv(l, i, k) += srcBot_;
  boundaries_[static_cast<std::size_t>(Boundary::SurfaceAdvection)](i, k) =
      srcAdvTop_ + ownAdvTop_ * c0[1];
  boundaries_[static_cast<std::size_t>(Boundary::SurfaceDiffusion)](i, k) =
      srcDisTop_ + ownDisTop_ * c0[1];
  boundaries_[static_cast<std::size_t>(Boundary::Bottom)](i, k) = srcBot_ + ownBot_ * c0[at(l)];
}

void SedimentSolver::fatal(const std::array<std::string, 3>& lines) const {
  if (run_ != nullptr) run_->messages().fatal(kRoutine, lines[0], lines[1], lines[2]);
  throw SedimentSolverStop{kRoutine, lines};
}

// ---------------------------------------------------------------------------
// Step

void SedimentSolver::step(double dt, const CompoundSegmentArray& conLiqWatLay,
                          const CompoundSegmentArray* erosion) {
  initialise();
  ++numSteps_;
  if (run_ != nullptr) refreshFromRun();
  for (int k = 1; k <= in_.numCompounds; ++k) {
    stepCompound(k, dt, conLiqWatLay.values(k),
                 erosion != nullptr ? erosion->values(k) : std::span<const double>{});
  }
}

void SedimentSolver::stepCompound(int k, double dt, std::span<const double> conLiqWatLay,
                                  std::span<const double> erosion) {
  initialise();
  interfaceConstants(k);
  for (int i = 1; i <= in_.numSeg; ++i) {
    const double ers = erosion.empty() ? 0.0 : erosion[at(i)];
    solveColumn(i, k, dt, conLiqWatLay[at(i)], ers);
  }
}

void SedimentSolver::setConLiqSed(const CompoundSedimentArray& conLiqSed) {
  initialise();
  ConLiqSed_ = conLiqSed;
  for (int k = 1; k <= in_.numCompounds; ++k) {
    for (int i = 1; i <= in_.numSeg; ++i) updateKdColumn(i, k);
  }
}

void SedimentSolver::updatePhases() {
  if (run_ == nullptr) return;
  run_->compounds().updateSorptionSed(ConLiqSed_, KdSed_);
  run_->compounds().updateConSysSed(ConLiqSed_);
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

double SedimentSolver::term(Term t, int j, int i, int k) const {
  return terms_[static_cast<std::size_t>(t)](j, i, k);
}

double SedimentSolver::boundary(Boundary b, int i, int k) const {
  return boundaries_[static_cast<std::size_t>(b)](i, k);
}

double SedimentSolver::columnSum(Term t, int i, int k) const {
  double sum = 0.0;
  for (int j = 1; j <= in_.numLayers; ++j) sum += term(t, j, i, k);
  return sum;
}

}  // namespace korvan
