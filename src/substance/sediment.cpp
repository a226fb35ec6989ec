#include "substance/sediment.hpp"

namespace korvan {

void SedimentProfile::getSedimentProfile() {}
int SedimentProfile::numLayers() const { return 0; }
double SedimentProfile::zBou(int) const { return 0.0; }

}  // namespace korvan
