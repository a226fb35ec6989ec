#include "report/exposure_file.hpp"

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
#include "input/records.hpp"
#include "report/concentration_tables.hpp"
#include "report/targets.hpp"
#include "substance/compounds.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "WriteExposureFile";

// One line of an exposure series, and of the exposure file: time since the
// start (d), date text, concentration and up to ten window averages.
constexpr std::string_view kSeriesRow = "(f9.3,1x,a17,1x,11(1x,g12.4))";
constexpr std::size_t kTimeWidth = 9;
constexpr std::size_t kDateStart = 10;
constexpr std::size_t kDateWidth = 17;
constexpr std::size_t kValuesStart = kDateStart + kDateWidth;
constexpr int kMaxWindows = 10;

constexpr std::string_view kTitle =
    R"(("* Table: Exposure concentrations of substance ",a," in the water layer in the target year ",i4))";
constexpr std::string_view kKeyLines[] = {
    "* Key to the table",
    "* All concentrations concern the average of the 100 m evaluation part of the ",
    "* water course (between 200 to 300 m from the upstream edge)",
    "* Concentrations expressed in ug/L",
    "* Time         Time after start of simulation (days)",
    "* ConWatTgt    Concentration in water layer averaged over all segments at the end",
    "*              of each hour",
    "* TWA-[T]d     Time Weighted Average concentration for a time window of T days",
    "*",
};
constexpr std::string_view kColumns = "*Time     Date              ConWatTgt";
constexpr std::string_view kWindowColumn = "(5x,a4,i3,a1)";

constexpr std::string_view kTwaTitle = R"(("* Results for substance: ",a))";
constexpr std::string_view kTwaRow = "(a11,2x,f7.2,4x,a6,4x,a6,4x,a17,2x,a17,4x,g12.4)";

// Window averages below this are written as 0: the difference of two time
// integrals carries their rounding dust, which would otherwise print as
// meaningless exponents. The concentration itself is written as it is.
constexpr double kZeroBelow = 1e-30;

// Day of a date in a common year, the numbering of StaPer and EndPer.
int commonYearDay(const calendar::DateRecord& date) {
  return static_cast<int>(calendar::timeOfDate({1900.0, date.month, date.day, 0.0, 0.0})) + 1;
}

double timeOf(const calendar::DateRecord& date) {
  return calendar::timeOfDate(date) + date.hour / 24.0 + date.minute / 1440.0;
}

}  // namespace

const std::vector<TargetMaximum>& ExposureFile::maxima(int k) const {
  return maxima_.at(static_cast<std::size_t>(k - 1));
}

int ExposureFile::windows() {
  return std::min(targets_.numTargets(), kMaxWindows);
}

void ExposureFile::write() {
  UnitTable& units = run_.units();
  const Unit xpoUnit = run_.freeFil();
  TextFile& xpo = units.create(xpoUnit, run_.identity().fileName(kExtExposure));
  const Unit twaUnit = run_.freeFil();
  TextFile& twa = units.create(twaUnit, kTwaFile);

  const int n = run_.compounds().numCompounds();
  maxima_.assign(static_cast<std::size_t>(n), {});
  for (int k = 1; k <= n; ++k) {
    const std::string name(trim(run_.compounds().name(k)));
    const int year = targets_.targetYear(k);
    std::vector<TargetMaximum>& maxima = maxima_[static_cast<std::size_t>(k - 1)];
    maxima.assign(static_cast<std::size_t>(windows()), {});
    writeHeader(xpo, name, year);
    copySeries(xpo, k, maxima);
    writeTwa(twa, name, maxima);
  }
  units.close(twaUnit);
  units.close(xpoUnit);
}

void ExposureFile::writeHeader(TextFile& xpo, const std::string& name, int year) {
  xpo.writeLine(formatLayout(kTitle, {std::string_view(name), std::int64_t{year}}));
  xpo.writeLine("* " + std::string(80, '-'));
  for (std::string_view line : kKeyLines) xpo.writeLine(line);
  std::string columns(kColumns);
  for (int w = 1; w <= windows(); ++w) {
    const auto days = static_cast<std::int64_t>(std::lround(targets_.period(w)));
    columns += formatLayout(kWindowColumn, {std::string_view("TWA-"), days, std::string_view("d")});
  }
  xpo.writeLine(columns);
}

