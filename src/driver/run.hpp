// One run of the model. The run owns everything that lives for the run: the
// console, the table of open files, the message routines, the input readers,
// the clock and the modules. Nothing is global, so two runs can live side by
// side in one process.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.hpp"
#include "driver/unit_table.hpp"

namespace korvan {

class Console;
class Messages;
class RunIdentity;
class Records;
class Numbers;
class Dates;
class SimClock;
class RunOptions;
class WaterBody;
class SedimentProfile;
class LateralEntries;
class Hydrology;
class Meteo;
class OutputFile;
class WaterTemperature;
class Compounds;
class Loadings;
class MassBalance;
class SubstanceCycle;

// What a run takes from its surroundings.
struct Environment {
  std::filesystem::path workDir;    // the working directory of the run
  std::vector<std::string> args;    // command-line arguments after the program name
  std::ostream* console = nullptr;  // standard output when null
  bool terminal = false;            // the console is a terminal
  int threads = 0;  // threads of the solvers (--threads); 0: OMP_NUM_THREADS or every core
  std::function<platform::LocalTime()> now = platform::localTime;
};

// Exit status of the process after each kind of stop.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitError = 1;      // "An error occurred - program stopped"
inline constexpr int kExitEarlyStop = 2;  // bad run identifier or no input file
inline constexpr int kExitInternal = 3;   // the run could not even end in order

class Run {
 public:
  explicit Run(Environment env);
  ~Run();
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // The whole run, from the command line to the stop text; returns the exit
  // status of the process.
  int execute();

  // Start-up: run identifier, the run's files, screen mode, edition, banner
  // and report headers. Throws EarlyStop or RunStop.
  void setup();
  // Termination: closes and deletes files, writes the success marker after a
  // normal end, shows the stop text. Returns the exit status.
  int terminate(int status);

  const Environment& environment() const { return env_; }
  const std::filesystem::path& workDir() const { return env_.workDir; }
  std::string workDirText() const;

  Console& console() { return *console_; }
  UnitTable& units() { return units_; }
  Messages& messages() { return *messages_; }
  RunIdentity& identity() { return *identity_; }
  Records& records() { return *records_; }
  Numbers& numbers() { return *numbers_; }
  Dates& dates() { return *dates_; }
  SimClock& clock() { return *clock_; }
  RunOptions& options() { return *options_; }
  WaterBody& waterBody() { return *waterBody_; }
  SedimentProfile& sediment() { return *sediment_; }
  LateralEntries& lateralEntries() { return *lateralEntries_; }
  Hydrology& hydrology() { return *hydrology_; }
  Meteo& meteo() { return *meteo_; }
  OutputFile& outputFile() { return *outputFile_; }
  WaterTemperature& waterTemperature() { return *waterTemperature_; }
  Compounds& compounds() { return *compounds_; }
  Loadings& loadings() { return *loadings_; }
  MassBalance& massBalance() { return *massBalance_; }
  SubstanceCycle& substance() { return *substance_; }

  TextFile& log() { return units_.file(Unit::Log); }
  TextFile& output() { return units_.file(Unit::Output); }
  TextFile& summary() { return units_.file(Unit::Summary); }

  // The lowest free unit from 26 to 100; a fatal error when all are open.
  Unit freeFil();
  // Deletes a file of the working directory if it exists.
  void deleteFile(std::string_view name);

 private:
  void reportFileError(const FileError& e);
  void reportInternalError(const std::string& what);
  // After a missing record: the other missing records in the log file.
  void reportOtherMissing();

  Environment env_;
  std::unique_ptr<Console> console_;
  UnitTable units_;
  std::unique_ptr<Messages> messages_;
  std::unique_ptr<RunIdentity> identity_;
  std::unique_ptr<Records> records_;
  std::unique_ptr<Numbers> numbers_;
  std::unique_ptr<Dates> dates_;
  std::unique_ptr<SimClock> clock_;
  std::unique_ptr<RunOptions> options_;
  std::unique_ptr<WaterBody> waterBody_;
  std::unique_ptr<SedimentProfile> sediment_;
  std::unique_ptr<LateralEntries> lateralEntries_;
  std::unique_ptr<Hydrology> hydrology_;
  std::unique_ptr<Meteo> meteo_;
  std::unique_ptr<OutputFile> outputFile_;
  std::unique_ptr<WaterTemperature> waterTemperature_;
  std::unique_ptr<Compounds> compounds_;
  std::unique_ptr<Loadings> loadings_;
  std::unique_ptr<MassBalance> massBalance_;
  std::unique_ptr<SubstanceCycle> substance_;
  bool terminated_ = false;
};

}  // namespace korvan
