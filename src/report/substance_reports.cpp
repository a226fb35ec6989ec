#include "report/substance_reports.hpp"

#include <utility>
#include <vector>

#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "hydrology/water_body.hpp"
#include "report/exposure_file.hpp"

namespace korvan {

SubstanceReports::SubstanceReports(Run& run)
    : run_(run),
      pecWater_(run, TableMedium::WaterLayer),
      pecSediment_(run, TableMedium::Sediment),
      targets_(run),
      summary_(run) {}

void SubstanceReports::initialise() {
  merix_ = run_.identity().isMerix();
  if (run_.identity().isZR() || run_.identity().isBRAX()) targets_.getTgtTable();
}

void SubstanceReports::startOfStep() {
  summary_.startOfStep();
}

// The downstream end's dissolved concentration and sediment content after
// every sub-step feed the moving windows.
void SubstanceReports::endOfSubStep(const SubstanceCycle& cycle, double dt) {
  if (merix_) {
    const int n = run_.waterBody().numSeg();
    for (int k = 1; k <= cycle.balance().numCompounds(); ++k) {
      pecWater_.subStep(k, cycle.waterLayer().conLiqWatLay()(n, k));
      pecSediment_.subStep(k, cycle.cntSedTgt(n, k));
    }
  }
  summary_.endOfSubStep(dt);
}

void SubstanceReports::endOfStep() {
  summary_.endOfStep();
}

// After the step's loading: the evaluation period of the targets and the
// exposure series (ZR, BRAX), or the moving windows of the tables (MERIX).
void SubstanceReports::afterLoading(const SubstanceCycle& cycle) {
  const int nc = cycle.balance().numCompounds();
  if (cycle.stretchAverages()) {
    for (int k = 1; k <= nc; ++k) targets_.update(k, cycle.conLiqWatZRAvg(k));
    if (!exposureSeries_) {
      std::vector<double> windows;
      for (int w = 1; w <= targets_.numTargets(); ++w) windows.push_back(targets_.period(w));
      exposureSeries_ = std::make_unique<TwaExposureSeries>(run_, std::move(windows));
    }
    for (int k = 1; k <= nc; ++k) {
      exposureSeries_->step(k, cycle.conLiqWatZRAvgIntegral(k), cycle.conLiqWatZRAvg(k));
    }
    return;
  }
  if (!merix_) return;
  for (int k = 1; k <= nc; ++k) {
    pecWater_.endOfStepTracking(k);
    pecSediment_.endOfStepTracking(k);
  }
}

void SubstanceReports::pecWaterStep() {
  const SubstanceCycle& cycle = run_.substance();
  const int n = run_.waterBody().numSeg();
  for (int k = 1; k <= cycle.balance().numCompounds(); ++k) {
    pecWater_.endOfStepTable(k, cycle.waterLayer().conLiqWatLay()(n, k));
  }
}

void SubstanceReports::pecSedimentStep() {
  const SubstanceCycle& cycle = run_.substance();
  const int n = run_.waterBody().numSeg();
  for (int k = 1; k <= cycle.balance().numCompounds(); ++k) {
    pecSediment_.endOfStepTable(k, cycle.cntSedTgt(n, k));
  }
}

// The summary's end-of-pass sections, then the exposure file (ZR, BRAX) or
// the concentration tables (MERIX), which the summary's last task copies.
void SubstanceReports::terminate(const SubstanceCycle& cycle) {
  summary_.endOfPassFirst();
  if (cycle.stretchAverages()) {
    // The exposure file reads the series back from their work files.
    if (exposureSeries_) {
      for (int k = 1; k <= cycle.balance().numCompounds(); ++k) {
        run_.units().close(exposureSeries_->workUnit(k));
      }
    }
    ExposureFile(run_, targets_).write();
  } else if (merix_) {
    pecWater_.writePecTable();
    pecWater_.writeTwaTable();
    pecSediment_.writePecTable();
    pecSediment_.writeTwaTable();
  }
  summary_.endOfPassLast();
}

}  // namespace korvan
