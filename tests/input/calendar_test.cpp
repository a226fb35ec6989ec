#include "input/calendar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace korvan::calendar {
namespace {

// 01-Jan-1980: 80 years of 365 days plus the 19 leap days 1904..1976 (1900 is common).
constexpr double kJan1980 = 29219.0;
// 01-Jan-1981: 1980 is a leap year of 366 days.
constexpr double kJan1981 = kJan1980 + 366.0;

DateRecord makeDate(double year, double month, double day) {
  DateRecord date;
  date.year = year;
  date.month = month;
  date.day = day;
  return date;
}

void expectDate(const DateRecord& date, double year, double month, double day, double hour) {
  EXPECT_DOUBLE_EQ(date.year, year);
  EXPECT_DOUBLE_EQ(date.month, month);
  EXPECT_DOUBLE_EQ(date.day, day);
  EXPECT_DOUBLE_EQ(date.hour, hour);
  EXPECT_DOUBLE_EQ(date.minute, 0.0);
}

// ---------------------------------------------------------------------------
// Month names and year lengths

TEST(CalendarMonths, NamesAndLookupAreExactCase) {
  EXPECT_EQ(monthName(1), "Jan");
  EXPECT_EQ(monthName(12), "Dec");
  EXPECT_EQ(monthName(0), "");
  EXPECT_EQ(monthName(13), "");
  EXPECT_EQ(monthOfName("Jan"), 1);
  EXPECT_EQ(monthOfName("Sep"), 9);
  EXPECT_EQ(monthOfName("Dec"), 12);
  EXPECT_EQ(monthOfName("jan"), 0);
  EXPECT_EQ(monthOfName("JAN"), 0);
  EXPECT_EQ(monthOfName("Janu"), 0);
  EXPECT_EQ(monthOfName(""), 0);
}

TEST(CalendarMonths, GregorianLeapRule) {
  EXPECT_TRUE(isLeapYear(1980));
  EXPECT_TRUE(isLeapYear(2000));   // divisible by 400
  EXPECT_FALSE(isLeapYear(1900));  // divisible by 100, not by 400
  EXPECT_FALSE(isLeapYear(2100));
  EXPECT_FALSE(isLeapYear(1981));
  EXPECT_EQ(daysInYear(1980), 366);
  EXPECT_EQ(daysInYear(1900), 365);
}

TEST(CalendarMonths, DaysInMonth) {
  EXPECT_EQ(daysInMonth(1, 1981), 31);
  EXPECT_EQ(daysInMonth(2, 1981), 28);
  EXPECT_EQ(daysInMonth(2, 1980), 29);
  EXPECT_EQ(daysInMonth(2, 1900), 28);
  EXPECT_EQ(daysInMonth(2, 2000), 29);
  EXPECT_EQ(daysInMonth(4, 1980), 30);
  EXPECT_EQ(daysInMonth(12, 1980), 31);
  EXPECT_EQ(daysInMonth(0, 1980), 0);
  EXPECT_EQ(daysInMonth(13, 1980), 0);
}

// ---------------------------------------------------------------------------
// Time of a date record

TEST(CalendarTimeOfDate, KnownDates) {
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1900, 1, 1)), 0.0);
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1980, 1, 1)), 29219.0);
  // 29219 + 365: the last day of the leap year 1980.
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1980, 12, 31)), 29584.0);
  // 31 + 28: 1900 is not a leap year.
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1900, 3, 1)), 59.0);
  // 29219 + 31 + 29: after the leap day of 1980.
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1980, 3, 1)), 29279.0);
  // 100 * 365 + 24 leap days (1904..1996).
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(2000, 1, 1)), 36524.0);
}

TEST(CalendarTimeOfDate, HourAndMinuteAreNotUsed) {
  DateRecord date = makeDate(1980, 1, 1);
  date.hour = 13;
  date.minute = 30;
  EXPECT_DOUBLE_EQ(timeOfDate(date), kJan1980);
}

TEST(CalendarTimeOfDate, DayZeroFallsOnPreviousMonth) {
  // 00-Jan-1980 is 31-Dec-1979; 00-Mar-1980 is 29-Feb-1980 (29219 + 31 + 28).
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1980, 1, 0)), 29218.0);
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1980, 3, 0)), 29278.0);
}

