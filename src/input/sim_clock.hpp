// The simulation clock: the simulation period and print interval read from
// the input file, the current time with its time step, the print times, and
// the sub-step time of the substance solver. The run driver moves the clock;
// every module may query it.
#pragma once

#include <string>

#include "core/compare.hpp"

namespace korvan {

class Run;

// The print-interval choices of OptDelTimPrn, in the order of the option list.
enum class PrintInterval { Hour = 1, Day, Decade, Month, Year, Automatic, Other };

inline constexpr double kHour = 1.0 / 24.0;
inline constexpr double kTenMinutes = 1.0 / 144.0;

class SimClock {
 public:
  explicit SimClock(Run& run) : run_(run) {}

  // Reads TimStart, TimEnd and the print interval (start-up, once).
  void readSettings();

  void setTimeStep(double days) { delTim_ = days; }
  // Current time back to TimStart; the next advance restarts the hour count.
  void resetToStart();
  // Next print time one print interval after the current time.
  void resetPrintTime();
  // One time step; hourly and ten-minute steps land exactly on day boundaries.
  void advance();
  void setNextPrintTime();

  double tim() const { return tim_; }
  double delTim() const { return delTim_; }
  double timStart() const { return timStart_; }
  double timEnd() const { return timEnd_; }
  double timPrn() const { return timPrn_; }
  double delTimPrn() const { return delTimPrn_; }
  PrintInterval printInterval() const { return printInterval_; }
  static bool timeReached(double a, double b) { return cmp::eq(a, b); }
  // The date text of the current time, refreshed by the progress display
  // before printing and shared by the reports.
  std::string& currentDateText() { return currentDateText_; }

  // Sub-steps of the substance solver within the current step.
  void setSubSteps(int count, double delTimKvnSeconds) {
    numSubSteps_ = count;
    delTimKvn_ = delTimKvnSeconds;
  }
  int numSubSteps() const { return numSubSteps_; }
  double delTimKvn() const { return delTimKvn_; }
  void resetSubTime() { subTime_ = tim_; }
  void advanceSubTime() { subTime_ += delTimKvn_ / 86400.0; }
  double subTime() const { return subTime_; }
  // The calculation time step in seconds; in runs that simulate hydrology
  // only, where no sub-steps exist, one step of the input (1 or 3600).
  double calculationTimeStep(bool hydrologyOnly, bool hourlyInput) const {
    if (hydrologyOnly) return hourlyInput ? 3600.0 : 1.0;
    return delTimKvn_;
  }

 private:
  double calendarInterval(double time) const;

  Run& run_;
  double tim_ = 0.0;
  double delTim_ = 0.0;
  double timStart_ = 0.0;
  double timEnd_ = 0.0;
  PrintInterval printInterval_ = PrintInterval::Day;
  double delTimPrn_ = 1.0;
  double timPrn_ = 0.0;

  bool restartSteps_ = true;
  int stepCounter_ = 0;
  double baseDay_ = 0.0;
  bool restartPrints_ = true;
  int printHourCounter_ = 0;
  double printBaseDay_ = 0.0;

  int numSubSteps_ = 0;
  double delTimKvn_ = 0.0;
  double subTime_ = 0.0;
  std::string currentDateText_ = std::string(17, ' ');
};

}  // namespace korvan
