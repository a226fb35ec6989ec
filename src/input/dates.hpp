// The date readers of the run: a date text of the input file or of a
// field-model file turned into a time, with the model's messages for texts
// that are not dates.
#pragma once

#include <string_view>

#include "input/calendar.hpp"

namespace korvan {

class Run;

class Dates {
 public:
  explicit Dates(Run& run) : run_(run) {}

  // The time of a date of the input file; the keyword names the record in
  // the messages. An hour in the text adds hour x the time step (nothing
  // before the time step is set).
  double rdDate(std::string_view text, std::string_view keyword);
  // The date record of a time stamp of a field-model or work file.
  calendar::DateRecord strToDate(std::string_view text);

 private:
  Run& run_;
};

}  // namespace korvan
