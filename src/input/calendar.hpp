// The calendar of the model: time as days since 01-Jan-1900 00:00 (Gregorian),
// broken-down date records, date texts and the parsing of the date forms that
// the input file and the field-model files use. Pure functions, no run state:
// the readers that turn a parse failure into a fatal message live in dates.hpp.
#pragma once

#include <string>
#include <string_view>

namespace korvan::calendar {

// Broken-down form of a time; all fields are doubles as in the model.
struct DateRecord {
  double year = 1900;
  double month = 1;
  double day = 1;
  double hour = 0;
  double minute = 0;
};

// Month names "Jan" ... "Dec", compared exactly (case-sensitive).
std::string_view monthName(int month);  // month 1..12
int monthOfName(std::string_view name);  // 1..12, or 0 when not a month name

bool isLeapYear(int year);
int daysInMonth(int month, int year);
int daysInYear(int year);

// Days before the year + day of the year - 1 (hour and minute are not used).
double timeOfDate(const DateRecord& date);
// Year, month, day and hour of a time; an hour less than 1e-4 below the next
// whole number becomes that number.
DateRecord dateOfTime(double time);

// The 17-character date text: "01-Jan-1980      " at midnight exactly (hour 0),
// otherwise, also within the first hour and just before midnight,
// "01-Jan-1980-08h00" or "01-Jan-1980-13h30".
std::string dateText(double time);
// The numeric form "01 01 1980".
std::string dateTextNumeric(double time);

int year(double time);
int dayOfYear(double time);  // 1 for 1 January
int month(double time);
double fractionalYear(double time);  // year + (day of year - 1) / days in year
bool isFirstDayOfMonth(double time);

enum class Period { Decade, Month, Year };
// Length in days of the decade, month or year that starts on the day of the
// time; 0 when that day does not start such a period.
double periodLength(Period period, double time);

// Result of parsing a date text.
enum class DateStatus {
  Ok,
  BadFormat,    // wrong length or fields that cannot be read
  BadMonth,     // month name not in the list
  IllegalDay,   // day beyond the length of the month (input dates only)
};
struct ParsedDate {
  DateStatus status = DateStatus::BadFormat;
  DateRecord date;  // hour and minute filled where the form carries them
};

// The date forms of the input file, selected by the length of the trimmed
// text: 6 "15-Mar" (year 1900), 10 "5-Mar-1980", 11 "15-Mar-1980",
// 16 "15-Mar-1980-0830", 17 "15-Mar-1980-08h30". Separators may be any single
// character. The day is checked against the month; days below 1 are let
// through (they fall on the previous month).
ParsedDate parseInputDate(std::string_view text);

// The time-stamp forms of field-model and work files: 6 "15-Mar",
// 11 "15-Mar-1980", 12 "198003150830" (yyyymmddhhmm), 13 "15Mar19800830",
// 17 "15-Mar-1980-08h30". No day check.
ParsedDate parseDateText(std::string_view text);

}  // namespace korvan::calendar
