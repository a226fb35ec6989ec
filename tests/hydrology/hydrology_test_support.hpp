// Inputs and a module set for the hydrology tests: short runs of the water
// systems of every formulation, and a run driver whose only real modules are
// the hydrology and the field-model files, so that the passes run without
// weather, temperature or substances.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "driver/model_run.hpp"
#include "driver/modules.hpp"
#include "driver/run_driver.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/lateral_entries.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"

namespace korvan::testing {

// Every print switch of the hydrology, all No.
inline const std::string kNoHydrologyPrints =
    "No print_QBou\nNo print_DepWat\nNo print_VelWatFlw\nNo print_VvrLiqDra\n"
    "No print_VvrLiqRnf\nNo print_VolErrWatLay\nNo print_DepWatRepCha\nNo print_FlwWatSpg\n"
    "No print_CofDisPhs\n";

// The records of a run from 01-Jan-1980 to the end date, hourly, edition
// and passes as given, a compound (so that OptHyd is used as given), and
// the extra records.
inline std::string runInput(std::string_view callingProgram, const std::string& timEnd,
                            const std::string& optHyd, const std::string& extra) {
  std::string input = minimalInput("table compounds\nCMP\nend_table\n" + optHyd +
                                   " OptHyd\nOffLine OptTem\n" + kNoHydrologyPrints + extra);
  input.replace(0, std::string("MERIXKORVAN").size(), callingProgram);
  input.replace(input.find("31-Dec-1980 TimEnd"), 18, timEnd + " TimEnd");
  return input;
}

// A WaterBody table with its identifier: five columns (MERIX, Orlan) or six
// (ZR and BRAX).
inline std::string waterBody(const std::string& values, bool sixColumns = false) {
  return "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys DepWatDefPer" +
         std::string(sixColumns ? " DepWatSysBot\n(m) (-) (m) (-) (m) (m)\n"
                                : "\n(m) (-) (m) (-) (m)\n") +
         values + "\nend_table\nDitch WaterbodyID\nAll OptOutputDistances\n";
}

// A MERIX water course of 100 m in ten segments, 1 m wide, under a
// representative channel 1000 m long that carries 0.05 m3.s-1 (4320 m3.d-1)
// over a crest 0.3 m high; 0.01 m3.s-1 (864 m3.d-1) enters upstream.
inline std::string merixWaterCourse(const std::string& extra = "",
                                    const std::string& body = "100 10 1.0 0.0 0.1") {
  return waterBody(body) + "Variable OptFloWat\nWaterCourse OptWaterSystemType\n" + extra +
         "DriftOnly OptLoa\n600 TimStpHyd (s)\n864 QBasWatCrsInp (m3.d-1)\n"
         "0 AreaUpsWatCrsInp (ha)\n4320 QBasRepCha (m3.d-1)\n0 AreaUpStrRepCha (ha)\n"
         "1.0 WidBotRepCha (m)\n0.01 SloSidRepCha (-)\n0.001 SloBotRepCha (-)\n"
         "1000 LenRepCha (m)\n0.4 WidCreRepCha (m)\n0.3 HgtCreRepCha (m)\n30 CofRghRef (-)\n"
         "1.1 CofVelHea (-)\n10 WidFldDra (m)\n10 WidFldRnf (m)\n";
}

// A ZR reach: a water body of 100 m in ten segments, 1 m wide, and 50 m
// more down to a crest 0.5 m high and 0.5 m wide; 0.01 m3.s-1 enters.
inline std::string zrReach(const std::string& extra = "",
                           const std::string& body = "100 10 1.0 0.0 0.1 0.0") {
  return waterBody(body, true) + "Variable OptFloWat\nWaterCourse OptWaterSystemType\n" + extra +
         "DriftOnly OptLoa\n60 TimStpHyd (s)\n50 DstWeiWatCrs (m)\n0.5 WidCreWatCrs (m)\n"
         "0.5 HgtCreWatCrs (m)\n0.001 SloBotWatCrs (-)\n0 WidFldDra (m)\n"
         "864 QBasWatCrsInp (m3.d-1)\n";
}

// A MERIX pond of 20 m by 10 m with a crest 0.5 m high and 0.2 m wide; its
// base inflow as given (m3.d-1).
inline std::string merixPond(const std::string& qBas = "43.2", const std::string& extra = "") {
  return waterBody("20 1 10 0.0 0.1") + "Variable OptFloWat\nPond OptWaterSystemType\n" + extra +
         "DriftOnly OptLoa\n600 TimStpHyd (s)\n1 AreaSurPndInp (ha)\n0.5 AreaErsSurPndInp (ha)\n" +
         qBas + " QBasPndInp (m3.d-1)\n0.5 HgtCrePnd (m)\n0.2 WidCrePnd (m)\n";
}

// An Orlan pond of 20 m by 10 m, 1 m deep at the start, seeping above 0.5 m.
inline std::string orlanPond(const std::string& body = "20 1 10 0.0 0.1") {
  return waterBody(body) +
         "Variable OptFloWat\nPond OptWaterSystemType\nDriftOnly OptLoa\n"
         "1 AreaSurPndInp (ha)\n43.2 QBasPndInp (m3.d-1)\n1.0 DepWatIni (m)\n2.0 DepPnd (m)\n"
         "0.01 CofRatSpgInp (d-1)\n0.5 DepWatSpgMin (m)\n";
}

// A sediment of four layers of 1/64 m (exact in binary), which the program
// reads at start-up.
inline const std::string kSedimentProfile =
    "table SedimentProfile\nThiHor NumLay\n(m)\n0.0625 4\nend_table\n"
    "All OutputDepths\nCalculate OptSedProperties\n";

// A snapshot of the hydrology.
struct HydrologyState {
  std::vector<double> qBou, depWat;
  double flwWatSpg = 0.0;
};

inline HydrologyState snapshot(Run& run) {
  Hydrology& h = run.hydrology();
  HydrologyState s;
  const int n = run.waterBody().numSeg();
  for (int i = 0; i <= n; ++i) s.qBou.push_back(h.qBou(i));
  for (int i = 1; i <= n; ++i) s.depWat.push_back(h.depWat(i));
  s.flwWatSpg = h.flwWatSpg();
  return s;
}

// The modules of a run with the hydrology and the field-model files only;
// notes the state at every record written and every record taken back.
class HydrologyModules : public ModuleSet {
 public:
  explicit HydrologyModules(Run& run, bool readSediment = false)
      : run_(run), readSediment_(readSediment) {}

