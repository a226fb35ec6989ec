#include "input/calendar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::calendar {
namespace {

// 01-Jan-1980: 80 years of 365 days plus the 19 leap days 1904..1976 (1900 is common).
constexpr double kJan1980 = 29219.0;
// 01-Jan-1981: 1980 is a leap year of 366 days.
constexpr double kJan1981 = kJan1980 + 366.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expectDate(const DateRecord& date, const DateRecord& expected) {
  EXPECT_DOUBLE_EQ(date.year, expected.year);
  EXPECT_DOUBLE_EQ(date.month, expected.month);
  EXPECT_DOUBLE_EQ(date.day, expected.day);
  EXPECT_DOUBLE_EQ(date.hour, expected.hour);
  EXPECT_DOUBLE_EQ(date.minute, expected.minute);
}

// ---------------------------------------------------------------------------
// Month names and year lengths

TEST(CalendarMonths, NamesAndLookupAreExactCase) {
  EXPECT_EQ(monthName(1), "Jan");
  EXPECT_EQ(monthName(12), "Dec");
  EXPECT_EQ(monthName(0), "");
  EXPECT_EQ(monthName(13), "");
  EXPECT_EQ(monthOfName("Jan"), 1);
  EXPECT_EQ(monthOfName("Dec"), 12);
  for (const char* name : {"jan", "JAN", "Janu", ""}) EXPECT_EQ(monthOfName(name), 0) << name;
  EXPECT_EQ(daysInMonth(13, 1980), 0);
}

// ---------------------------------------------------------------------------
// Time of a date record

TEST(CalendarTimeOfDate, CarriesOverDaysMonthsAndYearsAndIgnoresTheClock) {
  // Hour and minute are not used. Day 0: 00-Jan-1980 is 31-Dec-1979; 00-Mar-1980 is
  // 29-Feb-1980 (29219 + 31 + 28). Month 0 of 1981 is December 1980: 29219 + 335 (days
  // before 1 Dec in a leap year); month 25 of 1978 is January 1980. 1899 has 365 days;
  // 1896 is a leap year, so 1896..1899 take 1461 days.
  const struct {
    DateRecord date;
    double time;
  } cases[] = {{{1980, 1, 1, 13, 30}, kJan1980}, {{1980, 1, 0}, 29218.0}, {{1980, 3, 0}, 29278.0},
               {{1979, 13, 1}, kJan1980},        {{1981, 0, 1}, 29554.0}, {{1978, 25, 1}, kJan1980},
               {{1899, 12, 31}, -1.0},           {{1896, 1, 1}, -1461.0}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(timeOfDate(c.date), c.time) << c.time;
}

TEST(CalendarTimeOfDate, NonFiniteFieldsGiveNaNAndHugeMonthsStayDefined) {
  EXPECT_TRUE(std::isnan(timeOfDate({kNaN, 1, 1})));
  EXPECT_TRUE(std::isnan(timeOfDate({1980, 1, kInf})));
  // Month 1e300 only shifts the year; the result is finite.
  EXPECT_TRUE(std::isfinite(timeOfDate({1980, 1e300, 1})));
}

// ---------------------------------------------------------------------------
// Date record of a time

TEST(CalendarDateOfTime, KnownTimesSnappedHoursAndClampedRange) {
  // 0.5625 day is 13.5 hours. 12 h minus 2.4e-5 h lies within 1e-4 of 12 and snaps; 1e-7
  // day before midnight is 2.4e-6 h below hour 24: the next day, also across the year end.
  // -1402 = -1461 + 59 is 29-Feb-1896. Times out of range are clamped.
  const struct {
    double time;
    DateRecord date;
  } cases[] = {{kJan1980 + 0.5625, {1980, 1, 1, 13.5}},
               {kJan1980 + 0.5 - 1e-6, {1980, 1, 1, 12}},
               {kJan1980 + 1.0 - 1e-7, {1980, 1, 2}},
               {-0.5, {1899, 12, 31, 12}},
               {-1402.0, {1896, 2, 29}},
               {-1e12, {1, 1, 1}},
               {kNaN, {1900, 1, 1}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.time);
    expectDate(dateOfTime(c.time), c.date);
  }
  // 12 h minus 2e-4 h is kept.
  EXPECT_NEAR(dateOfTime(kJan1980 + (12.0 - 2e-4) / 24.0).hour, 12.0 - 2e-4, 1e-9);
  const DateRecord late = dateOfTime(kInf);
  EXPECT_DOUBLE_EQ(late.year, 9999);
  EXPECT_DOUBLE_EQ(late.day, 31);
  EXPECT_NEAR(late.hour, 23.0, 1e-6);  // times near 3e6 days carry about 1e-8 h of rounding
}

TEST(CalendarDateOfTime, RoundTripsEveryDayFrom1900To2100) {
  double expectedTime = 0.0;
  for (int y = 1900; y <= 2100; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= daysInMonth(m, y); ++d) {
        const double time = timeOfDate({double(y), double(m), double(d)});
        ASSERT_DOUBLE_EQ(time, expectedTime) << d << "-" << m << "-" << y;
        const DateRecord date = dateOfTime(time + 0.75);
        ASSERT_DOUBLE_EQ(date.year, y);
        ASSERT_DOUBLE_EQ(date.month, m);
        ASSERT_DOUBLE_EQ(date.day, d);
        ASSERT_DOUBLE_EQ(date.hour, 18.0);
        expectedTime += 1.0;
      }
    }
  }
  // 201 years with 49 leap days (1904..2096, without 1900 and 2100; 2000 counts).
  EXPECT_DOUBLE_EQ(expectedTime, 201.0 * 365.0 + 49.0);
}