TEST(CalendarTimeOfDate, MonthOutsideYearCarriesIntoYear) {
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1979, 13, 1)), kJan1980);
  // Month 0 of 1981 is December 1980: 29219 + 335 (days before 1 Dec in a leap year).
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1981, 0, 1)), 29554.0);
}

TEST(CalendarTimeOfDate, BeforeNineteenHundred) {
  // 1899 has 365 days; 1896 is a leap year, so 1896..1899 take 1461 days.
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1899, 12, 31)), -1.0);
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1896, 1, 1)), -1461.0);
}

TEST(CalendarTimeOfDate, NonFiniteFieldsGiveNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(std::isnan(timeOfDate(makeDate(nan, 1, 1))));
  EXPECT_TRUE(std::isnan(timeOfDate(makeDate(1980, nan, 1))));
  EXPECT_TRUE(std::isnan(timeOfDate(makeDate(1980, 1, INFINITY))));
}

TEST(CalendarTimeOfDate, HugeMonthsStayDefined) {
  // Month 1e300 or -1e300 only shifts the year; the result is finite.
  EXPECT_TRUE(std::isfinite(timeOfDate(makeDate(1980, 1e300, 1))));
  EXPECT_TRUE(std::isfinite(timeOfDate(makeDate(1980, -1e300, 1))));
  // Month 25 of 1978 is January 1980.
  EXPECT_DOUBLE_EQ(timeOfDate(makeDate(1978, 25, 1)), kJan1980);
}

// ---------------------------------------------------------------------------
// Date record of a time

TEST(CalendarDateOfTime, KnownTimes) {
  expectDate(dateOfTime(0.0), 1900, 1, 1, 0);
  expectDate(dateOfTime(59.0), 1900, 3, 1, 0);
  expectDate(dateOfTime(kJan1980), 1980, 1, 1, 0);
  expectDate(dateOfTime(kJan1980 + 0.5), 1980, 1, 1, 12);
  expectDate(dateOfTime(29584.0), 1980, 12, 31, 0);
  expectDate(dateOfTime(kJan1981), 1981, 1, 1, 0);
  // 36524 + 31 + 28: the leap day of 2000.
  expectDate(dateOfTime(36583.0), 2000, 2, 29, 0);
}

TEST(CalendarDateOfTime, HourKeepsItsFraction) {
  // 0.5625 day = 13.5 hours.
  expectDate(dateOfTime(kJan1980 + 0.5625), 1980, 1, 1, 13.5);
}

TEST(CalendarDateOfTime, HourJustBelowWholeNumberSnaps) {
  // 12 h minus 2.4e-5 h lies within 1e-4 of 12.
  expectDate(dateOfTime(kJan1980 + 0.5 - 1e-6), 1980, 1, 1, 12);
  // 12 h minus 2e-4 h is kept.
  const DateRecord kept = dateOfTime(kJan1980 + (12.0 - 2e-4) / 24.0);
  EXPECT_LT(kept.hour, 12.0);
  EXPECT_NEAR(kept.hour, 12.0 - 2e-4, 1e-9);
}

TEST(CalendarDateOfTime, SnappedHour24RollsOverToNextDay) {
  // 1e-7 day before midnight is 2.4e-6 h below hour 24.
  expectDate(dateOfTime(kJan1980 + 1.0 - 1e-7), 1980, 1, 2, 0);
  // Across the year end: 29585 - 1e-7 is the start of 1981.
  expectDate(dateOfTime(kJan1981 - 1e-7), 1981, 1, 1, 0);
}

TEST(CalendarDateOfTime, TimesBeforeNineteenHundred) {
  expectDate(dateOfTime(-1.0), 1899, 12, 31, 0);
  expectDate(dateOfTime(-0.5), 1899, 12, 31, 12);
  expectDate(dateOfTime(-1461.0), 1896, 1, 1, 0);
  // 29-Feb-1896 is day 60 of 1896: -1461 + 59.
  expectDate(dateOfTime(-1402.0), 1896, 2, 29, 0);
}

void expectLastHourOfRange(const DateRecord& date) {
  EXPECT_DOUBLE_EQ(date.year, 9999);
  EXPECT_DOUBLE_EQ(date.month, 12);
  EXPECT_DOUBLE_EQ(date.day, 31);
  // Times near 3e6 days carry about 1e-8 h of rounding.
  EXPECT_NEAR(date.hour, 23.0, 1e-6);
}

