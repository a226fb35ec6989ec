#include "hydrology/hydrology.hpp"

#include <algorithm>
#include <cmath>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/task.hpp"
#include "hydrology/lateral_entries.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/sediment_width.hpp"
#include "hydrology/water_body.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "Hydrology";

// A variable is printed until its switch is known to be No.
bool wants(const PrintSwitch& sw) {
  return !sw.known || sw.yes;
}

}  // namespace

Hydrology::Hydrology(Run& run)
    : run_(run),
      QBou_(run.waterBody().numSegRef()),
      QBouPrv_(run.waterBody().numSegRef()),
      DepWat_(run.waterBody().numSegRef()),
      DepWatPrv_(run.waterBody().numSegRef()),
      AreaWat_(run.waterBody().numSegRef()),
      AreaWatPrv_(run.waterBody().numSegRef()),
      WidWatSur_(run.waterBody().numSegRef()),
      VelWatFlw_(run.waterBody().numSegRef()),
      VvrLiqDra_(run.waterBody().numSegRef()),
      VvrLiqRnf_(run.waterBody().numSegRef()),
      QLatDra_(run.waterBody().numSegRef()),
      QLatRnf_(run.waterBody().numSegRef()),
      FlvLiqPrc_(run.waterBody().numSegRef()),
      FlvLiqEvp_(run.waterBody().numSegRef()),
      CofDisPhs_(run.waterBody().numSegRef()),
      DelDepWat_(run.waterBody().numSegRef()),
      DelQBou_(run.waterBody().numSegRef()),
      QBouInt_(run.waterBody().numSegRef()),
      CofDisPhsInt_(run.waterBody().numSegRef()),
      VvrLiqDraInt_(run.waterBody().numSegRef()),
      VvrLiqRnfInt_(run.waterBody().numSegRef()) {}

Hydrology::~Hydrology() = default;

void Hydrology::task(Task task) {
  runTask(*this, task,
          {{Task::Initialise, &Hydrology::initialise},
           {Task::Step, &Hydrology::step},
           {Task::TakeStored, &Hydrology::takeStored},
           {Task::Print, &Hydrology::print},
           {Task::Reinitialise, &Hydrology::reinitialise}});
}

// --- Edition --------------------------------------------------------------

bool Hydrology::zrOrBrax() const {
  const std::string& edition = run_.identity().callingProgram();
  return edition == "ZR" || edition == "BRAX";
}
bool Hydrology::brax() const {
  return run_.identity().callingProgram() == "BRAX";
}
bool Hydrology::orlan() const {
  return run_.identity().isOrlan();
}

// --- Task 1 ---------------------------------------------------------------

void Hydrology::initialise() {
  run_.waterBody().getWaterBody();
  selectKind();
  // Constant flow has no sub-steps and no field-model files, so it asks for
  // neither TimStpHyd nor OptLoa.
  if (variable_) {
    timStpHyd();
    run_.lateralEntries().open();
    loa_ = run_.options().optLoa();
  }
  const WaterBody& wb = run_.waterBody();
  section_ = {wb.widWatSys(), wb.sloSidWatSys()};
  readParameters();
  // The greenhouse basin has no drainage of its own: its water comes from
  // the paved area and the upstream model.
  if (brax()) {
    for (int i = 1; i <= wb.numSeg(); ++i) VvrLiqDra_[i] = 0.0;
  }
  printBuffer_.assign(static_cast<std::size_t>(wb.numSeg()) + 1, 0.0);
  computeSedimentWidths();
  initialState();
  volumes_ = {};
  volumes_.initial = waterVolume();
  resetPrint();
  // The start time only names the variables in the output file.
  if (!run_.options().optDelOutFiles()) print();
}

