#include "temperature/meteo.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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
// The values of an ordinary day and hour: 100 W.m-2, 10 C or 5 C, no rain.
const std::string kDay = "8640 10 0.8 0.5 3 100 0 0";
const std::string kHourValues = "0 5 0.9 0.2 2 100 0 0";
const std::string kMonthly = "Sta MeteoStation\nMonthly OptMetInp\n";

std::string daily(const calendar::DateRecord& first, int count, const std::string& values = kDay) {
  return metRecords(MetInput::Daily, first, count, values);
}
// The one record of 1 January 1980.
std::string firstDay(const std::string& values = kDay) {
  return daily({1980, 1, 1}, 1, values);
}
std::string hourly(const calendar::DateRecord& first, int count) {
  return metRecords(MetInput::Hourly, first, count, kHourValues);
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

TEST(MeteoRecords, DailyValuesAreConvertedToSiUnits) {
  // 8640 kJ.m-2 per day = 8.64e6 J / 86400 s = 100 W.m-2; 10 C = 283.15 K;
  // 101.0 kPa = 101000 Pa; 8.64 mm per day = 8.64e-3 m / 86400 s = 1e-7 m.s-1;
  // 1.728 mm per day = 2e-8 m.s-1.
  MeteoRun r(kHeader + daily({1980, 1, 1}, 3, "8640 10 0.8 0.6 3 101.0 8.64 1.728"),
             meteoInput("Daily"), "01-Jan-1980", "02-Jan-1980");
  r.initialise();
  const Meteo& m = r.meteo();
  EXPECT_NEAR(m.fleRadShoDow(), 100.0, 1e-12);
  EXPECT_NEAR(m.temAirRef(), 283.15, 1e-12);
  EXPECT_EQ(m.fraHumAirRef(), 0.8);
  EXPECT_EQ(m.fraCldCov(), 0.6);
  EXPECT_EQ(m.fraCldCovMidLow(), 1.0);
  EXPECT_EQ(m.velWndObs(), 3.0);
  EXPECT_EQ(m.velWndRef(), 3.0);  // MetLvlObs = MetLvlRef: ln(1) = 0
  EXPECT_NEAR(m.preVapAir(), 101000.0, 1e-9);
  EXPECT_NEAR(m.flvLiqPrc(), 1e-7, 1e-20);
  EXPECT_NEAR(m.flvLiqEvp(), 2e-8, 1e-20);
  EXPECT_EQ(r.meteo().meteoStation(), "Sta");
  EXPECT_EQ(r.meteo().optMetInp(), MetInput::Daily);
}

TEST(MeteoRecords, HourlyRadiationPerHourBecomesWattPerSquareMetre) {
  // 1000 kJ.m-2 in an hour = 1e6 J / 3600 s = 277.78 W.m-2; 3.6 mm in an hour
  // = 3.6e-3 m / 3600 s = 1e-6 m.s-1.
  MeteoRun r(metRecords(MetInput::Hourly, {1980, 1, 1}, 24, "1000 5 0.9 0.2 2 100 3.6 0.36"),
             meteoInput("Hourly"));
  r.initialise();
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 277.7777777777778, 1e-9);
  EXPECT_NEAR(r.meteo().flvLiqPrc(), 1e-6, 1e-18);
  EXPECT_NEAR(r.meteo().flvLiqEvp(), 1e-7, 1e-18);
}

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

TEST(MeteoRecords, MonthlyFilesCarryOnlyTheAirTemperature) {
  // 3.5 C = 276.65 K; nothing else is read, so no height is needed.
  MeteoRun r(metRecords(MetInput::Monthly, {1980, 1, 1}, 2, "3.5"), kMonthly, "01-Jan-1980",
             "31-Jan-1980");
  r.initialise();
  EXPECT_NEAR(r.meteo().temAirRef(), 276.65, 1e-12);
  EXPECT_EQ(r.meteo().fleRadShoDow(), 0.0);
}

