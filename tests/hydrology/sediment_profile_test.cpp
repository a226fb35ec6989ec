#include "hydrology/sediment_profile.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "hydrology/hydrology_test_support.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::expectOutOfBounds;
using testing::minimalInput;
using testing::TestRun;
using Lines = std::vector<std::string>;

const std::string kDashes(80, '-');

std::string profileTable(const std::string& rows) {
  return "table SedimentProfile\nThiHor NumLay\n(m)\n" + rows + "end_table\n";
}

// An input with the profile rows, the OutputDepths records and further lines.
std::string input(const std::string& rows, const std::string& extra = "",
                  const std::string& outputDepths = "All OutputDepths\n") {
  return minimalInput(profileTable(rows) + outputDepths + extra);
}

// Two horizons: 0.02 m in 2 layers of 0.01 m, 0.04 m in 2 layers of 0.02 m.
// Layer centres -0.005, -0.015, -0.03, -0.05; horizon centres -0.01, -0.04.
const std::string kTwoHorizons = "0.02 2\n0.04 2\n";

std::string propertiesTable(const std::string& mode, const std::string& rows) {
  return "table " + mode + " SedimentProperties\n" +
         "Nr   Rho       CntOm     ThetaSat  CofDifRel  pH\n"
         "(-)  (kg.m-3)  (kg.kg-1) (m3.m-3)  (-)        (-)\n" +
         rows + "end_table\n";
}

// The index of the first log line equal to the text, or -1.
int find(const Lines& log, const std::string& text) {
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == text) return static_cast<int>(i);
  }
  return -1;
}

Lines logOf(TestRun& t) {
  t.run().log().flush();
  return t.dir().lines("t.log");
}

// The fatal error the action on the sediment of the input ends in, and the
// routine that reported it.
struct Fatal {
  Lines err;
  std::string routine;
};
Fatal fatalOf(const std::string& input, const std::function<void(SedimentProfile&)>& action) {
  TestRun t(input);
  t.setup();
  Fatal f{t.expectFatal([&] { action(t.run().sediment()); }), ""};
  f.routine = t.run().messages().record().routine;
  return f;
}
const std::function<void(SedimentProfile&)> kRead = [](SedimentProfile& s) {
  s.getSedimentProfile();
};

struct FatalCase {
  std::string input, err;  // the lines of the message, joined
};

// Expects each input to end in its error, reported by the routine, when the action runs.
void expectFatalCases(const std::vector<FatalCase>& cases,
                      const std::function<std::string(const std::string&)>& input,
                      const std::function<void(SedimentProfile&)>& action,
                      const std::string& routine) {
  for (const FatalCase& c : cases) {
    const Fatal f = fatalOf(input(c.input), action);
    EXPECT_EQ(testing::joined(f.err), c.err) << c.input;
    EXPECT_EQ(f.routine, routine) << c.input;
  }
}

// ---------------------------------------------------------------------------
// Layers

TEST(SedimentProfile, HorizonsStackFromTheSurfaceDownwardsAndAreListedInTheLog) {
  TestRun t(
      input(kTwoHorizons, "", "table OutputDepths\ntable OutputDepths (m)\n0.01\nend_table\n"));
  t.setup();
  SedimentProfile& s = t.run().sediment();
  s.getSedimentProfile();
  ASSERT_EQ(s.numLayers(), 4);
  const Lines log = logOf(t);
  const int k = find(log, "Sediment Profile:");
  ASSERT_GT(k, 0);
  // ("Node",7x,"ZBou",10x,"Z",7x,"DelZ",5x,"ThiLay",2x,"horiZon  output"); layer
  // 1 holds the output depth 0.01 m on its bottom boundary.
  EXPECT_EQ(Lines(log.begin() + k - 1, log.begin() + std::min<int>(k + 7, log.size())),
            (Lines{kDashes, "Sediment Profile:",
                   "Node       ZBou          Z       DelZ     ThiLay  horiZon  output",
                   "            (m)        (m)        (m)        (m)",
                   "   1  -0.010000  -0.005000   0.005000   0.010000        1     Yes",
                   "   2  -0.020000  -0.015000   0.010000   0.010000        1      No",
                   "   3  -0.040000  -0.030000   0.015000   0.020000        2      No",
                   "   4  -0.060000  -0.050000   0.020000   0.020000        2      No"}));
  t.finish();
}

