#include "hydrology/water_body.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "core/run.hpp"
#include "hydrology/sediment_profile.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;

const std::string kDashes(80, '-');
const std::string kFiveHeader =
    "Len NumSeg WidWatSys SloSidWatSys DepWatDefPer\n(m) (-) (m) (-) (m)\n";
const std::string kSixHeader =
    "Len NumSeg WidWatSys SloSidWatSys DepWatDefPer DepWatSysBot\n(m) (-) (m) (-) (m) (m)\n";

// A five-column WaterBody table with the given values line.
std::string fiveColumns(const std::string& values) {
  return "table WaterBody\n" + kFiveHeader + values + "\nend_table\n";
}

// The records every input needs, with another CallingProgram.
std::string editionInput(std::string_view callingProgram, const std::string& extra) {
  std::string input = minimalInput(extra);
  input.replace(0, std::string("MERIXKORVAN").size(), callingProgram);
  return input;
}

// The log lines from the line of 80 dashes before "Waterbody: " to the end.
std::vector<std::string> waterBodyLog(TestRun& t) {
  t.run().log().flush();
  const auto log = t.dir().lines("t.log");
  const auto name = std::find_if(log.begin(), log.end(),
                                 [](const std::string& l) { return l.starts_with("Waterbody: "); });
  if (name == log.begin() || name == log.end()) return {};
  return {name - 1, log.end()};
}

const std::string kHeaderLine = "Node       XBou          X       DelX     LenSeg  SegOutput";
const std::string kUnitsLine = "            (m)        (m)        (m)        (m)";
// The option echo: keyword and value each in 18 characters.
const std::string kOptionTable = "OptOutputDistances table             ";
const std::string kOptionAll = "OptOutputDistances All               ";
const std::string kOptionNone = "OptOutputDistances None              ";

// --- Reading the table and the geometry ----------------------------------

