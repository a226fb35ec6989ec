#include "report/targets.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/text.hpp"
#include "core/text_file.hpp"
#include "input/calendar.hpp"
#include "input/dates.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/sim_clock.hpp"
#include "input/table.hpp"
#include "substance/compounds.hpp"

namespace korvan {

namespace {

constexpr std::string_view kGetTgtTable = "GetTgtTable";
constexpr std::string_view kTable = "Targets";
constexpr std::string_view kReadError = "Fatal while reading table Targets";
constexpr std::string_view kFormatError =
    "For target table format must be: Target Period Start date End date";

constexpr std::string_view kTargetFileRow =
    R"(("* Target:",a12,", Period:",f6.1," d","Time window Start date: ",a8,"  End date: ",a8 ))";
constexpr std::string_view kTargetLogRow =
    R"(("* ", a12," TWA period: ",f5.1," d"," Time window Start date: ",a7,"  End date: ",a7 ))";
// The heading of the target table that the summary report completes.
constexpr std::string_view kTargetHeading1 =
    "* Target  TWA period    Evaluation period   Maximum TWA        Maximum TWA             TWA";
constexpr std::string_view kTargetHeading2 =
    "*                       Start     End       Start              End                    (ug/L)";

constexpr std::string_view kStaTimPrdTgt = "StaTimPrdTgt";
constexpr std::string_view kEndTimPrdTgt = "EndTimPrdTgt";
constexpr std::string_view kDelTimStaUpTgt = "DelTimStaUpTgt";

constexpr std::string_view kPeakRow = "(2x,i4,1x,a22,1x,f8.2,1x,e15.5,1x,a4)";
// Below this a peak (ug.L-1) is written as a plain 0.00: the exponent form
// of a value that small tells the reader nothing.
constexpr std::string_view kPeakRowSmall = "(2x,i4,1x,a22,1x,f8.2,1x,f15.2,1x,a4)";
constexpr double kSmallPeak = 1e-25;
constexpr std::string_view kTargetSentence =
    R"(("* The ",i2," percentile peak concentration of ",a, " in the ditch is ",f13.6," ug/L "))";

constexpr std::size_t kIdentifierLength = 22;
constexpr std::string_view kIdentifierStart = "Year = ";  // the year follows in characters 8 to 11

// Day number in a common year from which a leap year counts one day more.
constexpr double kFirstMarch = 60.0;

std::string lastRow(int row) {
  return "Last row read is " + std::to_string(row);
}

bool isTargetEdition(Run& run) {
  const std::string& edition = run.identity().callingProgram();
  return edition == "ZR" || edition == "BRAX";
}

}  // namespace

std::string peakIdentifier(const YearPeak& peak) {
  std::string id = std::string(kIdentifierStart) + formatLayout("(i4)", {std::int64_t{peak.year}});
  if (peak.time < 0.0) {
    id += ", no peak";
  } else {
    id += ", on " + calendar::dateText(peak.time).substr(0, 6);
  }
  return padTo(id, kIdentifierLength);
}

int yearOfPeakIdentifier(std::string_view identifier) {
  if (identifier.size() < kIdentifierStart.size() + 4) return 0;
  const auto year = parseNumber(trim(identifier.substr(kIdentifierStart.size(), 4)));
  return year ? static_cast<int>(*year) : 0;
}

bool dayInPeriod(double day, double first, double last, bool lastIncluded) {
  const bool afterStart = cmp::ge(day, first);
  const bool beforeEnd = lastIncluded ? cmp::le(day, last) : cmp::lt(day, last);
  if (cmp::le(first, last)) return afterStart && beforeEnd;
  return afterStart || beforeEnd;  // the period runs over the new year
}

// ---------------------------------------------------------------------------
// Target table

void Targets::getTgtTable() {
  if (tableRead_) return;
  tableRead_ = true;
  const Unit unit = run_.freeFil();
  TextFile& file = run_.units().create(unit, kTargetFile);
  run_.log().writeLine(kDashes);

  TableRows rows(run_, kTable);
  targets_.clear();
  targets_.reserve(static_cast<std::size_t>(rows.count()));
  for (int row = 1; row <= rows.count(); ++row) {
    if (!rows.next()) run_.messages().fatal(kGetTgtTable, kReadError, lastRow(row));
    readRow(row);
    const Target& t = targets_.back();
    file.writeLine(formatLayout(kTargetFileRow, {std::string_view(padTo(t.name, 12)), t.period,
                                                 std::string_view(padTo(t.staPerText, 8)),
                                                 std::string_view(padTo(t.endPerText, 8))}));
    run_.log().writeLine(formatLayout(kTargetLogRow, {std::string_view(padTo(t.name, 12)), t.period,
                                                      std::string_view(padTo(t.staPerText, 7)),
                                                      std::string_view(padTo(t.endPerText, 7))}));
  }
  file.writeLine(kTargetHeading1);
  file.writeLine(kTargetHeading2);
  file.writeLine(std::string(90, '-'));
  run_.units().close(unit);
}

// One row: name, window length (d), StaPer and EndPer as dates without year.
void Targets::readRow(int row) {
  const WordList& words = run_.records().words();
  if (words.count() != 4) run_.messages().fatal(kGetTgtTable, kFormatError);
  // The date reader may reuse the shared word list: copy the row first.
  Target t;
  t.name = words.word(1);
  const std::string periodWord = words.word(2);
  t.staPerText = words.word(3);
  t.endPerText = words.word(4);
  const auto period = parseNumber(firstItem(periodWord));
  if (!period) run_.messages().fatal(kGetTgtTable, kReadError, lastRow(row));
  t.period = *period;
  t.staPer = commonYearDay(t.staPerText, "StaPer");
  t.endPer = commonYearDay(t.endPerText, "EndPer");
  targets_.push_back(std::move(t));
}

// A date without year as its day number in a common year, so that one number
// stands for the same calendar day in every year.
int Targets::commonYearDay(const std::string& text, std::string_view keyword) {
  const calendar::DateRecord date = calendar::dateOfTime(run_.dates().rdDate(text, keyword));
  const calendar::DateRecord common{1900.0, date.month, date.day, 0.0, 0.0};
  return static_cast<int>(calendar::timeOfDate(common)) + 1;
}

const Targets::Target& Targets::target(int k) {
  getTgtTable();
  return targets_.at(static_cast<std::size_t>(k - 1));
}

int Targets::numTargets() {
  getTgtTable();
  return static_cast<int>(targets_.size());
}

double Targets::period(int k) {
  return target(k).period;
}
const std::string& Targets::name(int k) {
  return target(k).name;
}
int Targets::staPer(int k) {
  return target(k).staPer;
}
int Targets::endPer(int k) {
  return target(k).endPer;
}
const std::string& Targets::staPerText(int k) {
  return target(k).staPerText;
}
const std::string& Targets::endPerText(int k) {
  return target(k).endPerText;
}

// ---------------------------------------------------------------------------
// Evaluation period

void Targets::readEvaluationPeriod() {
  periodRead_ = true;
  Numbers& numbers = run_.numbers();
  staTimPrdTgt_ = numbers.rdFloat(kStaTimPrdTgt, {.min = 1.0, .max = 366.0});
  endTimPrdTgt_ = numbers.rdFloat(kEndTimPrdTgt, {.min = 1.0, .max = 366.0});
  if (run_.records().getRecord(kDelTimStaUpTgt, 2, {.mustExist = false})) {
    delTimStaUpTgt_ = numbers.rdFloat(kDelTimStaUpTgt, {.unit = "(d)", .min = 0.0});
  }
}

bool Targets::inEvaluationPeriod(double time) const {
  const SimClock& clock = run_.clock();
  // Day of the run, 1 for the first day; the start-up days are never evaluated.
  const double dayOfRun = std::floor(time - clock.timStart() + cmp::kTolerance) + 1.0;
  if (cmp::le(dayOfRun, delTimStaUpTgt_)) return false;
  // A leap year starts the period one day later whatever its first day; the end
  // keeps its calendar date, so from 1 March on it moves by the leap day.
  const bool leap = calendar::isLeapYear(calendar::year(time));
  const double first = leap ? staTimPrdTgt_ + 1.0 : staTimPrdTgt_;
  const double last =
      leap && cmp::ge(endTimPrdTgt_, kFirstMarch) ? endTimPrdTgt_ + 1.0 : endTimPrdTgt_;
  return dayInPeriod(calendar::dayOfYear(time), first, last, true);
}

Targets::Tracking& Targets::tracking(int k) {
  if (compounds_.empty()) {
    compounds_.resize(static_cast<std::size_t>(run_.compounds().numCompounds()));
  }
  if (static_cast<std::size_t>(k) > compounds_.size()) {
    compounds_.resize(static_cast<std::size_t>(k));
  }
  return compounds_[static_cast<std::size_t>(k - 1)];
}

const Targets::Tracking* Targets::trackingOrNull(int k) const {
  if (k < 1 || static_cast<std::size_t>(k) > compounds_.size()) return nullptr;
  return &compounds_[static_cast<std::size_t>(k - 1)];
}

void Targets::update(int k, double conLiqWatZRAvg) {
  if (!isTargetEdition(run_)) return;
  if (!periodRead_) readEvaluationPeriod();
  const double time = run_.clock().tim();
  Tracking& t = tracking(k);
  if (!inEvaluationPeriod(time)) return;
  if (cmp::gt(conLiqWatZRAvg, t.max)) {
    t.max = conLiqWatZRAvg;
    t.time = time;
  }
}

double Targets::maxConcentration(int k) const {
  const Tracking* t = trackingOrNull(k);
  return t ? t->max : 0.0;
}

double Targets::timeOfMax(int k) const {
  const Tracking* t = trackingOrNull(k);
  return t ? t->time : -1.0;
}

void Targets::endOfYear(int year) {
  if (compounds_.empty()) (void)tracking(1);
  for (Tracking& t : compounds_) {
    t.peaks.push_back({t.max, t.time, year});
    t.max = 0.0;
    t.time = -1.0;
  }
}

const std::vector<YearPeak>& Targets::yearlyPeaks(int k) const {
  static const std::vector<YearPeak> kNone;
  const Tracking* t = trackingOrNull(k);
  return t ? t->peaks : kNone;
}

// ---------------------------------------------------------------------------
// Percentile summary

double Targets::percentage(int rank, int count) {
  return (rank - 0.5) / count * 100.0;
}

void Targets::rankYearlyPeaks(double targetPercentile) {
  targetPercentile_ = targetPercentile;
  for (Tracking& t : compounds_) {
    t.ranked = t.peaks;
    std::stable_sort(t.ranked.begin(), t.ranked.end(), [](const YearPeak& a, const YearPeak& b) {
      return a.concentration < b.concentration;
    });
    const int n = static_cast<int>(t.ranked.size());
    // When even the lowest rank lies above the target percentile, the lowest
    // peak is the nearest the run can offer.
    t.targetRank = n > 0 ? 1 : 0;
    for (int i = n; i >= 1; --i) {
      if (cmp::le(std::trunc(percentage(i, n)), targetPercentile)) {
        t.targetRank = i;
        break;
      }
    }
  }
}

const std::vector<YearPeak>& Targets::rankedPeaks(int k) const {
  static const std::vector<YearPeak> kNone;
  const Tracking* t = trackingOrNull(k);
  return t ? t->ranked : kNone;
}

int Targets::targetRank(int k) const {
  const Tracking* t = trackingOrNull(k);
  return t ? t->targetRank : 0;
}

int Targets::targetYear(int k) const {
  const int rank = targetRank(k);
  return rank > 0 ? rankedPeaks(k)[static_cast<std::size_t>(rank - 1)].year : 0;
}

double Targets::targetConcentration(int k) const {
  const int rank = targetRank(k);
  if (rank == 0) return 0.0;
  return rankedPeaks(k)[static_cast<std::size_t>(rank - 1)].concentration *
         1000.0;  // g.m-3 to ug.L-1
}

void Targets::writeRankedRows(TextFile& file, int k) const {
  const std::vector<YearPeak>& ranked = rankedPeaks(k);
  const int n = static_cast<int>(ranked.size());
  for (int i = 1; i <= n; ++i) {
    const YearPeak& peak = ranked[static_cast<std::size_t>(i - 1)];
    const double value = peak.concentration * 1000.0;  // ug.L-1
    const std::string id = peakIdentifier(peak);
    const std::string year = std::to_string(peak.year);
    file.writeLine(formatLayout(
        value < kSmallPeak ? kPeakRowSmall : kPeakRow,
        {std::int64_t{i}, std::string_view(id), percentage(i, n), value, std::string_view(year)}));
  }
}

void Targets::writeTargetSentence(TextFile& file, int k) {
  const std::string name(trim(run_.compounds().name(k)));
  file.writeLine(formatLayout(kTargetSentence, {static_cast<std::int64_t>(targetPercentile_),
                                                std::string_view(name), targetConcentration(k)}));
}

}  // namespace korvan
