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

// X and the columns of Y from lists of equal length.
NumericTable makeTable(std::initializer_list<double> xs,
                       std::initializer_list<std::initializer_list<double>> columns) {
  NumericTable t;
  t.allocate(static_cast<int>(columns.size()), static_cast<int>(xs.size()));
  int i = 1;
  for (double x : xs) t.x(i++) = x;
  int c = 1;
  for (const auto& ys : columns) {
    i = 1;
    for (double y : ys) t.y(i++, c) = y;
    ++c;
  }
  return t;
}

TEST(TableAllocation, AllocateZeroesAndReleaseFrees) {
  NumericTable t;
  t.release();       // releasing a table that is not allocated does nothing
  t.allocate(2, 3);  // 2 dependent columns, 3 rows
  t.y(2, 2) = 7.0;
  EXPECT_EQ(t.y(3, 1), 0.0);
  EXPECT_EQ(t.y(2, 2), 7.0);
  t.release();
  EXPECT_FALSE(t.allocated());
  EXPECT_EQ(t.rows(), 0);
}

TEST(TableLookup, InterpolatesInsideHitsNodesExactlyAndFlagsTheEndsOutside) {
  TestRun t(minimalInput());
  t.setup();
  const NumericTable up = makeTable({1.0, 2.0, 4.0}, {{10.0, 20.0, 40.0}, {-1.0, -3.0, 1.0}});
  const NumericTable down = makeTable({0.05, 0.02, 0.01}, {{10.0, 40.0, 100.0}});
  const NumericTable single = makeTable({5.0}, {{7.0}});
  // A tolerance of 0 is an exact comparison, a negative one DOUBLE_EQ.
  const struct {
    const NumericTable& table;
    SortOrder order;
    double x;
    int column;
    double expected;
    double tolerance;
    bool out;
  } cases[] = {
      // 3 lies halfway between 2 and 4: 20 + (40 - 20) * 0.5 = 30; column 2: -3 + 4 * 0.5 = -1.
      {up, SortOrder::Up, 3.0, 1, 30.0, -1, false},
      {up, SortOrder::Up, 3.0, 2, -1.0, -1, false},
      // Exactly on the inner node and on both ends: the row's value, in range.
      {up, SortOrder::Up, 2.0, 1, 20.0, 0, false},
      {up, SortOrder::Up, 4.0, 1, 40.0, 0, false},
      // Outside the range: the nearest end row, flagged.
      {up, SortOrder::Up, 0.5, 1, 10.0, 0, true},
      {up, SortOrder::Up, 9.0, 2, 1.0, 0, true},
      {down, SortOrder::Down, 0.015, 1, 70.0, 1e-12, false},  // 40 + 60 * 0.5
      {down, SortOrder::Down, 0.06, 1, 10.0, 0, true},
      {down, SortOrder::Down, 0.0, 1, 100.0, 0, true},
      // A single row gives its value everywhere.
      {single, SortOrder::Up, 5.0, 1, 7.0, 0, false},
      {single, SortOrder::Up, 4.0, 1, 7.0, 0, true},
      {single, SortOrder::Down, 6.0, 1, 7.0, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.x << " column " << c.column);
    bool out = !c.out;
    const double value = lookupTable(t.run(), c.table, c.x, c.order, c.column, &out);
    if (c.tolerance == 0) {
      EXPECT_EQ(value, c.expected);
    } else if (c.tolerance < 0) {
      EXPECT_DOUBLE_EQ(value, c.expected);
    } else {
      EXPECT_NEAR(value, c.expected, c.tolerance);
    }
    EXPECT_EQ(out, c.out);
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
    down.x(i) = -i * i;
    up.y(i, 1) = down.y(i, 1) = 3.0 * i;
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
  EXPECT_EQ(err, std::vector<std::string>{"Table has not yet been allocated memory"});
  EXPECT_EQ(t.run().messages().record().routine, "RdTable");
}

TEST(TableLookup, AnUnknownSortOrderIsReportedAndTheRunContinues) {
  TestRun t(minimalInput());
  t.setup();
  const NumericTable table = makeTable({1.0, 2.0}, {{10.0, 20.0}});
  bool out = false;
  EXPECT_EQ(lookupTable(t.run(), table, 1.5, static_cast<SortOrder>(3), 1, &out), 0.0);
  EXPECT_TRUE(out);
  EXPECT_EQ(t.dir().lines("t.err"), std::vector<std::string>{"SortOrder must be Up or Down"});
  EXPECT_EQ(t.finish(), kExitNormal);  // the run goes on
}

TEST(TableRows, LocatesCountsAndReadsTheRowsInOrder) {
  TestRun t(
      minimalInput("table Series\n"
                   "1.0  10\n"
                   "* a comment inside a table is a row\n"
                   "3.0\t30\n"
                   "end_table\n"
                   "table Empty\n"
                   "  end_table  \n"));
  t.setup();
  TableRows rows(t.run(), "Series");
  EXPECT_EQ(rows.count(), 3);
  EXPECT_EQ(rows.openingWord(3), "");
  ASSERT_TRUE(rows.next());
  EXPECT_EQ(rows.line(), "1.0  10");
  ASSERT_TRUE(rows.next());
  EXPECT_EQ(rows.words().word(1), "*");
  ASSERT_TRUE(rows.next());
  EXPECT_EQ(rows.words().word(2), "30");
  EXPECT_FALSE(rows.next());
  EXPECT_EQ(rows.rowNumber(), 3);
  EXPECT_EQ(TableRows(t.run(), "Empty").count(), 0);
  t.finish();
}

}  // namespace
}  // namespace korvan
