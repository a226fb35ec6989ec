#include "output/output_file.hpp"

#include <gtest/gtest.h>

#include "core/run.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;

// The records of a water body of ten 10 m segments, all written unless
// `outputs` selects others.
std::string waterBodyInput(const std::string& extra,
                           const std::string& outputs = "All OptOutputDistances\n") {
  return testing::minimalInput(extra +
                               "table WaterBody\n"
                               "Len NumSeg WidWatSys SloSidWatSys DepWatDefPer\n"
                               "(m) (-) (m) (-) (m)\n"
                               "100 10 1.0 0.0 0.3\n"
                               "end_table\n"
                               "Ditch WaterbodyID\n" +
                               outputs);
}

// Output segments at the distances given (m).
const std::string kOutputsAt = "table OptOutputDistances\ntable OutputDistances (m)\n";

// A run of ten 10 m segments, 1980, hourly, printed daily, with the print
// settings given.
struct PrintRun {
  explicit PrintRun(const std::string& extra,
                    const std::string& outputs = "All OptOutputDistances\n")
      : t(waterBodyInput(extra, outputs)) {
    t.setup();
    t.run().clock().readSettings();
    t.run().clock().setTimeStep(kHour);
    t.run().waterBody().getWaterBody();
  }
  OutputFile& out() { return t.run().outputFile(); }
  // The lines written to the output file after its header.
  std::vector<std::string> lines() {
    t.run().output().flush();
    const auto all = t.dir().lines("t.out");
    return std::vector<std::string>(all.begin() + 11, all.end());
  }
  TestRun t;
};

constexpr double kStart = 29219.0;

TEST(OutputFile, ScalarsRepeatTheirUnitLineAndNothingIsWrittenForTheStart) {
  PrintRun p(
      "g12.4 RealFormat\nYears DateFormat\nNo PrintCumulatives\nYes print_Vol\n"
      "Yes print_X\n");
  PrintSwitch vol, x;
  // Values whose print time falls on the start of the run only write the unit line.
  p.out().printScalar(kStart + 0.5, "Vol", 9.0, vol, "(m3)", "(m3 cumulative)");
  p.out().printSegmentValue(kStart + 0.5, "X", 9.0, x, "(-)", "(-)");
  // A line stands for the middle of its day. Years: noon of 1 January 1980 is
  // day 1 of the year, 1980 + 0/366; noon of 31 December day 366, 1980 + 365/366.
  p.out().printScalar(kStart + 1.0, "Vol", 2.5, vol, "(m3)", "(m3 cumulative)");
  p.out().printSegmentValue(kStart + 366.0, "X", 3.0, x, "(-)", "(-)");
  // The date column is the 17-character date text right-aligned in 18, the
  // name right-aligned in 20; a water-body value has the segment layout.
  EXPECT_EQ(p.lines(), (std::vector<std::string>{
                           "* Option PrintCumulatives was set to false", "* Unit for Vol is (m3)",
                           "* Unit for X is (-)", "* Unit for Vol is (m3)",
                           " 1980.000  01-Jan-1980-12h00                  Vol    2.500    ",
                           " 1980.997  31-Dec-1980-12h00                    X     3.000    "}));
  p.t.finish();
}

TEST(OutputFile, SegmentLinesWriteTheOutputSegments) {
  PrintRun p("e12.4 RealFormat\nDaysFrom1900 DateFormat\nYes PrintCumulatives\nYes print_DepWat\n");
  // 1e-60 and -1e-60 are written as 0.
  const std::vector<double> depth = {0.0, 0.1, 0.2, 1e-60, -1e-60, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0};
  PrintSwitch sw;
  p.out().printSegments(kStart + 1.0, "DepWat", depth, sw, "(m)", "(m cum)");
  const auto lines = p.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "* Unit for DepWat is (m cum)");
  // Middle of the first day: 29219.5, noon.
  EXPECT_EQ(lines[2],
            "29219.500  01-Jan-1980-12h00               DepWat    0.1000E+00   0.2000E+00   "
            "0.0000E+00   0.0000E+00   0.5000E+00   0.6000E+00   0.7000E+00   0.8000E+00   "
            "0.9000E+00   0.1000E+01");
  p.t.finish();
}

TEST(OutputFile, AnInvalidRealFormatStopsTheRun) {
  PrintRun p("g12.x RealFormat\nNo PrintCumulatives\nDaysFromSta DateFormat\nYes print_Vol\n");
  PrintSwitch sw;
  const auto err =
      p.t.expectFatal([&] { p.out().printScalar(kStart + 1.0, "Vol", 1.0, sw, "(m3)", "(m3)"); });
  ASSERT_EQ(err.size(), 2u);
  EXPECT_EQ(err[0], "Cannot write the output file with RealFormat g12.x");
  EXPECT_EQ(err[1].rfind("Invalid layout (f9.3,1x,a18,1x,a20,1x,g12.x)", 0), 0u);
}