// One line of an exposure series as read back.
ExposureFile::RowStatus ExposureFile::readRow(const std::string& line, SeriesRow& row) {
  if (isBlank(line) || line.front() == '*') return RowStatus::Skipped;
  if (line.size() < kValuesStart) return RowStatus::Unreadable;
  const auto time = parseNumber(trim(std::string_view(line).substr(0, kTimeWidth)));
  if (!time) return RowStatus::Unreadable;
  row.time = *time;
  row.dateText = line.substr(kDateStart, kDateWidth);
  row.date = run_.dates().strToDate(trim(row.dateText));
  row.values.clear();
  FreeFormatReader values(line.substr(kValuesStart));
  while (const auto item = values.nextItem()) {
    const auto value = parseNumber(*item);
    if (!value) return RowStatus::Unreadable;
    row.values.push_back(*value);
  }
  return row.values.empty() ? RowStatus::Unreadable : RowStatus::Read;
}

// Copies the rows of the target year, in ug.L-1, and keeps per target the
// highest average among the rows of its evaluation period StaPer..EndPer
// (EndPer itself excluded).
void ExposureFile::copySeries(TextFile& xpo, int k, std::vector<TargetMaximum>& maxima) {
  const int year = targets_.targetYear(k);
  const std::string fileName = exposureFileName(k);
  const Unit unit = run_.freeFil();
  TextFile& series = run_.units().open(unit, fileName);
  const Layout rowLayout(kSeriesRow);
  std::string line;
  SeriesRow row;
  for (int lineNumber = 1; series.readLine(line); ++lineNumber) {
    const RowStatus status = readRow(line, row);
    if (status == RowStatus::Skipped) continue;
    if (status == RowStatus::Unreadable) {
      run_.messages().fatal(kRoutine, "Fatal while reading file " + fileName,
                            "Last row read is " + std::to_string(lineNumber));
    }
    if (static_cast<int>(row.date.year) != year) continue;
    std::vector<LayoutValue> out{row.time, std::string_view(row.dateText)};
    out.emplace_back(row.values.front() * 1000.0);
    for (std::size_t w = 1; w < row.values.size(); ++w) {
      const double ugPerLitre = row.values[w] * 1000.0;
      out.emplace_back(ugPerLitre < kZeroBelow ? 0.0 : ugPerLitre);
    }
    xpo.writeLine(rowLayout.write(out));
    keepMaxima(row, maxima);
  }
  run_.units().closeAndDelete(unit);
}

void ExposureFile::keepMaxima(const SeriesRow& row, std::vector<TargetMaximum>& maxima) {
  const int day = commonYearDay(row.date);
  const int n = std::min(static_cast<int>(maxima.size()), static_cast<int>(row.values.size()) - 1);
  for (int w = 1; w <= n; ++w) {
    if (!dayInPeriod(day, targets_.staPer(w), targets_.endPer(w), false)) continue;
    TargetMaximum& m = maxima[static_cast<std::size_t>(w - 1)];
    const double twa = row.values[static_cast<std::size_t>(w)];
    if (!cmp::gt(twa, m.twa)) continue;
    // The average belongs to the window of its length that ends at the row.
    m.twa = twa;
    m.startDate = calendar::dateText(timeOf(row.date) - targets_.period(w));
    m.endDate = padTo(row.dateText, kDateWidth);
  }
}

void ExposureFile::writeTwa(TextFile& twa, const std::string& name,
                            const std::vector<TargetMaximum>& maxima) {
  twa.writeLine(formatLayout(kTwaTitle, {std::string_view(name)}));
  for (int w = 1; w <= static_cast<int>(maxima.size()); ++w) {
    const TargetMaximum& m = maxima[static_cast<std::size_t>(w - 1)];
    twa.writeLine(
        formatLayout(kTwaRow, {std::string_view(padTo(targets_.name(w), 11)), targets_.period(w),
                               std::string_view(padTo(targets_.staPerText(w), 6)),
                               std::string_view(padTo(targets_.endPerText(w), 6)),
                               std::string_view(padTo(m.startDate, kDateWidth)),
                               std::string_view(padTo(m.endDate, kDateWidth)), m.twa * 1000.0}));
  }
}

}  // namespace korvan
