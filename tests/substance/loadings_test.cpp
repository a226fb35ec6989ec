#include "substance/loadings.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "core/messages.hpp"
#include "driver/modules.hpp"
#include "hydrology/hydrology.hpp"
#include "input/sim_clock.hpp"
#include "substance/compounds_test_input.hpp"

namespace korvan {
namespace {

using compound_test::compoundRecords;
using compound_test::Lines;
using testing::minimalInput;
using testing::TestRun;

// Ten segments of 10 m, 1.2 m wide with vertical banks, constant flow; one
// compound CMP. The ZR edition reads the six-column WaterBody table.
std::string loadingInput(const std::string& extra, const std::string& edition = "MERIXKORVAN",
                         const std::string& optLoa = "DriftOnly",
                         const std::string& compound = "") {
  const bool six = edition == "ZRKORVAN" || edition == "BRAXKORVAN";
  std::string input =
      minimalInput("table compounds\nCMP\nend_table\n" + compound +
                   "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys DepWatDefPer" +
                   (six ? " DepWatSysBot" : "") + "\n(m) (-) (m) (-) (m)" + (six ? " (m)" : "") +
                   "\n100 10 1.2 0.0 0.1" + (six ? " 0.0" : "") +
                   "\nend_table\nDitch WaterbodyID\nAll OptOutputDistances\n"
                   "Constant OptFloWat\nConstant OptWaterSystemType\n864 VelWatFlwBas (m.d-1)\n"
                   "0.5 DepWat (m)\n" +
                   optLoa + " OptLoa\n" + compound_test::kNoHydrologyPrintSwitches + extra);
  input.replace(0, std::string("MERIXKORVAN").size(), edition);
  return input;
}

std::string loadingsTable(const std::string& rows) {
  return "table Loadings\n" + rows + "end_table\n";
}

// Hourly clock at TimStart with daily prints, and the initial hydrology.
ModelRun& prepare(TestRun& t) {
  t.setup();
  SimClock& c = t.run().clock();
  c.readSettings();
  c.setTimeStep(kHour);
  c.resetToStart();
  c.resetPrintTime();
  t.run().hydrology().task(Task::Initialise);
  return t.run();
}

// One hourly outer step: the loading step at the end of the step, then the
// clock moves on as the run driver moves it.
void hourStep(TestRun& t, Loadings& l) {
  SimClock& c = t.run().clock();
  c.setSubSteps(1, 3600.0);
  c.resetSubTime();
  c.advanceSubTime();
  l.step();
  c.advance();
  if (SimClock::timeReached(c.tim(), c.timPrn())) c.setNextPrintTime();
}

std::vector<std::string> fatalOf(
    const std::string& input, const std::function<void(TestRun&, Loadings&)>& action =
                                  [](TestRun&, Loadings& l) { l.initialise(); }) {
  TestRun t(input);
  Loadings l(prepare(t));
  return t.expectFatal([&] { action(t, l); });
}

// --- Stretch and distribution -------------------------------------------------

TEST(LoadingStretch, DriftEventLoadsOnlyTheCoveredSegments) {
  // Uniform width 1.2 m: each of the covered segments gets 0.01 x 1.2 =
  // 0.012 g.m-1; a stretch may end at the length of the water body.
  const struct {
    const char* row;
    int first, last;
  } cases[] = {{"01-Jan-1980-02h00 10 500 20 50\n", 3, 5},
               {"01-Jan-1980-02h00 10 500 90 100\n", 10, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    TestRun t(loadingInput(loadingsTable(c.row)));
    Loadings l(prepare(t));
    l.initialise();
    l.distribute();
    for (int h = 0; h < 2; ++h) hourStep(t, l);
    ASSERT_TRUE(l.loadingRaised());
    EXPECT_TRUE(l.loadingSolveRaised());
    l.distribute();
    for (int i = 1; i <= 10; ++i) {
      EXPECT_NEAR(l.loaWatLay(i, 1), (i >= c.first && i <= c.last) ? 0.012 : 0.0, 1e-15) << i;
    }
    EXPECT_NEAR(l.cumAreicLoading(), 10.0, 1e-12);
    EXPECT_EQ(l.numApplications(), 1);
  }
}

// --- Intervals between applications ---------------------------------------------

TEST(LoadingInterval, TwoEventsTwentyThreeHoursApartRejectedInZROnly) {
  const std::string rows =
      loadingsTable("01-Jan-1980-01h00 10 500 0 100\n02-Jan-1980-00h00 10 500 0 100\n");
  auto run23 = [](TestRun& t, Loadings& l) {
    for (int h = 0; h < 24; ++h) hourStep(t, l);
  };
  EXPECT_EQ(fatalOf(loadingInput(rows + "10 XCrpWatSysTop (m)\n", "ZRKORVAN"), run23),
            (std::vector<std::string>{"Time interval between applications < 24 h",
                                      "Event number (row) = 2"}));
  TestRun t(loadingInput(rows));
  Loadings l(prepare(t));
  run23(t, l);
  EXPECT_EQ(l.numApplications(), 2);
  EXPECT_FALSE(l.depositionRaised());  // never outside the ZR edition
}

// --- Atmospheric deposition ---------------------------------------------------

TEST(AtmosphericDeposition, VapourPressureAtTwentyDegreesItsClassAndTheClassRates) {
  // At the reference temperature of 20 C the vapour pressure is PreVapRef itself.
  EXPECT_EQ(preVap20(1e-4, 95000.0, 293.15), 1e-4);
  EXPECT_EQ(depositionClass(1e-4), DepositionClass::Moderate);
  EXPECT_EQ(depositionClass(std::nextafter(1e-4, 0.0)), DepositionClass::Low);
  EXPECT_EQ(depositionClass(0.01), DepositionClass::Volatile);
  // Measured at 25 C: exp(-(95000 / 8.31432) (1 / 293.15 - 1 / 298.15)) of it at 20 C.
  EXPECT_NEAR(preVap20(1e-4, 95000.0, 298.15), 5.201462126327924e-05, 1e-17);
  // Every class limit belongs to the class above it.
  const std::vector<std::pair<double, DepositionClass>> limits = {
      {1e-5, DepositionClass::Low},
      {std::nextafter(1e-5, 0.0), DepositionClass::None},
      {0.005, DepositionClass::High},
      {std::nextafter(0.005, 0.0), DepositionClass::Moderate},
      {std::nextafter(0.01, 0.0), DepositionClass::High}};
  for (const auto& [p20, expected] : limits) EXPECT_EQ(depositionClass(p20), expected) << p20;
  // 50 mg.m-2 at X = 10.6 m (factor exp(-0.05446 x 9.6)); the first class
  // scaled by 0.5, the volatile one 20 % within the day (mg.m-2.s-1).
  const std::vector<std::pair<DepositionClass, double>> rates = {
      {DepositionClass::None, 0.0},
      {DepositionClass::Low, 1.526722721305527e-07},
      {DepositionClass::Moderate, 7.582151042888123e-07},
      {DepositionClass::High, 5.334952430629426e-06},
      {DepositionClass::Volatile, 1.1574074074074075e-04}};
  for (const auto& [c, rate] : rates) {
    EXPECT_NEAR(depositionRate(c, 50.0, 0.5, 10.6, 0.2), rate, 1e-14 * rate) << static_cast<int>(c);
  }
}

// --- Profile events -------------------------------------------------------------

TEST(ProfileEvent, OptionFourRaisesTheFlagOnceInTheStepReachingAPrintTime) {
  // Prints at midnight: 01-Jan-1980-05h00 is no print time and raises no
  // flag; 02-Jan-1980 is reached in hour 23.
  const std::pair<const char*, int> cases[] = {{"01-Jan-1980-05h00 0 0 0 100 4\n", -1},
                                               {"02-Jan-1980 0 0 0 100 4\n", 23}};
  for (const auto& [row, hour] : cases) {
    SCOPED_TRACE(row);
    TestRun t(loadingInput(loadingsTable(row)));
    Loadings l(prepare(t));
    int raised = 0;
    for (int h = 0; h < 30; ++h) {
      hourStep(t, l);
      EXPECT_FALSE(l.loadingRaised()) << h;
      if (l.profileRaised()) {
        ++raised;
        EXPECT_EQ(h, hour);
        l.clearProfile();
      }
    }
    EXPECT_EQ(raised, hour < 0 ? 0 : 1);
    EXPECT_EQ(l.numApplications(), 0);
  }
}

// --- Messages of the event table -------------------------------------------------

TEST(LoadingTableMessages, ReadingErrors) {
  EXPECT_EQ(fatalOf(loadingInput(loadingsTable("01-Feb-1980 10 500 0 100\n"
                                               "01-Mar-1980 1 x 0 100\n"))),
            (std::vector<std::string>{
                "Spray  drift loading chosen - format must be: Date Loading Dosage Startdis Enddis",
                "Fatal while reading table Loadings", "Last row read is 2"}));
  EXPECT_EQ(fatalOf(loadingInput(loadingsTable("01-Mar-1980 10 500 0 100 drift\n"))),
            (std::vector<std::string>{"Illegal event found in row 1"}));
}

TEST(LoadingTableMessages, HorizontalProfiles) {
  const std::string rows = loadingsTable("01-Mar-1980 10 500 0 100\n");
  EXPECT_EQ(fatalOf(loadingInput(rows + "table HorizontalProfiles\nP1\n\nend_table\n")),
            (std::vector<std::string>{"Fatal while reading table HorizontalProfiles",
                                      "Last row read is 2"}));
  EXPECT_EQ(fatalOf(loadingInput(rows + "table HorizontalProfiles\nP1 P2\nend_table\n")),
            (std::vector<std::string>{"Number of words in HorizontalProfiles table must be one"}));
  TestRun t(loadingInput(rows + "table HorizontalProfiles\nUpstream\nDownstream\nend_table\n"));
  Loadings l(prepare(t));
  l.getEvtTable();
  EXPECT_EQ(l.horizontalProfiles(), (std::vector<std::string>{"Upstream", "Downstream"}));
}

TEST(LoadingTableMessages, ChecksOfEveryRow) {
  auto check = [](const std::string& row, const std::string& message) {
    EXPECT_EQ(fatalOf(loadingInput(loadingsTable("01-Mar-1980 10 500 0 100\n" + row))),
              (std::vector<std::string>{message, "Event number (row) = 2"}))
        << row;
  };
  check("02-Mar-1980 10 500 -5 100\n", "Distance to stretch of loadings in table Events < 0");
  check("02-Mar-1980 10 500 40 30\n",
        "Distance to end of stretch of loadings in table Events < 40.000");
}

// The event table in the log, and evtfil.tmp with every event as read.
TEST(EventFile, EventTableInTheLogAndEveryEventAsRead) {
  TestRun t(
      loadingInput(loadingsTable("15-May-1980-09h00 12.5 500 0 100\n"
                                 "20-May-1980 0 0 10 20 4 0.5\n")));
  Loadings l(prepare(t));
  l.initialise();
  const Lines log = compound_test::logOf(t);
  const int at = compound_test::findLine(log, "Event table :");
  ASSERT_GE(at, 0);
  EXPECT_EQ(log[static_cast<std::size_t>(at + 1)],
            "* Appl.No  Date/Hour              Mass (g ai.ha-1)    Areic mean deposition (mg.m-2)");
  EXPECT_EQ(log[static_cast<std::size_t>(at + 2)],
            "        1  15-May-1980-09h00               500.000                         12.500000");
  EXPECT_EQ(t.dir().lines("evtfil.tmp"),
            (std::vector<std::string>{
                "* Date/Hour        Loading(mg.m-2)  StartDis(m)    EndDis(m) Option   "
                "Dosage(g.ha-1)        Factor(-)",
                "15-May-1980-09h00     1.250000E+01        0.000      100.000      1     "
                "5.000000E+02     1.000000E+00",
                "20-May-1980           0.000000E+00       10.000       20.000      4     "
                "0.000000E+00     5.000000E-01"}));
}

// --- Events in the header of a field-model file ------------------------------------

const std::string kSulkaSoil = "table Soil\nfield.s2k\nend_table\n";

TEST(HeaderEvents, MessagesNameTheFileType) {
  auto fatal = [](const std::string& header) {
    TestRun t(loadingInput(kSulkaSoil, "MERIXKORVAN", "SULKA"));
    t.dir().write("field.s2k", "*   Compound : CMP\n" + header + "01-Jan-1980-01h00 0 0\n");
    Loadings l(prepare(t));
    return t.expectFatal([&] { l.initialise(); });
  };
  EXPECT_EQ(fatal("*  NumApp 2\n*  01-Jan-1980-02h00  10  500  20  50\n"),
            (std::vector<std::string>{
                "Spray  drift loading chosen - format must be: Date Loading Dosage Start distance "
                "End distance (in header of *.s2k file)",
                "Fatal while reading header of field.s2k", "Last row read is 2"}));
  EXPECT_EQ(fatal("*  NumApp 1\n*  01-Jan-1982  10  500  20  50\n"),
            (std::vector<std::string>{
                "Date of loading is not in simulation period (in header of *.s2k file)",
                "Last row read is 1"}));
}

TEST(LoadingPrint, AmountsAsRatesOverThePrintInterval) {
  // 10 mg.m-2 of drift and 500 g ai.ha-1 on the field at 02h00: over the
  // first day 0.01 g.m-2.d-1 reaches the water and 0.05 g.m-2.d-1 the field.
  TestRun t(loadingInput(loadingsTable("01-Jan-1980-02h00 10 500 20 50\n") +
                         "e10.3 RealFormat\nDaysFromSta DateFormat\nNo PrintCumulatives\n"
                         "No print_AmaLoaWatLay\nYes print_AmaLoaDrfWatLay\n"
                         "No print_AmaLoaAtmDepWatLay\nYes print_AmaAppSol\nNo print_FlmDra\n"
                         "No print_FlmRnf\nNo print_FlmErs\n"));
  Loadings l(prepare(t));
  l.initialise();
  for (int h = 0; h < 24; ++h) hourStep(t, l);
  l.print(t.run().clock().tim());
  t.run().output().flush();
  const auto out = t.dir().lines("t.out");
  const std::vector<std::string> last(out.end() - 4, out.end());
  EXPECT_EQ(last, (std::vector<std::string>{
                      "* Unit for AmaLoaDrfWatLay is (g.m-2.d-1)",
                      "    0.500  01-Jan-1980-12h00      AmaLoaDrfWatLay  0.100E-01",
                      "* Unit for AmaAppSol is (g.m-2.d-1)",
                      "    0.500  01-Jan-1980-12h00            AmaAppSol  0.500E-01"}));
}

}  // namespace
}  // namespace korvan
