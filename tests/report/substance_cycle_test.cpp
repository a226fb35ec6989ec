#include "report/substance_cycle.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "driver/modules.hpp"
#include "hydrology/hydrology.hpp"
#include "input/sim_clock.hpp"
#include "report/mass_balance.hpp"
#include "substance/compounds_test_input.hpp"
#include "substance/sediment.hpp"
#include "temperature/water_temperature.hpp"

namespace korvan {
namespace {

using compound_test::compoundRecords;
using compound_test::kNoHydrologyPrintSwitches;
using testing::minimalInput;
using testing::TestRun;

constexpr const char* kSubstancePrints[] = {
    "ConSysWatLay",       "ConLiqWatLay", "AmaWatLay",       "AmaSed",          "AmaTraWatLay",
    "AmaVolWatLay",       "AmaForWatLay", "AmaSedInWatLay",  "AmaSedOutWatLay", "AmaDwnWatLay",
    "AmaUpsWatLay",       "AmaDrfWatLay", "AmaAtmDepWatLay", "AmaDraWatLay",    "AmaRnoWatLay",
    "AmaErrWatLay",       "AmaTraSed",    "AmaForSed",       "AmaWatLayInSed",  "AmaWatLayOutSed",
    "AmaDwnSed",          "AmaErsSed",    "AmaErrSed",       "AmaLoaWatLay",    "AmaLoaDrfWatLay",
    "AmaLoaAtmDepWatLay", "AmaAppSol",    "FlmDra",          "FlmRnf",          "FlmErs",
    "ConLiqWatLayCur",    "CntSorMph",    "CntSorSusSol",    "ConSysSed",       "ConLiqSed",
    "CntSorSed",          "CntSedTgt",    "ConLiqSedTgt",    "CntSorSedTgt",    "AmaLiqWatLay",
    "AmaSorSusSol",       "AmaSorMph",    "AmaLiqSed",       "AmaSorSed",
};

// A closed, stagnant ditch: ten segments of 10 m, 1 m wide with vertical
// banks, 0.3 m deep (A = 0.3 m2), velocity 0, no seepage; 600 s sub-steps.
// One compound CMP that neither sorbs, volatilises nor diffuses into the
// sediment, with a temperature-independent half-life.
std::string cycleInput(const std::string& dt50, const std::string& conSysWatIni,
                       const std::string& extra = "") {
  std::string input =
      "table compounds\nCMP\nend_table\n" +
      compoundRecords("CMP", {{"KomSusSol", "0"},
                              {"CofSorMph", "0"},
                              {"KomSed", "0"},
                              {"CofDifWatRef", "0"},
                              {"DT50WatRef", dt50},
                              {"MolEntTraWat", "0"},
                              {"PreVapRef", "0"}}) +
      "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys DepWatDefPer\n(m) (-) (m) (-) (m)\n"
      "100 10 1.0 0.0 0.3\nend_table\nDitch WaterbodyID\nAll OptOutputDistances\n"
      "Constant OptFloWat\nConstant OptWaterSystemType\n0 VelWatFlwBas (m.d-1)\n0.3 DepWat (m)\n"
      "15 ConSus (g.m-3)\n0.1 CntOmSusSol (kg.kg-1)\n50 AmaMphWatLay (g.m-2)\n"
      "DriftOnly OptLoa\n0 FlwWatSpg (m3.m-2.d-1)\nInput OptTimStp\n600 TimStpWat (s)\n"
      "600 TimStpSed (s)\nFischer OptDis\n0.025 ThiLayTgt (m)\n" +
      conSysWatIni +
      " ConSysWatIni (g.m-3)\n0 ConAir (kg.m-3)\n0 ConWatSpg (g.m-3)\n"
      "Hourly OptMetInp\n5 TemWatIni (C)\n60 FacCldC1 (W.m-2)\n0 FacCldC2 (W.m-2)\n"
      "No PrintCumulatives\ng12.4 RealFormat\nDaysFromSta DateFormat\n" +
      compound_test::kSediment +
      "table horizon DispersionLength\nNr LenDisSedLiq\n(-) (m)\n1 0.015\nend_table\n" +
      kNoHydrologyPrintSwitches;
  for (const char* name : kSubstancePrints) input += std::string("No print_") + name + "\n";
  return minimalInput(input + extra);
}

// The run as the driver prepares the substance pass: hourly clock at
// TimStart, the sediment profile, the hydrology and the water temperature at their initial state.
class SubstanceCycleTest : public ::testing::Test {
 protected:
  void start(const std::string& input) {
    t_ = std::make_unique<TestRun>(input);
    t_->setup();
    SimClock& c = t_->run().clock();
    c.readSettings();
    c.setTimeStep(kHour);
    c.resetToStart();
    c.resetPrintTime();
    guarded([&] {
      t_->run().sediment().getSedimentProfile();
      t_->run().hydrology().task(Task::Initialise);
      t_->run().waterTemperature().task(Task::Initialise);
      // The run's own cycle: the reports of the pass reach it through the run.
      balance_ = &t_->run().massBalance();
      cycle_ = &t_->run().substance();
      cycle_->task(Task::Initialise);
    });
  }
  // A fatal error of the run fails the test with the lines of the error file.
  void guarded(const std::function<void()>& action) {
    try {
      action();
    } catch (const RunStop&) {
      t_->run().terminate(kExitError);
      std::string err;
      for (const std::string& line : t_->dir().lines("t.err")) err += line + "\n";
      t_.reset();
      FAIL() << err;
    }
  }
  // One outer step, then the clock moves on as the run driver moves it.
  void hours(int count) {
    SimClock& c = t_->run().clock();
    guarded([&] {
      for (int h = 0; h < count; ++h) {
        cycle_->task(Task::Step);
        c.advance();
        if (SimClock::timeReached(c.tim(), c.timPrn())) {
          cycle_->task(Task::Print);
          c.setNextPrintTime();
        }
      }
    });
  }
  void TearDown() override {
    if (t_) t_->finish();
  }

