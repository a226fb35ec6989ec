// The task codes through which the run driver calls a module's driver
// routine, and the one dispatch that every module's driver routine shares.
#pragma once

#include <initializer_list>
#include <type_traits>

namespace korvan {

enum class Task {
  Initialise = 1,           // read input, allocate, open files, set the initial state
  Step = 2,                 // compute one step in the pass that owns the quantity
  TakeStored = 3,           // take the state from the file of an earlier pass
  Print = 4,                // write output at a print time
  Terminate = 5,            // final reports, close files
  WriteProfiles = 7,        // substance module: concentration profiles of an event
  WaterBalance = 10,        // mass-balance module: water balance in hydrology-only runs
  Reinitialise = 20,        // reopen the stored file and restart from TimStart
  ProgressStart = 1,        // progress display at start-up
  ProgressHydrology = 21,   // progress display: hydrology pass at a print time
  ProgressTemperature = 22, // progress display: temperature pass at a print time
  ProgressSubstance = 23,   // progress display: substance pass at a print time
};

// The routine of a module that performs one task.
template <class Module>
struct TaskRoutine {
  Task task;
  void (Module::*routine)();
};

// Calls the module's routine for the task; a task without a routine does
// nothing.
template <class Module>
void runTask(Module& module, Task task,
             std::initializer_list<TaskRoutine<std::type_identity_t<Module>>> routines) {
  for (const TaskRoutine<Module>& r : routines) {
    if (r.task == task) {
      (module.*r.routine)();
      return;
    }
  }
}

}  // namespace korvan
