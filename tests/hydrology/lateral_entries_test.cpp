#include "hydrology/lateral_entries.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "hydrology/hydrology_test_support.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;
using Files = std::vector<std::pair<std::string, std::string>>;
using Lines = std::vector<std::string>;

// The records every input needs, with the loading option and further lines.
std::string withOptLoa(const std::string& optLoa, const std::string& extra = "",
                       std::string_view callingProgram = "MERIXKORVAN") {
  std::string input = minimalInput(optLoa + " OptLoa\n" + extra);
  input.replace(0, std::string("MERIXKORVAN").size(), callingProgram);
  return input;
}

std::string soilTable(const std::string& row) {
  return "table Soil\n" + row + "\nend_table\n";
}

const std::string kSulkaInput = withOptLoa("SULKA", soilTable("field.s2k"));
const std::string kQuibInput = withOptLoa("QUIB", soilTable("field.q2k") + "0.5 RatInfDir (-)\n");
const std::string kBraxInput = withOptLoa("BRAX", "basin FilZANDO\n", "BRAXKORVAN");
const std::string kDraloInput = withOptLoa("DRALO");
const std::string kDraloOrlanInput = withOptLoa("DRALO", "", "ORLANKORVAN");

const std::string kSulkaHeader =
    "* SULKA output for KORVAN\n"
    "*   Compound : CMP\n"
    "* Date              Drainage (mm/h)  Flux (mg/m2/h)\n";
const std::string kB2k = "29219.04 01-Jan-1980-01h00 2.5e-7 0.3\n";
const std::string kZ2k = "h1\nh2\n29219.04 01-Jan-1980-01h00 0.012\n";

// 1 mm.h-1 = 1e-3 m / 3600 s.
constexpr double kMmH = 1.0 / 3.6e6;
// 1 m.d-1 = 1 m / 86400 s.
constexpr double kMd = 1.0 / 86400.0;

// A run set up on the input with the field-model files written.
struct LateralRun {
  explicit LateralRun(const std::string& input, const Files& files = {}) : t(input) {
    for (const auto& [name, content] : files) t.dir().write(name, content);
    t.setup();
  }
  LateralEntries& le() { return t.run().lateralEntries(); }
  // Opens the files and reads up to `records` records; the lines of the fatal error.
  Lines fatalReading(int records) {
    return t.expectFatal([&] {
      le().open();
      for (int i = 0; i < records; ++i) le().readRecord();
    });
  }
  std::string routine() { return t.run().messages().record().routine; }
  TestRun t;
};

// --- Records read -------------------------------------------------------------

struct DrainageCase {
  std::string input, name, content;
  double first, second;  // m.s-1, of the first and the second record (0: none)
};

TEST(LateralSulka, HeadersBlankLinesAndLineEndsAreSkippedAndSoilRowsTrimmed) {
  // 40 characters: longer than a word of the input file may be.
  const std::string longName = "a_rather_long_name_of_a_sulka_output.s2k";
  const std::string oneRecord = "01-Jan-1980-01h00 3.6 0\n";
  const std::vector<DrainageCase> cases = {
      {kSulkaInput, "field.s2k",
       "\xEF\xBB\xBF* header\n\n01-Jan-1980-01h00 3.6 0\n \t \n01-Jan-1980-02h00 7.2 0\n", 1e-6,
       2e-6},
      {withOptLoa("SULKA", soilTable("  \t" + longName + "   ")), longName, oneRecord, 1e-6, 0.0},
      {withOptLoa("SULKA", soilTable("'with blank.s2k'")), "with blank.s2k", oneRecord, 1e-6, 0.0},
  };
  for (const DrainageCase& c : cases) {
    SCOPED_TRACE(c.content);
    LateralRun r(c.input, {{c.name, c.content}});
    r.le().open();
    EXPECT_EQ(r.le().fileName(), c.name);
    r.le().readRecord();
    EXPECT_NEAR(r.le().vvrLiqDra(), c.first, 1e-18);
    if (c.second > 0.0) {
      r.le().readRecord();
      EXPECT_NEAR(r.le().vvrLiqDra(), c.second, 1e-18);
    }
    r.t.finish();
  }
}

