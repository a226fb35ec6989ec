#include "report/concentration_tables.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <new>
#include <string_view>

#include "core/compare.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"
#include "hydrology/water_body.hpp"
#include "input/calendar.hpp"
#include "input/records.hpp"
#include "input/sim_clock.hpp"
#include "substance/compounds.hpp"

namespace korvan {

namespace {

// --- Texts of the work files ---------------------------------------------

constexpr std::string_view kDashLayout = "(\"* \",a80)";

constexpr std::string_view kWaterTitle = "* Tables: Maximum exposure concentrations in water layer";
constexpr std::string_view kWaterSegment =
    "('* In segment from ',f8.2,' to ',f8.2,' m in water body')";
constexpr std::string_view kWaterLegend[] = {
    "* Actual concentrations PECsw as well as PECsed refer to momentary concentrations",
    "* occurring 1, 2 etc days after the global maximum concentration.",
    "* The Time Weighted Average Exposure Concentrations (TWAEC) have been calculated",
    "* for a moving time frame and have been allocated to the last day of the period considered",
};
constexpr std::string_view kSedimentTitle = "Tables: Maximum exposure content in sediment";
constexpr std::string_view kSedimentDepth = "('* In the top ',f8.2,' cm sediment located under ')";
constexpr std::string_view kSedimentSegment =
    "('* the water body segment from ',f8.2,' to ',f8.2,'m, ')";
// The micro sign in UTF-8, the encoding of every text the model writes here.
constexpr std::string_view kSedimentUnit =
    "* the content is expressed as \xC2\xB5g substance per kg dry sediment.";

constexpr std::string_view kWaterPecTitle = "* Table: PEC in water layer of substance: ";
constexpr std::string_view kSedimentPecTitle = "* Table: PEC in sediment of substance: ";
constexpr std::string_view kTwaTitle =
    "* Table: Maximum Time Weighted Averaged Exposure Concentrations substance: ";
constexpr std::string_view kWaterColumns =
    "*                       Concentration        Date                 Daynr";
constexpr std::string_view kSedimentColumns =
    "*                         Content             Date                Daynr";
// The unit starts under the first letter of the value column's name.
constexpr std::string_view kWaterUnits = "*                       \xC2\xB5g.L-1";
constexpr std::string_view kSedimentUnits = "*                         \xC2\xB5g.kg-1";

constexpr std::string_view kWaterMaxRow = R"x(("Global max          ",3x, a12,4x,a17, 7x, i6))x";
constexpr std::string_view kSedimentMaxRow = R"x(("Global max           ",3x,a12,4x,a17,7x,i6))x";
constexpr std::string_view kSuspendedSolidsRow =
    R"x(("(incl. suspend.solids",2x, a12,4x,a17, 7x, i6,a1))x";
constexpr std::string_view kWaterLegendText =
    "* Legend: - in table means PECsw is later than end of simulated period:";
constexpr std::string_view kSedimentLegendText =
    "* Legend: - in table means PECsed is later than end of simulated period:";

// The value row and the dash row of one lag or window, blanks as written.
struct RowLayout {
  std::string_view value;
  std::string_view dash;
};
using RowLayouts = std::array<RowLayout, kPecDays.size()>;

constexpr RowLayouts kPecSw = {{
    {R"x(("PECsw_1_day   ",9x, a12 ,4x,a17, 7x, i6))x",
     R"x(("PECsw_1_day                     -                  - "))x"},
    {R"x(("PECsw 2 days  ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw                           -                  - "))x"},
    {R"x(("PECsw_4_days  ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_4_days                    -                  - "))x"},
    {R"x(("PECsw_7_days  ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_7_days                     -                  - "))x"},
    {R"x(("PECsw_14_days ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_14_days                     -                  - "))x"},
    {R"x(("PECsw_21_days ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_21_days                     -                  - "))x"},
    {R"x(("PECsw_28_days ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_28_days                     -                  - "))x"},
    {R"x(("PECsw_42_days ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_42_days                     -                  - "))x"},
    {R"x(("PECsw_50_days ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_50_days                     -                  - "))x"},
    {R"x(("PECsw_100_days",9x, a12,4x,a17, 7x, i6))x",
     R"x(("PECsw_100_days                     -                  - "))x"},
}};

constexpr RowLayouts kTwaSw = {{
    {R"x(("TWAECsw_1_day ",9x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_1_day               -                -                     - "))x"},
    {R"x(("TWAECsw_2_days",9x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_2_days               -                -                     - "))x"},
    {R"x(("TWAECsw_4_days",9x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_4_days               -                -                     - "))x"},
    {R"x(("TWAECsw_7_days",9x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_7_days               -                -                     - "))x"},
    {R"x(("TWAECsw_14_days",8x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_14_days              -                -                     - "))x"},
    {R"x(("TWAECsw_21_days",8x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_21_days              -                -                     - "))x"},
    {R"x(("TWAECsw_28_days",8x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_28_days              -                -                     - "))x"},
    {R"x(("TWAECsw_42_days",8x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_42_days              -                -                     - "))x"},
    {R"x(("TWAECsw_50_days",8x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_50_days              -                -                     - "))x"},
    {R"x(("TWAECsw_100_days",7x, a12,4x,a17, 7x, i6))x",
     R"x(("TWAECsw_100_days             -                -                     - "))x"},
}};

