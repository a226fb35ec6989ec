// Every scenario of examples/ run by the korvan program. Shortened to end on
// 20 May 1980, it ends normally without a warning and prints the same data
// lines in RunId.out, the same summary in RunId.sum and the same log in
// RunId.log as the run recorded in tests/e2e/reference/<example>.out, .sum and
// .log. Run to 20 June 1980, it leaves
// no work file, its summary holds the reports of its edition, the months of
// its water and mass balances add up to the year (within the rounding of the
// printed four decimals), and a second run that reuses its hydrology and
// temperature files prints the same values as its substance pass.
//
// The references come from an earlier run of the program, not from an
// independent solution; they guard work on the speed of the solvers, which
// must leave every printed digit as it was. A deliberate change of the model's
// results renews them: run this test with KORVAN_RECORD_REFERENCE=1 in the
// environment, and review the difference before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using Lines = std::vector<std::string>;
using testing::anyLineStartsWith;
using testing::dataLines;

// The lines of a summary or log without those of the run rather than the
// results: the folder, the date of the input and the run time.
Lines summaryLines(Lines lines) {
  std::erase_if(lines, [](const std::string& line) {
    return line.find("* Working directory") != std::string::npos ||
           line.find("* Input file generated on") != std::string::npos ||
           line.find("The run time was") != std::string::npos;
  });
  return lines;
}

std::string referencePath(const std::string& file) {
  return std::string(KORVAN_SOURCE_DIR) + "/tests/e2e/reference/" + file;
}

// Compares the lines with the reference file, or records them when asked to.
void expectReference(const std::string& file, const Lines& actual) {
  const char* flag = std::getenv("KORVAN_RECORD_REFERENCE");
  if (flag != nullptr && *flag != '\0' && std::string(flag) != "0") {
    std::ofstream out(referencePath(file), std::ios::binary);
    for (const auto& line : actual) out << line << '\n';
    return;
  }
  std::ifstream in(referencePath(file));
  Lines expected;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    expected.push_back(line);
  }
  ASSERT_FALSE(expected.empty()) << "no reference file " << file;
  ASSERT_EQ(actual.size(), expected.size()) << file;
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(actual[n], expected[n]) << file << ", line " << n + 1;
  }
}

class RecordedOutputs : public ::testing::TestWithParam<const char*> {};

TEST_P(RecordedOutputs, ExampleOutputsAreUnchanged) {
  const std::string id = GetParam();
  testing::TempDir dir;
  testing::copyExample(dir, id);
  testing::setTimEnd(dir, id + ".kvn", testing::kShortTimEnd);
  ASSERT_TRUE(testing::runsNormally(dir, id));
  EXPECT_EQ(dir.read("korvan.ok"), "Run succesfully terminated!\n");
  EXPECT_EQ(testing::countWarnings(dir.lines(id + ".log")), 0) << dir.read(id + ".log");
  expectReference(id + ".out", dataLines(dir.lines(id + ".out")));
  expectReference(id + ".sum", summaryLines(dir.lines(id + ".sum")));
  // The log echoes each parameter as it is first read: its order shows the
  // order in which the modules ask for their input.
  expectReference(id + ".log", summaryLines(dir.lines(id + ".log")));
}

// The numeric rows of the tables that follow each title line starting with
// `title`, one block per title; `skip` words are read before the numbers.
std::vector<std::vector<std::vector<double>>> tableBlocks(const Lines& lines,
                                                          const std::string& title, int skip) {
  std::vector<std::vector<std::vector<double>>> blocks;
  bool inside = false;
  for (const std::string& line : lines) {
    if (line.starts_with(title)) {
      blocks.emplace_back();
      inside = true;
      continue;
    }
    if (!inside) continue;
    if (line.starts_with("* Annual") || line.starts_with("* Monthly") ||
        line.starts_with("* KORVAN") || line.starts_with("* End of")) {
      inside = false;
      continue;
    }
    if (line.empty() || line[0] == '*') continue;
    std::istringstream in(line);
    std::string word;
    for (int n = 0; n < skip; ++n) in >> word;
    std::vector<double> row;
    for (double v = 0.0; in >> v;) row.push_back(v);
    inside = !row.empty();  // else the next table of another kind
    if (inside) blocks.back().push_back(row);
  }
  return blocks;
}

// Each column of the month rows of every table adds up to its year row; the
// titles are `lead` Monthly|Annual `balance`.
void expectMonthsAddUpToYear(const Lines& lines, const std::string& lead,
                             const std::string& balance, int skip) {
  const auto months = tableBlocks(lines, lead + "Monthly " + balance, skip + 1);
  const auto years = tableBlocks(lines, lead + "Annual " + balance, skip);
  ASSERT_FALSE(months.empty()) << balance;
  ASSERT_EQ(months.size(), years.size()) << balance;
  for (std::size_t k = 0; k < months.size(); ++k) {
    ASSERT_EQ(years[k].size(), 1u) << balance;  // all months lie in 1980
    ASSERT_FALSE(months[k].empty()) << balance;
    for (std::size_t col = 0; col < years[k][0].size(); ++col) {
      double sum = 0.0;
      for (const auto& m : months[k]) sum += m.at(col);
      // Each printed value is rounded to 0.5e-4.
      const double tolerance =
          0.5e-4 * static_cast<double>(months[k].size() + 1) + 1e-9 * std::fabs(sum);
      EXPECT_NEAR(sum, years[k][0][col], tolerance) << balance << " " << k << " column " << col;
    }
  }
}

