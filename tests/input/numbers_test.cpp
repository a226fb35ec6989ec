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
  TestRun t(minimalInput(
      "1.5e-3 CofDif (m2.d-1)\n"
      "0.5 FacX\n"
      "2.0 Dt50_MET (d)\n"
      "10 Low (m)\n"));
  t.setup();
  Numbers& n = t.run().numbers();
  EXPECT_EQ(n.rdFloat("CofDif", {.unit = "(m2.d-1)"}), 0.0015);
  EXPECT_EQ(n.rdFloat("FacX"), 0.5);
  EXPECT_EQ(n.rdFloat("Dt50_MET", {.unit = "(d)"}), 2.0);
  // Values equal to a bound pass both checks.
  EXPECT_EQ(n.rdFloat("Low", {.unit = "(m)", .min = 10.0, .max = 10.0}), 10.0);
  t.run().log().flush();
  const auto log = t.dir().lines("t.log");
  const std::string dashes(80, '-');
  ASSERT_GE(log.size(), 7u);
  const std::size_t k = log.size() - 7;
  // Keyword right-aligned in 20, unit in 18, value in g12.5.
  EXPECT_EQ(log[k], dashes);
  EXPECT_EQ(log[k + 1], "              CofDif           (m2.d-1)  0.15000E-02");
  EXPECT_EQ(log[k + 2], dashes);
  EXPECT_EQ(log[k + 3], "                FacX  0.50000    ");
  // A per-compound keyword gets no separator line.
  EXPECT_EQ(log[k + 4], "            Dt50_MET                (d)   2.0000    ");
  EXPECT_EQ(log[k + 5], dashes);
  EXPECT_EQ(log[k + 6], "                 Low                (m)   10.000    ");
  t.finish();
}

TEST(RdFloat, BoundAndNumberErrors) {
  {
    TestRun t(minimalInput("-0.1 DepWat (m)\n"));
    t.setup();
    const auto err =
        t.expectFatal([&] { t.run().numbers().rdFloat("DepWat", {.unit = "(m)", .min = 0.0}); });
    ASSERT_EQ(err.size(), 3u);
    EXPECT_EQ(err[0], "FATAL: value < minimum");
    EXPECT_EQ(err[1], "Input was:  -0.1000000    ; the mimimum value is:   0.0000000E+00");
    EXPECT_EQ(err[2], "Variable name is: DepWat");
  }
  {
    TestRun t(minimalInput("2.5 FraX (-)\n"));
    t.setup();
    const auto err =
        t.expectFatal([&] { t.run().numbers().rdFloat("FraX", {.unit = "(-)", .max = 1.0}); });
    ASSERT_EQ(err.size(), 3u);
    EXPECT_EQ(err[0], "FATAL: value > maximum");
    EXPECT_EQ(err[1], "The maximum value is:       1.0000000");
    EXPECT_EQ(err[2], "Variable name is: FraX");
  }
  for (const char* bad : {"abc", "NaN", "1.5m", "--1"}) {
    TestRun t(minimalInput(std::string(bad) + " DepWat (m)\n"));
    t.setup();
    const auto err =
        t.expectFatal([&] { t.run().numbers().rdFloat("DepWat", {.unit = "(m)"}); });
    ASSERT_EQ(err.size(), 1u) << bad;
    EXPECT_EQ(err[0], " Fatal while reading record DepWat") << bad;
  }
}

TEST(RdFloat, DatesAreReadAsTimes) {
  TestRun t(minimalInput("15-Mar Tday\n31-Apr-1980 Tbad\n15-mar-1980 Tmonth\n15/03/1980 Tform\n"));
  t.setup();
  EXPECT_EQ(t.run().numbers().rdFloat("Tday", {.isDate = true}), 73.0);  // 31 + 28 + 14 in 1900
  const auto err =
      t.expectFatal([&] { t.run().numbers().rdFloat("Tbad", {.isDate = true}); });
  ASSERT_EQ(err.size(), 2u);
  EXPECT_EQ(err[0], "The following date is illegal:");
  EXPECT_EQ(err[1], "31-Apr-1980");
}

TEST(RdFloat, DateMessagesForMonthAndForm) {
  {
    TestRun t(minimalInput("15-mar-1980 Tmonth\n"));
    t.setup();
    const auto err =
        t.expectFatal([&] { t.run().numbers().rdFloat("Tmonth", {.isDate = true}); });
    ASSERT_EQ(err.size(), 1u);
    EXPECT_EQ(err[0], "Illegal month in record Tmonth");
  }
  {
    TestRun t(minimalInput("1980-03-15 Tform\n"));
    t.setup();
    const auto err =
        t.expectFatal([&] { t.run().numbers().rdFloat("Tform", {.isDate = true}); });
    ASSERT_EQ(err.size(), 3u);
    EXPECT_EQ(err[0], "Fatal while reading record Tform");
    EXPECT_EQ(err[1], "Format must be dd-mmm-yyyy, dd-mmm or xx-Emgddd, and");
    EXPECT_EQ(err[2], "number of applications in kvn and lateral entry file must be equal");
  }
}

TEST(RunOptions, AreReadOnceAndCached) {
  TestRun t(minimalInput(
      "Yes PrintCumulatives\nYears DateFormat\nCalc OptTimStp\nNo ExposureReport\n"
      "Yes PercentileReport\n"));
  t.setup();
  RunOptions& o = t.run().options();
  EXPECT_EQ(o.optInp(), InputInterval::Hourly);
  EXPECT_TRUE(o.printCumulatives());
  EXPECT_TRUE(o.printCumulatives());
  EXPECT_EQ(o.dateFormat(), DateFormat::Years);
  EXPECT_EQ(o.optTimStp(), TimeStepOption::Calc);
  EXPECT_FALSE(o.exposureReport());
  EXPECT_TRUE(o.percentileReport());
  EXPECT_FALSE(o.optDelOutFiles());
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
    EXPECT_NE(t.dir().read("t.log").find(
                  " No compounds in compounds table - skipping chemistry part of model\n"),
              std::string::npos);
  }
  {
    // Automatic without a hydrology file runs the hydrology pass.
    TestRun t(minimalInput("Automatic OptHyd\nAutomatic OptTem\ntable compounds\nCMP\nend_table\n"));
    t.dir().write("t.tem", "old temperature file\n");
    t.setup();
    EXPECT_EQ(t.run().options().optHyd(), PassOption::OnLine);
    EXPECT_EQ(t.run().options().optTem(), PassOption::OffLine);
    t.finish();
    const std::string log = t.dir().read("t.log");
    const std::string dir = t.dir().path().string();
    EXPECT_NE(log.find(" Hydrology file = " + dir + "/t.hyd\n File not found - run hydrology...\n"),
              std::string::npos);
    EXPECT_NE(log.find(" Temperature file = " + dir +
                       "/t.tem\n Temperature available ...\n File found - temperature skipped\n"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace korvan
