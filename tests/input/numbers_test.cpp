#include "input/numbers.hpp"

#include <gtest/gtest.h>

#include "core/run.hpp"
#include "input/run_options.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;

TEST(RdFloat, ReadsTheValueChecksTheUnitAndEchoesItToTheLog) {
  TestRun t(
      minimalInput("1.5e-3 CofDif (m2.d-1)\n"
                   "0.5 FacX\n"
                   "2.0 Dt50_MET (d)\n"));
  t.setup();
  Numbers& n = t.run().numbers();
  EXPECT_EQ(n.rdFloat("CofDif", {.unit = "(m2.d-1)"}), 0.0015);
  EXPECT_EQ(n.rdFloat("FacX"), 0.5);
  EXPECT_EQ(n.rdFloat("Dt50_MET", {.unit = "(d)"}), 2.0);
  t.run().log().flush();
  const auto log = t.dir().lines("t.log");
  const std::string dashes(80, '-');
  ASSERT_GE(log.size(), 5u);
  const std::size_t k = log.size() - 5;
  // Keyword right-aligned in 20, unit in 18, value in g12.5.
  EXPECT_EQ(log[k], dashes);
  EXPECT_EQ(log[k + 1], "              CofDif           (m2.d-1)  0.15000E-02");
  EXPECT_EQ(log[k + 2], dashes);
  EXPECT_EQ(log[k + 3], "                FacX  0.50000    ");
  // A per-compound keyword gets no separator line.
  EXPECT_EQ(log[k + 4], "            Dt50_MET                (d)   2.0000    ");
  t.finish();
}

TEST(RdFloat, BoundsAreInclusiveAndADateWithoutAYearLiesIn1900) {
  TestRun t(minimalInput("15-Mar Tday\n10 Low (m)\n"));
  t.setup();
  EXPECT_EQ(t.run().numbers().rdFloat("Tday", {.isDate = true}), 73.0);  // 31 + 28 + 14
  EXPECT_EQ(t.run().numbers().rdFloat("Low", {.unit = "(m)", .min = 10.0, .max = 10.0}), 10.0);
}

TEST(RunOptions, AreReadOnceAndCached) {
  TestRun t(
      minimalInput("Yes PrintCumulatives\nYears DateFormat\nCalc OptTimStp\nNo ExposureReport\n"
                   "Yes PercentileReport\n"));
  t.setup();
  RunOptions& o = t.run().options();
  EXPECT_EQ(o.optInp(), InputInterval::Hourly);
  EXPECT_TRUE(o.printCumulatives());
  EXPECT_TRUE(o.printCumulatives());
  EXPECT_EQ(o.dateFormat(), DateFormat::Years);
  EXPECT_FALSE(o.exposureReport());
  t.run().output().flush();
  const auto out = t.dir().read("t.out");
  // The note is written once, on the first query.
  EXPECT_NE(out.find("* Option PrintCumulatives was set to true\n"), std::string::npos);
  EXPECT_EQ(out.find("set to true"), out.rfind("set to true"));
  t.finish();
}

TEST(RunOptions, OptHydResolution) {
  {
    // No compounds: hydrology only.
    TestRun t(minimalInput("OnLine OptHyd\ntable compounds\nend_table\n"));
    t.setup();
    EXPECT_EQ(t.run().options().optHyd(), PassOption::Only);
    t.finish();
  }
  {
    // Automatic without a hydrology file runs the hydrology pass.
    TestRun t(
        minimalInput("Automatic OptHyd\nAutomatic OptTem\ntable compounds\nCMP\nend_table\n"));
    t.dir().write("t.tem", "old temperature file\n");
    t.setup();
    EXPECT_EQ(t.run().options().optHyd(), PassOption::OnLine);
    EXPECT_EQ(t.run().options().optTem(), PassOption::OffLine);
    t.finish();
    EXPECT_NE(t.dir().read("t.log").find(" Temperature file = " + t.dir().path().string() +
                                         "/t.tem\n Temperature available ...\n"
                                         " File found - temperature skipped\n"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace korvan
