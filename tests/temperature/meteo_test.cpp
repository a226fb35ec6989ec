#include "temperature/meteo.hpp"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "core/messages.hpp"
#include "driver/model_run.hpp"
#include "driver/modules.hpp"
#include "input/calendar.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;

constexpr double kPi = 3.141592653589793;
constexpr double kJan1980 = 29219.0;  // 01-Jan-1980 00:00

// The meteo records of an input file: station "Sta", a place at 52 N on the
// prime meridian in universal time, both heights 10 m, and radiation
// coefficients of the estimate.
std::string meteoInput(const std::string& resolution, const std::string& extra = "") {
  return "Sta MeteoStation\n" + resolution +
         " OptMetInp\n"
         "0 TimZone (-)\n"
         "52 LocLat (Degrees)\n"
         "0 LocLong (Degrees)\n"
         "10 MetLvlRef (m)\n"
         "10 MetLvlObs (m)\n"
         "1000 FacWatTur1 (W.m-2)\n"
         "-30 FacWatTur2 (W.m-2)\n"
         "-0.75 FacCldB1 (-)\n"
         "3.4 FacCldB2 (-)\n" +
         extra;
}

// The minimal input with another simulation period; the meteo records first,
// so that they count over any later record of the same keyword.
std::string periodInput(const std::string& start, const std::string& end,
                        const std::string& meteo) {
  std::string input = testing::minimalInput();
  input.replace(input.find("01-Jan-1980 TimStart"), 20, start + " TimStart");
  input.replace(input.find("31-Dec-1980 TimEnd"), 18, end + " TimEnd");
  return meteo + input;
}

// Consecutive records of a .met file from a date on: daily and hourly
// records "Sta year month day [hour] values", monthly "Sta year month values".
std::string metRecords(MetInput input, const calendar::DateRecord& first, int count,
                       const std::string& values) {
  std::string text;
  int year = static_cast<int>(first.year);
  int month = static_cast<int>(first.month);
  int day = static_cast<int>(first.day);
  int hour = 1;
  for (int i = 0; i < count; ++i) {
    text += "Sta " + std::to_string(year) + " " + std::to_string(month);
    if (input != MetInput::Monthly) text += " " + std::to_string(day);
    if (input == MetInput::Hourly) text += " " + std::to_string(hour);
    text += " " + values + "\n";
    if (input == MetInput::Hourly && ++hour <= 24) continue;
    hour = 1;
    if (input != MetInput::Monthly && ++day <= calendar::daysInMonth(month, year)) continue;
    day = 1;
    if (++month > 12) month = 1, ++year;
  }
  return text;
}

const std::string kHeader =
    "* Station Year Mo Dy Rad Tem Hum Cld Wnd Pre Prc Evp\n"
    "* (kJ.m-2) (C) (-) (-) (m.s-1) (kPa) (mm) (mm)\n";
// The values of an ordinary day: 100 W.m-2, 10 C, no rain.
const std::string kDay = "8640 10 0.8 0.5 3 100 0 0";
const std::string kMonthly = "Sta MeteoStation\nMonthly OptMetInp\n";

std::string daily(const calendar::DateRecord& first, int count, const std::string& values = kDay) {
  return metRecords(MetInput::Daily, first, count, values);
}
// The one record of 1 January 1980.
std::string firstDay(const std::string& values = kDay) {
  return daily({1980, 1, 1}, 1, values);
}

// The meteo records with one record replaced.
std::string meteoWith(const std::string& from, const std::string& to,
                      const std::string& resolution = "Daily") {
  std::string input = meteoInput(resolution);
  input.replace(input.find(from), from.size(), to);
  return input;
}

// A run set up on a simulation period (by default 1 January 1980) with the
// meteo records and a .met file, its clock read and stepping by the hour as
// in the temperature pass.
struct MeteoRun {
  explicit MeteoRun(const std::string& met, const std::string& meteo = meteoInput("Daily"),
                    const std::string& start = "01-Jan-1980",
                    const std::string& end = "01-Jan-1980", double step = kHour)
      : t(periodInput(start, end, meteo)) {
    t.dir().write("Sta.met", met);
    t.setup();
    t.run().clock().readSettings();
    t.run().clock().setTimeStep(step);
  }
  Meteo& meteo() { return t.run().meteo(); }
  SimClock& clock() { return t.run().clock(); }
  void initialise() { meteo().task(Task::Initialise); }
  std::vector<std::string> initialiseFatal() {
    return t.expectFatal([&] { initialise(); });
  }
  // n steps of the temperature pass: the next record when due, the sums,
  // the clock.
  void steps(int n) {
    for (int i = 0; i < n; ++i) {
      if (SimClock::timeReached(clock().tim(), meteo().nextRecordTime())) {
        meteo().task(Task::Step);
      }
      meteo().updateCumulatives();
      clock().advance();
    }
  }
  TestRun t;
};

