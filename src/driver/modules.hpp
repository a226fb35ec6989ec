// How the run driver reaches the modules: one driver routine per module that
// takes a task code, plus the few calls without a task code (running totals,
// the hydrology-file record, the sediment profile). The run driver knows only
// this interface, so modules plug in without touching it, and a test can put
// recording modules in their place.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "core/task.hpp"

namespace korvan {

class ModuleSet {
 public:
  virtual ~ModuleSet() = default;

  // Sediment profile reader (start-up, once).
  virtual void readSedimentProfile() {}

  // Hydrology driver: water body, lateral entries and hydrology.
  virtual void hydrology(Task) {}
  virtual void writeHydrologyRecord() {}
  virtual void hydrologyTotals() {}
  // Closes the field-model files so that a later pass reads them from the start.
  virtual void closeLateralEntryFiles() {}

  // Meteo module.
  virtual void meteo(Task) {}
  virtual double nextMeteoTime() { return std::numeric_limits<double>::quiet_NaN(); }
  virtual void meteoTotals() {}
  // Orlan edition: precipitation and evaporation of the meteo module into
  // the water system, per segment.
  virtual void copyMeteoToWaterSystem() {}

  // Temperature module and its file writer.
  virtual void temperature(Task) {}
  virtual double nextTemperatureTime() { return std::numeric_limits<double>::quiet_NaN(); }
  virtual void temperatureTotals() {}
  virtual void temperatureFile(Task) {}

  // Substance module, its running totals and the mass balance.
  virtual void substance(Task) {}
  virtual void substanceTotals() {}
  virtual void massBalance(Task) {}
  // Raised by the loadings when an event asks for concentration profiles.
  virtual bool profileEventRaised() { return false; }

  // Concentration tables of the water layer and the sediment (MERIX edition).
  virtual void pecWater(Task) {}
  virtual void pecSediment(Task) {}

  // What the progress display shows.
  virtual std::vector<std::string> compoundNames() { return {}; }
  virtual double flowVelocityLastSegment() { return 0.0; }        // m.s-1
  virtual double massFirstCompoundWaterLayer() { return 0.0; }    // g
  virtual double massFirstCompoundSediment() { return 0.0; }      // g
};

}  // namespace korvan
