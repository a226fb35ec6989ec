// The summary file of every scenario of examples/, run to 20 June 1980: no
// work file remains, the months of the water and mass balances add up to the
// year (within the rounding of the printed four decimals), the MERIX
// scenarios carry the PEC and TWA tables of water and sediment, and the ZR and
// BRAX scenarios write the exposure file and the TWA report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

constexpr const char* kTimEnd = "20-Jun-1980";

bool startsWith(const std::string& s, const std::string& start) {
  return s.rfind(start, 0) == 0;
}

bool anyLineStartsWith(const std::vector<std::string>& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return startsWith(l, start); });
}

// The numeric rows of the tables that follow each title line starting with
// `title`, one block per title; `skip` words are read before the numbers.
std::vector<std::vector<std::vector<double>>> tableBlocks(const std::vector<std::string>& lines,
                                                          const std::string& title, int skip) {
  std::vector<std::vector<std::vector<double>>> blocks;
  bool inside = false;
  for (const std::string& line : lines) {
    if (startsWith(line, title)) {
      blocks.emplace_back();
      inside = true;
      continue;
    }
    if (!inside) continue;
    if (startsWith(line, "* Annual") || startsWith(line, "* Monthly") ||
        startsWith(line, "* KORVAN") || startsWith(line, "* End of")) {
      inside = false;
      continue;
    }
    if (line.empty() || line[0] == '*') continue;
    std::istringstream in(line);
    std::string word;
    for (int n = 0; n < skip; ++n) in >> word;
    std::vector<double> row;
    double v = 0.0;
    while (in >> v) row.push_back(v);
    if (row.empty()) {
      inside = false;  // the next table of another kind
      continue;
    }
    blocks.back().push_back(row);
  }
  return blocks;
}

// Each column of the month rows adds up to the year row.
void expectMonthsAddUpToYear(const std::vector<std::vector<double>>& months,
                             const std::vector<std::vector<double>>& years,
                             const std::string& what) {
  ASSERT_EQ(years.size(), 1u) << what;  // all months lie in 1980
  ASSERT_FALSE(months.empty()) << what;
  const std::vector<double>& year = years.front();
  for (std::size_t col = 0; col < year.size(); ++col) {
    double sum = 0.0;
    for (const auto& m : months) sum += m.at(col);
    // Each printed value is rounded to 0.5e-4.
    const double tolerance =
        0.5e-4 * static_cast<double>(months.size() + 1) + 1e-9 * std::fabs(sum);
    EXPECT_NEAR(sum, year[col], tolerance) << what << " column " << col;
  }
}

class SummaryExample : public ::testing::TestWithParam<const char*> {};

