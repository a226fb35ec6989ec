#include "temperature/water_temperature.hpp"

#include <algorithm>
#include <cmath>

#include "core/messages.hpp"
#include "core/platform.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/task.hpp"
#include "core/units.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/calendar.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "temperature/meteo.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "WaterTemperature";
constexpr std::string_view kReadRoutine = "ReadTemFile";

// Records: time since the start (d), date text, then the values.
constexpr std::string_view kRecordLayout = "(f9.3,1x,a17,11(1x,f12.4))";
constexpr std::string_view kRecordLayoutMonthly = "(f9.3,1x,a17,1x,f12.4)";
constexpr int kHeaderLines = 4;

// The eight terms of the balance, for sums over all of them.
constexpr double heat::Fluxes::*kTerms[] = {
    &heat::Fluxes::fleRadShoUpw,     &heat::Fluxes::fleRadShoDowSed,
    &heat::Fluxes::fleRadLonDow,     &heat::Fluxes::fleRadLonUpw,
    &heat::Fluxes::sensHeaFlxAirWat, &heat::Fluxes::vapHeaFlxAirWat,
    &heat::Fluxes::sensHeaFlxWatSed, &heat::Fluxes::heaFlxPrc};

bool isFile(const TextFile& file, std::string_view name) {
  return file.path().filename() == std::filesystem::path(name).filename();
}

}  // namespace

// ---------------------------------------------------------------------------
// Drivers

void WaterTemperature::task(Task task) {
  runTask(*this, task,
          {{Task::Initialise, &WaterTemperature::initialise},
           {Task::Step, &WaterTemperature::step},
           {Task::TakeStored, &WaterTemperature::readTemFile},
           {Task::Print, &WaterTemperature::print},
           {Task::Reinitialise, &WaterTemperature::reinitialise}});
}

void WaterTemperature::fileTask(Task task) {
  runTask(*this, task,
          {{Task::Initialise, &WaterTemperature::openWorkFile},
           {Task::Step, &WaterTemperature::writeRecord},
           {Task::Terminate, &WaterTemperature::finishFile}});
}

void WaterTemperature::updateIntegrals() {
  const double delTim = run_.clock().delTim();
  for (auto term : kTerms) integrals_.*term += fluxes_.*term * delTim;
}

// ---------------------------------------------------------------------------
// Parameters

// Bounds of TemWatIni: liquid surface water from slightly supercooled or
// saline water at -5 C; 40 C, the warmest shallow waters, is a usual maximum
// only, since a warmer start is computed like any other.
double WaterTemperature::temWatIni() {
  if (!temWatIni_) {
    temWatIni_ =
        run_.numbers().rdFloat("TemWatIni", {.unit = "(C)", .min = -5.0, .usualMax = 40.0}) +
        kKelvin;
  }
  return *temWatIni_;
}

// Cloud terms of the atmospheric longwave: clouds add at most some
// 200 W.m-2 to a clear sky, so larger magnitudes point to a wrong unit.
// FacCldC1 multiplies the cloud cover and cannot lower the radiation;
// FacCldC2 multiplies a difference of cover fractions and may have either sign.
double WaterTemperature::facCldC1() {
  if (!facCldC1_) facCldC1_ = run_.numbers().rdFloat("FacCldC1", {"(W.m-2)", 0.0, 200.0});
  return *facCldC1_;
}

double WaterTemperature::facCldC2() {
  if (!facCldC2_) facCldC2_ = run_.numbers().rdFloat("FacCldC2", {"(W.m-2)", -200.0, 200.0});
  return *facCldC2_;
}

// ---------------------------------------------------------------------------
// Temperature pass

bool WaterTemperature::monthly() {
  return run_.meteo().optMetInp() == MetInput::Monthly;
}

// With monthly weather only the air temperature is known, and the water
// follows it from the start.
double WaterTemperature::initialTemperature() {
  return monthly() ? run_.meteo().temAirRef() : temWatIni();
}

// One depth for the whole water body: the mean of the first and the last
// segment, which for a water course with a slope in its depth is the depth
// of the middle.
double WaterTemperature::meanDepth() {
  const int n = run_.waterBody().numSeg();
  if (n < 1) return 0.0;
  const Hydrology& hydrology = run_.hydrology();
  return 0.5 * (hydrology.depWat(1) + hydrology.depWat(n));
}

double WaterTemperature::thiSed() {
  if (!thiSed_) {
    const SedimentProfile& sediment = run_.sediment();
    double sum = 0.0;
    for (int j = 1; j <= sediment.numLayers(); ++j) sum += sediment.thiLay(j);
    thiSed_ = sum;
  }
  return *thiSed_;
}

void WaterTemperature::initialise() {
  fluxes_ = {};
  integrals_ = {};
  nextRecordTime_ = std::numeric_limits<double>::quiet_NaN();
  avgDepWat_ = meanDepth();
  temWat_ = initialTemperature();
  // The cloud terms are read here so that a wrong value stops the run
  // before the first step.
  if (!monthly()) {
    facCldC1();
    facCldC2();
  }
}

