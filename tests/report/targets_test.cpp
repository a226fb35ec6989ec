#include "report/targets.hpp"

#include <gtest/gtest.h>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text_file.hpp"
#include "input/calendar.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;
using Lines = std::vector<std::string>;

// A ZR run of one compound CMP with the target rows and records given.
std::string targetInput(const std::string& rows, const std::string& extra = "",
                        const std::string& timEnd = "31-Dec-1980") {
  std::string input = testing::minimalInput("table compounds\nCMP\nend_table\ntable Targets\n" +
                                            rows + "end_table\n" + extra);
  input.replace(input.find("MERIXKORVAN"), 11, "ZRKORVAN");
  input.replace(input.find("31-Dec-1980 TimEnd"), 11, timEnd);
  return input;
}

// A run of the targets given, set up with an hourly clock.
struct TargetRun {
  explicit TargetRun(const std::string& input) : t(input), targets(started(t)) {}
  static Run& started(TestRun& t) {
    t.setup();
    t.run().clock().readSettings();
    t.run().clock().setTimeStep(kHour);
    return t.run();
  }
  void advanceTo(double time) {
    while (t.run().clock().tim() < time - 1e-6) t.run().clock().advance();
  }
  // The maximum of the first target after a concentration at a time.
  double maxAt(double time, double c) {
    advanceTo(time);
    targets.update(1, c);
    return targets.maxConcentration(1);
  }
  TestRun t;
  Targets targets;
};

constexpr double k1980 = 29219.0;  // 01-Jan-1980
constexpr double k1981 = 29585.0;  // 01-Jan-1981, 366 days later

TEST(TargetTable, RowsThatAreNotFourWordsOrHaveNoNumberStopTheRun) {
  const std::string format = "For target table format must be: Target Period Start date End date";
  const struct {
    const char* rows;
    Lines error;
  } cases[] = {
      {"Fish 7 01-Mar 31-Oct extra\n", {format}},
      {"Fish 7 01-Mar\n", {format}},
      {"Fish 7 01-Mar 31-Oct\nAlgae week 15-Apr 30-Sep\n",
       {"Fatal while reading table Targets", "Last row read is 2"}},
  };
  for (const auto& c : cases) {
    TestRun t(targetInput(c.rows));
    t.setup();
    Targets targets(t.run());
    EXPECT_EQ(t.expectFatal([&] { targets.getTgtTable(); }), c.error) << c.rows;
    EXPECT_EQ(t.run().messages().record().routine, "GetTgtTable");
  }
}

TEST(TargetTable, RowsAreReadAsDayNumbersAndEchoedToTheLog) {
  TestRun t(targetInput("Fish 7 01-Mar 31-Oct\nAlgae 2.5 15-Apr 30-Sep\n"));
  t.setup();
  Targets targets(t.run());
  ASSERT_EQ(targets.numTargets(), 2);
  // Day numbers of a common year: 1 March = 31 + 28 + 1 = 60; 31 October =
  // 273 days of January to September + 31 = 304.
  EXPECT_EQ(targets.staPer(1), 60);
  EXPECT_EQ(targets.endPer(1), 304);
  t.run().log().flush();
  const Lines log = t.dir().lines("t.log");
  const Lines echo{std::string(80, '-'),
                   "* Fish         TWA period:   7.0 d Time window Start date: 01-Mar   End date: "
                   "31-Oct ",
                   "* Algae        TWA period:   2.5 d Time window Start date: 15-Apr   End date: "
                   "30-Sep "};
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(Lines(log.end() - 3, log.end()), echo);
  t.finish();
}

TEST(EvaluationPeriod, StartOnFirstMarchShiftsOneDayInLeapYearsAndTheEndCounts) {
  TargetRun r(
      targetInput("Fish 7 01-Mar 31-Oct\n", "60 StaTimPrdTgt\n304 EndTimPrdTgt\n", "31-Dec-1981"));
  // 1980 is a leap year: day 60 is 29 February, outside; 1 March is day 61.
  EXPECT_EQ(r.maxAt(k1980 + 59.5, 5.0), 0.0);
  EXPECT_EQ(r.maxAt(k1980 + 60.5, 1.0), 1.0);
  EXPECT_NEAR(r.targets.timeOfMax(1), k1980 + 60.5, 1e-9);
  r.targets.endOfYear(1980);
  EXPECT_EQ(r.targets.maxConcentration(1), 0.0);
  // 1981: 28 February (day 59) outside, 1 March (day 60) inside, 31 October
  // (day 304) is the last day that counts, 1 November is out.
  r.maxAt(k1981 + 58.5, 5.0);
  EXPECT_EQ(r.maxAt(k1981 + 59.5, 2.0), 2.0);
  r.maxAt(k1981 + 303.5, 3.0);
  EXPECT_EQ(r.maxAt(k1981 + 304.5, 4.0), 3.0);
  // A rise within the comparison tolerance does not replace the maximum.
  r.maxAt(k1981 + 303.75, 3.0 + 5e-10);
  EXPECT_NEAR(r.targets.timeOfMax(1), k1981 + 303.5, 1e-9);
  r.t.finish();
}