TEST(WaterBodyGeometry, TruncatesNumSegAndDividesTheLengthEqually) {
  // Len 100 m, NumSeg 10.7 -> N = 10: LenSeg 10, XBou(i) = 10 i,
  // X(i) = 10 i - 5, DelX(i) = 10.
  TestRun t(minimalInput(fiveColumns("100 10.7 1.2 0.5 0.3") +
                         "Ditch1 WaterbodyID\nNone OptOutputDistances\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  wb.getWaterBody();
  ASSERT_EQ(wb.numSeg(), 10);
  EXPECT_EQ(wb.len(), 100.0);
  EXPECT_EQ(wb.widWatSys(), 1.2);
  EXPECT_EQ(wb.sloSidWatSys(), 0.5);
  EXPECT_EQ(wb.depWatDefPer(), 0.3);
  EXPECT_EQ(wb.depWatSysBot(), 0.0);  // not read in the five-column layout
  EXPECT_EQ(wb.waterbodyID(), "Ditch1");
  EXPECT_EQ(wb.xBou(0), 0.0);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_DOUBLE_EQ(wb.lenSeg(i), 10.0) << i;
    EXPECT_DOUBLE_EQ(wb.xBou(i), 10.0 * i) << i;
    EXPECT_DOUBLE_EQ(wb.x(i), 10.0 * i - 5.0) << i;
    if (i < 10) {
      EXPECT_DOUBLE_EQ(wb.delX(i), 10.0) << i;
    }
  }
  t.finish();
}

TEST(WaterBodyGeometry, LengthThatIsNoMultipleOfTheSegmentCount) {
  // Len 10 m in 3 segments: LenSeg = 3.333...; XBou(3) = Len up to rounding,
  // X(2) = 5, DelX = LenSeg.
  TestRun t(minimalInput(fiveColumns("10 3 1 0 0.2") + "D WaterbodyID\nNone OptOutputDistances\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  wb.getWaterBody();
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(wb.lenSeg(i), 10.0 / 3.0);
  EXPECT_NEAR(wb.xBou(3), 10.0, 1e-12);
  EXPECT_NEAR(wb.x(2), 5.0, 1e-12);
  EXPECT_NEAR(wb.delX(1), 10.0 / 3.0, 1e-12);
  EXPECT_NEAR(wb.delX(2), 10.0 / 3.0, 1e-12);
  t.finish();
}

TEST(WaterBodyGeometry, SixColumnLayoutOfZrAndBrax) {
  for (const char* edition : {"ZRKORVAN", "BRAXKORVAN"}) {
    TestRun t(editionInput(edition, "table WaterBody\n" + kSixHeader +
                                        "50 5 2 1 0.4 0.7\nend_table\n"
                                        "Brook WaterbodyID\nAll OptOutputDistances\n"));
    t.setup();
    WaterBody& wb = t.run().waterBody();
    wb.getWaterBody();
    EXPECT_EQ(wb.numSeg(), 5) << edition;
    EXPECT_EQ(wb.len(), 50.0);
    EXPECT_EQ(wb.depWatDefPer(), 0.4);
    EXPECT_EQ(wb.depWatSysBot(), 0.7);
    EXPECT_EQ(wb.numSegOutput(), 5);  // these editions read the output distances
    t.finish();
  }
}

TEST(WaterBodyGeometry, OrlanAcceptsAnyHeaderAndListsNoRows) {
  TestRun t(editionInput("ORLANKORVAN",
                         "table WaterBody\nLength Segments B s d\n(km)\n"
                         "100 4 1.2 0.5 0.3\nend_table\nPond WaterbodyID\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  wb.getWaterBody();  // no OptOutputDistances record is needed
  EXPECT_EQ(wb.numSeg(), 4);
  EXPECT_EQ(wb.widWatSys(), 1.2);
  EXPECT_EQ(wb.numOutDis(), 0);
  EXPECT_EQ(wb.numSegOutput(), 0);
  for (int i = 1; i <= 4; ++i) EXPECT_FALSE(wb.segOutput(i));
  EXPECT_EQ(waterBodyLog(t),
            (std::vector<std::string>{kDashes, "Waterbody: Pond", kHeaderLine, kUnitsLine}));
  t.finish();
}

TEST(WaterBodyGeometry, RunOfNoEditionReadsTheCheckedFiveColumnLayout) {
  {
    TestRun t(editionInput("FOCUS", fiveColumns("100 4 1.2 0.5 0.3") + "Ditch WaterbodyID\n"));
    t.setup();
    WaterBody& wb = t.run().waterBody();
    wb.getWaterBody();
    EXPECT_EQ(wb.numSeg(), 4);
    EXPECT_EQ(wb.numSegOutput(), 0);  // like Orlan: no rows, no output segments
    EXPECT_EQ(waterBodyLog(t).size(), 4u);
    t.finish();
  }
  {
    TestRun t(editionInput("FOCUS", "table WaterBody\nLen NumSeg\n(m) (-)\n100 4\nend_table\n"));
    t.setup();
    const auto err = t.expectFatal([&] { t.run().waterBody().getWaterBody(); });
    EXPECT_EQ(err, std::vector<std::string>{"Number of columns in table WaterBody must be 5"});
  }
}

// --- Header checks ----------------------------------------------------------

std::vector<std::string> tableError(std::string_view callingProgram, const std::string& table) {
  TestRun t(editionInput(callingProgram, table + "D WaterbodyID\nAll OptOutputDistances\n"));
  t.setup();
  return t.expectFatal([&] { t.run().waterBody().getWaterBody(); });
}

TEST(WaterBodyTable, FiveColumnHeaderMessages) {
  const std::string values = "100 4 1.2 0.5 0.3\nend_table\n";
  EXPECT_EQ(tableError("MERIXKORVAN",
                       "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys\n"
                       "(m) (-) (m) (-) (m)\n" +
                           values),
            std::vector<std::string>{"Number of columns in table WaterBody must be 5"});
  EXPECT_EQ(tableError("MERIXKORVAN",
                       "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys "
                       "DepWatDefPer DepWatSysBot\n(m) (-) (m) (-) (m)\n" +
                           values),
            std::vector<std::string>{"Number of columns in table WaterBody must be 5"});
  EXPECT_EQ(
      tableError("MERIXKORVAN",
                 "table WaterBody\nLength NumSeg WidWatSys SloSidWatSys "
                 "DepWatDefPer\n(m) (-) (m) (-) (m)\n" +
                     values),
      std::vector<std::string>{
          "2nd line in table WaterBody must be: Len NumSeg WidWatSys SloSidWatSys DepWatDefPer"});
  EXPECT_EQ(tableError("MERIXKORVAN", "table WaterBody\n" +
                                          kFiveHeader.substr(0, kFiveHeader.find('\n') + 1) +
                                          "(m) (-) (m) (-)\n" + values),
            std::vector<std::string>{"Number of dimension identifiers in WaterBody must be 5"});
  EXPECT_EQ(
      tableError("MERIXKORVAN", "table WaterBody\n" +
                                    kFiveHeader.substr(0, kFiveHeader.find('\n') + 1) +
                                    "(m) (-) (cm) (-) (m)\n" + values),
      std::vector<std::string>{"3rd line in table WaterBody must be:    (m)  (-)  (m)   (-)  (m)"});
}

TEST(WaterBodyTable, SixColumnHeaderMessages) {
  const std::string values = "100 4 1.2 0.5 0.3 0.5\nend_table\n";
  const std::string columns = kSixHeader.substr(0, kSixHeader.find('\n') + 1);
  EXPECT_EQ(tableError("ZRKORVAN", fiveColumns("100 4 1.2 0.5 0.3")),
            std::vector<std::string>{"Number of columns in table WaterBody must be 6"});
  EXPECT_EQ(tableError("BRAXKORVAN",
                       "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys "
                       "DepWatDefPer DepWatBot\n(m) (-) (m) (-) (m) (m)\n" +
                           values),
            std::vector<std::string>{"2nd line in table WaterBody must be: Len NumSeg WidWatSys"
                                     "    SloSidWatSys DepWatDefPer DepWatSysBot"});
  EXPECT_EQ(
      tableError("ZRKORVAN", "table WaterBody\n" + columns + "(m) (-) (m) (-) (m)\n" + values),
      std::vector<std::string>{"Number of dimension identifiers in WaterBody must be 6"});
  EXPECT_EQ(tableError("BRAXKORVAN",
                       "table WaterBody\n" + columns + "(m) (-) (m) (-) (m) (-)\n" + values),
            std::vector<std::string>{
                "3rd line in table WaterBody must be:    (m)  (-)  (m)   (-)   (m)   (m)"});
}

TEST(WaterBodyTable, ValuesLineAndSegmentCountMessages) {
  // The values line holds no check of its own in the model; a line that does
  // not hold the numbers, and a segment count below 1, stop the run here.
  EXPECT_EQ(tableError("MERIXKORVAN", fiveColumns("100 4 wide 0.5 0.3")),
            (std::vector<std::string>{
                "Fatal while reading the values line of table WaterBody",
                "It must hold 5 numbers: Len NumSeg WidWatSys SloSidWatSys DepWatDefPer"}));
  EXPECT_EQ(tableError("ZRKORVAN", "table WaterBody\n" + kSixHeader + "100 4 1 1 1\nend_table\n"),
            (std::vector<std::string>{
                "Fatal while reading the values line of table WaterBody",
                "It must hold 6 numbers: Len NumSeg WidWatSys SloSidWatSys DepWatDefPer "
                "DepWatSysBot"}));
  for (const char* numSeg : {"0", "0.9", "-3", "1e12"}) {
    EXPECT_EQ(
        tableError("MERIXKORVAN", fiveColumns(std::string("100 ") + numSeg + " 1 0 0.3")),
        std::vector<std::string>{"NumSeg in table WaterBody must be a number from 1 to 2147483647"})
        << numSeg;
  }
}

// --- Output distances and the segment table ---------------------------------

TEST(WaterBodySegmentTable, DistancesOnBoundariesMarkTheUpstreamSegment) {
  // Len 100 m, N = 4: XBou = 25, 50, 75, 100; X = 12.5, 37.5, 62.5, 87.5.
  // 25 lies on the boundary of segments 1 and 2 and marks segment 1; 0 marks
  // none; 75 + 1e-10 equals 75 within the tolerance and marks segment 3.
  TestRun t(minimalInput(fiveColumns("100 4 1.2 0.5 0.3") +
                         "Ditch1 WaterbodyID\ntable OptOutputDistances\n"
                         "table OutputDistances (m)\n25\n0\n75.0000000001\nend_table\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  wb.getWaterBody();
  EXPECT_EQ(wb.numOutDis(), 3);
  EXPECT_EQ(wb.outputSegments(), (std::vector<int>{1, 3}));
  EXPECT_EQ(wb.numSegOutput(), 2);
  EXPECT_TRUE(wb.segOutput(1));
  EXPECT_FALSE(wb.segOutput(2));
  EXPECT_TRUE(wb.segOutput(3));
  EXPECT_FALSE(wb.segOutput(4));
  const std::string blank13(13, ' ');
  EXPECT_EQ(waterBodyLog(t),
            (std::vector<std::string>{
                kDashes, "Waterbody: Ditch1", kHeaderLine, kUnitsLine, kDashes, kOptionTable,
                "   1    25.0000    12.5000    25.0000    25.0000       Yes",
                "   2    50.0000    37.5000    25.0000    25.0000        No",
                "   3    75.0000    62.5000    25.0000    25.0000       Yes",
                "   4   100.0000    87.5000" + blank13 + "  25.0000        No"}));
  t.finish();
}

TEST(WaterBodySegmentTable, OneSegmentHasOnlyTheLastRowLayout) {
  // Len 50 m, N = 1: XBou(1) = 50, X(1) = 25, no DelX.
  TestRun t(
      minimalInput(fiveColumns("50 1 1 0 0.1") + "Single WaterbodyID\nAll OptOutputDistances\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  wb.getWaterBody();
  EXPECT_EQ(wb.numSeg(), 1);
  EXPECT_TRUE(wb.segOutput(1));
  EXPECT_EQ(waterBodyLog(t),
            (std::vector<std::string>{
                kDashes, "Waterbody: Single", kHeaderLine, kUnitsLine, kDashes, kOptionAll,
                "   1    50.0000    25.0000" + std::string(13, ' ') + "  50.0000       Yes"}));
  t.finish();
}

TEST(WaterBodySegmentTable, AllAndNone) {
  for (const std::string option : {"All", "None"}) {
    TestRun t(minimalInput(fiveColumns("30 3 1 0 0.1") + "D WaterbodyID\n" + option +
                           " OptOutputDistances\n"));
    t.setup();
    WaterBody& wb = t.run().waterBody();
    wb.getWaterBody();
    const bool all = option == "All";
    EXPECT_EQ(wb.numSegOutput(), all ? 3 : 0);
    EXPECT_EQ(wb.numOutDis(), 0);
    const auto log = waterBodyLog(t);
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[5], all ? kOptionAll : kOptionNone);
    for (std::size_t k = 6; k < 9; ++k) {
      EXPECT_TRUE(log[k].ends_with(all ? "    Yes" : "     No")) << log[k];
    }
  }
}

TEST(WaterBodyOutputDistances, DistanceUpToTheLengthWithinTheTolerance) {
  // 100 + 1e-10 is not greater than Len = 100 in the tolerant test: it marks
  // the last segment.
  TestRun t(minimalInput(fiveColumns("100 4 1 0 0.1") +
                         "D WaterbodyID\ntable OptOutputDistances\n"
                         "table OutputDistances (m)\n100.0000000001\nend_table\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  wb.getWaterBody();
  EXPECT_EQ(wb.outputSegments(), std::vector<int>{4});
  t.finish();
}

std::vector<std::string> distanceError(const std::string& table) {
  TestRun t(minimalInput(fiveColumns("100 4 1 0 0.1") +
                         "D WaterbodyID\ntable OptOutputDistances\n" + table));
  t.setup();
  return t.expectFatal([&] { t.run().waterBody().getWaterBody(); });
}

TEST(WaterBodyOutputDistances, Messages) {
  EXPECT_EQ(distanceError("table OutputDistances (m)\n10\n100.5\nend_table\n"),
            (std::vector<std::string>{
                "Distance in table OutputDistances must be less or equal to: 100.0000",
                "Last line read is line-number  2"}));
  EXPECT_EQ(distanceError("table OutputDistances (m)\nten\nend_table\n"),
            std::vector<std::string>{"Last line read is line-number  1"});
  EXPECT_EQ(distanceError("table OutputDistances (m)\n10\n\nend_table\n"),
            std::vector<std::string>{"Last line read is line-number  2"});
  EXPECT_EQ(distanceError("table OutputDistances\n10\nend_table\n"),
            std::vector<std::string>{
                "You have to specify a dimension for OutputDistances Its value should be (m)"});
  EXPECT_EQ(distanceError("table OutputDistances (m)\n10\n"),
            std::vector<std::string>{"FATAL while COUNTING records in OutputDistances"});
}

// --- Segment of a distance --------------------------------------------------

TEST(SegmentOfDistance, BoundariesBelongToTheDownstreamSegment) {
  // N = 4, Len = 100: boundaries at 25, 50, 75, 100.
  TestRun t(
      minimalInput(fiveColumns("100 4 1 0 0.1") + "D WaterbodyID\nNone OptOutputDistances\n"));
  t.setup();
  WaterBody& wb = t.run().waterBody();
  wb.getWaterBody();
  EXPECT_EQ(wb.segmentOfDistance(-5.0), 1);
  EXPECT_EQ(wb.segmentOfDistance(0.0), 1);
  EXPECT_EQ(wb.segmentOfDistance(5e-10), 1);  // 0 within the tolerance
  EXPECT_EQ(wb.segmentOfDistance(10.0), 1);
  EXPECT_EQ(wb.segmentOfDistance(25.0), 2);
  EXPECT_EQ(wb.segmentOfDistance(25.0 - 5e-10), 2);  // 25 >= 25 - 5e-10 + 1e-9 fails
  EXPECT_EQ(wb.segmentOfDistance(24.9999), 1);
  EXPECT_EQ(wb.segmentOfDistance(74.0), 3);
  EXPECT_EQ(wb.segmentOfDistance(99.9), 4);
  EXPECT_EQ(wb.segmentOfDistance(100.0), 4);  // no segment ends beyond it: N
  EXPECT_EQ(wb.segmentOfDistance(150.0), 4);
  t.finish();
}

// --- Target zone ------------------------------------------------------------

struct TargetCase {
  std::string len_numSeg;
  std::string sta, end;
  int first, last;
  std::string staLog, endLog;
};

TEST(TargetZone, StartAndEndSnapToBoundaries) {
  const std::vector<TargetCase> cases = {
      // N = 10 of 10 m. Start 0 -> node 1 -> position 0 -> segment 1. End 45
      // -> node 5 (XBou 50) -> segment of 50 is 6 -> last segment 5.
      {"100 10", "0", "45", 1, 5, " ZTgt =   0.000 Layer number =  1",
       " ZTgt =  50.000 Layer number =  5"},
      // Start 15 moves downstream to node 2 (XBou 20), the segment of 20 is 3.
      // End 20 lies on node 2: last segment 2.
      {"100 10", "15", "20", 3, 2, " ZTgt =  20.000 Layer number =  2",
       " ZTgt =  20.000 Layer number =  2"},
      // Start 10 is node 1, which starts at 0. End 5 -> node 1 keeps XBou(1)
      // = 10 -> segment 2 -> last segment 1.
      {"100 10", "10", "5", 1, 1, " ZTgt =   0.000 Layer number =  1",
       " ZTgt =  10.000 Layer number =  1"},
      // End at the downstream end: node 10, position 100; the segment upstream
      // of it is 10, the last segment of the water body.
      {"100 10", "30.5", "100", 5, 10, " ZTgt =  40.000 Layer number =  4",
       " ZTgt = 100.000 Layer number = 10"},
      // The stretch 100-200 m of 10 m segments is segments 11 to 20 (190-200 m
      // included), inside a 300 m water body and at the end of a 200 m one.
      {"300 30", "100", "200", 11, 20, " ZTgt = 100.000 Layer number = 10",
       " ZTgt = 200.000 Layer number = 20"},
      {"200 20", "100", "200", 11, 20, " ZTgt = 100.000 Layer number = 10",
       " ZTgt = 200.000 Layer number = 20"},
      // N = 1: both ends in segment 1.
      {"50 1", "0", "50", 1, 1, " ZTgt =   0.000 Layer number =  1",
       " ZTgt =  50.000 Layer number =  1"},
  };
  for (const TargetCase& c : cases) {
    TestRun t(minimalInput(fiveColumns(c.len_numSeg + " 1 0 0.1") +
                           "D WaterbodyID\nNone OptOutputDistances\n" + c.sta +
                           " StaDstTgtCon (m)\n" + c.end + " EndDstTgtCon (m)\n"));
    t.setup();
    WaterBody& wb = t.run().waterBody();
    wb.getWaterBody();
    EXPECT_EQ(wb.firstTargetSegment(), c.first) << c.sta;
    EXPECT_EQ(wb.lastTargetSegment(), c.last) << c.end;
    EXPECT_EQ(wb.firstTargetSegment(), c.first);  // kept: read and logged once
    EXPECT_EQ(wb.lastTargetSegment(), c.last);
    const auto log = waterBodyLog(t);
    ASSERT_GE(log.size(), 6u);
    // rdFloat's dashes and echo, then the target line; for each end.
    EXPECT_EQ(log[log.size() - 4], c.staLog);
    EXPECT_EQ(log[log.size() - 1], c.endLog);
    t.finish();
  }
}

TEST(TargetZone, Messages) {
  const std::string input =
      fiveColumns("100 10 1 0 0.1") + "D WaterbodyID\nNone OptOutputDistances\n";
  {
    TestRun t(minimalInput(input + "100.5 StaDstTgtCon (m)\n"));
    t.setup();
    t.run().waterBody().getWaterBody();
    EXPECT_EQ(t.expectFatal([&] { t.run().waterBody().firstTargetSegment(); }),
              std::vector<std::string>{
                  "StaDstTgtCon must be less or equal to the length of the water body: 100.0000"});
  }
  {
    TestRun t(minimalInput(input + "101 EndDstTgtCon (m)\n"));
    t.setup();
    t.run().waterBody().getWaterBody();
    EXPECT_EQ(t.expectFatal([&] { t.run().waterBody().lastTargetSegment(); }),
              std::vector<std::string>{
                  "EndDstTgtCon must be less or equal to the length of the water body: 100.0000"});
  }
  {
    TestRun t(minimalInput(input + "-1 StaDstTgtCon (m)\n"));
    t.setup();
    t.run().waterBody().getWaterBody();
    const auto err = t.expectFatal([&] { t.run().waterBody().firstTargetSegment(); });
    ASSERT_EQ(err.size(), 3u);
    EXPECT_EQ(err[0], "FATAL: value < minimum");
    EXPECT_EQ(err[2], "Variable name is: StaDstTgtCon");
  }
}

// --- Water-layer parameters -------------------------------------------------

struct Parameter {
  std::string keyword, unit;
  double min, max;
  std::function<double(WaterBody&)> get;
};

const std::vector<Parameter>& parameters() {
  static const std::vector<Parameter> list = {
      {"TimStpWat", "(s)", 0.001, 3600, [](WaterBody& w) { return w.timStpWat(); }},
      {"TimStpSed", "(s)", 0.001, 3600, [](WaterBody& w) { return w.timStpSed(); }},
      {"ConSus", "(g.m-3)", 0, 100000, [](WaterBody& w) { return w.conSus(); }},
      {"CntOmSusSol", "(kg.kg-1)", 0, 1, [](WaterBody& w) { return w.cntOmSusSol(); }},
      {"AmaMphWatLay", "(g.m-2)", 0, 1000, [](WaterBody& w) { return w.amaMphWatLay(); }},
      {"RatAreaUpsApp", "(-)", 0, 1, [](WaterBody& w) { return w.ratAreaUpsApp(); }},
      {"FraMetForDrfUps", "(-)", 0, 1, [](WaterBody& w) { return w.fraMetForDrfUps(); }},
      {"FraMetForDraRnfUps", "(-)", 0, 1, [](WaterBody& w) { return w.fraMetForDraRnfUps(); }},
  };
  return list;
}

std::string number(double v) {
  std::ostringstream s;
  s.precision(17);
  s << v;
  return s.str();
}

TEST(WaterBodyParameters, ReadOnceWithUnitAndBounds) {
  for (const Parameter& p : parameters()) {
    for (double v : {p.min, p.max}) {  // values on a bound are accepted
      TestRun t(minimalInput(number(v) + " " + p.keyword + " " + p.unit + "\n"));
      t.setup();
      WaterBody& wb = t.run().waterBody();
      EXPECT_EQ(p.get(wb), v) << p.keyword;
      EXPECT_EQ(p.get(wb), v) << p.keyword;
      t.finish();
      // Echoed once: the second call takes the kept value.
      const std::string log = t.dir().read("t.log");
      EXPECT_EQ(log.find(p.keyword), log.rfind(p.keyword)) << p.keyword;
    }
  }
}

TEST(WaterBodyParameters, BoundAndUnitMessages) {
  for (const Parameter& p : parameters()) {
    {
      TestRun t(minimalInput(number(p.max * 1.5 + 1) + " " + p.keyword + " " + p.unit + "\n"));
      t.setup();
      const auto err = t.expectFatal([&] { p.get(t.run().waterBody()); });
      ASSERT_EQ(err.size(), 3u) << p.keyword;
      EXPECT_EQ(err[0], "FATAL: value > maximum");
      EXPECT_EQ(err[2], "Variable name is: " + p.keyword);
    }
    {
      TestRun t(minimalInput(number(p.min - 1e-4) + " " + p.keyword + " " + p.unit + "\n"));
      t.setup();
      const auto err = t.expectFatal([&] { p.get(t.run().waterBody()); });
      ASSERT_EQ(err.size(), 3u) << p.keyword;
      EXPECT_EQ(err[0], "FATAL: value < minimum");
      EXPECT_EQ(err[2], "Variable name is: " + p.keyword);
    }
    {
      TestRun t(minimalInput("0.5 " + p.keyword + " (d)\n"));
      t.setup();
      EXPECT_EQ(t.expectFatal([&] { p.get(t.run().waterBody()); }),
                std::vector<std::string>{"Dimension for " + p.keyword + " should be " + p.unit});
    }
  }
}

// --- Sediment layer thicknesses ---------------------------------------------

// One horizon of 0.25 m in 4 layers of 0.0625 m: interfaces at 0.0625, 0.125,
// 0.1875 and 0.25 m, all exact in binary.
const std::string kProfile =
    "table SedimentProfile\nThiHor NumLay\n(m)\n0.25 4\nend_table\nNone OutputDepths\n";

constexpr const char* kNoLayers = "the sediment profile module builds no layers yet";

// Reads the sediment profile; false while the sediment module, filled in
// separately, builds no layers yet (the tests that need them skip then).
bool readProfile(TestRun& t) {
  t.run().sediment().getSedimentProfile();
  return t.run().sediment().numLayers() > 0;
}

std::string firstLine(const std::vector<std::string>& lines) {
  return lines.empty() ? std::string() : lines.front();
}

std::vector<std::string> thicknessError(const std::string& record,
                                        const std::function<void(WaterBody&)>& get, bool& skipped) {
  TestRun t(minimalInput(kProfile + record));
  t.setup();
  skipped = !readProfile(t);
  if (skipped) {
    t.finish();
    return {};
  }
  return t.expectFatal([&] { get(t.run().waterBody()); });
}

TEST(WaterBodySedimentThickness, ThiLayErsMustEndExactlyOnALayerInterface) {
  {
    TestRun t(minimalInput(kProfile + "0.125 ThiLayErs (m)\n"));
    t.setup();
    if (!readProfile(t)) {
      t.finish();
      GTEST_SKIP() << kNoLayers;
    }
    EXPECT_EQ(t.run().waterBody().thiLayErs(), 0.125);
    EXPECT_EQ(t.run().waterBody().numLayErs(), 2);  // 0.125 / 0.0625
    t.finish();
  }
  const auto get = [](WaterBody& w) { w.thiLayErs(); };
  const std::vector<std::string> between = {
      "Thickness of sediment layers to which erosion mass is added must",
      "be exactly equal to the total thickness of a number of sediment layers"};
  bool skipped = false;
  // Between two interfaces, and off an interface by far less than 1e-9.
  for (const char* v : {"0.1", "0.125000000001"}) {
    EXPECT_EQ(thicknessError(std::string(v) + " ThiLayErs (m)\n", get, skipped), between) << v;
    if (skipped) GTEST_SKIP() << kNoLayers;
  }
  EXPECT_EQ(thicknessError("0 ThiLayErs (m)\n", get, skipped),
            std::vector<std::string>{
                "Thickness of sediment layers to which erosion mass is added must be > 0"});
  EXPECT_EQ(firstLine(thicknessError("5e-6 ThiLayErs (m)\n", get, skipped)),
            "FATAL: value < minimum");
  EXPECT_EQ(firstLine(thicknessError("1.5 ThiLayErs (m)\n", get, skipped)),
            "FATAL: value > maximum");
}

TEST(WaterBodySedimentThickness, ThiLayTgtMustEqualALayerInterfaceWithinTheTolerance) {
  {
    // 0.1875 + 1e-12 equals the third interface within 1e-9.
    TestRun t(minimalInput(kProfile + "0.187500000001 ThiLayTgt (m)\n"));
    t.setup();
    if (!readProfile(t)) {
      t.finish();
      GTEST_SKIP() << kNoLayers;
    }
    EXPECT_EQ(t.run().waterBody().numLayTgt(), 3);
    EXPECT_EQ(t.run().waterBody().thiLayTgt(), 0.187500000001);
    t.finish();
  }
  const auto get = [](WaterBody& w) { w.thiLayTgt(); };
  bool skipped = false;
  EXPECT_EQ(
      thicknessError("0.3 ThiLayTgt (m)\n", get, skipped),
      (std::vector<std::string>{"Thickness of target layer in sediment ",
                                "cannot be greater than the total thickness of the sediment"}));
  if (skipped) GTEST_SKIP() << kNoLayers;
  // Within the sediment but not on an interface.
  EXPECT_EQ(thicknessError("0.1 ThiLayTgt (m)\n", get, skipped),
            (std::vector<std::string>{
                "Thickness of target layer in sediment ",
                "must be equal to the total thickness of a number of sediment layers"}));
  EXPECT_EQ(thicknessError("0 ThiLayTgt (m)\n", get, skipped),
            std::vector<std::string>{"Thickness of sediment target layer must be > 0"});
  EXPECT_EQ(thicknessError("-0.1 ThiLayTgt (m)\n", get, skipped),
            std::vector<std::string>{"Thickness of sediment target layer must be > 0"});
  EXPECT_EQ(firstLine(thicknessError("2 ThiLayTgt (m)\n", get, skipped)), "FATAL: value > maximum");
}

}  // namespace
}  // namespace korvan
