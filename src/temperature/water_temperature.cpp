#include "temperature/water_temperature.hpp"

#include <limits>

namespace korvan {

void WaterTemperature::task(Task) {}
void WaterTemperature::fileTask(Task) {}
void WaterTemperature::updateIntegrals() {}
double WaterTemperature::nextRecordTime() const { return std::numeric_limits<double>::quiet_NaN(); }
double WaterTemperature::temWat() const { return 293.15; }

}  // namespace korvan