TEST(MeteoRecords, ParserReadsTheLayoutsAndRefusesWhatIsNotANumber) {
  const auto daily = parseMeteoRecord("Sta 1980 2 29 1 2 3 4 5 6 7 8", MetInput::Daily);
  ASSERT_TRUE(daily);
  EXPECT_EQ(daily->day, 29);
  EXPECT_EQ(daily->values[7], 8.0);
  const auto hourly = parseMeteoRecord("Sta,1980,2,29,24,1,2,3,4,5,6,7,8", MetInput::Hourly);
  ASSERT_TRUE(hourly);
  EXPECT_EQ(hourly->hour, 24);
  const auto monthly = parseMeteoRecord("\tSta\t1980\t2\t-1.5D0", MetInput::Monthly);
  ASSERT_TRUE(monthly);
  EXPECT_EQ(monthly->values[1], -1.5);
  EXPECT_FALSE(parseMeteoRecord("Sta 1980 2 29 1 2 3 4 5 6 7", MetInput::Daily));      // ends early
  EXPECT_FALSE(parseMeteoRecord("Sta 1981 2 29 1 2 3 4 5 6 7 8", MetInput::Daily));    // no 29 Feb
  EXPECT_FALSE(parseMeteoRecord("Sta 1980 2 1 0 1 2 3 4 5 6 7 8", MetInput::Hourly));  // hour 0
  EXPECT_FALSE(parseMeteoRecord("Sta 1980 2 1 x 2 3 4 5 6 7 8", MetInput::Daily));
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
  MeteoRun r(firstDay("8640 10 0.8 0.5 4 100 0 0"), "2 MetLvlRef (m)\n" + meteoInput("Daily"));
  r.initialise();
  EXPECT_EQ(r.meteo().velWndObs(), 4.0);
  EXPECT_NEAR(r.meteo().velWndRef(), 2.964094, 1e-6);
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
  EXPECT_NEAR(estimatedRadiation(-0.874340, 0.5, 1000, -30, -0.75, 3.4), -840.087, 1e-3);
}

// ---------------------------------------------------------------------------
// Solar geometry

TEST(SolarGeometry, MidsummerNoonAtFiftyTwoNorth) {
  // 21 Jun 1980 is day 173 of the leap year (31+29+31+30+31+21).
  // Declination = 0.409 cos(2 pi / 365.25) = 0.409 x 0.999852 = 0.408939.
  // At 12:00 universal time on the prime meridian the hour angle is
  // pi x 12/12 - 0 - pi = 0, so S = cos(phi - delta) = cos(0.907571 - 0.408939)
  // = cos(0.498632) = 0.878238: the sun 61.43 degrees high (90 - 52 + 23.43).
  // Zenith = pi/2 - asin(S) = 0.498632; refraction = asin(sin(0.498632) / 1.33)
  // = asin(0.478225 / 1.33) = asin(0.359568) = 0.367804.
  EXPECT_NEAR(solar::declination(173), 0.408939, 1e-6);
  EXPECT_EQ(solar::hourAngle(12.0, 0.0, 0.0), 0.0);
  MeteoRun r(daily({1980, 6, 21}, 1), meteoInput("Daily"), "21-Jun-1980", "21-Jun-1980");
  const double noon = calendar::timeOfDate({1980, 6, 21}) + 0.5;
  EXPECT_EQ(calendar::dayOfYear(noon), 173);
  EXPECT_NEAR(r.meteo().sinSunElevation(noon), 0.878238, 1e-6);
  EXPECT_NEAR(r.meteo().zenithAngle(noon), 0.498632, 1e-6);
  EXPECT_NEAR(r.meteo().refractionAngle(noon), 0.367804, 1e-6);
  EXPECT_NEAR(r.meteo().locLat(), 52.0 * kPi / 180.0, 1e-15);
}

TEST(SolarGeometry, WinterMorningWithTimeZoneAndLongitude) {
  // 1 Jan 1980 10:00 local time, TimZone 1, LocLong 5 degrees, LocLat 52:
  // hour angle = pi (10 - 1) / 12 - 5 pi/180 - pi = 135 - 5 - 180 = -50 degrees.
  // S = sin(-0.400849) sin(52) + cos(-0.400849) cos(52) cos(-50)
  //   = -0.390200 x 0.788011 + 0.920730 x 0.615661 x 0.642788 = -0.307482 + 0.364369
  //   = 0.056887.
  // Zenith = pi/2 - asin(0.056887) = 1.513878; refraction = asin(0.998381 / 1.33) = 0.849064.
  EXPECT_NEAR(solar::hourAngle(10.0, 1.0, 5.0 * kPi / 180.0), -50.0 * kPi / 180.0, 1e-12);
  // Before 01:00 local time the universal hour is taken 24 h on: same cosine.
  EXPECT_NEAR(solar::hourAngle(0.5, 1.0, 0.0), kPi * 23.5 / 12.0 - kPi, 1e-12);
  MeteoRun r(firstDay(), "1 TimZone (-)\n5 LocLong (Degrees)\n" + meteoInput("Daily"));
  const double morning = kJan1980 + 10.0 / 24.0;
  EXPECT_NEAR(r.meteo().sinSunElevation(morning), 0.056887, 1e-6);
  EXPECT_NEAR(r.meteo().zenithAngle(morning), 1.513878, 1e-6);
  EXPECT_NEAR(r.meteo().refractionAngle(morning), 0.849064, 1e-6);
  EXPECT_EQ(r.meteo().timZone(), 1.0);
}

