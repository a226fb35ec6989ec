#include "hydrology/lateral_entries.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text_file.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;

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

const std::string kSulkaHeader =
    "* SULKA output for KORVAN\n"
    "*   Compound : CMP\n"
    "* Date              Drainage (mm/h)  Flux (mg/m2/h)\n";

// 1 mm.h-1 = 1e-3 m / 3600 s.
constexpr double kMmH = 1.0 / 3.6e6;
// 1 m.d-1 = 1 m / 86400 s.
constexpr double kMd = 1.0 / 86400.0;

// --- SULKA -------------------------------------------------------------------

TEST(LateralSulka, FluxInMillimetresPerHourBecomesMetresPerSecond) {
  // 3.6 mm.h-1 = 3.6e-3 m / 3600 s = 1e-6 m.s-1.
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k", kSulkaHeader + "01-Jan-1980-01h00  3.6  0.25\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  EXPECT_TRUE(le.isOpen());
  EXPECT_EQ(le.fileName(), "field.s2k");
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 1e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-6, 1e-18);
  EXPECT_EQ(le.vvrLiqRnf(), 0.0);
  ASSERT_EQ(le.loadingColumns().size(), 1u);
  EXPECT_EQ(le.loadingColumns()[0], 0.25);
  le.close();
  EXPECT_FALSE(le.isOpen());
  t.finish();
}

TEST(LateralSulka, HeaderOfDollarAndHashLinesOnlyIsSkipped) {
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k", "$ written by hand\n# second line\n$\n01-Jan-1980-01h00 7.2 0\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 7.2 * kMmH, 1e-18);  // 2e-6 m.s-1
  t.finish();
}

TEST(LateralSulka, FirstRecordIsPreviousAndCurrentThenRecordsShift) {
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k", kSulkaHeader +
                                 "01-Jan-1980-01h00  3.6  1\n"
                                 "01-Jan-1980-02h00  7.2  2\n"
                                 "01-Jan-1980-03h00  0.0  3\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDra(), 1e-6, 1e-18);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDra(), 2e-6, 1e-18);
  EXPECT_EQ(le.loadingColumns()[0], 2.0);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 2e-6, 1e-18);
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  t.finish();
}

TEST(LateralSulka, CloseThenOpenReadsFromTheTopAgain) {
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k", kSulkaHeader +
                                 "01-Jan-1980-01h00  3.6  1\n"
                                 "01-Jan-1980-02h00  7.2  2\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.close();  // nothing open yet
  le.open();
  le.readRecord();
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 2e-6, 1e-18);
  le.close();
  le.close();  // twice is harmless
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  le.open();
  le.readRecord();
  // The first record again, once more both previous and current.
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDra(), 1e-6, 1e-18);
  // Opening again without closing also starts at the top.
  le.readRecord();
  le.open();
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 1e-6, 1e-18);
  le.close();
  EXPECT_EQ(t.finish(), kExitNormal);
}

TEST(LateralSulka, CrlfFilesReadLikeLfFiles) {
  TestRun t(withOptLoa("SULKA", "table Soil\r\nfield.s2k\r\nend_table\r\n"));
  t.dir().write("field.s2k",
                "* header\r\n$ header\r\n01-Jan-1980-01h00\t3.6\t0.5\r\n"
                "01-Jan-1980-02h00 7.2 0.5\r\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  EXPECT_EQ(le.fileName(), "field.s2k");
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 1e-6, 1e-18);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 2e-6, 1e-18);
  t.finish();
}

