#include "hydrology/hydrology.hpp"

#include "driver/modules.hpp"
#include "driver/run.hpp"
#include "hydrology/water_body.hpp"

namespace korvan {

void Hydrology::task(Task task) {
  if (task == Task::Initialise) run_.waterBody().getWaterBody();
}
void Hydrology::writeRecord() {}
void Hydrology::updateTotals() {}
void Hydrology::setPrecipitationEvaporation(double, double) {}

}  // namespace korvan