TEST(SolarGeometry, ZenithStopsAtTheHorizonAtNight) {
  // Below the horizon the zenith angle is pi/2 and the refracted beam
  // asin(1 / 1.33) = 0.850909.
  EXPECT_EQ(solar::zenithAngle(-0.5), kPi / 2.0);
  EXPECT_NEAR(solar::refractionAngle(kPi / 2.0), 0.850909, 1e-6);
  EXPECT_EQ(solar::zenithAngle(1.0), 0.0);
  // A sine a hair beyond 1 from rounding gives no NaN.
  EXPECT_EQ(solar::zenithAngle(1.0 + 1e-15), 0.0);
}

// ---------------------------------------------------------------------------
// The work file

TEST(MeteoWorkFile, CopiesTheRecordsOfTheSimulatedDaysOnly) {
  // TimEnd 29-Feb-1980 ends the simulation at 01-Mar-1980 00:00; the last simulated day,
  // the day before, is 29 February. Records before TimStart and after that day stay out;
  // header lines are skipped. TimEnd 31-Dec-1980: the copy ends with 31 December, not
  // 1 January 1981. Hourly: two simulated days of a file of three, 48 records, the last
  // of 2 January hour 24. Monthly, 15-Jan-1980 to 10-Mar-1980: January to March.
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
      {"01-Jan-1980", "02-Jan-1980", meteoInput("Hourly"), kHeader + hourly({1980, 1, 1}, 72),
       hourly({1980, 1, 1}, 48)},
      {"15-Jan-1980", "10-Mar-1980", kMonthly,
       metRecords(MetInput::Monthly, {1979, 11, 1}, 8, "4.0"),
       "Sta 1980 1 4.0\nSta 1980 2 4.0\nSta 1980 3 4.0\n"},
  };
  for (const auto& c : cases) {
    MeteoRun r(c.met, c.meteo, c.start, c.end);
    r.initialise();
    EXPECT_EQ(r.t.dir().read("MeteoDat.tmp"), c.copy) << c.start;
    r.t.finish();
    EXPECT_FALSE(r.t.dir().exists("MeteoDat.tmp"));  // deleted at a normal end
  }
  MeteoRun r(firstDay(), meteoInput("Daily"), "27-Feb-1980", "29-Feb-1980");
  EXPECT_EQ(r.clock().timEnd(), calendar::timeOfDate({1980, 3, 1}));
}

TEST(MeteoWorkFile, WindowsLineEndsTabsAndCommentsReadLikeAPlainFile) {
  std::string met =
      "\xEF\xBB\xBF" + kHeader + "\n" + daily({1980, 1, 1}, 2, "8640\t10\t0.8\t0.5\t3\t100\t0\t0");
  met.insert(met.rfind("Sta"), "* a comment between records\n   \t\n");
  std::string crlf;
  for (char c : met) crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  MeteoRun r(crlf, meteoInput("Daily"), "01-Jan-1980", "02-Jan-1980");
  r.initialise();
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 100.0, 1e-12);
  EXPECT_EQ(r.t.dir().lines("MeteoDat.tmp").size(), 2u);
  r.steps(24);
  EXPECT_NEAR(r.meteo().temAirRef(), 283.15, 1e-12);
}

TEST(MeteoWorkFile, FileNameIsMatchedWithoutRegardToCase) {
  MeteoRun r("");
  std::filesystem::remove(r.t.dir().path() / "Sta.met");
  r.t.dir().write("STA.MET", firstDay());
  r.initialise();
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 100.0, 1e-12);
}

