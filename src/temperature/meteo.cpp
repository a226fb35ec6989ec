#include "temperature/meteo.hpp"

#include <limits>

namespace korvan {

void Meteo::task(Task) {}
double Meteo::nextRecordTime() const { return std::numeric_limits<double>::quiet_NaN(); }
void Meteo::updateCumulatives() {}
double Meteo::fleRadShoDow() const { return 0.0; }
double Meteo::temAirRef() const { return 0.0; }
double Meteo::flvLiqPrc() const { return 0.0; }
double Meteo::flvLiqEvp() const { return 0.0; }

}  // namespace korvan