TEST(CalendarDateOfTime, OutOfRangeTimesAreClamped) {
  expectLastHourOfRange(dateOfTime(1e12));
  expectLastHourOfRange(dateOfTime(std::numeric_limits<double>::infinity()));
  expectDate(dateOfTime(-1e12), 1, 1, 1, 0);
  expectDate(dateOfTime(-std::numeric_limits<double>::infinity()), 1, 1, 1, 0);
  expectDate(dateOfTime(std::numeric_limits<double>::quiet_NaN()), 1900, 1, 1, 0);
}

TEST(CalendarDateOfTime, RoundTripsEveryDayFrom1900To2100) {
  double expectedTime = 0.0;
  for (int y = 1900; y <= 2100; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= daysInMonth(m, y); ++d) {
        const double time = timeOfDate(makeDate(y, m, d));
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

TEST(CalendarDateText, MidnightIsPlainDatePaddedTo17) {
  EXPECT_EQ(dateText(kJan1980), "01-Jan-1980      ");
  EXPECT_EQ(dateText(0.0), "01-Jan-1900      ");
  EXPECT_EQ(dateText(29584.0), "31-Dec-1980      ");
}

TEST(CalendarDateText, WholeAndHalfHours) {
  EXPECT_EQ(dateText(kJan1980 + 0.5), "01-Jan-1980-12h00");
  EXPECT_EQ(dateText(kJan1980 + 8.0 / 24.0), "01-Jan-1980-08h00");
  EXPECT_EQ(dateText(kJan1980 + 13.5 / 24.0), "01-Jan-1980-13h30");
  EXPECT_EQ(dateText(kJan1980 + 1.0 / 24.0), "01-Jan-1980-01h00");
  // A fractional hour of 0.05 is at most 0.1: h00; of 0.2: h30.
  EXPECT_EQ(dateText(kJan1980 + 8.05 / 24.0), "01-Jan-1980-08h00");
  EXPECT_EQ(dateText(kJan1980 + 8.2 / 24.0), "01-Jan-1980-08h30");
  // 23.9 h: fraction 0.99583 is not past 0.999, so the day stays.
  EXPECT_EQ(dateText(kJan1980 + 23.9 / 24.0), "01-Jan-1980-23h30");
}

TEST(CalendarDateText, OnlyMidnightShowsPlainDate) {
  // The plain date needs an hour of exactly 0; the rest of the first hour, and a
  // time just before midnight (0.01 day later: 00:14 of the next day), show hour
  // 00, with h00/h30 taken from the unadjusted time.
  struct Case {
    double time;
    const char* text;
  };
  const Case cases[] = {
      {kJan1980, "01-Jan-1980      "},
      // 00:30: hour 0.5.
      {kJan1980 + 0.5 / 24.0, "01-Jan-1980-00h30"},
      // 00:00:00.0864 (1e-6 day): hour 2.4e-5, below the whole-hour limit.
      {kJan1980 + 1e-6, "01-Jan-1980-00h00"},
      // 23.9999 h: fraction 0.999996; (0.999996 + 1e-5) x 24 = 24.00014: h00.
      {kJan1980 + 23.0 / 24.0 + 0.9999 / 24.0, "02-Jan-1980-00h00"},
      // 23:59 on 31-Dec-1980: fraction 0.999306; x 24 = 23.9836: h30.
      {kJan1981 - 1.0 / 1440.0, "01-Jan-1981-00h30"},
      {kJan1981 - 1e-9, "01-Jan-1981-00h00"},
  };
  for (const Case& c : cases) EXPECT_EQ(dateText(c.time), c.text) << c.time;
}

TEST(CalendarDateText, HourlySumsKeepTheirLabels) {
  // Adding 1/24 repeatedly drifts by rounding; the labels must stay on the hour.
  double time = kJan1980;
  for (int k = 1; k <= 24 * 366; ++k) {
    time += 1.0 / 24.0;
    const std::string text = dateText(time);
    ASSERT_EQ(text.size(), 17u);
    const int hour = k % 24;
    const std::string hh = std::to_string(hour / 10) + std::to_string(hour % 10);
    // A sum that drifted off midnight is no longer exactly midnight: hour 00.
    const bool midnight = time == std::floor(time);
    const std::string suffix = midnight ? "      " : "-" + hh + "h00";
    ASSERT_EQ(text.substr(11), suffix) << k;
    ASSERT_EQ(text.substr(0, 11), dateText(kJan1980 + k / 24).substr(0, 11)) << k;
  }
  EXPECT_EQ(dateText(time).substr(0, 11), "01-Jan-1981");
}

TEST(CalendarDateText, HalfHourlySumsAlternate) {
  double time = kJan1980;
  for (int k = 1; k <= 48 * 3; ++k) {
    time += 1.0 / 48.0;
    const int halfHours = k % 48;
    if (halfHours == 0) continue;  // midnight, plain or drifted
    const std::string text = dateText(time);
    const int hour = halfHours / 2;
    ASSERT_EQ(text.substr(12, 2), std::to_string(hour / 10) + std::to_string(hour % 10)) << k;
    ASSERT_EQ(text.substr(14), halfHours % 2 == 0 ? "h00" : "h30") << k;
  }
}

TEST(CalendarDateText, NumericForm) {
  EXPECT_EQ(dateTextNumeric(kJan1980), "01 01 1980");
  // 15-Mar-1980: 29219 + 31 + 29 + 14.
  EXPECT_EQ(dateTextNumeric(29293.0), "15 03 1980");
  EXPECT_EQ(dateTextNumeric(29584.5), "31 12 1980");
  EXPECT_EQ(dateTextNumeric(kJan1981 - 1e-9), "01 01 1981");
}

TEST(CalendarDateText, OutOfRangeTimesGiveDefinedTexts) {
  EXPECT_EQ(dateText(1e12), "31-Dec-9999-23h00");
  EXPECT_EQ(dateText(-1e12), "01-Jan-0001      ");
  EXPECT_EQ(dateText(std::numeric_limits<double>::quiet_NaN()).size(), 17u);
  EXPECT_EQ(dateText(std::numeric_limits<double>::infinity()).size(), 17u);
  EXPECT_EQ(dateTextNumeric(std::numeric_limits<double>::quiet_NaN()), "01 01 1900");
}

// ---------------------------------------------------------------------------
// Calendar queries

TEST(CalendarQueries, YearDayOfYearMonth) {
  EXPECT_EQ(year(kJan1980 + 0.5), 1980);
  EXPECT_EQ(year(kJan1981 - 0.5), 1980);
  EXPECT_EQ(dayOfYear(kJan1980), 1);
  EXPECT_EQ(dayOfYear(29584.0), 366);
  EXPECT_EQ(dayOfYear(kJan1981), 1);
  // Day 60 of 1980 is 29 February, day 61 is 1 March.
  EXPECT_EQ(month(kJan1980 + 59.0), 2);
  EXPECT_EQ(month(kJan1980 + 60.0), 3);
}

TEST(CalendarQueries, FractionalYear) {
  EXPECT_DOUBLE_EQ(fractionalYear(kJan1980), 1980.0);
  // 1980 + 183 / 366.
  EXPECT_DOUBLE_EQ(fractionalYear(kJan1980 + 183.0), 1980.5);
  // 1981 + 73 / 365; the time of day does not count.
  EXPECT_DOUBLE_EQ(fractionalYear(kJan1981 + 73.6), 1981.2);
}

TEST(CalendarQueries, FirstDayOfMonth) {
  EXPECT_TRUE(isFirstDayOfMonth(kJan1980 + 31.0));  // 1-Feb-1980
  EXPECT_TRUE(isFirstDayOfMonth(kJan1980 + 31.9));
  EXPECT_FALSE(isFirstDayOfMonth(kJan1980 + 30.0));  // 31-Jan-1980
}

TEST(CalendarPeriods, Decade) {
  // 21-Feb-1981 = 29585 + 31 + 20: 28 - 20 days.
  EXPECT_DOUBLE_EQ(periodLength(Period::Decade, 29636.0), 8.0);
  // 21-Feb-1980 = 29219 + 31 + 20: 29 - 20 days.
  EXPECT_DOUBLE_EQ(periodLength(Period::Decade, 29270.0), 9.0);
  // 21-Jan-1981 = 29585 + 20: 31 - 20 days.
  EXPECT_DOUBLE_EQ(periodLength(Period::Decade, 29605.0), 11.0);
  // 21-Apr-1981 = 29585 + 31 + 28 + 31 + 20: 30 - 20 days.
  EXPECT_DOUBLE_EQ(periodLength(Period::Decade, 29695.0), 10.0);
  EXPECT_DOUBLE_EQ(periodLength(Period::Decade, 29616.0), 10.0);  // 1-Feb-1981
  EXPECT_DOUBLE_EQ(periodLength(Period::Decade, 29626.0), 10.0);  // 11-Feb-1981
  EXPECT_DOUBLE_EQ(periodLength(Period::Decade, 29630.0), 0.0);   // 15-Feb-1981
}

TEST(CalendarPeriods, Month) {
  // 1-Feb-1981 = 29585 + 31.
  EXPECT_DOUBLE_EQ(periodLength(Period::Month, 29616.0), 28.0);
  EXPECT_DOUBLE_EQ(periodLength(Period::Month, 29616.5), 28.0);
  EXPECT_DOUBLE_EQ(periodLength(Period::Month, kJan1980 + 31.0), 29.0);  // 1-Feb-1980
  EXPECT_DOUBLE_EQ(periodLength(Period::Month, kJan1980), 31.0);
  EXPECT_DOUBLE_EQ(periodLength(Period::Month, 29630.0), 0.0);  // 15-Feb-1981
  EXPECT_DOUBLE_EQ(periodLength(Period::Month, 29626.0), 0.0);  // 11-Feb-1981
}

TEST(CalendarPeriods, Year) {
  EXPECT_DOUBLE_EQ(periodLength(Period::Year, kJan1980), 366.0);
  EXPECT_DOUBLE_EQ(periodLength(Period::Year, kJan1981), 365.0);
  EXPECT_DOUBLE_EQ(periodLength(Period::Year, 29616.0), 0.0);  // 1-Feb-1981
  EXPECT_DOUBLE_EQ(periodLength(Period::Year, kJan1980 + 1.0), 0.0);
}

// ---------------------------------------------------------------------------
// Input date forms

void expectParsed(const ParsedDate& parsed, double year, double month, double day, double hour = 0,
                  double minute = 0) {
  ASSERT_EQ(parsed.status, DateStatus::Ok);
  EXPECT_DOUBLE_EQ(parsed.date.year, year);
  EXPECT_DOUBLE_EQ(parsed.date.month, month);
  EXPECT_DOUBLE_EQ(parsed.date.day, day);
  EXPECT_DOUBLE_EQ(parsed.date.hour, hour);
  EXPECT_DOUBLE_EQ(parsed.date.minute, minute);
}

TEST(CalendarInputDate, EveryForm) {
  expectParsed(parseInputDate("15-Mar"), 1900, 3, 15);
  expectParsed(parseInputDate("5-Mar-1980"), 1980, 3, 5);
  expectParsed(parseInputDate("15-Mar-1980"), 1980, 3, 15);
  expectParsed(parseInputDate("15-Mar-1980-0830"), 1980, 3, 15, 8, 30);
  expectParsed(parseInputDate("15-Mar-1980-08h30"), 1980, 3, 15, 8, 30);
}

TEST(CalendarInputDate, TimesOfParsedDates) {
  EXPECT_DOUBLE_EQ(timeOfDate(parseInputDate("01-Jan-1980").date), 29219.0);
  EXPECT_DOUBLE_EQ(timeOfDate(parseInputDate("31-Dec-1980").date), 29584.0);
  // 15-Mar lies in 1900: 31 + 28 + 14.
  EXPECT_DOUBLE_EQ(timeOfDate(parseInputDate("15-Mar").date), 73.0);
}

TEST(CalendarInputDate, AnySingleCharacterSeparates) {
  expectParsed(parseInputDate("15/Mar/1980"), 1980, 3, 15);
  expectParsed(parseInputDate("15 Mar 1980"), 1980, 3, 15);
  expectParsed(parseInputDate("15xMar71980:08:30"), 1980, 3, 15, 8, 30);
  std::string nulSeparated = "15-Mar-1980";
  nulSeparated[2] = nulSeparated[6] = '\0';
  expectParsed(parseInputDate(nulSeparated), 1980, 3, 15);
}

TEST(CalendarInputDate, SurroundingBlanksAreIgnored) {
  expectParsed(parseInputDate("15-Mar-1980      "), 1980, 3, 15);
  expectParsed(parseInputDate("  15-Mar-1980"), 1980, 3, 15);
  expectParsed(parseInputDate("\t5-Mar-1980\r\n"), 1980, 3, 5);
}

TEST(CalendarInputDate, WrongLengthIsBadFormat) {
  EXPECT_EQ(parseInputDate("").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("     ").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("1-Mar").status, DateStatus::BadFormat);               // 5
  EXPECT_EQ(parseInputDate("15-Mar-80").status, DateStatus::BadFormat);           // 9
  EXPECT_EQ(parseInputDate("198003150830").status, DateStatus::BadFormat);        // 12
  EXPECT_EQ(parseInputDate("15Mar19800830").status, DateStatus::BadFormat);       // 13
  EXPECT_EQ(parseInputDate("15-Mar-1980-830").status, DateStatus::BadFormat);     // 15
  EXPECT_EQ(parseInputDate("15-Mar-1980-08h300").status, DateStatus::BadFormat);  // 18
  EXPECT_EQ(parseInputDate("15-Mar-1980 x").status, DateStatus::BadFormat);       // 13
}

TEST(CalendarInputDate, NonDigitsInNumbersAreBadFormat) {
  EXPECT_EQ(parseInputDate("1a-Mar-1980").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("15-Mar-198O").status, DateStatus::BadFormat);  // letter O
  EXPECT_EQ(parseInputDate("+5-Mar-1980").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("x-Mar-1980").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("1 -Mar-1980").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("15-Mar-1980-08h3x").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("15-Mar-1980-0 30").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate("\xC3\xA9-Mar-1980").status, DateStatus::BadFormat);
  EXPECT_EQ(parseInputDate(std::string_view("1\0-Mar-1980", 11)).status, DateStatus::BadFormat);
  // Numbers are read before the month name is looked up.
  EXPECT_EQ(parseInputDate("xx-mar-1980").status, DateStatus::BadFormat);
}

TEST(CalendarInputDate, UnknownMonthIsBadMonth) {
  EXPECT_EQ(parseInputDate("15-mar-1980").status, DateStatus::BadMonth);
  EXPECT_EQ(parseInputDate("15-MAR-1980").status, DateStatus::BadMonth);
  EXPECT_EQ(parseInputDate("15-Xyz-1980").status, DateStatus::BadMonth);
  EXPECT_EQ(parseInputDate("15-Mar").status, DateStatus::Ok);
  EXPECT_EQ(parseInputDate("15-Mrz").status, DateStatus::BadMonth);
  EXPECT_EQ(parseInputDate("15-\xC3\xA4r-1980").status, DateStatus::BadMonth);
  EXPECT_EQ(parseInputDate("1-123-1980").status, DateStatus::BadMonth);
}

TEST(CalendarInputDate, DayBeyondMonthIsIllegal) {
  EXPECT_EQ(parseInputDate("31-Apr-1980").status, DateStatus::IllegalDay);
  EXPECT_EQ(parseInputDate("29-Feb-1981").status, DateStatus::IllegalDay);
  EXPECT_EQ(parseInputDate("30-Feb-1980").status, DateStatus::IllegalDay);
  EXPECT_EQ(parseInputDate("32-Jan-1980").status, DateStatus::IllegalDay);
  EXPECT_EQ(parseInputDate("29-Feb").status, DateStatus::IllegalDay);  // 1900 is common
  expectParsed(parseInputDate("29-Feb-1980"), 1980, 2, 29);
  expectParsed(parseInputDate("29-Feb-2000"), 2000, 2, 29);
  expectParsed(parseInputDate("30-Apr-1980"), 1980, 4, 30);
}

TEST(CalendarInputDate, DayZeroIsLetThrough) {
  const ParsedDate parsed = parseInputDate("00-Jan-1980");
  expectParsed(parsed, 1980, 1, 0);
  EXPECT_DOUBLE_EQ(timeOfDate(parsed.date), 29218.0);  // 31-Dec-1979
}

TEST(CalendarInputDate, ClockBeyondDayIsRead) {
  // Hour and minute are read as they stand; the reader adds hours in time steps.
  expectParsed(parseInputDate("15-Mar-1980-23h59"), 1980, 3, 15, 23, 59);
  expectParsed(parseInputDate("15-Mar-1980-0000"), 1980, 3, 15, 0, 0);
  expectParsed(parseInputDate("14-May-1980-24h00"), 1980, 5, 14, 24, 0);
  expectParsed(parseInputDate("15-Mar-1980-1260"), 1980, 3, 15, 12, 60);
  expectParsed(parseInputDate("15-Mar-1980-99h99"), 1980, 3, 15, 99, 99);
}

// ---------------------------------------------------------------------------
// Time-stamp forms

TEST(CalendarStampText, ParsesEveryForm) {
  expectParsed(parseDateText("15-Mar"), 1900, 3, 15);
  expectParsed(parseDateText("15-Mar-1980"), 1980, 3, 15);
  expectParsed(parseDateText("198003150830"), 1980, 3, 15, 8, 30);
  expectParsed(parseDateText("15Mar19800830"), 1980, 3, 15, 8, 30);
  expectParsed(parseDateText("15-Mar-1980-08h30"), 1980, 3, 15, 8, 30);
  expectParsed(parseDateText("  15.Mar.1980  "), 1980, 3, 15);
}

TEST(CalendarStampText, WrongLengthOrDigitsIsBadFormat) {
  EXPECT_EQ(parseDateText("").status, DateStatus::BadFormat);
  EXPECT_EQ(parseDateText("5-Mar-1980").status, DateStatus::BadFormat);        // 10
  EXPECT_EQ(parseDateText("15-Mar-1980-0830").status, DateStatus::BadFormat);  // 16
  EXPECT_EQ(parseDateText("1980031508x0").status, DateStatus::BadFormat);
  EXPECT_EQ(parseDateText("15Mar1980083O").status, DateStatus::BadFormat);
  EXPECT_EQ(parseDateText("1-Mar-1980-08h30").status, DateStatus::BadFormat);
  std::string withNul = "198003150830";
  withNul[4] = '\0';
  EXPECT_EQ(parseDateText(withNul).status, DateStatus::BadFormat);
}

TEST(CalendarStampText, UnknownMonthIsBadMonth) {
  EXPECT_EQ(parseDateText("15mar19800830").status, DateStatus::BadMonth);
  EXPECT_EQ(parseDateText("15-MAR-1980").status, DateStatus::BadMonth);
  EXPECT_EQ(parseDateText("198013150830").status, DateStatus::BadMonth);
  EXPECT_EQ(parseDateText("198000150830").status, DateStatus::BadMonth);
  // Thirteen digits read as the form 15Mar19800830, with "800" as the month name.
  EXPECT_EQ(parseDateText("1980031508300").status, DateStatus::BadMonth);
}

TEST(CalendarStampText, NoDayOrClockCheck) {
  expectParsed(parseDateText("31-Apr-1980"), 1980, 4, 31);
  expectParsed(parseDateText("198002310000"), 1980, 2, 31);
  expectParsed(parseDateText("15-Mar-1980-25h99"), 1980, 3, 15, 25, 99);
}

// ---------------------------------------------------------------------------
// Untrusted text

TEST(CalendarUntrustedText, EveryByteAtEveryPositionIsHandled) {
  // Any byte in any position of the longest form yields one of the statuses.
  const std::string base = "15-Mar-1980-08h30";
  for (std::size_t pos = 0; pos < base.size(); ++pos) {
    for (int byte = 0; byte < 256; ++byte) {
      std::string text = base;
      text[pos] = static_cast<char>(byte);
      for (std::size_t length = 0; length <= text.size(); ++length) {
        const std::string_view view(text.data(), length);
        const ParsedDate input = parseInputDate(view);
        const ParsedDate stamp = parseDateText(view);
        ASSERT_LE(static_cast<int>(input.status), static_cast<int>(DateStatus::IllegalDay));
        ASSERT_LE(static_cast<int>(stamp.status), static_cast<int>(DateStatus::IllegalDay));
      }
    }
  }
}

TEST(CalendarUntrustedText, ReplacedSeparatorStillParses) {
  // Position 2 is a separator: any byte but a trimmed blank keeps the date readable.
  std::string text = "15-Mar-1980";
  text[2] = '\xFF';
  expectParsed(parseInputDate(text), 1980, 3, 15);
  expectParsed(parseDateText(text), 1980, 3, 15);
}

}  // namespace
}  // namespace korvan::calendar
