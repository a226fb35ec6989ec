// The run of the model as the program drives it: makes every part of the run
// (the readers, the clock and the modules), then runs it from the command
// line to the stop text.
#pragma once

#include <string>
#include <vector>

#include "core/run.hpp"
#include "output/output_file.hpp"

namespace korvan {

class RunSetup;

class ModelRun final : public Run, public OutputGrid {
 public:
  explicit ModelRun(Environment env);
  ~ModelRun() override;

  // The whole run, from the command line to the stop text; returns the exit
  // status of the process.
  int execute();

  // Start-up: run identifier, the run's files, screen mode, edition, banner
  // and report headers. Throws EarlyStop or RunStop.
  void setup();
  // Termination: closes and deletes files, writes the success marker after a
  // normal end, shows the stop text. Returns the exit status.
  int terminate(int status);

  // The start-up routines and the banner of the run's identity.
  RunSetup& runSetup();

  bool collectingMissingRecords() override;

  // The grid of the output file, from the water body, the compounds and the
  // sediment profile.
  int numSeg() override;
  const std::vector<int>& outputSegments() override;
  int numCompounds() override;
  const std::vector<std::string>& compoundNames() override;
  int numLayers() override;
  bool outputLayer(int j) override;
  double layerDepth(int j) override;
  double layerThetaSat(int j) override;

 private:
  void reportFileError(const FileError& e);
  void reportInternalError(const std::string& what);
  // After a missing record: the other missing records in the log file.
  void reportOtherMissing();

  bool terminated_ = false;
};

}  // namespace korvan