TEST(LateralSulka, SoilRowIsTakenFromTheLineWithLongNamesAndBlanks) {
  // 40 characters: longer than a word of the input file may be.
  const std::string name = "a_rather_long_name_of_a_sulka_output.s2k";
  TestRun t(withOptLoa("SULKA", soilTable("  \t" + name + "   ")));
  t.dir().write(name, "01-Jan-1980-01h00 3.6 0\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  EXPECT_EQ(le.fileName(), name);
  le.close();
  TestRun q(withOptLoa("SULKA", soilTable("'with blank.s2k'")));
  q.dir().write("with blank.s2k", "01-Jan-1980-01h00 3.6 0\n");
  q.setup();
  q.run().lateralEntries().open();
  EXPECT_EQ(q.run().lateralEntries().fileName(), "with blank.s2k");
  t.finish();
  q.finish();
}

TEST(LateralSulka, FileThatEndsBeforeTheSimulationStopsAtTheFirstMissingRecord) {
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k", kSulkaHeader + "01-Jan-1980-01h00 3.6 0\n01-Jan-1980-02h00 3.6 0\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  le.readRecord();
  le.readRecord();
  const auto err = t.expectFatal([&] { le.readRecord(); });
  // The time stamp shown is that of the last record the file holds.
  EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading s2k record ",
                                           "The error occurred at Tim = 01-Jan-1980-02h00"}));
}

TEST(LateralSulka, UnreadableRecordsStopTheRun) {
  struct Case {
    std::string content;
    std::string shown;  // the date text of the message, 17 characters
  };
  const std::vector<Case> cases = {
      {"01-Jan-1980-01h00 abc 0\n", "01-Jan-1980-01h00"},
      {"01-Jan-1980-01h00 3.6\n", "01-Jan-1980-01h00"},  // truncated line
      {"01-Jan-1980-01h00\n", "01-Jan-1980-01h00"},
      {"15-Mar-1980 3.6 0\n02-Apr", "02-Apr           "},  // file cut in a line
      {"", "                 "},                           // no record at all
      {"* header only\n", "                 "},
      {"   * late header\n", "*                "},
      {std::string("\x01\x02\xff\x00garbage\x7f 1 \x03\n", 17), "??\xff?garbage?     "},
  };
  for (const Case& c : cases) {
    TestRun t(kSulkaInput);
    t.dir().write("field.s2k", c.content);
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    const auto err = t.expectFatal([&] {
      for (int i = 0; i < 3; ++i) le.readRecord();
    });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading s2k record ",
                                             "The error occurred at Tim = " + c.shown}))
        << c.content;
  }
}

TEST(LateralSulka, TimeStampThatIsNoDateStopsTheRun) {
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k", "1980-01-01T01:00 3.6 0\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  const auto err = t.expectFatal([&] { le.readRecord(); });
  EXPECT_EQ(err, (std::vector<std::string>{" Fatal while converting date",
                                           " Format must be dd-mmm-yyyy "}));
}

TEST(LateralSulka, MissingFileAndSoilTableMessages) {
  {
    TestRun t(kSulkaInput);
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, std::vector<std::string>{"Cannot find file field.s2k with status old"});
    EXPECT_EQ(t.run().messages().record().routine, "OpenSULKAFile");
  }
  {
    TestRun t(withOptLoa("SULKA", "table Soil\nend_table\n"));
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading table Soil substances",
                                             "Last row read is  0"}));
  }
  {
    TestRun t(withOptLoa("SULKA", soilTable(" \t ")));
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading table Soil substances",
                                             "Last row read is  1"}));
    EXPECT_EQ(t.run().messages().record().routine, "OpenSULKAFile");
  }
}

// --- QUIB --------------------------------------------------------------------

TEST(LateralQuib, RunoffAddsTheDirectPartOfTheInfiltration) {
  // Runoff 0 + 0.5 x 2 mm.h-1 = 1 mm.h-1 = 1e-3 m / 3600 s = 2.7778e-7 m.s-1.
  TestRun t(kQuibInput);
  t.dir().write("field.q2k",
                "*  Chemical: CMP\n"
                "* Date  Runoff  Flux1  Flux2  Erosion  Infiltration\n"
                "01-Jan-1980-01h00  0.0  0.1  0.2  0.3  2.0\n"
                "01-Jan-1980-02h00  3.6  0.0  0.0  0.0  0.0\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqRnf(), 2.7778e-7, 1e-11);
  EXPECT_NEAR(le.vvrLiqRnf(), kMmH, 1e-20);
  EXPECT_EQ(le.vvrLiqRnfPrevious(), le.vvrLiqRnf());
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  const auto columns = le.loadingColumns();
  EXPECT_EQ(std::vector<double>(columns.begin(), columns.end()),
            (std::vector<double>{0.1, 0.2, 0.3}));
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqRnfPrevious(), kMmH, 1e-20);
  EXPECT_NEAR(le.vvrLiqRnf(), 1e-6, 1e-18);  // 3.6 mm.h-1
  t.finish();
}