// ---------------------------------------------------------------------------
// Date texts

TEST(CalendarDateText, PlainDateOnlyAtMidnightElseWholeOrHalfHours) {
  // Midnight is the plain date padded to 17. A fractional hour of 0.05 is at most 0.1: h00;
  // of 0.2: h30. 23.9 h: fraction 0.99583 is not past 0.999, so the day stays.
  // The plain date needs an hour of exactly 0; the rest of the first hour (00:30: hour 0.5;
  // 1e-6 day: hour 2.4e-5, below the whole-hour limit), and a time just before midnight
  // (0.01 day later: 00:14 of the next day), show hour 00, with h00/h30 taken from the
  // unadjusted time: 23.9999 h has fraction 0.999996, (0.999996 + 1e-5) x 24 = 24.00014: h00;
  // 23:59 on 31-Dec-1980 has fraction 0.999306, x 24 = 23.9836: h30. Out of range: clamped.
  const struct {
    double time;
    const char* text;
  } cases[] = {{kJan1980, "01-Jan-1980      "},
               {kJan1980 + 13.5 / 24.0, "01-Jan-1980-13h30"},
               {kJan1980 + 8.05 / 24.0, "01-Jan-1980-08h00"},
               {kJan1980 + 8.2 / 24.0, "01-Jan-1980-08h30"},
               {kJan1980 + 23.9 / 24.0, "01-Jan-1980-23h30"},
               {kJan1980 + 0.5 / 24.0, "01-Jan-1980-00h30"},
               {kJan1980 + 1e-6, "01-Jan-1980-00h00"},
               {kJan1980 + 23.0 / 24.0 + 0.9999 / 24.0, "02-Jan-1980-00h00"},
               {kJan1981 - 1.0 / 1440.0, "01-Jan-1981-00h30"},
               {1e12, "31-Dec-9999-23h00"},
               {-1e12, "01-Jan-0001      "}};
  for (const auto& c : cases) EXPECT_EQ(dateText(c.time), c.text) << c.time;
  EXPECT_EQ(dateText(kNaN).size(), 17u);
}

