// Helpers for tests: a fresh temporary folder per test, files written into
// it and read back, a run of the model built in-process on that folder, and
// the korvan program started as a separate process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/stop.hpp"
#include "driver/model_run.hpp"

namespace korvan::testing {

// A temporary folder that is removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  std::vector<std::string> lines(const std::string& name) const;
  bool exists(const std::string& name) const;
  // The names of the files in the folder, sorted.
  std::vector<std::string> files() const;

 private:
  std::filesystem::path path_;
};

// The records every valid input needs, followed by the extra lines.
std::string minimalInput(const std::string& extra = "");
// Copies the example scenario examples/<id> into the folder.
void copyExample(const TempDir& dir, const std::string& id);
// Ends the run of the input file `kvn` in the folder at `date` (its TimEnd
// record replaced), so that an end-to-end test of a year-long scenario stays
// short. The examples apply their substance in mid-May. Unless told
// otherwise, the spray-drift events of its Loadings table that come after
// `date` (dd-Mon-yyyy) are dropped.
void setTimEnd(const TempDir& dir, const std::string& kvn, const std::string& date,
               bool dropLaterEvents = true);
inline constexpr const char* kShortTimEnd = "20-May-1980";

// An input on which a whole run completes: two days of 1980, hourly, one
// compound, a ditch of ten segments with constant flow, a sediment of ten
// layers, the weather of station Weather, all print switches off.
std::string runnableInput(const std::string& extra = "");
// Writes Weather.met, hourly weather of 1 to 3 January 1980.
void writeTestWeather(const TempDir& dir);

// A run of the model on a temporary folder, built in-process.
class TestRun {
 public:
  // Writes the input file RunId.kvn and builds the run (not yet set up).
  explicit TestRun(const std::string& input, const std::string& runId = "t");

  ModelRun& run() { return *run_; }
  TempDir& dir() { return dir_; }
  std::string console() const { return console_.str(); }

  // Run setup; fails the test on any stop.
  void setup();
  // Calls the action and expects a fatal error; ends the run with the error
  // status and returns the lines of the error file.
  std::vector<std::string> expectFatal(const std::function<void()>& action);
  // Ends the run normally; returns the exit status.
  int finish();

 private:
  TempDir dir_;
  std::ostringstream console_;
  std::unique_ptr<ModelRun> run_;
  std::string runId_;
};

struct ProgramResult {
  int status = -1;
  std::string output;
};

// Starts the korvan program in the folder with the arguments (each quoted
// for the shell) and waits for it.
ProgramResult runProgram(const std::filesystem::path& dir, const std::vector<std::string>& args);

// The scenarios of examples/.
inline constexpr const char* kExamples[] = {
    "ditch", "stream", "pond", "weir_reach", "greenhouse", "orlan_pond", "constant_ditch"};
// Writes RunId.kvn holding the input, and Weather.met.
void writeRunnable(const TempDir& dir, const std::string& runId,
                   const std::string& input = runnableInput());
// Runs the program on RunId in the folder; fails the test unless the run ends normally.
bool runsNormally(const TempDir& dir, const std::string& runId,
                  const std::vector<std::string>& options = {});
// Replaces the first `from` in the file by `to`; fails the test when there is none.
void replaceIn(const TempDir& dir, const std::string& file, const std::string& from,
               const std::string& to);
// The lines that are neither empty nor comments (starting with '*').
std::vector<std::string> dataLines(const std::vector<std::string>& lines);
bool hasLine(const std::vector<std::string>& lines, const std::string& line);
bool anyLineStartsWith(const std::vector<std::string>& lines, const std::string& start);
// The number of warning blocks in a log.
long countWarnings(const std::vector<std::string>& log);

}  // namespace korvan::testing
