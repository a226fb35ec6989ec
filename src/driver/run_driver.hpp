// The run driver: after run setup it decides which of the three passes run
// (hydrology, temperature, substance), drives each through its time loop over
// the simulation period with the modules in a fixed order, and shows the
// progress at print times.
#pragma once

#include <string>
#include <string_view>

namespace korvan {

class ModelRun;
class ModuleSet;
enum class Task;
enum class PassOption;
enum class Unit : int;

// Which passes run for resolved OptHyd and OptTem values.
struct PassSelection {
  bool hydrology = false;
  bool temperature = false;
  bool substance = false;
};
PassSelection selectPasses(PassOption optHyd, PassOption optTem);

class RunDriver {
 public:
  RunDriver(ModelRun& run, ModuleSet& modules) : run_(run), modules_(modules) {}

  // Start-up after run setup, the passes, and the run-time lines of the
  // closing sequence; termination is left to the caller.
  void execute();

  void startUp();
  void hydrologyPass();
  void temperaturePass();
  void substancePass();

  // The progress display (task 1, 21, 22 or 23); acts on whole hours only.
  void progress(Task task);

 private:
  void setTimeStepFromInput();
  void resetClock();
  bool printsWanted();
  bool collecting();
  // Creates the hydrology or temperature file of the run.
  void createPassFile(Unit unit, std::string_view extension);
  void checkKeywordsOnce();
  bool keywordsChecked_ = false;

  ModelRun& run_;
  ModuleSet& modules_;
  PassSelection passes_;
};

}  // namespace korvan
