#include "substance/substance_cycle.hpp"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <span>
#include <utility>

#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/task.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"
#include "temperature/water_temperature.hpp"

namespace korvan {
namespace {

constexpr double kSecondsPerDay = 86400.0;

std::size_t at(int i) {
  return static_cast<std::size_t>(i);
}

}  // namespace

SubstanceCycle::SubstanceCycle(Run& run, MassBalance& balance, SubstanceReporting& reports)
    : run_(run), balance_(balance), water_(run), sediment_(run), reports_(reports) {
  using S = SubstanceCycle;
  segmentConcentrations_ = {
      {"ConSysWatLay", "(g.m-3)", &S::conSysWatLay},
      {"ConLiqWatLay", "(g.m-3)", &S::conLiqWatLay},
      {"CntSorMph", "(g.kg-1)", &S::cntSorMph},
      {"CntSorSusSol", "(g.kg-1)", &S::cntSorSusSol},
      {"CntSedTgt", "(g.kg-1)", &S::cntSedTgt},
      {"ConLiqSedTgt", "(g.m-3)", &S::conLiqSedTgt},
      {"CntSorSedTgt", "(g.kg-1)", &S::cntSorSedTgt},
  };
  layerConcentrations_ = {
      {"ConSysSed", "(g.m-3)", &S::conSysSed},
      {"ConLiqSed", "(g.m-3)", &S::conLiqSed},
      {"CntSorSed", "(g.kg-1)", &S::cntSorSed},
  };
  using B = CompoundBalance;
  constexpr MassKind St = MassKind::State, Cu = MassKind::Cumulative, Co = MassKind::Component;
  // The print order of the masses; states print their current value,
  // cumulative fluxes the amount since the previous print.
  masses_ = {
      {"AmaWatLay", St, &B::AmaWatLay},
      {"AmaLiqWatLay", Co, nullptr, &S::amaLiqWatLay},
      {"AmaSorSusSol", Co, nullptr, &S::amaSorSusSol},
      {"AmaSorMph", Co, nullptr, &S::amaSorMph},
      {"AmaSed", St, &B::AmaSed},
      {"AmaLiqSed", Co, nullptr, &S::amaLiqSed},
      {"AmaSorSed", Co, nullptr, &S::amaSorSed},
      {"AmaTraWatLay", Cu, &B::AmaTraWatLay},
      {"AmaVolWatLay", Cu, &B::AmaVolWatLay},
      {"AmaForWatLay", Cu, &B::AmaForWatLay},
      {"AmaSedInWatLay", Cu, &B::AmaSedInWatLay},
      {"AmaSedOutWatLay", Cu, &B::AmaSedOutWatLay},
      {"AmaDwnWatLay", Cu, &B::AmaDwnWatLay},
      {"AmaUpsWatLay", Cu, &B::AmaUpsWatLay},
      {"AmaDrfWatLay", Cu, &B::AmaDrfWatLay},
      {"AmaAtmDepWatLay", Cu, &B::AmaAtmDepWatLay},
      {"AmaDraWatLay", Cu, &B::AmaDraWatLay},
      {"AmaRnoWatLay", Cu, &B::AmaRnoWatLay},
      {"AmaErrWatLay", St, &B::AmaErrWatLay},
      {"AmaTraSed", Cu, &B::AmaTraSed},
      {"AmaForSed", Cu, &B::AmaForSed},
      {"AmaWatLayInSed", Cu, &B::AmaWatLayInSed},
      {"AmaWatLayOutSed", Cu, &B::AmaWatLayOutSed},
      {"AmaDwnSed", Cu, &B::AmaDwnSed},
      {"AmaErsSed", Cu, &B::AmaErsSed},
      {"AmaErrSed", St, &B::AmaErrSed},
  };
}

void SubstanceCycle::task(Task task) {
  runTask(*this, task,
          {{Task::Initialise, &SubstanceCycle::initialise},
           {Task::Step, &SubstanceCycle::step},
           {Task::Print, &SubstanceCycle::print},
           {Task::Terminate, &SubstanceCycle::terminate},
           {Task::WriteProfiles, &SubstanceCycle::writeProfiles}});
}

// --- Initialise ----------------------------------------------------------

void SubstanceCycle::initialise() {
  RunOptions& options = run_.options();
  optLoa_ = static_cast<int>(options.optLoa());
  SimClock& clock = run_.clock();
  clock.resetSubTime();
  Compounds& cp = run_.compounds();
  cp.getCompoundList();
  const int nc = cp.numCompounds();
  reports_.initialise();
  const int numSeg = run_.waterBody().numSeg();

  Loadings& lo = run_.loadings();
  lo.initialise();
  lo.distribute();
  // The initial sediment content and the diffusion coefficients are read by
  // the compound module on first use; reading them here makes an input error
  // stop the run before the first step.
  const int numLay = run_.sediment().numLayers();
  cofDifSed1_.assign(at(nc), 0.0);
  for (int k = 1; k <= nc; ++k) {
    for (int j = 1; j <= numLay; ++j) {
      cp.conSysSedIni(j, k);
      cp.cofDifSed(j, k);
    }
    if (numLay > 0) cofDifSed1_[at(k - 1)] = cp.cofDifSed(1, k);
  }
  setTemperatures();
  cp.updateVolatilisationCoefficients(run_.waterTemperature().temWat());

  variableFlow_ = options.optFloWat() == FlowOption::Variable;
  if (options.optTimStp() == TimeStepOption::Implicit) {
    implicit_ = std::make_unique<ImplicitScheme>(run_, water_, sediment_);
  }
  // The entry files of DRALO and BRAX carry the drain water's substance too.
  if (variableFlow_) lo.openEntryFiles();

  water_.setDispersion();
  cp.rdFraPrtDauWat();
  cp.rdFraPrtDauSed();

  sediment_.initialise();
  // ConSysWatIni is a total concentration: compound 1 starts with its
  // dissolved part.
  water_.allocate(numSeg, nc, 0.0);
  for (int i = 1; i <= numSeg && nc >= 1; ++i) water_.conLiqWatLay()(i, 1) = cp.conLiqWatLayIni(i);
  conLiqSed1_.allocate(numSeg, nc);
  copyTopLayer();
  top_.conLiqSed1 = numLay > 0 ? &conLiqSed1_ : nullptr;
  top_.cofDifSed1 = cofDifSed1_;
  phaseConcentrations();
  processCoefficients();

  // Every array exists before the first step, so that no step allocates;
  // the integrals of the printed concentrations are sized at their first
  // print, which is part of this initialisation.
  for (MassVariable& v : masses_) v.atLastPrint.assign(at(nc), 0.0);
  values_.assign(at(nc), 0.0);
  stretchAverages_ = run_.identity().isZR() || run_.identity().isBRAX();
  ZRAvg_.assign(at(nc), StretchAverage{});
  erosion_ = variableFlow_ && options.optLoa() == LoadingSource::QUIB;
  flmErsSed_.allocate(numSeg, nc);
  timInt_ = 0.0;
  if (stretchAverages_) updateStretchAverages();

  balance_.initialise(nc, clock.tim());
  for (int k = 1; k <= nc; ++k) balance_.setMassesPresent(k, amaWatLay(k), amaSed(k));
  print();
}

// Sediment layers take the water temperature; the water layer is one value
// that the compound module reads from the temperature module itself.
void SubstanceCycle::setTemperatures() {
  const double temWat = run_.waterTemperature().temWat();
  Compounds& cp = run_.compounds();
  for (int j = 1; j <= run_.sediment().numLayers(); ++j) cp.setTemSed(j, temWat);
}

// Sorbed contents and total concentrations at the current dissolved ones.
void SubstanceCycle::phaseConcentrations() {
  Compounds& cp = run_.compounds();
  cp.updateSorptionWater(water_.conLiqWatLay());
  cp.updateConSysWatLay(water_.conLiqWatLay());
  sediment_.updatePhases();
}

// Transformation and formation rates of water and sediment, which the
// solvers read through the compound module.
void SubstanceCycle::processCoefficients() {
  Compounds& cp = run_.compounds();
  cp.updateTransformation(run_.waterTemperature().temWat());
  cp.updateFormation();
}

// --- Outer step ----------------------------------------------------------

void SubstanceCycle::step() {
  setTemperatures();
  SimClock& clock = run_.clock();
  clock.resetSubTime();
  reports_.startOfStep();
  Loadings& lo = run_.loadings();
  if (lo.depositionRaised()) lo.applyAtmosphericDeposition();
  if (variableFlow_) lo.readEntries();
  Hydrology& hy = run_.hydrology();
  hy.computeSeepage();
  water_.setDispersion();
  Compounds& cp = run_.compounds();
  cp.updateVolatilisationCoefficients(run_.waterTemperature().temWat());

  // n is fixed in sub-step 1; 2 only keeps the loop going until then.
  n_ = 2;
  for (k_ = 1; k_ <= n_;) {
    cp.updateVolatilisation(water_.conLiqWatLay());
    if (k_ == 1) chooseSubSteps();
    processCoefficients();
    const int current = k_;
    ++k_;
    clock.advanceSubTime();
    subStep(current);
    updateBalance();
    updateIntegrals();
    reports_.endOfSubStep(*this, dt_);
  }
  balance_.checkEndOfStep(clock.subTime());
  balance_.waterBalance();
  reports_.endOfStep();
  loadingAtEndOfStep();
  reports_.afterLoading(*this);
}

// The sub-step rule of the water layer, bounded by the sediment's step
// before it is rounded to whole steps; the hydrology is interpolated over
// the n sub-steps.
void SubstanceCycle::chooseSubSteps() {
  if (implicit_) return implicitSubSteps();
  Hydrology& hy = run_.hydrology();
  // The stability rule evaluates the start and end of the whole step.
  hy.prepareSubSteps(1);
  const SubstanceTimeStep ts = water_.timeStep(sediment_.subStepBound(), top_);
  n_ = ts.numSteps > 0 ? ts.numSteps : 1;
  dt_ = ts.dt;
  run_.clock().setSubSteps(n_, dt_);
  hy.prepareSubSteps(n_);
}

// Both solvers take the concentrations at the start of the sub-step: the
// water layer the sediment's top layer before the sediment moves, the
// sediment the water layer's start-of-step values.
void SubstanceCycle::subStep(int subStep) {
  if (implicit_) return implicitSubStep(subStep);
  copyTopLayer();
  // The water layer and the sediment both take the other's start-of-step
  // concentrations, so that their steps are independent: outside a loading
  // solve they are taken at the same time.
  const bool together = !run_.loadings().loadingSolveRaised();
  if (together) {
    last_ = &water_.gather(subStep, dt_);
    conLiqWatSta_ = water_.conLiqWatLay();
  } else {
    water_.step(subStep, dt_, top_);
    last_ = &water_.gather(subStep, dt_);
    if (stretchAverages_) updateStretchAverages();
  }
  if (erosion_) {
    // The substance on eroded soil of the step's start, over the field
    // width whose soil reaches the water body.
    const LoadingEntries& en = run_.loadings().entries();
    const double width = run_.hydrology().widEntErs();
    for (int k = 1; k <= flmErsSed_.numCompounds(); ++k) {
      for (int i = 1; i <= flmErsSed_.upperBound(); ++i) {
        flmErsSed_(i, k) = en.flmErsPrevious(i, k) * width;
      }
    }
  }
  if (together) {
    sediment_.step(dt_, conLiqWatSta_, erosion_ ? &flmErsSed_ : nullptr,
                   [this] { water_.solve(*last_, top_); });
    if (stretchAverages_) updateStretchAverages();
  } else {
    sediment_.step(dt_, water_.conLiqWatLaySta(), erosion_ ? &flmErsSed_ : nullptr);
  }
  phaseConcentrations();
}

// The volume-weighted mean dissolved concentration over the evaluation
// stretch and over the whole water body.
void SubstanceCycle::updateStretchAverages() {
  WaterBody& wb = run_.waterBody();
  const Hydrology& hy = run_.hydrology();
  const int n = wb.numSeg();
  const int first = n == 1 ? 1 : wb.firstTargetSegment();
  const int last = n == 1 ? 1 : wb.lastTargetSegment();
  const CompoundSegmentArray& c = water_.conLiqWatLay();
  for (int k = 1; k <= static_cast<int>(ZRAvg_.size()); ++k) {
    double mass = 0.0, volume = 0.0, massAll = 0.0, volumeAll = 0.0;
    for (int i = 1; i <= n; ++i) {
      const double v = hy.area(i) * wb.lenSeg(i);
      massAll += c(i, k) * v;
      volumeAll += v;
      if (i >= first && i <= last) {
        mass += c(i, k) * v;
        volume += v;
      }
    }
    StretchAverage& a = ZRAvg_[ci(k)];
    a.stretch = volume > 0.0 ? mass / volume : 0.0;
    a.all = volumeAll > 0.0 ? massAll / volumeAll : 0.0;
  }
}

void SubstanceCycle::copyTopLayer() {
  if (sediment_.input().numLayers < 1) return;
  const int nc = sediment_.input().numCompounds;
  for (int k = 1; k <= nc; ++k) {
    for (int i = 1; i <= sediment_.input().numSeg; ++i) {
      conLiqSed1_(i, k) = sediment_.conLiqSed(1, i, k);
    }
  }
}

void SubstanceCycle::updateBalance() {
  if (implicit_) return implicitBalance();
  const int nc = balance_.numCompounds();
  for (int k = 1; k <= nc; ++k) {
    BalanceAmounts a;
    addWaterLayerAmounts(water_.amounts(*last_, k), a);
    addSedimentAmounts(sediment_, last_->lenSeg, k, a);
    balance_.update(k, a, amaWatLay(k), amaSed(k), dt_);
  }
}

// Rectangle rule with the value at the end of the sub-step; only the
// integrals of printed variables run.
void SubstanceCycle::updateIntegrals() {
  const double days = dt_ / kSecondsPerDay;
  const int nc = balance_.numCompounds();
  const int numSeg = run_.waterBody().numSeg();
  for (SegmentConcentration& v : segmentConcentrations_) {
    if (!printing(v.sw)) continue;
    for (int k = 1; k <= nc; ++k) {
      for (int i = 1; i <= numSeg; ++i) v.integral(i, k) += (this->*v.current)(i, k) * days;
    }
  }
  const int numLay = sediment_.input().numLayers;
  for (LayerConcentration& v : layerConcentrations_) {
    if (!printing(v.sw)) continue;
    for (int k = 1; k <= nc; ++k) {
      for (int i = 1; i <= numSeg; ++i) {
        for (int j = 1; j <= numLay; ++j) v.integral(j, i, k) += (this->*v.current)(j, i, k) * days;
      }
    }
  }
  for (StretchAverage& a : ZRAvg_) a.integral += a.stretch * days;
  timInt_ += days;
}

// The loading events of the step act at its end, after the sub-steps: the
// loading solve puts the drift into the water layer, and the balance takes
// it as drift. Outside a MERIX water course the compounds after the first
// take an ordinary step in that solve; the sediment under them takes the
// same step, so that what they exchange with it arrives on the other side,
// and the balance takes the terms of both.
void SubstanceCycle::loadingAtEndOfStep() {
  Loadings& lo = run_.loadings();
  lo.step();
  lo.distribute();
  if (!lo.loadingRaised()) return;
  copyTopLayer();
  water_.step(n_, dt_, top_);
  const WaterLayerInput& in = water_.gather(n_, dt_);
  const int nc = balance_.numCompounds();
  const int firstOrdinary = in.loadingAllCompounds ? nc + 1 : 2;
  for (int k = firstOrdinary; k <= nc; ++k) {
    sediment_.stepCompound(k, dt_, water_.conLiqWatLaySta().values(k),
                           erosion_ ? flmErsSed_.values(k) : std::span<const double>{});
  }
  phaseConcentrations();
  if (stretchAverages_) updateStretchAverages();
  for (int k = 1; k <= nc; ++k) {
    BalanceAmounts a;
    addWaterLayerAmounts(water_.amounts(in, k), a);
    if (k >= firstOrdinary) addSedimentAmounts(sediment_, in.lenSeg, k, a);
    balance_.addLoadingSolve(k, a, amaWatLay(k), amaSed(k));
  }
  lo.clearSegmentLoadings();
}

// --- Masses ------------------------------------------------------------------

double SubstanceCycle::amaWatLay(int k) const {
  const WaterBody& wb = run_.waterBody();
  const Hydrology& hy = run_.hydrology();
  Compounds& cp = run_.compounds();
  double sum = 0.0;
  for (int i = 1; i <= wb.numSeg(); ++i) sum += cp.conSysWatLay(i, k) * hy.area(i) * wb.lenSeg(i);
  return sum;
}

double SubstanceCycle::amaSed(int k) const {
  const WaterBody& wb = run_.waterBody();
  Compounds& cp = run_.compounds();
  const int numLay = sediment_.input().numLayers;
  double sum = 0.0;
  for (int i = 1; i <= wb.numSeg(); ++i) {
    const double* con = cp.conSysSedColumn(i, k).data();
    double column = 0.0;  // g per metre of water course
    for (int j = 1; j <= numLay; ++j) column += con[j] * sediment_.areaLayer(j);
    sum += column * wb.lenSeg(i);
  }
  return sum;
}

double SubstanceCycle::massFirstCompoundWaterLayer() const {
  return balance_.numCompounds() > 0 ? balance_.compound(1).AmaWatLay : 0.0;
}

double SubstanceCycle::massFirstCompoundSediment() const {
  return balance_.numCompounds() > 0 ? balance_.compound(1).AmaSed : 0.0;
}

double SubstanceCycle::flowVelocityLastSegment() const {
  return run_.hydrology().velWatFlw(run_.waterBody().numSeg());
}

// --- Printed values -----------------------------------------------------------

double SubstanceCycle::conSysWatLay(int i, int k) const {
  return run_.compounds().conSysWatLay(i, k);
}

double SubstanceCycle::conLiqWatLay(int i, int k) const {
  return water_.conLiqWatLay()(i, k);
}

double SubstanceCycle::cntSorMph(int i, int k) const {
  return run_.compounds().cntSorMph(i, k) * 1000.0;
}

double SubstanceCycle::cntSorSusSol(int i, int k) const {
  return run_.compounds().cntSorSusSol(i, k) * 1000.0;
}

double SubstanceCycle::conSysSed(int j, int i, int k) const {
  return run_.compounds().conSysSed(j, i, k);
}

double SubstanceCycle::conLiqSed(int j, int i, int k) const {
  return sediment_.conLiqSed(j, i, k);
}

double SubstanceCycle::cntSorSed(int j, int i, int k) const {
  return run_.compounds().cntSorSed(j, i, k) * 1000.0;
}

int SubstanceCycle::numLayTgt() const {
  return std::min(run_.waterBody().numLayTgt(), sediment_.input().numLayers);
}

// Thickness-weighted mean of ConSysSed / Rho over the target layer.
double SubstanceCycle::cntSedTgt(int i, int k) const {
  const SedimentSolverInput& in = sediment_.input();
  const double* con = run_.compounds().conSysSedColumn(i, k).data();
  const auto layers = static_cast<std::size_t>(numLayTgt());
  double sum = 0.0, thickness = 0.0;
  for (std::size_t s = 1; s <= layers; ++s) {
    sum += in.thiLay[s] * con[s] / in.rho[s];
    thickness += in.thiLay[s];
  }
  return thickness > 0.0 ? 1000.0 * sum / thickness : 0.0;
}

// Mean over the target layer of value(j) weighted by weight(j), times scale;
// 0 for a target layer without weight.
template <typename Weight, typename Value>
double SubstanceCycle::targetLayerMean(Weight weight, Value value, double scale) const {
  double sum = 0.0, total = 0.0;
  for (int j = 1; j <= numLayTgt(); ++j) {
    const double w = weight(static_cast<std::size_t>(j));
    sum += w * value(j);
    total += w;
  }
  return total > 0.0 ? scale * sum / total : 0.0;
}

// Mean of ConLiqSed weighted by the water in each layer.
double SubstanceCycle::conLiqSedTgt(int i, int k) const {
  const SedimentSolverInput& in = sediment_.input();
  return targetLayerMean([&in](std::size_t s) { return in.thiLay[s] * in.thetaSat[s]; },
                         [&](int j) { return sediment_.conLiqSed(j, i, k); }, 1.0);
}

// Mean of CntSorSed weighted by the dry mass of each layer.
double SubstanceCycle::cntSorSedTgt(int i, int k) const {
  const SedimentSolverInput& in = sediment_.input();
  return targetLayerMean([&in](std::size_t s) { return in.thiLay[s] * in.rho[s]; },
                         [&](int j) { return run_.compounds().cntSorSed(j, i, k); }, 1000.0);
}

// The parts of the water layer's mass: dissolved, on suspended solids, and
// on macrophytes as the rest of the total.
double SubstanceCycle::amaLiqWatLay(int k) const {
  const WaterBody& wb = run_.waterBody();
  const Hydrology& hy = run_.hydrology();
  double sum = 0.0;
  for (int i = 1; i <= wb.numSeg(); ++i) sum += conLiqWatLay(i, k) * hy.area(i) * wb.lenSeg(i);
  return sum;
}

double SubstanceCycle::amaSorSusSol(int k) const {
  WaterBody& wb = run_.waterBody();
  const Hydrology& hy = run_.hydrology();
  Compounds& cp = run_.compounds();
  double sum = 0.0;
  for (int i = 1; i <= wb.numSeg(); ++i) {
    sum += wb.conSus() * cp.cntSorSusSol(i, k) * hy.area(i) * wb.lenSeg(i);
  }
  return sum;
}

double SubstanceCycle::amaSorMph(int k) const {
  return amaWatLay(k) - amaLiqWatLay(k) - amaSorSusSol(k);
}

double SubstanceCycle::amaLiqSed(int k) const {
  const WaterBody& wb = run_.waterBody();
  const SedimentSolverInput& in = sediment_.input();
  double sum = 0.0;
  for (int i = 1; i <= wb.numSeg(); ++i) {
    double column = 0.0;
    for (int j = 1; j <= in.numLayers; ++j) {
      const std::size_t s = static_cast<std::size_t>(j);
      column += in.thetaSat[s] * sediment_.conLiqSed(j, i, k) * sediment_.areaLayer(j);
    }
    sum += column * wb.lenSeg(i);
  }
  return sum;
}

double SubstanceCycle::amaSorSed(int k) const {
  return amaSed(k) - amaLiqSed(k);
}

// --- Print ---------------------------------------------------------------------

void SubstanceCycle::print() {
  const double t = run_.clock().tim();
  // The loading module's variables come before the concentrations.
  run_.loadings().print(t);
  printSegmentConcentration(t, segmentConcentrations_[0]);
  printSegmentConcentration(t, segmentConcentrations_[1]);
  if (stretchAverages_) printStretchAverage(t);
  if (!printConLiqWatLayCur_.known || printConLiqWatLayCur_.yes) {
    run_.outputFile().printSegmentsCompounds(
        t, "ConLiqWatLayCur", [&](int c, int i) { return conLiqWatLay(i, c + 1); },
        printConLiqWatLayCur_, "(g.m-3)", "(g.m-3)", true);
  }
  printSegmentConcentration(t, segmentConcentrations_[2]);
  printSegmentConcentration(t, segmentConcentrations_[3]);
  for (LayerConcentration& v : layerConcentrations_) printLayerConcentration(t, v);
  for (std::size_t n = 4; n < segmentConcentrations_.size(); ++n) {
    printSegmentConcentration(t, segmentConcentrations_[n]);
  }
  for (MassVariable& v : masses_) printMass(t, v);
}

void SubstanceCycle::printStretchAverage(double t) {
  if (printConLiqWatZRAvg_.known && !printConLiqWatZRAvg_.yes) return;
  for (std::size_t c = 0; c < ZRAvg_.size(); ++c) values_[c] = ZRAvg_[c].stretch;
  run_.outputFile().printCompounds(t, "ConLiqWatZRAvg", values_, printConLiqWatZRAvg_, "(g.m-3)",
                                   "(g.m-3)");
}

// The current value at the first print, afterwards the mean over the print
// interval from the time integral.
void SubstanceCycle::printSegmentConcentration(double t, SegmentConcentration& v) {
  if (v.sw.known && !v.sw.yes) return;
  const double interval = timInt_ - v.timeAtLastPrint;
  const bool mean = v.printed && interval > 0.0;
  run_.outputFile().printSegmentsCompounds(
      t, v.name,
      [&](int c, int i) {
        const int k = c + 1;
        return mean ? (v.integral(i, k) - v.atLastPrint(i, k)) / interval
                    : (this->*v.current)(i, k);
      },
      v.sw, v.unit, v.unit);
  if (!v.sw.yes) return;
  if (!v.printed) {
    v.integral.allocate(run_.waterBody().numSeg(), balance_.numCompounds());
    v.atLastPrint.allocate(run_.waterBody().numSeg(), balance_.numCompounds());
  }
  v.atLastPrint = v.integral;
  v.timeAtLastPrint = timInt_;
  v.printed = true;
}

void SubstanceCycle::printLayerConcentration(double t, LayerConcentration& v) {
  if (v.sw.known && !v.sw.yes) return;
  const double interval = timInt_ - v.timeAtLastPrint;
  const bool mean = v.printed && interval > 0.0;
  run_.outputFile().printLayers(
      t, v.name,
      [&](int c, int j, int i) {
        const int k = c + 1;
        return mean ? (v.integral(j, i, k) - v.atLastPrint(j, i, k)) / interval
                    : (this->*v.current)(j, i, k);
      },
      v.sw, v.unit, v.unit);
  if (!v.sw.yes) return;
  if (!v.printed) {
    const int nc = balance_.numCompounds();
    v.integral.allocate(sediment_.input().numLayers, run_.waterBody().numSeg(), nc);
    v.atLastPrint.allocate(sediment_.input().numLayers, run_.waterBody().numSeg(), nc);
  }
  v.atLastPrint = v.integral;
  v.timeAtLastPrint = timInt_;
  v.printed = true;
}

void SubstanceCycle::printMass(double t, MassVariable& v) {
  if (v.sw.known && !v.sw.yes) return;
  const int nc = balance_.numCompounds();
  for (int k = 1; k <= nc; ++k) {
    const std::size_t c = at(k - 1);
    if (v.kind == MassKind::Component) {
      values_[c] = (this->*v.component)(k);
      continue;
    }
    const double value = balance_.compound(k).*v.term;
    values_[c] = v.kind == MassKind::Cumulative && v.printed ? value - v.atLastPrint[c] : value;
    v.atLastPrint[c] = value;
  }
  run_.outputFile().printCompounds(t, v.name, values_, v.sw, "(g)", "(g)");
  v.printed = true;
}

// --- Terminate and profiles ------------------------------------------------------

void SubstanceCycle::terminate() {
  reports_.terminate(*this);
}

void SubstanceCycle::writeProfiles() {
  const double t = run_.clock().tim();
  OutputFile& out = run_.outputFile();
  const WaterBody& wb = run_.waterBody();
  const Hydrology& hy = run_.hydrology();
  const double temWat = run_.waterTemperature().temWat();
  out.writeXProfile(t, [&](int k, int i) {
    return OutputFile::XProfilePoint{wb.x(i), temWat, hy.depWat(i), water_.conLiqWatLay()(i, k)};
  });
  Compounds& cp = run_.compounds();
  out.writeZProfile(t, [&](int k, int j, int i) {
    return std::pair<double, double>{cp.conSysSed(j, i, k), sediment_.conLiqSed(j, i, k)};
  });
  run_.loadings().clearProfile();
}

}  // namespace korvan
