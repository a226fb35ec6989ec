// The summary file of a short run (two days of January 1980, one compound,
// a ditch with constant flow, MERIX edition): its scenario and property
// lines, the remark on an incomplete last month, the lateral-entry line of
// spray drift only, and where the file ends when no optional report is asked.
#include "report/summary_report.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

std::vector<std::string> runSummary(const std::string& extra) {
  testing::TestRun t(testing::runnableInput(extra), "t");
  testing::writeTestWeather(t.dir());
  const int status = t.run().execute();
  EXPECT_EQ(status, kExitNormal) << t.dir().read("t.err");
  return t.dir().lines("t.sum");
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::ptrdiff_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
  const auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : it - lines.begin();
}

bool anyLineStartsWith(const std::vector<std::string>& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

constexpr const char* kDescribed =
    "Ditch_D1 Location\nCMP_x SubstanceName\nSpray_once ApplicationScheme\n";

TEST(SummaryScenario, WritesTheDescriptiveRecordsAndTheSimulationPeriod) {
  const auto lines = runSummary(kDescribed);
  const std::vector<std::string> expected = {
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
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(lines[static_cast<std::size_t>(first) + n], expected[n]);
  }
}

TEST(SummaryScenario, MissingDescriptiveRecordsGiveADash) {
  const auto lines = runSummary("");
  EXPECT_TRUE(hasLine(lines, "* Scenario                : -"));
  EXPECT_TRUE(hasLine(lines, "* Substance               : -"));
  EXPECT_TRUE(hasLine(lines, "* Application Scheme      : -"));
}

TEST(SummaryProperties, WritesTheSubstancePropertiesInTheirUnits) {
  const auto lines = runSummary("");
  EXPECT_TRUE(hasLine(lines, "* Substance  1:  CMP   "));
  // 300 g.mol-1 in f8.1.
  EXPECT_TRUE(hasLine(lines, "* Molar mass (g.mol-1)           :    300.0"));
  // DT50 10 d at 20 C: f10.2 and f4.1.
  EXPECT_TRUE(
      hasLine(lines, "* Half-life in water (d)         :      10.00  measured at (C) : 20.0"));
  // Solubility 100 mg.L-1 in e10.3.
  EXPECT_TRUE(
      hasLine(lines, "* Water solubility (mg.L-1)      :  0.100E+03  measured at (C) : 20.0"));
  // Kom 100 L.kg-1 back from m3.g-1.
  EXPECT_TRUE(hasLine(
      lines, "* Kom susp.solids (coef. for sorption on organic matter) (L.kg-1) :     100.00"));
}

TEST(SummaryLateralEntries, DriftOnlyHasNoLateralEntries) {
  const auto lines = runSummary("");
  const auto at = indexOf(lines, "* No lateral entries");
  ASSERT_GE(at, 0);
  EXPECT_EQ(lines[static_cast<std::size_t>(at) + 1],
            "* Maximum hourly fluxes from lateral entries");
  // No entries, so no rows before the end of the section.
  EXPECT_EQ(lines[static_cast<std::size_t>(at) + 3],
            "* End of KORVAN REPORT: Substance properties and substance loadings");
}

TEST(SummaryMonths, ARunEndingInMidMonthMarksTheLastMonth) {
  const auto lines = runSummary("");
  // The run ends on 2 January: one month row per table, each marked.
  const auto rows =
      std::count(lines.begin(), lines.end(), std::string("* Last month not complete"));
  EXPECT_EQ(rows, 3);  // water balance, water layer, sediment
  EXPECT_TRUE(anyLineStartsWith(lines, "  1980   Jan"));
}

TEST(SummaryEnd, WithoutExposureAndPercentileReportsEndsAfterTheConcentrationTables) {
  const auto lines = runSummary("No ExposureReport\nNo PercentileReport\n");
  const auto summary = indexOf(lines, "* Concentration summary per summary period:");
  ASSERT_GE(summary, 0);
  EXPECT_FALSE(anyLineStartsWith(lines, "* KORVAN REPORT: Exposure in Waterbody"));
  EXPECT_FALSE(anyLineStartsWith(lines, "* KORVAN REPORT: Project_Summary"));
  EXPECT_FALSE(anyLineStartsWith(lines, "* Table: Annual maximum exposure"));
  // MERIX keeps its concentration tables after the concentration summary.
  const auto tables = indexOf(lines, "* Tables: Maximum exposure concentrations in water layer");
  EXPECT_GT(tables, summary);
}

TEST(SummaryEnd, WithBothReportsWritesExposureAndProjectSummary) {
  const auto lines =
      runSummary(std::string(kDescribed) + "Yes ExposureReport\nYes PercentileReport\n");
  const auto exposure = indexOf(lines, "* KORVAN REPORT: Exposure in Waterbody");
  const auto project = indexOf(lines, "* KORVAN REPORT: Project_Summary");
  ASSERT_GE(exposure, 0);
  ASSERT_GT(project, exposure);
  EXPECT_TRUE(hasLine(lines, "* Run_Id              t"));
  EXPECT_TRUE(hasLine(lines, "* Location            Ditch_D1"));
  EXPECT_TRUE(anyLineStartsWith(lines, "* Result_CMP"));
  // Only the run-time line of the common footer follows.
  EXPECT_GT(indexOf(lines, "* End of KORVAN REPORT: Project_Summary"), project);
  EXPECT_TRUE(anyLineStartsWith(lines, "* Result_CMP"));
}

TEST(SummaryWorkFiles, NamesFollowTheCompoundNumber) {
  EXPECT_EQ(summaryWorkFileName("balsum", 3), "balsum_3.tmp");
  EXPECT_EQ(summaryWorkFileName("balsum", 10), "balsum10_.tmp");
  EXPECT_EQ(summaryWorkFileName("persum", 3, false), "persum3.tmp");
  EXPECT_EQ(summaryWorkFileName("persum", 12, false), "persum12.tmp");
}

TEST(SummaryWorkFiles, NoneRemainsAfterARun) {
  testing::TestRun t(testing::runnableInput("Yes ExposureReport\nYes PercentileReport\n"), "t");
  testing::writeTestWeather(t.dir());
  ASSERT_EQ(t.run().execute(), kExitNormal);
  for (const std::string& f : t.dir().files()) {
    EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
  }
}

}  // namespace
}  // namespace korvan
