#include "input/run_options.hpp"

#include <string>

#include "core/platform.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "input/records.hpp"

namespace korvan {

namespace {

constexpr const char* kYesNo = "Yes No";
constexpr const char* kPassOptions = "OnLine OffLine Stationary Only Automatic";

}  // namespace

int RunOptions::option(std::optional<int>& cache, const char* keyword, const char* list) {
  if (!cache) cache = run_.records().rdOption(keyword, list);
  return *cache;
}

bool RunOptions::yes(std::optional<int>& cache, const char* keyword) {
  return option(cache, keyword, kYesNo) == 1;
}

InputInterval RunOptions::optInp() {
  return static_cast<InputInterval>(option(optInp_, "OptInp", "Daily Hourly"));
}

PassOption RunOptions::resolveAutomatic(PassOption value, const char* extension,
                                        const char* fileLabel, const char* notFound,
                                        const char* available, const char* found) {
  if (value != PassOption::Automatic) return value;
  const std::string name = run_.identity().fileName(extension);
  run_.log().writeLine(std::string(fileLabel) + run_.workDirText() + "/" + name);
  if (!platform::fileExists(run_.workDir(), name)) {
    run_.log().writeLine(notFound);
    return PassOption::OnLine;
  }
  run_.log().writeLine(available);
  run_.log().writeLine(found);
  return PassOption::OffLine;
}

PassOption RunOptions::optHyd() {
  if (optHyd_) return *optHyd_;
  auto value = static_cast<PassOption>(run_.records().rdOption("OptHyd", kPassOptions));
  Records& records = run_.records();
  records.getRecord("compounds", 2);
  if (records.countRecord("compounds") == 0) {
    value = PassOption::Only;
    run_.log().writeLine(" No compounds in compounds table - skipping chemistry part of model");
  }
  optHyd_ = resolveAutomatic(value, ".hyd", " Hydrology file = ", " File not found - run hydrology...",
                             " Hydrology available ...", " File found - hydrology skipped");
  return *optHyd_;
}

PassOption RunOptions::optTem() {
  if (optTem_) return *optTem_;
  const auto value = static_cast<PassOption>(run_.records().rdOption("OptTem", kPassOptions));
  optTem_ = resolveAutomatic(value, ".tem", " Temperature file = ",
                             " File not found - run temperature...", " Temperature available ...",
                             " File found - temperature skipped");
  return *optTem_;
}

bool RunOptions::exposureReport() { return yes(exposureReport_, "ExposureReport"); }
bool RunOptions::percentileReport() { return yes(percentileReport_, "PercentileReport"); }

TimeStepOption RunOptions::optTimStp() {
  return static_cast<TimeStepOption>(option(optTimStp_, "OptTimStp", "Input Calc Implicit"));
}

bool RunOptions::printCumulatives() {
  if (!printCumulatives_) {
    const bool value = yes(printCumulatives_, "PrintCumulatives");
    run_.output().writeLine(value ? "* Option PrintCumulatives was set to true"
                                  : "* Option PrintCumulatives was set to false");
  }
  return *printCumulatives_ == 1;
}

DateFormat RunOptions::dateFormat() {
  return static_cast<DateFormat>(
      option(dateFormat_, "DateFormat", "DaysFromSta DaysFrom1900 Years"));
}

bool RunOptions::optDelOutFiles(bool mustExist) {
  if (!optDelOutFiles_) {
    const int value =
        run_.records().rdOption("OptDelOutFiles", kYesNo, Unit::Input, mustExist);
    if (value == -99) return false;
    optDelOutFiles_ = value;
  }
  return *optDelOutFiles_ == 1;
}

}  // namespace korvan

namespace korvan {

FlowOption RunOptions::optFloWat() {
  return static_cast<FlowOption>(option(optFloWat_, "OptFloWat", "Constant Variable"));
}

WaterSystemType RunOptions::optWaterSystemType() {
  return static_cast<WaterSystemType>(
      option(optWaterSystemType_, "OptWaterSystemType", "Pond WaterCourse Constant"));
}

LoadingSource RunOptions::optLoa() {
  return static_cast<LoadingSource>(option(optLoa_, "OptLoa", "DriftOnly DRALO SULKA QUIB BRAX"));
}

bool RunOptions::optUpsInp() { return yes(optUpsInp_, "OptUpsInp"); }

UpstreamFlowOption RunOptions::optUpsFlwInp() {
  return static_cast<UpstreamFlowOption>(option(optUpsFlwInp_, "OptUpsFlwInp", "Piston Mixing"));
}

}  // namespace korvan
