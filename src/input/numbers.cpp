#include "input/numbers.hpp"

#include <string>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"
#include "input/calendar.hpp"
#include "input/dates.hpp"
#include "input/records.hpp"

namespace korvan {

// A value for a missing record while the missing records are collected: 1
// where the bounds allow it (a count, a length, a rate of one), else the
// nearer bound; for a date one day after the previous stand-in date, so that
// an end follows its start.
double Numbers::standInValue(const FloatInput& input) {
  if (input.isDate) return calendar::timeOfDate({.year = 1980}) + standInDates_++;
  double value = 1.0;
  if (input.min && value < *input.min) value = *input.min;
  if (input.max && value > *input.max) value = *input.max;
  return value;
}

double Numbers::rdFloat(std::string_view keyword, const FloatInput& input) {
  Records& records = run_.records();
  records.getRecord(keyword, 2, {.unitText = input.unit});
  // Per-compound keywords (name_compound) are listed without a separator line.
  if (keyword.find('_') == std::string_view::npos) run_.log().writeLine(kDashes);

  double value = 0.0;
  if (records.standIn()) {
    value = standInValue(input);
  } else if (input.isDate) {
    value = run_.dates().rdDate(records.words().word(1), keyword);
  } else {
    const auto parsed = parseNumber(firstItem(records.line()));
    if (!parsed) {
      run_.messages().fatal("RdFloat", " Fatal while reading record " + std::string(keyword));
    }
    value = *parsed;
  }

  if (input.unit.empty()) {
    run_.log().writeLine(formatLayout("(a20,1x,g12.5)", {keyword, value}));
  } else {
    run_.log().writeLine(formatLayout("(a20,1x,a18,1x,g12.5)", {keyword, input.unit, value}));
  }
  if (input.min) checkForMinimum(keyword, value, *input.min);
  if (input.max) checkForMaximum(keyword, value, *input.max);
  warnOutsideUsualRange(keyword, value, input);
  return value;
}

void Numbers::warnOutsideUsualRange(std::string_view keyword, double value,
                                    const FloatInput& input) {
  const auto warn = [&](std::string_view side, double bound) {
    run_.messages().warning("RdFloat",
                            "Value of " + std::string(keyword) + " " + std::string(side) +
                                " the usual " + (side == "above" ? "maximum" : "minimum") + " of " +
                                std::string(trim(formatLayout("(g12.5)", {bound}))),
                            "Input was: " + std::string(trim(formatLayout("(g12.5)", {value}))),
                            "The run goes on with this value");
  };
  if (input.usualMin && value < *input.usualMin) warn("below", *input.usualMin);
  if (input.usualMax && value > *input.usualMax) warn("above", *input.usualMax);
}

void Numbers::checkForMaximum(std::string_view keyword, double value, double maximum) {
  if (value > maximum) {
    run_.messages().fatal("CheckForMaximum", "FATAL: value > maximum",
                          "The maximum value is: " + formatLayout("(f15.7)", {maximum}),
                          "Variable name is: " + std::string(keyword));
  }
}

void Numbers::checkForMinimum(std::string_view keyword, double value, double minimum) {
  if (value < minimum) {
    run_.messages().fatal("CheckForMinimum", "FATAL: value < minimum",
                          "Input was: " + formatLayout("(g15.7)", {value}) +
                              "; the mimimum value is: " + formatLayout("(g15.7)", {minimum}),
                          "Variable name is: " + std::string(keyword));
  }
}

}  // namespace korvan
