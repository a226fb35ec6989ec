// Targets of the exposure evaluation (ZR and BRAX editions): the table of
// targets, each an averaging window and an evaluation period within the year;
// the tracking of the highest evaluation-stretch concentration inside the
// evaluation period of every year; and the percentile summary of those yearly
// peaks, whose target row selects the target year of the exposure file.
//
// Calling contract (the substance pass of the ZR and BRAX editions):
//   1. getTgtTable() at the first call of the substance driver; it writes
//      tgtfil.tmp and the target echo in the log. The accessors read the
//      table on their first use as well, so the order is safe either way.
//   2. update(k, ConLiqWatZRAvg) for every compound k after every outer step,
//      once the clock stands at the end of that step.
//   3. endOfYear(year) at the end of every year of the run (the step that
//      completes the year), after that step's update calls. Whether a last
//      incomplete year counts is the caller's choice: call it or not.
//   4. At the end of the pass, rankYearlyPeaks(TargetPercentile) with the
//      value the summary report read; then the exposure file (ExposureFile)
//      and the summary report use targetYear(), writeRankedRows() and
//      writeTargetSentence().
// Other editions call nothing here; update() does nothing outside ZR and BRAX.
//
// Choices of this module:
//   - Evaluation period of a year: the days of the year StaTimPrdTgt up to and
//     including EndTimPrdTgt, both given as day numbers of a common year. In a
//     leap year the period starts one day later, on StaTimPrdTgt + 1, whatever
//     the start day; an end from day 60 (1 March) on moves by one day too, so
//     that it keeps its calendar date. A StaTimPrdTgt after EndTimPrdTgt
//     makes the period run over the new year.
//   - Start-up days: the optional record DelTimStaUpTgt (d); without it
//     evaluation starts on the first day. The first DelTimStaUpTgt days of
//     the run are never evaluated.
//   - Identifier of a percentile row (22 characters): "Year = 1980, on 25-Jun"
//     with the year in characters 8 to 11 and the day of the peak after it;
//     ", no peak" when the evaluation period of that year saw nothing above 0.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvan {

class Run;
class TextFile;

inline constexpr std::string_view kTargetFile = "tgtfil.tmp";

// The highest evaluation-period concentration of one compound in one year.
struct YearPeak {
  double concentration = 0.0;  // g.m-3
  double time = -1.0;          // when it occurred; negative when nothing was found
  int year = 0;
};

// The identifier column of a percentile row and the year read back from it.
std::string peakIdentifier(const YearPeak& peak);
int yearOfPeakIdentifier(std::string_view identifier);

// A day of the year (1..366) lies in the period first..last; a first day
// after the last makes the period run over the new year. The end is counted
// when lastIncluded.
bool dayInPeriod(double day, double first, double last, bool lastIncluded);

class Targets {
 public:
  explicit Targets(Run& run) : run_(run) {}

  // GetTgtTable: reads the table Targets once, echoes it to the log and to
  // tgtfil.tmp (closed afterwards, read back by the summary report).
  void getTgtTable();

  // Targets k = 1..numTargets(), in table order.
  int numTargets();
  double period(int k);  // length of the averaging window (d)
  const std::string& name(int k);
  // StaPer and EndPer as day numbers of a common year (1 March = 60) and as
  // the texts of the table.
  int staPer(int k);
  int endPer(int k);
  const std::string& staPerText(int k);
  const std::string& endPerText(int k);

  // After every outer step, per compound k: keeps the highest evaluation-
  // stretch concentration (g.m-3) of the current year's evaluation period.
  void update(int k, double conLiqWatZRAvg);
  // The maximum of compound k found so far this year and its time (negative
  // when none).
  double maxConcentration(int k) const;
  double timeOfMax(int k) const;

  // End of a year: the year's maximum of every compound becomes its peak row
  // of that year, and the tracking starts again from 0.
  void endOfYear(int year);
  const std::vector<YearPeak>& yearlyPeaks(int k) const;

  // Sorts the yearly peaks of every compound ascending (equal values keep
  // their order) and finds the target row: from the highest rank down, the
  // first whose percentage, truncated, is at most targetPercentile.
  void rankYearlyPeaks(double targetPercentile);
  // The peaks of compound k in rank order (rank 1 first).
  const std::vector<YearPeak>& rankedPeaks(int k) const;
  // Percentage of rank i of n: (i - 0.5) / n x 100.
  static double percentage(int rank, int count);
  // Rank of the target row of compound k; 0 when the compound has no peaks.
  int targetRank(int k) const;
  // Year of the target row, the year the exposure file reports; 0 when none.
  int targetYear(int k) const;
  // Concentration of the target row (ug.L-1).
  double targetConcentration(int k) const;

  // The ranked rows of compound k: rank, identifier, percentage,
  // concentration (ug.L-1) and year.
  void writeRankedRows(TextFile& file, int k) const;
  // "* The 90 percentile peak concentration of ..." for compound k.
  void writeTargetSentence(TextFile& file, int k);

 private:
  struct Target {
    std::string name;
    double period = 0.0;
    int staPer = 0;
    int endPer = 0;
    std::string staPerText;
    std::string endPerText;
  };
  struct Tracking {
    double max = 0.0;
    double time = -1.0;
    std::vector<YearPeak> peaks;
    std::vector<YearPeak> ranked;
    int targetRank = 0;
  };

  void readRow(int row);
  int commonYearDay(const std::string& text, std::string_view keyword);
  const Target& target(int k);
  Tracking& tracking(int k);
  const Tracking* trackingOrNull(int k) const;
  void readEvaluationPeriod();
  bool inEvaluationPeriod(double time) const;

  Run& run_;
  bool tableRead_ = false;
  std::vector<Target> targets_;
  bool periodRead_ = false;
  double staTimPrdTgt_ = 1.0;
  double endTimPrdTgt_ = 366.0;
  double delTimStaUpTgt_ = 0.0;  // d
  std::vector<Tracking> compounds_;
  double targetPercentile_ = 0.0;
};

}  // namespace korvan
