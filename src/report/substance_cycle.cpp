#include "report/substance_cycle.hpp"

#include <cstddef>
#include <iterator>
#include <utility>

#include "driver/modules.hpp"
#include "driver/run.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/water_body.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"
#include "substance/sediment.hpp"
#include "temperature/water_temperature.hpp"

namespace korvan {
namespace {

constexpr double kSecondsPerDay = 86400.0;

std::size_t at(int i) {
  return static_cast<std::size_t>(i);
}

}  // namespace

SubstanceCycle::SubstanceCycle(Run& run, MassBalance& balance)
    : run_(run), balance_(balance), water_(run), sediment_(run) {
  using B = CompoundBalance;
  // The print order of the mass-balance variables; states print their
  // current value, cumulative fluxes the amount since the previous print.
  const struct {
    const char* name;
    double B::*term;
    bool cumulative;
  } order[] = {
      {"AmaWatLay", &B::AmaWatLay, false},
      {"AmaSed", &B::AmaSed, false},
      {"AmaTraWatLay", &B::AmaTraWatLay, true},
      {"AmaVolWatLay", &B::AmaVolWatLay, true},
      {"AmaForWatLay", &B::AmaForWatLay, true},
      {"AmaSedInWatLay", &B::AmaSedInWatLay, true},
      {"AmaSedOutWatLay", &B::AmaSedOutWatLay, true},
      {"AmaDwnWatLay", &B::AmaDwnWatLay, true},
      {"AmaUpsWatLay", &B::AmaUpsWatLay, true},
      {"AmaDrfWatLay", &B::AmaDrfWatLay, true},
      {"AmaAtmDepWatLay", &B::AmaAtmDepWatLay, true},
      {"AmaDraWatLay", &B::AmaDraWatLay, true},
      {"AmaRnoWatLay", &B::AmaRnoWatLay, true},
      {"AmaErrWatLay", &B::AmaErrWatLay, false},
      {"AmaTraSed", &B::AmaTraSed, true},
      {"AmaForSed", &B::AmaForSed, true},
      {"AmaWatLayInSed", &B::AmaWatLayInSed, true},
      {"AmaWatLayOutSed", &B::AmaWatLayOutSed, true},
      {"AmaDwnSed", &B::AmaDwnSed, true},
      {"AmaErsSed", &B::AmaErsSed, true},
      {"AmaErrSed", &B::AmaErrSed, false},
  };
  balanceVariables_.reserve(std::size(order));
  for (const auto& o : order) balanceVariables_.push_back({o.name, o.term, o.cumulative});
}

void SubstanceCycle::task(Task task) {
  switch (task) {
    case Task::Initialise:
      initialise();
      break;
    case Task::Step:
      step();
      break;
    case Task::Print:
      print();
      break;
    case Task::Terminate:
      terminate();
      break;
    case Task::WriteProfiles:
      writeProfiles();
      break;
    default:
      break;
  }
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
  // The entry files of DRALO and BRAX carry the drain water's substance too.
  if (variableFlow_) lo.openEntryFiles();

  water_.setDispersion();
  cp.rdFraPrtDauWat();
  cp.rdFraPrtDauSed();

  sediment_.initialise();
  water_.allocate(numSeg, nc, cp.conSysWatIni());
  conLiqSed1_.allocate(numSeg, nc);
  copyTopLayer();
  top_.conLiqSed1 = numLay > 0 ? &conLiqSed1_ : nullptr;
  top_.cofDifSed1 = cofDifSed1_;
  phaseConcentrations();
  processCoefficients();

  // Every integral and baseline exists before the first step, so that no
  // step allocates.
  for (ConcentrationVariable* v : {&ConSysWatLay_, &ConLiqWatLay_}) {
    v->integral.allocate(numSeg, nc);
    v->atLastPrint.allocate(numSeg, nc);
  }
  for (BalanceVariable& v : balanceVariables_) v.atLastPrint.assign(at(nc), 0.0);
  values_.assign(at(nc), 0.0);

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
  }
  balance_.checkEndOfStep(clock.subTime());
  balance_.waterBalance();
  loadingAtEndOfStep();
}

// The sub-step rule of the water layer, which also bounds the sediment's
// step; the hydrology is interpolated over the n sub-steps.
void SubstanceCycle::chooseSubSteps() {
  Hydrology& hy = run_.hydrology();
  // The stability rule evaluates the start and end of the whole step.
  hy.prepareSubSteps(1);
  const SedimentTimeStep sed = sediment_.timeStep();
  const SubstanceTimeStep ts = water_.timeStep(sed.timStp, top_);
  n_ = ts.numSteps > 0 ? ts.numSteps : 1;
  dt_ = ts.dt;
  run_.clock().setSubSteps(n_, dt_);
  hy.prepareSubSteps(n_);
}