constexpr RowLayouts kPecSed = {{
    {R"x(("PECsed_1_day   ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_1_day             -                    -                   - "))x"},
    {R"x(("PECsed_2_days  ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_2_days             -                  -                   - "))x"},
    {R"x(("PECsed_4_days  ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_4_days             -                  -                     - "))x"},
    {R"x(("PECsed_7_days  ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_7_days             -                  -                     - "))x"},
    {R"x(("PECsed_14_days ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_14_days             -                  -                     - "))x"},
    {R"x(("PECsed_21_days ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_21_days             -                  -                     - "))x"},
    {R"x(("PECsed_28_days ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_28_days             -                  -                     - "))x"},
    {R"x(("PECsed_42_days ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_42_days             -                  -                     - "))x"},
    {R"x(("PECsed_50_days ",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_50_days             -                  -                     - "))x"},
    {R"x(("PECsed_100_days",9x,a12,4x,a17,7x,i6))x",
     R"x(("PECsed_100_days             -                  -                     - "))x"},
}};

constexpr RowLayouts kTwaSed = {{
    {R"x(("TWAECsed_1_day ",9x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_1_days              -                  -                    - "))x"},
    {R"x(("TWAECsed_2_days",9x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_2_days              -                  -                    - "))x"},
    {R"x(("TWAECsed_4_days",9x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_4_days              -                  -                    - "))x"},
    {R"x(("TWAECsed_7_days",9x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_7_days              -                  -                    - "))x"},
    {R"x(("TWAECsed_14_days",8x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_14_days             -                  -                    - "))x"},
    {R"x(("TWAECsed_21_days",8x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_21_days             -                  -                    - "))x"},
    {R"x(("TWAECsed_28_days",8x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_28_days             -                  -                    - "))x"},
    {R"x(("TWAECsed_42_days",8x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_42_days             -                  -                    - "))x"},
    {R"x(("TWAECsed_50_days",8x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_50_days             -                  -                    - "))x"},
    {R"x(("TWAECsed_100_days",7x,a12,4x,a17,7x,i6))x",
     R"x(("TWAECsed_100_days            -                  -                    - "))x"},
}};

// The rows of a table without a maximum: the concentration never rose above 0.
constexpr std::string_view kWaterMaxDash = "Global max                      -                  - ";
constexpr std::string_view kSuspendedSolidsDash =
    "(incl. suspend.solids           -                  - )";
constexpr std::string_view kSedimentMaxDash =
    "Global max               -                    -                   - ";

constexpr std::string_view kExposureLine = "(f9.3,1x,a17,1x,11(1x,g12.4))";
constexpr std::size_t kMaxExposureWindows = 10;