TEST(LateralSulka, RecordsShiftFromCurrentToPreviousAndClosingClearsThem) {
  // 3.6 mm.h-1 = 3.6e-3 m / 3600 s = 1e-6 m.s-1.
  LateralRun r(kSulkaInput, {{"field.s2k", kSulkaHeader + "01-Jan-1980-01h00  3.6  0.25\n"
                                                          "01-Jan-1980-02h00  7.2  2\n"
                                                          "01-Jan-1980-03h00  0.0  3\n"}});
  LateralEntries& le = r.le();
  le.open();
  EXPECT_TRUE(le.isOpen());
  // The first record is both previous and current.
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDra(), 1e-6, 1e-18);
  EXPECT_EQ(le.vvrLiqRnf(), 0.0);
  ASSERT_EQ(le.loadingColumns().size(), 1u);
  EXPECT_EQ(le.loadingColumns()[0], 0.25);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDra(), 2e-6, 1e-18);
  EXPECT_EQ(le.loadingColumns()[0], 2.0);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 2e-6, 1e-18);
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  le.close();
  EXPECT_FALSE(le.isOpen());
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  EXPECT_EQ(r.t.finish(), kExitNormal);
}

TEST(LateralDralo, OtherEditionsReadOneWaterFlux) {
  // 0.864 m.d-1 = 0.864 m / 86400 s = 1e-5 m.s-1.
  LateralRun r(kDraloInput, {{"t_1.e2k",
                              "*  Number of substances:  1\n"
                              "* Drain flux and concentration data for substance CMP\n"
                              "29219.04  01-Jan-1980-01h00  0.864  0.7\n"
                              "29219.08  01-Jan-1980-02h00  0.0    0.0\n"}});
  LateralEntries& le = r.le();
  le.open();
  EXPECT_EQ(le.fileName(), "t_1.e2k");
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 1e-5, 1e-18);
  EXPECT_NEAR(le.vvrLiqDraPart(1), 1e-5, 1e-18);
  ASSERT_EQ(le.loadingColumns().size(), 1u);
  EXPECT_EQ(le.loadingColumns()[0], 0.7);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-5, 1e-18);
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  r.t.finish();
}

TEST(LateralBrax, PavedFluxAndZandoDischargeAreUsedAsRead) {
  // The two header lines of ZANDO are skipped whatever they hold.
  LateralRun r(kBraxInput, {{"t.b2k", "*  Number of substances:  1\n" + kB2k +
                                          "29219.08 01-Jan-1980-02h00 1.0e-7 0.4\n"},
                            {"basin.z2k",
                             "ZANDO discharge\nTime Date Q\n29219.04 01-Jan-1980-01h00 0.012\n"
                             "29219.08 01-Jan-1980-02h00 0.020\n"}});
  LateralEntries& le = r.le();
  le.open();
  le.readRecord();
  EXPECT_EQ(le.flvPaved(), 2.5e-7);
  EXPECT_EQ(le.qZando(), 0.012);
  EXPECT_EQ(le.qZandoPrevious(), 0.012);
  EXPECT_EQ(le.loadingColumns()[0], 0.3);
  le.readRecord();
  EXPECT_EQ(le.flvPavedPrevious(), 2.5e-7);
  EXPECT_EQ(le.flvPaved(), 1.0e-7);
  EXPECT_EQ(le.qZandoPrevious(), 0.012);
  EXPECT_EQ(le.qZando(), 0.020);
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  r.t.finish();
}

// --- Messages -----------------------------------------------------------------

struct FatalCase {
  std::string input;
  Files files;
  Lines err;
  std::string routine = "";  // empty: not checked
};

