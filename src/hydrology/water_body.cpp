#include "hydrology/water_body.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/text.hpp"
#include "hydrology/sediment_profile.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "GetWaterBody";
constexpr std::string_view kTable = "WaterBody";
constexpr std::string_view kOutputDistances = "OutputDistances";

constexpr std::array<std::string_view, 6> kColumns = {
    "Len", "NumSeg", "WidWatSys", "SloSidWatSys", "DepWatDefPer", "DepWatSysBot"};
constexpr std::array<std::string_view, 6> kUnits = {"(m)", "(-)", "(m)", "(-)", "(m)", "(m)"};

// The header messages of the five- and six-column layouts, as the model
// defines them.
struct HeaderMessages {
  std::string_view columnCount, columnNames, unitCount, unitNames, values;
};
constexpr HeaderMessages kFiveColumnMessages = {
    "Number of columns in table WaterBody must be 5",
    "2nd line in table WaterBody must be: Len NumSeg WidWatSys SloSidWatSys DepWatDefPer",
    "Number of dimension identifiers in WaterBody must be 5",
    "3rd line in table WaterBody must be:    (m)  (-)  (m)   (-)  (m)",
    "It must hold 5 numbers: Len NumSeg WidWatSys SloSidWatSys DepWatDefPer"};
constexpr HeaderMessages kSixColumnMessages = {
    "Number of columns in table WaterBody must be 6",
    "2nd line in table WaterBody must be: Len NumSeg WidWatSys    SloSidWatSys DepWatDefPer "
    "DepWatSysBot",
    "Number of dimension identifiers in WaterBody must be 6",
    "3rd line in table WaterBody must be:    (m)  (-)  (m)   (-)   (m)   (m)",
    "It must hold 6 numbers: Len NumSeg WidWatSys SloSidWatSys DepWatDefPer DepWatSysBot"};

constexpr std::string_view kSegmentHeader =
    "('Node',7x,'XBou',10x,'X',7x,'DelX',5x,'LenSeg',2x,'SegOutput')";
constexpr std::string_view kSegmentUnits = "(4x,8x,'(m)',8x,'(m)',8x,'(m)',8x,'(m)')";
constexpr std::string_view kSegmentRow = "(i4,4(2x,f9.4),4x,a)";
constexpr std::string_view kLastSegmentRow = "(i4,2(2x,f9.4),13x,f9.4,4x,a)";
constexpr std::string_view kYes = "   Yes";
constexpr std::string_view kNo = "    No";

std::string lineNumberText(int row) {
  return "Last line read is line-number " + formatLayout("(i2)", {std::int64_t{row}});
}

// The next line of the input file, cut to its significant 250 characters;
// empty at the end of the file.
std::string nextInputLine(Run& run) {
  std::string line;
  if (!run.units().file(Unit::Input).readLine(line)) return {};
  if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
  return line;
}

}  // namespace

// --- GetWaterBody -------------------------------------------------------

WaterBody::TableLayout WaterBody::tableLayout() const {
  const RunIdentity& id = run_.identity();
  const std::string& edition = id.callingProgram();
  if (edition == "ZR" || edition == "BRAX") return TableLayout::SixColumns;
  if (id.isOrlan()) return TableLayout::FiveColumnsUnchecked;
  // MERIX, and a run of no known edition: a run of no edition would otherwise
  // have no water body at all, so it reads and checks the MERIX layout.
  return TableLayout::FiveColumns;
}

bool WaterBody::readsOutputDistances() const {
  const RunIdentity& id = run_.identity();
  const std::string& edition = id.callingProgram();
  return id.isMerix() || edition == "ZR" || edition == "BRAX";
}

void WaterBody::getWaterBody() {
  const TableLayout layout = tableLayout();
  readTable(layout);
  WaterbodyID_ = run_.records().readText("WaterbodyID");
  writeSegmentHeader();
  outputSegments_.clear();
  numOutDis_ = 0;
  // Orlan and runs of no edition list no segment rows and select no output.
  if (!readsOutputDistances()) return;
  readOutputDistances();
  writeSegmentRows();
}