TEST(SedimentProfile, EveryProfileErrorIsFatal) {
  const std::string head = "table SedimentProfile\n";
  const std::vector<FatalCase> cases = {
      {head + "ThiHor NumLay\n(m)\nend_table\n",
       "There should be at least one horizon in the SedimentProfile table"},
      {head + "ThiHor NumLay Extra\n(m)\n0.05 10\nend_table\n",
       "Number of columns in table SedimentProfile must be 2"},
      {head + "ThiHor NumLayers\n(m)\n0.05 10\nend_table\n",
       "2nd line in table SedimentProfile must be: ThiHor NumLay"},
      {head + "ThiHor NumLay\n(m) (-)\n0.05 10\nend_table\n",
       "Number of dimension identifiers in Sedimentprofile must be 1"},
      {head + "ThiHor NumLay\n(cm)\n5 10\nend_table\n",
       "3rd line in table SedimentProfile must be:    (m)"},
      {profileTable("0.05 2.5\n"),
       "Error while reading table SedimentProfile\n"
       "Last row read was: 1"},
      // A negative thickness moves the horizon bottom up.
      {profileTable("0.05 10\n-0.01 2\n"),
       "Horizon boundary depths must be ascending\n"
       "Last row read was: 2"},
      // A horizon without thickness would give layers without thickness.
      {profileTable("0.0 3\n"),
       "Horizon boundary depths must be ascending\n"
       "Last row read was: 1"},
  };
  const auto withDepths = [](const std::string& table) {
    return minimalInput(table + "All OutputDepths\n");
  };
  expectFatalCases(cases, withDepths, kRead, "GetSedimentProfile");
  expectOutOfBounds(fatalOf(input("0.05 0\n"), kRead).err, "FATAL: value < minimum", "NumLay");
}

// ---------------------------------------------------------------------------
// Output depths

TEST(SedimentOutputDepths, EachDepthMarksTheLayerHoldingItWithinAMicrometre) {
  // Layers of 0.005 m: 0.005 is the bottom of layer 1; 0.0150005 lies within
  // 1e-6 m of the bottom of layer 3; 0.0250011 lies beyond that of layer 5,
  // in layer 6; 0.05 is the bottom of layer 10.
  TestRun t(input("0.05 10\n", "",
                  "table OutputDepths\n"
                  "table OutputDepths (m)\n0.005\n0.0150005\n0.0250011\n0.05\nend_table\n"));
  t.setup();
  SedimentProfile& s = t.run().sediment();
  s.getSedimentProfile();
  for (int j = 1; j <= 10; ++j) {
    EXPECT_EQ(s.outputLayer(j), j == 1 || j == 3 || j == 6 || j == 10) << j;
  }
  // None marks no layer (All every layer: above).
  TestRun none(input("0.05 10\n", "", "None OutputDepths\n"));
  none.setup();
  none.run().sediment().getSedimentProfile();
  for (int j = 1; j <= 10; ++j) EXPECT_FALSE(none.run().sediment().outputLayer(j)) << j;
  none.finish();
  t.finish();
}

TEST(SedimentOutputDepths, ErrorsInTheOptionAndTheTable) {
  const std::string option = "table OutputDepths\n";
  const std::string open = "table OutputDepths (m)\n";
  const std::vector<FatalCase> cases = {
      {option + open + "0.01\n0\nend_table\n",
       "Depth in table OutputDepths must be > 0\n"
       "Last line read is 2"},
      {option + open + "-0.01\nend_table\n",
       "Depth in table OutputDepths must be > 0\n"
       "Last line read is 1"},
      {option + open + "abc\nend_table\n", "Fatal while reading table OutputDepths"},
      {option + open + "0.0500011\nend_table\n",
       "Depth in table OutputDepths is below the sediment profile\n"
       "Last line read is 1"},
  };
  const auto tenLayers = [](const std::string& depths) { return input("0.05 10\n", "", depths); };
  expectFatalCases(cases, tenLayers, kRead, "GetOutRows");
  EXPECT_EQ(fatalOf(tenLayers(option + "table OutputDepths (cm)\n1\nend_table\n"), kRead).err,
            Lines{"Dimension for OutputDepths should be (m)"});
  EXPECT_EQ(fatalOf(tenLayers(option), kRead).err,
            Lines{"Cannot find record OutputDepths (column  2, unit  20)"});
  const Lines err = fatalOf(tenLayers("Some OutputDepths\n"), kRead).err;
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(err[0], " Option in input file does not match possible options for OutputDepths");
}

// ---------------------------------------------------------------------------
// Properties

TEST(SedimentProperties, RelativeDiffusionIsOneInOpenWaterAndBelowOneInSediment) {
  EXPECT_EQ(calculatedCofDifRel(1.0), 1.0);
  // 1 / (1 - ln 0.25) = 1 / 2.3862944 = 0.4190598
  EXPECT_NEAR(calculatedCofDifRel(0.5), 0.4190598, 1e-7);
  for (double theta : {0.999, 0.9, 0.3, 0.001}) EXPECT_LT(calculatedCofDifRel(theta), 1.0);
  // Only organic matter at its own density leaves no pores.
  EXPECT_NEAR(calculatedThetaSat(kRhoOm, 1.0), 0.0, 1e-15);
  EXPECT_NEAR(calculatedThetaSat(kRhoMineral, 0.0), 0.0, 1e-15);
}

