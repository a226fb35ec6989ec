// Recorded values that catch change: every scenario of examples/, shortened
// to end on 20 May 1980, prints the same data lines in RunId.out, and the
// same summary report in RunId.sum, as the run recorded in
// tests/e2e/reference/<example>.out and .sum. These references come from an
// earlier run of the program, not from an independent solution; they guard
// work on the speed of the solvers, which must leave every printed digit as
// it was. A deliberate change of the model's results renews them: run this
// test with KORVAN_RECORD_REFERENCE=1 in the environment, and review the
// difference before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

// The data lines of an output file: every line that is not a comment.
std::vector<std::string> dataLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& line : lines) {
    if (!line.empty() && line[0] != '*') out.push_back(line);
  }
  return out;
}

// The lines of a summary report that belong to the run rather than to the
// results: the folder, the date of the input and the run time.
bool runSpecificLine(const std::string& line) {
  for (const char* key : {"* Working directory", "* Input file generated on", "The run time was"}) {
    if (line.find(key) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> summaryLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& line : lines) {
    if (!runSpecificLine(line)) out.push_back(line);
  }
  return out;
}

std::string referencePath(const std::string& file) {
  return std::string(KORVAN_SOURCE_DIR) + "/tests/e2e/reference/" + file;
}

bool recording() {
  const char* flag = std::getenv("KORVAN_RECORD_REFERENCE");
  return flag != nullptr && *flag != '\0' && std::string(flag) != "0";
}

void writeReference(const std::string& file, const std::vector<std::string>& lines) {
  std::ofstream out(referencePath(file), std::ios::binary);
  for (const auto& line : lines) out << line << '\n';
}

std::vector<std::string> referenceLines(const std::string& file) {
  std::ifstream in(referencePath(file));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

class RecordedOutputs : public ::testing::TestWithParam<const char*> {};

TEST_P(RecordedOutputs, ExampleOutputsAreUnchanged) {
  const std::string id = GetParam();
  testing::TempDir dir;
  testing::copyExample(dir, id);
  testing::setTimEnd(dir, id + ".kvn", testing::kShortTimEnd);
  const auto result = testing::runProgram(dir.path(), {id});
  ASSERT_EQ(result.status, kExitNormal) << dir.read(id + ".err");

  const std::vector<std::string> actual = dataLines(dir.lines(id + ".out"));
  const std::vector<std::string> summary = summaryLines(dir.lines(id + ".sum"));
  if (recording()) {
    writeReference(id + ".out", actual);
    writeReference(id + ".sum", summary);
    GTEST_SKIP() << "recorded tests/e2e/reference/" << id << ".out and .sum";
  }

  const std::vector<std::string> expected = dataLines(referenceLines(id + ".out"));
  ASSERT_FALSE(expected.empty()) << "no reference file for " << id;
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(actual[n], expected[n]) << id << ".out, data line " << n + 1;
  }
  const std::vector<std::string> expectedSummary = referenceLines(id + ".sum");
  ASSERT_FALSE(expectedSummary.empty()) << "no reference summary for " << id;
  ASSERT_EQ(summary.size(), expectedSummary.size());
  for (std::size_t n = 0; n < summary.size(); ++n) {
    EXPECT_EQ(summary[n], expectedSummary[n]) << id << ".sum, line " << n + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(RecordedValues, RecordedOutputs,
                         ::testing::Values("ditch", "stream", "pond", "weir_reach", "greenhouse",
                                           "orlan_pond", "constant_ditch"));

}  // namespace
}  // namespace korvan
