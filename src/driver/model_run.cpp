#include "driver/model_run.hpp"

#include <exception>
#include <iostream>
#include <new>

#include "core/console.hpp"
#include "core/messages.hpp"
#include "core/stop.hpp"
#include "driver/run_driver.hpp"
#include "driver/run_modules.hpp"
#include "driver/run_setup.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/lateral_entries.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/dates.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "output/output_file.hpp"
#include "report/substance_reports.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"
#include "substance/mass_balance.hpp"
#include "substance/substance_cycle.hpp"
#include "temperature/meteo.hpp"
#include "temperature/water_temperature.hpp"

namespace korvan {

namespace {

// Work files that a run may leave behind and that every end deletes.
constexpr std::string_view kWorkFilesOnError[] = {"korvan.tmp", "evtfil.tmp"};
constexpr std::string_view kWorkFilesOnNormalEnd[] = {
    "korvan.tmp", "evtfil.tmp",   "PECsw.tmp", "PECsed.tmp",
    "MeteoDat.tmp", "TemAir.tmp", "Tgtfil.tmp"};

}  // namespace

ModelRun::ModelRun(Environment env) : Run(std::move(env)) {
  identity_ = makePart<RunIdentity, RunSetup>(*this);
  records_ = makePart<Records>(*this);
  numbers_ = makePart<Numbers>(*this);
  dates_ = makePart<Dates>(*this);
  clock_ = makePart<SimClock>(*this);
  options_ = makePart<RunOptions>(*this);
  waterBody_ = makePart<WaterBody>(*this);
  sediment_ = makePart<SedimentProfile>(*this);
  lateralEntries_ = makePart<LateralEntries>(*this);
  hydrology_ = makePart<Hydrology>(*this);
  meteo_ = makePart<Meteo>(*this);
  outputFile_ = makePart<OutputFile>(*this, *this);
  waterTemperature_ = makePart<WaterTemperature>(*this);
  compounds_ = makePart<Compounds>(*this);
  loadings_ = makePart<Loadings>(*this);
  massBalance_ = makePart<MassBalance>(*this);
  substanceReports_ = makePart<SubstanceReports>(*this);
  substance_ = makePart<SubstanceCycle>(*this, *massBalance_, *substanceReports_);
}

ModelRun::~ModelRun() = default;

void ModelRun::setup() { runSetup().startUp(); }

RunSetup& ModelRun::runSetup() { return static_cast<RunSetup&>(*identity_); }

bool ModelRun::collectingMissingRecords() { return records_->collecting(); }

int ModelRun::numSeg() { return waterBody_->numSeg(); }
const std::vector<int>& ModelRun::outputSegments() { return waterBody_->outputSegments(); }
int ModelRun::numCompounds() { return compounds_->numCompounds(); }
const std::vector<std::string>& ModelRun::compoundNames() { return compounds_->names(); }
int ModelRun::numLayers() { return sediment_->numLayers(); }
bool ModelRun::outputLayer(int j) { return sediment_->outputLayer(j); }
double ModelRun::layerDepth(int j) { return sediment_->z(j); }
double ModelRun::layerThetaSat(int j) { return sediment_->thetaSat(j); }

int ModelRun::execute() {
  try {
    try {
      records_->collectMissing();
      setup();
      RunModules modules(*this);
      RunDriver(*this, modules).execute();
      return terminate(0);
    } catch (const FileError& e) {
      reportFileError(e);
    } catch (const std::bad_alloc&) {
      reportInternalError("Not enough memory for this run");
    } catch (const std::exception& e) {
      reportInternalError(e.what());
    }
  } catch (const RunStop& stop) {
    return terminate(stop.status == 0 ? -1 : stop.status);
  } catch (const EarlyStop& stop) {
    for (const auto& line : stop.lines) console_->say(line);
    if (stop.beep) console_->beep();
    if (!stop.text.empty()) console_->say(stop.text);
    if (!stop.hint.empty()) console_->say(stop.hint);
    return kExitEarlyStop;
  }
  return kExitInternal;  // not reached: the reports above always stop the run
}

void ModelRun::reportFileError(const FileError& e) {
  if (!units_.isOpen(Unit::Error)) {
    // No error file yet: the console is all there is.
    console_->say(std::string(e.what()) + e.path().string());
    console_->stop("An error occurred - program stopped");
    throw EarlyStop{};
  }
  messages_->fatal("FileIO", std::string(e.what()) + e.path().filename().string(),
                   "Check that the disk is not full and that the folder may be written");
}

void ModelRun::reportInternalError(const std::string& what) {
  if (!units_.isOpen(Unit::Error)) {
    console_->say(" " + what);
    console_->stop("An error occurred - program stopped");
    throw EarlyStop{};
  }
  messages_->fatal("Korvan", " " + what);
}

void ModelRun::reportOtherMissing() {
  const std::vector<std::string>& missing = records_->otherMissing();
  if (units_.isOpen(Unit::Log)) {
    TextFile& log = units_.file(Unit::Log);
    log.writeLine(
        missing.empty()
            ? " No other required record is missing from " + identity_->fileName(kExtInput)
            : " Other required records missing from " + identity_->fileName(kExtInput) + ":");
    for (const std::string& line : missing) log.writeLine(line);
  }
  if (!missing.empty()) {
    console_->line(7, " " + std::to_string(missing.size()) +
                          " more missing records are listed in " + identity_->fileName(kExtLog));
  }
}

int ModelRun::terminate(int status) {
  if (terminated_) return status == 0 ? kExitNormal : kExitError;
  terminated_ = true;
  if (records_->collecting()) {
    // The first missing record stopped the run; the reading went on only to
    // find the others.
    reportOtherMissing();
    status = -1;
  }
  bool deleteOutput = false;
  try {
    deleteOutput = options_->optDelOutFiles(status == 0);
  } catch (const RunStop&) {
    // The option itself is faulty: its message is in the error file, and a
    // normal end becomes an error end.
    status = -1;
  } catch (const FileError&) {
    // The run died before its log file existed: nothing to delete.
    if (status == 0) status = -1;
  }

  bool writeFailed = false;
  if (status == 0) units_.closeAndDelete(Unit::Error);
  if (status != 0) console_->beep();
  if (deleteOutput) {
    units_.closeAndDelete(Unit::Output);
    units_.closeAndDelete(Unit::Log);
  }
  try {
    units_.closeAll();
  } catch (const FileError&) {
    writeFailed = true;
  }
  for (const std::string& name : records_->collectionFiles()) deleteFile(name);

  if (status != 0 || writeFailed) {
    for (std::string_view name : kWorkFilesOnError) deleteFile(name);
    // An error end may come in the middle of any pass: every work file the
    // run opened (weather copy, temperature series, tables) goes as well.
    for (const std::string& name : units_.createdWorkFiles()) deleteFile(name);
    if (writeFailed) console_->say(" A file of the run could not be written completely");
    console_->stop("An error occurred - program stopped");
    return kExitError;
  }

  for (std::string_view name : kWorkFilesOnNormalEnd) deleteFile(name);
  try {
    TextFile marker(env_.workDir / std::string(kSuccessMarker), TextFile::Mode::Write);
    marker.writeLine("Run succesfully terminated!");
    marker.close();
  } catch (const FileError&) {
    deleteFile(kSuccessMarker);
    console_->say(" The success marker korvan.ok could not be written");
    console_->stop("An error occurred - program stopped");
    return kExitError;
  }
  console_->clear();
  console_->stop("End of program");
  return kExitNormal;
}

}  // namespace korvan
