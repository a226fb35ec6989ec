#include "hydrology/lateral_entries.hpp"

namespace korvan {

void LateralEntries::open() {}
void LateralEntries::readRecord() {}
void LateralEntries::close() {}
double LateralEntries::vvrLiqDraPrevious() const { return 0.0; }
double LateralEntries::vvrLiqDra() const { return 0.0; }
double LateralEntries::vvrLiqRnfPrevious() const { return 0.0; }
double LateralEntries::vvrLiqRnf() const { return 0.0; }
double LateralEntries::qZandoPrevious() const { return 0.0; }
double LateralEntries::qZando() const { return 0.0; }
double LateralEntries::flvPaved() const { return 0.0; }

}  // namespace korvan