TEST(SedimentProperties, CalculatedPorosityOutsideItsBoundsIsFatal) {
  // 2000 kg.m-3 of organic matter: 1 - 2e6 / 1.4e6 < 0.
  expectOutOfBounds(
      fatalOf(input("0.01 1\n", "Calculate OptSedProperties\n" +
                                    propertiesTable("horizon", "1 2000 1.0 0.6 0.5 7.0\n")),
              [](SedimentProfile& s) { s.thetaSat(1); })
          .err,
      "FATAL: value < minimum", "ThetaSat");
}

TEST(SedimentProperties, HorizonTablesAreReadPerLayerAsGiven) {
  // The properties of the Input option, the dispersion length in horizon
  // mode and the initial content.
  TestRun t(
      input(kTwoHorizons,
            "Input OptSedProperties\n" +
                propertiesTable("horizon", "2 1200 0.03 0.5 0.4 6.5\n1 800  0.09 0.6 0.5 7.0\n") +
                "table horizon DispersionLength\nNr LenDisSedLiq\n(-) (m)\n1 0.1\n2 0.4\n"
                "end_table\ntable horizon CntSysSedIni\nNr CntSysSedIni\n(-) (mg.kg-1)\n"
                "1 2.5\n2 0\nend_table\n"));
  t.setup();
  SedimentProfile& s = t.run().sediment();
  // Layers 1 and 2 lie in horizon 1, layers 3 and 4 in horizon 2; the rows
  // may come in any order.
  struct Layer {
    double rho, cntOm, theta, cof, pH, lenDis, cntIni;
  };
  const Layer upper{800e3, 0.09, 0.6, 0.5, 7.0, 0.1, 2.5};
  const Layer lower{1200e3, 0.03, 0.5, 0.4, 6.5, 0.4, 0.0};
  const Layer layers[] = {upper, upper, lower, lower};
  for (int j = 1; j <= 4; ++j) {
    const Layer& l = layers[j - 1];
    EXPECT_EQ(s.rho(j), l.rho) << j;
    EXPECT_EQ(s.cntOm(j), l.cntOm) << j;
    EXPECT_EQ(s.thetaSat(j), l.theta) << j;
    EXPECT_EQ(s.cofDifRel(j), l.cof) << j;
    EXPECT_EQ(s.pH(j), l.pH) << j;
    EXPECT_EQ(s.lenDisSedLiq(j), l.lenDis) << j;
    EXPECT_EQ(s.cntSysSedIni(j), l.cntIni) << j;
  }
  t.finish();
}

TEST(SedimentProperties, InterpolateModeHoldsHorizonValuesAtHorizonCentres) {
  TestRun t(input(kTwoHorizons,
                  "table interpolate DispersionLength\nNr LenDisSedLiq\n(-) (m)\n"
                  "1 0.1\n2 0.4\nend_table\n"));
  t.setup();
  SedimentProfile& s = t.run().sediment();
  // Centres -0.01 (0.1) and -0.04 (0.4). Layer 1 (-0.005) lies above the
  // first centre: 0.1. Layer 2 (-0.015): 0.1 + 0.3 x 0.005 / 0.03 = 0.15.
  // Layer 3 (-0.03): 0.1 + 0.3 x 0.02 / 0.03 = 0.3. Layer 4 (-0.05) lies
  // below the last centre: 0.4.
  EXPECT_DOUBLE_EQ(s.lenDisSedLiq(1), 0.1);
  EXPECT_NEAR(s.lenDisSedLiq(2), 0.15, 1e-12);
  EXPECT_NEAR(s.lenDisSedLiq(3), 0.3, 1e-12);
  EXPECT_DOUBLE_EQ(s.lenDisSedLiq(4), 0.4);
  const Lines log = logOf(t);
  EXPECT_GE(find(log, "        LenDisSedLiq                (m)   -0.015000  0.15000    "), 0);
  t.finish();
  // One horizon: the same value everywhere.
  TestRun one(input("0.05 5\n",
                    "table interpolate DispersionLength\nNr LenDisSedLiq\n(-) (m)\n"
                    "1 0.2\nend_table\n"));
  one.setup();
  for (int j = 1; j <= 5; ++j) EXPECT_EQ(one.run().sediment().lenDisSedLiq(j), 0.2) << j;
  one.finish();
}