// Both tables multiply by 1000: g.m-3 gives ug.L-1 in the water table; the
// sediment table writes the target-layer content in g.kg-1 times 1000 under
// its ug.kg-1 unit line, as the model's sediment tables always have, so that
// its figures compare with earlier results of the model.
constexpr double kReportFactor = 1.0e3;

// Stem, number and ".tmp"; with an underscore, it goes before a one-digit
// number and after a two-digit one, so that the names keep their length.
std::string compoundFileName(std::string_view stem, int k, bool underscore) {
  const std::string number = std::to_string(k);
  const std::string mark = underscore ? "_" : "";
  if (k < 10) return std::string(stem) + mark + number + ".tmp";
  return std::string(stem) + number + mark + ".tmp";
}

// A value row: label, the value as number text, date text, day number.
std::string valueRow(std::string_view layout, double value, std::string_view date, int day) {
  const std::string number = padTo(reportNumberText(value), 12);
  const std::string dateText = padTo(date, 17);
  return formatLayout(layout, {number, dateText, std::int64_t{day}});
}

std::string dashLine() {
  return formatLayout(kDashLayout, {kDashes});
}

}  // namespace

// --- Free functions --------------------------------------------------------

int stepsPerDay(double delTim) {
  if (!(delTim > 0.0)) return kStepsPerDay;
  return std::max(1, static_cast<int>(std::lround(1.0 / delTim)));
}

std::string reportNumberText(double value) {
  return std::string(trimLeft(numberToTextLong(value)));
}

std::string pecWaterFileName(int k) {
  return compoundFileName("PECsw", k, true);
}
std::string pecSedimentFileName(int k) {
  return compoundFileName("PECSed", k, true);
}
std::string exposureFileName(int k) {
  return compoundFileName("expcon", k, false);
}

// --- ConcentrationTables -------------------------------------------------------

ConcentrationTables::ConcentrationTables(Run& run, TableMedium medium)
    : run_(run), medium_(medium) {}

const ConcentrationTables::CompoundTable& ConcentrationTables::at(int k) const {
  assert(k >= 1 && k <= numCompounds() && "compound outside 1..n or tables not initialised");
  return compounds_[static_cast<std::size_t>(k - 1)];
}

ConcentrationTables::CompoundTable& ConcentrationTables::table(int k) {
  initialise();
  assert(k >= 1 && k <= numCompounds() && "compound outside 1..n");
  return compounds_[static_cast<std::size_t>(k - 1)];
}

TextFile& ConcentrationTables::workFile(int k) {
  return run_.units().file(table(k).unit);
}

double ConcentrationTables::stepMean(int k, std::size_t position) const {
  assert(position >= 1 && position <= kStepSeriesLength && "step position outside 1..2400");
  const CompoundTable& c = at(k);
  return c.stepMeans[(c.newest + position - 1) % kStepSeriesLength];
}

void ConcentrationTables::initialise() {
  if (initialised_) return;
  initialised_ = true;
  stepsPerDay_ = stepsPerDay(run_.clock().delTim());
  Compounds& cp = run_.compounds();
  const int n = cp.numCompounds();
  names_ = cp.names();
  compounds_.resize(static_cast<std::size_t>(n));
  for (int k = 1; k <= n; ++k) {
    CompoundTable& c = compounds_[static_cast<std::size_t>(k - 1)];
    c.fileName = medium_ == TableMedium::WaterLayer ? pecWaterFileName(k) : pecSedimentFileName(k);
    c.stepMeans.assign(kStepSeriesLength, 0.0);
    // The unit counts as taken only once its file is open, so each compound
    // asks for its own before the next one does.
    c.unit = run_.freeFil();
    TextFile& file = run_.units().create(c.unit, c.fileName);
    if (k == 1) writeFirstHeader(file);
    writeTableHeader(file, names_[static_cast<std::size_t>(k - 1)],
                     medium_ == TableMedium::WaterLayer ? kWaterPecTitle : kSedimentPecTitle);
  }
}