TEST(EvaluationPeriod, LeapYearStartsOneDayLaterWhateverTheStartDay) {
  // A start before 1 March moves too: 1 February (day 32) of 1980 is out, the
  // day after is in; in 1981 the day itself counts.
  TargetRun r(
      targetInput("Fish 7 01-Mar 31-Oct\n", "32 StaTimPrdTgt\n304 EndTimPrdTgt\n", "31-Dec-1981"));
  EXPECT_EQ(r.maxAt(k1980 + 31.5, 5.0), 0.0);
  EXPECT_EQ(r.maxAt(k1980 + 32.5, 1.0), 1.0);
  r.targets.endOfYear(1980);
  EXPECT_EQ(r.maxAt(k1981 + 31.5, 2.0), 2.0);
  r.t.finish();
}

TEST(EvaluationPeriod, StartUpDaysAreNotEvaluated) {
  TargetRun r(targetInput("Fish 7 01-Mar 31-Oct\n",
                          "1 StaTimPrdTgt\n366 EndTimPrdTgt\n3 DelTimStaUpTgt (d)\n"));
  EXPECT_EQ(r.maxAt(k1980 + 2.5, 5.0), 0.0);  // third day of the run
  EXPECT_EQ(r.maxAt(k1980 + 3.5, 1.0), 1.0);  // fourth day
  r.t.finish();
}

TEST(PercentileSummary, RanksPercentagesAndTargetRowOfYearlyPeaks) {
  TargetRun r(
      targetInput("Fish 7 01-Mar 31-Oct\n", "1 StaTimPrdTgt\n366 EndTimPrdTgt\n", "31-Dec-1985"));
  TestRun& t = r.t;
  Targets& targets = r.targets;
  // Peaks on 15 June (g.m-3); 1981 and 1983 tie; 1985 has none.
  const double peaks[] = {0.003, 0.001, 0.002, 0.001, 0.005};
  for (int year = 1980; year <= 1985; ++year) {
    if (year < 1985) {
      r.maxAt(calendar::timeOfDate({double(year), 6, 15, 0, 0}) + 0.5, peaks[year - 1980]);
    }
    r.advanceTo(calendar::timeOfDate({double(year + 1), 1, 1, 0, 0}));
    targets.endOfYear(year);
  }
  targets.rankYearlyPeaks(80.0);
  // Ascending with the tie in its order: 1985, 1981, 1983, 1982, 1980, 1984.
  // Percentages (i - 0.5) / 6 x 100: 8.33, 25, 41.67, 58.33, 75, 91.67. From
  // rank 6 down, 91 > 80 and 75 <= 80: rank 5, the 3 ug/L of 1980.
  EXPECT_EQ(targets.targetRank(1), 5);
  EXPECT_EQ(targets.targetYear(1), 1980);
  EXPECT_DOUBLE_EQ(targets.targetConcentration(1), 3.0);

  const auto path = t.dir().path() / "ranked.txt";
  {
    TextFile file(path, TextFile::Mode::Write);
    targets.writeRankedRows(file, 1);
    file.close();
  }
  const Lines rows = t.dir().lines("ranked.txt");
  EXPECT_EQ(rows, (Lines{
                      "     1 Year = 1985, no peak       8.33            0.00 1985",
                      "     2 Year = 1981, on 15-Jun    25.00     0.10000E+01 1981",
                      "     3 Year = 1983, on 15-Jun    41.67     0.10000E+01 1983",
                      "     4 Year = 1982, on 15-Jun    58.33     0.20000E+01 1982",
                      "     5 Year = 1980, on 15-Jun    75.00     0.30000E+01 1980",
                      "     6 Year = 1984, on 15-Jun    91.67     0.50000E+01 1984",
                  }));
  t.finish();
}

}  // namespace
}  // namespace korvan
