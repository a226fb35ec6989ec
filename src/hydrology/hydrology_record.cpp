// The hydrology's side of the hydrology file: the header and one record per
// time step in the hydrology pass, with the checks on the state it stores,
// and the reading back of the records in the later passes.
#include <string>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/platform.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/text_file.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/water_body.hpp"
#include "input/calendar.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "Hydrology";
constexpr std::string_view kReadRoutine = "RdHydFile";

HydFileLayout layoutOf(HydrologyKind kind) {
  switch (kind) {
    case HydrologyKind::WeirReach:
      return HydFileLayout::WeirReach;
    case HydrologyKind::Pond:
      return HydFileLayout::Pond;
    case HydrologyKind::OrlanPond:
      return HydFileLayout::OrlanPond;
    case HydrologyKind::WaterCourse:
    case HydrologyKind::Constant:
      break;
  }
  return HydFileLayout::WaterCourse;
}

}  // namespace

// Only a variable flow of a pond or water course has a file; constant flow
// is rebuilt from the input in every pass.
bool Hydrology::writesFile() const {
  return variable_ && kind_ != HydrologyKind::Constant;
}

// A stationary hydrology (OptHyd Stationary) keeps the state of task 1
// instead of reading a file.
bool Hydrology::readsFile() {
  return writesFile() && run_.options().optHyd() != PassOption::Stationary;
}

void Hydrology::writeHeader() {
  if (!file_) file_.emplace(layoutOf(kind_), orlan());
  UnitTable& units = run_.units();
  if (!units.isOpen(Unit::Hydrology)) {
    units.create(Unit::Hydrology, run_.identity().fileName(kExtHydrology));
  }
  TextFile& file = units.file(Unit::Hydrology);
  const Layout text("(a)");
  for (std::string_view line : file_->headerLines()) file.writeLine(text.write({line}));
}

void Hydrology::writeRecord() {
  if (!variable_) return;
  if (writesFile()) {
    if (!file_) file_.emplace(layoutOf(kind_), orlan());
    if (kind_ == HydrologyKind::WaterCourse) checkFlow();
    const int n = run_.waterBody().numSeg();
    const bool initial = recordsWritten_ == 0;
    recordValues_.clear();
    switch (kind_) {
      case HydrologyKind::WeirReach:
        // The discharge at the weir position, which closes the reach balance
        // and from which the reading passes rebuild the discharges.
        recordValues_ = {QBouUpsWatCrs_.value(), QWeiWatCrs_.value(), DepWatCre_.value()};
        break;
      case HydrologyKind::WaterCourse:
        for (int i = 0; i <= n; ++i) recordValues_.push_back(QBou_[i]);
        if (orlan()) {
          // The Orlan reader takes a seepage value from every record, the
          // first one included.
          recordValues_.push_back(DepWat_[1]);
          recordValues_.push_back(FlwWatSpg_.value());
        } else {
          // After the first record the depth column holds the depth of the
          // representative channel at the start of the step.
          recordValues_.push_back(initial ? DepWat_[1] : depWatRepChaStart_);
        }
        break;
      case HydrologyKind::Pond:
        recordValues_ = {QBou_[0], QBou_[n], DepWat_[1]};
        break;
      case HydrologyKind::OrlanPond:
        recordValues_ = {QBou_[0],           QBou_[n],      DepWat_[1],
                         FlwWatSpg_.value(), FlvLiqPrc_[1], FlvLiqEvp_[1]};
        break;
      case HydrologyKind::Constant:
        break;
    }
    const double tim = run_.clock().tim();
    run_.units()
        .file(Unit::Hydrology)
        .writeLine(
            file_->formatRecord(timeSinceStart(), calendar::dateText(tim), recordValues_, initial));
    ++recordsWritten_;
  }
  checkExchangingDepth();
}

void Hydrology::checkFlow() {
  const int n = run_.waterBody().numSeg();
  for (int i = 1; i <= n; ++i) {
    if (cmp::lt(QBou_[i], 0.0)) {
      run_.messages().fatal(kRoutine,
                            "Direction of water flow erroneous; water flows in upstream direction");
    }
  }
  for (int i = 1; i <= n; ++i) {
    const double froude = froudeNumber(VelWatFlw_[i], AreaWat_[i], WidWatSur_[i]);
    if (froude > kFroudeMax) froudeFatal(froude);
  }
}

