// The modules of a run behind the run driver's interface.
#pragma once

#include "driver/modules.hpp"

namespace korvan {

class Run;

class RunModules : public ModuleSet {
 public:
  explicit RunModules(Run& run) : run_(run) {}

  void readSedimentProfile() override;
  void hydrology(Task task) override;

 private:
  Run& run_;
};

}  // namespace korvan
