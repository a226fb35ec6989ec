// The weather of one station: read from its .met file (daily, hourly or
// monthly), cut to the simulation period in the work file "MeteoDat.tmp",
// converted to SI units, and served per time step with the solar geometry.
#pragma once

#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/unit_table.hpp"
#include "input/numbers.hpp"
#include "output/output_file.hpp"

namespace korvan {

class Run;
enum class Task;

// Time resolution of the .met file, option OptMetInp.
enum class MetInput { Daily = 1, Hourly, Monthly };

// A value of the .met file that stands for "not measured".
inline constexpr double kMissingMeteo = -99.9;

// One record of the .met file, in the units of the file. Daily and hourly
// records carry eight values (radiation, air temperature, relative humidity,
// cloud cover, wind speed, air pressure, precipitation, evaporation); a
// monthly record carries the air temperature only, kept in values[1].
struct MeteoRecord {
  std::string station;
  int year = 0;
  int month = 0;
  int day = 1;   // 1 in monthly records
  int hour = 0;  // 1..24 in hourly records, 0 otherwise
  std::array<double, 8> values{};
};

// Reads one line of the .met file in free format. Nullopt when an item is
// not a number, the line ends early, or the date fields are not a date of
// the calendar (hour outside 1..24). Items after the last value are ignored.
std::optional<MeteoRecord> parseMeteoRecord(std::string_view line, MetInput input);

// Solar geometry: angles in radians, times in days since 1900.
namespace solar {
// Declination of the sun on day J of the year: 0.409 cos(2 pi (J - 172) / 365.25).
double declination(int dayOfYear);
// Hour angle at local clock hour h of a station in time zone TimZone (hours
// from universal time) at longitude LocLong (radians).
double hourAngle(double hour, double timZone, double locLong);
// Sine of the elevation of the sun.
double sinElevation(double declination, double hourAngle, double locLat);
// Zenith angle, pi/2 whenever the sun is below the horizon.
double zenithAngle(double sinElevation);
// Angle of the refracted beam in water (refractive index 1.33).
double refractionAngle(double zenithAngle);
}  // namespace solar

// Wind speed at MetLvlRef from the speed observed at MetLvlObs: logarithmic
// profile over a roughness length of 0.02 m.
double windSpeedAtReference(double velWndObs, double metLvlObs, double metLvlRef);
// Global radiation (W.m-2) estimated from the sine of the sun elevation and
// the cloud cover: (FacWatTur1 S + FacWatTur2) (FacCldB1 FraCldCov^FacCldB2 + 1).
double estimatedRadiation(double sinElevation, double fraCldCov, double facWatTur1,
                          double facWatTur2, double facCldB1, double facCldB2);

class Meteo {
 public:
  explicit Meteo(Run& run) : run_(run) {}

  // Task 1 initialise, 2 read the next record, 4 print, 20 restart at the
  // start of the simulation period (5 closes the work file).
  void task(Task task);
  // Time of the next record (days since 1900); NaN before initialisation.
  double nextRecordTime() const;
  // Cumulative sums of radiation, precipitation and evaporation (once per step).
  void updateCumulatives();

  // The weather of the current record, SI units.
  double fleRadShoDow() const { return fleRadShoDow_; }  // W.m-2
  double temAirRef() const { return temAirRef_; }        // K
  double fraHumAirRef() const { return fraHumAirRef_; }  // -
  double fraCldCov() const { return fraCldCov_; }        // -
  double fraCldCovMidLow() const { return 1.0; }         // - (always 1)
  double velWndObs() const { return velWndObs_; }        // m.s-1 at MetLvlObs
  double velWndRef() const { return velWndRef_; }        // m.s-1 at MetLvlRef
  double preVapAir() const { return preVapAir_; }        // Pa (air pressure)
  double flvLiqPrc() const { return flvLiqPrc_; }        // m.s-1
  double flvLiqEvp() const { return flvLiqEvp_; }        // m.s-1

