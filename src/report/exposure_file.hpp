// The exposure file RunId.xpo of the ZR and BRAX editions: per compound the
// hourly evaluation-stretch concentration and its moving-window averages in
// the compound's target year, in ug.L-1; and the work file twa.tmp with, per
// target, the highest window average inside the target's evaluation period,
// which the summary report copies.
//
// Calling contract (task 5 of the substance driver, ZR and BRAX editions):
//   - the writer of the exposure series has closed every expcon work file
//     (exposureFileName; with TwaExposureSeries:
//     run.units().close(series.workUnit(k))) so that all its lines are on
//     disk; write() reopens each by name and deletes it after copying;
//   - Targets::rankYearlyPeaks has run, so that each compound's target year
//     is known;
//   - then write() creates RunId.xpo and twa.tmp, reads and deletes the expcon
//     files, and closes both files again. The summary report copies twa.tmp
//     afterwards.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "input/calendar.hpp"

namespace korvan {

class Run;
class Targets;
class TextFile;

inline constexpr std::string_view kExtExposure = ".xpo";
inline constexpr std::string_view kTwaFile = "twa.tmp";

// The highest window average of one target inside its evaluation period.
struct TargetMaximum {
  double twa = 0.0;       // g.m-3
  std::string startDate;  // date texts of the window in which it was found,
  std::string endDate;    // blank when none was found
};

class ExposureFile {
 public:
  ExposureFile(Run& run, Targets& targets) : run_(run), targets_(targets) {}

  // Writes RunId.xpo and twa.tmp from the expcon work files.
  void write();

  // The maxima of compound k found by write(), one per target.
  const std::vector<TargetMaximum>& maxima(int k) const;

 private:
  // One line of an exposure series as read back.
  struct SeriesRow {
    double time = 0.0;  // d since the start
    std::string dateText;
    calendar::DateRecord date;
    std::vector<double> values;  // g.m-3: concentration, then one average per window
  };

  void writeHeader(TextFile& xpo, const std::string& name, int year);
  enum class RowStatus { Read, Skipped, Unreadable };

  void copySeries(TextFile& xpo, int k, std::vector<TargetMaximum>& maxima);
  // Skipped: a blank or comment line.
  RowStatus readRow(const std::string& line, SeriesRow& row);
  void keepMaxima(const SeriesRow& row, std::vector<TargetMaximum>& maxima);
  void writeTwa(TextFile& twa, const std::string& name, const std::vector<TargetMaximum>& maxima);
  int windows();

  Run& run_;
  Targets& targets_;
  std::vector<std::vector<TargetMaximum>> maxima_;
};

}  // namespace korvan
