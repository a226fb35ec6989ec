// The summary file RunId.sum after its common header: scenario, substance
// properties and loadings, lateral entries, monthly and annual water and
// mass balances, the concentration summary and, by edition and options, the
// target percentiles, the exposure tables and the project summary.
//
// The substance cycle calls it at fixed points of the pass; its first call,
// whatever the point, writes the opening sections and creates its work files.
// The monthly and annual rows go to work files during the pass and are copied
// into the summary file at its end, which deletes them.
//
// Choices of this report:
//   - The descriptive records Location, SubstanceName, MeteoStation and
//     ApplicationScheme (one word each) may be missing: a dash is written.
//   - The identifier of a water-balance row is the run identifier (15
//     characters).
//   - A last month or year that the run does not complete is written like a
//     complete one; the month rows are followed by "* Last month not
//     complete", and in ZR and BRAX the incomplete year gives a percentile row.
//   - Monthly and annual mass-balance rows are both changes of the cumulative
//     terms since the previous month or year end, so that the months of a
//     year add up to the year.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/unit_table.hpp"
#include "input/run_options.hpp"
#include "substance/mass_balance.hpp"

namespace korvan {

class Run;
class TextFile;

// Work files of the summary (in the working directory).
inline constexpr std::string_view kHydSumFile = "hydsum.tmp";
inline constexpr std::string_view kAnnHydSumFile = "annhydsum.tmp";
// The per-compound work files: for compound k below 10 the stem, an
// underscore (when asked), k and ".tmp"; from 10 on the stem, k, the
// underscore and ".tmp". balsum_1.tmp, balsum10_.tmp, persum1.tmp.
std::string summaryWorkFileName(std::string_view stem, int k, bool underscore = true);

// Water volumes of a month or a year (m3).
struct WaterBalanceTerms {
  double DelSto = 0.0;  // change in the volume present
  double VolPrc = 0.0;  // precipitation on the water surface
  double VolDra = 0.0;  // drainage
  double VolRun = 0.0;  // runoff
  double VolUps = 0.0;  // across the upstream boundary
  double VolDwn = 0.0;  // across the downstream boundary, out of the water body
};

class SummaryReport {
 public:
  explicit SummaryReport(Run& run);

  // Task 1: an outer step starts; the clock stands at its start.
  void startOfStep();
  // Task 2: a sub-step of dt seconds has ended (hydrology of the sub-step).
  void endOfSubStep(double dt);
  // Tasks 3 and 4: the outer step has ended, after the balance checks.
  void endOfStep();
  // Task 5: the pass ends; before the concentration tables and the exposure
  // file are written.
  void endOfPassFirst();
  // Task 6: the pass ends; last.
  void endOfPassLast();

  // Read back, for the tests: the volumes of the month so far.
  const WaterBalanceTerms& monthVolumes() const { return monthTerms_; }

 private:
  // A maximum hourly flux of the lateral entries within a year.
  struct LateralMaximum {
    double value = 0.0;
    double time = -1.0;  // negative while none found
  };
  struct CompoundFiles {
    Unit balsum{}, balsedsum{}, annbalsum{}, annbalsedsum{}, persum{}, pecAnn{};
    std::string balsumName, balsedsumName, annbalsumName, annbalsedsumName, persumName, pecAnnName;
    CompoundBalance atMonthEnd{}, atYearEnd{};
    // The year's maximum ConLiqWatLay in the last segment (g.m-3).
    double yearMax = 0.0;
    double yearMaxTime = -1.0;
    // Drainage, runoff and erosion fluxes and the concentrations of the
    // drainage and runoff water.
    LateralMaximum draFlux, draCon, rnfFlux, rnfCon, ersFlux;
  };

  void open();
  std::string recordWord(std::string_view keyword);
  void writeScenario();
  void writeProperties();
  void writeLoadings();
  void writeLateralEntries();
  void createWorkFiles();
  void createMassBalanceFiles(CompoundFiles& c, int k);
  void createPecAnnFile(CompoundFiles& c, int k);

  void trackLateral();
  void trackYearMaximum(double time);
  void writeMonth(bool complete);
  void writeYear();
  void finishYear(int year);
  void collectLateralRows();

  void writeLateralRows();
  void writeWaterBalance();
  void writeMassBalances();
  void writeRankHeader(bool blankLineFirst);
  void writeConcentrationSummary();
  void writeTargetPercentiles();
  void writeExposure();
  void writeProjectSummary();

  // Closes the work file on the unit, copies it line by line (trimmed) into
  // the summary and deletes it.
  void copyAndDelete(Unit unit, const std::string& name);
  // The same for a file that is no longer open; nothing when it is missing.
  void copyAndDeleteClosed(std::string_view name);
  void deleteWorkFile(Unit unit);

  std::string lengthText(std::string_view layout) const;
  TextFile& summary();

  Run& run_;
  bool opened_ = false;
  bool finished_ = false;
  bool merix_ = false;
  bool targetEdition_ = false;  // ZR, BRAX
  int numCompounds_ = 0;
  double length_ = 0.0;  // m, of the water body
  std::string identifier_;
  double targetPercentile_ = 0.0;
  bool exposureReport_ = false;
  bool percentileReport_ = false;
  bool warningsWritten_ = false;
  LoadingSource loadingSource_ = LoadingSource::DriftOnly;
  std::string location_, meteoStation_, substanceName_;

  Unit hydsum_{}, annhydsum_{};
  std::vector<CompoundFiles> compounds_;

  // Month and year of the current step, and whether rows are pending since
  // the last month end.
  int month_ = 0;
  int year_ = 0;
  bool monthOpen_ = false;
  bool yearOpen_ = false;
  // A year has ended whose last rows wait for the state after its last step.
  int pendingYear_ = 0;
  WaterBalanceTerms monthTerms_, yearTerms_;
  double volume_ = 0.0;  // m3 at the end of the last sub-step
  LateralMaximum water_;
  std::vector<std::string> lateralRows_;
};

}  // namespace korvan
