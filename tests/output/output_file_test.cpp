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

// Output segments at the distances given (m), one a line.
std::string outputsAt(const std::string& distances) {
  return "table OptOutputDistances\ntable OutputDistances (m)\n" + distances + "end_table\n";
}

// A run of ten 10 m segments, 1980, hourly, with the print settings given.
struct PrintRun {
  explicit PrintRun(const std::string& extra, const std::string& interval = "Hour",
                    const std::string& outputs = "All OptOutputDistances\n")
      : t(withInterval(waterBodyInput(extra, outputs), interval)) {
    t.setup();
    t.run().clock().readSettings();
    t.run().clock().setTimeStep(kHour);
    t.run().waterBody().getWaterBody();
  }
  static std::string withInterval(std::string input, const std::string& interval) {
    input.replace(input.find("Day OptDelTimPrn"), 16, interval + " OptDelTimPrn");
    return input;
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

TEST(OutputFile, ScalarLinesStandForTheMiddleOfThePrintInterval) {
  PrintRun p("g12.4 RealFormat\nDaysFromSta DateFormat\nNo PrintCumulatives\nYes print_Vol\n");
  PrintSwitch sw;
  // At the start time only the unit line is written.
  p.out().printScalar(kStart, "Vol", 1.0, sw, "(m3)", "(m3 cumulative)");
  // One hour later: the line stands for half past midnight, 1/48 d = 0.021 d.
  p.out().printScalar(kStart + kHour, "Vol", 2.5, sw, "(m3)", "(m3 cumulative)");
  // The date column is the 17-character date text right-aligned in 18, the
  // name right-aligned in 20.
  EXPECT_EQ(p.lines(), (std::vector<std::string>{
                           "* Option PrintCumulatives was set to false", "* Unit for Vol is (m3)",
                           "* Unit for Vol is (m3)",
                           "    0.021  01-Jan-1980-00h30                  Vol    2.500    "}));
  EXPECT_EQ(p.out().lastPrintedDate(), "01-Jan-1980-00h30");
  p.t.finish();
}

TEST(OutputFile, SegmentLinesWriteTheOutputSegments) {
  PrintRun p(
      "e12.4 RealFormat\nDaysFrom1900 DateFormat\nYes PrintCumulatives\nYes print_DepWat\n"
      "No print_QBou\n",
      "Day");
  std::vector<double> depth(11);
  for (int i = 0; i <= 10; ++i) depth[static_cast<std::size_t>(i)] = 0.1 * i;
  depth[3] = 1e-60;   // written as 0
  depth[4] = -1e-60;  // written as 0
  PrintSwitch sw, qsw;
  p.out().printSegments(kStart + 1.0, "DepWat", depth, sw, "(m)", "(m cum)");
  p.out().printSegments(kStart + 1.0, "QBou", depth, qsw, "(m3.s-1)", "(m3)");
  EXPECT_TRUE(qsw.known);
  EXPECT_FALSE(qsw.yes);
  const auto lines = p.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "* Option PrintCumulatives was set to true");
  EXPECT_EQ(lines[1], "* Unit for DepWat is (m cum)");
  // Middle of the first day: 29219.5, noon.
  EXPECT_EQ(lines[2],
            "29219.500  01-Jan-1980-12h00               DepWat    0.1000E+00   0.2000E+00   "
            "0.0000E+00   0.0000E+00   0.5000E+00   0.6000E+00   0.7000E+00   0.8000E+00   "
            "0.9000E+00   0.1000E+01");
  p.t.finish();
}

TEST(OutputFile, WaterBodyValueInTheSegmentLayoutWithDecimalYears) {
  std::string extra = "g12.4 RealFormat\nYears DateFormat\nNo PrintCumulatives\nYes print_X\n";
  PrintRun p(extra, "Day");
  // Years: noon of 1 January 1980 is day 1 of the year, so 1980 + 0/366.
  PrintSwitch sw;
  // A value whose print time falls on the start of the run is not written.
  p.out().printSegmentValue(kStart + 0.5, "X", 9.0, sw, "(-)", "(-)");
  p.out().printSegmentValue(kStart + 1.0, "X", 3.0, sw, "(-)", "(-)");
  // Noon of 31 December 1980 is day 366 of the leap year: 1980 + 365/366.
  p.out().printSegmentValue(kStart + 366.0, "X", 3.0, sw, "(-)", "(-)");
  const auto lines = p.lines();
  EXPECT_EQ(lines[lines.size() - 2],
            " 1980.000  01-Jan-1980-12h00                    X     3.000    ");
  EXPECT_EQ(lines.back(), " 1980.997  31-Dec-1980-12h00                    X     3.000    ");
  for (const std::string& line : lines) EXPECT_EQ(line.find("9.000"), std::string::npos) << line;
  p.t.finish();
}

TEST(OutputFile, NoOutputSegmentsLeavesOnlyTimeDateAndName) {
  PrintRun p("g12.4 RealFormat\nDaysFromSta DateFormat\nNo PrintCumulatives\nYes print_DepWat\n",
             "Day", "None OptOutputDistances\n");
  PrintSwitch sw;
  p.out().printSegments(kStart + 1.0, "DepWat", std::vector<double>(11, 0.3), sw, "(m)", "(m)");
  EXPECT_EQ(p.lines().back(), "    0.500  01-Jan-1980-12h00               DepWat");
  p.t.finish();
}

TEST(OutputFile, AnInvalidRealFormatStopsTheRun) {
  PrintRun p("g12.x RealFormat\nNo PrintCumulatives\nDaysFromSta DateFormat\nYes print_Vol\n");
  PrintSwitch sw;
  const auto err =
      p.t.expectFatal([&] { p.out().printScalar(kStart + kHour, "Vol", 1.0, sw, "(m3)", "(m3)"); });
  ASSERT_EQ(err.size(), 2u);
  EXPECT_EQ(err[0], "Cannot write the output file with RealFormat g12.x");
  EXPECT_EQ(err[1].rfind("Invalid layout (f9.3,1x,a18,1x,a20,1x,g12.x)", 0), 0u);
}

TEST(OutputFile, CompoundFamiliesNameTheVariableAfterEachCompound) {
  // Only two output segments: 2 and 7.
  PrintRun p(
      "e10.3 RealFormat\nDaysFromSta DateFormat\nNo PrintCumulatives\n"
      "Yes print_ConLiqWatLay\nYes print_AmaLoaWatLay\nYes print_ConLiqSed\n"
      "table compounds\nCMP\nMET\nend_table\n"
      "table SedimentProfile\nThiHor NumLay\n(m)\n0.02 2\nend_table\nAll OutputDepths\n",
      "Day", outputsAt("15\n65\n"));
  p.t.run().sediment().getSedimentProfile();
  OutputFile& out = p.out();
  PrintSwitch a, b, c;
  const double amounts[] = {0.5, 1e-60};
  out.printCompounds(kStart + 1.0, "AmaLoaWatLay", amounts, a, "(g.m-2.d-1)", "(g.m-2)");
  // A momentary value stands for the time itself: the end of the day.
  out.printSegmentsCompounds(
      kStart + 1.0, "ConLiqWatLay", [](int k, int i) { return 10.0 * (k + 1) + i; }, b, "(g.m-3)",
      "(g.m-3)", true);
  out.printLayers(
      kStart + 1.0, "ConLiqSed", [](int k, int j, int i) { return k + 0.1 * j + 0.01 * i; }, c,
      "(g.m-3)", "(g.m-3)");
  const auto all = p.lines();
  EXPECT_EQ(std::vector<std::string>(all.end() - 10, all.end()),
            (std::vector<std::string>{
                // name_compound left-adjusted in 24; values in e10.3
                "    0.500  01-Jan-1980-12h00 AmaLoaWatLay_CMP          0.500E+00",
                "    0.500  01-Jan-1980-12h00 AmaLoaWatLay_MET          0.000E+00",
                "* Unit for ConLiqWatLay is (g.m-3)",
                "    1.000  02-Jan-1980       ConLiqWatLay_CMP           0.120E+02  0.170E+02",
                "    1.000  02-Jan-1980       ConLiqWatLay_MET           0.220E+02  0.270E+02",
                "* Unit for ConLiqSed is (g.m-3)",
                // the date in 11 characters, name in 18, layer number in 4
                "    0.500 01-Jan-1980 ConLiqSed_CMP         1   0.120E+00  0.170E+00",
                "    0.500 01-Jan-1980 ConLiqSed_CMP         2   0.220E+00  0.270E+00",
                "    0.500 01-Jan-1980 ConLiqSed_MET         1   0.112E+01  0.117E+01",
                "    0.500 01-Jan-1980 ConLiqSed_MET         2   0.122E+01  0.127E+01"}));
  p.t.finish();
}

TEST(OutputFile, ProfilesAlongTheWaterBodyAndDownTheSediment) {
  PrintRun p(
      "f8.3 RealFormat\nDaysFromSta DateFormat\ntable compounds\nCMP\nend_table\n"
      "table SedimentProfile\nThiHor NumLay\n(m)\n0.02 2\nend_table\n"
      "None OutputDepths\nInput OptSedProperties\ntable horizon SedimentProperties\n"
      "Nr Rho CntOm ThetaSat CofDifRel pH\n(-) (kg.m-3) (kg.kg-1) (m3.m-3) (-) (-)\n"
      "1 800 0.09 0.6 0.5 7.0\nend_table\n",
      "Day", outputsAt("95\n"));
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
  p.t.finish();
}

}  // namespace
}  // namespace korvan
