#include "hydrology/hydrology.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "hydrology/channel_messages.hpp"
#include "hydrology/hydrology_test_support.hpp"
#include "hydrology/representative_channel.hpp"
#include "input/sim_clock.hpp"

namespace korvan {
namespace {

using testing::DriverRun;
using testing::joined;
using testing::merixPond;
using testing::merixWaterCourse;
using testing::orlanPond;
using testing::runInput;
using testing::TestRun;
using testing::zrReach;
using Lines = std::vector<std::string>;
using Records = std::vector<std::pair<std::string, std::string>>;

// The input with the values of records replaced.
std::string withRecords(std::string input, const Records& records) {
  for (const auto& [keyword, value] : records) {
    const std::size_t at = input.find(" " + keyword);
    EXPECT_NE(at, std::string::npos) << keyword;
    if (at == std::string::npos) continue;
    const std::size_t start = input.rfind('\n', at) + 1;
    input.replace(start, at - start, value);
  }
  return input;
}

std::string withRecord(const std::string& input, const std::string& keyword,
                       const std::string& value) {
  return withRecords(input, {{keyword, value}});
}

// A SULKA file of hourly drainage records (mm.h-1) and its Soil table.
std::string sulkaFile(const std::vector<double>& fluxes) {
  std::string text = "* SULKA drainage of a test field\n* Date  Drain(mm.h-1)  Conc\n";
  for (std::size_t k = 0; k < fluxes.size(); ++k) {
    const std::size_t hour = k % 24;
    text += "01-Jan-1980-" + std::string(hour < 10 ? "0" : "") + std::to_string(hour) + "h00 " +
            formatLayout("(f8.3)", {fluxes[k]}) + " 0.0\n";
  }
  return text;
}

// A QUIB file of a dry day: hourly records without runoff or erosion.
std::string dryQuibFile() {
  std::string text = "* QUIB runoff of a test field\n";
  for (int k = 0; k < 24; ++k) text += "01-Jan-1980-01h00 0.0 0 0 0 0.0\n";
  return text;
}

std::string sulka(const std::string& input) {
  return withRecord(input, "OptLoa", "SULKA") + "table Soil\nfield.s2k\nend_table\n";
}

// One day of the MERIX water course, the hydrology option and further records as given.
std::string waterCourseRun(const std::string& extra = "",
                           const std::string& body = "100 10 1.0 0.0 0.1",
                           const std::string& optHyd = "Only") {
  return runInput("MERIXKORVAN", "01-Jan-1980", optHyd, merixWaterCourse(extra, body));
}

// The representative channel of merixWaterCourse().
RepresentativeChannel testChannel() {
  // (widBot, sloSid, sloBot, len, widCre, hgtCre, cofRghRef, cofVelHea)
  return {1.0, 0.01, 0.001, 1000.0, 0.4, 0.3, 30.0, 1.1};
}

double balance(const WaterVolumes& v) {
  return v.initial + v.upstreamInflow + v.lateralInflow - v.outflow + v.precipitation -
         v.evaporation - v.seepage;
}

// Starts the hydrology of a run that is set up, to be stepped by hand hour by hour.
Hydrology& initialiseByHand(TestRun& t) {
  t.run().clock().readSettings();
  t.run().clock().setTimeStep(kHour);
  t.run().units().create(Unit::Hydrology, "t.hyd");
  t.run().hydrology().task(Task::Initialise);
  return t.run().hydrology();
}

void copyHydrologyFile(DriverRun& from, DriverRun& to) {
  std::filesystem::copy_file(from.t.dir().path() / "t.hyd", to.t.dir().path() / "t.hyd");
}

// --- Time step ---------------------------------------------------------------

TEST(HydrologyTimeStep, SubStepCountIsTruncatedNotRounded) {
  // (1/24) / (60/86400) = 59.99999999999999 in double precision: 59 steps.
  struct Case {
    std::string input;
    double timeStep, timStpHyd;
    int subSteps;
  };
  const std::vector<Case> cases = {
      {withRecord(waterCourseRun(), "TimStpHyd", "60"), kHour, 60.0, 59},
      {runInput("ORLANKORVAN", "01-Jan-1980", "Only", orlanPond()), kHour, 3600.0, 1},
  };
  for (const Case& c : cases) {
    TestRun t(c.input);
    t.setup();
    t.run().clock().setTimeStep(c.timeStep);
    EXPECT_EQ(t.run().hydrology().timStpHyd(), c.timStpHyd);
    EXPECT_EQ(t.run().hydrology().numSubStepsHyd(), c.subSteps);
    t.finish();
  }
}

// --- Constant flow -----------------------------------------------------------

const std::string kConstantFlow = testing::waterBody("100 10 2.0 0.5 0.1") +
                                  "Constant OptFloWat\n-864 VelWatFlwBas (m.d-1)\n0.5 DepWat (m)\n";

TEST(HydrologyConstantFlow, NegativeVelocityGivesNegativeDischargesWithoutAHydrologyFile) {
  // A = 2 x 0.5 + 0.5 x 0.25 = 1.125 m2, v = -864 / 86400 = -0.01 m.s-1:
  // Q = -0.01125 m3.s-1 at every node, in every step.
  DriverRun d(runInput("MERIXKORVAN", "01-Jan-1980", "Only", kConstantFlow));
  d.execute();
  ASSERT_EQ(d.modules.written.size(), 25u);
  for (const auto& s : d.modules.written) {
    for (double q : s.qBou) EXPECT_NEAR(q, -0.01125, 1e-15);
    for (double h : s.depWat) EXPECT_EQ(h, 0.5);
  }
  EXPECT_EQ(d.hydrology().velWatFlw(10), -0.01);
  // Constant flow is rebuilt from the input in every pass: no records, and
  // later passes need no hydrology file.
  EXPECT_EQ(d.t.dir().read("t.hyd"), "");
  d.t.finish();
  DriverRun later(runInput("MERIXKORVAN", "01-Jan-1980", "OffLine", kConstantFlow));
  later.execute();
  ASSERT_EQ(later.modules.taken.size(), 25u);
  EXPECT_NEAR(later.modules.taken.back().qBou[0], -0.01125, 1e-15);
  later.t.finish();
}

// --- Water course under a representative channel ---------------------------

// --- Hydrology file written and read back ------------------------------------

// A run whose hydrology pass writes the file and whose substance pass reads it back.
struct ReadBackCase {
  std::string what, input;
  std::function<void(const Lines&)> file;  // checks of the file's lines
};

TEST(HydrologyFileReadBack, LongAndOrlanWaterCourseRecordsReadBackTheStatesComputed) {
  const std::vector<ReadBackCase> cases = {
      {"120 segments", waterCourseRun("", "120 120 1.0 0.0 0.1", "OnLine"),
       [](const Lines& lines) {
         // Two header lines, 25 records of two lines each: 99 values, then the
         // other 121 + 1 - 99 = 23.
         ASSERT_EQ(lines.size(), 2u + 25 * 2);
         EXPECT_EQ(lines[2].size(), 9u + 1 + 17 + 1 + 99 * 13);
         EXPECT_EQ(lines[3].size(), 23u * 13);
         EXPECT_EQ(lines[4].substr(0, 9), "    0.042");
       }},
      // The Orlan water course: QBou(0..10), the depth and FlwWatSpg (0 outside
      // the pond), all in g12.4, in every record.
      {"Orlan water course", runInput("ORLANKORVAN", "01-Jan-1980", "OnLine", merixWaterCourse()),
       [](const Lines& lines) {
         ASSERT_EQ(lines.size(), 2u + 25);
         for (std::size_t k = 2; k < lines.size(); ++k) {
           EXPECT_EQ(lines[k].size(), 28u + 13 * 13) << k;
           EXPECT_EQ(lines[k].substr(28 + 12 * 13), "   0.0000E+00") << k;
         }
       }},
  };
  for (const ReadBackCase& c : cases) {
    SCOPED_TRACE(c.what);
    DriverRun d(c.input);
    d.execute();
    const auto& written = d.modules.written;
    ASSERT_EQ(written.size(), 25u);
    ASSERT_EQ(d.modules.taken.size(), 25u);
    for (std::size_t k = 0; k < written.size(); ++k) {
      expectSameState(written[k], d.modules.taken[k], 5e-4, std::to_string(k));
    }
    c.file(d.t.dir().lines("t.hyd"));
    d.t.finish();
  }
}

TEST(HydrologyFileReadBack, SubStepIncrementsOfTheStepReadBack) {
  // Drainage in the hour before the last: depth and discharges change over
  // the last step read back (its depth is that of the start of its step),
  // and the solver's increments are a quarter of the change.
  DriverRun d(withRecord(sulka(waterCourseRun("", "100 10 1.0 0.0 0.1", "OnLine")),
                         "AreaUpStrRepCha", "0.5"));
  std::vector<double> fluxes(24, 0.0);
  fluxes[22] = 3.6;
  d.t.dir().write("field.s2k", sulkaFile(fluxes));
  d.execute();
  Hydrology& h = d.hydrology();
  ASSERT_NE(h.qBou(10), h.qBouPrevious(10));
  ASSERT_NE(h.depWat(3), h.depWatPrevious(3));
  h.prepareSubSteps(4);
  for (int i = 0; i <= 10; ++i) {
    EXPECT_DOUBLE_EQ(h.delQBou(i), (h.qBou(i) - h.qBouPrevious(i)) / 4.0) << i;
  }
  for (int i = 1; i <= 10; ++i) {
    EXPECT_DOUBLE_EQ(h.delDepWat(i), (h.depWat(i) - h.depWatPrevious(i)) / 4.0) << i;
  }
  EXPECT_DOUBLE_EQ(h.areaPrevious(3), h.depWatPrevious(3));  // 1 m wide, vertical banks
  d.t.finish();
}

TEST(HydrologyFileReadBack, FileLongerThanTheSimulationIsReadUpToItsEnd) {
  DriverRun longer(runInput("MERIXKORVAN", "02-Jan-1980", "Only", merixPond()));
  longer.execute();
  longer.t.finish();
  DriverRun oneDay(runInput("MERIXKORVAN", "01-Jan-1980", "OffLine", merixPond()));
  copyHydrologyFile(longer, oneDay);
  oneDay.execute();
  EXPECT_EQ(oneDay.modules.taken.size(), 25u);
  EXPECT_EQ(oneDay.t.finish(), 0);
}

TEST(HydrologyFileReadBack, StationaryRunKeepsTheInitialStateWithoutAFile) {
  DriverRun s(runInput("MERIXKORVAN", "01-Jan-1980", "Stationary", merixPond()));
  s.execute();
  ASSERT_EQ(s.modules.taken.size(), 25u);
  EXPECT_NEAR(s.modules.taken.back().qBou[1], 0.0005, 1e-15);
  s.t.finish();
}

// --- Reach ending at a weir (ZR, BRAX) ---------------------------------------

TEST(HydrologyWeirReach, DepthDroppingBelowTheCrestStopsTheRun) {
  // A reach of 10 m with a 10 m crest: the first hour raises the level by
  // 3600 x 0.1157 / 10 = 41.7 m, and the next hour's crest discharge would
  // drain far more than that.
  DriverRun d(
      withRecords(runInput("ZRKORVAN", "01-Jan-1980", "Only", zrReach("", "10 1 1.0 0.0 0.1 0.0")),
                  {{"DstWeiWatCrs", "0"},
                   {"WidCreWatCrs", "10"},
                   {"QBasWatCrsInp", "10000"},
                   {"TimStpHyd", "3600"}}));
  EXPECT_EQ(d.t.expectFatal([&] { d.execute(); }),
            (Lines{" Calculated water depth lower then height of weir",
                   " Numerical solution becomes unstable, take smaller time step for "
                   "hydrology (DelTimHyd)"}));
  // The first step completed; the second stopped.
  EXPECT_EQ(d.modules.steps, 1);
}

// --- Ponds -------------------------------------------------------------------

TEST(HydrologyPond, MerixPondWithoutInflowRestsAtItsCrest) {
  DriverRun dry(runInput("MERIXKORVAN", "01-Jan-1980", "Only", merixPond("0")));
  dry.execute();
  for (const auto& s : dry.modules.written) {
    EXPECT_EQ(s.qBou[1], 0.0);
    EXPECT_EQ(s.depWat[0], 0.5);
  }
  dry.t.finish();
}

TEST(HydrologyPond, MerixPondBalanceClosesWhileDrainageFillsIt) {
  // SULKA drainage of the 1 ha catchment: 3.6 mm.h-1 (1e-6 m.s-1) brings
  // 36 m3 an hour into the 200 m2 pond, which rises and spills. Six hourly
  // records of 3.6 mm.h-1, ramped in and out over the sub-steps of the
  // steps before and after (5/12 and 7/12 of an hour), make 6 x 36 m3.
  DriverRun d(sulka(runInput("MERIXKORVAN", "01-Jan-1980", "Only", merixPond())));
  std::vector<double> fluxes(24, 0.0);
  for (int k = 2; k < 8; ++k) fluxes[k] = 3.6;
  d.t.dir().write("field.s2k", sulkaFile(fluxes));
  d.execute();
  const Hydrology& h = d.hydrology();
  const WaterVolumes& v = h.waterVolumes();
  EXPECT_NEAR(v.lateralInflow, 216.0, 1e-9);
  EXPECT_GT(v.outflow, v.upstreamInflow);
  // Vertical banks: the explicit storage update is exact in volume.
  EXPECT_NEAR(h.waterVolume(), balance(v), 1e-9 * h.waterVolume());
  d.t.finish();
}

// An Orlan pond stepped by hand with rain and evaporation.
struct OrlanPondRun {
  OrlanPondRun() : t(runInput("ORLANKORVAN", "03-Jan-1980", "Only", orlanPond())) {
    t.setup();
    initialiseByHand(t).writeRecord();
  }
  Hydrology& hyd() { return t.run().hydrology(); }
  void step(double prc, double evp) {
    hyd().setPrecipitationEvaporation(prc, evp);
    hyd().task(Task::Step);
    t.run().clock().advance();
    hyd().writeRecord();
  }
  TestRun t;
};

TEST(HydrologyPond, OrlanPondBalanceWithRainEvaporationAndSeepageAndItsFile) {
  OrlanPondRun r;
  Hydrology& h = r.hyd();
  EXPECT_EQ(h.depWat(1), 1.0);
  // Seepage at 1 m: 0.01 d-1 x (1 - 0.5) m = 0.005 m.d-1.
  EXPECT_NEAR(h.flwWatSpg() * 86400.0, 0.005, 1e-15);
  r.step(1e-6, 2e-8);
  r.t.run().units().file(Unit::Hydrology).flush();
  const auto lines = r.t.dir().lines("t.hyd");
  ASSERT_EQ(lines.size(), 3u);  // one header line, two records
  // Base inflow 0.0005 m3.s-1, no outflow; the weather of the step. Each
  // value takes a blank and 12 characters after the 28 of time and date.
  EXPECT_EQ(lines[2].substr(0, 28 + 2 * 13),
            "    0.042 01-Jan-1980-01h00    0.5000E-03   0.0000E+00");
  EXPECT_EQ(lines[2].substr(28 + 4 * 13), "   0.1000E-05   0.2000E-07");
  for (int k = 1; k < 48; ++k) r.step(k < 12 ? 2e-6 : 0.0, 5e-8);
  // Rain of 3.6 mm.h-1 for 1 h and 7.2 mm.h-1 for 11 h, the base inflow of
  // 0.0005 m3.s-1 over 200 m2 (9 mm.h-1) and no outlet: the pond rises.
  EXPECT_GT(h.depWat(1), 1.4);
  EXPECT_EQ(h.qBou(1), 0.0);
  const WaterVolumes& v = h.waterVolumes();
  EXPECT_NEAR(v.precipitation, (1e-6 + 11 * 2e-6) * 3600 * 200.0, 1e-9);
  EXPECT_NEAR(v.evaporation, (2e-8 + 47 * 5e-8) * 3600 * 200.0, 1e-9);
  EXPECT_GT(v.seepage, 0.0);
  EXPECT_EQ(v.outflow, 0.0);
  EXPECT_NEAR(h.waterVolume(), balance(v), 1e-9 * h.waterVolume());
  // The seepage of the last step, from the depth at its start.
  EXPECT_GT(h.flwWatSpg(), 0.005 / 86400.0);
  r.t.finish();
}

// --- Sediment widths and seepage ---------------------------------------------

const std::string kSediment = testing::kSedimentProfile;

const std::string kQuibSoil = "table Soil\nfield.q2k\nend_table\n0.5 RatInfDir (-)\n";

TEST(HydrologySediment, WidthsSeepageAndErosionCrossSectionOfTheLayers) {
  // b = 1, s = 0, d = 0.1: W(z) = 1 - 2 z + 2 (0.1 - z) = 1.2 - 4 z; layers
  // of 0.015625 m. FlwWatSpg 0.00864 m3.m-2.d-1 = 1e-7 m.s-1 everywhere.
  // QUIB: ThiLayErs 0.03125 m takes two layers of 0.015625 m, centred at
  // -0.0078125 and -0.0234375 m: 0.015625 x (1.23125 + 1.29375) = 0.039453125 m2.
  DriverRun d(withRecord(waterCourseRun(kSediment + kQuibSoil +
                                        "5 WidFldErs (m)\n0.03125 ThiLayErs (m)\n"
                                        "0.00864 FlwWatSpg (m3.m-2.d-1)\n"),
                         "OptLoa", "QUIB"),
              /*readSediment=*/true);
  d.t.dir().write("field.q2k", dryQuibFile());
  d.execute();
  Hydrology& h = d.hydrology();
  EXPECT_DOUBLE_EQ(h.widSedInterface(0), 1.2);
  EXPECT_DOUBLE_EQ(h.widSedInterface(4), 1.45);
  EXPECT_DOUBLE_EQ(h.widSedLayer(1), 1.23125);
  EXPECT_NEAR(h.areaSedErs(), 0.039453125, 1e-15);
  h.computeSeepage();
  for (int j = 0; j <= 4; ++j) EXPECT_DOUBLE_EQ(h.flwWatSpgSed(j), 1e-7);
  d.t.finish();
}

// --- Every other way the hydrology stops a run ------------------------------

struct StopCase {
  std::string what, input, err;             // the lines of the message, joined
  std::string fileName = "", content = "";  // a field-model file, if any
};

TEST(HydrologyMessages, EveryStopOfTheHydrologyHasItsMessage) {
  // No discharge at all: the search for the uniform depth goes down through the bottom.
  const UniformDepth negative = findUniformDepth(testChannel(), 0.0, 0.3);
  ASSERT_EQ(negative.status, UniformDepth::Status::NegativeDepth);
  // 10000 m3.d-1 down a channel 0.6 m wide on a slope of 1 % with K = 100:
  // uniform depth about 0.16 m, Fr about 0.95.
  const RepresentativeChannel steep{0.6, 0.0, 0.01, 1000.0, 0.05, 0.1, 100.0, 1.1};
  const double qSteep = 10000.0 / 86400.0;
  const double hSteep = findUniformDepth(steep, qSteep, weirDepth(steep, qSteep)).depth;
  const double froude = qSteep / (0.6 * hSteep) / std::sqrt(9.81 * hSteep);
  ASSERT_GT(froude, 0.9);
  // 0.01 m3.d-1 over a crest 1 cm high and 0.45 m wide: the uniform depth
  // is below 1 cm (K = 0.01 there) and the curve falls below 1 cm on its
  // way down from the weir.
  RepresentativeChannel low = testChannel();
  low.hgtCre = 0.01;
  low.widCre = 0.45;
  const double qLow = 0.01 / 86400.0;
  const double hw = weirDepth(low, qLow);
  std::vector<BackwaterPoint> points;
  const BackwaterCurve shallow =
      computeBackwaterCurve(low, qLow, hw, findUniformDepth(low, qLow, hw).depth, points);
  ASSERT_EQ(shallow.status, BackwaterCurve::Status::DepthBelowCentimetre);
  // Drainage in the channel's catchment only, from 0 to 36 mm.h-1 over the
  // second hour: the channel deepens in every sub-step of it, the last one
  // included, and the water body, fed by nothing, would have to flow backwards.
  std::vector<double> upstream(24, 36.0);
  upstream[0] = 0.0;
  // A pond at its crest height of 0.5 m under an exchanging depth of 0.6 m.
  std::string deepPond = merixPond("0");
  deepPond.replace(deepPond.find("20 1 10 0.0 0.1"), 15, "20 1 10 0.0 0.6");
  const std::string fr = "Froude number is larger than 0.9: flow is supercritical\n";
  const std::vector<StopCase> cases = {
      // 0.6 + 0.5 >= 1.0 + 2 x 0.3 x 0.01
      {"crest too wide", withRecord(waterCourseRun(), "WidCreRepCha", "0.6"),
       "Dimensions representative channel not correct\n"
       "Width of the crest + 0.50 m is larger than channel width at crest height"},
      // A level channel carries nothing at any depth.
      {"no convergence", withRecord(waterCourseRun(), "SloBotRepCha", "0"),
       " No convergency reached in calculation of uniform flow depth\n"
       " Maximum number of 500 iterations for solving Chezy-Manning eqn exceeded"},
      {"negative depth", withRecord(waterCourseRun(), "QBasRepCha", "0"),
       " Negative flow depth for representative channel\n Calculated flow depth is " +
           formatLayout("(f9.2)", {negative.depth}) + "m and the number of iterations is" +
           formatLayout("(i3)", {std::int64_t{negative.iterations}})},
      {"supercritical channel",
       withRecords(waterCourseRun(), {{"QBasRepCha", "10000"},
                                      {"WidBotRepCha", "0.6"},
                                      {"SloSidRepCha", "0"},
                                      {"WidCreRepCha", "0.05"},
                                      {"HgtCreRepCha", "0.1"},
                                      {"SloBotRepCha", "0.01"},
                                      {"CofRghRef", "100"}}),
       fr + "At time     0.000  Froude number = " + formatLayout("(f6.3)", {froude})},
      {"curve below 1 cm",
       withRecords(waterCourseRun(),
                   {{"QBasRepCha", "0.01"}, {"HgtCreRepCha", "0.01"}, {"WidCreRepCha", "0.45"}}),
       " Uniform flow depth reached in backwatercurve is below 1 cm \n Uniform flow depth is: " +
           formatLayout("(f9.5)", {shallow.depth}) + " m at " +
           formatLayout("(f7.2)", {shallow.distance}) + " m from weir"},
      // A high crest on a slope of 0.5 %: 100 m of water body upstream of the
      // weir lose about 0.5 m of depth, more than 0.002 x 100 m.
      {"depth not constant",
       withRecords(waterCourseRun(),
                   {{"LenRepCha", "100"}, {"HgtCreRepCha", "1.0"}, {"SloBotRepCha", "0.005"}}),
       "Assumption of constant water depth is violated\n"
       "Difference in water depth between upstream and downstream end\n"
       "of watercourse > 2% of length of watercourse"},
      {"flow upstream",
       withRecords(sulka(waterCourseRun()),
                   {{"QBasWatCrsInp", "0"}, {"WidFldDra", "0"}, {"AreaUpStrRepCha", "1"}}),
       "Direction of water flow erroneous; water flows in upstream direction", "field.s2k",
       sulkaFile(upstream)},
      {"pond erosion area",
       withRecord(runInput("MERIXKORVAN", "01-Jan-1980", "Only", merixPond()), "AreaErsSurPndInp",
                  "2"),
       " Area contributing erosion fluxes,  2.0 ha\n"
       " exceeds area contributing runoff fluxes,  1.0 ha"},
      {"erosion strip",
       withRecord(waterCourseRun(kQuibSoil + "20 WidFldErs (m)\n"), "OptLoa", "QUIB"),
       " Width field contributing erosion fluxes,  20.0 m\n"
       " exceeds width field contributing runoff fluxes,  10.0 m",
       "field.q2k", dryQuibFile()},
      {"below exchanging depth", runInput("MERIXKORVAN", "01-Jan-1980", "Only", deepPond),
       "Water depth  0.500 m in waterbody < depth defining the\n"
       "exchanging perimeter of  0.600 m\nAdjust depth exchanging perimeter"},
      {"pond of two segments",
       runInput("ORLANKORVAN", "01-Jan-1980", "Only", orlanPond("20 2 10 0.0 0.1")),
       "A pond is one segment: NumSeg in table WaterBody must be 1"},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.what);
    DriverRun d(c.input);
    if (!c.fileName.empty()) d.t.dir().write(c.fileName, c.content);
    EXPECT_EQ(joined(d.t.expectFatal([&] { d.execute(); })), c.err);
  }
}

TEST(HydrologyMessages, SupercriticalFlowInTheWaterBody) {
  // 10000 m3.d-1 through a water body 0.1 m wide at the channel's depth.
  DriverRun d(withRecord(waterCourseRun("", "100 10 0.1 0.0 0.1"), "QBasWatCrsInp", "10000"));
  const auto err = d.t.expectFatal([&] { d.execute(); });
  const Hydrology& h = d.hydrology();
  const double froude = froudeNumber(h.velWatFlw(1), h.area(1), h.surfaceWidth(1));
  ASSERT_GT(froude, 0.9);
  EXPECT_EQ(err, (Lines{"Froude number is larger than 0.9: flow is supercritical",
                        "At time     0.000  Froude number = " + formatLayout("(f6.3)", {froude})}));
}

TEST(HydrologyMessages, BackwaterDistanceStepInTheWrongDirection) {
  // A weir never holds the water below the critical depth of the channel,
  // so a real water course cannot reach this stop; a supercritical chute
  // shows the message.
  const RepresentativeChannel c{1.0, 0.0, 0.5, 100.0, 0.4, 0.1, 100.0, 1.1};
  std::vector<BackwaterPoint> points;
  const BackwaterCurve r = computeBackwaterCurve(c, 1.0, 0.2, 0.1, points);
  EXPECT_EQ(r.status, BackwaterCurve::Status::DistanceStepTooSmall);
  TestRun t(testing::minimalInput());
  t.setup();
  const auto err = t.expectFatal([&] { checkBackwaterCurve(t.run().messages(), r); });
  EXPECT_EQ(err, (Lines{" Distance from weir not calculated correctly ",
                        " Error in direct step calculation method"}));
}

}  // namespace
}  // namespace korvan