// ---------------------------------------------------------------------------
// Next-record times, the cumulative sums and the restart

TEST(MeteoNextRecord, DailyRecordsFollowEachDay) {
  // The second record (20 C) is read at the start of 2 January, after 24
  // hourly steps.
  MeteoRun r(firstDay() + daily({1980, 1, 2}, 1, "8640 20 0.8 0.5 3 100 0 0"), meteoInput("Daily"),
             "01-Jan-1980", "02-Jan-1980");
  EXPECT_TRUE(std::isnan(r.meteo().nextRecordTime()));
  r.initialise();
  EXPECT_EQ(r.meteo().nextRecordTime(), kJan1980 + 1.0);
  r.steps(23);
  EXPECT_NEAR(r.meteo().temAirRef(), 283.15, 1e-12);
  r.steps(2);
  EXPECT_NEAR(r.meteo().temAirRef(), 293.15, 1e-12);
  EXPECT_EQ(r.meteo().nextRecordTime(), kJan1980 + 2.0);
}

TEST(MeteoNextRecord, HourlyRecordsFollowEachHour) {
  std::string met;
  for (int h = 1; h <= 24; ++h) {
    met += "Sta 1980 1 1 " + std::to_string(h) + " 0 " + std::to_string(h) + " 0.9 0.2 2 100 0 0\n";
  }
  MeteoRun r(met, meteoInput("Hourly"));
  r.initialise();
  EXPECT_EQ(r.meteo().nextRecordTime(), kJan1980 + kHour);
  r.steps(5);  // records of hours 1 to 5 read; the fifth at 04:00
  EXPECT_NEAR(r.meteo().temAirRef(), 273.15 + 5.0, 1e-12);
  EXPECT_NEAR(r.meteo().nextRecordTime(), kJan1980 + 5.0 * kHour, 1e-9);
  r.steps(19);  // the last record, hour 24, holds from 23:00
  EXPECT_NEAR(r.meteo().temAirRef(), 273.15 + 24.0, 1e-12);
  EXPECT_NEAR(r.meteo().nextRecordTime(), kJan1980 + 1.0, 1e-9);
}

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
  r.steps(1);                                         // step of 1 March
  EXPECT_NEAR(r.meteo().temAirRef(), 275.15, 1e-12);
  EXPECT_EQ(r.meteo().nextRecordTime(), feb1 + 29.0 + 31.0);
}

TEST(MeteoRestart, TaskTwentyRereadsTheFirstRecordAndZeroesTheSums) {
  // Day 1: 100 W.m-2 and 8.64 mm/d = 1e-7 m.s-1; day 2: 200 W.m-2.
  // After 24 hourly steps: sum of radiation = 24 x 100 x 1/24 = 100 W.m-2.d
  // (x 86400 = 8.64e6 J.m-2); of precipitation 1e-7 m.s-1.d (x 86400 = 8.64e-3 m).
  MeteoRun r(firstDay("8640 10 0.8 0.5 3 100 8.64 0") +
                 daily({1980, 1, 2}, 1, "17280 20 0.8 0.5 3 100 0 0"),
             meteoInput("Daily"), "01-Jan-1980", "02-Jan-1980");
  r.initialise();
  r.steps(24);
  EXPECT_NEAR(r.meteo().cumFleRadShoDow(), 100.0, 1e-9);
  EXPECT_NEAR(r.meteo().cumFlvLiqPrc(), 1e-7, 1e-18);
  r.steps(1);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 200.0, 1e-12);

  r.clock().resetToStart();
  r.meteo().task(Task::Reinitialise);
  EXPECT_EQ(r.meteo().cumFleRadShoDow(), 0.0);
  EXPECT_EQ(r.meteo().cumFlvLiqPrc(), 0.0);
  EXPECT_EQ(r.meteo().cumFlvLiqEvp(), 0.0);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 100.0, 1e-12);
  EXPECT_EQ(r.meteo().nextRecordTime(), kJan1980 + 1.0);
  r.steps(25);
  EXPECT_NEAR(r.meteo().temAirRef(), 293.15, 1e-12);
}