void WaterBody::readTable(TableLayout layout) {
  Records& records = run_.records();
  if (layout != TableLayout::FiveColumnsUnchecked) {
    records.getRecord(kTable, 2);
    checkHeader(layout);
  }
  // Look the table up again, skip its column and units lines, read the values.
  records.getRecord(kTable, 2);
  nextInputLine(run_);
  nextInputLine(run_);
  FreeFormatReader reader(nextInputLine(run_));
  const bool six = layout == TableLayout::SixColumns;
  const HeaderMessages& messages = six ? kSixColumnMessages : kFiveColumnMessages;
  std::array<double, 6> value{};
  for (int k = 0; k < (six ? 6 : 5); ++k) {
    const auto v = reader.nextReal();
    if (!v) {
      run_.messages().fatal(kRoutine, "Fatal while reading the values line of table WaterBody",
                            messages.values);
    }
    value[k] = *v;
  }
  Len_ = value[0];
  WidWatSys_ = value[2];
  SloSidWatSys_ = value[3];
  DepWatDefPer_ = value[4];
  DepWatSysBot_ = six ? value[5] : 0.0;
  buildGeometry(value[1]);
}

void WaterBody::checkHeader(TableLayout layout) {
  const bool six = layout == TableLayout::SixColumns;
  const int n = six ? 6 : 5;
  const HeaderMessages& messages = six ? kSixColumnMessages : kFiveColumnMessages;
  Records& records = run_.records();
  // The column line first, then the units line, each word in its position.
  for (const bool unitsLine : {false, true}) {
    const auto& expected = unitsLine ? kUnits : kColumns;
    records.splitWords(nextInputLine(run_));
    if (records.words().count() != n) {
      run_.messages().fatal(kRoutine, unitsLine ? messages.unitCount : messages.columnCount);
    }
    for (int k = 1; k <= n; ++k) {
      if (records.words().word(k) != expected[static_cast<std::size_t>(k - 1)]) {
        run_.messages().fatal(kRoutine, unitsLine ? messages.unitNames : messages.columnNames);
      }
    }
  }
}

void WaterBody::buildGeometry(double numSegIn) {
  // NumSeg is truncated to a whole number of segments; outside the range of
  // a segment count there is no water body to build.
  if (!(numSegIn >= 1.0 && numSegIn < 2147483648.0)) {
    run_.messages().fatal(kRoutine,
                          "NumSeg in table WaterBody must be a number from 1 to 2147483647");
  }
  const int n = static_cast<int>(numSegIn);
  numSeg_ = n;
  const auto size = static_cast<std::size_t>(n) + 1;
  LenSeg_.assign(size, 0.0);
  XBou_.assign(size, 0.0);
  X_.assign(size, 0.0);
  DelX_.assign(size, 0.0);
  SegOutput_.assign(size, 0);
  // Equal segments; the boundaries are running sums, so XBou(N) equals Len
  // only within rounding.
  for (int i = 1; i <= n; ++i) {
    LenSeg_[i] = Len_ / n;
    XBou_[i] = XBou_[i - 1] + LenSeg_[i];
    X_[i] = 0.5 * (XBou_[i - 1] + XBou_[i]);
  }
  for (int i = 1; i < n; ++i) DelX_[i] = X_[i + 1] - X_[i];
}

void WaterBody::writeSegmentHeader() {
  TextFile& log = run_.log();
  log.writeLine(kDashes);
  log.writeLine(formatLayout("('Waterbody: ',a)", {trim(WaterbodyID_)}));
  log.writeLine(formatLayout(kSegmentHeader, {}));
  log.writeLine(formatLayout(kSegmentUnits, {}));
}

void WaterBody::readOutputDistances() {
  const int option = run_.records().rdOption("OptOutputDistances", "None All table");
  if (option == 2) std::fill(SegOutput_.begin() + 1, SegOutput_.end(), 1);
  if (option == 3) markDistances();
}

std::string WaterBody::lengthText() const {
  return std::string(trimLeft(formatLayout("(f12.4)", {Len_})));
}

void WaterBody::markDistances() {
  Records& records = run_.records();
  const RecordQuery table{.unitText = "(m)"};
  records.getRecord(kOutputDistances, 2, table);
  numOutDis_ = records.countRecord(kOutputDistances);
  records.getRecord(kOutputDistances, 2, table);
  for (int row = 1; row <= numOutDis_; ++row) {
    const auto d = FreeFormatReader(nextInputLine(run_)).nextReal();
    if (!d) run_.messages().fatal("GetOutRows", lineNumberText(row));
    if (cmp::gt(*d, Len_)) {
      run_.messages().fatal(
          "GetOutDis",
          "Distance in table OutputDistances must be less or equal to: " + lengthText(),
          lineNumberText(row));
    }
    // A distance on a boundary (within the tolerance) marks the segment
    // upstream of it; a distance of 0 lies in no segment.
    for (int i = 1; i <= numSeg_; ++i) {
      if (cmp::lt(XBou_[i - 1], *d) && cmp::le(*d, XBou_[i])) {
        SegOutput_[i] = 1;
        break;
      }
    }
  }
}

