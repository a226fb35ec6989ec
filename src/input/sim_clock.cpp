#include "input/sim_clock.hpp"

#include <cmath>
#include <string>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "input/calendar.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"

namespace korvan {

namespace {

struct CalendarPeriod {
  calendar::Period period;
  const char* name;
  const char* noun;
};

CalendarPeriod calendarPeriodOf(PrintInterval interval) {
  switch (interval) {
    case PrintInterval::Decade:
      return {calendar::Period::Decade, "Decade", "decade"};
    case PrintInterval::Month:
      return {calendar::Period::Month, "Month", "month"};
    default:
      return {calendar::Period::Year, "Year", "year"};
  }
}

bool isCalendarInterval(PrintInterval interval) {
  return interval == PrintInterval::Decade || interval == PrintInterval::Month ||
         interval == PrintInterval::Year;
}

}  // namespace

double SimClock::calendarInterval(double time) const {
  return calendar::periodLength(calendarPeriodOf(printInterval_).period, time);
}

void SimClock::readSettings() {
  Numbers& numbers = run_.numbers();
  Messages& messages = run_.messages();
  const std::string routine = messages.record().routine;

  timStart_ = numbers.rdFloat("TimStart", {.isDate = true});
  tim_ = timStart_;
  if (timStart_ < 0.0) messages.fatal(routine, "TimStart before 01-Jan-1900");

  const double timEndRead = numbers.rdFloat("TimEnd", {.isDate = true});
  if (timEndRead < timStart_) messages.fatal(routine, "TimEnd < TimStart");
  timEnd_ = timEndRead + 1.0;

  printInterval_ = static_cast<PrintInterval>(
      run_.records().rdOption("OptDelTimPrn", "Hour Day Decade Month Year Automatic Other"));
  switch (printInterval_) {
    case PrintInterval::Hour:
      delTimPrn_ = kHour;
      break;
    case PrintInterval::Day:
      delTimPrn_ = 1.0;
      break;
    case PrintInterval::Decade:
    case PrintInterval::Month:
    case PrintInterval::Year: {
      delTimPrn_ = calendarInterval(timStart_);
      if (delTimPrn_ == 0.0) {
        const CalendarPeriod p = calendarPeriodOf(printInterval_);
        messages.fatal(routine, std::string("OptDelTimPrn was set to ") + p.name,
                       std::string("TimStart must be set equal to the beginning of a ") + p.noun,
                       "We recommend to start at January 1 of any year");
      }
      break;
    }
    case PrintInterval::Automatic:
      delTimPrn_ = std::max(1.0, std::floor((timEndRead - timStart_) / 1000.0));
      break;
    case PrintInterval::Other: {
      delTimPrn_ = numbers.rdFloat("DelTimPrn", {.unit = "(d)", .min = 1.0});
      if (std::fabs(std::fmod(delTimPrn_, 1.0)) > 1e-9) {
        messages.fatal(routine, "Print time step should be integer");
      }
      break;
    }
  }
  timPrn_ = tim_ + delTimPrn_;
}

void SimClock::resetToStart() {
  tim_ = timStart_;
  restartSteps_ = true;
}

void SimClock::resetPrintTime() {
  if (isCalendarInterval(printInterval_)) delTimPrn_ = calendarInterval(tim_);
  timPrn_ = tim_ + delTimPrn_;
  restartPrints_ = true;
}

void SimClock::advance() {
  tim_ += delTim_;
  if (delTim_ == kHour) {
    if (restartSteps_) {
      baseDay_ = timStart_;
      stepCounter_ = 0;
      restartSteps_ = false;
    }
    if (++stepCounter_ == 24) {
      stepCounter_ = 0;
      tim_ = baseDay_ + 1.0;
      baseDay_ = tim_;
    }
  } else if (delTim_ == kTenMinutes) {
    if (restartSteps_) {
      baseDay_ = timStart_;
      stepCounter_ = 0;
      restartSteps_ = false;
    }
    stepCounter_ += 10;
    if (stepCounter_ == 1440) {
      stepCounter_ = 0;
      tim_ = baseDay_ + 1.0;
      baseDay_ = tim_;
    }
  }
}

void SimClock::setNextPrintTime() {
  if (isCalendarInterval(printInterval_)) delTimPrn_ = calendarInterval(timPrn_);
  timPrn_ += delTimPrn_;
  if (delTimPrn_ == kHour) {
    if (restartPrints_) {
      printBaseDay_ = timStart_;
      printHourCounter_ = 1;
      restartPrints_ = false;
    }
    if (++printHourCounter_ == 24) {
      printHourCounter_ = 0;
      timPrn_ = printBaseDay_ + 1.0;
      printBaseDay_ = timPrn_;
    }
  }
}

}  // namespace korvan
