// Recorded values that catch change: every scenario of examples/, shortened
// to end on 20 May 1980, prints the same data lines in RunId.out as the run
// recorded in tests/e2e/reference/<example>.out. These references come from
// an earlier run of the program, not from an independent solution; they
// guard work on the speed of the solvers, which must leave every printed
// digit as it was. A deliberate change of the model's results renews them
// (run each example shortened and copy the data lines of RunId.out).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "driver/run.hpp"
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

std::vector<std::string> referenceLines(const std::string& id) {
  std::ifstream in(std::string(KORVAN_SOURCE_DIR) + "/tests/e2e/reference/" + id + ".out");
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
  const std::vector<std::string> expected = dataLines(referenceLines(id));
  ASSERT_FALSE(expected.empty()) << "no reference file for " << id;

  testing::TempDir dir;
  testing::copyExample(dir, id);
  testing::setTimEnd(dir, id + ".kvn", testing::kShortTimEnd);
  const auto result = testing::runProgram(dir.path(), {id});
  ASSERT_EQ(result.status, kExitNormal) << dir.read(id + ".err");

  const std::vector<std::string> actual = dataLines(dir.lines(id + ".out"));
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(actual[n], expected[n]) << id << ".out, data line " << n + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(RecordedValues, RecordedOutputs,
                         ::testing::Values("ditch", "stream", "pond", "weir_reach", "greenhouse",
                                           "orlan_pond", "constant_ditch"));

}  // namespace
}  // namespace korvan
