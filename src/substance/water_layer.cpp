#include "substance/water_layer.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/vector_math.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"

namespace korvan {

namespace {

constexpr const char* kRoutine = "WaterLayer";
constexpr const char* kReport = "This error should not occur - please report";
constexpr double kNoLimit = std::numeric_limits<double>::max();

using T = WaterLayerTerm;

std::size_t at(int i) {
  return static_cast<std::size_t>(i);
}

// Value of a per-segment input, 0 when the caller left the array empty.
double valueAt(const std::vector<double>& v, int i) {
  return v.empty() ? 0.0 : v[at(i)];
}

}  // namespace

double nodeArea(const WaterLayerHydraulics& h, std::span<const double> alpha, int i, int n) {
  if (i <= 0) return h.area[1];
  if (i >= n) return h.area[at(n)];
  return (1.0 - alpha[at(i)]) * h.area[at(i)] + alpha[at(i)] * h.area[at(i + 1)];
}

// --- A0 ----------------------------------------------------------------------

double cofDisPhsFischer(double c, double u, double uShear, double width, double depth) {
  if (uShear == 0.0 || depth <= 0.0) return kCofDisPhsMin;
  return std::max(c * u * u * width * width / (depth * uShear), kCofDisPhsMin);
}

double fischerCoefficient(bool merixOrOrlan, bool zrOrBrax) {
  if (merixOrOrlan) return 0.273;
  if (zrOrBrax) return 0.028;
  return 0.0;
}

double cofDisPhsInput(double cofDisPhsInpPerDay) {
  return std::max(cofDisPhsInpPerDay / 86400.0, kCofDisPhsMin);
}

// --- A1 ----------------------------------------------------------------------

std::vector<double> spatialWeights(std::span<const double> lenSeg, std::span<const double> x,
                                   double w) {
  const int n = static_cast<int>(lenSeg.size()) - 1;
  std::vector<double> alpha(at(std::max(n, 1)) + 1, 0.0);
  if (n <= 1) {
    alpha[1] = 1.0;
    return alpha;
  }
  for (int i = 1; i < n; ++i) {
    const double dist = x[at(i + 1)] - x[at(i)];
    alpha[at(i)] = (w > 0.0 && w <= 0.5)
                       ? w * lenSeg[at(i)] / dist
                       : (0.5 * lenSeg[at(i)] + (w - 0.5) * lenSeg[at(i + 1)]) / dist;
  }
  alpha[at(n)] = alpha[at(n - 1)];
  return alpha;
}

// --- A7 ----------------------------------------------------------------------

namespace {

// The period (s) in the fewest equal sub-steps of at most timStpSed, where
// timStpSed is below the water layer's step; a step that divides the period
// is kept exactly.
SubstanceTimeStep boundBySediment(SubstanceTimeStep ts, double timStpSed, double period) {
  if (timStpSed >= ts.dt) return ts;
  int n = static_cast<int>(period / timStpSed);
  if (!cmp::le(period, n * timStpSed)) ++n;
  return {period / n, n};
}

}  // namespace

SubstanceTimeStep dailyTimeStep(double timStpSed) {
  return boundBySediment({600.0, 144}, timStpSed, 86400.0);
}

SubstanceTimeStep inputTimeStep(double timStpWat, double timStpSed) {
  return boundBySediment({timStpWat, static_cast<int>(3600.0 / timStpWat)}, timStpSed, 3600.0);
}

SubstanceTimeStep calcTimeStep(double dtStableWatLay, double dtStableSed, bool komSedSmall,
                               double maxStep) {
  double dt = std::min(dtStableWatLay, dtStableSed);
  // A margin below the stability limit, so rounding cannot turn rdd negative.
  if (dt < 3600.0) dt -= 0.02 * dt;
  // Weakly sorbing sediment exchanges fast with the water: a short step.
  if (komSedSmall) dt = std::min(dt, 720.0);
  if (dt >= maxStep) return {maxStep, static_cast<int>(3600.0 / maxStep)};
  if (dt <= 0.01) return {0.01, 360000};
  const int n = static_cast<int>(3600.0 / dt) + 1;
  return {3600.0 / n, n};
}

// --- Solver ------------------------------------------------------------------

WaterLayerSolver::WaterLayerSolver(Run& run) : run_(run) {}

void WaterLayerSolver::readOptions() {
  if (optionsRead_) return;
  optionsRead_ = true;
  optDis_ = static_cast<DispersionOption>(run_.records().rdOption("OptDis", "Fischer Input"));
  if (optDis_ == DispersionOption::Input) {
    cofDisPhsInp_ = cofDisPhsInput(
        run_.numbers().rdFloat("CofDisPhsInp", {.unit = "(m2.d-1)", .min = 0.0, .max = 1.0e6}));
  }
  const RunIdentity& id = run_.identity();
  const std::string& edition = id.callingProgram();
  cFischer_ =
      fischerCoefficient(id.isMerix() || id.isOrlan(), edition == "ZR" || edition == "BRAX");
  orlan_ = id.isOrlan();
  // The water system type is read only with variable flow; the hydrology
  // has resolved it into its kind.
  merixWaterCourse_ = id.isMerix() && run_.hydrology().kind() == HydrologyKind::WaterCourse;
}

void WaterLayerSolver::allocate(int numSeg, int numCompounds, double conLiqIni) {
  for (CompoundSegmentArray* a : {&ConLiqWatLay_, &ConLiqWatLaySta_, &ConLiqWatLayNew_, &lbd_,
                                  &ldd_, &lod_, &rbd_, &rdd_, &rod_, &src_}) {
    a->allocate(numSeg, numCompounds);
  }
  for (CompoundSegmentArray& a : terms_) a.allocate(numSeg, numCompounds);
  iterations_.assign(at(numCompounds), 0);
  for (int i = 1; i <= numSeg && numCompounds >= 1; ++i) ConLiqWatLay_(i, 1) = conLiqIni;
  for (std::vector<double>* v : {&sEnd_, &mEnd_, &conEnd_, &sSta_, &mSta_, &dCor_, &powArg_}) {
    v->assign(at(numSeg) + 1, 0.0);
  }
  movedIdx_.assign(at(numSeg) + 1, 0);
}

void WaterLayerSolver::ensureArrays(const WaterLayerInput& in) {
  const int nc = static_cast<int>(in.compounds.size());
  if (!ConLiqWatLay_.allocated()) allocate(in.numSeg, nc, 0.0);
  // The weights depend on the segmentation only, which is fixed for the run.
  if (alpha_.empty()) alpha_ = spatialWeights(in.lenSeg, in.x);
}

// S = ConSus Kd (suspended solids) and M = CofSorMph AmaMph P / A (macrophytes)
// per segment, Kd at the concentrations given.
void WaterLayerSolver::sorptionFactors(const WaterLayerInput& in, const WaterLayerCompound& c,
                                       const WaterLayerHydraulics& h, std::span<const double> con,
                                       std::span<double> s, std::span<double> m) const {
  c.isoSusSol.kdArray(in.cntOmSusSol, con.data(), s.data(), in.numSeg);
  for (int i = 1; i <= in.numSeg; ++i) {
    s[at(i)] = in.conSus * s[at(i)];
    m[at(i)] = c.cofSorMph * amaMphPerVolume(in.amaMphWatLay, h.perWet[at(i)], h.area[at(i)]);
  }
}

// A2 with theta = 1: only the start-of-step set carries weight, so only it is
// computed. Nodes 0 and N are boundaries without dispersive flux (the inflow
// carries its own concentration, the outflow leaves with a zero gradient).
void WaterLayerSolver::correctedDispersion(const WaterLayerInput& in, const WaterLayerHydraulics& h,
                                           std::span<const double> s, std::span<const double> m) {
  const int n = in.numSeg;
  for (int i = 1; i < n; ++i) {
    const double a = alpha_[at(i)];
    const double area = nodeArea(h, alpha_, i, n);
    const double u = area > 0.0 ? h.qBou[at(i)] / area : 0.0;
    const double nS = c_expFre_ * s[at(i)];
    const double uEff = u * (1.0 + nS) / (1.0 + m[at(i)] + nS);
    const double dNum =
        0.5 * u * ((1.0 - 2.0 * a) * in.lenSeg[at(i)] + (1.0 - 2.0 * kThetaWatLay) * uEff * in.dt);
    dCor_[at(i)] = h.cofDisPhs[at(i)] - dNum;
  }
}

// A3: the contributions of compound k from the start-of-step state. Every
// term but the end-of-step storage depends on start-of-step values only.
void WaterLayerSolver::assemble(const WaterLayerInput& in, const SedimentTop& sed, int k) {
  const WaterLayerCompound& c = in.compounds[at(k - 1)];
  const WaterLayerHydraulics& h = in.start;
  const int n = in.numSeg;
  const double dt = in.dt;
  c_expFre_ = c.isoSusSol.expFre;
  sorptionFactors(in, c, h, ConLiqWatLaySta_.values(k), sSta_, mSta_);
  correctedDispersion(in, h, sSta_, mSta_);
  for (CompoundSegmentArray& a : terms_) std::ranges::fill(a.values(k), 0.0);
  auto put = [&](T t, int i, double v) { terms_[static_cast<std::size_t>(t)](i, k) = v; };
  const double difCof = sed.cofDifSed1.empty() ? 0.0 : sed.cofDifSed1[at(k - 1)];
  for (int i = 1; i <= n; ++i) {
    const double dx = in.lenSeg[at(i)];
    const double rS = 1.0 + sSta_[at(i)];
    const double sto = h.area[at(i)] * (rS + mSta_[at(i)]);
    put(T::StoSta, i, sto);
    if (i < n) {
      const double q = h.qBou[at(i)];
      const double a = alpha_[at(i)];
      const double rSd = 1.0 + sSta_[at(i + 1)];
      const double dis =
          dt * 2.0 * nodeArea(h, alpha_, i, n) * dCor_[at(i)] / (dx * (dx + in.lenSeg[at(i + 1)]));
      put(T::AdvDwnOwn, i, -dt * q / dx * (1.0 - a) * rS);
      put(T::AdvDwnNbr, i, -dt * q / dx * a * rSd);
      put(T::DisDwnOwn, i, -dis * rS);
      put(T::DisDwnNbr, i, dis * rSd);
    } else {
      // Node N: the outflow has the concentration of the last segment.
      put(T::AdvDwnOwn, i, -dt * h.qBou[at(n)] / dx * rS);
    }
    if (i > 1) {
      const double q = h.qBou[at(i - 1)];
      const double a = alpha_[at(i - 1)];
      const double rSu = 1.0 + sSta_[at(i - 1)];
      const double dis = dt * 2.0 * nodeArea(h, alpha_, i - 1, n) * dCor_[at(i - 1)] /
                         (dx * (in.lenSeg[at(i - 1)] + dx));
      put(T::AdvUpsNbr, i, dt * q / dx * (1.0 - a) * rSu);
      put(T::AdvUpsOwn, i, dt * q / dx * a * rS);
      put(T::DisUpsNbr, i, dis * rSu);
      put(T::DisUpsOwn, i, -dis * rS);
    } else if (h.qBou[0] >= 0.0) {
      put(T::Inflow, i, dt * h.qBou[0] / dx * c.conSysUps);
    } else {
      put(T::AdvUpsOwn, i, dt * h.qBou[0] / dx * rS);  // flow leaving upstream
    }
    const double b = h.width[at(i)];
    put(T::Tra, i, -dt * c.cofTra * sto);
    put(T::Vol, i, -dt * c.cofVol * b);
    put(T::AirExc, i, dt * c.cofVol * b * c.conLiqEquAir);
    put(T::For, i, dt * valueAt(c.ratFor, i) * h.area[at(i)]);
    put(T::AtmDep, i, dt * valueAt(c.ratAtmDep, i) * b);
    put(T::Dra, i, dt * valueAt(c.flmDra, i));
    put(T::Rnf, i, dt * valueAt(c.flmRnf, i));
    put(T::UpsCatch, i, dt * valueAt(c.flmUpsCatch, i));
    // Top sediment layer: seepage carries the concentration of the side it
    // leaves; diffusion over half the layer's thickness drives the difference.
    const double conSed = sed.conLiqSed1 ? (*sed.conLiqSed1)(i, k) : 0.0;
    const double qSpg = valueAt(in.qSpg, i);
    if (qSpg > 0.0) {
      put(T::SpgOut, i, -dt * qSpg);
    } else if (in.upwardSeepageCarriesSediment) {
      put(T::SpgIn, i, -dt * qSpg * conSed);
    }
    const double kDif =
        in.thiLay1 > 0.0 ? 2.0 * in.thetaSat1 * valueAt(in.widSed, i) * difCof / in.thiLay1 : 0.0;
    put(T::DifOut, i, -dt * kDif);
    put(T::DifIn, i, dt * kDif * conSed);
  }
}

// Storage and loading only: rdd is the start-of-step storage and ldd the
// end-of-step storage of the step's hydraulics, as in the transport solve.
void WaterLayerSolver::assembleLoading(const WaterLayerInput& in, int k, bool withSource) {
  const WaterLayerCompound& c = in.compounds[at(k - 1)];
  sorptionFactors(in, c, in.start, ConLiqWatLaySta_.values(k), sSta_, mSta_);
  for (CompoundSegmentArray& a : terms_) std::ranges::fill(a.values(k), 0.0);
  for (int i = 1; i <= in.numSeg; ++i) {
    terms_[static_cast<std::size_t>(T::StoSta)](i, k) =
        in.start.area[at(i)] * (1.0 + sSta_[at(i)] + mSta_[at(i)]);
    if (withSource) terms_[static_cast<std::size_t>(T::Loa)](i, k) = valueAt(c.loaWatLay, i);
  }
}

void WaterLayerSolver::sumElements(int k, int numSeg) {
  auto v = [&](T t, int i) { return terms_[static_cast<std::size_t>(t)](i, k); };
  for (int i = 1; i <= numSeg; ++i) {
    // With theta = 1 the end-of-step off-diagonals are 0 and ldd is the
    // end-of-step storage.
    lbd_(i, k) = 0.0;
    lod_(i, k) = 0.0;
    ldd_(i, k) = v(T::StoEnd, i);
    rdd_(i, k) = v(T::StoSta, i) + v(T::AdvDwnOwn, i) + v(T::AdvUpsOwn, i) + v(T::DisDwnOwn, i) +
                 v(T::DisUpsOwn, i) + v(T::Tra, i) + v(T::Vol, i) + v(T::SpgOut, i) +
                 v(T::DifOut, i);
    rod_(i, k) = v(T::AdvUpsNbr, i) + v(T::DisUpsNbr, i);
    rbd_(i, k) = v(T::AdvDwnNbr, i) + v(T::DisDwnNbr, i);
    src_(i, k) = v(T::Inflow, i) + v(T::AtmDep, i) + v(T::Dra, i) + v(T::Rnf, i) +
                 v(T::UpsCatch, i) + v(T::AirExc, i) + v(T::SpgIn, i) + v(T::DifIn, i) +
                 v(T::For, i) + v(T::Loa, i);
  }
}

// A4. Widths: the segment as (i4) and the element as (g12.4), enough for
// 9999 segments and four significant digits; the time step as (f10.2).
void WaterLayerSolver::checkPositivity(int k, int numSeg, double dt) const {
  constexpr const char* kSegments = "Decrease segment lengths of water body";
  auto fail = [&](const char* l1, int i, const char* name, double value, bool timeStep) {
    const std::string l2 =
        formatLayout("(a,i4,a,g12.4)", {"At segment:", static_cast<std::int64_t>(i), name, value});
    const std::string l3 =
        timeStep ? formatLayout("(a,f10.2,a)", {"Time step of", dt, "s is too large"}) : kSegments;
    run_.messages().fatal(kRoutine, l1, l2, l3);
  };
  for (int i = 1; i <= numSeg; ++i) {
    if (lbd_(i, k) > 0.0)
      fail("Positivity condition 1 (lbd =< 0) not fulfilled", i, " lbd is", lbd_(i, k), false);
    if (ldd_(i, k) < 0.0)
      fail("Positivity condition 2 (ldd >= 0) not fulfilled", i, " ldd is", ldd_(i, k), true);
    if (lod_(i, k) > 0.0)
      fail("Positivity condition 3 (lod =< 0) not fulfilled", i, " lod is", lod_(i, k), false);
    if (rbd_(i, k) < 0.0)
      fail("Positivity condition 4 (rbd >= 0) not fulfilled", i, " rbd is", rbd_(i, k), false);
    if (rdd_(i, k) < 0.0)
      fail("Positivity condition 5 (rdd >= 0) not fulfilled", i, " rdd is", rdd_(i, k), true);
    if (rod_(i, k) < 0.0)
      fail("Positivity condition 6 (rod >= 0) not fulfilled", i, " rod is", rod_(i, k), false);
  }
}

// A5. A dry segment (no end-of-step storage) keeps its concentration.
void WaterLayerSolver::update(int k, int numSeg) {
  for (int i = 1; i <= numSeg; ++i) {
    double r = rdd_(i, k) * ConLiqWatLaySta_(i, k) + src_(i, k);
    if (i > 1) r += rod_(i, k) * ConLiqWatLaySta_(i - 1, k);
    if (i < numSeg) r += rbd_(i, k) * ConLiqWatLaySta_(i + 1, k);
    ConLiqWatLayNew_(i, k) = ldd_(i, k) > 0.0 ? r / ldd_(i, k) : ConLiqWatLaySta_(i, k);
  }
}

// The end-of-step storage at the current iterate. The macrophyte factor
// depends on the hydraulics only, and a segment whose iterate did not move
// keeps its storage: both are computed again only where they can change.
void WaterLayerSolver::endStorage(const WaterLayerInput& in, int k) {
  const WaterLayerCompound& c = in.compounds[at(k - 1)];
  const auto con = ConLiqWatLay_.values(k);
  auto stoEnd = terms_[static_cast<std::size_t>(T::StoEnd)].values(k);
  const bool first = iterations_[at(k - 1)] == 1;
  const FreundlichIsotherm& iso = c.isoSusSol;
  // The segments whose storage changes, and the isotherm powers they need,
  // raised together on the vector unit.
  std::size_t moved = 0, powers = 0;
  for (int i = 1; i <= in.numSeg; ++i) {
    const std::size_t s = at(i);
    if (first) {
      mEnd_[s] = c.cofSorMph * amaMphPerVolume(in.amaMphWatLay, in.end.perWet[s], in.end.area[s]);
    } else if (con[s] == conEnd_[s]) {
      continue;
    }
    movedIdx_[moved++] = s;
    if (!iso.linear && con[s] > kConLiqMinFre) powArg_[powers++] = con[s] / iso.conLiqRef;
  }
  vecmath::powArray(powArg_.data(), iso.expFre - 1.0, powArg_.data(), powers);
  const double kdRef = in.cntOmSusSol * iso.kom;
  powers = 0;
  for (std::size_t n = 0; n < moved; ++n) {
    const std::size_t s = movedIdx_[n];
    conEnd_[s] = con[s];
    const double kd = iso.linear               ? kdRef
                      : con[s] > kConLiqMinFre ? kdRef * powArg_[powers++]
                                               : kdRef * iso.frozen;
    sEnd_[s] = in.conSus * kd;
    stoEnd[s] = in.end.area[s] * (1.0 + sEnd_[s] + mEnd_[s]);
  }
}

void WaterLayerSolver::buildTransport(const WaterLayerInput& in, int k) {
  if (iterations_[at(k - 1)] == 1) assemble(in, *sed_, k);
  endStorage(in, k);
}

void WaterLayerSolver::buildLoading(const WaterLayerInput& in, int k) {
  if (iterations_[at(k - 1)] == 1) {
    // Compound 1 carries the loading; a daughter only where the gatherer
    // filled its share (MERIX water course).
    assembleLoading(in, k, true);
  }
  endStorage(in, k);
}

// A6 steps 1 to 3.
bool WaterLayerSolver::iterate(const WaterLayerInput& in, int k,
                               void (WaterLayerSolver::*build)(const WaterLayerInput&, int)) {
  const int n = in.numSeg;
  auto cur = ConLiqWatLay_.values(k);
  auto sta = ConLiqWatLaySta_.values(k);
  auto nw = ConLiqWatLayNew_.values(k);
  int& count = iterations_[at(k - 1)];
  count = 0;
  while (count < kMaxItWatLay) {
    ++count;
    if (count == 1) {
      std::ranges::copy(cur, sta.begin());
    } else {
      std::ranges::copy(nw, cur.begin());
    }
    (this->*build)(in, k);
    sumElements(k, n);
    checkPositivity(k, n, in.dt);
    update(k, n);
    bool converged = true;
    for (int i = 1; i <= n && converged; ++i) {
      converged =
          std::fabs(nw[at(i)] - cur[at(i)]) <= kFacConvWatLay * kTolWatLay * std::fabs(nw[at(i)]);
    }
    if (converged) {
      std::ranges::copy(nw, cur.begin());
      return true;
    }
  }
  return false;
}

// A6 steps 4 to 6.
void WaterLayerSolver::checkAfter(const WaterLayerInput& in, int k, bool converged) {
  if (!converged) {
    run_.messages().fatal(
        kRoutine,
        "Number of iterations for water layer needed is greater than maximum number of 50",
        kReport);
  }
  for (int i = 1; i <= in.numSeg; ++i) {
    if (ConLiqWatLay_(i, k) < 0.0) {
      run_.messages().fatal(kRoutine, "Negative concentration of compound encountered in layer",
                            kReport);
    }
  }
  if (in.checkSolubility && !run_.compounds().solubilityExceeded()) {
    const auto all = ConLiqWatLay_.values(k);
    run_.compounds().checkSolubility(k, all, in.time);
  }
}

void WaterLayerSolver::solve(const WaterLayerInput& in, const SedimentTop& sed) {
  ensureArrays(in);
  sed_ = &sed;
  const int nc = static_cast<int>(in.compounds.size());
  for (int k = 1; k <= nc; ++k) {
    const bool converged = iterate(in, k, &WaterLayerSolver::buildTransport);
    checkAfter(in, k, converged);
  }
  sed_ = nullptr;
}

// A6a. The loading flag holds for compound 1, and in a MERIX water course
// for every compound: these are solved with storage and loading only. Once
// the flag is lowered after compound 1, the later compounds take the
// ordinary transport step with its checks.
void WaterLayerSolver::solveLoading(const WaterLayerInput& in, const SedimentTop& sed) {
  ensureArrays(in);
  const int nc = static_cast<int>(in.compounds.size());
  for (int k = 1; k <= nc; ++k) {
    if (k >= 2 && !in.loadingAllCompounds) {
      sed_ = &sed;
      checkAfter(in, k, iterate(in, k, &WaterLayerSolver::buildTransport));
      sed_ = nullptr;
    } else if (!iterate(in, k, &WaterLayerSolver::buildLoading)) {
      // The checks of A6 steps 4 to 6 are skipped in the loading solve; an
      // unconverged loading solve keeps the last update.
      std::ranges::copy(ConLiqWatLayNew_.values(k), ConLiqWatLay_.values(k).begin());
    }
  }
}

// rdd(dt) = storage - dt (a + b dt): a the net rates of the own concentration
// at dt = 0 (the inflow share of the own concentration counts against the
// losses, so the limit is where rdd itself reaches 0), b the growth
// of the dispersion losses with dt through the numerical-dispersion
// correction. The largest dt with rdd >= 0 is the positive root.
double WaterLayerSolver::stableTimeStep(const WaterLayerInput& in, const SedimentTop& sed,
                                        bool endState) {
  ensureArrays(in);
  const WaterLayerHydraulics& h = endState ? in.end : in.start;
  const int n = in.numSeg;
  double best = kNoLimit;
  for (int k = 1; k <= static_cast<int>(in.compounds.size()); ++k) {
    const WaterLayerCompound& c = in.compounds[at(k - 1)];
    sorptionFactors(in, c, h, ConLiqWatLay_.values(k), sSta_, mSta_);
    const double difCof = sed.cofDifSed1.empty() ? 0.0 : sed.cofDifSed1[at(k - 1)];
    // Dispersion through node j per unit of (1 + S): base and per-second parts.
    auto disp = [&](int j, int i, int nb, double& a, double& b) {
      const double area = nodeArea(h, alpha_, j, n);
      const double u = area > 0.0 ? h.qBou[at(j)] / area : 0.0;
      const double nS = c.isoSusSol.expFre * sSta_[at(j)];
      const double uEff = u * (1.0 + nS) / (1.0 + mSta_[at(j)] + nS);
      const double geo = 2.0 * area / (in.lenSeg[at(i)] * (in.lenSeg[at(i)] + in.lenSeg[at(nb)]));
      a += geo * (h.cofDisPhs[at(j)] - 0.5 * u * (1.0 - 2.0 * alpha_[at(j)]) * in.lenSeg[at(j)]);
      b += geo * 0.5 * u * uEff;
    };
    for (int i = 1; i <= n; ++i) {
      const double dx = in.lenSeg[at(i)];
      const double rS = 1.0 + sSta_[at(i)];
      const double sto = h.area[at(i)] * (rS + mSta_[at(i)]);
      if (sto <= 0.0) continue;  // a dry segment holds nothing to limit
      double dA = 0.0;
      double dB = 0.0;
      if (i < n) disp(i, i, i + 1, dA, dB);
      if (i > 1) disp(i - 1, i, i - 1, dA, dB);
      // Net advection of the own concentration: out through node i, in
      // through node i-1 (a gain, or a loss where the flow leaves upstream).
      const double qOut = i < n ? h.qBou[at(i)] * (1.0 - alpha_[at(i)]) : h.qBou[at(n)];
      const double qIn = i > 1 ? h.qBou[at(i - 1)] * alpha_[at(i - 1)] : std::min(h.qBou[0], 0.0);
      double a = (qOut - qIn) / dx * rS + dA * rS + c.cofTra * sto + c.cofVol * h.width[at(i)] +
                 std::max(valueAt(in.qSpg, i), 0.0);
      if (in.thiLay1 > 0.0) a += 2.0 * in.thetaSat1 * valueAt(in.widSed, i) * difCof / in.thiLay1;
      const double b = dB * rS;
      double dt = kNoLimit;
      if (b > 0.0) {
        dt = 2.0 * sto / (a + std::sqrt(a * a + 4.0 * b * sto));
      } else if (a > 0.0) {
        dt = sto / a;
      }
      best = std::min(best, dt);
    }
  }
  return best;
}

// --- Amounts -----------------------------------------------------------------

WaterLayerAmounts WaterLayerSolver::amounts(const WaterLayerInput& in, int k) const {
  WaterLayerAmounts m;
  const int n = in.numSeg;
  auto v = [&](T t, int i) { return terms_[static_cast<std::size_t>(t)](i, k); };
  for (int i = 1; i <= n; ++i) {
    const double dx = in.lenSeg[at(i)];
    const double c0 = ConLiqWatLaySta_(i, k);
    const double cUp = i > 1 ? ConLiqWatLaySta_(i - 1, k) : 0.0;
    const double cDn = i < n ? ConLiqWatLaySta_(i + 1, k) : 0.0;
    m.storageChange += dx * (v(T::StoEnd, i) * ConLiqWatLayNew_(i, k) - v(T::StoSta, i) * c0);
    m.tra += dx * v(T::Tra, i) * c0;
    m.vol += dx * v(T::Vol, i) * c0;
    m.airExc += dx * v(T::AirExc, i);
    m.formation += dx * v(T::For, i);
    m.atmDep += dx * v(T::AtmDep, i);
    m.dra += dx * v(T::Dra, i);
    m.rnf += dx * v(T::Rnf, i);
    m.upsCatch += dx * v(T::UpsCatch, i);
    m.loa += dx * v(T::Loa, i);
    m.sediment += dx * ((v(T::SpgOut, i) + v(T::DifOut, i)) * c0 + v(T::SpgIn, i) + v(T::DifIn, i));
    const double dwn = dx * (v(T::AdvDwnOwn, i) * c0 + v(T::AdvDwnNbr, i) * cDn);
    const double ups = dx * (v(T::AdvUpsOwn, i) * c0 + v(T::AdvUpsNbr, i) * cUp);
    (i == n ? m.downstream : m.internal) += dwn;
    (i == 1 ? m.upstream : m.internal) += ups;
    m.upstream += dx * v(T::Inflow, i);
    m.internal += dx * ((v(T::DisDwnOwn, i) + v(T::DisUpsOwn, i)) * c0 + v(T::DisDwnNbr, i) * cDn +
                        v(T::DisUpsNbr, i) * cUp);
  }
  return m;
}

// --- From the run ------------------------------------------------------------

namespace {

// One hydraulic state at the fraction of the sub-steps done: the interpolated
// depth and discharge and the trapezoid of the water body.
void fillState(Run& run, int done, WaterLayerHydraulics& h, std::vector<double>& depth) {
  Hydrology& hy = run.hydrology();
  WaterBody& wb = run.waterBody();
  const int n = wb.numSeg();
  const double w = wb.widWatSys();
  const double s = wb.sloSidWatSys();
  const double side = 2.0 * std::sqrt(1.0 + s * s);
  h.qBou.assign(at(n) + 1, 0.0);
  h.area.assign(at(n) + 1, 0.0);
  h.width.assign(at(n) + 1, 0.0);
  h.perWet.assign(at(n) + 1, 0.0);
  h.cofDisPhs.assign(at(n) + 1, 0.0);
  depth.assign(at(n) + 1, 0.0);
  for (int i = 0; i <= n; ++i) h.qBou[at(i)] = hy.qBouPrevious(i) + done * hy.delQBou(i);
  for (int i = 1; i <= n; ++i) {
    const double d = hy.depWatPrevious(i) + done * hy.delDepWat(i);
    depth[at(i)] = d;
    h.area[at(i)] = w * d + s * d * d;
    h.width[at(i)] = w + 2.0 * s * d;
    h.perWet[at(i)] = w + side * d;
  }
}

// A0 per node from a hydraulic state: node i takes the depth and discharge
// ratio of segment i (segment 1 for node 0) and the mean width of i and i+1.
void dispersionOf(double c, DispersionOption opt, double inp, const std::vector<double>& depth,
                  std::span<const double> alpha, WaterLayerHydraulics& h) {
  const int n = static_cast<int>(h.area.size()) - 1;
  for (int i = 0; i <= n; ++i) {
    if (opt == DispersionOption::Input) {
      h.cofDisPhs[at(i)] = inp;
      continue;
    }
    const int seg = std::max(i, 1);
    const int nxt = std::min(seg + 1, n);
    const double width = 0.5 * (h.width[at(seg)] + h.width[at(nxt)]);
    const double aNode = nodeArea(h, alpha, i, n);
    const double u = aNode > 0.0 ? h.qBou[at(i)] / aNode : 0.0;
    const double uShear = h.area[at(seg)] > 0.0 ? 0.1 * h.qBou[at(i)] / h.area[at(seg)] : 0.0;
    h.cofDisPhs[at(i)] = cofDisPhsFischer(c, u, uShear, width, depth[at(seg)]);
  }
}

}  // namespace

const WaterLayerInput& WaterLayerSolver::gather(int subStep, double dt) {
  readOptions();
  WaterLayerInput& in = runInput_;
  WaterBody& wb = run_.waterBody();
  Compounds& cp = run_.compounds();
  Loadings& lo = run_.loadings();
  Hydrology& hy = run_.hydrology();
  SedimentProfile& sd = run_.sediment();
  const int n = wb.numSeg();
  const int nc = cp.numCompounds();
  in.numSeg = n;
  in.dt = dt;
  if (in.lenSeg.empty()) {
    in.lenSeg.assign(at(n) + 1, 0.0);
    in.x.assign(at(n) + 1, 0.0);
    for (int i = 1; i <= n; ++i) {
      in.lenSeg[at(i)] = wb.lenSeg(i);
      in.x[at(i)] = wb.x(i);
    }
    in.conSus = wb.conSus();
    in.cntOmSusSol = wb.cntOmSusSol();
    in.amaMphWatLay = wb.amaMphWatLay();
    in.upwardSeepageCarriesSediment = !orlan_;
    in.loadingAllCompounds = merixWaterCourse_;
    in.checkSolubility = true;
    in.compounds.resize(at(nc));
    if (alpha_.empty()) alpha_ = spatialWeights(in.lenSeg, in.x);
  }
  fillState(run_, subStep - 1, in.start, depth_);
  dispersionOf(cFischer_, optDis_, cofDisPhsInp_, depth_, alpha_, in.start);
  fillState(run_, subStep, in.end, depth_);
  dispersionOf(cFischer_, optDis_, cofDisPhsInp_, depth_, alpha_, in.end);

  const bool sediment = sd.numLayers() > 0;
  in.thetaSat1 = sediment ? sd.thetaSat(1) : 0.0;
  in.thiLay1 = sediment ? sd.thiLay(1) : 0.0;
  in.widSed.assign(at(n) + 1, sediment ? hy.widSedInterface(0) : 0.0);
  in.qSpg.assign(at(n) + 1, sediment ? hy.flwWatSpgSed(0) * hy.widSedInterface(0) : 0.0);
  in.time = run_.clock().subTime();

  const bool variable = run_.options().optFloWat() == FlowOption::Variable;
  const LoadingSource loa = variable ? run_.options().optLoa() : LoadingSource::DriftOnly;
  const LoadingEntries& en = lo.entries();
  for (int k = 1; k <= nc; ++k) {
    WaterLayerCompound& c = in.compounds[at(k - 1)];
    c.isoSusSol = cp.isothermSusSol(k);
    c.cofSorMph = cp.cofSorMph(k);
    c.cofTra = cp.cofTraWat(k);
    c.cofVol = cp.cofVol(k);
    c.conLiqEquAir = cp.conLiqEquAir(k);
    for (std::vector<double>* v :
         {&c.ratFor, &c.ratAtmDep, &c.flmDra, &c.flmRnf, &c.flmUpsCatch, &c.loaWatLay}) {
      v->assign(at(n) + 1, 0.0);
    }
    for (int i = 1; i <= n; ++i) {
      c.ratFor[at(i)] = cp.ratForWat(i, k);
      if (k == 1 && lo.depositionRaised()) c.ratAtmDep[at(i)] = lo.ratAtmDep(i, k);
      c.loaWatLay[at(i)] = lo.loaWatLay(i, k);
      // Lateral entries per m2 of field times the contributing field width;
      // the time weight 1 takes the start-of-step flux.
      switch (loa) {
        case LoadingSource::DRALO:
        case LoadingSource::SULKA:
          c.flmDra[at(i)] = en.flmDraPrevious(i, k) * hy.widEntDra();
          c.flmRnf[at(i)] = en.flmRnfPrevious(i, k) * hy.widEntRnf();
          break;
        case LoadingSource::QUIB:
          // The substance on eroded soil settles with the soil: it enters
          // the sediment, not the water layer.
          c.flmRnf[at(i)] = en.flmRnfPrevious(i, k) * hy.widEntRnf();
          break;
        case LoadingSource::BRAX:  // g.s-1 of the paved area into segment 1
          c.flmDra[at(i)] = i == 1 ? en.flmDraPrevious(1, k) / in.lenSeg[1] : 0.0;
          break;
        case LoadingSource::DriftOnly:
          break;
      }
    }
    // A daughter's share of the upstream drift (MERIX water course).
    if (k >= 2 && merixWaterCourse_) {
      const double f = cp.fraMasPrtDauWat(1, k);
      const double share = f > 0.0 ? wb.ratAreaUpsApp() * wb.fraMetForDrfUps() * f : 0.0;
      for (int i = 1; i <= n; ++i) c.loaWatLay[at(i)] = share * lo.loaWatLay(i, 1);
    }
  }
  return in;
}

void WaterLayerSolver::setDispersion() {
  readOptions();
  WaterBody& wb = run_.waterBody();
  Hydrology& hy = run_.hydrology();
  const int n = wb.numSeg();
  if (alpha_.empty()) {
    std::vector<double> len(at(n) + 1, 0.0);
    std::vector<double> x(at(n) + 1, 0.0);
    for (int i = 1; i <= n; ++i) {
      len[at(i)] = wb.lenSeg(i);
      x[at(i)] = wb.x(i);
    }
    alpha_ = spatialWeights(len, x);
  }
  WaterLayerHydraulics& h = current_;
  for (std::vector<double>* v : {&h.qBou, &h.area, &h.width, &h.perWet, &h.cofDisPhs, &depth_}) {
    v->assign(at(n) + 1, 0.0);
  }
  for (int i = 0; i <= n; ++i) h.qBou[at(i)] = hy.qBou(i);
  for (int i = 1; i <= n; ++i) {
    depth_[at(i)] = hy.depWat(i);
    h.area[at(i)] = hy.area(i);
    h.width[at(i)] = hy.surfaceWidth(i);
  }
  dispersionOf(cFischer_, optDis_, cofDisPhsInp_, depth_, alpha_, h);
  hy.setCofDisPhs(h.cofDisPhs);
}

void WaterLayerSolver::step(int subStep, double dt, const SedimentTop& sed) {
  const WaterLayerInput& in = gather(subStep, dt);
  Loadings& lo = run_.loadings();
  if (lo.loadingSolveRaised()) {
    solveLoading(in, sed);
    lo.clearLoadingSolve();
    return;
  }
  solve(in, sed);
}

SubstanceTimeStep WaterLayerSolver::timeStep(double dtSed, const SedimentTop& sed) {
  RunOptions& o = run_.options();
  if (o.optInp() == InputInterval::Daily) return dailyTimeStep(dtSed);
  if (o.optTimStp() == TimeStepOption::Input) {
    return inputTimeStep(run_.waterBody().timStpWat(), dtSed);
  }
  // The whole hour as one step: its start and its end state.
  const WaterLayerInput& in = gather(1, 3600.0);
  const double dtW = std::min(stableTimeStep(in, sed, false), stableTimeStep(in, sed, true));
  Compounds& cp = run_.compounds();
  bool komSmall = false;
  for (int k = 1; k <= cp.numCompounds(); ++k) komSmall = komSmall || cp.komSed(k) < 0.01;
  const double maxStep = run_.identity().isMerix() ? 1900.0 : 3600.0;
  return calcTimeStep(dtW, dtSed, komSmall, maxStep);
}

}  // namespace korvan