void Hydrology::selectKind() {
  RunOptions& options = run_.options();
  variable_ = options.optFloWat() == FlowOption::Variable;
  kind_ = HydrologyKind::Constant;
  if (!variable_) return;
  switch (options.optWaterSystemType()) {
    case WaterSystemType::Pond:
      kind_ = orlan() ? HydrologyKind::OrlanPond : HydrologyKind::Pond;
      break;
    case WaterSystemType::WaterCourse:
      kind_ = zrOrBrax() ? HydrologyKind::WeirReach : HydrologyKind::WaterCourse;
      break;
    case WaterSystemType::Constant:
      // Variable flow of a constant water system: the flow is that of the
      // constant velocity and depth, and no hydrology file is written.
      kind_ = HydrologyKind::Constant;
      break;
  }
}

void Hydrology::initialState() {
  if (writesFile()) {
    const PassOption optHyd = run_.options().optHyd();
    if (optHyd == PassOption::OnLine || optHyd == PassOption::Only) writeHeader();
  }
  switch (kind_) {
    case HydrologyKind::Constant:
      constantState();
      break;
    case HydrologyKind::WaterCourse:
      waterCourseStep(timStpHyd(), /*initial=*/true);
      depWatRepChaStart_ = DepWatRepCha_.value();
      break;
    case HydrologyKind::WeirReach:
      weirReachInitial();
      break;
    case HydrologyKind::Pond:
      pondInitial();
      break;
    case HydrologyKind::OrlanPond:
      orlanPondInitial();
      break;
  }
  keepPrevious();
}

// --- Task 2 ---------------------------------------------------------------

double Hydrology::stepSeconds() const {
  return run_.clock().delTim() * 86400.0;
}

double Hydrology::timeSinceStart() const {
  const SimClock& clock = run_.clock();
  return clock.tim() - clock.timStart();
}

int Hydrology::numSubStepsHyd() {
  // Truncated, not rounded: (1/24) / (60/86400) is 59.99999999999999 and
  // gives 59 sub-steps of 60 s in an hour.
  const int n = static_cast<int>(run_.clock().delTim() / (timStpHyd() / 86400.0));
  return std::max(n, 1);
}

void Hydrology::step() {
  if (kind_ == HydrologyKind::Constant) {
    constantState();
    const double seconds = stepSeconds();
    accumulatePrint(seconds);
    volumes_.upstreamInflow += seconds * QBou_[0];
    volumes_.outflow += seconds * QBou_[run_.waterBody().numSeg()];
    return;
  }
  LateralEntries& entries = run_.lateralEntries();
  if (loa_ != LoadingSource::DriftOnly) entries.readRecord();
  const int n = numSubStepsHyd();
  const double dt = timStpHyd();
  depWatRepChaStart_ = DepWatRepCha_.value();
  if (kind_ == HydrologyKind::WeirReach) {
    weirReachStep(n, dt);
    return;
  }
  // The drainage of SULKA and the runoff of QUIB move linearly from the
  // previous record to the current one over the sub-steps; the other fluxes
  // hold the current record's value for the whole step.
  const bool sulka = loa_ == LoadingSource::SULKA;
  const bool quib = loa_ == LoadingSource::QUIB;
  const double draStart = sulka ? entries.vvrLiqDraPrevious() : entries.vvrLiqDra();
  const double rnfStart = quib ? entries.vvrLiqRnfPrevious() : entries.vvrLiqRnf();
  const double draIncrement = sulka ? (entries.vvrLiqDra() - entries.vvrLiqDraPrevious()) / n : 0.0;
  const double rnfIncrement = quib ? (entries.vvrLiqRnf() - entries.vvrLiqRnfPrevious()) / n : 0.0;
  for (int k = 0; k < n; ++k) {
    setLateral(draStart + k * draIncrement, rnfStart + k * rnfIncrement);
    keepPrevious();
    switch (kind_) {
      case HydrologyKind::WaterCourse:
        waterCourseStep(dt, /*initial=*/false);
        break;
      case HydrologyKind::Pond:
        pondStep(dt);
        break;
      case HydrologyKind::OrlanPond:
        orlanPondStep(dt);
        break;
      case HydrologyKind::Constant:
      case HydrologyKind::WeirReach:
        break;
    }
    accumulatePrint(dt);
  }
}