// ---------------------------------------------------------------------------
// Records and units

TEST(MeteoRecords, MissingValuesAreFilledWithinTheToleranceOnly) {
  // Cloud cover -99.9 becomes 0.5 and air pressure -99.9 becomes 101325 Pa;
  // -99.9000000001 lies within 1e-9 of -99.9 and is missing as well.
  // -99.8 kJ.m-2 is not the missing value: -99.8 * 1000 / 86400 W.m-2.
  MeteoRun r(firstDay("-99.8 10 0.8 -99.9 3 -99.9000000001 0 0"));
  r.initialise();
  EXPECT_EQ(r.meteo().fraCldCov(), 0.5);
  EXPECT_EQ(r.meteo().preVapAir(), 101325.0);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), -99.8 * 1000.0 / 86400.0, 1e-12);
}

TEST(MeteoRecords, ParserRefusesWhatIsNotARecord) {
  EXPECT_FALSE(parseMeteoRecord("Sta 1980 2 29 1 2 3 4 5 6 7", MetInput::Daily));      // ends early
  EXPECT_FALSE(parseMeteoRecord("Sta 1981 2 29 1 2 3 4 5 6 7 8", MetInput::Daily));    // no 29 Feb
  EXPECT_FALSE(parseMeteoRecord("Sta 1980 2 1 0 1 2 3 4 5 6 7 8", MetInput::Hourly));  // hour 0
  EXPECT_FALSE(parseMeteoRecord("Sta 1980 2 1 NaN 2 3 4 5 6 7 8", MetInput::Daily));
  EXPECT_FALSE(parseMeteoRecord("Sta 1980.5 2 1 1 2 3 4 5 6 7 8", MetInput::Daily));
  EXPECT_FALSE(parseMeteoRecord("", MetInput::Monthly));
}

// ---------------------------------------------------------------------------
// Wind profile and radiation estimate

TEST(WeatherWindProfile, SpeedAtTheReferenceHeightOfTheInput) {
  EXPECT_EQ(windSpeedAtReference(3.7, 2.0, 2.0), 3.7);
  // Observed at 10 m, wanted at 2 m: 1 - ln(10/2)/ln(10/0.02) = 1 - 1.609438/6.214608
  // = 0.741023 = ln(2/0.02)/ln(10/0.02); 4 m.s-1 gives 2.964094 m.s-1.
  EXPECT_NEAR(windSpeedAtReference(4.0, 10.0, 2.0), 2.964094, 1e-6);
}

TEST(MeteoRadiationEstimate, AtNightTheNegativeEstimateIsUsedAsComputed) {
  // 1 Jan 1980 00:00 at 52 N, 0 E, universal time: J = 1,
  // declination = 0.409 cos(2 pi (1 - 172) / 365.25) = 0.409 x (-0.980071) = -0.400849;
  // hour angle = pi x 0 / 12 - 0 - pi = -pi, so S = -cos(phi + delta)
  // = -cos(0.907571 - 0.400849) = -0.874340 (the sun 61.0 degrees below the horizon).
  // R = (1000 S - 30) x (-0.75 x 0.5^3.4 + 1) = -904.340 x (1 - 0.75 x 0.094732)
  //   = -904.340 x 0.928951 = -840.087 W.m-2.
  MeteoRun r(firstDay("-99.9 10 0.8 0.5 3 100 0 0"));
  r.initialise();
  EXPECT_NEAR(r.meteo().sinSunElevation(kJan1980), -0.874340, 1e-6);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), -840.087, 1e-3);
}

// ---------------------------------------------------------------------------
// Solar geometry

TEST(SolarGeometry, ZenithStopsAtTheHorizonAtNight) {
  // Below the horizon the zenith angle is pi/2 and the refracted beam
  // asin(1 / 1.33) = 0.850909.
  EXPECT_EQ(solar::zenithAngle(-0.5), kPi / 2.0);
  EXPECT_NEAR(solar::refractionAngle(kPi / 2.0), 0.850909, 1e-6);
  // A sine a hair beyond 1 from rounding gives no NaN.
  EXPECT_EQ(solar::zenithAngle(1.0 + 1e-15), 0.0);
}

// ---------------------------------------------------------------------------
// The work file