// The sun is taken at the current time, the start of the step, as in the
// radiation that the weather module estimates for the same step.
heat::Weather WaterTemperature::weather() {
  Meteo& m = run_.meteo();
  const double t = run_.clock().tim();
  heat::Weather w;
  w.fleRadShoDow = m.fleRadShoDow();
  w.sinElevation = m.sinSunElevation(t);
  w.zenithAngle = m.zenithAngle(t);
  w.refractionAngle = m.refractionAngle(t);
  w.air = {m.temAirRef(), m.fraHumAirRef(), m.preVapAir(), m.velWndRef(), m.metLvlRef()};
  w.fraCldCov = m.fraCldCov();
  w.fraCldCovMidLow = m.fraCldCovMidLow();
  w.flvLiqPrc = m.flvLiqPrc();
  return w;
}

void WaterTemperature::step() {
  if (monthly()) {
    temWat_ = run_.meteo().temAirRef();
    return;
  }
  avgDepWat_ = meanDepth();
  const heat::Weather w = weather();
  const heat::Site site{avgDepWat_, thiSed(), facCldC1(), facCldC2()};
  fluxes_ = heat::fluxes(w, site, temWat_);
  // A water body without water holds no heat of its own: the temperature
  // then follows the air until water returns.
  if (avgDepWat_ <= 0.0) {
    temWat_ = w.air.temAir;
    return;
  }
  const double dt = run_.clock().delTim() * kSecondsPerDay;
  temWat_ =
      heat::stepTemperature(temWat_, heat::netHeatFlux(w.fleRadShoDow, fluxes_), avgDepWat_, dt);
}

// ---------------------------------------------------------------------------
// The temperature-file writer

void WaterTemperature::openWorkFile() {
  UnitTable& units = run_.units();
  if (workUnit_ && units.isOpen(*workUnit_)) units.close(*workUnit_);
  const Unit unit = run_.freeFil();
  try {
    units.create(unit, kTemWorkFile);
  } catch (const FileError&) {
    run_.messages().fatal(kRoutine,
                          "Cannot open file " + std::string(kTemWorkFile) + " with status unknown");
  }
  workUnit_ = unit;
  if (!recordLayout_) recordLayout_.emplace(monthly() ? kRecordLayoutMonthly : kRecordLayout);
}

void WaterTemperature::writeRecord() {
  if (!workUnit_ || !run_.units().isOpen(*workUnit_)) openWorkFile();
  const SimClock& clock = run_.clock();
  const double tim = clock.tim();
  const std::string date = calendar::dateText(tim);
  const double time = tim - clock.timStart();
  std::string line;
  if (monthly()) {
    line = recordLayout_->write({time, date, temWat_});
  } else {
    const heat::Fluxes& f = fluxes_;
    line = recordLayout_->write({time, date, temWat_, avgDepWat_, run_.meteo().fleRadShoDow(),
                                 f.fleRadShoDowSed, f.fleRadShoUpw, f.fleRadLonDow, f.fleRadLonUpw,
                                 f.sensHeaFlxAirWat, f.vapHeaFlxAirWat, f.sensHeaFlxWatSed,
                                 f.heaFlxPrc});
  }
  run_.units().file(*workUnit_).writeLine(line);
}

// The header goes before the records only now, when the file is complete.
void WaterTemperature::finishFile() {
  UnitTable& units = run_.units();
  const std::string name = run_.identity().fileName(kExtTemperature);
  // Normally the driver created the file on its unit at start-up.
  Unit temUnit = Unit::Temperature;
  if (!units.isOpen(temUnit) || !isFile(units.file(temUnit), name)) {
    if (units.isOpen(temUnit)) temUnit = run_.freeFil();
    units.create(temUnit, name);
  }
  TextFile& tem = units.file(temUnit);
  const Layout text("(a)");
  const bool shortHeader = monthly();
  tem.writeLine(text.write({kTemFileDashes}));
  tem.writeLine(text.write({shortHeader ? kTemFileNamesMonthly : kTemFileNames}));
  tem.writeLine(text.write({shortHeader ? kTemFileUnitsMonthly : kTemFileUnits}));
  tem.writeLine(text.write({kTemFileDashes}));

  if (workUnit_ && units.isOpen(*workUnit_)) {
    units.close(*workUnit_);
    TextFile& work = units.open(*workUnit_, kTemWorkFile);
    std::string line;
    while (work.readLine(line)) tem.writeLine(line);
    units.closeAndDelete(*workUnit_);
  }
  workUnit_.reset();
  // Closed, so that the substance pass reads it complete from its start.
  units.close(temUnit);
}

// ---------------------------------------------------------------------------
// Substance pass: reading the file back