void WaterBody::writeSegmentRows() {
  const Layout row(kSegmentRow);
  const Layout lastRow(kLastSegmentRow);
  TextFile& log = run_.log();
  for (int i = 1; i <= numSeg_; ++i) {
    const std::string_view flag = SegOutput_[i] ? kYes : kNo;
    if (SegOutput_[i]) outputSegments_.push_back(i);
    if (i < numSeg_) {
      log.writeLine(row.write({std::int64_t{i}, XBou_[i], X_[i], DelX_[i], LenSeg_[i], flag}));
    } else {
      log.writeLine(lastRow.write({std::int64_t{i}, XBou_[i], X_[i], LenSeg_[i], flag}));
    }
  }
}

// --- Geometry queries -----------------------------------------------------

double WaterBody::lenSeg(int i) const {
  assert(i >= 1 && i <= numSeg_);
  return LenSeg_[i];
}

double WaterBody::xBou(int i) const {
  assert(i >= 0 && i <= numSeg_);
  return i == 0 ? 0.0 : XBou_[i];
}

double WaterBody::x(int i) const {
  assert(i >= 1 && i <= numSeg_);
  return X_[i];
}

double WaterBody::delX(int i) const {
  assert(i >= 1 && i < numSeg_);
  return DelX_[i];
}

bool WaterBody::segOutput(int i) const {
  assert(i >= 1 && i <= numSeg_);
  return SegOutput_[i] != 0;
}

int WaterBody::segmentOfDistance(double d) const {
  if (cmp::le(d, 0.0)) return 1;
  // XBou(i) is the running sum of the segment lengths; a position on a
  // boundary falls short of it by less than the margin and moves downstream.
  for (int i = 1; i <= numSeg_; ++i) {
    if (XBou_[i] >= d + cmp::kTolerance) return i;
  }
  return numSeg_;
}

// --- Target zone ----------------------------------------------------------

// The first node at or downstream of the distance: the zone always starts
// and ends on a segment boundary.
int WaterBody::targetNode(std::string_view keyword, double distance) {
  for (int i = 1; i <= numSeg_; ++i) {
    if (XBou_[i] + cmp::kTolerance >= distance) return i;
  }
  // No boundary lies that far downstream: a zone outside the water body is
  // an input error rather than something to move silently.
  run_.messages().fatal(
      keyword, std::string(keyword) +
                   " must be less or equal to the length of the water body: " + lengthText());
}

void WaterBody::logTargetNode(double position, int node) {
  run_.log().writeLine(
      formatLayout("(' ZTgt = ',f7.3,' Layer number = ',i2)", {position, std::int64_t{node}}));
}

int WaterBody::firstTargetSegment() {
  if (!firstTgtSeg_) {
    const double sta = run_.numbers().rdFloat("StaDstTgtCon", {.unit = "(m)", .min = 0.0});
    const int node = targetNode("StaDstTgtCon", sta);
    // A start within the first segment starts the zone at the upstream end.
    const double position = node == 1 ? 0.0 : XBou_[node];
    logTargetNode(position, node);
    firstTgtSeg_ = segmentOfDistance(position);
  }
  return *firstTgtSeg_;
}

int WaterBody::lastTargetSegment() {
  if (!lastTgtSeg_) {
    const double end = run_.numbers().rdFloat("EndDstTgtCon", {.unit = "(m)", .min = 0.0});
    const int node = targetNode("EndDstTgtCon", end);
    const double position = XBou_[node];
    logTargetNode(position, node);
    // The segment upstream of the snapped boundary, which is the segment of
    // the node's number. Taking the segment of the position minus one would
    // give N - 1 for an end at the downstream end (a position there counts as
    // segment N) and leave the last segment of the stretch out.
    lastTgtSeg_ = node;
  }
  return *lastTgtSeg_;
}

// --- Water-layer parameters -----------------------------------------------

double WaterBody::lazy(std::optional<double>& cache, std::string_view keyword,
                       const FloatInput& input) {
  if (!cache) cache = run_.numbers().rdFloat(keyword, input);
  return *cache;
}