void Hydrology::setLateral(double vvrLiqDra, double vvrLiqRnf) {
  const int n = run_.waterBody().numSeg();
  for (int i = 1; i <= n; ++i) {
    VvrLiqDra_[i] = vvrLiqDra;
    VvrLiqRnf_[i] = vvrLiqRnf;
  }
}

void Hydrology::setLateralFluxes(double vvrLiqDra, double vvrLiqRnf) {
  setLateral(vvrLiqDra, vvrLiqRnf);
}

void Hydrology::setPrecipitationEvaporation(double flvLiqPrc, double flvLiqEvp) {
  const int n = run_.waterBody().numSeg();
  for (int i = 1; i <= n; ++i) {
    FlvLiqPrc_[i] = flvLiqPrc;
    FlvLiqEvp_[i] = flvLiqEvp;
  }
}

void Hydrology::setCofDisPhs(std::span<const double> values) {
  const int n = run_.waterBody().numSeg();
  for (int i = 0; i <= n && i < static_cast<int>(values.size()); ++i) CofDisPhs_[i] = values[i];
}

// --- Geometry of the state --------------------------------------------------

void Hydrology::updateGeometry() {
  const WaterBody& wb = run_.waterBody();
  const int n = wb.numSeg();
  for (int i = 1; i <= n; ++i) {
    AreaWat_[i] = section_.area(DepWat_[i]);
    WidWatSur_[i] = section_.surfaceWidth(DepWat_[i]);
    // One value for the water body: that of the last segment stays.
    PerWet_.set(section_.wettedPerimeter(DepWat_[i]));
  }
  // The upstream end carries the cross-section of the first segment.
  AreaWat_[0] = AreaWat_[1];
  WidWatSur_[0] = WidWatSur_[1];
}

void Hydrology::updateVelocity() {
  const int n = run_.waterBody().numSeg();
  for (int i = 0; i <= n; ++i) {
    VelWatFlw_[i] = AreaWat_[i] > 0.0 ? QBou_[i] / AreaWat_[i] : 0.0;
  }
}

void Hydrology::keepPrevious() {
  const int n = run_.waterBody().numSeg();
  for (int i = 0; i <= n; ++i) {
    QBouPrv_[i] = QBou_[i];
    DepWatPrv_[i] = DepWat_[i];
    AreaWatPrv_[i] = AreaWat_[i];
  }
}

double Hydrology::waterVolume() const {
  const WaterBody& wb = run_.waterBody();
  double volume = 0.0;
  for (int i = 1; i <= wb.numSeg(); ++i) volume += AreaWat_[i] * wb.lenSeg(i);
  return volume;
}

void Hydrology::resetWaterVolumes() {
  const double initial = volumes_.initial;
  volumes_ = {};
  volumes_.initial = initial;
}

void Hydrology::prepareSubSteps(int numSubSteps) {
  const int n = run_.waterBody().numSeg();
  const double count = std::max(numSubSteps, 1);
  for (int i = 0; i <= n; ++i) {
    DelQBou_[i] = (QBou_[i] - QBouPrv_[i]) / count;
    DelDepWat_[i] = i == 0 ? 0.0 : (DepWat_[i] - DepWatPrv_[i]) / count;
  }
}

[[noreturn]] void Hydrology::froudeFatal(double froude) {
  run_.messages().fatal(kRoutine, "Froude number is larger than 0.9: flow is supercritical",
                        "At time " + formatLayout("(f9.3)", {timeSinceStart()}) +
                            "  Froude number = " + formatLayout("(f6.3)", {froude}),
                        "   ");
}

// --- Task 3 and 20 --------------------------------------------------------

