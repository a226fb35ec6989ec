// Reading single numbers from the input file with their unit and bounds, and
// the bound checks. Every value read is echoed to the log file.
#pragma once

#include <optional>
#include <string_view>

namespace korvan {

class Run;

struct FloatInput {
  std::string_view unit;       // unit text that must follow the keyword, e.g. "(m)"
  std::optional<double> min;   // smallest value allowed
  std::optional<double> max;   // largest value allowed
  bool isDate = false;         // the value is a date text
};

class Numbers {
 public:
  explicit Numbers(Run& run) : run_(run) {}

  // The value of the record of the keyword (must exist); a date as its time
  // when input.isDate.
  double rdFloat(std::string_view keyword, const FloatInput& input = {});

  void checkForMinimum(std::string_view keyword, double value, double minimum);
  void checkForMaximum(std::string_view keyword, double value, double maximum);

 private:
  double standInValue(const FloatInput& input);

  Run& run_;
  int standInDates_ = 0;
};

}  // namespace korvan
