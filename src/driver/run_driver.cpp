#include "driver/run_driver.hpp"

#include <cmath>

#include "core/compare.hpp"
#include "core/console.hpp"
#include "core/layout.hpp"
#include "core/stop.hpp"
#include "core/text.hpp"
#include "driver/model_run.hpp"
#include "driver/modules.hpp"
#include "driver/run_setup.hpp"
#include "input/calendar.hpp"
#include "input/keyword_check.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"

namespace korvan {

PassSelection selectPasses(PassOption optHyd, PassOption optTem) {
  const bool onlineOrOnly = [](PassOption o) {
    return o == PassOption::OnLine || o == PassOption::Only;
  }(optHyd);
  const bool temOnlineOrOnly = optTem == PassOption::OnLine || optTem == PassOption::Only;
  return {onlineOrOnly, optHyd != PassOption::Only && temOnlineOrOnly,
          optHyd != PassOption::Only && optTem != PassOption::Only};
}

void RunDriver::execute() {
  startUp();
  if (passes_.hydrology) hydrologyPass();
  // Whether or not the pass ran, a later pass reads the field-model files
  // from their start.
  modules_.closeLateralEntryFiles();
  if (passes_.temperature) temperaturePass();
  if (passes_.substance) substancePass();
  checkKeywordsOnce();
  run_.runSetup().bannerEnd();
}

void RunDriver::startUp() {
  RunOptions& options = run_.options();
  const PassOption optHyd = options.optHyd();
  const PassOption optTem = options.optTem();
  passes_ = selectPasses(optHyd, optTem);
  if (optHyd == PassOption::OnLine || optHyd == PassOption::Only) {
    createPassFile(Unit::Hydrology, kExtHydrology);
  }
  if (optTem == PassOption::OnLine || optTem == PassOption::Only) {
    createPassFile(Unit::Temperature, kExtTemperature);
  }
  run_.clock().readSettings();
  run_.runSetup().noteStart();
  setTimeStepFromInput();
  progress(Task::ProgressStart);
  modules_.readSedimentProfile();
  modules_.hydrology(Task::Initialise);
}

void RunDriver::createPassFile(Unit unit, std::string_view extension) {
  const std::string name = run_.identity().fileName(extension);
  if (collecting()) {
    // A run that already stopped writes no file that it did not write before
    // the stop, and overwrites none that an earlier run left for reuse.
    if (platform::fileExists(run_.workDir(), name)) throw RunStop{-1};
    run_.records().collectionFiles().push_back(name);
  }
  run_.units().create(unit, name);
}

void RunDriver::setTimeStepFromInput() {
  run_.clock().setTimeStep(run_.options().optInp() == InputInterval::Daily ? 1.0 : kHour);
}

void RunDriver::resetClock() {
  SimClock& clock = run_.clock();
  clock.resetToStart();
  clock.resetPrintTime();
  clock.resetSubTime();
}

// Print-time output of the modules is skipped when the output files are to
// be deleted anyway.
bool RunDriver::printsWanted() { return !run_.options().optDelOutFiles(); }

void RunDriver::hydrologyPass() {
  SimClock& clock = run_.clock();
  const bool orlan = run_.identity().isOrlan();
  const bool hydrologyOnly = run_.options().optHyd() == PassOption::Only;
  modules_.writeHydrologyRecord();
  if (orlan) modules_.meteo(Task::Initialise);
  do {
    if (orlan) {
      if (SimClock::timeReached(clock.tim(), modules_.nextMeteoTime())) modules_.meteo(Task::Step);
      modules_.copyMeteoToWaterSystem();
    }
    modules_.hydrology(Task::Step);
    if (hydrologyOnly) modules_.massBalance(Task::WaterBalance);
    clock.advance();
    if (SimClock::timeReached(clock.tim(), clock.timPrn()) || collecting()) {
      if (printsWanted()) {
        modules_.hydrology(Task::Print);
        if (orlan) modules_.meteo(Task::Print);
      }
      clock.setNextPrintTime();
      progress(Task::ProgressHydrology);
    }
    modules_.writeHydrologyRecord();
  } while (clock.tim() < clock.timEnd() && !collecting());
  run_.units().close(Unit::Hydrology);
}

void RunDriver::temperaturePass() {
  SimClock& clock = run_.clock();
  resetClock();
  clock.setTimeStep(kHour);  // the heat balance always steps by the hour
  modules_.meteo(run_.identity().isOrlan() ? Task::Reinitialise : Task::Initialise);
  modules_.hydrologyTotals();
  modules_.hydrology(Task::TakeStored);
  modules_.temperature(Task::Initialise);
  modules_.temperatureFile(Task::Initialise);
  do {
    if (SimClock::timeReached(clock.tim(), modules_.nextMeteoTime())) modules_.meteo(Task::Step);
    modules_.hydrology(Task::TakeStored);
    modules_.temperature(Task::Step);
    modules_.hydrologyTotals();
    modules_.temperatureTotals();
    modules_.meteoTotals();
    clock.advance();
    if (SimClock::timeReached(clock.tim(), clock.timPrn()) || collecting()) {
      if (printsWanted()) {
        modules_.temperature(Task::Print);
        modules_.meteo(Task::Print);
      }
      clock.setNextPrintTime();
      progress(Task::ProgressTemperature);
    }
    modules_.temperatureFile(Task::Step);
  } while (clock.tim() < clock.timEnd() && !collecting());
  modules_.temperatureFile(Task::Terminate);
}

void RunDriver::substancePass() {
  SimClock& clock = run_.clock();
  setTimeStepFromInput();
  resetClock();
  const bool merix = run_.identity().isMerix();
  modules_.meteo(Task::Reinitialise);
  modules_.temperature(Task::Reinitialise);
  modules_.hydrology(Task::Reinitialise);
  modules_.hydrologyTotals();
  modules_.hydrology(Task::TakeStored);
  modules_.substance(Task::Initialise);
  do {
    if (SimClock::timeReached(clock.tim(), modules_.nextMeteoTime())) modules_.meteo(Task::Step);
    if (SimClock::timeReached(clock.tim(), modules_.nextTemperatureTime())) {
      modules_.temperature(Task::TakeStored);
    }
    modules_.hydrology(Task::TakeStored);
    modules_.substance(Task::Step);
    if (merix) {
      modules_.pecWater(Task::Step);
      modules_.pecSediment(Task::Step);
    }
    modules_.hydrologyTotals();
    modules_.substanceTotals();
    modules_.meteoTotals();
    clock.advance();
    if (SimClock::timeReached(clock.tim(), clock.timPrn()) || collecting()) {
      if (printsWanted()) {
        modules_.hydrology(Task::Print);
        modules_.substance(Task::Print);
        modules_.meteo(Task::Print);
      }
      clock.setNextPrintTime();
      progress(Task::ProgressSubstance);
      checkKeywordsOnce();
    }
    if (modules_.profileEventRaised() && printsWanted()) modules_.substance(Task::WriteProfiles);
  } while (clock.tim() < clock.timEnd() && !collecting());
  // The reports of a run whose collection of missing records stands in
  // values would mislead; they are not written.
  if (!collecting()) modules_.substance(Task::Terminate);
}

// While missing records are collected every pass runs one step and prints
// once: enough to read every record of the run, which the modules read at
// initialisation or at their first print.
bool RunDriver::collecting() { return run_.records().collecting(); }

// The input reading ends at the first print of the substance pass: by then
// every module has read its records and its print switches. A run without a
// substance pass ends its reading with its last pass.
void RunDriver::checkKeywordsOnce() {
  if (keywordsChecked_ || collecting()) return;
  keywordsChecked_ = true;
  reportUnreadKeywords(run_);
}

void RunDriver::progress(Task task) {
  SimClock& clock = run_.clock();
  const double hourRest = std::fmod(clock.tim() - std::floor(clock.tim()), kHour);
  if (!cmp::eq(hourRest, 0.0) && !cmp::eq(hourRest, kHour)) return;

  std::string& date = clock.currentDateText();
  date = calendar::dateText(clock.tim());
  const bool hydrologyOnly = run_.options().optHyd() == PassOption::Only;
  const bool hourly = clock.delTim() == kHour;
  const double step = clock.calculationTimeStep(hydrologyOnly, hourly);
  Console& console = run_.console();

  switch (task) {
    case Task::ProgressStart: {
      std::string line = " The run ID is: " + run_.identity().runId();
      const auto names = modules_.compoundNames();
      if (!names.empty()) {
        line += "; substance(s): ";
        for (std::size_t i = 0; i < names.size(); ++i) line += (i ? ", " : "") + names[i];
      }
      console.line(18, line);
      console.line(19, "");
      break;
    }
    case Task::ProgressHydrology:
      console.line(24, " Hydrology simulated: " + date.substr(0, 11));
      break;
    case Task::ProgressTemperature:
      console.line(24, " Temperature simulated: " + std::string(trimRight(date)));
      break;
    case Task::ProgressSubstance: {
      const double done =
          100.0 * (clock.tim() - clock.timStart()) / (clock.timEnd() - clock.timStart());
      const std::string velocity(
          trimLeft(numberToTextShort(modules_.flowVelocityLastSegment() * 86400.0)));
      const std::string water(
          trimLeft(numberToTextShort(modules_.massFirstCompoundWaterLayer() * 1000.0)));
      const std::string sediment(
          trimLeft(numberToTextShort(modules_.massFirstCompoundSediment() * 1000.0)));
      console.line(24, " Mass balance simulated: " + std::string(trimRight(date)) + " ; " +
                           "    Flow velocity       : " + velocity + " m/d");
      console.line(25, " Done                  :    " + formatLayout("(f6.2)", {done}) + " % " +
                           ";     Mass in water layer : " + water + "  mg");
      console.line(26, " Calculation time step : " + formatLayout("(f10.2)", {step}) + "s" +
                           " ; " + "    Mass in sediment    : " + sediment + "  mg");
      break;
    }
    default:
      break;
  }
}

}  // namespace korvan