TEST_P(SummaryExample, WritesACompleteSummaryAndLeavesNoWorkFile) {
  const std::string id = GetParam();
  testing::TempDir dir;
  testing::copyExample(dir, id);
  testing::setTimEnd(dir, id + ".kvn", kTimEnd);
  const auto result = testing::runProgram(dir.path(), {id});
  ASSERT_EQ(result.status, kExitNormal) << dir.read(id + ".err");

  for (const std::string& f : dir.files()) EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;

  const auto lines = dir.lines(id + ".sum");
  EXPECT_TRUE(anyLineStartsWith(lines, "* Last month not complete"));
  EXPECT_TRUE(anyLineStartsWith(lines, "* End of KORVAN REPORT: Header"));

  // Water balance: year, month, identifier; then year and identifier.
  const auto monthlyWater = tableBlocks(lines, "* Monthly water balance terms (m3)", 3);
  const auto annualWater = tableBlocks(lines, "* Annual water balance terms (m3)", 2);
  ASSERT_EQ(monthlyWater.size(), 1u);
  ASSERT_EQ(annualWater.size(), 1u);
  EXPECT_EQ(monthlyWater.front().size(), 6u);  // January to June
  expectMonthsAddUpToYear(monthlyWater.front(), annualWater.front(), "water balance");

  const auto monthlyMass = tableBlocks(lines, "Monthly mass balance terms (g) in water system", 2);
  const auto annualMass = tableBlocks(lines, "Annual mass balance terms (g) in water system", 1);
  const auto monthlySed = tableBlocks(lines, "Monthly mass balance terms (g) in sediment", 2);
  const auto annualSed = tableBlocks(lines, "Annual mass balance terms (g) in sediment", 1);
  ASSERT_FALSE(monthlyMass.empty());
  ASSERT_EQ(monthlyMass.size(), annualMass.size());
  ASSERT_EQ(monthlySed.size(), annualSed.size());
  for (std::size_t k = 0; k < monthlyMass.size(); ++k) {
    expectMonthsAddUpToYear(monthlyMass[k], annualMass[k], "water layer " + std::to_string(k + 1));
    expectMonthsAddUpToYear(monthlySed[k], annualSed[k], "sediment " + std::to_string(k + 1));
  }

  const bool targets = id == "weir_reach" || id == "greenhouse";
  const bool merix = !targets && id != "orlan_pond";
  if (merix) {
    EXPECT_TRUE(anyLineStartsWith(lines, "* KORVAN REPORT: Exposure in Waterbody"));
    EXPECT_TRUE(anyLineStartsWith(lines, "* Table: Annual maximum exposure concentrations"));
    EXPECT_TRUE(anyLineStartsWith(lines, "* Table: PEC in water layer of substance: "));
    EXPECT_TRUE(anyLineStartsWith(lines, "* Table: PEC in sediment of substance: "));
    EXPECT_TRUE(anyLineStartsWith(lines, "TWAECsw_1_day"));
    EXPECT_TRUE(anyLineStartsWith(lines, "TWAECsed_1_day"));
    EXPECT_TRUE(anyLineStartsWith(lines, "PECsw_1_day"));
    EXPECT_TRUE(anyLineStartsWith(lines, "PECsed_1_day"));
  }
  if (targets) {
    EXPECT_TRUE(dir.exists(id + ".xpo"));
    EXPECT_TRUE(anyLineStartsWith(lines, "* KORVAN REPORT: Target percentiles water layer"));
    EXPECT_TRUE(anyLineStartsWith(
        lines, "* KORVAN REPORT: Time weighted average exposure concentrations (TWA)"));
    EXPECT_TRUE(anyLineStartsWith(lines, "* Results for substance: "));
    EXPECT_TRUE(anyLineStartsWith(lines, "* The 90 percentile peak concentration of "));
  }
  EXPECT_TRUE(anyLineStartsWith(lines, "* End of KORVAN REPORT: Project_Summary"));
}

// The greenhouse basin's paved area is its lateral entry: the water row is
// the paved-area flux and the drainage rows the substance flux and its
// concentration in that water, per m2 of paved area, from greenhouse.b2k:
// 5.777778e-7 m.s-1 x 3.6e6 = 2.080 mm.hr-1 (22-Mar 15h); 4.8088e-4 g.m-2.h-1
// = 0.4809 mg.m-2.hr-1 (05-Jun 11h); 4.4609e-4 g.m-2.h-1 / 3600 s.h-1 /
// 1.111111e-7 m.s-1 = 1.1152 g.m-3 = 1115.2 ug.L-1 (07-Jun 15h).
TEST(SummaryGreenhouse, ListsThePavedAreaWaterAndItsSubstanceConcentration) {
  testing::TempDir dir;
  testing::copyExample(dir, "greenhouse");
  testing::setTimEnd(dir, "greenhouse.kvn", kTimEnd);
  const auto result = testing::runProgram(dir.path(), {"greenhouse"});
  ASSERT_EQ(result.status, kExitNormal) << dir.read("greenhouse.err");
  const auto lines = dir.lines("greenhouse.sum");
  const auto header =
      std::find(lines.begin(), lines.end(),
                "* Year   Type      Water/Substance  Flux                       Date");
  ASSERT_NE(header, lines.end());
  const std::vector<std::string> rows(header + 1, std::min(header + 5, lines.end()));
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "  1980             Water        2.080         mm.m-2.hr-1      "
                      "22-Mar-1980-15h00",
                      "  1980   Drainage  CMP          0.4809        mg.m-2.hr-1      "
                      "05-Jun-1980-11h00",
                      "  1980   Drainage  CMP          1115.2        ug.L-1           "
                      "07-Jun-1980-15h00",
                      "* End of KORVAN REPORT: Substance properties and substance loadings"}));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SummaryExample,
                         ::testing::Values("ditch", "stream", "pond", "weir_reach", "greenhouse",
                                           "orlan_pond", "constant_ditch"));

}  // namespace
}  // namespace korvan