void Hydrology::takeStored() {
  if (readsFile()) {
    if (recordDue()) {
      readRecord();
    } else {
      keepPrevious();
    }
  } else {
    // Constant flow, or a stationary hydrology: the state of task 1 holds.
    keepPrevious();
  }
  readBack_ = true;
}

// A file of daily records read in the hourly temperature pass: a record
// holds for its whole day, so the next one is taken on the day boundary.
// Whenever the pass steps as the file does, every call takes a record.
bool Hydrology::recordDue() const {
  if (!readerOpen_ || recordsRead_ == 0) return true;
  const SimClock& clock = run_.clock();
  const double spacing = run_.options().optInp() == InputInterval::Daily ? 1.0 : kHour;
  if (clock.delTim() >= spacing) return true;
  const double since = clock.tim() - clock.timStart();
  return cmp::eq(since, std::round(since / spacing) * spacing);
}

void Hydrology::reinitialise() {
  // The file is only opened here: the task 3 that follows takes the initial
  // record, so the file holds just enough records for the pass.
  if (readsFile()) openForReading();
  setLateral(0.0, 0.0);
  resetPrint();
  readBack_ = false;
}

void Hydrology::updateTotals() {
  if (readBack_) accumulatePrint(stepSeconds());
}

// --- Sediment widths and seepage ----------------------------------------

void Hydrology::computeSedimentWidths() {
  const SedimentProfile& sediment = run_.sediment();
  const WaterBody& wb = run_.waterBody();
  const int n = sediment.numLayers();
  const auto size = static_cast<std::size_t>(n) + 1;
  WidSedInterface_.assign(size, 0.0);
  WidSedLayer_.assign(size, 0.0);
  FlwWatSpgSed_.assign(size, 0.0);
  // The widths depend on the fixed geometry only, so computing them once
  // gives the values of every time step.
  auto width = [&](double z) {
    return sedimentWidth(z, wb.widWatSys(), wb.sloSidWatSys(), wb.depWatDefPer());
  };
  WidSedInterface_[0] = width(0.0);
  for (int j = 1; j <= n; ++j) {
    WidSedInterface_[static_cast<std::size_t>(j)] = width(sediment.zBou(j));
    WidSedLayer_[static_cast<std::size_t>(j)] = width(sediment.z(j));
  }
  AreaSedErs_ = 0.0;
  if (variable_ && loa_ == LoadingSource::QUIB) {
    const int k = run_.waterBody().numLayErs();
    for (int j = 1; j <= k && j <= n; ++j) {
      AreaSedErs_ += WidSedLayer_[static_cast<std::size_t>(j)] * sediment.thiLay(j);
    }
  }
}

double Hydrology::widSedInterface(int j) const {
  return WidSedInterface_.at(static_cast<std::size_t>(j));
}
double Hydrology::widSedLayer(int j) const {
  return WidSedLayer_.at(static_cast<std::size_t>(j));
}
double Hydrology::flwWatSpgSed(int j) const {
  return FlwWatSpgSed_.at(static_cast<std::size_t>(j));
}

void Hydrology::computeSeepage() {
  if (orlan()) {
    // The pond's seepage (m3 per m2 of exchanging perimeter) spread over the
    // width of each interface, per m2 of the pond's catchment.
    const double len = run_.waterBody().len();
    const double area = std::max(areaSurPndInp(), 0.001);
    for (std::size_t j = 0; j < FlwWatSpgSed_.size(); ++j) {
      FlwWatSpgSed_[j] = len * WidSedInterface_[j] / area * FlwWatSpg_.value();
    }
    return;
  }
  std::fill(FlwWatSpgSed_.begin(), FlwWatSpgSed_.end(), flwWatSpgInp());
}

// --- Print ----------------------------------------------------------------

