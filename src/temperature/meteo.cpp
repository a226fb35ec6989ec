#include "temperature/meteo.hpp"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/task.hpp"
#include "core/text.hpp"
#include "core/units.hpp"
#include "input/calendar.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"

namespace korvan {

namespace {

// Roughness length of the wind profile (m).
constexpr double kRoughness = 0.02;
constexpr double kRefractiveIndexWater = 1.33;
// Fill values of the columns that may be missing.
constexpr double kDefaultFraCldCov = 0.5;
constexpr double kDefaultPreVapAir = 101325.0;  // Pa, the standard atmosphere

constexpr std::string_view kRoutine = "GetMeteo";
constexpr std::string_view kWorkFile = "MeteoDat.tmp";
// The work file as its open error names it.
constexpr std::string_view kWorkFileLabel = "MeteoDat.Tmp";
// Byte-order mark that editors may put at the start of a text file.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The columns of daily and hourly records.
enum Column { Rad, Tem, Hum, Cld, Wnd, Pre, Prc, Evp };
constexpr std::array<std::string_view, 8> kQuantity = {
    "global radiation", "air temperature", "relative humidity", "cloud cover",
    "wind speed",       "air pressure",    "precipitation",     "evaporation"};

bool isMissing(double v) {
  return cmp::eq(v, kMissingMeteo);
}

// Weather values outside their usual range that the model computes with as
// they stand; each kind is counted over the period and reported once.
struct Excursion {
  Column column;
  std::string_view text;
  bool (*applies)(double value);
};
bool belowZero(double v) {
  return !isMissing(v) && v < 0.0;
}
bool aboveOne(double v) {
  return v > 1.0;
}
bool outsideFraction(double v) {
  return !isMissing(v) && (v < 0.0 || v > 1.0);
}
constexpr std::array<Excursion, 9> kExcursions = {{
    {Tem, "Missing value (-99.9) of the air temperature", isMissing},
    {Wnd, "Missing value (-99.9) of the wind speed", isMissing},
    {Prc, "Missing value (-99.9) of the precipitation", isMissing},
    {Evp, "Missing value (-99.9) of the evaporation", isMissing},
    {Hum, "Relative humidity above 1", aboveOne},
    {Cld, "Cloud cover outside 0 to 1", outsideFraction},
    {Wnd, "Wind speed below 0", belowZero},
    {Prc, "Precipitation below 0", belowZero},
    {Pre, "Air pressure below 0 kPa", belowZero},
}};

std::string_view withoutByteOrderMark(std::string_view line) {
  if (line.substr(0, kByteOrderMark.size()) == kByteOrderMark) line.remove_prefix(3);
  return line;
}

// Header, comment and blank lines carry no record.
bool isHeader(std::string_view line) {
  line = withoutByteOrderMark(line);
  return !line.empty() && line.front() == '*';
}
bool isBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}
bool carriesNoRecord(std::string_view line) {
  return isHeader(line) || isBlankLine(line);
}

// A whole number from lo to hi as the next item of the line.
std::optional<int> wholeNumber(FreeFormatReader& reader, int lo, int hi) {
  const auto v = reader.nextReal();
  if (!v || *v != std::floor(*v) || *v < lo || *v > hi) return std::nullopt;
  return static_cast<int>(*v);
}

// The date of a record: year, month, day (1 for monthly), hour (1..24 for
// hourly, else 0).
struct RecordDate {
  int year = 0;
  int month = 0;
  int day = 1;
  int hour = 0;
  auto key() const { return std::tie(year, month, day, hour); }
  bool operator==(const RecordDate& o) const { return key() == o.key(); }
};

RecordDate dateOf(const MeteoRecord& r) {
  return {r.year, r.month, r.day, r.hour};
}

// The date of the record that must follow: hour 24 is followed by hour 1 of
// the next day, the last day of a month by the first of the next.
RecordDate following(RecordDate d, MetInput input) {
  switch (input) {
    case MetInput::Hourly:
      if (++d.hour <= 24) return d;
      d.hour = 1;
      [[fallthrough]];
    case MetInput::Daily:
      if (++d.day <= calendar::daysInMonth(d.month, d.year)) return d;
      d.day = 1;
      [[fallthrough]];
    case MetInput::Monthly:
      if (++d.month <= 12) return d;
      d.month = 1;
      ++d.year;
      return d;
  }
  return d;
}

// The record date of the day of a time: for hourly files its hour 1 or 24.
RecordDate dayOfTime(double time, MetInput input, int hourlyHour) {
  const calendar::DateRecord date = calendar::dateOfTime(time);
  RecordDate d{static_cast<int>(date.year), static_cast<int>(date.month),
               static_cast<int>(date.day), 0};
  if (input == MetInput::Monthly) d.day = 1;
  if (input == MetInput::Hourly) d.hour = hourlyHour;
  return d;
}

std::string dateLabel(const RecordDate& d, MetInput input) {
  const std::string month(calendar::monthName(d.month));
  if (input == MetInput::Monthly) return month + "-" + std::to_string(d.year);
  calendar::DateRecord date;
  date.year = d.year;
  date.month = d.month;
  date.day = d.day;
  std::string text(trim(calendar::dateText(calendar::timeOfDate(date))));
  if (input == MetInput::Hourly) text += " hour " + std::to_string(d.hour);
  return text;
}

std::string numberText(double v) {
  return std::string(trim(formatLayout("(g12.5)", {v})));
}

// A line of the file as it may be shown in a message: control characters
// and bytes outside plain text become '?'.
std::string printable(std::string_view text) {
  constexpr std::size_t kShown = 120;
  std::string out(text.substr(0, kShown));
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) c = '?';
  }
  return out;
}

}  // namespace