TEST(CalendarDateText, HourlySumsKeepTheirLabels) {
  // Adding 1/24 repeatedly drifts by rounding; the labels must stay on the hour.
  double time = kJan1980;
  for (int k = 1; k <= 24 * 366; ++k) {
    time += 1.0 / 24.0;
    const std::string text = dateText(time);
    const int hour = k % 24;
    const std::string hh = std::to_string(hour / 10) + std::to_string(hour % 10);
    // A sum that drifted off midnight is no longer exactly midnight: hour 00.
    const bool midnight = time == std::floor(time);
    const std::string suffix = midnight ? "      " : "-" + hh + "h00";
    ASSERT_EQ(text.substr(11), suffix) << k;
    ASSERT_EQ(text.substr(0, 11), dateText(kJan1980 + k / 24).substr(0, 11)) << k;
  }
}

TEST(CalendarDateText, NumericForm) {
  // 15-Mar-1980: 29219 + 31 + 29 + 14.
  EXPECT_EQ(dateTextNumeric(29293.0), "15 03 1980");
  EXPECT_EQ(dateTextNumeric(kJan1981 - 1e-9), "01 01 1981");
}

// ---------------------------------------------------------------------------
// Calendar queries

TEST(CalendarQueries, YearDayOfYearMonthFirstDayAndFractionalYear) {
  EXPECT_EQ(year(kJan1981 - 0.5), 1980);
  EXPECT_EQ(dayOfYear(29584.0), 366);
  EXPECT_EQ(dayOfYear(kJan1981), 1);
  // Day 60 of 1980 is 29 February, day 61 is 1 March.
  EXPECT_EQ(month(kJan1980 + 59.0), 2);
  EXPECT_EQ(month(kJan1980 + 60.0), 3);
  EXPECT_TRUE(isFirstDayOfMonth(kJan1980 + 31.9));   // 1-Feb-1980
  EXPECT_FALSE(isFirstDayOfMonth(kJan1980 + 30.0));  // 31-Jan-1980
  // 1980 + 183 / 366; 1981 + 73 / 365, the time of day not counted.
  EXPECT_DOUBLE_EQ(fractionalYear(kJan1980 + 183.0), 1980.5);
  EXPECT_DOUBLE_EQ(fractionalYear(kJan1981 + 73.6), 1981.2);
}

TEST(CalendarPeriods, LengthFromTheStartOfADecadeMonthOrYearElseZero) {
  // Decades: 21-Feb-1981 = 29585 + 31 + 20: 28 - 20 days; 21-Feb-1980 = 29219 + 31 + 20:
  // 29 - 20; 21-Jan-1981 = 29585 + 20: 31 - 20; 1-Feb-1981 (29616) and 11-Feb-1981
  // (29626): 10; 15-Feb-1981 (29630): none.
  const struct {
    Period period;
    double time;
    double length;
  } cases[] = {{Period::Decade, 29636.0, 8.0},  {Period::Decade, 29270.0, 9.0},
               {Period::Decade, 29605.0, 11.0}, {Period::Decade, 29616.0, 10.0},
               {Period::Decade, 29626.0, 10.0}, {Period::Decade, 29630.0, 0.0},
               {Period::Month, 29616.5, 28.0},  {Period::Month, 29626.0, 0.0},
               {Period::Year, kJan1980, 366.0}, {Period::Year, kJan1981, 365.0},
               {Period::Year, 29616.0, 0.0},    {Period::Year, kJan1980 + 1.0, 0.0}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(periodLength(c.period, c.time), c.length)
        << static_cast<int>(c.period) << " " << c.time;
  }
}

// ---------------------------------------------------------------------------
// Input date forms and time-stamp forms

using Parser = ParsedDate (*)(std::string_view);
using Form = std::pair<std::string, DateRecord>;

