#include "driver/run_modules.hpp"

#include "driver/run.hpp"
#include "hydrology/water_body.hpp"
#include "substance/sediment.hpp"

namespace korvan {

void RunModules::readSedimentProfile() { run_.sediment().getSedimentProfile(); }

void RunModules::hydrology(Task task) {
  if (task == Task::Initialise) run_.waterBody().getWaterBody();
}

}  // namespace korvan