TEST(MeteoRestart, TaskTwentyWithoutTaskOneBuildsTheWorkFileNeverReadBeyondThePeriod) {
  // A pass that reuses the temperature file of an earlier run starts with
  // task 20: the weather is read as with task 1.
  MeteoRun r(firstDay());
  r.meteo().task(Task::Reinitialise);
  EXPECT_NEAR(r.meteo().fleRadShoDow(), 100.0, 1e-12);
  EXPECT_TRUE(r.t.dir().exists("MeteoDat.tmp"));
  // A step more than the period has: the work file ends.
  EXPECT_EQ(r.t.expectFatal([&] { r.meteo().task(Task::Step); }),
            (std::vector<std::string>{"Error while reading file MeteoDat.tmp"}));
}

// ---------------------------------------------------------------------------
// Print-time output

TEST(MeteoPrint, CurrentValuesAndCumulativeSums) {
  const std::string prints =
      "g12.5 RealFormat\nDaysFromSta DateFormat\nYes PrintCumulatives\n"
      "Yes print_TemAirRef\nYes print_FleRadShoDow\nNo print_FraHumAirRef\nNo print_FraCldCov\n"
      "Yes print_VelWndRef\nNo print_PreVapAir\nYes print_FlvLiqPrc\nNo print_FlvLiqEvp\n";
  MeteoRun r(daily({1980, 1, 1}, 2, "8640 10 0.8 0.5 3 100 8.64 0"), meteoInput("Daily", prints),
             "01-Jan-1980", "02-Jan-1980");
  r.initialise();
  r.steps(24);
  r.meteo().task(Task::Print);
  r.t.run().output().flush();
  const std::string out = r.t.dir().read("t.out");
  EXPECT_EQ(out.find("FraHumAirRef"), std::string::npos);
  // 10 C; 100 W.m-2 for a day = 8.64e6 J.m-2; 8.64 mm in a day = 0.00864 m.
  for (const char* text :
       {"* Unit for TemAirRef is (C)\n", "* Unit for FleRadShoDow is (J.m-2)\n",
        "* Unit for FlvLiqPrc is (m)\n", "TemAirRef   10.000    \n", "FleRadShoDow  0.86400E+07\n",
        "VelWndRef   3.0000    \n", "FlvLiqPrc  0.86400E-02\n"}) {
    EXPECT_NE(out.find(text), std::string::npos) << text;
  }
}

// ---------------------------------------------------------------------------
// Parameters and fatal messages

TEST(MeteoParameters, BoundsAndUnitsAreChecked) {
  // 0.02 m would make ln(MetLvlObs / 0.02) zero.
  const struct {
    const char* record;
    std::function<void(Meteo&)> read;
    std::vector<std::string> first;
    const char* name;
  } cases[] = {
      {"95 LocLat (Degrees)\n", [](Meteo& m) { m.locLat(); }, {"FATAL: value > maximum"}, "LocLat"},
      {"0.02 MetLvlObs (m)\n",
       [](Meteo& m) { m.task(Task::Initialise); },
       {"FATAL: value < minimum"},
       "MetLvlObs"},
      {"5 TimZone (h)\n",
       [](Meteo& m) { m.timZone(); },
       {"Dimension for TimZone should be (-)"},
       nullptr},
  };
  for (const auto& c : cases) {
    MeteoRun r(firstDay(), c.record + meteoInput("Daily"));
    auto err = r.t.expectFatal([&] { c.read(r.meteo()); });
    if (c.name != nullptr) {
      ASSERT_EQ(err.size(), 3u) << c.record;
      EXPECT_EQ(err[2], std::string("Variable name is: ") + c.name);
      err.resize(1);
    }
    EXPECT_EQ(err, c.first) << c.record;
  }
}

