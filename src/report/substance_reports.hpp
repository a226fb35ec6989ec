// The reports of the substance pass: the summary file, the concentration
// tables with their moving windows (MERIX), the targets and the exposure
// series of the evaluation stretch (ZR, BRAX). The substance cycle tells them
// of each stage of the pass; at its end they write the exposure file or the
// tables, between the summary's end-of-pass sections.
#pragma once

#include <memory>

#include "report/concentration_tables.hpp"
#include "report/summary_report.hpp"
#include "report/targets.hpp"
#include "substance/substance_cycle.hpp"

namespace korvan {

class Run;

class SubstanceReports final : public SubstanceReporting {
 public:
  explicit SubstanceReports(Run& run);

  void initialise() override;
  void startOfStep() override;
  void endOfSubStep(const SubstanceCycle& cycle, double dt) override;
  void endOfStep() override;
  void afterLoading(const SubstanceCycle& cycle) override;
  void terminate(const SubstanceCycle& cycle) override;

  // The run driver's table task after every outer step (MERIX): the
  // maximum and the concentrations after each lag, water and sediment.
  void pecWaterStep();
  void pecSedimentStep();

  ConcentrationTables& pecWater() { return pecWater_; }
  ConcentrationTables& pecSediment() { return pecSediment_; }
  Targets& targets() { return targets_; }
  // Null until the first outer step of a ZR or BRAX run.
  TwaExposureSeries* exposureSeries() { return exposureSeries_.get(); }
  SummaryReport& summary() { return summary_; }

 private:
  Run& run_;
  bool merix_ = false;
  ConcentrationTables pecWater_, pecSediment_;
  Targets targets_;
  std::unique_ptr<TwaExposureSeries> exposureSeries_;
  SummaryReport summary_;
};

}  // namespace korvan