TEST(LateralQuib, MessagesOfTheQuibFile) {
  {
    TestRun t(kQuibInput);
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, std::vector<std::string>{"Cannot find file field.q2k with status old"});
    EXPECT_EQ(t.run().messages().record().routine, "OpenQUIBFile");
  }
  {
    TestRun t(withOptLoa("QUIB", "table Soil\nend_table\n"));
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading table Soil substances",
                                             "Last row read is  0"}));
    EXPECT_EQ(t.run().messages().record().routine, "OpenQUIBFile");
  }
  {
    // Four of the five numbers: the infiltration column is missing.
    TestRun t(kQuibInput);
    t.dir().write("field.q2k", "01-Jan-1980-01h00 0 0 0 0 2\n02-Jan-1980-05h00 0 0 0 0\n");
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    le.readRecord();
    const auto err = t.expectFatal([&] { le.readRecord(); });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading q2k record ",
                                             "The error occurred at Tim = 02-Jan-1980-05h00"}));
  }
  {
    TestRun t(withOptLoa("QUIB", soilTable("field.q2k") + "1.5 RatInfDir (-)\n"));
    t.dir().write("field.q2k", "01-Jan-1980-01h00 0 0 0 0 2\n");
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    ASSERT_EQ(err.size(), 3u);
    EXPECT_EQ(err[0], "FATAL: value > maximum");
  }
}

// --- DRALO -------------------------------------------------------------------

TEST(LateralDralo, OtherEditionsReadOneWaterFlux) {
  // 0.864 m.d-1 = 0.864 m / 86400 s = 1e-5 m.s-1.
  TestRun t(withOptLoa("DRALO"));
  t.dir().write("t_1.e2k",
                "*  Number of substances:  1\n"
                "* Drain flux and concentration data for substance CMP\n"
                "29219.04  01-Jan-1980-01h00  0.864  0.7\n"
                "29219.08  01-Jan-1980-02h00  0.0    0.0\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  EXPECT_EQ(le.fileName(), "t_1.e2k");
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 1e-5, 1e-18);
  EXPECT_NEAR(le.vvrLiqDraPart(1), 1e-5, 1e-18);
  EXPECT_EQ(le.vvrLiqDraPart(2), 0.0);
  EXPECT_EQ(le.vvrLiqDraPart(3), 0.0);
  ASSERT_EQ(le.loadingColumns().size(), 1u);
  EXPECT_EQ(le.loadingColumns()[0], 0.7);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPrevious(), 1e-5, 1e-18);
  EXPECT_NEAR(le.vvrLiqDraPartPrevious(1), 1e-5, 1e-18);
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  t.finish();
}

