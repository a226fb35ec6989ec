// Reading single numbers from the input file with their unit and bounds, and
// the bound checks. Every value read is echoed to the log file.
#pragma once

#include <optional>
#include <string_view>

namespace korvan {

class Run;

struct FloatInput {
  std::string_view unit;      // unit text that must follow the keyword, e.g. "(m)"
  std::optional<double> min;  // smallest value allowed
  std::optional<double> max;  // largest value allowed
  bool isDate = false;        // the value is a date text
  // The usual range: a value outside it is read with a warning in the log, for
  // bounds that mark unusual input rather than input the model cannot use.
  std::optional<double> usualMin;
  std::optional<double> usualMax;
};

class Numbers {
 public:
  explicit Numbers(Run& run) : run_(run) {}

  // The value of the record of the keyword (must exist); a date as its time
  // when input.isDate.
  double rdFloat(std::string_view keyword, const FloatInput& input = {});

  void checkForMinimum(std::string_view keyword, double value, double minimum);
  void checkForMaximum(std::string_view keyword, double value, double maximum);
  // Warnings for a value outside its usual range; the run goes on.
  void warnOutsideUsualRange(std::string_view keyword, double value, const FloatInput& input);

 private:
  double standInValue(const FloatInput& input);

  Run& run_;
  int standInDates_ = 0;
};

}  // namespace korvan
