#include "driver/run.hpp"

#include <exception>
#include <iostream>
#include <new>

#include "driver/console.hpp"
#include "driver/messages.hpp"
#include "driver/run_driver.hpp"
#include "driver/run_modules.hpp"
#include "driver/run_setup.hpp"
#include "driver/stop.hpp"
#include "input/dates.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/lateral_entries.hpp"
#include "hydrology/water_body.hpp"
#include "report/mass_balance.hpp"
#include "report/output_file.hpp"
#include "report/substance_cycle.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"
#include "temperature/meteo.hpp"
#include "temperature/water_temperature.hpp"
#include "substance/sediment.hpp"

namespace korvan {

namespace {

// Work files that a run may leave behind and that every end deletes.
constexpr std::string_view kWorkFilesOnError[] = {"korvan.tmp", "evtfil.tmp"};
constexpr std::string_view kWorkFilesOnNormalEnd[] = {
    "korvan.tmp", "evtfil.tmp",   "PECsw.tmp", "PECsed.tmp",
    "MeteoDat.tmp", "TemAir.tmp", "Tgtfil.tmp"};

}  // namespace

Run::Run(Environment env)
    : env_(std::move(env)),
      console_(std::make_unique<Console>(env_.console ? *env_.console : std::cout, env_.terminal)),
      units_(env_.workDir),
      messages_(std::make_unique<Messages>(*this)),
      identity_(std::make_unique<RunIdentity>(*this)),
      records_(std::make_unique<Records>(*this)),
      numbers_(std::make_unique<Numbers>(*this)),
      dates_(std::make_unique<Dates>(*this)),
      clock_(std::make_unique<SimClock>(*this)),
      options_(std::make_unique<RunOptions>(*this)),
      waterBody_(std::make_unique<WaterBody>(*this)),
      sediment_(std::make_unique<SedimentProfile>(*this)),
      lateralEntries_(std::make_unique<LateralEntries>(*this)),
      hydrology_(std::make_unique<Hydrology>(*this)),
      meteo_(std::make_unique<Meteo>(*this)),
      outputFile_(std::make_unique<OutputFile>(*this)),
      waterTemperature_(std::make_unique<WaterTemperature>(*this)),
      compounds_(std::make_unique<Compounds>(*this)),
      loadings_(std::make_unique<Loadings>(*this)),
      massBalance_(std::make_unique<MassBalance>(*this)),
      substance_(std::make_unique<SubstanceCycle>(*this, *massBalance_)) {}

Run::~Run() = default;

std::string Run::workDirText() const { return env_.workDir.string(); }

void Run::setup() { identity_->startUp(); }

Unit Run::freeFil() {
  if (auto unit = units_.lowestFree()) return *unit;
  messages_->fatal("FreeFil", "Cannot find a free file", "There may be too many opened files");
}

void Run::deleteFile(std::string_view name) { platform::removeFile(env_.workDir, name); }

int Run::execute() {
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

void Run::reportFileError(const FileError& e) {
  if (!units_.isOpen(Unit::Error)) {
    // No error file yet: the console is all there is.
    console_->say(std::string(e.what()) + e.path().string());
    console_->stop("An error occurred - program stopped");
    throw EarlyStop{};
  }
  messages_->fatal("FileIO", std::string(e.what()) + e.path().filename().string(),
                   "Check that the disk is not full and that the folder may be written");
}

void Run::reportInternalError(const std::string& what) {
  if (!units_.isOpen(Unit::Error)) {
    console_->say(" " + what);
    console_->stop("An error occurred - program stopped");
    throw EarlyStop{};
  }
  messages_->fatal("Korvan", " " + what);
}

void Run::reportOtherMissing() {
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

int Run::terminate(int status) {
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