  // Sums since the start of the pass of value x time step in days:
  // W.m-2.d for radiation (x 86400 gives J.m-2), m.s-1.d for the water
  // fluxes (x 86400 gives m).
  double cumFleRadShoDow() const { return cumFleRadShoDow_; }
  double cumFlvLiqPrc() const { return cumFlvLiqPrc_; }
  double cumFlvLiqEvp() const { return cumFlvLiqEvp_; }

  // Input parameters, read, checked and converted on first use.
  const std::string& meteoStation();
  MetInput optMetInp();
  double timZone();     // h
  double locLat();      // rad
  double locLong();     // rad
  double metLvlRef();   // m
  double metLvlObs();   // m
  double facWatTur1();  // W.m-2
  double facWatTur2();  // W.m-2
  double facCldB1();    // -
  double facCldB2();    // -

  // Solar geometry at a time (days since 1900), from the station's place
  // and time zone.
  double sinSunElevation(double time);
  double zenithAngle(double time);      // rad
  double refractionAngle(double time);  // rad

 private:
  // A record of the .met file with its place in the file, for messages.
  struct Line {
    std::string text;
    int number = 0;
  };

  void initialise();
  void restart();
  void readRecord();
  void print();
  void closeFiles();

  // Steps of the initialisation: the .met file on its unit, the header,
  // the start record and the copy of the period into the work file.
  TextFile& openMetFile(Unit unit);
  void skipHeader(TextFile& met, int& lineNumber);
  Line findStartRecord(TextFile& met, int& lineNumber);
  void copyPeriod(TextFile& met, Line line, int& lineNumber);
  // Weather values of one kind used as they stand although outside their
  // usual range: how many records, and where the first was.
  struct ExcursionCount {
    int records = 0;
    std::string first;
  };
  using ExcursionCounts = std::vector<ExcursionCount>;
  void checkRecord(const MeteoRecord& record, ExcursionCounts& excursions);
  void warnExcursions(const ExcursionCounts& excursions);

  void store(const MeteoRecord& record);
  double recordInterval() const;
  std::string metFileName();
  std::string resolutionWord();
  [[noreturn]] void fatal(std::string_view l1, std::string_view l2 = {}, std::string_view l3 = {});

  double parameter(std::optional<double>& cache, std::string_view keyword, const FloatInput& input);
  void printVariable(double t, std::string_view name, double value, PrintSwitch& sw,
                     std::string_view rateUnit, std::string_view cumulativeUnit);
  void printFlux(double t, std::string_view name, double rate, double cumulative, PrintSwitch& sw,
                 std::string_view rateUnit, std::string_view cumulativeUnit);

  Run& run_;

  std::optional<std::string> meteoStation_;
  std::optional<MetInput> optMetInp_;
  std::optional<double> timZone_, locLat_, locLong_, metLvlRef_, metLvlObs_, facWatTur1_,
      facWatTur2_, facCldB1_, facCldB2_;

  std::optional<Unit> workUnit_;
  bool initialised_ = false;
  double nextRecordTime_ = std::numeric_limits<double>::quiet_NaN();

  double fleRadShoDow_ = 0.0;
  double temAirRef_ = 0.0;
  double fraHumAirRef_ = 0.0;
  double fraCldCov_ = 0.0;
  double velWndObs_ = 0.0;
  double velWndRef_ = 0.0;
  double preVapAir_ = 0.0;
  double flvLiqPrc_ = 0.0;
  double flvLiqEvp_ = 0.0;

  double cumFleRadShoDow_ = 0.0;
  double cumFlvLiqPrc_ = 0.0;
  double cumFlvLiqEvp_ = 0.0;

  PrintSwitch printFleRadShoDow_, printTemAirRef_, printFraHumAirRef_, printFraCldCov_,
      printVelWndRef_, printPreVapAir_, printFlvLiqPrc_, printFlvLiqEvp_;
};

}  // namespace korvan