TEST(LateralDralo, OrlanReadsThreeWaterFluxesAndTheirSum) {
  // 0.0864, 0.1728 and 0.2592 m.d-1 are 1e-6, 2e-6 and 3e-6 m.s-1; sum 6e-6.
  TestRun t(withOptLoa("DRALO", "", "ORLANKORVAN"));
  t.dir().write("t_1.e2k",
                "* DRALO output\n"
                "29219.04 01-Jan-1980-01h00 0.0864 0.1728 0.2592 11 12 13\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDraPart(1), 0.0864 * kMd, 1e-18);
  EXPECT_NEAR(le.vvrLiqDraPart(2), 2e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDraPart(3), 3e-6, 1e-18);
  EXPECT_NEAR(le.vvrLiqDra(), 6e-6, 1e-18);
  EXPECT_EQ(le.vvrLiqDraPrevious(), le.vvrLiqDra());
  const auto columns = le.loadingColumns();
  EXPECT_EQ(std::vector<double>(columns.begin(), columns.end()), (std::vector<double>{11, 12, 13}));
  t.finish();
}

TEST(LateralDralo, UnreadableRecordShowsItsDayNumber) {
  // 01-Jan-1980 is day 80 x 365 + 19 leap days = 29219 after 01-Jan-1900;
  // 01h00 adds 1/24 = 0.0417.
  {
    TestRun t(withOptLoa("DRALO", "", "ORLANKORVAN"));
    // An Orlan record with the one flux of the other editions.
    t.dir().write("t_1.e2k", "29219.04 01-Jan-1980-01h00 0.0864 0.7\n");
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    const auto err = t.expectFatal([&] { le.readRecord(); });
    EXPECT_EQ(err, std::vector<std::string>{"The error occurred at Tim = 29219.04"});
    EXPECT_EQ(t.run().messages().record().routine, "RdDRALORecord");
  }
  {
    // At the end of the file: the day number of the last record.
    TestRun t(withOptLoa("DRALO"));
    t.dir().write("t_1.e2k", "29219.50 01-Jan-1980-12h00 0.0 0.0\n");
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    le.readRecord();
    const auto err = t.expectFatal([&] { le.readRecord(); });
    EXPECT_EQ(err, std::vector<std::string>{"The error occurred at Tim = 29219.50"});
  }
  {
    TestRun t(withOptLoa("DRALO"));
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, std::vector<std::string>{"Cannot find file t_1.e2k with status old"});
  }
}

// --- BRAX and ZANDO ------------------------------------------------------------

TEST(LateralBrax, PavedFluxAndZandoDischargeAreUsedAsRead) {
  TestRun t(kBraxInput);
  t.dir().write("t.b2k",
                "*  Number of substances:  1\n"
                "29219.04 01-Jan-1980-01h00 2.5e-7 0.3\n"
                "29219.08 01-Jan-1980-02h00 1.0e-7 0.4\n");
  // The two header lines of ZANDO are skipped whatever they hold.
  t.dir().write("basin.z2k",
                "ZANDO discharge\n"
                "Time Date Q\n"
                "29219.04 01-Jan-1980-01h00 0.012\n"
                "29219.08 01-Jan-1980-02h00 0.020\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  EXPECT_EQ(le.fileName(), "t.b2k");
  EXPECT_EQ(le.zandoFileName(), "basin.z2k");
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
  le.close();
  le.open();
  le.readRecord();
  EXPECT_EQ(le.qZando(), 0.012);
  t.finish();
}

TEST(LateralBrax, MessagesOfTheBraxAndZandoFiles) {
  const std::string b2k = "29219.04 01-Jan-1980-01h00 2.5e-7 0.3\n";
  const std::string z2k = "h1\nh2\n29219.04 01-Jan-1980-01h00 0.012\n";
  {
    TestRun t(kBraxInput);
    t.dir().write("basin.z2k", z2k);
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, std::vector<std::string>{"Cannot find file t.b2k with status old"});
  }
  {
    TestRun t(kBraxInput);
    t.dir().write("t.b2k", b2k);
    t.setup();
    const auto err = t.expectFatal([&] { t.run().lateralEntries().open(); });
    EXPECT_EQ(err, std::vector<std::string>{"Cannot find file basin.z2k with status old"});
  }
  {
    // The b2k file ends first: the time of its last record.
    TestRun t(kBraxInput);
    t.dir().write("t.b2k", b2k);
    t.dir().write("basin.z2k", z2k + "29219.08 01-Jan-1980-02h00 0.02\n");
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    le.readRecord();
    const auto err = t.expectFatal([&] { le.readRecord(); });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading b2k record ",
                                             "The error occurred at Tim = 29219.04"}));
    EXPECT_EQ(t.run().messages().record().routine, "RdBRAXRecord");
  }
  {
    // A ZANDO record with a letter for the discharge: the time of that record.
    TestRun t(kBraxInput);
    t.dir().write("t.b2k", b2k + "29219.08 01-Jan-1980-02h00 1e-7 0.4\n");
    t.dir().write("basin.z2k", z2k + "29219.08 01-Jan-1980-02h00 O.02\n");
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    le.readRecord();
    const auto err = t.expectFatal([&] { le.readRecord(); });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading z2k record ",
                                             "The error occurred at Tim = 29219.08"}));
    EXPECT_EQ(t.run().messages().record().routine, "RdZANDORecord");
  }
  {
    // A ZANDO file of its two header lines only.
    TestRun t(kBraxInput);
    t.dir().write("t.b2k", b2k);
    t.dir().write("basin.z2k", "h1\n");
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    const auto err = t.expectFatal([&] { le.readRecord(); });
    EXPECT_EQ(err, (std::vector<std::string>{"Fatal while reading z2k record ",
                                             "The error occurred at Tim =     0.00"}));
  }
}

