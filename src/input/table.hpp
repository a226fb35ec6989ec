// Numeric tables: an independent column X and dependent columns Y, read from
// the input file once and looked up by bisection and linear interpolation at
// every step that needs a value; and the row-by-row reading that every table
// reader of the modules shares.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/unit_table.hpp"

namespace korvan {

class Run;
class WordList;

// Order of the independent column: Up for ascending X (times, distances),
// Down for descending X (depths held as negative numbers, read downwards).
enum class SortOrder : int { Up = 1, Down = 2 };

class NumericTable {
 public:
  // Creates X with n rows and Y with n rows of m dependent columns, all 0;
  // an allocated table is replaced.
  void allocate(int m, int n);
  // Frees X and Y; a table that is not allocated is left as it is.
  void release();

  bool allocated() const { return allocated_; }
  int rows() const { return n_; }
  int columns() const { return m_; }

  // Row i counts from 1 to n, column c from 1 to m.
  double& x(int i) { return x_[index(i)]; }
  double x(int i) const { return x_[index(i)]; }
  double& y(int i, int c) { return y_[index(i, c)]; }
  double y(int i, int c) const { return y_[index(i, c)]; }

 private:
  std::size_t index(int i) const;
  std::size_t index(int i, int c) const;

  std::vector<double> x_;
  std::vector<double> y_;  // row-major: the m values of a row lie together
  int n_ = 0;
  int m_ = 0;
  bool allocated_ = false;
};

// The value of dependent column c at x, linearly interpolated; outside the
// range of X the value of the nearest end row. When asked for, *outOfRange
// tells whether x lies strictly outside the range of X. A table that is not
// allocated is fatal (routine RdTable). Allocates nothing: it runs in the
// inner time loops.
double lookupTable(Run& run, const NumericTable& table, double x, SortOrder order, int c = 1,
                   bool* outOfRange = nullptr);

// Where the opening line of a table is found.
struct TableQuery {
  int position = 2;           // word of the opening line that holds the table name
  std::string_view unitText;  // when not empty, the word after the name must equal it
  // The table is the occurrence-th record with its name at that position:
  // 2 when an option record of the same name comes first (OutputDepths).
  int occurrence = 1;
  bool mustExist = true;
  Unit unit = Unit::Input;
};

// The rows of one table, read in the pattern all table readers share: the
// opening line is looked up, the rows are counted up to "end_table", the
// opening line is looked up again so that the file stands at the first row,
// and the rows are then read one by one. Uses the shared word list of the
// record reader; two tables cannot be read interleaved.
class TableRows {
 public:
  TableRows(Run& run, std::string_view name, const TableQuery& query = {});

  // False when the table need not exist and is missing (then count() is 0).
  bool found() const { return found_; }
  // Lines between the opening line and "end_table", header lines included.
  int count() const { return count_; }
  // The words of the opening line, counted from 1; empty beyond them.
  const std::string& openingWord(int position) const;

  // Reads the next row and splits it into words; false after the last row.
  bool next();
  // Number of the row read last (1 for the first line after the opening line).
  int rowNumber() const { return row_; }
  // The row read last (its first 250 characters) and its words.
  const std::string& line() const { return line_; }
  const WordList& words() const;

 private:
  bool locate(std::string_view name, const TableQuery& query, bool checkUnit);

  Run& run_;
  Unit unit_;
  bool found_ = false;
  int count_ = 0;
  int row_ = 0;
  std::vector<std::string> openingWords_;
  std::string line_;
};

}  // namespace korvan