void Hydrology::accumulatePrint(double seconds) {
  const int n = run_.waterBody().numSeg();
  const bool dispersion = CofDisPhs_.initialised();
  for (int i = 0; i <= n; ++i) {
    QBouInt_[i] += QBou_[i] * seconds;
    VvrLiqDraInt_[i] += VvrLiqDra_[i] * seconds;
    VvrLiqRnfInt_[i] += VvrLiqRnf_[i] * seconds;
    if (dispersion) CofDisPhsInt_[i] += CofDisPhs_[i] * seconds;
  }
  timInt_ += seconds;
}

void Hydrology::resetPrint() {
  const int n = run_.waterBody().numSeg();
  for (int i = 0; i <= n; ++i) {
    QBouInt_[i] = 0.0;
    VvrLiqDraInt_[i] = 0.0;
    VvrLiqRnfInt_[i] = 0.0;
    CofDisPhsInt_[i] = 0.0;
  }
  timInt_ = 0.0;
}

void Hydrology::print() {
  const double t = run_.clock().tim();
  OutputFile& out = run_.outputFile();
  const int n = run_.waterBody().numSeg();
  // Interval means from the time integrals; the current values when no time
  // has passed (the start time).
  auto fill = [&](const SegmentVariable& integral, const SegmentVariable& current, double factor) {
    for (int i = 0; i <= n; ++i) {
      const double value = timInt_ > 0.0 ? integral[i] / timInt_ : current[i];
      printBuffer_[static_cast<std::size_t>(i)] = value * factor;
    }
    return std::span<const double>(printBuffer_);
  };
  if (wants(printQBou_)) {
    out.printSegments(t, "QBou", fill(QBouInt_, QBou_, 1.0), printQBou_, "(m3.s-1)", "(m3.s-1)");
  }
  if (wants(printDepWat_)) {
    out.printSegments(t, "DepWat", DepWat_.values(), printDepWat_, "(m)", "(m)");
  }
  if (wants(printVelWatFlw_)) {
    for (int i = 0; i <= n; ++i)
      printBuffer_[static_cast<std::size_t>(i)] = VelWatFlw_[i] * 86400.0;
    out.printSegments(t, "VelWatFlw", printBuffer_, printVelWatFlw_, "(m.d-1)", "(m.d-1)");
  }
  // The lateral fluxes are printed per hour.
  if (wants(printVvrLiqDra_)) {
    out.printSegments(t, "VvrLiqDra", fill(VvrLiqDraInt_, VvrLiqDra_, 3600.0), printVvrLiqDra_,
                      "(m.hr-1)", "(m.hr-1)");
  }
  if (wants(printVvrLiqRnf_)) {
    out.printSegments(t, "VvrLiqRnf", fill(VvrLiqRnfInt_, VvrLiqRnf_, 3600.0), printVvrLiqRnf_,
                      "(m.hr-1)", "(m.hr-1)");
  }
  if (wants(printVolErrWatLay_)) {
    out.printScalar(t, "VolErrWatLay", VolErrWatLay_.value(), printVolErrWatLay_, "(m3)", "(m3)");
  }
  if (kind_ == HydrologyKind::WaterCourse && wants(printDepWatRepCha_)) {
    out.printScalar(t, "DepWatRepCha", DepWatRepCha_.value(), printDepWatRepCha_, "(m)", "(m)");
  }
  if (kind_ == HydrologyKind::OrlanPond && wants(printFlwWatSpg_)) {
    out.printScalar(t, "FlwWatSpg", FlwWatSpg_.value() * 86400.0, printFlwWatSpg_, "(m/d)",
                    "(m/d)");
  }
  if (CofDisPhs_.initialised() && wants(printCofDisPhs_)) {
    out.printSegments(t, "CofDisPhs", fill(CofDisPhsInt_, CofDisPhs_, 1.0), printCofDisPhs_,
                      "(m2.s-1)", "(m2.s-1)");
  }
  resetPrint();
}

}  // namespace korvan
