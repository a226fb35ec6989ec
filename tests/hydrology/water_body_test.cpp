#include "hydrology/water_body.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "core/run.hpp"
#include "hydrology/hydrology_test_support.hpp"
#include "hydrology/sediment_profile.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::expectOutOfBounds;
using testing::joined;
using testing::minimalInput;
using testing::TestRun;
using Lines = std::vector<std::string>;

const std::string kDashes(80, '-');
const std::string kFiveHeader =
    "Len NumSeg WidWatSys SloSidWatSys DepWatDefPer\n(m) (-) (m) (-) (m)\n";
const std::string kSixHeader =
    "Len NumSeg WidWatSys SloSidWatSys DepWatDefPer DepWatSysBot\n(m) (-) (m) (-) (m) (m)\n";
const std::string kNone = "D WaterbodyID\nNone OptOutputDistances\n";

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

// A run set up on the input, its water body read.
struct WaterBodyRun {
  explicit WaterBodyRun(const std::string& input) : t(input) {
    t.setup();
    wb().getWaterBody();
  }
  WaterBody& wb() { return t.run().waterBody(); }
  // The log lines from the line of 80 dashes before "Waterbody: " to the end.
  Lines log() {
    t.run().log().flush();
    const auto lines = t.dir().lines("t.log");
    const auto name = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
      return l.starts_with("Waterbody: ");
    });
    if (name == lines.begin() || name == lines.end()) return {};
    return {name - 1, lines.end()};
  }
  TestRun t;
};

// The lines of the fatal error the action on the water body of the input ends in.
Lines fatalOf(const std::string& input, const std::function<void(ModelRun&)>& action) {
  TestRun t(input);
  t.setup();
  return t.expectFatal([&] { action(t.run()); });
}
const std::function<void(ModelRun&)> kRead = [](ModelRun& r) { r.waterBody().getWaterBody(); };

const std::string kHeaderLine = "Node       XBou          X       DelX     LenSeg  SegOutput";
const std::string kUnitsLine = "            (m)        (m)        (m)        (m)";

// --- Reading the table and the geometry ----------------------------------

TEST(WaterBodyGeometry, TruncatesNumSegAndDividesTheLengthEqually) {
  // Len 100 m, NumSeg 10.7 -> N = 10: LenSeg 10, XBou(i) = 10 i,
  // X(i) = 10 i - 5, DelX(i) = 10.
  WaterBodyRun r(minimalInput(fiveColumns("100 10.7 1.2 0.5 0.3") +
                              "Ditch1 WaterbodyID\nNone OptOutputDistances\n"));
  WaterBody& wb = r.wb();
  ASSERT_EQ(wb.numSeg(), 10);
  EXPECT_EQ(wb.depWatSysBot(), 0.0);  // not read in the five-column layout
  EXPECT_EQ(wb.xBou(0), 0.0);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_DOUBLE_EQ(wb.lenSeg(i), 10.0) << i;
    EXPECT_DOUBLE_EQ(wb.xBou(i), 10.0 * i) << i;
    EXPECT_DOUBLE_EQ(wb.x(i), 10.0 * i - 5.0) << i;
    if (i < 10) {
      EXPECT_DOUBLE_EQ(wb.delX(i), 10.0) << i;
    }
  }
  r.t.finish();
}

TEST(WaterBodyGeometry, OrlanAndRunsOfNoEditionListNoRows) {
  // Orlan accepts any header and needs no OptOutputDistances record; a run
  // of no edition reads the checked five-column layout.
  WaterBodyRun r(editionInput("ORLANKORVAN",
                              "table WaterBody\nLength Segments B s d\n(km)\n"
                              "100 4 1.2 0.5 0.3\nend_table\nPond WaterbodyID\n"));
  WaterBodyRun f(editionInput("FOCUS", fiveColumns("100 4 1.2 0.5 0.3") + "Ditch WaterbodyID\n"));
  for (WaterBodyRun* run : {&r, &f}) {
    WaterBody& wb = run->wb();
    EXPECT_EQ(wb.numSeg(), 4);
    EXPECT_EQ(wb.widWatSys(), 1.2);
    EXPECT_EQ(wb.numOutDis(), 0);
    EXPECT_EQ(wb.numSegOutput(), 0);
    for (int i = 1; i <= 4; ++i) EXPECT_FALSE(wb.segOutput(i));
  }
  EXPECT_EQ(r.log(), (Lines{kDashes, "Waterbody: Pond", kHeaderLine, kUnitsLine}));
  EXPECT_EQ(f.log().size(), 4u);
  r.t.finish();
  f.t.finish();
}

