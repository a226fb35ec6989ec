// The summary file of a short run (two days of January 1980, one compound,
// a ditch with constant flow, MERIX edition): its scenario and property
// lines, the remark on an incomplete last month, the lateral-entry line of
// spray drift only, and where the file ends with or without the optional reports.
#include "report/summary_report.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using Lines = std::vector<std::string>;

// The summary lines of the run; no work file remains after it.
Lines runSummary(const std::string& extra) {
  testing::TestRun t(testing::runnableInput(extra), "t");
  testing::writeTestWeather(t.dir());
  const int status = t.run().execute();
  EXPECT_EQ(status, kExitNormal) << t.dir().read("t.err");
  for (const std::string& f : t.dir().files()) {
    EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
  }
  return t.dir().lines("t.sum");
}

std::ptrdiff_t indexOf(const Lines& lines, const std::string& line) {
  const auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : it - lines.begin();
}

bool anyLineStartsWith(const Lines& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

TEST(SummaryReport, PropertiesMonthsLateralEntriesAndEndWithoutOptionalReports) {
  const Lines lines = runSummary("No ExposureReport\nNo PercentileReport\n");
  // Missing descriptive records give a dash; the properties are in their units:
  // 300 g.mol-1 in f8.1, DT50 10 d at 20 C in f10.2 and f4.1, solubility
  // 100 mg.L-1 in e10.3, Kom 100 L.kg-1 back from m3.g-1.
  for (const char* line : {
           "* Scenario                : -",
           "* Substance               : -",
           "* Application Scheme      : -",
           "* Substance  1:  CMP   ",
           "* Molar mass (g.mol-1)           :    300.0",
           "* Half-life in water (d)         :      10.00  measured at (C) : 20.0",
           "* Water solubility (mg.L-1)      :  0.100E+03  measured at (C) : 20.0",
           "* Kom susp.solids (coef. for sorption on organic matter) (L.kg-1) :     100.00",
       }) {
    EXPECT_GE(indexOf(lines, line), 0) << line;
  }
  // Drift only: no lateral entries, so no rows before the end of the section.
  const auto at = indexOf(lines, "* No lateral entries");
  ASSERT_GE(at, 0);
  EXPECT_EQ(lines[static_cast<std::size_t>(at) + 1],
            "* Maximum hourly fluxes from lateral entries");
  EXPECT_EQ(lines[static_cast<std::size_t>(at) + 3],
            "* End of KORVAN REPORT: Substance properties and substance loadings");
  // The run ends on 2 January: one month row per table (water balance, water
  // layer, sediment), each marked.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("* Last month not complete")), 3);
  EXPECT_TRUE(anyLineStartsWith(lines, "  1980   Jan"));
  // Without the exposure and percentile reports MERIX ends after the
  // concentration summary with its concentration tables.
  const auto summary = indexOf(lines, "* Concentration summary per summary period:");
  ASSERT_GE(summary, 0);
  EXPECT_FALSE(anyLineStartsWith(lines, "* KORVAN REPORT: Exposure in Waterbody"));
  EXPECT_FALSE(anyLineStartsWith(lines, "* KORVAN REPORT: Project_Summary"));
  EXPECT_FALSE(anyLineStartsWith(lines, "* Table: Annual maximum exposure"));
  EXPECT_GT(indexOf(lines, "* Tables: Maximum exposure concentrations in water layer"), summary);
}

TEST(SummaryReport, ScenarioRecordsAndBothOptionalReports) {
  const Lines lines = runSummary(
      "Ditch_D1 Location\nCMP_x SubstanceName\nSpray_once ApplicationScheme\n"
      "Yes ExposureReport\nYes PercentileReport\n");
  const Lines expected = {
      "* Scenario                : Ditch_D1",
      "* Meteo Station           : Weather",
      "* Substance               : CMP_x",
      "* Flow Type               : Constant",
      "* Water Body Type         : Constant",
      "* Application Scheme      : Spray_once",
      "* Simulation Period       : 01-Jan-1980 to 02-Jan-1980",
      "--------------------------------------------------------------------------------",
      "* End of KORVAN REPORT: Header",
  };
  const auto first = indexOf(lines, expected.front());
  ASSERT_GE(first, 0);
  ASSERT_GE(lines.size(), static_cast<std::size_t>(first) + expected.size());
  EXPECT_EQ(Lines(lines.begin() + first, lines.begin() + first + std::ssize(expected)), expected);
  const auto exposure = indexOf(lines, "* KORVAN REPORT: Exposure in Waterbody");
  const auto project = indexOf(lines, "* KORVAN REPORT: Project_Summary");
  ASSERT_GE(exposure, 0);
  ASSERT_GT(project, exposure);
  EXPECT_GE(indexOf(lines, "* Run_Id              t"), 0);
  EXPECT_GE(indexOf(lines, "* Location            Ditch_D1"), 0);
  EXPECT_TRUE(anyLineStartsWith(lines, "* Result_CMP"));
  // Only the run-time line of the common footer follows.
  EXPECT_GT(indexOf(lines, "* End of KORVAN REPORT: Project_Summary"), project);
}

TEST(SummaryWorkFiles, NamesFollowTheCompoundNumber) {
  EXPECT_EQ(summaryWorkFileName("balsum", 3), "balsum_3.tmp");
  EXPECT_EQ(summaryWorkFileName("balsum", 10), "balsum10_.tmp");
  EXPECT_EQ(summaryWorkFileName("persum", 3, false), "persum3.tmp");
  EXPECT_EQ(summaryWorkFileName("persum", 12, false), "persum12.tmp");
}

}  // namespace
}  // namespace korvan
