// Predicted environmental concentrations for risk assessment, per compound.
//
// MERIX edition: two instances of ConcentrationTables, one for the dissolved
// concentration ConLiqWatLay in the water layer (g.m-3) and one for the
// content CntSedTgt in the target layer of the sediment (g.kg-1), both of the
// last segment (the downstream end). Each keeps the global maximum, the
// momentary values 1, 2, ..., 100 days after it (PEC), and the highest moving
// averages over windows of 1 to 100 days (TWAEC), and writes them as tables
// into one work file per compound, which the summary report copies.
//
// ZR and BRAX editions: TwaExposureSeries writes per compound a series of
// moving-window averages of the evaluation-stretch concentration, which the
// exposure report reads back.
//
// Compounds are numbered k = 1..n as in the compounds table. Times are the
// run clock's current time (days since 01-Jan-1900) at the moment of the call.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/layout.hpp"
#include "core/unit_table.hpp"

namespace korvan {

class Run;
class TextFile;

// The number text of the concentration tables and the summary report,
// left-adjusted: "< 1e-6" below 1e-6 (also 0 and negative values), else fixed
// point of width 11 with 7 decimals below 0.001 down to 1 decimal from 100 on,
// leading blanks removed. The caller pads it to its field.
std::string reportNumberText(double value);

// Work-file names of compound k (in the working directory):
// "PECsw_3.tmp" / "PECsw10_.tmp", "PECSed_3.tmp" / "PECSed10_.tmp",
// "expcon3.tmp" / "expcon10.tmp".
std::string pecWaterFileName(int k);
std::string pecSedimentFileName(int k);
std::string exposureFileName(int k);

// Lags after the global maximum and lengths of the averaging windows (d).
inline constexpr std::array<int, 10> kPecDays = {1, 2, 4, 7, 14, 21, 28, 42, 50, 100};
// Step means kept per compound: 100 days of hourly steps, the longest window.
inline constexpr std::size_t kStepSeriesLength = 2400;
// Outer steps per day of an hourly run.
inline constexpr int kStepsPerDay = 24;
// Outer steps in one day of the run clock: 24 for hourly and 1 for daily
// steps, so that a window of D days always covers D days of steps.
int stepsPerDay(double delTim);

enum class TableMedium {
  WaterLayer,  // ConLiqWatLay of segment N, g.m-3; tables in ug.L-1
  Sediment,    // CntSedTgt of segment N, g.kg-1; tables in ug.kg-1
};

// The MERIX concentration tables of one medium.
//
// Calling contract (substance pass of the MERIX edition, after the water
// body, the sediment profile and the compound list are read):
//   - subStep(k, C) after every sub-step, for every compound, with C the
//     medium's value in segment N at the end of the sub-step (tracking task 1);
//   - endOfStepTracking(k) once per outer step and compound, after its last
//     sub-step (tracking task 2: step mean and moving windows);
//   - endOfStepTable(k, C) once per outer step and compound, with C the
//     momentary value in segment N at the end of the step, before the clock
//     advances (table task 2: global maximum and lags; the run driver's call);
//   - at the end of the pass writePecTable() and then writeTwaTable() (tasks 5),
//     water layer before sediment.
// The first call of any of these creates the work files (deleting old ones)
// and writes their headers; initialise() does that explicitly. The work files
// stay open until the summary report copies and closes them (workUnit()).
class ConcentrationTables {
 public:
  ConcentrationTables(Run& run, TableMedium medium);

  // Creates the work file of every compound and writes the headers; later
  // calls do nothing.
  void initialise();

  void subStep(int k, double value);
  void endOfStepTracking(int k);
  void endOfStepTable(int k, double value);
  void writePecTable();
  void writeTwaTable();

  TableMedium medium() const { return medium_; }
  bool initialised() const { return initialised_; }
  int numCompounds() const { return static_cast<int>(compounds_.size()); }

