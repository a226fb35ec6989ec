// The water temperature: a heat balance of the whole water body computed in
// the temperature pass and kept in the temperature file RunId.tem, which the
// substance pass reads back.
#pragma once

namespace korvan {

class Run;
enum class Task;

class WaterTemperature {
 public:
  explicit WaterTemperature(Run& run) : run_(run) {}

  // 1 initialise, 2 one time step, 3 next record of the temperature file,
  // 4 print, 20 open the temperature file for the substance pass.
  void task(Task task);
  // The temperature-file writer: 1 open the work file, 2 write the record of
  // the current time, 5 build RunId.tem from the header and the work file.
  void fileTask(Task task);
  // Time integrals of the heat fluxes (once per step).
  void updateIntegrals();
  // Time of the next record of the temperature file (substance pass).
  double nextRecordTime() const;

  double temWat() const;  // K

 private:
  Run& run_;
};

}  // namespace korvan