TEST(LateralEntries, MissingFilesSoilTablesAndUnreadableRecordsStopTheRun) {
  const std::string soil = "Fatal while reading table Soil substances";
  const std::string at = "The error occurred at Tim = ";
  const std::string noSoil = "table Soil\nend_table\n";
  const auto missing = [](const std::string& input, const std::string& name, Files files = {},
                          const std::string& routine = "") {
    return FatalCase{input, files, {"Cannot find file " + name + " with status old"}, routine};
  };
  // An s2k file and the date text shown, 17 characters.
  const auto s2k = [&](const std::string& content, const std::string& shown) {
    return FatalCase{
        kSulkaInput, {{"field.s2k", content}}, {"Fatal while reading s2k record ", at + shown}};
  };
  const auto brax = [&](const std::string& b2k, const std::string& z2k, const std::string& kind,
                        const std::string& time, const std::string& routine = "") {
    return FatalCase{kBraxInput,
                     {{"t.b2k", b2k}, {"basin.z2k", z2k}},
                     {"Fatal while reading " + kind + " record ", at + time},
                     routine};
  };
  const std::string next = "29219.08 01-Jan-1980-02h00 ";
  // 01-Jan-1980 is day 80 x 365 + 19 leap days = 29219 after 01-Jan-1900;
  // 01h00 adds 1/24 = 0.0417.
  const std::vector<FatalCase> cases = {
      {withOptLoa("SULKA", noSoil), {}, {soil, "Last row read is  0"}},
      {withOptLoa("SULKA", soilTable(" \t ")), {}, {soil, "Last row read is  1"}, "OpenSULKAFile"},
      missing(kQuibInput, "field.q2k", {}, "OpenQUIBFile"),
      {withOptLoa("QUIB", noSoil), {}, {soil, "Last row read is  0"}, "OpenQUIBFile"},
      missing(kDraloInput, "t_1.e2k"),
      missing(kBraxInput, "t.b2k", {{"basin.z2k", kZ2k}}),
      missing(kBraxInput, "basin.z2k", {{"t.b2k", kB2k}}),
      s2k("01-Jan-1980-01h00 3.6\n", "01-Jan-1980-01h00"),    // truncated line
      s2k("15-Mar-1980 3.6 0\n02-Apr", "02-Apr           "),  // file cut in a line
      s2k("   * late header\n", "*                "),
      s2k(std::string("\x01\x02\xff\x00garbage\x7f 1 \x03\n", 17), "??\xff?garbage?     "),
      {kSulkaInput,
       {{"field.s2k", "1980-01-01T01:00 3.6 0\n"}},
       {" Fatal while converting date", " Format must be dd-mmm-yyyy "}},
      // Four of the five numbers: the infiltration column is missing.
      {kQuibInput,
       {{"field.q2k", "01-Jan-1980-01h00 0 0 0 0 2\n02-Jan-1980-05h00 0 0 0 0\n"}},
       {"Fatal while reading q2k record ", at + "02-Jan-1980-05h00"}},
      // An Orlan record with the one flux of the other editions.
      {kDraloOrlanInput,
       {{"t_1.e2k", "29219.04 01-Jan-1980-01h00 0.0864 0.7\n"}},
       {at + "29219.04"},
       "RdDRALORecord"},
      // At the end of the file: the day number of the last record.
      {kDraloInput, {{"t_1.e2k", "29219.50 01-Jan-1980-12h00 0.0 0.0\n"}}, {at + "29219.50"}},
      // A ZANDO record with a letter for the discharge: the time of that record.
      brax(kB2k + next + "1e-7 0.4\n", kZ2k + next + "O.02\n", "z2k", "29219.08", "RdZANDORecord"),
      // A ZANDO file of its two header lines only.
      brax(kB2k, "h1\n", "z2k", "    0.00"),
  };
  for (const FatalCase& c : cases) {
    SCOPED_TRACE(c.input + (c.files.empty() ? "" : c.files.back().second));
    LateralRun r(c.input, c.files);
    EXPECT_EQ(r.fatalReading(3), c.err);
    if (!c.routine.empty()) {
      EXPECT_EQ(r.routine(), c.routine);
    }
  }
  LateralRun r(withOptLoa("QUIB", soilTable("field.q2k") + "1.5 RatInfDir (-)\n"),
               {{"field.q2k", "01-Jan-1980-01h00 0 0 0 0 2\n"}});
  testing::expectOutOfBounds(r.fatalReading(0), "FATAL: value > maximum", "RatInfDir");
}

}  // namespace
}  // namespace korvan