TEST(MeteoWorkFile, CopiesTheRecordsOfTheSimulatedDaysOnly) {
  // TimEnd 29-Feb-1980 ends the simulation at 01-Mar-1980 00:00; the last simulated day,
  // the day before, is 29 February. Records before TimStart and after that day stay out;
  // header lines are skipped. TimEnd 31-Dec-1980: the copy ends with 31 December, not
  // 1 January 1981. Monthly, 15-Jan-1980 to 10-Mar-1980: January to March.
  const struct {
    const char* start;
    const char* end;
    std::string meteo;
    std::string met;
    std::string copy;
  } cases[] = {
      {"27-Feb-1980", "29-Feb-1980", meteoInput("Daily"), kHeader + daily({1980, 2, 25}, 10),
       daily({1980, 2, 27}, 3)},
      {"30-Dec-1980", "31-Dec-1980", meteoInput("Daily"), daily({1980, 12, 29}, 5),
       daily({1980, 12, 30}, 2)},
      {"15-Jan-1980", "10-Mar-1980", kMonthly,
       metRecords(MetInput::Monthly, {1979, 11, 1}, 8, "4.0"),
       "Sta 1980 1 4.0\nSta 1980 2 4.0\nSta 1980 3 4.0\n"},
  };
  for (const auto& c : cases) {
    MeteoRun r(c.met, c.meteo, c.start, c.end);
    r.initialise();
    EXPECT_EQ(r.t.dir().read("MeteoDat.tmp"), c.copy) << c.start;
  }
}

TEST(MeteoWorkFile, CommentAndBlankLinesBetweenRecordsStayOut) {
  std::string met = kHeader + "\n" + daily({1980, 1, 1}, 2);
  met.insert(met.rfind("Sta"), "* a comment between records\n   \t\n");
  MeteoRun r(met, meteoInput("Daily"), "01-Jan-1980", "02-Jan-1980");
  r.initialise();
  EXPECT_EQ(r.t.dir().lines("MeteoDat.tmp").size(), 2u);
}

// ---------------------------------------------------------------------------
// Next-record times, the cumulative sums and the restart

TEST(MeteoNextRecord, MonthlyRecordsLastTheDaysOfTheirMonth) {
  // From 1 Feb 1980 (leap year): the February record holds 29 days, the
  // March record 31.
  MeteoRun r("Sta 1980 2 1.0\nSta 1980 3 2.0\nSta 1980 4 3.0\n", kMonthly, "01-Feb-1980",
             "30-Apr-1980", 1.0);
  const double feb1 = calendar::timeOfDate({1980, 2, 1});
  r.initialise();
  EXPECT_EQ(r.meteo().nextRecordTime(), feb1 + 29.0);
  r.steps(29);
  EXPECT_NEAR(r.meteo().temAirRef(), 274.15, 1e-12);  // still February
  EXPECT_EQ(r.meteo().fleRadShoDow(), 0.0);           // monthly files carry no radiation
  r.steps(1);                                         // step of 1 March
  EXPECT_NEAR(r.meteo().temAirRef(), 275.15, 1e-12);
  EXPECT_EQ(r.meteo().nextRecordTime(), feb1 + 29.0 + 31.0);
}

TEST(MeteoRestart, TaskTwentyRereadsTheFirstRecordAndZeroesTheSums) {
  // Day 1: 100 W.m-2, day 2: 200 W.m-2; rain and evaporation on both days.
  MeteoRun r(firstDay("8640 10 0.8 0.5 3 100 8.64 1.728") +
                 daily({1980, 1, 2}, 1, "17280 20 0.8 0.5 3 100 8.64 1.728"),
             meteoInput("Daily"), "01-Jan-1980", "02-Jan-1980");
  r.initialise();
  r.steps(25);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 200.0, 1e-12);

  r.clock().resetToStart();
  r.meteo().task(Task::Reinitialise);
  EXPECT_EQ(r.meteo().cumFleRadShoDow(), 0.0);
  EXPECT_EQ(r.meteo().cumFlvLiqPrc(), 0.0);
  EXPECT_EQ(r.meteo().cumFlvLiqEvp(), 0.0);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 100.0, 1e-12);
  EXPECT_EQ(r.meteo().nextRecordTime(), kJan1980 + 1.0);
}

TEST(MeteoRestart, TaskTwentyWithoutTaskOneBuildsTheWorkFileNeverReadBeyondThePeriod) {
  // A pass that reuses the temperature file of an earlier run starts with
  // task 20: the weather is read as with task 1.
  MeteoRun r(firstDay());
  r.meteo().task(Task::Reinitialise);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 100.0, 1e-12);
  // A step more than the period has: the work file ends.
  EXPECT_EQ(r.t.expectFatal([&] { r.meteo().task(Task::Step); }),
            (std::vector<std::string>{"Error while reading file MeteoDat.tmp"}));
}

