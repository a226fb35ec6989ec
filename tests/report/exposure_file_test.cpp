#include "report/exposure_file.hpp"

#include <gtest/gtest.h>

#include "core/run.hpp"
#include "input/sim_clock.hpp"
#include "report/targets.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;
using Lines = std::vector<std::string>;

// A ZR run of 1980, one compound CMP, the target rows given, every day of
// the year in the evaluation period.
std::string exposureInput(const std::string& rows) {
  std::string input = testing::minimalInput("table compounds\nCMP\nend_table\ntable Targets\n" +
                                            rows + "end_table\n1 StaTimPrdTgt\n366 EndTimPrdTgt\n");
  input.replace(input.find("MERIXKORVAN"), 11, "ZRKORVAN");
  return input;
}

// Makes 1980 the target year: its only yearly peak is a 2 ug.L-1 on the
// second hour of the run.
void rankOneYear(Run& run, Targets& targets) {
  run.clock().readSettings();
  run.clock().setTimeStep(kHour);
  run.clock().advance();
  targets.update(1, 0.002);
  targets.endOfYear(1980);
  targets.rankYearlyPeaks(90.0);
}

TEST(ExposureFile, RowsOfTheTargetYearInMicrogramsPerLitreAndMaximaPerTarget) {
  TestRun t(exposureInput("Fish 7 01-Mar 31-Oct\nAlgae 2 15-Apr 30-Sep\n"));
  t.setup();
  Targets targets(t.run());
  rankOneYear(t.run(), targets);
  // Lines as the exposure series writes them: time, date, concentration and
  // the averages of Fish and Algae (g.m-3).
  t.dir().write("expcon1.tmp",
                "   60.500 01-Mar-1980-12h00    0.1234E-02    0.5000E-03    0.1000E-34\n"
                "  100.500 10-Apr-1980-12h00    0.1000E-34    0.1000E-34    0.1000E-34\n"
                "  171.500 20-Jun-1980-12h00    0.1000E-02    0.2000E-03    0.3000E-03\n"
                "  304.500 31-Oct-1980-12h00    0.1000E-02    0.9000E-03    0.7000E-03\n"
                "  366.500 01-Jan-1981-12h00    0.1000E+01    0.1000E+01    0.1000E+01\n");
  ExposureFile(t.run(), targets).write();

  // x 1000: 1.234, 0.5 and 1e-32, which is below 1e-30 and written as 0 in
  // a window column; the concentration column keeps its 1e-32.
  // The 1981 line is not of the target year.
  EXPECT_EQ(
      t.dir().lines("t.xpo"),
      (Lines{"* Table: Exposure concentrations of substance CMP in the water layer in the target "
             "year 1980",
             "* " + std::string(80, '-'), "* Key to the table",
             "* All concentrations concern the average of the 100 m evaluation part of the ",
             "* water course (between 200 to 300 m from the upstream edge)",
             "* Concentrations expressed in ug/L",
             "* Time         Time after start of simulation (days)",
             "* ConWatTgt    Concentration in water layer averaged over all segments at the end",
             "*              of each hour",
             "* TWA-[T]d     Time Weighted Average concentration for a time window of T days", "*",
             "*Time     Date              ConWatTgt     TWA-  7d     TWA-  2d",
             "   60.500 01-Mar-1980-12h00     1.234       0.5000       0.0000E+00",
             "  100.500 10-Apr-1980-12h00    0.1000E-31   0.0000E+00   0.0000E+00",
             "  171.500 20-Jun-1980-12h00     1.000       0.2000       0.3000    ",
             "  304.500 31-Oct-1980-12h00     1.000       0.9000       0.7000    "}));
  EXPECT_FALSE(t.dir().exists("expcon1.tmp"));

  // Fish: 1 March counts, 31 October (its EndPer) does not, so 0.5 ug/L in
  // the window of 7 days ending on 01-Mar-1980 12h. Algae: only 20 June lies
  // in 15-Apr..30-Sep, 0.3 ug/L over 2 days.
  EXPECT_EQ(
      t.dir().lines("twa.tmp"),
      (Lines{"* Results for substance: CMP",
             "Fish            7.00    01-Mar    31-Oct    23-Feb-1980-12h00  01-Mar-1980-12h00"
             "      0.5000    ",
             "Algae           2.00    15-Apr    30-Sep    18-Jun-1980-12h00  20-Jun-1980-12h00"
             "      0.3000    "}));
  t.finish();
}

}  // namespace
}  // namespace korvan