void ConcentrationTables::writeFirstHeader(TextFile& file) {
  WaterBody& wb = run_.waterBody();
  const int last = wb.numSeg();
  const double x1 = wb.xBou(last - 1);
  const double x2 = wb.xBou(last);
  if (medium_ == TableMedium::WaterLayer) {
    file.writeLine(kWaterTitle);
    file.writeLine(dashLine());
    file.writeLine(formatLayout(kWaterSegment, {x1, x2}));
    for (std::string_view line : kWaterLegend) file.writeLine(line);
    return;
  }
  file.writeLine(formatLayout("(\"* \",a)", {kSedimentTitle}));
  file.writeLine(dashLine());
  file.writeLine(formatLayout(kSedimentDepth, {wb.thiLayTgt() * 100.0}));
  file.writeLine(formatLayout(kSedimentSegment, {x1, x2}));
  file.writeLine(kSedimentUnit);
}

void ConcentrationTables::writeTableHeader(TextFile& file, std::string_view name,
                                           std::string_view title) {
  const bool water = medium_ == TableMedium::WaterLayer;
  file.writeLine(formatLayout("(a,a6)", {title, padTo(name, 6)}));
  file.writeLine(dashLine());
  file.writeLine(water ? kWaterColumns : kSedimentColumns);
  file.writeLine(water ? kWaterUnits : kSedimentUnits);
  file.writeLine(dashLine());
}

// --- Tracking ----------------------------------------------------------------

void ConcentrationTables::subStep(int k, double value) {
  CompoundTable& c = table(k);
  c.stepSum += value;
  ++c.stepCount;
}

void ConcentrationTables::endOfStepTracking(int k) {
  CompoundTable& c = table(k);
  // An outer step without sub-steps contributes a mean of 0.
  const double mean = c.stepCount > 0 ? c.stepSum / c.stepCount : 0.0;
  c.stepSum = 0.0;
  // The newest mean takes the place of the oldest one.
  c.newest = (c.newest + kStepSeriesLength - 1) % kStepSeriesLength;
  const double oldest = c.stepMeans[c.newest];
  c.stepMeans[c.newest] = mean;

  // Position p (1 = newest) of the step means.
  const auto meanAt = [&c](std::size_t p) {
    return c.stepMeans[(c.newest + p - 1) % kStepSeriesLength];
  };
  const double t = run_.clock().tim();
  // The sum of a window is that of the step means from the newest back, in
  // that order, the longer windows going on from the shorter ones. It is
  // formed only for a window whose average may exceed its maximum.
  double sum = 0.0;
  std::size_t counted = 0;
  for (std::size_t w = 0; w < kPecDays.size(); ++w) {
    const auto steps = static_cast<std::size_t>(stepsPerDay_ * kPecDays[w]);
    WindowMaximum& window = c.twa[w];
    const double leaving = steps < kStepSeriesLength ? meanAt(steps + 1) : oldest;
    const double before = window.runningSum;
    window.runningSum = (before + mean) - leaving;
    // Two roundings of sums of non-negative means.
    window.runningError += 2.3e-16 * (std::fabs(before) + std::fabs(mean) + std::fabs(leaving));
    // A window is averaged only once its oldest step carries substance:
    // before that it would mix in the hours before the first exposure.
    if (!(meanAt(steps) > 0.0)) continue;
    const double bound = (window.runningSum + window.runningError) * (1.0 + 1e-9);
    if (bound < window.maximum * static_cast<double>(steps)) continue;
    for (; counted < steps; ++counted) sum += meanAt(counted + 1);
    window.runningSum = sum;
    window.runningError = 2.3e-16 * static_cast<double>(steps) * sum;
    const double average = sum / static_cast<double>(steps);
    if (average > window.maximum) {
      window.maximum = average;
      window.time = t;
      window.dayNumber = dayNumber(t);
    }
  }
  c.stepCount = 0;
}

// --- Table ---------------------------------------------------------------------

