#include "hydrology/water_body.hpp"

namespace korvan {

void WaterBody::getWaterBody() {}
int WaterBody::numSeg() const { return 0; }

}  // namespace korvan
