#include "input/table.hpp"

#include <gtest/gtest.h>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "input/records.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;

// X and column 1 of Y from two lists of equal length.
NumericTable makeTable(std::initializer_list<double> xs, std::initializer_list<double> ys) {
  NumericTable t;
  t.allocate(1, static_cast<int>(xs.size()));
  int i = 1;
  for (double x : xs) t.x(i++) = x;
  i = 1;
  for (double y : ys) t.y(i++, 1) = y;
  return t;
}

TEST(TableAllocation, AllocateZeroesAndReleaseFrees) {
  NumericTable t;
  EXPECT_FALSE(t.allocated());
  t.release();  // releasing a table that is not allocated does nothing
  EXPECT_FALSE(t.allocated());

  t.allocate(2, 3);  // 2 dependent columns, 3 rows
  EXPECT_TRUE(t.allocated());
  EXPECT_EQ(t.rows(), 3);
  EXPECT_EQ(t.columns(), 2);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(t.x(i), 0.0);
    EXPECT_EQ(t.y(i, 1), 0.0);
    EXPECT_EQ(t.y(i, 2), 0.0);
  }
  t.y(2, 1) = 5.0;
  t.y(2, 2) = 7.0;
  EXPECT_EQ(t.y(2, 1), 5.0);
  EXPECT_EQ(t.y(2, 2), 7.0);
  EXPECT_EQ(t.y(3, 1), 0.0);

  t.release();
  EXPECT_FALSE(t.allocated());
  EXPECT_EQ(t.rows(), 0);
  EXPECT_EQ(t.columns(), 0);
}

TEST(TableLookup, AscendingTableInterpolatesAndHitsNodesExactly) {
  TestRun t(minimalInput());
  t.setup();
  NumericTable table;
  table.allocate(2, 3);
  const double xs[] = {1.0, 2.0, 4.0};
  const double y1[] = {10.0, 20.0, 40.0};
  const double y2[] = {-1.0, -3.0, 1.0};
  for (int i = 1; i <= 3; ++i) {
    table.x(i) = xs[i - 1];
    table.y(i, 1) = y1[i - 1];
    table.y(i, 2) = y2[i - 1];
  }
  korvan::Run& run = t.run();
  bool out = true;
  // 3 lies halfway between 2 and 4: 20 + (40 - 20) * 0.5 = 30; column 2: -3 + 4 * 0.5 = -1.
  EXPECT_DOUBLE_EQ(lookupTable(run, table, 3.0, SortOrder::Up, 1, &out), 30.0);
  EXPECT_FALSE(out);
  EXPECT_DOUBLE_EQ(lookupTable(run, table, 3.0, SortOrder::Up, 2), -1.0);
  // 1.25: 10 + 10 * 0.25 = 12.5.
  EXPECT_DOUBLE_EQ(lookupTable(run, table, 1.25, SortOrder::Up), 12.5);
  // Exactly on the inner node and on both ends: the row's value, in range.
  EXPECT_EQ(lookupTable(run, table, 2.0, SortOrder::Up, 1, &out), 20.0);
  EXPECT_FALSE(out);
  EXPECT_EQ(lookupTable(run, table, 1.0, SortOrder::Up, 2, &out), -1.0);
  EXPECT_FALSE(out);
  EXPECT_EQ(lookupTable(run, table, 4.0, SortOrder::Up, 1, &out), 40.0);
  EXPECT_FALSE(out);
  // Outside the range: the nearest end row, flagged.
  EXPECT_EQ(lookupTable(run, table, 0.5, SortOrder::Up, 1, &out), 10.0);
  EXPECT_TRUE(out);
  EXPECT_EQ(lookupTable(run, table, 9.0, SortOrder::Up, 2, &out), 1.0);
  EXPECT_TRUE(out);
  t.finish();
}

