// The water temperature: a heat balance of the whole water body computed in
// the temperature pass and kept in the temperature file RunId.tem, which the
// substance pass reads back.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/layout.hpp"
#include "core/unit_table.hpp"
#include "output/output_file.hpp"
#include "temperature/heat_balance.hpp"

namespace korvan {

class Run;
enum class Task;

// The four header lines of the temperature file.
inline constexpr std::string_view kTemFileDashes =
    "*--------------------------------------------------------------------------------";
inline constexpr std::string_view kTemFileNames =
    "*    Time              Date       TemWat  AvgDepWat  FleRadShoDow  FleRadShoUpw   "
    "FleRadLonUpw  VapHeaFlxAirWat  HeaFlxPrc  FleRadShoDowSed  FleRadLonDow  SensHeaFlxAirWat  "
    "SensHeaFlxWatSed";
inline constexpr std::string_view kTemFileUnits =
    "*                                    (K)        (m)       (W.m-2)       (W.m-2)   (W.m-2)  "
    "        (W.m-2)    (W.m-2)          (W.m-2)  (kg.s-1.m-2)           (W.m-2)           "
    "(W.m-2)";
inline constexpr std::string_view kTemFileNamesMonthly = "*    Time              Date       TemWat";
inline constexpr std::string_view kTemFileUnitsMonthly = "*                                    (K)";
// The work file of the temperature-file writer.
inline constexpr std::string_view kTemWorkFile = "WatTem.tmp";

class WaterTemperature {
 public:
  explicit WaterTemperature(Run& run) : run_(run) {}

  // 1 initialise, 2 one time step, 3 next record of the temperature file,
  // 4 print, 20 open the temperature file for the substance pass.
  void task(Task task);
  // The temperature-file writer: 1 open the work file, 2 write the record of
  // the current time, 5 build RunId.tem from the header and the work file.
  void fileTask(Task task);
  // Time integrals of the heat fluxes (once per step).
  void updateIntegrals();
  // Time of the next record of the temperature file (substance pass); NaN
  // when no file is read.
  double nextRecordTime() const { return nextRecordTime_; }

  double temWat() const { return temWat_; }        // K
  double avgDepWat() const { return avgDepWat_; }  // m, depth of the heat balance

  // The terms of the heat balance of the last step (W.m-2).
  const heat::Fluxes& fluxes() const { return fluxes_; }
  double fleRadShoUpw() const { return fluxes_.fleRadShoUpw; }
  double fleRadShoDowSed() const { return fluxes_.fleRadShoDowSed; }
  double fleRadLonDow() const { return fluxes_.fleRadLonDow; }
  double fleRadLonUpw() const { return fluxes_.fleRadLonUpw; }
  double sensHeaFlxAirWat() const { return fluxes_.sensHeaFlxAirWat; }
  double vapHeaFlxAirWat() const { return fluxes_.vapHeaFlxAirWat; }
  double sensHeaFlxWatSed() const { return fluxes_.sensHeaFlxWatSed; }
  double heaFlxPrc() const { return fluxes_.heaFlxPrc; }

  // Their time integrals since the start of the pass, flux x time step in
  // days summed (W.m-2.d; x 86400 gives J.m-2).
  const heat::Fluxes& integrals() const { return integrals_; }
  double cumFleRadShoUpw() const { return integrals_.fleRadShoUpw; }
  double cumFleRadShoDowSed() const { return integrals_.fleRadShoDowSed; }
  double cumFleRadLonDow() const { return integrals_.fleRadLonDow; }
  double cumFleRadLonUpw() const { return integrals_.fleRadLonUpw; }
  double cumSensHeaFlxAirWat() const { return integrals_.sensHeaFlxAirWat; }
  double cumVapHeaFlxAirWat() const { return integrals_.vapHeaFlxAirWat; }
  double cumSensHeaFlxWatSed() const { return integrals_.sensHeaFlxWatSed; }
  double cumHeaFlxPrc() const { return integrals_.heaFlxPrc; }

  // Input parameters, read, checked and converted on first use.
  double temWatIni();  // K
  double facCldC1();   // W.m-2
  double facCldC2();   // W.m-2

 private:
  void initialise();
  void step();
  void readTemFile();
  void print();
  void reinitialise();

  void openWorkFile();
  void writeRecord();
  void finishFile();

  bool monthly();
  double initialTemperature();
  double meanDepth();
  double thiSed();
  heat::Weather weather();
  // The temperature of one record of the temperature file.
  double readRecord(TextFile& file);
  void skipHeader(TextFile& file, const std::string& name);

  void printVariable(double t, std::string_view name, double value, PrintSwitch& sw,
                     std::string_view rateUnit, std::string_view cumulativeUnit);
  void printFlux(double t, std::string_view name, double rate, double cumulative, PrintSwitch& sw);

  Run& run_;

  std::optional<double> temWatIni_, facCldC1_, facCldC2_, thiSed_;

  double temWat_ = 0.0;
  double avgDepWat_ = 0.0;
  heat::Fluxes fluxes_;
  heat::Fluxes integrals_;

  std::optional<Unit> workUnit_;  // WatTem.tmp while the pass writes it
  std::optional<Unit> readUnit_;  // RunId.tem in the substance pass
  std::optional<Layout> recordLayout_;
  double nextRecordTime_ = std::numeric_limits<double>::quiet_NaN();

  PrintSwitch printTemWat_, printFleRadShoUpw_, printFleRadShoDowSed_, printFleRadLonDow_,
      printFleRadLonUpw_, printSensHeaFlxAirWat_, printVapHeaFlxAirWat_, printSensHeaFlxWatSed_,
      printHeaFlxPrc_;
};

}  // namespace korvan
