// The run options. Each is read from the input file on its first query and
// kept for the rest of the run.
#pragma once

#include <optional>

namespace korvan {

class Run;

// OptHyd and OptTem after resolution (Automatic becomes OnLine or OffLine).
enum class PassOption { OnLine = 1, OffLine, Stationary, Only, Automatic };
enum class InputInterval { Daily = 1, Hourly };
enum class TimeStepOption { Input = 1, Calc, Implicit };
enum class DateFormat { DaysFromSta = 1, DaysFrom1900, Years };
enum class FlowOption { Constant = 1, Variable };
enum class WaterSystemType { Pond = 1, WaterCourse, Constant };
// Source of the lateral entries: spray drift only, or the file of a field model.
enum class LoadingSource { DriftOnly = 1, DRALO, SULKA, QUIB, BRAX };
enum class UpstreamFlowOption { Piston = 1, Mixing };

class RunOptions {
 public:
  explicit RunOptions(Run& run) : run_(run) {}

  InputInterval optInp();
  // OptHyd: Only when the compounds table has no rows; Automatic becomes
  // OffLine when RunId.hyd exists, else OnLine.
  PassOption optHyd();
  // OptTem: Automatic becomes OffLine when RunId.tem exists, else OnLine.
  PassOption optTem();
  bool exposureReport();
  bool percentileReport();
  TimeStepOption optTimStp();
  // Also notes its value in the output file on the first query.
  bool printCumulatives();
  DateFormat dateFormat();
  // True for Yes: nothing is printed and the output and log files are
  // deleted at the end. A missing record counts as No unless mustExist.
  bool optDelOutFiles(bool mustExist = true);
  FlowOption optFloWat();
  WaterSystemType optWaterSystemType();
  LoadingSource optLoa();
  // Inflow from upstream is given.
  bool optUpsInp();
  UpstreamFlowOption optUpsFlwInp();

 private:
  int option(std::optional<int>& cache, const char* keyword, const char* list);
  bool yes(std::optional<int>& cache, const char* keyword);
  PassOption resolveAutomatic(PassOption value, const char* extension, const char* fileLabel,
                              const char* notFound, const char* available, const char* found);

  Run& run_;
  std::optional<int> optInp_, exposureReport_, percentileReport_, optTimStp_, printCumulatives_,
      dateFormat_, optDelOutFiles_, optFloWat_, optWaterSystemType_, optLoa_, optUpsInp_,
      optUpsFlwInp_;
  std::optional<PassOption> optHyd_, optTem_;
};

}  // namespace korvan
