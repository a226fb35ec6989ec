// The hydrology of the water body: discharge at every segment boundary, water
// depth, flow velocity, areas and widths, for constant flow, a water course
// (MERIX with its representative channel; ZR and BRAX with a weir
// downstream) or a pond (MERIX; Orlan with seepage). Computed once in the
// hydrology pass and stored in the hydrology file, which the later passes
// read back.
#pragma once

namespace korvan {

class Run;
enum class Task;

class Hydrology {
 public:
  explicit Hydrology(Run& run) : run_(run) {}

  // The hydrology driver: 1 initialise, 2 one simulation time step,
  // 3 next record of the hydrology file, 4 print, 20 reopen the hydrology
  // file for the substance pass.
  void task(Task task);
  // Writes the record of the current time to the hydrology file.
  void writeRecord();
  // Water-balance and running totals of a step.
  void updateTotals();
  // Orlan edition: the precipitation and evaporation of the current weather
  // record (m.s-1), for every segment.
  void setPrecipitationEvaporation(double flvLiqPrc, double flvLiqEvp);

 private:
  Run& run_;
};

}  // namespace korvan