  // --- Read back, for the summary report and the tests ------------------
  Unit workUnit(int k) const { return at(k).unit; }
  TextFile& workFile(int k);
  const std::string& workFileName(int k) const { return at(k).fileName; }
  // Global maximum (g.m-3 or g.kg-1), its time and its 17-character date text.
  double maximum(int k) const { return at(k).maximum; }
  double maximumTime(int k) const { return at(k).maximumTime; }
  const std::string& maximumDateText(int k) const { return at(k).maximumDateText; }
  // Index 0..9 into kPecDays.
  double pecAfterLag(int k, std::size_t lag) const { return at(k).pecAfterLag[lag]; }
  double maximumTwa(int k, std::size_t window) const { return at(k).twa[window].maximum; }
  double maximumTwaTime(int k, std::size_t window) const { return at(k).twa[window].time; }
  int maximumTwaDayNumber(int k, std::size_t window) const { return at(k).twa[window].dayNumber; }
  // Step mean at position p (1 = newest .. 2400).
  double stepMean(int k, std::size_t position) const;
  // Outer steps per day of the windows, fixed at the first call.
  int windowStepsPerDay() const { return stepsPerDay_; }

  // Number of the simulated day on which t falls, 1 for the day of TimStart.
  int dayNumber(double t) const;
  // Days from the day of t up to and including the last simulated day.
  int daysToEnd(double t) const;

 private:
  struct WindowMaximum {
    double maximum = 0.0;
    double time = 0.0;
    int dayNumber = 0;  // 0 while no average was found
    // The sum of the step means of the newest D days kept up as steps come
    // and go, and a bound on its rounding error: a window whose sum cannot
    // reach its maximum is not summed again.
    double runningSum = 0.0;
    double runningError = 0.0;
  };
  struct CompoundTable {
    Unit unit = Unit::Input;
    std::string fileName;
    // Table: global maximum and the momentary values after it.
    double maximum = 0.0;
    double maximumTime = 0.0;
    std::string maximumDateText = std::string(17, ' ');
    std::array<double, kPecDays.size()> pecAfterLag{};
    // Tracking: sub-steps of the current outer step, and the step means,
    // newest at `newest`, older ones following it around the ring.
    double stepSum = 0.0;
    int stepCount = 0;
    std::vector<double> stepMeans;
    std::size_t newest = 0;
    std::array<WindowMaximum, kPecDays.size()> twa{};
  };

  const CompoundTable& at(int k) const;
  CompoundTable& table(int k);
  void writeFirstHeader(TextFile& file);
  void writeTableHeader(TextFile& file, std::string_view name, std::string_view title);
  void writePecRows(CompoundTable& c, int k);
  double totalWithSuspendedSolids(int k, double cmax);
  double calendarDay(double t) const;
  // Factor from the medium's unit to the tables' unit.
  double toTableUnit() const;

  Run& run_;
  TableMedium medium_;
  bool initialised_ = false;
  int stepsPerDay_ = kStepsPerDay;
  std::vector<CompoundTable> compounds_;
  std::vector<std::string> names_;
  std::optional<std::string> timEndText_;
};

// The ZR and BRAX time-weighted exposure series (UpdateZRTwaExposureConc).
//
// Constructed with the window lengths (d) of the target table, at most 10, in
// table order. step(k, integral, current) is called for every compound after
// every outer step of the substance pass, once its evaluation-stretch values
// are final: `integral` is the time integral (g.m-3.d) of the
// evaluation-stretch concentration since TimStart and `current` its present
// value (g.m-3). The first call creates the work file of every compound; each
// step writes one line to it:
//   (f9.3,1x,a17,1x,11(1x,g12.4)) time since TimStart (d), date text,
//   current concentration, then the average over every window (g.m-3).
// The files stay open for the exposure report (workUnit()).
class TwaExposureSeries {
 public:
  TwaExposureSeries(Run& run, std::vector<double> windowDays);

  void step(int k, double timeIntegral, double currentConcentration);

  bool initialised() const { return initialised_; }
  const std::vector<double>& windowDays() const { return windowDays_; }
  Unit workUnit(int k) const { return at(k).unit; }
  const std::string& workFileName(int k) const { return at(k).fileName; }
  // Integrals kept per compound: the steps of Dmax days + 1.
  std::size_t ringLength() const { return ringLength_; }

 private:
  struct CompoundSeries {
    Unit unit = Unit::Input;
    std::string fileName;
    std::vector<double> integrals;  // ring, newest at `newest`
    std::size_t newest = 0;
  };

  void initialise();
  const CompoundSeries& at(int k) const;
  double integralAt(const CompoundSeries& s, std::size_t position) const;

  Run& run_;
  std::vector<double> windowDays_;
  std::vector<std::size_t> windowSteps_;  // steps of D days + 1 per window
  std::size_t ringLength_ = 1;
  bool initialised_ = false;
  std::vector<CompoundSeries> compounds_;
  Layout line_;
};

}  // namespace korvan