// ---------------------------------------------------------------------------
// Print-time output

TEST(MeteoPrint, CurrentValuesAndCumulativeSums) {
  const std::string prints =
      "g12.5 RealFormat\nDaysFromSta DateFormat\nYes PrintCumulatives\n"
      "Yes print_TemAirRef\nYes print_FleRadShoDow\nNo print_FraHumAirRef\nYes print_FraCldCov\n"
      "Yes print_VelWndRef\nNo print_PreVapAir\nYes print_FlvLiqPrc\nYes print_FlvLiqEvp\n";
  MeteoRun r(daily({1980, 1, 1}, 2, "8640 10 0.8 0.5 3 100 8.64 1.728"),
             meteoInput("Daily", prints), "01-Jan-1980", "02-Jan-1980");
  r.initialise();
  r.steps(24);
  r.meteo().task(Task::Print);
  r.t.run().output().flush();
  const std::string out = r.t.dir().read("t.out");
  EXPECT_EQ(out.find("FraHumAirRef"), std::string::npos);
  // 10 C; 100 W.m-2 for a day = 8.64e6 J.m-2; 8.64 mm in a day = 0.00864 m.
  for (const char* text :
       {"* Unit for TemAirRef is (C)\n", "* Unit for FleRadShoDow is (J.m-2)\n",
        "* Unit for FlvLiqPrc is (m)\n", "* Unit for FraCldCov is (-)\n",
        "TemAirRef   10.000    \n", "FleRadShoDow  0.86400E+07\n", "VelWndRef   3.0000    \n",
        "FlvLiqPrc  0.86400E-02\n", "FlvLiqEvp  0.17280E-02\n"}) {
    EXPECT_NE(out.find(text), std::string::npos) << text;
  }
}

// ---------------------------------------------------------------------------
// Parameters and fatal messages

TEST(MeteoParameters, ObservationHeightAtTheRoughnessLengthStopsTheRun) {
  // 0.02 m would make ln(MetLvlObs / 0.02) zero.
  MeteoRun r(firstDay(), "0.02 MetLvlObs (m)\n" + meteoInput("Daily"));
  const auto err = r.initialiseFatal();
  ASSERT_EQ(err.size(), 3u);
  EXPECT_EQ(err[0], "FATAL: value < minimum");
  EXPECT_EQ(err[2], "Variable name is: MetLvlObs");
}

TEST(MeteoFatal, WorkFileThatCannotBeOpened) {
  MeteoRun r(firstDay());
  // A folder in the place of the work file.
  std::filesystem::create_directories(r.t.dir().path() / "MeteoDat.tmp" / "inside");
  EXPECT_EQ(r.initialiseFatal(),
            (std::vector<std::string>{"Cannot open file MeteoDat.Tmp with status unknown"}));
}

TEST(MeteoFatal, FilesThatDoNotCoverThePeriodBreakOffOrHoldUnusableValues) {
  const std::string check = "Check simulation period and/or format file (with ";
  const std::string gaps = "Records must follow each other without gaps (with ";
  const std::string reading = "Error while reading file Sta.met";
  const std::string days = meteoInput("Daily");
  // Periods of one day and of five days.
  const char* one = "01-Jan-1980";
  const char* five = "05-Jan-1980";
  const struct {
    const char* end;
    std::string meteo;
    std::string met;
    std::vector<std::string> err;
  } cases[] = {
      // A file of header lines only ends inside the header.
      {one, days, kHeader, {reading}},
      // A file starting after TimStart.
      {one, kMonthly, "Sta 1980 2 1.0\n", {reading, check + "monthly meteo)"}},
      // 3 January missing.
      {five,
       days,
       daily({1980, 1, 1}, 2) + daily({1980, 1, 4}, 2),
       {reading, gaps + "daily meteo)", "Expected the record of 03-Jan-1980, found 04-Jan-1980"}},
      // Garbage in the middle of the period: line 3.
      {five,
       days,
       daily({1980, 1, 1}, 2) + std::string("\x01\xff\0garbage\n", 11),
       {reading, check + "daily meteo)", "Line 3: ???garbage"}},
      // A missing humidity makes the seventh root of the emissivity of the air undefined.
      {one,
       days,
       firstDay("8640 10 -99.9 0.5 3 100 0 0"),
       {reading, "Missing value (-99.9) of the relative humidity in the record of 01-Jan-1980",
        "Only global radiation, cloud cover and air pressure may be missing"}},
      // A clear sky (cover 0) raised to FacCldB2 = -1 is infinite.
      {one,
       meteoWith("3.4 FacCldB2", "-1 FacCldB2"),
       firstDay("-99.9 10 0.8 0 3 100 0 0"),
       {"Estimated global radiation is not a finite number in the record of 01-Jan-1980",
        "Cloud cover 0.00000E+00 raised to FacCldB2 = -1.0000 is not defined"}},
  };
  for (const auto& c : cases) {
    MeteoRun r(c.met, c.meteo, "01-Jan-1980", c.end);
    EXPECT_EQ(r.initialiseFatal(), c.err) << c.met;
  }
}

