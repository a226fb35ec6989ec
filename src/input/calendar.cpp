#include "input/calendar.hpp"

#include <array>
#include <cmath>
#include <limits>

namespace korvan::calendar {
namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<int, 12> kDaysInMonth = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Days of a common year before the first of each month.
constexpr std::array<int, 12> kDaysBeforeMonth = {0,   31,  59,  90,  120, 151,
                                                  181, 212, 243, 273, 304, 334};

constexpr double kHoursPerDay = 24.0;
// An hour this close below a whole number is that whole number (rounding noise of
// summed hourly steps).
constexpr double kHourSnap = 1e-4;
// A time this far into its day is shown as the next day: output at the end of a
// day then carries the date of the midnight that ends it.
constexpr double kEndOfDayFraction = 0.999;
constexpr double kEndOfDayShift = 0.01;
// Slack added to the fraction of the day before choosing between h00 and h30.
constexpr double kHalfHourSlack = 1e-5;
constexpr double kWholeHourLimit = 0.1;

// Date records cover the years that fit the four-digit year of the date text.
constexpr int kFirstYear = 1;
constexpr int kLastYear = 9999;

bool isLeap(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// The same for any whole year a date text may carry, however far out.
bool isLeap(double year) {
  return std::fmod(year, 4.0) == 0.0 &&
         (std::fmod(year, 100.0) != 0.0 || std::fmod(year, 400.0) == 0.0);
}

// Leap days in the years 1 .. year-1 of the proleptic Gregorian calendar.
double leapDaysBefore(double year) {
  const double y = year - 1.0;
  return std::floor(y / 4.0) - std::floor(y / 100.0) + std::floor(y / 400.0);
}

// Time of the start of a year; negative before 1900.
double startOfYear(double year) {
  return 365.0 * (year - 1900.0) + leapDaysBefore(year) - leapDaysBefore(1900.0);
}

// Day of the year of the first of a month (1..12).
double firstDayOfMonth(int month, bool leapYear) {
  const int leapDay = (month > 2 && leapYear) ? 1 : 0;
  return kDaysBeforeMonth[month - 1] + leapDay + 1.0;
}

// Where a time falls: its year, its day within the year and the hour of that day.
struct DayPosition {
  int year = 1900;
  int dayOfYear = 1;
  double hour = 0.0;
};

// Times outside the years 1..9999 are clamped to that range (up to the last whole
// hour of 9999, so that snapping the hour cannot leave it); NaN is taken as time 0.
double clampTime(double time) {
  if (std::isnan(time)) return 0.0;
  const double lowest = startOfYear(kFirstYear);
  const double highest = startOfYear(kLastYear + 1) - 1.0 / kHoursPerDay;
  return std::fmin(std::fmax(time, lowest), highest);
}

// The last year whose start is not after the start of a day; the first guess from
// the mean year length is off by at most one year.
int yearOfDay(double dayStart) {
  const double guess = 1900.0 + std::floor(dayStart / 365.2425);
  int year = static_cast<int>(std::fmin(std::fmax(guess, kFirstYear), kLastYear));
  while (year > kFirstYear && startOfYear(year) > dayStart) --year;
  while (year < kLastYear && startOfYear(year + 1.0) <= dayStart) ++year;
  return year;
}

DayPosition locate(double time) {
  const double t = clampTime(time);
  double dayStart = std::floor(t);
  double hour = (t - dayStart) * kHoursPerDay;
  const double nextWhole = std::ceil(hour);
  if (nextWhole - hour < kHourSnap) hour = nextWhole;
  // A snapped hour of 24 is midnight of the next day, keeping the record valid.
  if (hour >= kHoursPerDay) {
    dayStart += 1.0;
    hour = 0.0;
  }
  DayPosition position;
  position.year = yearOfDay(dayStart);
  position.dayOfYear = static_cast<int>(dayStart - startOfYear(position.year)) + 1;
  position.hour = hour;
  return position;
}

DateRecord recordOf(const DayPosition& position) {
  const bool leapYear = isLeap(position.year);
  int month = 12;
  while (month > 1 && firstDayOfMonth(month, leapYear) > position.dayOfYear) --month;
  DateRecord date;
  date.year = position.year;
  date.month = month;
  date.day = position.dayOfYear - firstDayOfMonth(month, leapYear) + 1.0;
  date.hour = position.hour;
  date.minute = 0.0;
  return date;
}

// Zero-padded decimal digits of a non-negative number.
std::string digits(int value, int width) {
  std::string text(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10) {
    text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  }
  return text;
}

// Date of the text forms; a time just before midnight counts to the next day.
DateRecord displayedDate(double time) {
  const double fraction = time - std::floor(time);
  return dateOfTime(fraction > kEndOfDayFraction ? time + kEndOfDayShift : time);
}

// Hand-written files may end a date with tabs or a carriage return.
std::string_view trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// A date form is a pattern of one character per text position: d day, m month
// digit, M month-name letter, y year, h hour, n minute, '-' any single separator.
// Reads the fields of a text of the pattern's length into the date; BadFormat when
// a numeric position holds anything but a digit, BadMonth for an unknown month.
ParsedDate readForm(std::string_view text, std::string_view pattern) {
  int day = 0;
  int month = 0;
  int year = pattern.find('y') == std::string_view::npos ? 1900 : 0;
  int hour = 0;
  int minute = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    int* field = nullptr;
    switch (pattern[i]) {
      case 'd':
        field = &day;
        break;
      case 'm':
        field = &month;
        break;
      case 'y':
        field = &year;
        break;
      case 'h':
        field = &hour;
        break;
      case 'n':
        field = &minute;
        break;
      default:
        continue;
    }
    if (!isDigit(text[i])) return {};
    *field = *field * 10 + (text[i] - '0');
  }
  const std::size_t nameStart = pattern.find('M');
  if (nameStart != std::string_view::npos) month = monthOfName(text.substr(nameStart, 3));

  ParsedDate result;
  if (month < 1 || month > 12) {
    result.status = DateStatus::BadMonth;
    return result;
  }
  result.status = DateStatus::Ok;
  result.date =
      DateRecord{static_cast<double>(year), static_cast<double>(month), static_cast<double>(day),
                 static_cast<double>(hour), static_cast<double>(minute)};
  return result;
}

// The trimmed length of the text selects its form.
template <std::size_t N>
ParsedDate readAnyForm(std::string_view text, const std::array<std::string_view, N>& patterns) {
  const std::string_view trimmed = trim(text);
  for (const std::string_view pattern : patterns) {
    if (pattern.size() == trimmed.size()) return readForm(trimmed, pattern);
  }
  return {};
}

constexpr std::array<std::string_view, 5> kInputForms = {"dd-MMM", "d-MMM-yyyy", "dd-MMM-yyyy",
                                                         "dd-MMM-yyyy-hhnn", "dd-MMM-yyyy-hh-nn"};
constexpr std::array<std::string_view, 5> kStampForms = {"dd-MMM", "dd-MMM-yyyy", "yyyymmddhhnn",
                                                         "ddMMMyyyyhhnn", "dd-MMM-yyyy-hh-nn"};

}  // namespace