TEST(MeteoFatal, MissingFileAndWorkFileThatCannotBeOpened) {
  MeteoRun missing("");
  std::filesystem::remove(missing.t.dir().path() / "Sta.met");
  EXPECT_EQ(missing.initialiseFatal(),
            (std::vector<std::string>{"Cannot find file Sta.met with status old"}));
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
  const std::string noEnd = "Error end of simulation period not in file Sta.met";
  const std::string days = meteoInput("Daily");
  const std::string hours = meteoInput("Hourly");
  // Periods of one day and of five days.
  const char* one = "01-Jan-1980";
  const char* five = "05-Jan-1980";
  const struct {
    const char* end;
    std::string meteo;
    std::string met;
    std::vector<std::string> err;
  } cases[] = {
      // An empty file, and a file of header lines only, end inside the header.
      {one, days, "", {reading}},
      {one, days, kHeader, {reading}},
      // Files starting after TimStart.
      {five, days, daily({1980, 1, 2}, 5), {reading, check + "daily meteo)"}},
      {one, hours, hourly({1979, 12, 30}, 24), {reading, check + "hourly meteo)"}},
      {one, kMonthly, "Sta 1980 2 1.0\n", {reading, check + "monthly meteo)"}},
      // Unreadable records while searching the start: a daily record that ends early,
      // and one with a text in a number field.
      {one, days, "Sta 1979 12 31 8640 10 0.8\n" + firstDay(), {reading, check + "daily meteo)"}},
      {one,
       days,
       "Sta 1979 12 31 x" + kDay.substr(4) + "\n" + firstDay(),
       {reading, check + "daily meteo)"}},
      // The end of the period is not in the file, or an hourly last day stops at hour 23.
      {five, days, daily({1980, 1, 1}, 4), {noEnd}},
      {one, hours, hourly({1980, 1, 1}, 23), {noEnd}},
      // 3 January missing; an hourly day that starts at hour 2.
      {five,
       days,
       daily({1980, 1, 1}, 2) + daily({1980, 1, 4}, 2),
       {reading, gaps + "daily meteo)", "Expected the record of 03-Jan-1980, found 04-Jan-1980"}},
      {one,
       hours,
       "Sta 1980 1 1 2 " + kHourValues + "\n",
       {reading, gaps + "hourly meteo)",
        "Expected the record of 01-Jan-1980 hour 1, found 01-Jan-1980 hour 2"}},
      // Garbage in the middle of the period: line 3.
      {five,
       days,
       daily({1980, 1, 1}, 2) + std::string("\x01\xff\0garbage\n", 11),
       {reading, check + "daily meteo)", "Line 3: ???garbage"}},
      // A humidity below 0 (or missing) makes the seventh root of the emissivity of
      // the air undefined; an air pressure of 0 is divided by.
      {one,
       days,
       firstDay("8640 10 -99.9 0.5 3 100 0 0"),
       {reading, "Missing value (-99.9) of the relative humidity in the record of 01-Jan-1980",
        "Only global radiation, cloud cover and air pressure may be missing"}},
      {one,
       days,
       firstDay("8640 10 -0.01 0.5 3 100 0 0"),
       {reading,
        "Value of the relative humidity out of range in the record of 01-Jan-1980: -0.10000E-01",
        "Allowed: a fraction of 0 or more"}},
      {one,
       days,
       firstDay("8640 10 0.8 0.5 3 0 0 0"),
       {reading, "Value of the air pressure out of range in the record of 01-Jan-1980: 0.00000E+00",
        "Allowed: any value but 0 kPa"}},
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

// The framed warning blocks of the log file, one vector of lines each.
std::vector<std::vector<std::string>> warningsInLog(TestRun& t) {
  t.run().log().flush();
  std::vector<std::vector<std::string>> blocks;
  bool inside = false;
  for (const std::string& line : t.dir().lines("t.log")) {
    if (line.starts_with(" ###### Warning")) {
      blocks.emplace_back();
      inside = true;
    } else if (line.starts_with(" #####")) {
      inside = false;
    } else if (inside) {
      blocks.back().push_back(line);
    }
  }
  return blocks;
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
    EXPECT_EQ(warningsInLog(r.t),
              (std::vector<std::vector<std::string>>{
                  {std::string(c.line1) + " in 2 records of file Sta.met",
                   std::string("First in the record of 02-Jan-1980: ") + c.line2,
                   "The values are used as they stand"}}))
        << c.values;
  }
  // Monthly files: the air temperature only.
  MeteoRun r(metRecords(MetInput::Monthly, {1980, 1, 1}, 1, "-99.9"), meteoInput("Monthly"),
             "01-Jan-1980", "31-Jan-1980");
  r.initialise();
  EXPECT_NEAR(r.meteo().temAirRef(), 173.25, 1e-12);
  EXPECT_EQ(warningsInLog(r.t).size(), 1u);
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
    EXPECT_TRUE(std::isfinite(r.meteo().fleRadShoDow()));
    EXPECT_EQ(warningsInLog(r.t), (std::vector<std::vector<std::string>>{
                                      {c.line1, c.line2, "The run goes on with this value"}}))
        << c.to;
  }
}

}  // namespace
}  // namespace korvan