// --- Header checks ----------------------------------------------------------

struct TableCase {
  std::string edition, table, err;  // the lines of the message, joined
};

TEST(WaterBodyTable, HeaderValuesAndSegmentCountMessages) {
  const std::string five = "Number of columns in table WaterBody must be 5";
  const std::string values = "100 4 1.2 0.5 0.3\nend_table\n";
  const std::string values6 = "100 4 1.2 0.5 0.3 0.5\nend_table\n";
  const std::string columns6 =
      "table WaterBody\n" + kSixHeader.substr(0, kSixHeader.find('\n') + 1);
  const std::string valuesLine = "Fatal while reading the values line of table WaterBody\n";
  // The values line holds no check of its own in the model; a line that does
  // not hold the numbers, and a segment count below 1, stop the run here.
  std::vector<TableCase> cases = {
      {"MERIXKORVAN", columns6 + "(m) (-) (m) (-) (m)\n" + values, five},
      {"FOCUS", "table WaterBody\nLen NumSeg\n(m) (-)\n100 4\nend_table\n", five},
      {"BRAXKORVAN",
       "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys DepWatDefPer DepWatBot\n"
       "(m) (-) (m) (-) (m) (m)\n" +
           values6,
       "2nd line in table WaterBody must be: Len NumSeg WidWatSys"
       "    SloSidWatSys DepWatDefPer DepWatSysBot"},
      {"ZRKORVAN", columns6 + "(m) (-) (m) (-) (m)\n" + values6,
       "Number of dimension identifiers in WaterBody must be 6"},
      {"BRAXKORVAN", columns6 + "(m) (-) (m) (-) (m) (-)\n" + values6,
       "3rd line in table WaterBody must be:    (m)  (-)  (m)   (-)   (m)   (m)"},
      {"ZRKORVAN", "table WaterBody\n" + kSixHeader + "100 4 1 1 1\nend_table\n",
       valuesLine +
           "It must hold 6 numbers: Len NumSeg WidWatSys SloSidWatSys DepWatDefPer DepWatSysBot"},
  };
  for (const char* numSeg : {"0", "0.9", "-3", "1e12"}) {
    cases.push_back({"MERIXKORVAN", fiveColumns(std::string("100 ") + numSeg + " 1 0 0.3"),
                     "NumSeg in table WaterBody must be a number from 1 to 2147483647"});
  }
  for (const TableCase& c : cases) {
    EXPECT_EQ(
        joined(fatalOf(editionInput(c.edition, c.table + "D WaterbodyID\nAll OptOutputDistances\n"),
                       kRead)),
        c.err)
        << c.table;
  }
}

// --- Output distances and the segment table ---------------------------------

TEST(WaterBodySegmentTable, DistancesOnBoundariesMarkTheUpstreamSegment) {
  // Len 100 m, N = 4: XBou = 25, 50, 75, 100; X = 12.5, 37.5, 62.5, 87.5.
  // 25 lies on the boundary of segments 1 and 2 and marks segment 1; 0 marks
  // none; 75 + 1e-10 equals 75 within the tolerance and marks segment 3.
  WaterBodyRun r(minimalInput(fiveColumns("100 4 1.2 0.5 0.3") +
                              "Ditch1 WaterbodyID\ntable OptOutputDistances\n"
                              "table OutputDistances (m)\n25\n0\n75.0000000001\nend_table\n"));
  WaterBody& wb = r.wb();
  EXPECT_EQ(wb.numOutDis(), 3);
  EXPECT_EQ(wb.outputSegments(), (std::vector<int>{1, 3}));
  EXPECT_EQ(wb.numSegOutput(), 2);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(wb.segOutput(i), i % 2 == 1) << i;
  const std::string blank13(13, ' ');
  EXPECT_EQ(r.log(), (Lines{kDashes, "Waterbody: Ditch1", kHeaderLine, kUnitsLine, kDashes,
                            "OptOutputDistances table             ",
                            "   1    25.0000    12.5000    25.0000    25.0000       Yes",
                            "   2    50.0000    37.5000    25.0000    25.0000        No",
                            "   3    75.0000    62.5000    25.0000    25.0000       Yes",
                            "   4   100.0000    87.5000" + blank13 + "  25.0000        No"}));
  // 100 + 1e-10 is not greater than Len = 100 in the tolerant test: it marks
  // the last segment.
  WaterBodyRun end(minimalInput(fiveColumns("100 4 1 0 0.1") +
                                "D WaterbodyID\ntable OptOutputDistances\n"
                                "table OutputDistances (m)\n100.0000000001\nend_table\n"));
  EXPECT_EQ(end.wb().outputSegments(), std::vector<int>{4});
  r.t.finish();
  end.t.finish();
}

