#include "driver/run_modules.hpp"

#include "core/run.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/lateral_entries.hpp"
#include "hydrology/sediment_profile.hpp"
#include "report/substance_reports.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"
#include "substance/mass_balance.hpp"
#include "substance/substance_cycle.hpp"
#include "temperature/meteo.hpp"
#include "temperature/water_temperature.hpp"

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

namespace korvan {

void RunModules::temperature(Task task) { run_.waterTemperature().task(task); }
double RunModules::nextTemperatureTime() { return run_.waterTemperature().nextRecordTime(); }
void RunModules::temperatureTotals() { run_.waterTemperature().updateIntegrals(); }
void RunModules::temperatureFile(Task task) { run_.waterTemperature().fileTask(task); }
std::vector<std::string> RunModules::compoundNames() { return run_.compounds().names(); }
bool RunModules::profileEventRaised() { return run_.loadings().profileRaised(); }

void RunModules::substance(Task task) { run_.substance().task(task); }
void RunModules::massBalance(Task task) { run_.massBalance().task(task); }
void RunModules::pecWater(Task task) {
  if (task == Task::Step) run_.substanceReports().pecWaterStep();
}
void RunModules::pecSediment(Task task) {
  if (task == Task::Step) run_.substanceReports().pecSedimentStep();
}
double RunModules::flowVelocityLastSegment() { return run_.substance().flowVelocityLastSegment(); }
double RunModules::massFirstCompoundWaterLayer() {
  return run_.substance().massFirstCompoundWaterLayer();
}
double RunModules::massFirstCompoundSediment() { return run_.substance().massFirstCompoundSediment(); }

}  // namespace korvan
