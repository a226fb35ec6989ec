// The mass balance of the substance pass: per compound the cumulative
// amounts that entered or left the water layer and the sediment, the masses
// present, the balance errors and their warnings; and the water-volume
// balance of every step, which the hydrology-only pass needs as well.
//
// Sign convention: positive is mass entering the compartment (water layer
// or sediment), negative is mass leaving it. All amounts in g, summed over
// the segments (and the sediment layers).
#pragma once

#include <span>
#include <vector>

namespace korvan {

class Run;
class SedimentSolver;
enum class Task;
struct WaterLayerAmounts;

// The amounts of one sub-step of one compound, as the solvers moved them.
struct BalanceAmounts {
  // Water layer.
  double AmaTraWatLay = 0.0;
  double AmaForWatLay = 0.0;
  double AmaVolWatLay = 0.0;  // net exchange with the air
  double AmaDrfWatLay = 0.0;
  double AmaAtmDepWatLay = 0.0;
  double AmaDraWatLay = 0.0;
  double AmaRnoWatLay = 0.0;  // runoff and the eroded soil it carries
  double excWatLay = 0.0;     // net from the sediment into the water layer
  double AmaDwnWatLay = 0.0;
  double AmaUpsWatLay = 0.0;  // across the upstream end and from the upstream catchment
  // Sediment.
  double AmaTraSed = 0.0;
  double AmaForSed = 0.0;
  double excSed = 0.0;  // net from the water layer into the sediment
  double AmaDwnSed = 0.0;
  double AmaErsSed = 0.0;
};

// The water-layer amounts of a solve taken over as balance terms.
void addWaterLayerAmounts(const WaterLayerAmounts& w, BalanceAmounts& a);
// The sediment amounts of compound k of the last step: the per-metre terms
// of every column times the segment length (lenSeg[i], i = 1..N).
void addSedimentAmounts(const SedimentSolver& sed, std::span<const double> lenSeg, int k,
                        BalanceAmounts& a);

// The cumulative terms of one compound (g).
struct CompoundBalance {
  // Water layer.
  double AmaWatLay = 0.0;     // present
  double AmaWatLayIni = 0.0;  // present at the start
  double AmaTraWatLay = 0.0, AmaForWatLay = 0.0, AmaVolWatLay = 0.0, AmaDrfWatLay = 0.0,
         AmaAtmDepWatLay = 0.0, AmaDraWatLay = 0.0, AmaRnoWatLay = 0.0, AmaSedInWatLay = 0.0,
         AmaSedOutWatLay = 0.0, AmaDwnWatLay = 0.0, AmaUpsWatLay = 0.0;
  double AmaErrWatLay = 0.0;
  // Sediment.
  double AmaSed = 0.0;     // present
  double AmaSedIni = 0.0;  // present at the start
  double AmaTraSed = 0.0, AmaForSed = 0.0, AmaWatLayInSed = 0.0, AmaWatLayOutSed = 0.0,
         AmaDwnSed = 0.0, AmaErsSed = 0.0;
  double AmaErrSed = 0.0;
  double time = 0.0;  // days, up to which the terms are accumulated
};

class MassBalance {
 public:
  explicit MassBalance(Run& run);

  // The driver routine of the hydrology-only pass: WaterBalance only.
  void task(Task task);

  // Task 1: every term 0 at the start time, for every compound.
  void initialise(int numCompounds, double timStart);
  // The masses present at initialisation; they become the initial masses at
  // the first accumulation and are not changed afterwards.
  void setMassesPresent(int k, double amaWatLay, double amaSed);
  // Task 2 for compound k after a sub-step of `seconds`: the masses present
  // at its end and the amounts the solvers moved.
  void update(int k, const BalanceAmounts& a, double amaWatLay, double amaSed, double seconds);
  // The amounts of the loading solve at the end of a step, after the
  // sub-steps (the drift, or an ordinary step of a later compound), and the
  // masses present after it; the time of the terms stays.
  void addLoadingSolve(int k, const BalanceAmounts& a, double amaWatLay, double amaSed);
  // Task 8: balance errors and warnings of every compound at `time` (days).
  void checkEndOfStep(double time);
  // Task 10: water-volume balance of the step from the hydrology's volume
  // accumulators; sets VolErrWatLay and resets the accumulators.
  void waterBalance();

  int numCompounds() const { return static_cast<int>(terms_.size()); }
  const CompoundBalance& compound(int k) const { return terms_[index(k)]; }
  // Accumulated since the last reset by the summary report.
  const CompoundBalance& period(int k) const { return period_[index(k)]; }
  void resetPeriod(int k);
  double VolErrWatLay() const { return VolErrWatLay_; }

 private:
  static std::size_t index(int k) { return static_cast<std::size_t>(k - 1); }
  static void accumulate(CompoundBalance& b, const BalanceAmounts& a);
  void checkCompound(int k, double time);
  void warnMassBalance(int k, const char* compartment, double r, double time);
  void warnExchange(double q, double time);

  Run& run_;
  std::vector<CompoundBalance> terms_, period_;
  std::vector<char> started_;  // the initial masses are set
  double VolErrWatLay_ = 0.0;
  double volLastCheck_ = 0.0;
  bool volumeChecked_ = false;
};

}  // namespace korvan