void Hydrology::checkExchangingDepth() {
  // Below the exchanging depth the water would no longer cover the perimeter
  // through which it exchanges with the sediment.
  const double defPer = run_.waterBody().depWatDefPer();
  if (cmp::lt(DepWat_[1], defPer)) {
    run_.messages().fatal(kRoutine,
                          "Water depth " + formatLayout("(f6.3)", {DepWat_[1]}) +
                              " m in waterbody < depth defining the",
                          "exchanging perimeter of " + formatLayout("(f6.3)", {defPer}) + " m",
                          "Adjust depth exchanging perimeter");
  }
}

// --- Reading back ---------------------------------------------------------

void Hydrology::openForReading() {
  UnitTable& units = run_.units();
  const bool connected =
      units.isOpen(Unit::Hydrology) && units.file(Unit::Hydrology).mode() == TextFile::Mode::Read;
  if (!connected) {
    if (units.isOpen(Unit::Hydrology)) units.close(Unit::Hydrology);
    const std::string name = run_.identity().fileName(kExtHydrology);
    if (!platform::fileExists(run_.workDir(), name)) {
      run_.messages().fatal(kReadRoutine, "Cannot find file " + name + " with status old");
    }
    units.open(Unit::Hydrology, name);
  }
  HydrologyFile::skipHeader(units.file(Unit::Hydrology));
  readerOpen_ = true;
  recordsRead_ = 0;
}

void Hydrology::readRecord() {
  if (!readerOpen_ || !run_.units().isOpen(Unit::Hydrology)) openForReading();
  const WaterBody& wb = run_.waterBody();
  const int n = wb.numSeg();
  std::size_t count = 3;
  if (kind_ == HydrologyKind::WaterCourse) count = static_cast<std::size_t>(n) + (orlan() ? 3 : 2);
  if (kind_ == HydrologyKind::OrlanPond) count = 4;  // the weather columns are skipped
  recordValues_.resize(count);
  // The record's time is not compared with the clock: records are taken in
  // order, one per time step, so a file of a longer run reads without
  // complaint.
  if (!HydrologyFile::readRecord(run_.units().file(Unit::Hydrology), recordValues_)) {
    run_.messages().fatal(
        kReadRoutine, "Fatal while reading hyd record ",
        "The error occurred at Tim = " + formatLayout("(f8.2)", {run_.clock().tim()}),
        "Try remove hyd file " + run_.identity().runId() + std::string(kExtHydrology));
  }
  // The record read before gives the start of the step; the first record
  // of a pass is both start and end.
  keepPrevious();
  const auto& v = recordValues_;
  switch (kind_) {
    case HydrologyKind::WeirReach:
      QBouUpsWatCrs_.set(v[0]);
      QWeiWatCrs_.set(v[1]);
      DepWatCre_.set(v[2]);
      QCre_.set(weirDischarge(reach_.widCre, v[2] - reach_.hgtCre));
      weirReachProfile(v[0], v[1]);
      break;
    case HydrologyKind::WaterCourse:
      for (int i = 0; i <= n; ++i) QBou_[i] = v[static_cast<std::size_t>(i)];
      // One depth for the whole water body.
      for (int i = 1; i <= n; ++i) DepWat_[i] = v[static_cast<std::size_t>(n) + 1];
      // The depth column is the depth of the representative channel, so a
      // pass that reads the file shows the same channel depth as one that
      // computed it.
      if (!orlan()) DepWatRepCha_.set(v[static_cast<std::size_t>(n) + 1]);
      if (orlan()) FlwWatSpg_.set(v[static_cast<std::size_t>(n) + 2]);
      break;
    case HydrologyKind::Pond:
    case HydrologyKind::OrlanPond:
      QBou_[0] = v[0];
      QBou_[n] = v[1];
      DepWat_[1] = v[2];
      if (kind_ == HydrologyKind::OrlanPond) FlwWatSpg_.set(v[3]);
      break;
    case HydrologyKind::Constant:
      break;
  }
  updateGeometry();
  updateVelocity();
  if (recordsRead_ == 0) keepPrevious();
  ++recordsRead_;
}

}  // namespace korvan
