// Every scenario of examples/ runs to its normal end without a warning, and
// its hydrology file reads back: a second run that reuses the hydrology and temperature files
// prints the same values as the substance pass of the first run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

namespace fs = std::filesystem;

// The data lines of an output file: every line that is not a comment.
std::vector<std::string> dataLines(const testing::TempDir& dir, const std::string& name) {
  std::vector<std::string> out;
  for (const auto& line : dir.lines(name)) {
    if (!line.empty() && line[0] != '*') out.push_back(line);
  }
  return out;
}

void replaceRecord(std::string& input, const std::string& from, const std::string& to) {
  const auto at = input.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  input.replace(at, from.size(), to);
}

class Example : public ::testing::TestWithParam<const char*> {};

TEST_P(Example, RunsToTheEndAndReadsItsHydrologyBack) {
  const std::string id = GetParam();
  testing::TempDir dir;
  testing::copyExample(dir, id);
  testing::setTimEnd(dir, id + ".kvn", testing::kShortTimEnd);

  const auto first = testing::runProgram(dir.path(), {id});
  ASSERT_EQ(first.status, kExitNormal) << dir.read(id + ".err");
  EXPECT_EQ(dir.read("korvan.ok"), "Run succesfully terminated!\n");
  // A warning opens a framed block in the log.
  for (const auto& line : dir.lines(id + ".log")) {
    EXPECT_EQ(line.find("###### Warning"), std::string::npos) << id << ".log: " << line;
  }
  const std::vector<std::string> all = dataLines(dir, id + ".out");

  std::string input = dir.read(id + ".kvn");
  replaceRecord(input, "OnLine           OptHyd", "OffLine          OptHyd");
  replaceRecord(input, "OnLine           OptTem", "OffLine          OptTem");
  dir.write(id + ".kvn", input);
  const auto second = testing::runProgram(dir.path(), {id});
  ASSERT_EQ(second.status, kExitNormal) << dir.read(id + ".err");
  const std::vector<std::string> reused = dataLines(dir, id + ".out");

  // The second run has only the substance pass; its lines are the last ones
  // of the first run.
  ASSERT_LE(reused.size(), all.size());
  ASSERT_FALSE(reused.empty());
  const std::vector<std::string> tail(all.end() - static_cast<long>(reused.size()), all.end());
  EXPECT_EQ(reused, tail);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Example,
                         ::testing::Values("ditch", "stream", "pond", "weir_reach", "greenhouse",
                                           "orlan_pond", "constant_ditch"));

}  // namespace
}  // namespace korvan