TEST(CalendarParse, EveryFormOfBothReaders) {
  const auto expectParsed = [](Parser parse, const std::string& text, const DateRecord& date) {
    SCOPED_TRACE(text);
    const ParsedDate parsed = parse(text);
    ASSERT_EQ(parsed.status, DateStatus::Ok);
    expectDate(parsed.date, date);
  };
  // Input dates: the five forms; any single character separates and surrounding blanks are
  // ignored; days within the month, and day 00, are let through; hour and minute are read
  // as they stand (the reader adds hours in time steps).
  const Form inputs[] = {
      {"15-Mar", {1900, 3, 15}},
      {"5-Mar-1980", {1980, 3, 5}},
      {"15-Mar-1980-0830", {1980, 3, 15, 8, 30}},
      {"15-Mar-1980-08h30", {1980, 3, 15, 8, 30}},
      {"15xMar71980:08:30", {1980, 3, 15, 8, 30}},
      {"  15-Mar-1980", {1980, 3, 15}},
      {"\t5-Mar-1980\r\n", {1980, 3, 5}},
      {"29-Feb-1980", {1980, 2, 29}},
      {"00-Jan-1980", {1980, 1, 0}},
      {"15-Mar-1980-99h99", {1980, 3, 15, 99, 99}},
      {"15\xFFMar-1980", {1980, 3, 15}},
  };
  for (const auto& [text, date] : inputs) expectParsed(parseInputDate, text, date);
  // Time stamps: their forms, with no day or clock check.
  const Form stamps[] = {{"15-Mar", {1900, 3, 15}},
                         {"15-Mar-1980", {1980, 3, 15}},
                         {"198003150830", {1980, 3, 15, 8, 30}},
                         {"15Mar19800830", {1980, 3, 15, 8, 30}},
                         {"31-Apr-1980", {1980, 4, 31}},
                         {"15-Mar-1980-25h99", {1980, 3, 15, 25, 99}}};
  for (const auto& [text, date] : stamps) expectParsed(parseDateText, text, date);
}

TEST(CalendarParse, RefusedTextsGiveTheirStatus) {
  const struct {
    Parser parse;
    DateStatus status;
    std::vector<std::string> texts;
  } cases[] = {
      // Wrong lengths (5, 9, 12, 13, 15, 18, 13).
      {parseInputDate,
       DateStatus::BadFormat,
       {"", "     ", "1-Mar", "15-Mar-80", "198003150830", "15Mar19800830", "15-Mar-1980-830",
        "15-Mar-1980-08h300", "15-Mar-1980 x"}},
      // Non-digits in numbers (the letter O in the year); numbers are read before the
      // month name is looked up.
      {parseInputDate,
       DateStatus::BadFormat,
       {"1a-Mar-1980", "15-Mar-198O", "+5-Mar-1980", "1 -Mar-1980", "15-Mar-1980-08h3x",
        "xx-mar-1980"}},
      {parseInputDate,
       DateStatus::BadMonth,
       {"15-mar-1980", "15-Xyz-1980", "15-Mrz", "1-123-1980"}},
      // 1900 is common: no 29-Feb.
      {parseInputDate,
       DateStatus::IllegalDay,
       {"31-Apr-1980", "29-Feb-1981", "30-Feb-1980", "32-Jan-1980", "29-Feb"}},
      // Lengths 0, 10 and 16, and digits.
      {parseDateText,
       DateStatus::BadFormat,
       {"", "5-Mar-1980", "15-Mar-1980-0830", "1980031508x0", "15Mar1980083O"}},
      // Thirteen digits read as the form 15Mar19800830, with "800" as the month name.
      {parseDateText,
       DateStatus::BadMonth,
       {"15mar19800830", "198013150830", "198000150830", "1980031508300"}},
  };
  for (const auto& c : cases) {
    for (const std::string& text : c.texts) {
      EXPECT_EQ(c.parse(text).status, c.status) << text;
    }
  }
}

}  // namespace
}  // namespace korvan::calendar