TEST(TableLookup, DescendingDepthsInterpolateBetweenTheEnclosingRows) {
  TestRun t(minimalInput());
  t.setup();
  korvan::Run& run = t.run();
  const NumericTable table = makeTable({0.05, 0.02, 0.01}, {10.0, 40.0, 100.0});
  bool out = true;
  // 0.03 lies between rows 1 and 2: 10 + (40 - 10) * (0.03 - 0.05) / (0.02 - 0.05) = 30.
  EXPECT_NEAR(lookupTable(run, table, 0.03, SortOrder::Down, 1, &out), 30.0, 1e-12);
  EXPECT_FALSE(out);
  // 0.015 between rows 2 and 3: 40 + 60 * 0.5 = 70.
  EXPECT_NEAR(lookupTable(run, table, 0.015, SortOrder::Down), 70.0, 1e-12);
  EXPECT_EQ(lookupTable(run, table, 0.02, SortOrder::Down, 1, &out), 40.0);
  EXPECT_FALSE(out);
  EXPECT_EQ(lookupTable(run, table, 0.05, SortOrder::Down, 1, &out), 10.0);
  EXPECT_FALSE(out);
  EXPECT_EQ(lookupTable(run, table, 0.01, SortOrder::Down, 1, &out), 100.0);
  EXPECT_FALSE(out);
  EXPECT_EQ(lookupTable(run, table, 0.06, SortOrder::Down, 1, &out), 10.0);
  EXPECT_TRUE(out);
  EXPECT_EQ(lookupTable(run, table, 0.0, SortOrder::Down, 1, &out), 100.0);
  EXPECT_TRUE(out);
  t.finish();
}

TEST(TableLookup, SingleRowGivesItsValueEverywhere) {
  TestRun t(minimalInput());
  t.setup();
  korvan::Run& run = t.run();
  const NumericTable table = makeTable({5.0}, {7.0});
  for (SortOrder order : {SortOrder::Up, SortOrder::Down}) {
    bool out = true;
    EXPECT_EQ(lookupTable(run, table, 5.0, order, 1, &out), 7.0);
    EXPECT_FALSE(out);
    EXPECT_EQ(lookupTable(run, table, 4.0, order, 1, &out), 7.0);
    EXPECT_TRUE(out);
    EXPECT_EQ(lookupTable(run, table, 6.0, order, 1, &out), 7.0);
    EXPECT_TRUE(out);
  }
  t.finish();
}

TEST(TableLookup, BisectionAgreesWithALinearSearchOnALongTable) {
  TestRun t(minimalInput());
  t.setup();
  // X = i^2 and Y = 3 i for i = 1 .. 101: between X(k) and X(k+1) the value
  // is 3 k + 3 (x - k^2) / (2 k + 1).
  NumericTable up;
  NumericTable down;
  const int n = 101;
  up.allocate(1, n);
  down.allocate(1, n);
  for (int i = 1; i <= n; ++i) {
    up.x(i) = i * i;
    up.y(i, 1) = 3.0 * i;
    down.x(i) = -i * i;
    down.y(i, 1) = 3.0 * i;
  }
  for (double x = 1.0; x <= n * n; x += 37.3) {
    int k = 1;
    while ((k + 1) * (k + 1) <= x && k + 1 < n) ++k;
    const double expected = 3.0 * k + 3.0 * (x - k * k) / (2.0 * k + 1.0);
    EXPECT_NEAR(lookupTable(t.run(), up, x, SortOrder::Up), expected, 1e-9) << x;
    EXPECT_NEAR(lookupTable(t.run(), down, -x, SortOrder::Down), expected, 1e-9) << x;
  }
  t.finish();
}

TEST(TableLookup, ATableNotAllocatedIsFatal) {
  TestRun t(minimalInput());
  t.setup();
  const NumericTable table;
  const auto err = t.expectFatal([&] { lookupTable(t.run(), table, 1.0, SortOrder::Up); });
  ASSERT_EQ(err.size(), 1u);
  EXPECT_EQ(err[0], "Table has not yet been allocated memory");
  EXPECT_EQ(t.run().messages().record().routine, "RdTable");
}