std::optional<MeteoRecord> parseMeteoRecord(std::string_view line, MetInput input) {
  FreeFormatReader reader{std::string(withoutByteOrderMark(line))};
  MeteoRecord r;
  const auto station = reader.nextItem();
  if (!station) return std::nullopt;
  r.station = *station;
  const auto year = wholeNumber(reader, 1, 9999);
  const auto month = wholeNumber(reader, 1, 12);
  if (!year || !month) return std::nullopt;
  r.year = *year;
  r.month = *month;
  if (input == MetInput::Monthly) {
    const auto tem = reader.nextReal();
    if (!tem) return std::nullopt;
    r.values[Tem] = *tem;
    return r;
  }
  const auto day = wholeNumber(reader, 1, calendar::daysInMonth(r.month, r.year));
  if (!day) return std::nullopt;
  r.day = *day;
  if (input == MetInput::Hourly) {
    const auto hour = wholeNumber(reader, 1, 24);
    if (!hour) return std::nullopt;
    r.hour = *hour;
  }
  for (double& v : r.values) {
    const auto value = reader.nextReal();
    if (!value) return std::nullopt;
    v = *value;
  }
  return r;
}

namespace solar {

double declination(int dayOfYear) {
  return 0.409 * std::cos(2.0 * kPi * (dayOfYear - 172.0) / 365.25);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the quantities in formula order
double hourAngle(double hour, double timZone, double locLong) {
  double universal = hour - timZone;
  if (universal < 0.0) universal += 24.0;
  return kPi * universal / 12.0 - locLong - kPi;
}

double sinElevation(double declination, double hourAngle, double locLat) {
  return std::sin(declination) * std::sin(locLat) +
         std::cos(declination) * std::cos(locLat) * std::cos(hourAngle);
}

double zenithAngle(double sinElevation) {
  // Rounding may put the sine a hair beyond 1; asin would then give NaN.
  const double s = std::clamp(sinElevation, -1.0, 1.0);
  return std::min(kPi / 2.0 - std::asin(s), kPi / 2.0);
}

double refractionAngle(double zenithAngle) {
  return std::asin(std::sin(zenithAngle) / kRefractiveIndexWater);
}

}  // namespace solar

double windSpeedAtReference(double velWndObs, double metLvlObs, double metLvlRef) {
  return velWndObs * (1.0 - std::log(metLvlObs / metLvlRef) / std::log(metLvlObs / kRoughness));
}

double estimatedRadiation(double sinElevation, double fraCldCov, double facWatTur1,
                          double facWatTur2, double facCldB1, double facCldB2) {
  return (facWatTur1 * sinElevation + facWatTur2) *
         (facCldB1 * std::pow(fraCldCov, facCldB2) + 1.0);
}

// ---------------------------------------------------------------------------
// Driver

void Meteo::task(Task task) {
  runTask(*this, task,
          {{Task::Initialise, &Meteo::initialise},
           {Task::Step, &Meteo::readRecord},
           {Task::Print, &Meteo::print},
           {Task::Reinitialise, &Meteo::restart},
           {Task::Terminate, &Meteo::closeFiles}});
}

double Meteo::nextRecordTime() const {
  return nextRecordTime_;
}

void Meteo::updateCumulatives() {
  const double delTim = run_.clock().delTim();
  cumFleRadShoDow_ += fleRadShoDow_ * delTim;
  cumFlvLiqPrc_ += flvLiqPrc_ * delTim;
  cumFlvLiqEvp_ += flvLiqEvp_ * delTim;
}

// ---------------------------------------------------------------------------
// Parameters

const std::string& Meteo::meteoStation() {
  if (!meteoStation_) {
    meteoStation_ = run_.records().readText("MeteoStation");
    run_.log().writeLine(kDashes);
    run_.log().writeLine(
        formatLayout("(a18,1x,a)", {padTo("MeteoStation", kMaxWordLength), *meteoStation_}));
  }
  return *meteoStation_;
}

MetInput Meteo::optMetInp() {
  if (!optMetInp_) {
    optMetInp_ =
        static_cast<MetInput>(run_.records().rdOption("OptMetInp", "Daily Hourly Monthly"));
  }
  return *optMetInp_;
}

double Meteo::parameter(std::optional<double>& cache, std::string_view keyword,
                        const FloatInput& input) {
  if (!cache) cache = run_.numbers().rdFloat(keyword, input);
  return *cache;
}

// Bounds: the places and time zones of the earth; heights from 0.03 m (the
// profile divides by ln(MetLvlObs / 0.02)) to 100 m. The radiation
// coefficients have a usual range only (a finite estimate with cloud cover
// lowering it): outside it they warn, and an estimate that cannot be formed
// stops the run where it occurs.
double Meteo::timZone() {
  return parameter(timZone_, "TimZone", {"(-)", -12.0, 14.0});
}
double Meteo::locLat() {
  if (!locLat_) locLat_ = run_.numbers().rdFloat("LocLat", {"(Degrees)", -90.0, 90.0}) * kDegrees;
  return *locLat_;
}
double Meteo::locLong() {
  if (!locLong_) {
    locLong_ = run_.numbers().rdFloat("LocLong", {"(Degrees)", -180.0, 180.0}) * kDegrees;
  }
  return *locLong_;
}
double Meteo::metLvlRef() {
  return parameter(metLvlRef_, "MetLvlRef", {"(m)", 0.03, 100.0});
}
double Meteo::metLvlObs() {
  return parameter(metLvlObs_, "MetLvlObs", {"(m)", 0.03, 100.0});
}
double Meteo::facWatTur1() {
  return parameter(facWatTur1_, "FacWatTur1",
                   {.unit = "(W.m-2)", .usualMin = 0.0, .usualMax = 2000.0});
}
double Meteo::facWatTur2() {
  return parameter(facWatTur2_, "FacWatTur2",
                   {.unit = "(W.m-2)", .usualMin = -1000.0, .usualMax = 1000.0});
}
double Meteo::facCldB1() {
  return parameter(facCldB1_, "FacCldB1", {.unit = "(-)", .usualMin = -1.0, .usualMax = 0.0});
}
double Meteo::facCldB2() {
  return parameter(facCldB2_, "FacCldB2", {.unit = "(-)", .usualMin = 0.0, .usualMax = 10.0});
}

// ---------------------------------------------------------------------------
// Solar geometry

double Meteo::sinSunElevation(double time) {
  const double hour = calendar::dateOfTime(time).hour;
  const double declination = solar::declination(calendar::dayOfYear(time));
  return solar::sinElevation(declination, solar::hourAngle(hour, timZone(), locLong()), locLat());
}

double Meteo::zenithAngle(double time) {
  return solar::zenithAngle(sinSunElevation(time));
}

double Meteo::refractionAngle(double time) {
  return solar::refractionAngle(zenithAngle(time));
}

// ---------------------------------------------------------------------------
// Initialisation: the records of the simulation period go to the work file

void Meteo::initialise() {
  closeFiles();
  UnitTable& units = run_.units();
  const Unit metUnit = run_.freeFil();
  TextFile& met = openMetFile(metUnit);
  int lineNumber = 0;
  skipHeader(met, lineNumber);
  const Line start = findStartRecord(met, lineNumber);
  copyPeriod(met, start, lineNumber);
  units.close(metUnit);
  initialised_ = true;
  restart();
}

TextFile& Meteo::openMetFile(Unit unit) {
  const std::string name = metFileName();
  optMetInp();  // the resolution decides how records are read
  try {
    return run_.units().open(unit, name);
  } catch (const FileError&) {
    fatal("Cannot find file " + name + " with status old");
  }
}

void Meteo::skipHeader(TextFile& met, int& lineNumber) {
  std::string line;
  do {
    if (!met.readLine(line)) fatal("Error while reading file " + metFileName());
    ++lineNumber;
  } while (isHeader(line));
  met.backspace();
  --lineNumber;
}

Meteo::Line Meteo::findStartRecord(TextFile& met, int& lineNumber) {
  const MetInput input = optMetInp();
  const std::string check =
      "Check simulation period and/or format file (with " + resolutionWord() + " meteo)";
  const RecordDate start = dayOfTime(run_.clock().timStart(), input, 0);
  Line line;
  while (true) {
    if (!met.readLine(line.text)) fatal("Error while reading file " + metFileName(), check);
    line.number = ++lineNumber;
    if (carriesNoRecord(line.text)) continue;
    const auto record = parseMeteoRecord(line.text, input);
    if (!record) fatal("Error while reading file " + metFileName(), check);
    // Only the day (the month for monthly files) has to match.
    RecordDate found = dateOf(*record);
    found.hour = 0;
    if (found == start) return line;
    // A file that starts after the simulation cannot hold its start.
    if (found.key() > start.key()) fatal("Error while reading file " + metFileName(), check);
  }
}

void Meteo::copyPeriod(TextFile& met, Line line, int& lineNumber) {
  const MetInput input = optMetInp();
  const std::string name = metFileName();
  const SimClock& clock = run_.clock();
  // The last simulated day is the day before the end time TimEnd.
  const RecordDate last = dayOfTime(clock.timEnd() - 1.0, input, 24);
  RecordDate expected = dayOfTime(clock.timStart(), input, 1);

  UnitTable& units = run_.units();
  const Unit unit = run_.freeFil();
  TextFile* work = nullptr;
  try {
    work = &units.create(unit, kWorkFile);
  } catch (const FileError&) {
    fatal("Cannot open file " + std::string(kWorkFileLabel) + " with status unknown");
  }
  workUnit_ = unit;

  ExcursionCounts excursions(kExcursions.size());
  while (true) {
    const auto record = parseMeteoRecord(line.text, input);
    if (!record) {
      fatal("Error while reading file " + name,
            "Check simulation period and/or format file (with " + resolutionWord() + " meteo)",
            "Line " + std::to_string(line.number) + ": " + printable(line.text));
    }
    if (!(dateOf(*record) == expected)) {
      fatal("Error while reading file " + name,
            "Records must follow each other without gaps (with " + resolutionWord() + " meteo)",
            "Expected the record of " + dateLabel(expected, input) + ", found " +
                dateLabel(dateOf(*record), input));
    }
    checkRecord(*record, excursions);
    work->writeLine(line.text);
    if (expected == last) break;
    expected = following(expected, input);
    do {
      if (!met.readLine(line.text)) fatal("Error end of simulation period not in file " + name);
      line.number = ++lineNumber;
    } while (carriesNoRecord(line.text));
  }
  units.close(unit);
  warnExcursions(excursions);
}

// Values the heat balance cannot compute with stop the run at the start: a
// relative humidity below 0 (also -99.9, as it has no fill rule) makes the
// seventh root in the emissivity of the air undefined, and an air pressure of
// 0 is divided by in the humidity ratio of the air. Every other value is used as it
// stands; the excursions of field data (a humidity of 1.02) are counted.
void Meteo::checkRecord(const MeteoRecord& record, ExcursionCounts& excursions) {
  const MetInput input = optMetInp();
  const std::string where = " in the record of " + dateLabel(dateOf(record), input);
  const std::string line1 = "Error while reading file " + metFileName();
  const auto& v = record.values;
  if (input != MetInput::Monthly) {
    if (isMissing(v[Hum])) {
      fatal(line1, "Missing value (-99.9) of the relative humidity" + where,
            "Only global radiation, cloud cover and air pressure may be missing");
    }
    const auto outOfRange = [&](Column c, std::string_view allowed) {
      fatal(line1,
            "Value of the " + std::string(kQuantity[c]) + " out of range" + where + ": " +
                numberText(v[c]),
            "Allowed: " + std::string(allowed));
    };
    if (v[Hum] < 0.0) outOfRange(Hum, "a fraction of 0 or more");
    if (v[Pre] == 0.0) outOfRange(Pre, "any value but 0 kPa");
  }
  for (std::size_t k = 0; k < kExcursions.size(); ++k) {
    const Excursion& e = kExcursions[k];
    if (input == MetInput::Monthly && e.column != Tem) continue;
    if (!e.applies(v[e.column])) continue;
    ExcursionCount& count = excursions[k];
    if (count.records++ == 0) count.first = where + ": " + numberText(v[e.column]);
  }
}

// One warning per kind of excursion over the whole period.
void Meteo::warnExcursions(const ExcursionCounts& excursions) {
  for (std::size_t k = 0; k < kExcursions.size(); ++k) {
    const ExcursionCount& count = excursions[k];
    if (count.records == 0) continue;
    const std::string records = count.records == 1 ? " record" : " records";
    run_.messages().warning(kRoutine,
                            std::string(kExcursions[k].text) + " in " +
                                std::to_string(count.records) + records + " of file " +
                                metFileName(),
                            "First" + count.first, "The values are used as they stand");
  }
}

// Task 20, and the end of task 1: back to the first record of the period.
// Called before any task 1 (a pass that reuses the temperature file of an
// earlier run), it builds the work file first, so that every pass sees the
// same weather.
void Meteo::restart() {
  if (!initialised_) {
    initialise();
    return;
  }
  UnitTable& units = run_.units();
  const bool open = workUnit_ && units.isOpen(*workUnit_) &&
                    units.file(*workUnit_).mode() == TextFile::Mode::Read &&
                    units.file(*workUnit_).path().filename() == kWorkFile;
  if (open) {
    units.file(*workUnit_).rewind();
  } else {
    workUnit_ = run_.freeFil();
    units.open(*workUnit_, kWorkFile);
  }
  cumFleRadShoDow_ = 0.0;
  cumFlvLiqPrc_ = 0.0;
  cumFlvLiqEvp_ = 0.0;
  readRecord();
}

void Meteo::closeFiles() {
  if (workUnit_ && run_.units().isOpen(*workUnit_)) run_.units().close(*workUnit_);
  workUnit_.reset();
}

// ---------------------------------------------------------------------------
// Records

void Meteo::readRecord() {
  // A step before any initialisation starts at the first record.
  if (!workUnit_ || !run_.units().isOpen(*workUnit_)) {
    restart();
    return;
  }
  TextFile& work = run_.units().file(*workUnit_);
  std::string line;
  std::optional<MeteoRecord> record;
  // The work file holds only records checked in task 1; a read beyond its
  // end means more records were asked for than the period has.
  if (work.readLine(line)) record = parseMeteoRecord(line, optMetInp());
  if (!record) fatal("Error while reading file " + std::string(kWorkFile));
  store(*record);
  nextRecordTime_ = run_.clock().tim() + recordInterval();
}

void Meteo::store(const MeteoRecord& record) {
  const auto& v = record.values;
  temAirRef_ = v[Tem] + kKelvin;
  // Monthly files carry only the air temperature; the water then follows it.
  if (optMetInp() == MetInput::Monthly) return;
  const double seconds = optMetInp() == MetInput::Daily ? kSecondsPerDay : kSecondsPerHour;
  fraHumAirRef_ = v[Hum];
  fraCldCov_ = isMissing(v[Cld]) ? kDefaultFraCldCov : v[Cld];
  velWndObs_ = v[Wnd];
  velWndRef_ = windSpeedAtReference(velWndObs_, metLvlObs(), metLvlRef());
  preVapAir_ = isMissing(v[Pre]) ? kDefaultPreVapAir : v[Pre] * 1000.0;
  flvLiqPrc_ = v[Prc] * 0.001 / seconds;
  flvLiqEvp_ = v[Evp] * 0.001 / seconds;
  if (isMissing(v[Rad])) {
    // Estimated from the sun at the time the record starts; at night the
    // estimate is used as computed, also when it is negative.
    fleRadShoDow_ = estimatedRadiation(sinSunElevation(run_.clock().tim()), fraCldCov_,
                                       facWatTur1(), facWatTur2(), facCldB1(), facCldB2());
    // The cloud cover raised to FacCldB2 is undefined for a cover below 0 and
    // a fractional exponent, and infinite for a clear sky and an exponent below 0.
    if (!std::isfinite(fleRadShoDow_)) {
      fatal("Estimated global radiation is not a finite number in the record of " +
                dateLabel(dateOf(record), optMetInp()),
            "Cloud cover " + numberText(fraCldCov_) +
                " raised to FacCldB2 = " + numberText(facCldB2()) + " is not defined");
    }
  } else {
    fleRadShoDow_ = v[Rad] * 1000.0 / seconds;
  }
}

// A monthly record holds for the number of days of the month of the current
// time, so a run that starts within a month changes records on that day of
// the following months.
double Meteo::recordInterval() const {
  switch (optMetInp_.value_or(MetInput::Daily)) {
    case MetInput::Hourly:
      return kHour;
    case MetInput::Monthly: {
      const double tim = run_.clock().tim();
      return calendar::daysInMonth(calendar::month(tim), calendar::year(tim));
    }
    case MetInput::Daily:
      break;
  }
  return 1.0;
}

// ---------------------------------------------------------------------------
// Print-time output

void Meteo::printVariable(double t, std::string_view name, double value, PrintSwitch& sw,
                          std::string_view rateUnit, std::string_view cumulativeUnit) {
  if (sw.known && !sw.yes) return;
  run_.outputFile().printScalar(t, name, value, sw, rateUnit, cumulativeUnit);
}

// A flux is printed as its current rate, or with PrintCumulatives as the
// amount since the start of the pass.
void Meteo::printFlux(double t, std::string_view name, double rate, double cumulative,
                      PrintSwitch& sw, std::string_view rateUnit, std::string_view cumulativeUnit) {
  if (sw.known && !sw.yes) return;
  const double value = run_.options().printCumulatives() ? cumulative : rate;
  run_.outputFile().printScalar(t, name, value, sw, rateUnit, cumulativeUnit);
}

// Units: radiation W.m-2 (J.m-2 cumulative), temperature C, fractions -,
// wind m.s-1, pressure Pa, precipitation and evaporation m.d-1 (m cumulative).
void Meteo::print() {
  const double t = run_.clock().tim();
  printVariable(t, "TemAirRef", temAirRef_ - kKelvin, printTemAirRef_, "(C)", "(C)");
  if (optMetInp() == MetInput::Monthly) return;
  printFlux(t, "FleRadShoDow", fleRadShoDow_, cumFleRadShoDow_ * kSecondsPerDay, printFleRadShoDow_,
            "(W.m-2)", "(J.m-2)");
  printVariable(t, "FraHumAirRef", fraHumAirRef_, printFraHumAirRef_, "(-)", "(-)");
  printVariable(t, "FraCldCov", fraCldCov_, printFraCldCov_, "(-)", "(-)");
  printVariable(t, "VelWndRef", velWndRef_, printVelWndRef_, "(m.s-1)", "(m.s-1)");
  printVariable(t, "PreVapAir", preVapAir_, printPreVapAir_, "(Pa)", "(Pa)");
  printFlux(t, "FlvLiqPrc", flvLiqPrc_ * kSecondsPerDay, cumFlvLiqPrc_ * kSecondsPerDay,
            printFlvLiqPrc_, "(m.d-1)", "(m)");
  printFlux(t, "FlvLiqEvp", flvLiqEvp_ * kSecondsPerDay, cumFlvLiqEvp_ * kSecondsPerDay,
            printFlvLiqEvp_, "(m.d-1)", "(m)");
}

// ---------------------------------------------------------------------------
// Helpers

std::string Meteo::metFileName() {
  return meteoStation() + ".met";
}

std::string Meteo::resolutionWord() {
  switch (optMetInp()) {
    case MetInput::Hourly:
      return "hourly";
    case MetInput::Monthly:
      return "monthly";
    case MetInput::Daily:
      break;
  }
  return "daily";
}

void Meteo::fatal(std::string_view l1, std::string_view l2, std::string_view l3) {
  run_.messages().fatal(kRoutine, l1, l2, l3);
}

}  // namespace korvan