TEST(OutputFile, CompoundFamiliesNameTheVariableAfterEachCompound) {
  // Only two output segments: 2 and 7.
  PrintRun p(
      "e10.3 RealFormat\nDaysFromSta DateFormat\nNo PrintCumulatives\n"
      "Yes print_ConLiqWatLay\nYes print_ConLiqSed\n"
      "table compounds\nCMP\nMET\nend_table\n"
      "table SedimentProfile\nThiHor NumLay\n(m)\n0.02 2\nend_table\nAll OutputDepths\n",
      kOutputsAt + "15\n65\nend_table\n");
  p.t.run().sediment().getSedimentProfile();
  OutputFile& out = p.out();
  PrintSwitch b, c;
  // A momentary value stands for the time itself: the end of the day.
  out.printSegmentsCompounds(
      kStart + 1.0, "ConLiqWatLay", [](int k, int i) { return 10.0 * (k + 1) + i; }, b, "(g.m-3)",
      "(g.m-3)", true);
  out.printLayers(
      kStart + 1.0, "ConLiqSed", [](int k, int j, int i) { return k + 0.1 * j + 0.01 * i; }, c,
      "(g.m-3)", "(g.m-3)");
  const auto all = p.lines();
  EXPECT_EQ(std::vector<std::string>(all.end() - 8, all.end()),
            (std::vector<std::string>{
                // name_compound left-adjusted in 24; values in e10.3
                "* Unit for ConLiqWatLay is (g.m-3)",
                "    1.000  02-Jan-1980       ConLiqWatLay_CMP           0.120E+02  0.170E+02",
                "    1.000  02-Jan-1980       ConLiqWatLay_MET           0.220E+02  0.270E+02",
                "* Unit for ConLiqSed is (g.m-3)",
                // the date in 11 characters, name in 18, layer number in 4
                "    0.500 01-Jan-1980 ConLiqSed_CMP         1   0.120E+00  0.170E+00",
                "    0.500 01-Jan-1980 ConLiqSed_CMP         2   0.220E+00  0.270E+00",
                "    0.500 01-Jan-1980 ConLiqSed_MET         1   0.112E+01  0.117E+01",
                "    0.500 01-Jan-1980 ConLiqSed_MET         2   0.122E+01  0.127E+01"}));
}

TEST(OutputFile, ProfilesAlongTheWaterBodyAndDownTheSediment) {
  PrintRun p(
      "f8.3 RealFormat\nDaysFromSta DateFormat\ntable compounds\nCMP\nend_table\n"
      "table SedimentProfile\nThiHor NumLay\n(m)\n0.02 2\nend_table\n"
      "None OutputDepths\nInput OptSedProperties\ntable horizon SedimentProperties\n"
      "Nr Rho CntOm ThetaSat CofDifRel pH\n(-) (kg.m-3) (kg.kg-1) (m3.m-3) (-) (-)\n"
      "1 800 0.09 0.6 0.5 7.0\nend_table\n",
      kOutputsAt + "95\nend_table\n");
  p.t.run().sediment().getSedimentProfile();
  OutputFile& out = p.out();
  // Half a day after the start; -1 C and a concentration of -1e-3 are written as 0.
  out.writeXProfile(kStart + 0.5, [](int, int i) {
    return OutputFile::XProfilePoint{i * 10.0 - 5.0, i == 1 ? 272.15 : 285.15, 0.25,
                                     i == 2 ? -1e-3 : 0.125};
  });
  out.writeZProfile(kStart + 0.5, [](int, int j, int) { return std::pair{2.0 * j, 1.0 * j}; });
  const auto all = p.lines();
  EXPECT_EQ(all[all.size() - 12],
            "    0.500 01-Jan-1980 XProfile_CMP          5.000   0.000   0.250   0.125");
  EXPECT_EQ(all[all.size() - 11],
            "    0.500 01-Jan-1980 XProfile_CMP         15.000  12.000   0.250   0.000");
  // Segment 10 only; layer centres at -0.005 and -0.015 m, porosity 0.6.
  EXPECT_EQ(all[all.size() - 2],
            "    0.500 01-Jan-1980 ZProfile_CMP        10   -0.005   0.600   2.000   1.000");
  EXPECT_EQ(all.back(),
            "    0.500 01-Jan-1980 ZProfile_CMP        10   -0.015   0.600   4.000   2.000");
}

}  // namespace
}  // namespace korvan