void ConcentrationTables::endOfStepTable(int k, double value) {
  CompoundTable& c = table(k);
  const double t = run_.clock().tim();
  // Strictly greater: of equal maxima the first one stays.
  if (value > c.maximum) {
    c.maximum = value;
    c.maximumTime = t;
    c.maximumDateText = calendar::dateText(t);
    c.pecAfterLag.fill(0.0);
  }
  for (std::size_t lag = 0; lag < kPecDays.size(); ++lag) {
    if (SimClock::timeReached(t, c.maximumTime + kPecDays[lag])) c.pecAfterLag[lag] = value;
  }
}

double ConcentrationTables::totalWithSuspendedSolids(int k, double cmax) {
  WaterBody& wb = run_.waterBody();
  Compounds& cp = run_.compounds();
  // Freundlich sorption to the suspended solids at the maximum: the sorbed
  // part per volume of water is ConSus x CntOm x Kom x C (C/Cref)^(n-1).
  const double freundlich =
      std::pow(std::max(cmax, 1e-15) / cp.conLiqRefSusSol(k), cp.expFreSusSol(k) - 1.0);
  return cmax * (1.0 + wb.conSus() * wb.cntOmSusSol() * cp.komSusSol(k) * freundlich);
}

double ConcentrationTables::toTableUnit() const {
  return kReportFactor;
}

void ConcentrationTables::writePecRows(CompoundTable& c, int k) {
  TextFile& file = run_.units().file(c.unit);
  const bool water = medium_ == TableMedium::WaterLayer;
  const RowLayouts& rows = water ? kPecSw : kPecSed;
  // Without a maximum there is no time to count the lags from.
  if (!(c.maximum > 0.0)) {
    file.writeLine(water ? kWaterMaxDash : kSedimentMaxDash);
    if (water) file.writeLine(kSuspendedSolidsDash);
    for (const RowLayout& row : rows) file.writeLine(formatLayout(row.dash, {}));
    return;
  }
  const double unit = toTableUnit();
  const int maxDay = dayNumber(c.maximumTime);
  file.writeLine(valueRow(water ? kWaterMaxRow : kSedimentMaxRow, c.maximum * unit,
                          c.maximumDateText, maxDay));
  if (water) {
    const std::string number =
        padTo(reportNumberText(totalWithSuspendedSolids(k, c.maximum) * unit), 12);
    file.writeLine(formatLayout(kSuspendedSolidsRow,
                                {number, padTo(c.maximumDateText, 17), std::int64_t{maxDay}, ")"}));
  }
  const int span = daysToEnd(c.maximumTime);
  for (std::size_t lag = 0; lag < kPecDays.size(); ++lag) {
    const int days = kPecDays[lag];
    if (span >= days) {
      file.writeLine(valueRow(rows[lag].value, c.pecAfterLag[lag] * unit,
                              calendar::dateText(c.maximumTime + days), maxDay + days));
    } else {
      file.writeLine(formatLayout(rows[lag].dash, {}));
    }
  }
}

void ConcentrationTables::writePecTable() {
  initialise();
  if (!timEndText_) timEndText_ = run_.records().readText("TimEnd");
  const std::string_view legend =
      medium_ == TableMedium::WaterLayer ? kWaterLegendText : kSedimentLegendText;
  for (int k = 1; k <= numCompounds(); ++k) {
    CompoundTable& c = table(k);
    writePecRows(c, k);
    TextFile& file = run_.units().file(c.unit);
    file.writeLine(dashLine());
    file.writeLine(formatLayout("(a,2x,a)", {legend, *timEndText_}));
  }
}

void ConcentrationTables::writeTwaTable() {
  initialise();
  const RowLayouts& rows = medium_ == TableMedium::WaterLayer ? kTwaSw : kTwaSed;
  for (int k = 1; k <= numCompounds(); ++k) {
    CompoundTable& c = table(k);
    TextFile& file = run_.units().file(c.unit);
    writeTableHeader(file, names_[static_cast<std::size_t>(k - 1)], kTwaTitle);
    for (std::size_t w = 0; w < kPecDays.size(); ++w) {
      const WindowMaximum& window = c.twa[w];
      if (window.dayNumber == 0) {
        file.writeLine(formatLayout(rows[w].dash, {}));
      } else {
        file.writeLine(valueRow(rows[w].value, window.maximum * toTableUnit(),
                                calendar::dateText(window.time), window.dayNumber));
      }
    }
    file.writeLine(dashLine());
    file.writeLine("");
  }
}