TEST(WaterBodyOutputDistances, Messages) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"table OutputDistances (m)\n10\n100.5\nend_table\n",
       "Distance in table OutputDistances must be less or equal to: 100.0000\n"
       "Last line read is line-number  2"},
      {"table OutputDistances (m)\nten\nend_table\n", "Last line read is line-number  1"},
      {"table OutputDistances (m)\n10\n\nend_table\n", "Last line read is line-number  2"},
      {"table OutputDistances\n10\nend_table\n",
       "You have to specify a dimension for OutputDistances Its value should be (m)"},
      {"table OutputDistances (m)\n10\n", "FATAL while COUNTING records in OutputDistances"},
  };
  for (const auto& [table, err] : cases) {
    EXPECT_EQ(joined(fatalOf(minimalInput(fiveColumns("100 4 1 0 0.1") +
                                          "D WaterbodyID\ntable OptOutputDistances\n" + table),
                             kRead)),
              err);
  }
}

TEST(SegmentOfDistance, BoundariesBelongToTheDownstreamSegment) {
  // N = 4, Len = 100: boundaries at 25, 50, 75, 100. 5e-10 is 0 within the
  // tolerance; 25 >= 25 - 5e-10 + 1e-9 fails; no segment ends beyond 100: N.
  WaterBodyRun r(minimalInput(fiveColumns("100 4 1 0 0.1") + kNone));
  const std::vector<std::pair<double, int>> cases = {
      {-5.0, 1},    {0.0, 1},  {5e-10, 1}, {10.0, 1},  {25.0, 2}, {25.0 - 5e-10, 2},
      {24.9999, 1}, {74.0, 3}, {99.9, 4},  {100.0, 4}, {150.0, 4}};
  for (const auto& [distance, segment] : cases) {
    EXPECT_EQ(r.wb().segmentOfDistance(distance), segment) << distance;
  }
  r.t.finish();
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
      // N = 1: both ends in segment 1.
      {"50 1", "0", "50", 1, 1, " ZTgt =   0.000 Layer number =  1",
       " ZTgt =  50.000 Layer number =  1"},
  };
  for (const TargetCase& c : cases) {
    WaterBodyRun r(minimalInput(fiveColumns(c.len_numSeg + " 1 0 0.1") + kNone + c.sta +
                                " StaDstTgtCon (m)\n" + c.end + " EndDstTgtCon (m)\n"));
    WaterBody& wb = r.wb();
    EXPECT_EQ(wb.firstTargetSegment(), c.first) << c.sta;
    EXPECT_EQ(wb.lastTargetSegment(), c.last) << c.end;
    const auto log = r.log();
    ASSERT_GE(log.size(), 6u);
    // rdFloat's dashes and echo, then the target line; for each end.
    EXPECT_EQ(log[log.size() - 4], c.staLog);
    EXPECT_EQ(log[log.size() - 1], c.endLog);
    r.t.finish();
  }
}

