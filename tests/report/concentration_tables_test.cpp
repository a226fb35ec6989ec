#include "report/concentration_tables.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "core/text_file.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::runnableInput;
using testing::TestRun;

// The runnable one-compound ditch (100 m, 10 segments, so segment N runs from
// 90 to 100 m) over January 1980, with the suspended solids and a sediment
// target layer of 1 cm (two layers of 0.5 cm).
std::string tablesInput() {
  std::string input = runnableInput();
  input.replace(input.find("0.09 CntOmSusSol"), 16, "0.1 CntOmSusSol");
  input.replace(input.find("100 KomSusSol_CMP"), 17, "1000 KomSusSol_CMP");
  input.replace(input.find("02-Jan-1980 TimEnd"), 18, "31-Jan-1980 TimEnd");
  return input;
}

class ConcentrationTablesTest : public ::testing::Test {
 protected:
  ConcentrationTablesTest() : t_(tablesInput()) {
    t_.setup();
    SimClock& clock = t_.run().clock();
    clock.readSettings();
    clock.setTimeStep(kHour);
    clock.resetToStart();
    t_.run().waterBody().getWaterBody();
  }
  ~ConcentrationTablesTest() override { t_.finish(); }

  // Hourly steps up to the time of day `day` (1 = 01-Jan-1980) and hour.
  void moveTo(int day, int hour) {
    SimClock& clock = t_.run().clock();
    while (clock.tim() < 29219.0 + (day - 1) + hour / 24.0 - 1e-6) clock.advance();
  }
  std::vector<std::string> lines(ConcentrationTables& tables) {
    tables.workFile(1).flush();
    return t_.dir().lines(tables.workFileName(1));
  }

  TestRun t_;
};

// The examples' tables (tests/e2e) hold numbers below 100 and "< 1e-6".
TEST(ConcentrationTableTexts, NumbersLeftAdjustedInMicrogramsAndWorkFileNames) {
  EXPECT_EQ(reportNumberText(0.0), "< 1e-6");
  EXPECT_EQ(reportNumberText(123.456), "123.5");  // f11.1 from 100
  // Work file names of two-digit compound numbers end in an underscore.
  EXPECT_EQ(pecWaterFileName(10), "PECsw10_.tmp");
  EXPECT_EQ(pecSedimentFileName(10), "PECSed10_.tmp");
  EXPECT_EQ(exposureFileName(10), "expcon10.tmp");
}

TEST_F(ConcentrationTablesTest, FirstCallReplacesOldFiles) {
  t_.dir().write("PECsw_1.tmp", "left over from an earlier run\n");
  ConcentrationTables water(t_.run(), TableMedium::WaterLayer);
  water.subStep(1, 0.0);  // any first call
  // The headers alone: the old line is gone.
  const std::vector<std::string> l = lines(water);
  ASSERT_EQ(l.size(), 12u);
  EXPECT_EQ(l[0], "* Tables: Maximum exposure concentrations in water layer");
}

TEST_F(ConcentrationTablesTest, OfTwoEqualMaximaTheFirstStaysAndItsLagsGoOn) {
  ConcentrationTables water(t_.run(), TableMedium::WaterLayer);
  moveTo(5, 10);
  water.endOfStepTable(1, 0.001);
  moveTo(7, 10);  // two days later the same value: no new maximum
  water.endOfStepTable(1, 0.001);
  EXPECT_EQ(water.maximumDateText(1), "05-Jan-1980-10h00");
  EXPECT_EQ(water.pecAfterLag(1, 1), 0.001);  // the 2-day lag of the first
}

TEST_F(ConcentrationTablesTest, WindowIsAveragedOnlyOnceItsOldestStepIsAboveZero) {
  ConcentrationTables water(t_.run(), TableMedium::WaterLayer);
  SimClock& clock = t_.run().clock();
  // Step 1: 0; steps 2..24: two sub-steps 0.016 and 0.032, mean 0.024.
  for (int step = 1; step <= 25; ++step) {
    if (step > 1 && step < 25) {
      water.subStep(1, 0.016);
      water.subStep(1, 0.032);
    } else {
      water.subStep(1, 0.0);
    }
    water.endOfStepTracking(1);
    // After 24 steps the 1-day window starts at the zero of step 1.
    if (step == 24) {
      EXPECT_EQ(water.maximumTwaDayNumber(1, 0), 0);
    }
    if (step < 25) clock.advance();
  }
  // Step 25 at 02-Jan 00h: 23 x 0.024 / 24 = 0.023 g.m-3.
  EXPECT_NEAR(water.maximumTwa(1, 0), 0.023, 1e-15);
  EXPECT_EQ(water.maximumTwaDayNumber(1, 0), 2);
  // The 2-day window still reaches back to the zeros before the run.
  EXPECT_EQ(water.maximumTwaDayNumber(1, 1), 0);
}

