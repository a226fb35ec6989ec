#include "input/numbers.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "core/run.hpp"
#include "input/input_fatal.hpp"
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

TEST(RdFloat, BoundNumberAndDateErrors) {
  const auto depWat = [](TestRun& t) {
    t.run().numbers().rdFloat("DepWat", {.unit = "(m)", .min = 0.0});
  };
  const auto date = [](const char* name) {
    return [name](TestRun& t) { t.run().numbers().rdFloat(name, {.isDate = true}); };
  };
  const struct {
    std::string records;
    std::function<void(TestRun&)> read;
    std::vector<std::string> err;
  } cases[] = {
      {"-0.1 DepWat (m)\n",
       depWat,
       {"FATAL: value < minimum",
        "Input was:  -0.1000000    ; the mimimum value is:   0.0000000E+00",
        "Variable name is: DepWat"}},
      {"2.5 FraX (-)\n",
       [](TestRun& t) { t.run().numbers().rdFloat("FraX", {.unit = "(-)", .max = 1.0}); },
       {"FATAL: value > maximum", "The maximum value is:       1.0000000",
        "Variable name is: FraX"}},
      {"abc DepWat (m)\n", depWat, {" Fatal while reading record DepWat"}},
      {"NaN DepWat (m)\n", depWat, {" Fatal while reading record DepWat"}},
      {"1.5m DepWat (m)\n", depWat, {" Fatal while reading record DepWat"}},
      {"--1 DepWat (m)\n", depWat, {" Fatal while reading record DepWat"}},
      {"31-Apr-1980 Tbad\n", date("Tbad"), {"The following date is illegal:", "31-Apr-1980"}},
      {"15-mar-1980 Tmonth\n", date("Tmonth"), {"Illegal month in record Tmonth"}},
      {"1980-03-15 Tform\n",
       date("Tform"),
       {"Fatal while reading record Tform", "Format must be dd-mmm-yyyy, dd-mmm or xx-Emgddd, and",
        "number of applications in kvn and lateral entry file must be equal"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(testing::fatalLines(minimalInput(c.records), c.read), c.err) << c.records;
  }
  TestRun t(minimalInput("15-Mar Tday\n"));
  t.setup();
  EXPECT_EQ(t.run().numbers().rdFloat("Tday", {.isDate = true}), 73.0);  // 31 + 28 + 14 in 1900
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
    TestRun t(
        minimalInput("Automatic OptHyd\nAutomatic OptTem\ntable compounds\nCMP\nend_table\n"));
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
