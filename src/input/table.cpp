#include "input/table.hpp"

#include <cassert>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "input/records.hpp"

namespace korvan {

void NumericTable::allocate(int m, int n) {
  assert(m >= 0 && n >= 0);
  n_ = n;
  m_ = m;
  x_.assign(static_cast<std::size_t>(n), 0.0);
  y_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(m), 0.0);
  allocated_ = true;
}

void NumericTable::release() {
  if (!allocated_) return;
  x_ = {};
  y_ = {};
  n_ = 0;
  m_ = 0;
  allocated_ = false;
}

std::size_t NumericTable::index(int i) const {
  assert(i >= 1 && i <= n_);
  return static_cast<std::size_t>(i - 1);
}

std::size_t NumericTable::index(int i, int c) const {
  assert(i >= 1 && i <= n_ && c >= 1 && c <= m_);
  return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(m_) +
         static_cast<std::size_t>(c - 1);
}

namespace {

// Bisection for the rows lo and lo + 1 that enclose x strictly inside the
// range of X; `before(a, b)` tells whether a lies before b in the table's order.
template <typename Before>
double interpolateInside(const NumericTable& t, double x, int c, Before before) {
  int lo = 1;
  int hi = t.rows();
  for (int mid = (lo + hi) / 2; mid != lo; mid = (lo + hi) / 2) {
    if (before(x, t.x(mid))) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return t.y(lo, c) + (t.y(hi, c) - t.y(lo, c)) * (x - t.x(lo)) / (t.x(hi) - t.x(lo));
}

}  // namespace

double lookupTable(Run& run, const NumericTable& table, double x, SortOrder order, int c,
                   bool* outOfRange) {
  if (!table.allocated())
    run.messages().fatal("RdTable", "Table has not yet been allocated memory");
  bool outside = false;
  double value = 0.0;
  const int n = table.rows();
  if (n == 0) {
    // A table without rows has no value anywhere; every x lies outside it.
    outside = true;
  } else if (order == SortOrder::Up) {
    if (x <= table.x(1)) {
      value = table.y(1, c);
      outside = x < table.x(1);
    } else if (x >= table.x(n)) {
      value = table.y(n, c);
      outside = x > table.x(n);
    } else {
      value = interpolateInside(table, x, c, [](double a, double b) { return a < b; });
    }
  } else if (order == SortOrder::Down) {
    if (x >= table.x(1)) {
      value = table.y(1, c);
      outside = x > table.x(1);
    } else if (x <= table.x(n)) {
      value = table.y(n, c);
      outside = x < table.x(n);
    } else {
      value = interpolateInside(table, x, c, [](double a, double b) { return a > b; });
    }
  } else {
    // The caller continues after the report; it gets 0, flagged as out of
    // range, so that it cannot mistake the result for a value of the table.
    run.messages().report("RdTable", "SortOrder must be Up or Down");
    outside = true;
  }
  if (outOfRange != nullptr) *outOfRange = outside;
  return value;
}

TableRows::TableRows(Run& run, std::string_view name, const TableQuery& query)
    : run_(run), unit_(query.unit) {
  found_ = locate(name, query, true);
  if (!found_) return;
  count_ = run_.records().countRecord(name, unit_);
  locate(name, query, false);
}

bool TableRows::locate(std::string_view name, const TableQuery& query, bool checkUnit) {
  Records& records = run_.records();
  for (int k = 1; k <= query.occurrence; ++k) {
    // The unit follows the name only on the opening line of the table itself.
    const bool last = k == query.occurrence;
    const RecordQuery record{.unitText = (last && checkUnit) ? query.unitText : std::string_view{},
                             .noRewind = k > 1,
                             .unit = query.unit,
                             .mustExist = query.mustExist};
    if (!records.getRecord(name, query.position, record)) return false;
  }
  openingWords_.clear();
  for (int i = 1; i <= records.words().count(); ++i)
    openingWords_.push_back(records.words().word(i));
  return true;
}

const std::string& TableRows::openingWord(int position) const {
  static const std::string kNone;
  if (position < 1 || static_cast<std::size_t>(position) > openingWords_.size()) return kNone;
  return openingWords_[static_cast<std::size_t>(position - 1)];
}

bool TableRows::next() {
  if (row_ >= count_) return false;
  run_.units().file(unit_).readLine(line_);
  if (line_.size() > kMaxLineLength) line_.resize(kMaxLineLength);
  ++row_;
  run_.records().splitWords(line_);
  return true;
}

const WordList& TableRows::words() const {
  return run_.records().words();
}

}  // namespace korvan