TEST_F(ConcentrationTablesTest, WithoutAMaximumEveryPecRowIsADashRow) {
  ConcentrationTables water(t_.run(), TableMedium::WaterLayer);
  for (int day = 2; day <= 5; ++day) {
    moveTo(day, 0);
    water.endOfStepTable(1, day == 3 ? -1e-12 : 0.0);  // never above 0
  }
  water.writePecTable();
  const std::vector<std::string> l = lines(water);
  ASSERT_EQ(l.size(), 12u + 12u + 2u);
  EXPECT_EQ(l[12], "Global max                      -                  - ");
  EXPECT_EQ(l[13], "(incl. suspend.solids           -                  - )");
  EXPECT_EQ(l[14], "PECsw_1_day                     -                  - ");
  EXPECT_EQ(l[23], "PECsw_100_days                     -                  - ");

  t_.run().sediment().getSedimentProfile();
  ConcentrationTables sediment(t_.run(), TableMedium::Sediment);
  sediment.writePecTable();
  const std::vector<std::string> sed = lines(sediment);
  ASSERT_EQ(sed.size(), 10u + 11u + 2u);
  EXPECT_EQ(sed[10], "Global max               -                    -                   - ");
  EXPECT_EQ(sed[11], "PECsed_1_day             -                    -                   - ");
}

// The window maxima equal, bit for bit, those of summing every window's
// step means from the newest back at every step, over a year and a half of
// daily means with pauses, pulses of six decades, slow rises and decays (a window
// whose running sum cannot reach its maximum is not summed again).
TEST_F(ConcentrationTablesTest, WindowMaximaEqualThoseOfSummingEveryWindowAtEveryStep) {
  SimClock& clock = t_.run().clock();
  clock.setTimeStep(1.0);
  clock.resetToStart();
  // The exposure series of a daily run keeps the integrals of 7 days + 1.
  EXPECT_EQ(TwaExposureSeries(t_.run(), {7.0}).ringLength(), 8u);
  ConcentrationTables water(t_.run(), TableMedium::WaterLayer);
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> means;
  double level = 0.0;
  std::array<double, kPecDays.size()> maximum{};
  std::array<int, kPecDays.size()> day{};
  for (int step = 0; step < 550; ++step) {
    const double r = u(rng);
    const double trend = (step / 60) % 2 == 0 ? 1.02 : 0.97;  // rising and falling spells
    level = r < 0.02 ? std::pow(10.0, -6.0 + 6.0 * u(rng)) : r < 0.04 ? 0.0 : level * trend;
    means.push_back(level);
    water.subStep(1, level);
    water.endOfStepTracking(1);
    for (std::size_t w = 0; w < kPecDays.size(); ++w) {
      const auto steps = static_cast<std::size_t>(kPecDays[w]);
      const auto meanAt = [&](std::size_t p) {
        return p <= means.size() ? means[means.size() - p] : 0.0;
      };
      if (!(meanAt(steps) > 0.0)) continue;
      double sum = 0.0;
      for (std::size_t p = 1; p <= steps; ++p) sum += meanAt(p);
      if (sum / static_cast<double>(steps) > maximum[w]) {
        maximum[w] = sum / static_cast<double>(steps);
        day[w] = water.dayNumber(clock.tim());
      }
    }
    clock.advance();
  }
  for (std::size_t w = 0; w < kPecDays.size(); ++w) {
    SCOPED_TRACE(kPecDays[w]);
    EXPECT_EQ(water.maximumTwa(1, static_cast<int>(w)), maximum[w]);
    EXPECT_EQ(water.maximumTwaDayNumber(1, static_cast<int>(w)), day[w]);
    EXPECT_GT(day[w], 0);
  }
}

TEST_F(ConcentrationTablesTest, ExposureSeriesWritesTheWindowAverageOfTheIntegral) {
  TwaExposureSeries series(t_.run(), {1.0});
  EXPECT_EQ(series.ringLength(), 25u);  // the integrals of 24 hours + 1
  SimClock& clock = t_.run().clock();
  // The integral grows by 0.001 g.m-3.d per hour; the evaluation-stretch
  // concentration is 0.5 g.m-3.
  for (int step = 1; step <= 25; ++step) {
    series.step(1, step * 0.001, 0.5);
    if (step < 25) clock.advance();
  }
  t_.run().units().file(series.workUnit(1)).flush();
  const std::vector<std::string> l = t_.dir().lines("expcon1.tmp");
  ASSERT_EQ(l.size(), 25u);
  // Step 1: (0.001 - 0) / 1 d. Step 25, one day on: (0.025 - 0.001) / 1 d.
  EXPECT_EQ(l[0], "    0.000 01-Jan-1980          0.5000       0.1000E-02");
  EXPECT_EQ(l[24], "    1.000 02-Jan-1980          0.5000       0.2400E-01");
}

}  // namespace
}  // namespace korvan
