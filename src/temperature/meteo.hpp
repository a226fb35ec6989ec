// The weather of one station: read from its .met file (daily, hourly or
// monthly), cut to the simulation period in the work file "MeteoDat.tmp",
// converted to SI units, and served per time step with the solar geometry.
#pragma once

namespace korvan {

class Run;
enum class Task;

class Meteo {
 public:
  explicit Meteo(Run& run) : run_(run) {}

  // Task 1 initialise, 2 read the next record, 4 print, 20 restart at the
  // start of the simulation period.
  void task(Task task);
  // Time of the next record (days since 1900).
  double nextRecordTime() const;
  // Cumulative sums of radiation, precipitation and evaporation (once per step).
  void updateCumulatives();

  double fleRadShoDow() const;  // W.m-2
  double temAirRef() const;     // K
  double flvLiqPrc() const;     // m.s-1
  double flvLiqEvp() const;     // m.s-1

 private:
  Run& run_;
};

}  // namespace korvan