  void readSedimentProfile() override {
    if (readSediment_) run_.sediment().getSedimentProfile();
  }
  void hydrology(Task task) override {
    run_.hydrology().task(task);
    if (task == Task::TakeStored) taken.push_back(snapshot(run_));
    if (task == Task::Step) ++steps;
  }
  void writeHydrologyRecord() override {
    run_.hydrology().writeRecord();
    written.push_back(snapshot(run_));
  }
  void hydrologyTotals() override { run_.hydrology().updateTotals(); }
  void closeLateralEntryFiles() override { run_.lateralEntries().close(); }

  std::vector<HydrologyState> written, taken;
  int steps = 0;

 private:
  Run& run_;
  bool readSediment_;
};

// A run of the driver on the input with the hydrology modules.
struct DriverRun {
  explicit DriverRun(const std::string& input, bool readSediment = false)
      : t(input), modules(t.run(), readSediment) {
    t.setup();
  }
  void execute() { RunDriver(t.run(), modules).execute(); }
  Hydrology& hydrology() { return t.run().hydrology(); }
  TestRun t;
  HydrologyModules modules;
};

// Expects equal states within the relative precision of the file.
inline void expectSameState(const HydrologyState& a, const HydrologyState& b, double relative,
                            const std::string& where) {
  ASSERT_EQ(a.qBou.size(), b.qBou.size()) << where;
  for (std::size_t i = 0; i < a.qBou.size(); ++i) {
    EXPECT_NEAR(a.qBou[i], b.qBou[i], relative * std::fabs(a.qBou[i]) + 1e-15)
        << where << " QBou " << i;
  }
  for (std::size_t i = 0; i < a.depWat.size(); ++i) {
    EXPECT_NEAR(a.depWat[i], b.depWat[i], relative * std::fabs(a.depWat[i]) + 1e-15)
        << where << " DepWat " << i + 1;
  }
  EXPECT_NEAR(a.flwWatSpg, b.flwWatSpg, relative * std::fabs(a.flwWatSpg)) << where;
}

// The lines of a message, joined by newlines.
inline std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += (text.empty() ? "" : "\n") + l;
  return text;
}

// Expects the three lines of a value out of its bounds: the first and the name.
inline void expectOutOfBounds(const std::vector<std::string>& err, const std::string& first,
                              const std::string& name) {
  ASSERT_EQ(err.size(), 3u) << name;
  EXPECT_EQ(err[0], first) << name;
  EXPECT_EQ(err[2], "Variable name is: " + name);
}

}  // namespace korvan::testing