void WaterTemperature::reinitialise() {
  temWat_ = initialTemperature();
  nextRecordTime_ = std::numeric_limits<double>::quiet_NaN();
  // A stationary temperature keeps its initial value and needs no file.
  if (run_.options().optTem() == PassOption::Stationary) return;

  UnitTable& units = run_.units();
  const std::string name = run_.identity().fileName(kExtTemperature);
  const bool connected = readUnit_ && units.isOpen(*readUnit_) &&
                         units.file(*readUnit_).mode() == TextFile::Mode::Read &&
                         isFile(units.file(*readUnit_), name);
  if (!connected) {
    if (units.isOpen(Unit::Temperature) && isFile(units.file(Unit::Temperature), name)) {
      units.close(Unit::Temperature);
    }
    if (!platform::fileExists(run_.workDir(), name)) {
      run_.messages().fatal(kRoutine, "No records found in file " + name,
                            "Cannot find file " + name + " with status old");
    }
    // Unit 26 may hold another file when no temperature pass ran before.
    readUnit_ = units.isOpen(Unit::Temperature) ? run_.freeFil() : Unit::Temperature;
    units.open(*readUnit_, name);
  }
  skipHeader(units.file(*readUnit_), name);
  nextRecordTime_ = run_.clock().timStart();
}

void WaterTemperature::skipHeader(TextFile& file, const std::string& name) {
  file.rewind();
  std::string line;
  for (int i = 0; i < kHeaderLines; ++i) {
    if (!file.readLine(line)) run_.messages().fatal(kRoutine, "No records found in file " + name);
  }
}

// The file holds hourly records. An hourly step takes the next record; a
// daily step takes the mean of the 24 records of its day, so that the
// temperature of the day is that of the whole day and not of its first hour.
void WaterTemperature::readTemFile() {
  if (!readUnit_ || !run_.units().isOpen(*readUnit_)) reinitialise();
  if (!readUnit_) return;
  const SimClock& clock = run_.clock();
  const long records = std::max(1L, std::lround(clock.delTim() / kHour));
  TextFile& file = run_.units().file(*readUnit_);
  double sum = 0.0;
  for (long k = 0; k < records; ++k) sum += readRecord(file);
  temWat_ = sum / static_cast<double>(records);
  nextRecordTime_ = clock.tim() + clock.delTim();
}

double WaterTemperature::readRecord(TextFile& file) {
  std::string line;
  if (!file.readLine(line)) {
    run_.messages().fatal(kReadRoutine, "error reading water temperature on date ",
                          "The file " + run_.identity().fileName(kExtTemperature) +
                              " ends before the simulation period");
  }
  Records& records = run_.records();
  records.splitWords(line, 3);
  const WordList& words = records.words();
  const std::string date = words.word(2);
  if (words.count() < 2) {
    run_.messages().fatal(kReadRoutine, "error reading water temperature on date " + date);
  }
  const auto temWat = parseNumber(words.word(3));
  if (!temWat) run_.messages().fatal(kReadRoutine, "error reading TemWatRef on date " + date);
  return *temWat;
}

// ---------------------------------------------------------------------------
// Print-time output

void WaterTemperature::printVariable(double t, std::string_view name, double value, PrintSwitch& sw,
                                     std::string_view rateUnit, std::string_view cumulativeUnit) {
  if (sw.known && !sw.yes) return;
  run_.outputFile().printScalar(t, name, value, sw, rateUnit, cumulativeUnit);
}

// A flux is printed as its rate, or with PrintCumulatives as the energy
// since the start of the pass.
void WaterTemperature::printFlux(double t, std::string_view name, double rate, double cumulative,
                                 PrintSwitch& sw) {
  const double value = run_.options().printCumulatives() ? cumulative * kSecondsPerDay : rate;
  printVariable(t, name, value, sw, "(W.m-2)", "(J.m-2)");
}

// Only a run that stops after the temperature pass prints it; otherwise the
// substance pass prints its own variables for the same times. The water
// temperature is printed in C like the air temperature.
void WaterTemperature::print() {
  if (run_.options().optTem() != PassOption::Only) return;
  const double t = run_.clock().tim();
  printVariable(t, "TemWat", temWat_ - kKelvin, printTemWat_, "(C)", "(C)");
  if (monthly()) return;
  const heat::Fluxes& f = fluxes_;
  const heat::Fluxes& c = integrals_;
  printFlux(t, "FleRadShoUpw", f.fleRadShoUpw, c.fleRadShoUpw, printFleRadShoUpw_);
  printFlux(t, "FleRadShoDowSed", f.fleRadShoDowSed, c.fleRadShoDowSed, printFleRadShoDowSed_);
  printFlux(t, "FleRadLonDow", f.fleRadLonDow, c.fleRadLonDow, printFleRadLonDow_);
  printFlux(t, "FleRadLonUpw", f.fleRadLonUpw, c.fleRadLonUpw, printFleRadLonUpw_);
  printFlux(t, "SensHeaFlxAirWat", f.sensHeaFlxAirWat, c.sensHeaFlxAirWat, printSensHeaFlxAirWat_);
  printFlux(t, "VapHeaFlxAirWat", f.vapHeaFlxAirWat, c.vapHeaFlxAirWat, printVapHeaFlxAirWat_);
  printFlux(t, "SensHeaFlxWatSed", f.sensHeaFlxWatSed, c.sensHeaFlxWatSed, printSensHeaFlxWatSed_);
  printFlux(t, "HeaFlxPrc", f.heaFlxPrc, c.heaFlxPrc, printHeaFlxPrc_);
}

}  // namespace korvan
