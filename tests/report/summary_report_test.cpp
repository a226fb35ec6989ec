// The summary file of a short run (two days of January 1980, one compound,
// a ditch with constant flow, MERIX edition) without descriptive records and
// without the optional reports: the dashes in the scenario lines and where
// the file ends. The scenario, property, lateral-entry and month lines and the
// optional reports are compared line for line with the recorded summaries of
// the examples (tests/e2e).
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

std::ptrdiff_t indexOf(const Lines& lines, const std::string& line) {
  const auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : it - lines.begin();
}

bool anyLineStartsWith(const Lines& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

TEST(SummaryReport, DashesForMissingRecordsAndEndWithoutOptionalReports) {
  testing::TestRun t(testing::runnableInput("No ExposureReport\nNo PercentileReport\n"), "t");
  testing::writeTestWeather(t.dir());
  ASSERT_EQ(t.run().execute(), kExitNormal) << t.dir().read("t.err");
  for (const std::string& f : t.dir().files()) {
    EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;  // no work file remains
  }
  const Lines lines = t.dir().lines("t.sum");
  EXPECT_GE(indexOf(lines, "* Scenario                : -"), 0);
  EXPECT_GE(indexOf(lines, "* Substance               : -"), 0);
  EXPECT_GE(indexOf(lines, "* Application Scheme      : -"), 0);
  // MERIX ends after the concentration summary with its concentration tables.
  const auto summary = indexOf(lines, "* Concentration summary per summary period:");
  ASSERT_GE(summary, 0);
  EXPECT_FALSE(anyLineStartsWith(lines, "* KORVAN REPORT: Exposure in Waterbody"));
  EXPECT_FALSE(anyLineStartsWith(lines, "* KORVAN REPORT: Project_Summary"));
  EXPECT_FALSE(anyLineStartsWith(lines, "* Table: Annual maximum exposure"));
  EXPECT_GT(indexOf(lines, "* Tables: Maximum exposure concentrations in water layer"), summary);
}

TEST(SummaryWorkFiles, NamesFollowTheCompoundNumber) {
  EXPECT_EQ(summaryWorkFileName("balsum", 10), "balsum10_.tmp");
  EXPECT_EQ(summaryWorkFileName("persum", 12, false), "persum12.tmp");
}

}  // namespace
}  // namespace korvan
