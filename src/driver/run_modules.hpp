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
  void writeHydrologyRecord() override;
  void hydrologyTotals() override;
  void closeLateralEntryFiles() override;
  void meteo(Task task) override;
  double nextMeteoTime() override;
  void meteoTotals() override;
  void copyMeteoToWaterSystem() override;
  void temperature(Task task) override;
  double nextTemperatureTime() override;
  void temperatureTotals() override;
  void temperatureFile(Task task) override;
  std::vector<std::string> compoundNames() override;
  bool profileEventRaised() override;
  void substance(Task task) override;
  void massBalance(Task task) override;
  void pecWater(Task task) override;
  void pecSediment(Task task) override;
  double flowVelocityLastSegment() override;
  double massFirstCompoundWaterLayer() override;
  double massFirstCompoundSediment() override;

 private:
  Run& run_;
};

}  // namespace korvan