// --- Files in general ----------------------------------------------------------

TEST(LateralEntries, DriftOnlyOpensNothingAndReadsNothing) {
  TestRun t(withOptLoa("DriftOnly"));
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  EXPECT_FALSE(le.isOpen());
  le.readRecord();
  EXPECT_EQ(le.vvrLiqDra(), 0.0);
  EXPECT_TRUE(le.loadingColumns().empty());
  le.close();
  t.finish();
}

TEST(LateralEntries, FindsCompoundHeaderLinesAndLeavesTheFileAtTheTop) {
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k", kSulkaHeader + "01-Jan-1980-01h00 3.6 0\n* not a header\n");
  t.setup();
  UnitTable& units = t.run().units();
  const Unit unit = t.run().freeFil();
  TextFile& file = units.open(unit, "field.s2k");
  EXPECT_EQ(findHeaderLine(file, kSulkaCompoundHeader), "*   Compound : CMP");
  EXPECT_EQ(findHeaderLine(file, kQuibCompoundHeader), std::nullopt);
  // Only the header block at the top is searched.
  EXPECT_EQ(findHeaderLine(file, "* not"), std::nullopt);
  std::string line;
  ASSERT_TRUE(file.readLine(line));
  EXPECT_EQ(line, "* SULKA output for KORVAN");
  units.close(unit);
  EXPECT_TRUE(isHeaderLine("$"));
  EXPECT_TRUE(isHeaderLine("#x"));
  EXPECT_FALSE(isHeaderLine(" *"));
  EXPECT_FALSE(isHeaderLine(""));
  t.finish();
}

TEST(LateralEntries, ArbitraryBytesEndInTheModelsOwnMessage) {
  // Files of pseudo-random bytes (a fixed linear congruential sequence), each
  // read as every kind of field-model file: the run stops with a message of
  // its own, never a crash or a hang.
  std::uint32_t state = 12345u;
  auto nextByte = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<char>(state >> 24);
  };
  const std::vector<std::pair<std::string, std::string>> kinds = {
      {kSulkaInput, "field.s2k"}, {kQuibInput, "field.q2k"}, {withOptLoa("DRALO"), "t_1.e2k"}};
  for (int trial = 0; trial < 12; ++trial) {
    std::string content;
    for (int i = 0; i < 300; ++i) content += nextByte();
    const auto& [input, name] = kinds[static_cast<std::size_t>(trial) % kinds.size()];
    TestRun t(input);
    t.dir().write(name, content);
    t.setup();
    LateralEntries& le = t.run().lateralEntries();
    le.open();
    const auto err = t.expectFatal([&] {
      for (int i = 0; i < 400; ++i) le.readRecord();
    });
    EXPECT_FALSE(err.empty()) << trial;
  }
}

TEST(LateralEntries, BlankLinesAndAByteOrderMarkAreNoRecords) {
  TestRun t(kSulkaInput);
  t.dir().write("field.s2k",
                "\xEF\xBB\xBF* header\n\n01-Jan-1980-01h00 3.6 0\n \t \n01-Jan-1980-02h00 7.2 0\n");
  t.setup();
  LateralEntries& le = t.run().lateralEntries();
  le.open();
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 1e-6, 1e-18);
  le.readRecord();
  EXPECT_NEAR(le.vvrLiqDra(), 2e-6, 1e-18);
  t.finish();
}

}  // namespace
}  // namespace korvan