// A second run that reuses the hydrology and temperature files has only the
// substance pass; its lines are the last ones of the first run.
void expectHydrologyReadsBack(const testing::TempDir& dir, const std::string& id) {
  const Lines all = dataLines(dir.lines(id + ".out"));
  testing::replaceIn(dir, id + ".kvn", "OnLine           OptHyd", "OffLine          OptHyd");
  testing::replaceIn(dir, id + ".kvn", "OnLine           OptTem", "OffLine          OptTem");
  ASSERT_TRUE(testing::runsNormally(dir, id));
  const Lines reused = dataLines(dir.lines(id + ".out"));
  ASSERT_LE(reused.size(), all.size());
  ASSERT_FALSE(reused.empty());
  EXPECT_EQ(reused, Lines(all.end() - static_cast<long>(reused.size()), all.end()));
}

class Example : public ::testing::TestWithParam<const char*> {};

TEST_P(Example, WritesACompleteSummaryAndReadsItsHydrologyBack) {
  const std::string id = GetParam();
  testing::TempDir dir;
  testing::copyExample(dir, id);
  testing::setTimEnd(dir, id + ".kvn", "20-Jun-1980");
  ASSERT_TRUE(testing::runsNormally(dir, id));
  for (const std::string& f : dir.files()) EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
  expectHydrologyReadsBack(dir, id);

  const Lines lines = dir.lines(id + ".sum");
  // Water balance: year, month, identifier; then year and identifier.
  expectMonthsAddUpToYear(lines, "* ", "water balance terms (m3)", 2);
  const auto water = tableBlocks(lines, "* Monthly water balance terms (m3)", 3);
  ASSERT_EQ(water.size(), 1u);
  EXPECT_EQ(water[0].size(), 6u);  // January to June
  expectMonthsAddUpToYear(lines, "", "mass balance terms (g) in water system", 1);
  expectMonthsAddUpToYear(lines, "", "mass balance terms (g) in sediment", 1);

  const bool targets = id == "weir_reach" || id == "greenhouse";
  Lines starts = {"* Last month not complete", "* End of KORVAN REPORT: Header",
                  "* End of KORVAN REPORT: Project_Summary"};
  if (targets) {
    EXPECT_TRUE(dir.exists(id + ".xpo"));
    starts.insert(starts.end(),
                  {"* KORVAN REPORT: Target percentiles water layer",
                   "* KORVAN REPORT: Time weighted average exposure concentrations (TWA)",
                   "* Results for substance: ", "* The 90 percentile peak concentration of "});
  } else if (id != "orlan_pond") {
    starts.insert(starts.end(), {"* KORVAN REPORT: Exposure in Waterbody",
                                 "* Table: Annual maximum exposure concentrations",
                                 "* Table: PEC in water layer of substance: ",
                                 "* Table: PEC in sediment of substance: ", "TWAECsw_1_day",
                                 "TWAECsed_1_day", "PECsw_1_day", "PECsed_1_day"});
  }
  for (const auto& start : starts) EXPECT_TRUE(anyLineStartsWith(lines, start)) << start;
  if (id != "greenhouse") return;
  // The greenhouse basin's paved area is its lateral entry: the water row is
  // the paved-area flux and the drainage rows the substance flux and its
  // concentration in that water, per m2 of paved area, from greenhouse.b2k:
  // 5.777778e-7 m.s-1 x 3.6e6 = 2.080 mm.hr-1 (22-Mar 15h); 4.8088e-4
  // g.m-2.h-1 = 0.4809 mg.m-2.hr-1 (05-Jun 11h); 4.4609e-4 g.m-2.h-1 / 3600
  // s.h-1 / 1.111111e-7 m.s-1 = 1.1152 g.m-3 = 1115.2 ug.L-1 (07-Jun 15h).
  const auto header =
      std::find(lines.begin(), lines.end(),
                "* Year   Type      Water/Substance  Flux                       Date");
  ASSERT_NE(header, lines.end());
  EXPECT_EQ(Lines(header + 1, std::min(header + 5, lines.end())),
            (Lines{"  1980             Water        2.080         mm.m-2.hr-1      "
                   "22-Mar-1980-15h00",
                   "  1980   Drainage  CMP          0.4809        mg.m-2.hr-1      "
                   "05-Jun-1980-11h00",
                   "  1980   Drainage  CMP          1115.2        ug.L-1           "
                   "07-Jun-1980-15h00",
                   "* End of KORVAN REPORT: Substance properties and substance loadings"}));
}

INSTANTIATE_TEST_SUITE_P(RecordedValues, RecordedOutputs, ::testing::ValuesIn(testing::kExamples));
INSTANTIATE_TEST_SUITE_P(Scenarios, Example, ::testing::ValuesIn(testing::kExamples));

}  // namespace
}  // namespace korvan
