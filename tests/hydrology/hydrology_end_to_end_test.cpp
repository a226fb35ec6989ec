// The korvan program run on hydrology-only inputs: the hydrology file it
// leaves, line by line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/text.hpp"
#include "hydrology/hydrology_test_support.hpp"
#include "input/records.hpp"

namespace korvan {
namespace {

using testing::runInput;
using testing::runProgram;
using testing::TempDir;

// The time column f9.3 and the date text of hour k of the run.
std::string timeAndDate(int k) {
  char time[16];
  std::snprintf(time, sizeof time, "%9.3f", k / 24.0);
  char date[32];
  if (k % 24 == 0) {
    std::snprintf(date, sizeof date, "%02d-Jan-1980      ", 1 + k / 24);
  } else {
    std::snprintf(date, sizeof date, "%02d-Jan-1980-%02dh00", 1 + k / 24, k % 24);
  }
  return std::string(time) + " " + date + " ";
}

struct ProgramRun {
  explicit ProgramRun(const std::string& input) {
    dir.write("t.kvn", input + testing::kSedimentProfile);
    result = runProgram(dir.path(), {"t"});
  }
  TempDir dir;
  testing::ProgramResult result;
};

const std::string kPondHeader1 = "*  Time   Date                   Qbou(0)    QBou(1)      DepWat";
const std::string kPondHeader2 = "*                               (m3.s-1)   (m3.s-1)        (m)";

TEST(HydrologyEndToEnd, PondAndWeirReachFilesLineByLine) {
  // A MERIX pond without inflow stays at its crest height of 0.5 m: both
  // discharges 0 (g12.4 gives the exponent form for 0), the depth 0.5
  // (g12.5: fixed point in 8 characters and four blanks). A ZR reach without
  // inflow rests at its crest of 0.5 m: the upstream inflow, the discharge at
  // the weir and the crest depth in e12.5.
  std::string reach = runInput("ZRKORVAN", "01-Jan-1980", "Only", testing::zrReach());
  reach.replace(reach.find("864 QBasWatCrsInp"), 3, "0");
  struct Case {
    std::string input, header1, header2, values;
  };
  const std::vector<Case> cases = {
      {runInput("MERIXKORVAN", "01-Jan-1980", "Only", testing::merixPond("0")), kPondHeader1,
       kPondHeader2, "   0.0000E+00   0.0000E+00  0.50000    "},
      {reach, "*  Time   Date                  QBouUpsWatCrs  QCre       DepWatCre",
       "*                              (m3.s-1)        (m3.s-1)        (m)",
       "  0.00000E+00  0.00000E+00  0.50000E+00"},
  };
  for (const Case& c : cases) {
    ProgramRun p(c.input);
    ASSERT_EQ(p.result.status, 0) << p.result.output;
    const auto lines = p.dir.lines("t.hyd");
    ASSERT_EQ(lines.size(), 2u + 25);
    EXPECT_EQ(lines[0], c.header1);
    EXPECT_EQ(lines[1], c.header2);
    for (int k = 0; k <= 24; ++k) EXPECT_EQ(lines[2 + k], timeAndDate(k) + c.values) << k;
    EXPECT_TRUE(p.dir.exists("korvan.ok"));
  }
}

TEST(HydrologyEndToEnd, WaterCourseFileCarriesEveryNodeAndTheDepth) {
  // At rest 864 m3.d-1 = 0.01 m3.s-1 passes all eleven nodes: g12.4 in the
  // first record, g12.5 after it; then the one depth of the water body.
  ProgramRun p(runInput("MERIXKORVAN", "01-Jan-1980", "Only", testing::merixWaterCourse()));
  ASSERT_EQ(p.result.status, 0) << p.result.output;
  const auto lines = p.dir.lines("t.hyd");
  ASSERT_EQ(lines.size(), 2u + 25);
  EXPECT_EQ(lines[0], kPondHeader1);
  EXPECT_EQ(lines[1], kPondHeader2);
  std::string first, later;
  for (int i = 0; i <= 10; ++i) {
    first += "   0.1000E-01";
    later += "  0.10000E-01";
  }
  const std::string depth = lines[2].substr(28 + 11 * 13);
  ASSERT_EQ(depth.size(), 13u);
  const double h = *parseNumber(std::string(trim(depth)));
  EXPECT_GT(h, 0.26);  // between the uniform and the weir depth
  EXPECT_LT(h, 0.48);
  for (int k = 0; k <= 24; ++k) {
    const std::string& line = lines[2 + k];
    EXPECT_EQ(line.substr(0, 28 + 11 * 13), timeAndDate(k) + (k == 0 ? first : later)) << k;
    EXPECT_NEAR(*parseNumber(std::string(trim(line.substr(28 + 11 * 13)))), h, 5e-4 * h) << k;
  }
}

TEST(HydrologyEndToEnd, PrintedIntervalMeansOfTheWaterCourse) {
  std::string input =
      runInput("MERIXKORVAN", "01-Jan-1980", "Only",
               testing::merixWaterCourse() +
                   "g12.4 RealFormat\nDaysFromSta DateFormat\nNo PrintCumulatives\n");
  input.replace(input.find("No print_QBou"), 13, "Yes print_QBou");
  input.replace(input.find("No print_DepWatRepCha"), 21, "Yes print_DepWatRepCha");
  ProgramRun p(input);
  ASSERT_EQ(p.result.status, 0) << p.result.output;
  const auto out = p.dir.lines("t.out");
  auto count = [&](const std::string& text) {
    int n = 0;
    for (const auto& l : out) n += l.find(text) != std::string::npos;
    return n;
  };
  EXPECT_EQ(count("* Unit for QBou is (m3.s-1)"), 1);
  EXPECT_GE(count("* Unit for DepWatRepCha is (m)"), 1);
  // One daily line: the interval mean of 0.01 m3.s-1 at every output segment.
  int lines = 0;
  for (const auto& l : out) {
    if (l.find(" QBou ") == std::string::npos || l[0] == '*') continue;
    ++lines;
    FreeFormatReader reader(l.substr(l.find(" QBou ") + 6));
    int values = 0;
    while (auto v = reader.nextReal()) {
      EXPECT_NEAR(*v, 0.01, 1e-12);
      ++values;
    }
    EXPECT_EQ(values, 10);
  }
  EXPECT_EQ(lines, 1);
}

}  // namespace
}  // namespace korvan