TEST(SedimentHorizonTables, EveryErrorOfAPropertiesTableIsFatal) {
  const std::string names = "Nr   Rho       CntOm     ThetaSat  CofDifRel  pH\n";
  const std::string units = "(-)  (kg.m-3)  (kg.kg-1) (m3.m-3)  (-)        (-)\n";
  const std::string row1 = "1 800 0.09 0.6 0.5 7.0\n";
  const std::string row2 = "2 800 0.03 0.5 0.4 7.0\n";
  const std::string open = "table horizon SedimentProperties\n";
  const std::string end = "end_table\n";
  const std::string illegal = "Illegal mode for table SedimentProperties\n";
  const std::string mode = "Mode must be interpolate or horizon";
  const std::vector<FatalCase> cases = {
      {"table SedimentProperties\n" + names + units + row1 + row2 + end, illegal + mode},
      {open + end, "Fatal while looking for header of table SedimentProperties"},
      {open + "\n" + units + row1 + row2 + end,
       "Fatal while looking for column names in table SedimentProperties"},
      {open + "Nr Rho CntOm\n" + units + row1 + row2 + end,
       "Number of columns should be at least 6 in table SedimentProperties"},
      {open + "Nr Rho CntOm ThetaSat CofDifRel PH\n" + units + row1 + row2 + end,
       "Check column names in table SedimentProperties\n"
       "Name expected is pH\n"
       "Name found is PH"},
      {open + names + end, "Fatal while LOOKING for dimension row in table SedimentProperties"},
      {open + names + "(-) (kg.m-3) (kg.kg-1) (m3.m-3) (-) (kg.m-3)\n" + row1 + row2 + end,
       "Check dimension names in table SedimentProperties\n"
       "Dimension expected is (-)\n"
       "Dimension found is (kg.m-3)"},
      {open + names + units + row1 + end,
       "Number of rows in table SedimentProperties does not correspond with number of "
       "horizons"},
      {open + names + units + row1 + "3 800 0.03 0.5 0.4 7.0\n" + end,
       "Cannot find horizon 3 (Table SedimentProperties) in Sediment profile"},
      {open + names + units + row1 + row1 + end,
       "Horizon 1 occurs more than once in table SedimentProperties"},
      {open + names + units + row1 + "2 800 0.03 0.5 0.4 x\n" + end,
       "Fatal while reading table SedimentProperties\n"
       "Row is: 2 800 0.03 0.5 0.4 x"},
  };
  const auto twoHorizons = [](const std::string& table) { return input(kTwoHorizons, table); };
  const auto readPh = [](SedimentProfile& s) {
    s.getSedimentProfile();
    s.pH(1);
  };
  expectFatalCases(cases, twoHorizons, readPh, "RdSedimentProperties");
  EXPECT_EQ(
      fatalOf(twoHorizons(open + names + units + row1 + "2 800 0.03 0.5 0.4 14\n" + end), readPh)
          .err,
      (Lines{"FATAL: value > maximum", "The maximum value is:      13.0000000",
             "Variable name is: pH"}));
  expectOutOfBounds(
      fatalOf(twoHorizons(open + names + units + "1 40 0.09 0.6 0.5 7\n" + row2 + end),
              [](SedimentProfile& s) { s.rho(3); })
          .err,
      "FATAL: value < minimum", "Rho");
  EXPECT_EQ(fatalOf(twoHorizons(""), [](SedimentProfile& s) { s.cntOm(1); }).err,
            Lines{"Cannot find record SedimentProperties (column  3, unit  20)"});
}

TEST(SedimentHorizonTables, ASingleValueTableReportsAsRdSedimentProperty) {
  const auto lenDis = [](SedimentProfile& s) { s.lenDisSedLiq(1); };
  const Fatal f = fatalOf(input(kTwoHorizons,
                                "table horizon DispersionLength\nNr LenDis\n(-) (m)\n"
                                "1 0.1\n2 0.2\nend_table\n"),
                          lenDis);
  EXPECT_EQ(f.err, (Lines{"Check column names in table DispersionLength",
                          "Name expected is LenDisSedLiq", "Name found is LenDis"}));
  EXPECT_EQ(f.routine, "RdSedimentProperty");
  // A dispersion length below 0.01 m is out of bounds.
  expectOutOfBounds(fatalOf(input(kTwoHorizons,
                                  "table horizon DispersionLength\nNr LenDisSedLiq\n(-) (m)\n"
                                  "1 0.1\n2 0.005\nend_table\n"),
                            lenDis)
                        .err,
                    "FATAL: value < minimum", "LenDisSedLiq");
}

}  // namespace
}  // namespace korvan
