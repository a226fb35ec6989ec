#include "input/sim_clock.hpp"

#include <gtest/gtest.h>

#include "core/run.hpp"
#include "input/calendar.hpp"
#include "input/input_fatal.hpp"
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
  EXPECT_EQ(c.clock().tim(), 29219.0);
  EXPECT_EQ(c.clock().timPrn(), 29220.0);

  ClockRun one(periodInput("05-Jun-1990", "05-Jun-1990", "Hour"));
  EXPECT_EQ(one.clock().timEnd() - one.clock().timStart(), 1.0);  // one day simulated
  EXPECT_EQ(one.clock().delTimPrn(), 1.0 / 24.0);
}

TEST(PrintInterval, CalendarPeriodsFollowTheMonths) {
  ClockRun c(periodInput("01-Feb-1981", "31-Dec-1981", "Month"));
  SimClock& k = c.clock();
  EXPECT_EQ(k.delTimPrn(), 28.0);
  // Print times fall on the first of every month.
  for (int month = 3; month <= 12; ++month) {
    EXPECT_EQ(calendar::dateText(k.timPrn()),
              calendar::dateText(calendar::timeOfDate({1981, double(month), 1, 0, 0})));
    k.setNextPrintTime();
  }

  ClockRun d(periodInput("21-Feb-1981", "31-Dec-1981", "Decade"));
  EXPECT_EQ(d.clock().delTimPrn(), 8.0);
  d.clock().setNextPrintTime();  // 01-Mar: a decade of 10 days
  EXPECT_EQ(d.clock().timPrn() - d.clock().timStart(), 18.0);

  ClockRun y(periodInput("01-Jan-1980", "31-Dec-1989", "Year"));
  EXPECT_EQ(y.clock().timPrn(), 29219.0 + 366.0);
  y.clock().setNextPrintTime();
  EXPECT_EQ(y.clock().timPrn(), 29219.0 + 366.0 + 365.0);
}

TEST(SimulationPeriod, ErrorsOfPeriodAndPrintInterval) {
  const auto mustStart = [](const char* option, const char* noun) {
    return std::vector<std::string>{
        std::string("OptDelTimPrn was set to ") + option,
        std::string("TimStart must be set equal to the beginning of a ") + noun,
        "We recommend to start at January 1 of any year"};
  };
  const struct {
    std::string input;
    std::vector<std::string> err;
  } cases[] = {
      {periodInput("01-Jan-1980", "31-Dec-1979", "Day"), {"TimEnd < TimStart"}},
      {periodInput("01-Jan-1899", "31-Dec-1980", "Day"), {"TimStart before 01-Jan-1900"}},
      {periodInput("15-Feb-1981", "31-Dec-1981", "Month"), mustStart("Month", "month")},
      {periodInput("02-Jan-1981", "31-Dec-1981", "Decade"), mustStart("Decade", "decade")},
      {periodInput("01-Feb-1981", "31-Dec-1981", "Year"), mustStart("Year", "year")},
      {periodInput("01-Jan-1981", "31-Dec-1981", "Other", "2.5 DelTimPrn (d)\n"),
       {"Print time step should be integer"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(testing::fatalLines(c.input, [](TestRun& t) { t.run().clock().readSettings(); }),
              c.err)
        << c.input;
  }
  const auto err =
      testing::fatalLines(periodInput("01-Jan-1981", "31-Dec-1981", "Other", "0.5 DelTimPrn (d)\n"),
                          [](TestRun& t) { t.run().clock().readSettings(); });
  ASSERT_EQ(err.size(), 3u);
  EXPECT_EQ(err[0], "FATAL: value < minimum");
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
  // A reset restarts the count from TimStart.
  k.resetToStart();
  for (int h = 0; h < 5; ++h) k.advance();
  k.resetToStart();
  for (int h = 0; h < 24; ++h) k.advance();
  EXPECT_EQ(k.tim(), 29220.0);

  // Ten-minute steps as well.
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
  EXPECT_NEAR(k.timPrn(), 29585.0 + 1.0 / 24.0, 1e-9);

  // After a reset the print times start again one interval after TimStart.
  k.resetToStart();
  k.resetPrintTime();
  EXPECT_EQ(k.timPrn(), 29219.0 + 1.0 / 24.0);
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