  std::unique_ptr<TestRun> t_;
  MassBalance* balance_ = nullptr;
  SubstanceCycle* cycle_ = nullptr;
};

TEST_F(SubstanceCycleTest, FirstOrderDecayInClosedStagnantDitch) {
  // M0 = 0.1 g.m-3 x 0.3 m2 x 100 m = 3 g. k = ln 2 / 86400 s-1, so after one
  // day exp(-k t) = 0.5 and M = 1.5 g. The explicit sub-steps give
  // (1 - k 600)^144 = 0.49917 (k 600 = 4.8135e-3): within 0.2 % of 1.5 g.
  ASSERT_NO_FATAL_FAILURE(start(cycleInput("1", "0.1")));
  EXPECT_NEAR(balance_->compound(1).AmaWatLay, 3.0, 1e-12);
  ASSERT_NO_FATAL_FAILURE(hours(24));
  EXPECT_EQ(cycle_->numSubSteps(), 6);
  EXPECT_DOUBLE_EQ(cycle_->delTimKvn(), 600.0);
  const double m = cycle_->massFirstCompoundWaterLayer();
  EXPECT_NEAR(m, 3.0 * std::exp(-std::log(2.0)), 0.002 * 1.5);
  const double kdt = std::log(2.0) / 86400.0 * 600.0;
  EXPECT_NEAR(m, 3.0 * std::pow(1.0 - kdt, 144), 1e-9);
  // What decayed was transformed: 3 - M.
  EXPECT_NEAR(balance_->compound(1).AmaTraWatLay, -(3.0 - m), 1e-9);
  EXPECT_DOUBLE_EQ(cycle_->flowVelocityLastSegment(), 0.0);
}

TEST_F(SubstanceCycleTest, DriftEventEntersWaterLayerAndBalance) {
  // 10 mg.m-2 = 0.01 g.m-2 over 20..50 m of a 1 m wide surface:
  // 0.01 x 1.0 x 30 = 0.3 g at the end of the second hour. A stable compound
  // (DT50 1e6 d) loses 0.3 x (1 - 2^(-1/1e6)) < 3e-7 g in the hours after it.
  ASSERT_NO_FATAL_FAILURE(
      start(cycleInput("1e6", "0", "table Loadings\n01-Jan-1980-02h00 10 500 20 50\nend_table\n")));
  ASSERT_NO_FATAL_FAILURE(hours(1));
  EXPECT_EQ(balance_->compound(1).AmaDrfWatLay, 0.0);
  ASSERT_NO_FATAL_FAILURE(hours(1));
  EXPECT_NEAR(balance_->compound(1).AmaDrfWatLay, 0.3, 1e-12);
  EXPECT_NEAR(cycle_->amaWatLay(1), 0.3, 1e-9);
  EXPECT_NEAR(balance_->compound(1).AmaWatLay, 0.3, 1e-9);
  ASSERT_NO_FATAL_FAILURE(hours(2));
  EXPECT_NEAR(cycle_->massFirstCompoundWaterLayer(), 0.3, 1e-6);
  EXPECT_NEAR(balance_->compound(1).AmaErrWatLay, 0.0, 1e-12);
}

TEST_F(SubstanceCycleTest, MassBalanceClosesOverThreeDays) {
  // Water layer 3 g and sediment 2.5 mg.kg-1 x 800 kg.m-3 x 0.05 m x 1 m
  // x 100 m = 10 g decaying (DT50 1 d and 20 d): every term enters the
  // errors, which stay at round-off.
  ASSERT_NO_FATAL_FAILURE(start(cycleInput("1", "0.1")));
  ASSERT_NO_FATAL_FAILURE(hours(72));
  const CompoundBalance& b = balance_->compound(1);
  EXPECT_NEAR(b.AmaWatLayIni, 3.0, 1e-12);
  EXPECT_GT(b.AmaSedIni, 0.0);
  EXPECT_NEAR(b.AmaErrWatLay, 0.0, 1e-9);
  EXPECT_NEAR(b.AmaErrSed, 0.0, 1e-9);
  EXPECT_LT(b.AmaTraSed, 0.0);
  EXPECT_NEAR(b.time - t_->run().clock().timStart(), 3.0, 1e-9);
}

TEST_F(SubstanceCycleTest, PrintsTheMassAtPrintTimes) {
  // With print_AmaWatLay Yes the start writes the unit line (the output file
  // writes no data line at the start time) and the daily print a line named
  // after the compound; ConSysWatLay stays off.
  std::string input = cycleInput("1", "0.1");
  input.replace(input.find("No print_AmaWatLay\n"), 2, "Yes");
  ASSERT_NO_FATAL_FAILURE(start(input));
  t_->run().output().flush();
  std::string out = t_->dir().read("t.out");
  EXPECT_NE(out.find("* Unit for AmaWatLay is (g)"), std::string::npos) << out;
  EXPECT_EQ(out.find("AmaWatLay_CMP"), std::string::npos) << out;
  ASSERT_NO_FATAL_FAILURE(hours(24));
  t_->run().output().flush();
  out = t_->dir().read("t.out");
  EXPECT_NE(out.find("AmaWatLay_CMP"), std::string::npos) << out;
  EXPECT_EQ(out.find("ConSysWatLay"), std::string::npos) << out;
}

TEST_F(SubstanceCycleTest, TasksThreeAndSixDoNothing) {
  ASSERT_NO_FATAL_FAILURE(start(cycleInput("1", "0.1")));
  cycle_->task(Task::TakeStored);
  cycle_->task(static_cast<Task>(6));
  EXPECT_NEAR(balance_->compound(1).AmaWatLay, 3.0, 1e-12);
  EXPECT_DOUBLE_EQ(balance_->compound(1).time, t_->run().clock().timStart());
}

}  // namespace
}  // namespace korvan
