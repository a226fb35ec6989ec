// One run of the model as its parts see it. The run owns everything that
// lives for the run: the console, the table of open files, the message
// routines, the input readers, the clock and the modules. Nothing is global,
// so two runs can live side by side in one process. The parts reach each other
// only through this class; the driver's ModelRun makes them (it alone knows
// every module) and drives the run from the command line to the stop text.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform.hpp"
#include "core/unit_table.hpp"

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
class SubstanceReports;

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
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

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
  SubstanceReports& substanceReports() { return *substanceReports_; }

  TextFile& log() { return units_.file(Unit::Log); }
  TextFile& output() { return units_.file(Unit::Output); }
  TextFile& summary() { return units_.file(Unit::Summary); }

  // The lowest free unit from 26 to 100; a fatal error when all are open.
  Unit freeFil();
  // Deletes a file of the working directory if it exists.
  void deleteFile(std::string_view name);
  // While the input reader collects the missing records after the first one,
  // values stand in for them and errors are not reported.
  virtual bool collectingMissingRecords() = 0;

 protected:
  // A part of the run, deleted by the routine bound where it was made, so that
  // this class needs no part's complete type.
  template <class T>
  using Part = std::unique_ptr<T, void (*)(T*)>;
  template <class T, class Made = T, class... Args>
  static Part<T> makePart(Args&&... args) {
    return Part<T>(new Made(std::forward<Args>(args)...),
                   [](T* part) { delete static_cast<Made*>(part); });
  }

  explicit Run(Environment env);
  virtual ~Run();

  // The parts in the order of their making; they are deleted in reverse.
  Environment env_;
  std::unique_ptr<Console> console_;
  UnitTable units_;
  std::unique_ptr<Messages> messages_;
  Part<RunIdentity> identity_{nullptr, nullptr};
  Part<Records> records_{nullptr, nullptr};
  Part<Numbers> numbers_{nullptr, nullptr};
  Part<Dates> dates_{nullptr, nullptr};
  Part<SimClock> clock_{nullptr, nullptr};
  Part<RunOptions> options_{nullptr, nullptr};
  Part<WaterBody> waterBody_{nullptr, nullptr};
  Part<SedimentProfile> sediment_{nullptr, nullptr};
  Part<LateralEntries> lateralEntries_{nullptr, nullptr};
  Part<Hydrology> hydrology_{nullptr, nullptr};
  Part<Meteo> meteo_{nullptr, nullptr};
  Part<OutputFile> outputFile_{nullptr, nullptr};
  Part<WaterTemperature> waterTemperature_{nullptr, nullptr};
  Part<Compounds> compounds_{nullptr, nullptr};
  Part<Loadings> loadings_{nullptr, nullptr};
  Part<MassBalance> massBalance_{nullptr, nullptr};
  Part<SubstanceReports> substanceReports_{nullptr, nullptr};
  Part<SubstanceCycle> substance_{nullptr, nullptr};
};

}  // namespace korvan
