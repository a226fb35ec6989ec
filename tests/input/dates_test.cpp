#include "input/dates.hpp"

#include <gtest/gtest.h>

#include "core/run.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;

TEST(DateReader, AnHourCountsInTimeStepsOfTheRun) {
  TestRun t(minimalInput());
  t.setup();
  Dates& d = t.run().dates();
  // Before the time step is set the hour adds nothing.
  EXPECT_EQ(d.rdDate("15-Mar-1980-08h30", "Evt"), 29219.0 + 31 + 29 + 14);
  t.run().clock().setTimeStep(kHour);
  EXPECT_DOUBLE_EQ(d.rdDate("15-Mar-1980-08h30", "Evt"), 29219.0 + 74 + 8.0 / 24.0);
  EXPECT_DOUBLE_EQ(d.rdDate("15-Mar-1980-0800", "Evt"), 29219.0 + 74 + 8.0 / 24.0);
  // Day 00 falls on the last day of the month before.
  EXPECT_EQ(d.rdDate("00-Mar-1980", "Evt"), 29219.0 + 59);
  // Hours past 23 run into the next days; the minute is not used.
  EXPECT_EQ(d.rdDate("14-May-1980-24h00", "Evt"), d.rdDate("15-May-1980", "Evt"));
  EXPECT_DOUBLE_EQ(d.rdDate("15-Mar-1980-99h99", "Evt"), 29219.0 + 74 + 99.0 / 24.0);
  EXPECT_DOUBLE_EQ(d.rdDate("15-Mar-1980-0875", "Evt"), 29219.0 + 74 + 8.0 / 24.0);
  t.finish();
}

TEST(DateTextConversion, TimeStampsOfFieldModelFilesAndTheirErrors) {
  TestRun t(minimalInput());
  t.setup();
  Dates& d = t.run().dates();
  const calendar::DateRecord r = d.strToDate("198003150830");
  EXPECT_EQ(r.day, 15);
  EXPECT_EQ(r.hour, 8);
  EXPECT_EQ(d.strToDate("15-Mar").year, 1900);
  TestRun month(minimalInput());
  month.setup();
  EXPECT_EQ(month.expectFatal([&] { month.run().dates().strToDate("15-Mrt-1980"); }),
            std::vector<std::string>{"Illegal month in record StrToDate"});
  EXPECT_EQ(
      t.expectFatal([&] { d.strToDate("15-March-1980"); }),
      (std::vector<std::string>{" Fatal while converting date", " Format must be dd-mmm-yyyy "}));
}

}  // namespace
}  // namespace korvan
