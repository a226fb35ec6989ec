#include "driver/run_modules.hpp"

#include "driver/run.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/lateral_entries.hpp"
#include "substance/sediment.hpp"
#include "temperature/meteo.hpp"

namespace korvan {

void RunModules::readSedimentProfile() { run_.sediment().getSedimentProfile(); }
void RunModules::hydrology(Task task) { run_.hydrology().task(task); }
void RunModules::writeHydrologyRecord() { run_.hydrology().writeRecord(); }
void RunModules::hydrologyTotals() { run_.hydrology().updateTotals(); }
void RunModules::closeLateralEntryFiles() { run_.lateralEntries().close(); }
void RunModules::meteo(Task task) { run_.meteo().task(task); }
double RunModules::nextMeteoTime() { return run_.meteo().nextRecordTime(); }
void RunModules::meteoTotals() { run_.meteo().updateCumulatives(); }

void RunModules::copyMeteoToWaterSystem() {
  run_.hydrology().setPrecipitationEvaporation(run_.meteo().flvLiqPrc(), run_.meteo().flvLiqEvp());
}

}  // namespace korvan
