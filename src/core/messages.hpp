// Fatal errors and warnings. A module fills the message record (level,
// reporting routine, up to three lines) and calls the fatal-error or the
// warning routine; the helpers below do both in one call.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace korvan {

class Run;

struct MessageRecord {
  int level = -1;  // -1 fatal: the run stops; 1 reported, the caller continues
  std::string routine;
  std::array<std::string, 3> lines;
};

class Messages {
 public:
  explicit Messages(Run& run) : run_(run) {}

  MessageRecord& record() { return record_; }

  // Shows the record's lines on the console and writes them to the error
  // file. Returns for level 1; otherwise throws RunStop.
  void fatal();
  // Fills the record with level -1 and reports it; never returns.
  [[noreturn]] void fatal(std::string_view routine, std::string_view line1,
                          std::string_view line2 = {}, std::string_view line3 = {});
  // Fills the record with level 1 and reports it; the caller continues.
  void report(std::string_view routine, std::string_view line1, std::string_view line2 = {},
              std::string_view line3 = {});

  // Reports the record as a warning in the log file (task 2 of the warning
  // routine).
  void warning();
  void warning(std::string_view routine, std::string_view line1, std::string_view line2 = {},
               std::string_view line3 = {});
  // The end-of-run notice in the summary file when warnings occurred (task 5).
  void warningNotice();
  bool warningsOccurred() const { return warnings_; }

 private:
  void fill(int level, std::string_view routine, std::string_view l1, std::string_view l2,
            std::string_view l3);

  Run& run_;
  MessageRecord record_;
  bool warnings_ = false;
};

}  // namespace korvan
