// The keyword-and-table input file: splitting lines into words, looking up a
// record by its keyword, counting table rows, reading texts and options, and
// the work file "korvan.tmp" through which the rest of a record is read in
// free format.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/unit_table.hpp"

namespace korvan {

class Run;

inline constexpr std::size_t kMaxWordLength = 32;
inline constexpr std::size_t kMaxLineLength = 250;
inline constexpr std::size_t kMaxWords = 500;

// The words of the line split last. Positions are counted from 1.
class WordList {
 public:
  // Number of words in the whole line, also those not stored.
  int count() const { return count_; }
  // Word at a position; empty beyond the stored words.
  const std::string& word(int position) const;
  std::vector<std::string>& slots() { return words_; }
  void setCount(int n) { count_ = n; }

 private:
  std::vector<std::string> words_;
  int count_ = 0;
};

// Reads values in free format from one line: numbers in fixed or exponent
// form and texts, separated by blanks or commas.
class FreeFormatReader {
 public:
  explicit FreeFormatReader(std::string line = {}) : line_(std::move(line)) {}
  // Starts on another line, keeping the buffer.
  void assign(std::string_view line) {
    line_.assign(line);
    pos_ = 0;
  }
  // The next item; nullopt when the line is used up.
  std::optional<std::string> nextItem();
  // The same as a view into the reader's line, valid until it starts on
  // another line.
  std::optional<std::string_view> nextView();
  // The next item as a number; nullopt at the end or when it is not one.
  std::optional<double> nextReal();

 private:
  std::string line_;
  std::size_t pos_ = 0;
};

// A number written as list-directed input accepts it: an optional sign,
// digits with an optional decimal point, an optional exponent with e, E, d or
// D. Infinities, NaN and values beyond the range of a double are refused.
std::optional<double> parseNumber(std::string_view item);
// The first item of a line in free format (up to a blank, comma or slash).
std::string_view firstItem(std::string_view line);

struct RecordQuery {
  std::string_view unitText;  // when not empty, the word after the keyword must equal it
  bool noRewind = false;      // search on from the current position
  Unit unit = Unit::Input;
  bool mustExist = true;
};

class Records {
 public:
  explicit Records(Run& run) : run_(run) {}

  // Splits a line into words at blanks and tabs; stores at most maxWords
  // words (all when negative). A stored word above 32 characters is fatal.
  void splitWords(std::string_view line, int maxWords = -1);
  const WordList& words() const { return words_; }
  // The line of the record found last (its first 250 characters).
  const std::string& line() const { return line_; }

  // Finds the record whose word at the position equals the keyword; on
  // success the word list holds its words and the file stands after it.
  bool getRecord(std::string_view keyword, int position = 2, const RecordQuery& query = {});
  // Counts the lines from the current position up to the next "end_table".
  int countRecord(std::string_view tableName, Unit unit = Unit::Input);
  // The first word of the record of the keyword (must exist); no log echo.
  std::string readText(std::string_view keyword);
  // The 1-based position of the record's value in the blank-separated option
  // list; -99 when the record need not exist and is missing.
  int rdOption(std::string_view keyword, std::string_view optionList, Unit unit = Unit::Input,
               bool mustExist = true);
  // Writes the words after position s of the current word list to
  // "korvan.tmp" and returns a reader of that line.
  FreeFormatReader remainderToWorkFile(int s = 1);

  // Every keyword looked up in the input file so far, found or not: the
  // records and tables that this run reads.
  const std::set<std::string, std::less<>>& keywordsRead() const { return keywordsRead_; }

  // Collecting missing records. The first required record that is missing is
  // reported as a fatal error, but the reading goes on: each later missing
  // record is noted and stands in for a record with a harmless value (see
  // standIn()), until the input reading ends or another error stops it.
  bool collecting() const { return firstMissing_.has_value(); }
  // Missing records are collected only when the run asks for it (the
  // program does); otherwise the first one stops the run at once.
  void collectMissing() { collectMissing_ = true; }
  // Files that exist only because the collection went on; the end of the run
  // deletes them.
  std::vector<std::string>& collectionFiles() { return collectionFiles_; }
  // The missing records after the first, in the order they were looked up,
  // as "Cannot find record" lines.
  const std::vector<std::string>& otherMissing() const { return otherMissing_; }
  // The record found last stands in for a missing one: its value is for the
  // reader to choose.
  bool standIn() const { return standIn_; }

 private:
  // A required record is missing: the fatal message for the first, a note
  // for the others; afterwards the word list holds a stand-in record.
  void missingRecord(std::string_view keyword, int position, Unit unit);

  Run& run_;
  WordList words_;
  std::string line_;
  std::optional<Unit> workUnit_;
  std::set<std::string, std::less<>> keywordsRead_;
  std::optional<std::string> firstMissing_;
  std::vector<std::string> otherMissing_;
  bool standIn_ = false;
  bool collectMissing_ = false;
  std::vector<std::string> collectionFiles_;
};

}  // namespace korvan