// --- Day numbers -------------------------------------------------------------

// The time of the start of the calendar day on which t falls.
double ConcentrationTables::calendarDay(double t) const {
  const calendar::DateRecord newYear{static_cast<double>(calendar::year(t)), 1, 1, 0, 0};
  return calendar::timeOfDate(newYear) + calendar::dayOfYear(t) - 1;
}

int ConcentrationTables::dayNumber(double t) const {
  return static_cast<int>(calendarDay(t + 1.0) - calendarDay(run_.clock().timStart()));
}

// TimEnd of the clock is the end of the last simulated day, so its calendar
// day is the day after the end day: last day + 1 - day of t.
int ConcentrationTables::daysToEnd(double t) const {
  return static_cast<int>(calendarDay(run_.clock().timEnd()) - calendarDay(t));
}

// --- TwaExposureSeries ---------------------------------------------------------

TwaExposureSeries::TwaExposureSeries(Run& run, std::vector<double> windowDays)
    : run_(run), windowDays_(std::move(windowDays)), line_(kExposureLine) {
  if (windowDays_.size() > kMaxExposureWindows) windowDays_.resize(kMaxExposureWindows);
  std::size_t longest = 0;
  const int perDay = stepsPerDay(run_.clock().delTim());
  for (double days : windowDays_) {
    const auto steps = static_cast<std::size_t>(std::lround(perDay * days));
    windowSteps_.push_back(steps + 1);
    longest = std::max(longest, steps);
  }
  ringLength_ = longest + 1;
}

const TwaExposureSeries::CompoundSeries& TwaExposureSeries::at(int k) const {
  assert(k >= 1 && k <= static_cast<int>(compounds_.size()) && "compound outside 1..n");
  return compounds_[static_cast<std::size_t>(k - 1)];
}

double TwaExposureSeries::integralAt(const CompoundSeries& s, std::size_t position) const {
  return s.integrals[(s.newest + position - 1) % ringLength_];
}

void TwaExposureSeries::initialise() {
  initialised_ = true;
  const int n = run_.compounds().numCompounds();
  compounds_.resize(static_cast<std::size_t>(n));
  for (int k = 1; k <= n; ++k) {
    CompoundSeries& s = compounds_[static_cast<std::size_t>(k - 1)];
    try {
      s.integrals.assign(ringLength_, 0.0);
    } catch (const std::bad_alloc&) {
      run_.messages().fatal("UpdateZRTwaExposureConc", "Error during initialization",
                            "This error should not occur - please report");
    }
    s.fileName = exposureFileName(k);
    s.unit = run_.freeFil();
    run_.units().create(s.unit, s.fileName);
  }
}

void TwaExposureSeries::step(int k, double timeIntegral, double currentConcentration) {
  if (!initialised_) initialise();
  assert(k >= 1 && k <= static_cast<int>(compounds_.size()) && "compound outside 1..n");
  CompoundSeries& s = compounds_[static_cast<std::size_t>(k - 1)];
  s.newest = (s.newest + ringLength_ - 1) % ringLength_;
  s.integrals[s.newest] = timeIntegral;

  const SimClock& clock = run_.clock();
  const std::string date = calendar::dateText(clock.tim());
  std::vector<LayoutValue> values;
  values.reserve(3 + windowDays_.size());
  values.emplace_back(clock.tim() - clock.timStart());
  values.emplace_back(std::string_view(date));
  values.emplace_back(currentConcentration);
  for (std::size_t w = 0; w < windowDays_.size(); ++w) {
    // The integral grows by C dt, so its growth over the steps of D days is
    // the window's mean times D days.
    const double twa = (integralAt(s, 1) - integralAt(s, windowSteps_[w])) / windowDays_[w];
    values.emplace_back(twa);
  }
  run_.units().file(s.unit).writeLine(line_.write(values));
}

}  // namespace korvan
