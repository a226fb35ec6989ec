#include "input/sim_clock.hpp"

#include <gtest/gtest.h>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;

std::string periodInput(const std::string& start, const std::string& end, const std::string& print,
                        const std::string& extra = "") {
  return "MERIXKORVAN CallingProgram\n1.0 CallingProgramVersion\n" + start + " TimStart\n" + end +
         " TimEnd\n" + print + " OptDelTimPrn\nNo OptDelOutFiles\n" + extra;
}

// Reads the settings of an input and returns the clock.
struct ClockRun {
  explicit ClockRun(const std::string& input) : t(input) {
    t.setup();
    t.run().clock().readSettings();
  }
  SimClock& clock() { return t.run().clock(); }
  TestRun t;
};

TEST(SimulationPeriod, StartAndEndOfDays) {
  ClockRun c(periodInput("01-Jan-1980", "31-Dec-1980", "Day"));
  EXPECT_EQ(c.clock().timStart(), 29219.0);
  EXPECT_EQ(c.clock().timEnd(), 29585.0);  // 366 days of the leap year 1980
  EXPECT_EQ(c.clock().timPrn(), 29220.0);

  ClockRun one(periodInput("05-Jun-1990", "05-Jun-1990", "Hour"));
  EXPECT_EQ(one.clock().timEnd() - one.clock().timStart(), 1.0);  // one day simulated
  EXPECT_EQ(one.clock().delTimPrn(), 1.0 / 24.0);
}

TEST(PrintInterval, CalendarPeriodsFollowTheMonths) {
  ClockRun d(periodInput("21-Feb-1981", "31-Dec-1981", "Decade"));
  EXPECT_EQ(d.clock().delTimPrn(), 8.0);
  d.clock().setNextPrintTime();  // 01-Mar: a decade of 10 days
  EXPECT_EQ(d.clock().timPrn() - d.clock().timStart(), 18.0);

  ClockRun y(periodInput("01-Jan-1980", "31-Dec-1989", "Year"));
  EXPECT_EQ(y.clock().timPrn(), 29219.0 + 366.0);
  y.clock().setNextPrintTime();
  EXPECT_EQ(y.clock().timPrn(), 29219.0 + 366.0 + 365.0);
}

TEST(SimulationPeriod, AStartBefore1900IsFatal) {
  TestRun t(periodInput("01-Jan-1899", "31-Dec-1980", "Day"));
  t.setup();
  EXPECT_EQ(t.expectFatal([&] { t.run().clock().readSettings(); }),
            std::vector<std::string>{"TimStart before 01-Jan-1900"});
}

TEST(PrintInterval, AutomaticAndOther) {
  // 20 years: (29219 + 7305 - 1 - 29219) / 1000 = 7.3 -> 7 days.
  ClockRun twenty(periodInput("01-Jan-1980", "31-Dec-1999", "Automatic"));
  EXPECT_EQ(twenty.clock().delTimPrn(), 7.0);
  ClockRun year(periodInput("01-Jan-1981", "31-Dec-1981", "Automatic"));
  EXPECT_EQ(year.clock().delTimPrn(), 1.0);

  ClockRun other(periodInput("01-Jan-1981", "31-Dec-1981", "Other", "3 DelTimPrn (d)\n"));
  EXPECT_EQ(other.clock().delTimPrn(), 3.0);
}

TEST(Clock, HourlyStepsLandExactlyOnDayBoundaries) {
  ClockRun c(periodInput("01-Jan-1980", "31-Dec-1980", "Hour"));
  SimClock& k = c.clock();
  k.setTimeStep(kHour);
  for (int day = 1; day <= 366; ++day) {
    for (int h = 0; h < 24; ++h) k.advance();
    ASSERT_EQ(k.tim(), 29219.0 + day);  // exact, not merely within tolerance
  }
  // A reset restarts the count from TimStart; ten-minute steps as well.
  k.resetToStart();
  k.setTimeStep(kTenMinutes);
  for (int s = 0; s < 144; ++s) k.advance();
  EXPECT_EQ(k.tim(), 29220.0);
}

TEST(Clock, HourlyPrintTimesLandExactlyOnDayBoundaries) {
  ClockRun c(periodInput("01-Jan-1980", "31-Dec-1980", "Hour"));
  SimClock& k = c.clock();
  k.setTimeStep(kHour);
  int prints = 0;
  while (k.tim() < k.timEnd()) {
    k.advance();
    if (SimClock::timeReached(k.tim(), k.timPrn())) {
      ++prints;
      k.setNextPrintTime();
    }
  }
  EXPECT_EQ(prints, 366 * 24);

  // After a reset the print times start again one interval after TimStart.
  k.resetToStart();
  k.resetPrintTime();
  for (int h = 0; h < 23; ++h) k.setNextPrintTime();
  EXPECT_EQ(k.timPrn(), 29220.0);
}

TEST(Clock, SubStepTime) {
  ClockRun c(periodInput("01-Jan-1980", "31-Dec-1980", "Day"));
  SimClock& k = c.clock();
  k.setSubSteps(4, 900.0);
  k.resetSubTime();
  for (int i = 0; i < 4; ++i) k.advanceSubTime();
  EXPECT_NEAR(k.subTime(), 29219.0 + 3600.0 / 86400.0, 1e-9);  // 4 x 900 s
  EXPECT_EQ(k.calculationTimeStep(false, true), 900.0);
  EXPECT_EQ(k.calculationTimeStep(true, true), 3600.0);
  EXPECT_EQ(k.calculationTimeStep(true, false), 1.0);
}

}  // namespace
}  // namespace korvan