TEST(TableLookup, AnUnknownSortOrderIsReportedAndTheRunContinues) {
  TestRun t(minimalInput());
  t.setup();
  const NumericTable table = makeTable({1.0, 2.0}, {10.0, 20.0});
  bool out = false;
  EXPECT_EQ(lookupTable(t.run(), table, 1.5, static_cast<SortOrder>(3), 1, &out), 0.0);
  EXPECT_TRUE(out);
  EXPECT_EQ(t.run().messages().record().level, 1);
  EXPECT_EQ(t.run().messages().record().routine, "RdTable");
  EXPECT_EQ(t.dir().lines("t.err"), std::vector<std::string>{"SortOrder must be Up or Down"});
  // The run goes on and a correct lookup still works.
  EXPECT_DOUBLE_EQ(lookupTable(t.run(), table, 1.5, SortOrder::Up), 15.0);
  EXPECT_EQ(t.finish(), kExitNormal);
}

TEST(TableRows, LocatesCountsAndReadsTheRowsInOrder) {
  TestRun t(
      minimalInput("table Series\n"
                   "1.0  10\n"
                   "* a comment inside a table is a row\n"
                   "3.0\t30\n"
                   "end_table\n"));
  t.setup();
  TableRows rows(t.run(), "Series");
  EXPECT_TRUE(rows.found());
  EXPECT_EQ(rows.count(), 3);
  EXPECT_EQ(rows.openingWord(1), "table");
  EXPECT_EQ(rows.openingWord(2), "Series");
  EXPECT_EQ(rows.openingWord(3), "");
  ASSERT_TRUE(rows.next());
  EXPECT_EQ(rows.rowNumber(), 1);
  EXPECT_EQ(rows.line(), "1.0  10");
  EXPECT_EQ(rows.words().count(), 2);
  EXPECT_EQ(rows.words().word(2), "10");
  ASSERT_TRUE(rows.next());
  EXPECT_EQ(rows.words().word(1), "*");
  ASSERT_TRUE(rows.next());
  EXPECT_EQ(rows.rowNumber(), 3);
  EXPECT_EQ(rows.words().word(1), "3.0");
  EXPECT_EQ(rows.words().word(2), "30");
  EXPECT_FALSE(rows.next());
  EXPECT_EQ(rows.rowNumber(), 3);
  t.finish();
}

TEST(TableRows, NameInThirdPlaceUnitAndSecondOccurrence) {
  TestRun t(
      minimalInput("table horizon Layers\n"
                   "Nr X\n"
                   "end_table\n"
                   "table Depths\n"
                   "table Depths (m)\n"
                   "0.01\n"
                   "0.02\n"
                   "end_table\n"));
  t.setup();
  {
    TableRows rows(t.run(), "Layers", {.position = 3});
    EXPECT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.openingWord(2), "horizon");
    ASSERT_TRUE(rows.next());
    EXPECT_EQ(rows.line(), "Nr X");
  }
  {
    // An option record "table Depths" comes first; the table is the second
    // record of that name.
    TableRows rows(t.run(), "Depths", {.unitText = "(m)", .occurrence = 2});
    EXPECT_EQ(rows.count(), 2);
    ASSERT_TRUE(rows.next());
    EXPECT_EQ(rows.line(), "0.01");
  }
  {
    TableRows rows(t.run(), "Absent", {.mustExist = false});
    EXPECT_FALSE(rows.found());
    EXPECT_EQ(rows.count(), 0);
    EXPECT_FALSE(rows.next());
  }
  t.finish();
}

TEST(TableRows, MissingTableWrongUnitAndMissingEndAreFatal) {
  {
    TestRun t(minimalInput());
    t.setup();
    const auto err = t.expectFatal([&] { TableRows rows(t.run(), "Absent"); });
    EXPECT_EQ(err, std::vector<std::string>{"Cannot find record Absent (column  2, unit  20)"});
  }
  {
    TestRun t(minimalInput("table Depths (cm)\n1\nend_table\n"));
    t.setup();
    const auto err = t.expectFatal([&] { TableRows rows(t.run(), "Depths", {.unitText = "(m)"}); });
    EXPECT_EQ(err, std::vector<std::string>{"Dimension for Depths should be (m)"});
  }
  {
    TestRun t(minimalInput("table Open\n1 2\n"));
    t.setup();
    const auto err = t.expectFatal([&] { TableRows rows(t.run(), "Open"); });
    EXPECT_EQ(err, std::vector<std::string>{"FATAL while COUNTING records in Open"});
  }
}

}  // namespace
}  // namespace korvan
