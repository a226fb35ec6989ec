// The output file of variables (RunId.out): the print routines through which
// every module writes its variables at print times. Each variable has a
// print switch, option print_<name> (No or Yes), read on its first print;
// a Yes writes the unit line and then one data line per print time: time
// column, date text, name and the values in the format RealFormat.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/layout.hpp"

namespace korvan {

class Run;

// The print switch of one variable, kept by the module that owns it.
struct PrintSwitch {
  bool known = false;  // the option print_<name> has been read
  bool yes = false;    // and it said Yes
};

class OutputFile {
 public:
  explicit OutputFile(Run& run);
  ~OutputFile();

  // A water-body value; t is the time at which it holds (the end of the
  // print interval); the line stands for the middle of the interval.
  void printScalar(double t, std::string_view name, double value, PrintSwitch& sw,
                   std::string_view rateUnit, std::string_view cumulativeUnit);
  // A value per segment: values[i] for segment i = 1..N (values[0], the
  // upstream end, is not printed); the output segments are written.
  void printSegments(double t, std::string_view name, std::span<const double> values,
                     PrintSwitch& sw, std::string_view rateUnit, std::string_view cumulativeUnit);
  // One water-body value written in the per-segment layout.
  void printSegmentValue(double t, std::string_view name, double value, PrintSwitch& sw,
                         std::string_view rateUnit, std::string_view cumulativeUnit);

  // A value per compound (values[c] for compound c = 0..n-1, in the order of
  // the compounds table): one line per compound, named name_compound. With
  // momentary the line stands for t itself ("Cur" values).
  void printCompounds(double t, std::string_view name, std::span<const double> values,
                      PrintSwitch& sw, std::string_view rateUnit,
                      std::string_view cumulativeUnit, bool momentary = false);
  // A value per segment and compound: value(c, i) for segment i = 1..N.
  void printSegmentsCompounds(double t, std::string_view name,
                              const std::function<double(int c, int i)>& value, PrintSwitch& sw,
                              std::string_view rateUnit, std::string_view cumulativeUnit,
                              bool momentary = false);
  // A value per sediment layer, segment and compound: value(c, j, i); one
  // line per compound and output layer, the layer number before the values.
  void printLayers(double t, std::string_view name,
                   const std::function<double(int c, int j, int i)>& value, PrintSwitch& sw,
                   std::string_view rateUnit, std::string_view cumulativeUnit,
                   bool momentary = false);

  // The date text of the last data line written.
  const std::string& lastPrintedDate() const { return lastPrintedDate_; }

  // The time column of a print time, by DateFormat.
  double timeColumn(double tp);

 private:
  enum class Family { Scalar, Segment, Compound, SegmentCompound, Layer };
  // Reads the switch on the first call (scalars: at every call) and writes
  // the unit line for a Yes; true when data lines are wanted.
  bool readSwitch(Family family, std::string_view name, PrintSwitch& sw, std::string_view rateUnit,
                  std::string_view cumulativeUnit);
  const Layout& layout(Family family);
  // The print time: the middle of the interval that ends at t, or t itself
  // for a momentary value; never before the start.
  double printTime(double t, bool momentary) const;
  void writeLine(Family family, double tp, std::string_view name, std::span<const double> values,
                 std::optional<int> layer = std::nullopt);
  // The compound name joined to the variable name, left-adjusted.
  std::string compoundName(std::string_view name, int c);

  Run& run_;
  std::optional<std::string> realFormat_;
  // The data-line layouts, built on the first call of each family.
  std::optional<Layout> layouts_[5];
  std::vector<LayoutValue> items_;
  std::vector<double> selected_;
  std::string lastPrintedDate_;
};

}  // namespace korvan
