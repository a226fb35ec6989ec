#include "substance/mass_balance.hpp"

#include <cmath>
#include <string>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/task.hpp"
#include "hydrology/hydrology.hpp"
#include "input/calendar.hpp"
#include "substance/compounds.hpp"
#include "substance/sediment_solver.hpp"
#include "substance/water_layer.hpp"

namespace korvan {
namespace {

constexpr const char* kRoutine = "Balance";
// A compound with less than this present is not checked (g).
constexpr double kAmaMin = 1e-15;
// Relative balance error above which a warning is given.
constexpr double kErrMax = 0.001;
// Exchange terms below this are taken as no exchange (g).
constexpr double kExcMin = 1e-9;
// Relative difference of the two sides of the water-sediment exchange.
constexpr double kExcMax = 1e-6;

}  // namespace

void addWaterLayerAmounts(const WaterLayerAmounts& w, BalanceAmounts& a) {
  a.AmaTraWatLay += w.tra;
  a.AmaForWatLay += w.formation;
  // Volatilisation and uptake from the air are one exchange with the air.
  a.AmaVolWatLay += w.vol + w.airExc;
  a.AmaDrfWatLay += w.loa;
  a.AmaAtmDepWatLay += w.atmDep;
  a.AmaDraWatLay += w.dra;
  // Eroded soil reaches the water layer with the runoff water.
  a.AmaRnoWatLay += w.rnf;
  a.excWatLay += w.sediment;
  a.AmaDwnWatLay += w.downstream;
  // The exchange between segments cancels to round-off; it is kept with the
  // upstream inflow so that the water layer's terms add up to its change.
  a.AmaUpsWatLay += w.upstream + w.upsCatch + w.internal;
}

void addSedimentAmounts(const SedimentSolver& sed, std::span<const double> lenSeg, int k,
                        BalanceAmounts& a) {
  using T = SedimentSolver::Term;
  using B = SedimentSolver::Boundary;
  const int n = sed.input().numSeg;
  for (int i = 1; i <= n; ++i) {
    const double len = lenSeg[static_cast<std::size_t>(i)];
    a.AmaTraSed += len * sed.columnSum(T::Transformation, i, k);
    a.AmaForSed += len * sed.columnSum(T::Formation, i, k);
    a.AmaErsSed += len * sed.columnSum(T::Erosion, i, k);
    a.excSed += len * (sed.boundary(B::SurfaceAdvection, i, k) +
                       sed.boundary(B::SurfaceDiffusion, i, k));
    a.AmaDwnSed += len * sed.boundary(B::Bottom, i, k);
  }
}

MassBalance::MassBalance(Run& run) : run_(run) {}

void MassBalance::task(Task task) {
  if (task == Task::WaterBalance) waterBalance();
}

void MassBalance::initialise(int numCompounds, double timStart) {
  const std::size_t n = static_cast<std::size_t>(numCompounds);
  CompoundBalance zero;
  zero.time = timStart;
  terms_.assign(n, zero);
  period_.assign(n, zero);
  started_.assign(n, 0);
  VolErrWatLay_ = 0.0;
}

void MassBalance::setMassesPresent(int k, double amaWatLay, double amaSed) {
  CompoundBalance& b = terms_[index(k)];
  b.AmaWatLay = amaWatLay;
  b.AmaSed = amaSed;
}

void MassBalance::accumulate(CompoundBalance& b, const BalanceAmounts& a) {
  b.AmaTraWatLay += a.AmaTraWatLay;
  b.AmaForWatLay += a.AmaForWatLay;
  b.AmaVolWatLay += a.AmaVolWatLay;
  b.AmaDrfWatLay += a.AmaDrfWatLay;
  b.AmaAtmDepWatLay += a.AmaAtmDepWatLay;
  b.AmaDraWatLay += a.AmaDraWatLay;
  b.AmaRnoWatLay += a.AmaRnoWatLay;
  // The direction of the exchange decides the term: into the sediment is a
  // loss of the water layer, out of the sediment a gain.
  (a.excWatLay < 0.0 ? b.AmaSedInWatLay : b.AmaSedOutWatLay) += a.excWatLay;
  b.AmaDwnWatLay += a.AmaDwnWatLay;
  b.AmaUpsWatLay += a.AmaUpsWatLay;
  b.AmaTraSed += a.AmaTraSed;
  b.AmaForSed += a.AmaForSed;
  (a.excSed < 0.0 ? b.AmaWatLayInSed : b.AmaWatLayOutSed) += a.excSed;
  b.AmaDwnSed += a.AmaDwnSed;
  b.AmaErsSed += a.AmaErsSed;
}

void MassBalance::update(int k, const BalanceAmounts& a, double amaWatLay, double amaSed,
                         double seconds) {
  const std::size_t c = index(k);
  CompoundBalance& b = terms_[c];
  CompoundBalance& p = period_[c];
  if (started_[c] == 0) {
    // The mass present at initialisation is the initial mass.
    b.AmaWatLayIni = b.AmaWatLay;
    b.AmaSedIni = b.AmaSed;
    started_[c] = 1;
  }
  accumulate(b, a);
  accumulate(p, a);
  b.AmaWatLay = p.AmaWatLay = amaWatLay;
  b.AmaSed = p.AmaSed = amaSed;
  b.time += seconds / 86400.0;
  p.time += seconds / 86400.0;
}

void MassBalance::addLoadingSolve(int k, const BalanceAmounts& a, double amaWatLay,
                                  double amaSed) {
  const std::size_t c = index(k);
  accumulate(terms_[c], a);
  accumulate(period_[c], a);
  terms_[c].AmaWatLay = period_[c].AmaWatLay = amaWatLay;
  terms_[c].AmaSed = period_[c].AmaSed = amaSed;
}

void MassBalance::resetPeriod(int k) {
  CompoundBalance& p = period_[index(k)];
  const double time = p.time;
  p = CompoundBalance{};
  p.time = time;
}

void MassBalance::checkEndOfStep(double time) {
  for (int k = 1; k <= numCompounds(); ++k) checkCompound(k, time);
}

void MassBalance::checkCompound(int k, double time) {
  CompoundBalance& b = terms_[index(k)];
  b.AmaErrWatLay = b.AmaWatLayIni + b.AmaTraWatLay + b.AmaSedInWatLay + b.AmaSedOutWatLay +
                   b.AmaDwnWatLay + b.AmaUpsWatLay + b.AmaRnoWatLay + b.AmaVolWatLay +
                   b.AmaDrfWatLay + b.AmaAtmDepWatLay + b.AmaDraWatLay + b.AmaForWatLay -
                   b.AmaWatLay;
  if (b.AmaWatLay > kAmaMin) {
    const double r = b.AmaErrWatLay /
                     (b.AmaWatLay + b.AmaWatLayIni + b.AmaSedOutWatLay + b.AmaUpsWatLay +
                      b.AmaRnoWatLay + b.AmaDrfWatLay + b.AmaAtmDepWatLay + b.AmaDraWatLay +
                      b.AmaForWatLay);
    if (cmp::gt(std::fabs(r), kErrMax)) warnMassBalance(k, " in water layer > 0.1%", r, time);
  }
  b.AmaErrSed = b.AmaSedIni + b.AmaTraSed + b.AmaWatLayInSed + b.AmaWatLayOutSed + b.AmaDwnSed +
                b.AmaErsSed + b.AmaForSed - b.AmaSed;
  if (b.AmaSed > kAmaMin) {
    const double r =
        b.AmaErrSed / (b.AmaSed + b.AmaSedIni + b.AmaWatLayOutSed + b.AmaErsSed + b.AmaForSed);
    if (cmp::gt(std::fabs(r), kErrMax)) warnMassBalance(k, " in sediment layer > 0.1%", r, time);
  }
  // What the water layer lost to the sediment, the sediment gained.
  if (std::fabs(b.AmaSedInWatLay) > kExcMin) {
    const double q = std::fabs((b.AmaSedInWatLay + b.AmaWatLayOutSed) / b.AmaSedInWatLay);
    if (cmp::gt(q, kExcMax)) warnExchange(q, time);
  }
  if (std::fabs(b.AmaSedOutWatLay) > kExcMin) {
    const double q = std::fabs((b.AmaSedOutWatLay + b.AmaWatLayInSed) / b.AmaSedOutWatLay);
    if (cmp::gt(q, kExcMax)) warnExchange(q, time);
  }
}

void MassBalance::warnMassBalance(int k, const char* compartment, double r, double time) {
  const std::string& name = run_.compounds().name(k);
  run_.messages().warning(
      kRoutine, "Mass balance error of substance: " + name.substr(0, 6) + compartment,
      "At time: " + calendar::dateText(time),
      "Difference in cumulative fluxes and mass present (%):" +
          formatLayout("(f9.2)", {100.0 * std::fabs(r)}));
}

void MassBalance::warnExchange(double q, double time) {
  run_.messages().warning(kRoutine, "Mass fluxes between water and sediment not consistent",
                          "At time: " + calendar::dateText(time),
                          "Difference in cumulative of mass fluxes (%):" +
                              formatLayout("(f9.5)", {100.0 * q}));
}

void MassBalance::waterBalance() {
  Hydrology& h = run_.hydrology();
  const WaterVolumes& v = h.waterVolumes();
  if (!volumeChecked_) {
    volLastCheck_ = v.initial;
    volumeChecked_ = true;
  }
  const double vol = h.waterVolume();
  // Rain, evaporation and seepage are 0 but in the pond without outflow.
  const double net = v.upstreamInflow - v.outflow + v.lateralInflow + v.precipitation -
                     v.evaporation - v.seepage;
  VolErrWatLay_ = net - (vol - volLastCheck_);
  h.setVolErrWatLay(VolErrWatLay_);
  volLastCheck_ = vol;
  h.resetWaterVolumes();
}

}  // namespace korvan