// Both solvers take the concentrations at the start of the sub-step: the
// water layer the sediment's top layer before the sediment moves, the
// sediment the water layer's start-of-step values.
void SubstanceCycle::subStep(int subStep) {
  copyTopLayer();
  water_.step(subStep, dt_, top_);
  last_ = &water_.gather(subStep, dt_);
  sediment_.step(dt_, water_.conLiqWatLaySta());
  phaseConcentrations();
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
  const int nc = balance_.numCompounds();
  for (int k = 1; k <= nc; ++k) {
    BalanceAmounts a;
    addWaterLayerAmounts(water_.amounts(*last_, k), a);
    addSedimentAmounts(sediment_, last_->lenSeg, k, a);
    balance_.update(k, a, amaWatLay(k), amaSed(k), dt_);
  }
}

// Rectangle rule with the value at the end of the sub-step.
void SubstanceCycle::updateIntegrals() {
  const double days = dt_ / kSecondsPerDay;
  const int nc = balance_.numCompounds();
  const int numSeg = run_.waterBody().numSeg();
  Compounds& cp = run_.compounds();
  for (int k = 1; k <= nc; ++k) {
    for (int i = 1; i <= numSeg; ++i) {
      ConSysWatLay_.integral(i, k) += cp.conSysWatLay(i, k) * days;
      ConLiqWatLay_.integral(i, k) += water_.conLiqWatLay()(i, k) * days;
    }
  }
  timInt_ += days;
}

// The loading events of the step act at its end, after the sub-steps: the
// loading solve puts the drift into the water layer, and the balance takes
// it as drift.
void SubstanceCycle::loadingAtEndOfStep() {
  Loadings& lo = run_.loadings();
  lo.step();
  lo.distribute();
  if (!lo.loadingRaised()) return;
  water_.step(n_, dt_, top_);
  const WaterLayerInput& in = water_.gather(n_, dt_);
  phaseConcentrations();
  for (int k = 1; k <= balance_.numCompounds(); ++k) {
    balance_.addDrift(k, water_.amounts(in, k).loa, amaWatLay(k));
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
    double column = 0.0;  // g per metre of water course
    for (int j = 1; j <= numLay; ++j) column += cp.conSysSed(j, i, k) * sediment_.areaLayer(j);
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

// --- Print ---------------------------------------------------------------------

double SubstanceCycle::conSysWatLay(int i, int k) const {
  return run_.compounds().conSysWatLay(i, k);
}

double SubstanceCycle::conLiqWatLay(int i, int k) const {
  return water_.conLiqWatLay()(i, k);
}

void SubstanceCycle::print() {
  const double t = run_.clock().tim();
  // The loading module's variables come before the concentrations.
  run_.loadings().print(t);
  printConcentration(t, "ConSysWatLay", ConSysWatLay_, &SubstanceCycle::conSysWatLay);
  printConcentration(t, "ConLiqWatLay", ConLiqWatLay_, &SubstanceCycle::conLiqWatLay);
  for (BalanceVariable& v : balanceVariables_) printBalanceTerm(t, v);
  timIntLastPrint_ = timInt_;
}

// The current value at the first print, afterwards the mean over the print
// interval from the time integral.
void SubstanceCycle::printConcentration(double t, const char* name, ConcentrationVariable& v,
                                        double (SubstanceCycle::*current)(int i, int k) const) {
  if (v.sw.known && !v.sw.yes) return;
  const double interval = timInt_ - timIntLastPrint_;
  const bool mean = v.printed && interval > 0.0;
  run_.outputFile().printSegmentsCompounds(
      t, name,
      [&](int c, int i) {
        const int k = c + 1;
        return mean ? (v.integral(i, k) - v.atLastPrint(i, k)) / interval : (this->*current)(i, k);
      },
      v.sw, "(g.m-3)", "(g.m-3)");
  v.atLastPrint = v.integral;
  v.printed = true;
}

void SubstanceCycle::printBalanceTerm(double t, BalanceVariable& v) {
  if (v.sw.known && !v.sw.yes) return;
  const int nc = balance_.numCompounds();
  for (int k = 1; k <= nc; ++k) {
    const double value = balance_.compound(k).*v.term;
    const std::size_t c = at(k - 1);
    values_[c] = v.cumulative && v.printed ? value - v.atLastPrint[c] : value;
    v.atLastPrint[c] = value;
  }
  run_.outputFile().printCompounds(t, v.name, values_, v.sw, "(g)", "(g)");
  v.printed = true;
}

// --- Terminate and profiles ------------------------------------------------------

// The final reports (summary, concentration tables, exposure) belong to
// modules of their own; the cycle has nothing left to close.
void SubstanceCycle::terminate() {}

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