double WaterBody::timStpWat() {
  return lazy(TimStpWat_, "TimStpWat", {.unit = "(s)", .min = 0.001, .max = 3600.0});
}
double WaterBody::timStpSed() {
  return lazy(TimStpSed_, "TimStpSed", {.unit = "(s)", .min = 0.001, .max = 3600.0});
}
double WaterBody::conSus() {
  return lazy(ConSus_, "ConSus", {.unit = "(g.m-3)", .min = 0.0, .max = 100000.0});
}
double WaterBody::cntOmSusSol() {
  return lazy(CntOmSusSol_, "CntOmSusSol", {.unit = "(kg.kg-1)", .min = 0.0, .max = 1.0});
}
double WaterBody::amaMphWatLay() {
  return lazy(AmaMphWatLay_, "AmaMphWatLay", {.unit = "(g.m-2)", .min = 0.0, .max = 1000.0});
}
double WaterBody::ratAreaUpsApp() {
  return lazy(RatAreaUpsApp_, "RatAreaUpsApp", {.unit = "(-)", .min = 0.0, .max = 1.0});
}
double WaterBody::fraMetForDrfUps() {
  return lazy(FraMetForDrfUps_, "FraMetForDrfUps", {.unit = "(-)", .min = 0.0, .max = 1.0});
}
double WaterBody::fraMetForDraRnfUps() {
  return lazy(FraMetForDraRnfUps_, "FraMetForDraRnfUps", {.unit = "(-)", .min = 0.0, .max = 1.0});
}

// The layer number j whose lower interface lies at the thickness below the
// sediment surface; 0 when none does.
int WaterBody::interfaceOf(double thickness, bool exact) const {
  SedimentProfile& sediment = run_.sediment();
  for (int j = 1; j <= sediment.numLayers(); ++j) {
    const double depth = -sediment.zBou(j);
    if (exact ? depth == thickness : cmp::eq(depth, thickness)) return j;
  }
  return 0;
}

// Reads a layer thickness; the positive check comes before the bounds so
// that a zero thickness gets its own message.
double WaterBody::readThickness(std::string_view keyword, std::string_view mustBePositive) {
  Numbers& numbers = run_.numbers();
  const double value = numbers.rdFloat(keyword, {.unit = "(m)"});
  if (value <= 0.0) run_.messages().fatal(keyword, mustBePositive);
  numbers.checkForMinimum(keyword, value, 1e-5);
  numbers.checkForMaximum(keyword, value, 1.0);
  return value;
}

double WaterBody::thiLayErs() {
  if (!ThiLayErs_) {
    const double value = readThickness(
        "ThiLayErs", "Thickness of sediment layers to which erosion mass is added must be > 0");
    // Eroded mass goes into whole layers, so the thickness must end exactly
    // on a layer interface.
    const int j = interfaceOf(value, /*exact=*/true);
    if (j == 0) {
      run_.messages().fatal(
          "ThiLayErs", "Thickness of sediment layers to which erosion mass is added must",
          "be exactly equal to the total thickness of a number of sediment layers");
    }
    ThiLayErs_ = value;
    numLayErs_ = j;
  }
  return *ThiLayErs_;
}

int WaterBody::numLayErs() {
  thiLayErs();
  return numLayErs_;
}

double WaterBody::thiLayTgt() {
  if (!ThiLayTgt_) {
    const double value =
        readThickness("ThiLayTgt", "Thickness of sediment target layer must be > 0");
    const int j = interfaceOf(value, /*exact=*/false);
    if (j == 0) {
      SedimentProfile& sediment = run_.sediment();
      const double total = sediment.numLayers() > 0 ? -sediment.zBou(sediment.numLayers()) : 0.0;
      if (cmp::gt(value, total)) {
        run_.messages().fatal("ThiLayTgt", "Thickness of target layer in sediment ",
                              "cannot be greater than the total thickness of the sediment");
      }
      // Within the sediment but between two interfaces: the target layer
      // must consist of whole layers.
      run_.messages().fatal("ThiLayTgt", "Thickness of target layer in sediment ",
                            "must be equal to the total thickness of a number of sediment layers");
    }
    ThiLayTgt_ = value;
    numLayTgt_ = j;
  }
  return *ThiLayTgt_;
}

int WaterBody::numLayTgt() {
  thiLayTgt();
  return numLayTgt_;
}

}  // namespace korvan