TEST(TargetZone, Messages) {
  const std::string input = fiveColumns("100 10 1 0 0.1") + kNone;
  const auto first = [](ModelRun& r) {
    r.waterBody().getWaterBody();
    r.waterBody().firstTargetSegment();
  };
  EXPECT_EQ(fatalOf(minimalInput(input + "100.5 StaDstTgtCon (m)\n"), first),
            Lines{"StaDstTgtCon must be less or equal to the length of the water body: 100.0000"});
  EXPECT_EQ(fatalOf(minimalInput(input + "101 EndDstTgtCon (m)\n"),
                    [](ModelRun& r) {
                      r.waterBody().getWaterBody();
                      r.waterBody().lastTargetSegment();
                    }),
            Lines{"EndDstTgtCon must be less or equal to the length of the water body: 100.0000"});
  expectOutOfBounds(fatalOf(minimalInput(input + "-1 StaDstTgtCon (m)\n"), first),
                    "FATAL: value < minimum", "StaDstTgtCon");
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

// The record of the parameter with the value.
std::string record(const Parameter& p, double v) {
  std::ostringstream s;
  s.precision(17);
  s << v << " " << p.keyword << " " << p.unit << "\n";
  return s.str();
}

TEST(WaterBodyParameters, ReadOnceWithUnitAndBounds) {
  for (const Parameter& p : parameters()) {
    for (double v : {p.min, p.max}) {  // values on a bound are accepted
      TestRun t(minimalInput(record(p, v)));
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
    const auto get = [&](ModelRun& r) { p.get(r.waterBody()); };
    expectOutOfBounds(fatalOf(minimalInput(record(p, p.max * 1.5 + 1)), get),
                      "FATAL: value > maximum", p.keyword);
    expectOutOfBounds(fatalOf(minimalInput(record(p, p.min - 1e-4)), get), "FATAL: value < minimum",
                      p.keyword);
    EXPECT_EQ(fatalOf(minimalInput("0.5 " + p.keyword + " (d)\n"), get),
              Lines{"Dimension for " + p.keyword + " should be " + p.unit});
  }
}

// --- Sediment layer thicknesses ---------------------------------------------

// One horizon of 0.25 m in 4 layers of 0.0625 m: interfaces at 0.0625, 0.125,
// 0.1875 and 0.25 m, all exact in binary.
const std::string kProfile =
    "table SedimentProfile\nThiHor NumLay\n(m)\n0.25 4\nend_table\nNone OutputDepths\n";

TEST(WaterBodySedimentThickness, ThicknessesMustEndOnALayerInterface) {
  TestRun t(minimalInput(kProfile + "0.125 ThiLayErs (m)\n0.187500000001 ThiLayTgt (m)\n"));
  t.setup();
  t.run().sediment().getSedimentProfile();
  WaterBody& wb = t.run().waterBody();
  EXPECT_EQ(wb.thiLayErs(), 0.125);
  EXPECT_EQ(wb.numLayErs(), 2);  // 0.125 / 0.0625
  // 0.1875 + 1e-12 equals the third interface within 1e-9.
  EXPECT_EQ(wb.numLayTgt(), 3);
  EXPECT_EQ(wb.thiLayTgt(), 0.187500000001);
  t.finish();
}

TEST(WaterBodySedimentThickness, Messages) {
  const std::string ersBetween =
      "Thickness of sediment layers to which erosion mass is added must\n"
      "be exactly equal to the total thickness of a number of sediment layers";
  const std::string tgt = "Thickness of target layer in sediment \n";
  const std::string tgtZero = "Thickness of sediment target layer must be > 0";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Between two interfaces, and off an interface by far less than 1e-9.
      {"0.1 ThiLayErs", ersBetween},
      {"0.125000000001 ThiLayErs", ersBetween},
      {"0 ThiLayErs", "Thickness of sediment layers to which erosion mass is added must be > 0"},
      {"5e-6 ThiLayErs", "FATAL: value < minimum"},
      {"1.5 ThiLayErs", "FATAL: value > maximum"},
      {"0.3 ThiLayTgt", tgt + "cannot be greater than the total thickness of the sediment"},
      // Within the sediment but not on an interface.
      {"0.1 ThiLayTgt",
       tgt + "must be equal to the total thickness of a number of sediment layers"},
      {"0 ThiLayTgt", tgtZero},
      {"-0.1 ThiLayTgt", tgtZero},
      {"2 ThiLayTgt", "FATAL: value > maximum"},
  };
  for (const auto& [record, err] : cases) {
    const Lines got = fatalOf(minimalInput(kProfile + record + " (m)\n"), [&](ModelRun& r) {
      r.sediment().getSedimentProfile();
      if (record.ends_with("Ers")) r.waterBody().thiLayErs();
      if (record.ends_with("Tgt")) r.waterBody().thiLayTgt();
    });
    // Bounds: the first line of the message.
    EXPECT_EQ(err.starts_with("FATAL") && !got.empty() ? got.front() : joined(got), err) << record;
  }
}

}  // namespace
}  // namespace korvan
