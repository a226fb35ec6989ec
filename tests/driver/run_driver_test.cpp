#include "driver/run_driver.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/model_run.hpp"
#include "driver/modules.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;

// Modules that only note each call, in order.
class RecordingModules : public ModuleSet {
 public:
  explicit RecordingModules(korvan::Run& run) : run_(run) {}
  std::vector<std::string> calls;

  void readSedimentProfile() override { note("sed"); }
  void hydrology(Task t) override { note("hyd", t); }
  void writeHydrologyRecord() override { note("hydrec"); }
  void hydrologyTotals() override { note("hydtot"); }
  void closeLateralEntryFiles() override { note("closelat"); }
  void meteo(Task t) override { note("met", t); }
  double nextMeteoTime() override { return run_.clock().tim(); }  // a record every step
  void meteoTotals() override { note("mettot"); }
  void copyMeteoToWaterSystem() override { note("copymet"); }
  void temperature(Task t) override { note("tem", t); }
  double nextTemperatureTime() override { return run_.clock().tim(); }
  void temperatureTotals() override { note("temtot"); }
  void temperatureFile(Task t) override { note("temfile", t); }
  void substance(Task t) override { note("sub", t); }
  void substanceTotals() override { note("subtot"); }
  void massBalance(Task t) override { note("bal", t); }
  bool profileEventRaised() override { return profileEvent; }
  void pecWater(Task t) override { note("pecw", t); }
  void pecSediment(Task t) override { note("pecs", t); }
  std::vector<std::string> compoundNames() override { return {"CMP", "MET"}; }
  double flowVelocityLastSegment() override { return 0.01; }
  double massFirstCompoundWaterLayer() override { return 0.0025; }
  double massFirstCompoundSediment() override { return 0.0; }

  bool profileEvent = false;

 private:
  void note(const std::string& name) { calls.push_back(name); }
  void note(const std::string& name, Task t) {
    calls.push_back(name + std::to_string(static_cast<int>(t)));
  }
  korvan::Run& run_;
};

std::string driverInput(const std::string& edition, const std::string& optHyd,
                        const std::string& optTem, const std::string& optInp,
                        const std::string& extra = "") {
  return edition + " CallingProgram\n1.0 CallingProgramVersion\n01-Jan-1980 TimStart\n" +
         "02-Jan-1980 TimEnd\nDay OptDelTimPrn\nNo OptDelOutFiles\n" + optInp + " OptInp\n" +
         optHyd + " OptHyd\n" + optTem + " OptTem\ntable compounds\nCMP\nMET\nend_table\n" + extra;
}

struct DriverRun {
  explicit DriverRun(const std::string& input, bool profileEvent = false) : t(input) {
    t.setup();
    modules = std::make_unique<RecordingModules>(t.run());
    modules->profileEvent = profileEvent;
    RunDriver(t.run(), *modules).execute();
  }
  std::vector<std::string>& calls() { return modules->calls; }
  TestRun t;
  std::unique_ptr<RecordingModules> modules;
};

TEST(PassSelection, FollowsTheResolvedOptions) {
  using P = PassOption;
  struct Row {
    P hyd, tem;
    bool h, t, s;
  };
  const Row rows[] = {
      {P::OnLine, P::OnLine, true, true, true},
      {P::OnLine, P::Stationary, true, false, true},
      {P::OnLine, P::Only, true, true, false},
      {P::Stationary, P::OnLine, false, true, true},
      {P::Stationary, P::Stationary, false, false, true},
      {P::OffLine, P::Only, false, true, false},
      {P::Only, P::OnLine, true, false, false},
  };
  for (const Row& r : rows) {
    const PassSelection s = selectPasses(r.hyd, r.tem);
    EXPECT_EQ(s.hydrology, r.h) << int(r.hyd) << " " << int(r.tem);
    EXPECT_EQ(s.temperature, r.t) << int(r.hyd) << " " << int(r.tem);
    EXPECT_EQ(s.substance, r.s) << int(r.hyd) << " " << int(r.tem);
  }
}

TEST(RunDriver, HydrologyOnlyRunsTheWaterBalanceEveryStep) {
  DriverRun d(driverInput("ZRKORVAN", "Only", "OnLine", "Hourly"));
  int balance = 0, steps = 0;
  for (const auto& c : d.calls()) {
    balance += c == "bal10";
    steps += c == "hyd2";
    EXPECT_NE(c, "tem2");
    EXPECT_NE(c, "sub1");
  }
  EXPECT_EQ(steps, 48);
  EXPECT_EQ(balance, 48);
  EXPECT_TRUE(d.t.dir().exists("t.hyd"));
  d.t.finish();
}

TEST(RunDriver, DeletedOutputMeansNoPrintingButProgressGoesOn) {
  std::string input = driverInput("MERIXKORVAN", "OffLine", "OffLine", "Daily");
  input.replace(input.find("No OptDelOutFiles"), 17, "Yes OptDelOutFiles");
  DriverRun d(input);
  for (const auto& c : d.calls()) EXPECT_NE(c.back(), '4') << c;
  EXPECT_NE(d.t.console().find(" Mass balance simulated: 02-Jan-1980 ;"), std::string::npos);
  EXPECT_NE(d.t.console().find(" Mass balance simulated: 03-Jan-1980 ;"), std::string::npos);
  d.t.finish();
}

TEST(RunDriver, ProfileEventsWriteProfilesAfterThePrintAndProgressLinesOfTheSubstancePass) {
  DriverRun d(driverInput("MERIXKORVAN", "OffLine", "OffLine", "Daily"), true);
  EXPECT_EQ(std::count(d.calls().begin(), d.calls().end(), "sub7"), 2);
  const auto sub4 = std::find(d.calls().begin(), d.calls().end(), "sub4");
  EXPECT_EQ(*(sub4 + 2), "sub7");  // after met4
  const std::string console = d.t.console();
  EXPECT_NE(console.find(" The run ID is: t; substance(s): CMP, MET\n"), std::string::npos);
  // After the first of two days: 50 % done; 0.01 m/s is 864 m/d; 0.0025 g is 2.5 mg.
  EXPECT_NE(
      console.find(" Mass balance simulated: 02-Jan-1980 ;     Flow velocity       : "
                   "864.00 m/d\n"
                   " Done                  :     50.00 % ;     Mass in water layer : "
                   "2.50  mg\n"
                   " Calculation time step :       0.00s ;     Mass in sediment    : 0  mg\n"),
      std::string::npos)
      << console;
  d.t.finish();
}

TEST(ProgressDisplay, HydrologyAndTemperatureLines) {
  DriverRun d(driverInput("MERIXKORVAN", "OnLine", "Only", "Daily"));
  const std::string console = d.t.console();
  EXPECT_NE(console.find(" Hydrology simulated: 03-Jan-1980\n"), std::string::npos);
  EXPECT_NE(console.find(" Temperature simulated: 03-Jan-1980\n"), std::string::npos);
  EXPECT_EQ(console.find("Mass balance"), std::string::npos);
  d.t.finish();
}

}  // namespace
}  // namespace korvan