std::string_view monthName(int month) {
  if (month < 1 || month > 12) return {};
  return kMonthNames[static_cast<std::size_t>(month - 1)];
}

int monthOfName(std::string_view name) {
  for (std::size_t i = 0; i < kMonthNames.size(); ++i) {
    if (kMonthNames[i] == name) return static_cast<int>(i) + 1;
  }
  return 0;
}

bool isLeapYear(int year) {
  return isLeap(year);
}

int daysInMonth(int month, int year) {
  if (month < 1 || month > 12) return 0;
  return kDaysInMonth[static_cast<std::size_t>(month - 1)] + ((month == 2 && isLeap(year)) ? 1 : 0);
}

int daysInYear(int year) {
  return isLeap(year) ? 366 : 365;
}

double timeOfDate(const DateRecord& date) {
  if (!std::isfinite(date.year) || !std::isfinite(date.month) || !std::isfinite(date.day)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  // A month outside 1..12 carries into the year, as month 13 is January of the next;
  // fmod is exact, so the month index stays in range for any finite month.
  const double monthsFromJanuary = std::floor(date.month) - 1.0;
  double monthIndex = std::fmod(monthsFromJanuary, 12.0);
  if (monthIndex < 0.0) monthIndex += 12.0;
  const double year = std::floor(date.year) + (monthsFromJanuary - monthIndex) / 12.0;
  const int month = static_cast<int>(monthIndex) + 1;
  return startOfYear(year) + firstDayOfMonth(month, isLeap(year)) + date.day - 2.0;
}

DateRecord dateOfTime(double time) {
  return recordOf(locate(time));
}

std::string dateText(double time) {
  const DateRecord date = displayedDate(time);
  std::string text = digits(static_cast<int>(date.day), 2) + "-" +
                     std::string(monthName(static_cast<int>(date.month))) + "-" +
                     digits(static_cast<int>(date.year), 4);
  // Only midnight itself is the plain date. The rest of the first hour, and a time
  // just before midnight (moved into the next day), carry hour 00; whether h00 or
  // h30 follows is decided on the time as given.
  if (date.hour == 0.0) return text + std::string(6, ' ');
  const int hour = static_cast<int>(std::floor(date.hour));
  const double hours = (time - std::floor(time) + kHalfHourSlack) * kHoursPerDay;
  const bool wholeHour = hours - std::floor(hours) <= kWholeHourLimit;
  return text + "-" + digits(hour, 2) + (wholeHour ? "h00" : "h30");
}

std::string dateTextNumeric(double time) {
  const DateRecord date = displayedDate(time);
  return digits(static_cast<int>(date.day), 2) + " " + digits(static_cast<int>(date.month), 2) +
         " " + digits(static_cast<int>(date.year), 4);
}

int year(double time) {
  return locate(time).year;
}

int dayOfYear(double time) {
  return locate(time).dayOfYear;
}

int month(double time) {
  return static_cast<int>(dateOfTime(time).month);
}

double fractionalYear(double time) {
  const DayPosition position = locate(time);
  return position.year + (position.dayOfYear - 1.0) / daysInYear(position.year);
}

bool isFirstDayOfMonth(double time) {
  return dateOfTime(time).day == 1.0;
}

double periodLength(Period period, double time) {
  const DateRecord date = dateOfTime(time);
  const int days = daysInMonth(static_cast<int>(date.month), static_cast<int>(date.year));
  switch (period) {
    case Period::Decade:
      if (date.day == 1.0 || date.day == 11.0) return 10.0;
      return date.day == 21.0 ? days - 20.0 : 0.0;
    case Period::Month:
      return date.day == 1.0 ? days : 0.0;
    case Period::Year:
      return (date.month == 1.0 && date.day == 1.0) ? daysInYear(static_cast<int>(date.year)) : 0.0;
  }
  return 0.0;
}

ParsedDate parseInputDate(std::string_view text) {
  ParsedDate result = readAnyForm(text, kInputForms);
  if (result.status != DateStatus::Ok) return result;
  const DateRecord& date = result.date;
  // Only the day is checked: the hour is counted in time steps from the start of
  // the day (24h00 of an hourly run is midnight of the next day), and the minute
  // is not used.
  if (date.day > daysInMonth(static_cast<int>(date.month), static_cast<int>(date.year))) {
    result.status = DateStatus::IllegalDay;
  }
  return result;
}

ParsedDate parseDateText(std::string_view text) {
  return readAnyForm(text, kStampForms);
}

}  // namespace korvan::calendar