TEST(MeteoWarnings, FieldDataOutsideTheUsualRangeIsUsedAsItStands) {
  // Three days; the second and third day carry the excursion, counted once.
  const struct {
    const char* values;
    const char* line1;
    const char* line2;
  } cases[] = {
      {"8640 10 1.02 0.5 3 100 0 0", "Relative humidity above 1", "1.0200"},
      {"8640 -99.9 0.8 0.5 3 100 0 0", "Missing value (-99.9) of the air temperature", "-99.900"},
      {"8640 10 0.8 1.1 3 100 0 0", "Cloud cover outside 0 to 1", "1.1000"},
      {"8640 10 0.8 -0.1 3 100 0 0", "Cloud cover outside 0 to 1", "-0.10000"},
      {"8640 10 0.8 0.5 -0.2 100 0 0", "Wind speed below 0", "-0.20000"},
      {"8640 10 0.8 0.5 -99.9 100 0 0", "Missing value (-99.9) of the wind speed", "-99.900"},
      {"8640 10 0.8 0.5 3 100 -0.1 0", "Precipitation below 0", "-0.10000"},
      {"8640 10 0.8 0.5 3 100 -99.9 0", "Missing value (-99.9) of the precipitation", "-99.900"},
      {"8640 10 0.8 0.5 3 100 0 -99.9", "Missing value (-99.9) of the evaporation", "-99.900"},
      {"8640 10 0.8 0.5 3 -5 0 0", "Air pressure below 0 kPa", "-5.0000"},
  };
  for (const auto& c : cases) {
    MeteoRun r(firstDay() + daily({1980, 1, 2}, 2, c.values), meteoInput("Daily"), "01-Jan-1980",
               "03-Jan-1980");
    r.initialise();
    EXPECT_EQ(
        r.t.run().messages().record().lines,
        (std::array<std::string, 3>{std::string(c.line1) + " in 2 records of file Sta.met",
                                    std::string("First in the record of 02-Jan-1980: ") + c.line2,
                                    "The values are used as they stand"}))
        << c.values;
  }
}

TEST(MeteoWarnings, RadiationCoefficientsOutsideTheirUsualRange) {
  // Each coefficient just outside its usual range warns and is used; the
  // estimate stays finite for a cover of 0.5.
  const struct {
    const char* from;
    const char* to;
    const char* line1;
    const char* line2;
  } cases[] = {
      {"1000 FacWatTur1", "2500 FacWatTur1",
       "Value of FacWatTur1 above the usual maximum of 2000.0", "Input was: 2500.0"},
      {"-30 FacWatTur2", "-1200 FacWatTur2",
       "Value of FacWatTur2 below the usual minimum of -1000.0", "Input was: -1200.0"},
      {"-0.75 FacCldB1", "-1.2 FacCldB1", "Value of FacCldB1 below the usual minimum of -1.0000",
       "Input was: -1.2000"},
      {"-0.75 FacCldB1", "0.1 FacCldB1", "Value of FacCldB1 above the usual maximum of 0.00000E+00",
       "Input was: 0.10000"},
      {"3.4 FacCldB2", "-0.5 FacCldB2", "Value of FacCldB2 below the usual minimum of 0.00000E+00",
       "Input was: -0.50000"},
      {"3.4 FacCldB2", "12 FacCldB2", "Value of FacCldB2 above the usual maximum of 10.000",
       "Input was: 12.000"},
  };
  for (const auto& c : cases) {
    MeteoRun r(firstDay("-99.9 10 0.8 0.5 3 100 0 0"), meteoWith(c.from, c.to));
    r.initialise();
    EXPECT_EQ(r.t.run().messages().record().lines,
              (std::array<std::string, 3>{c.line1, c.line2, "The run goes on with this value"}))
        << c.to;
  }
}

}  // namespace
}  // namespace korvan
