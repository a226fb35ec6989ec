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
#include <utility>
#include <vector>

#include "core/layout.hpp"

namespace korvan {

class Run;

// What the output file writes its values over: the output segments of the
// water body, the compounds and the sediment layers. The run that makes the
// modules answers for them.
class OutputGrid {
 public:
  virtual int numSeg() = 0;
  virtual const std::vector<int>& outputSegments() = 0;
  virtual int numCompounds() = 0;
  virtual const std::vector<std::string>& compoundNames() = 0;
  virtual int numLayers() = 0;
  // Layer j is written to the output file.
  virtual bool outputLayer(int j) = 0;
  // Depth (m) and porosity (m3.m-3) of layer j.
  virtual double layerDepth(int j) = 0;
  virtual double layerThetaSat(int j) = 0;

 protected:
  ~OutputGrid() = default;
};

// The print switch of one variable, kept by the module that owns it.
struct PrintSwitch {
  bool known = false;  // the option print_<name> has been read
  bool yes = false;    // and it said Yes
};

class OutputFile {
 public:
  OutputFile(Run& run, OutputGrid& grid);
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

  // The longitudinal profile of every compound at time t, one line per
  // segment: distance from the upstream end (m), water temperature (K, written
  // in C), water depth (m) and dissolved concentration (g.m-3).
  struct XProfilePoint {
    double distance = 0.0;
    double temWat = 0.0;
    double depWat = 0.0;
    double conLiqWatLay = 0.0;
  };
  void writeXProfile(double t, const std::function<XProfilePoint(int k, int i)>& point);
  // The depth profile of every compound at time t, per output segment and
  // sediment layer: depth and porosity of the layer, then the total and the
  // dissolved concentration (g.m-3) given by conSysLiq(k, j, i).
  void writeZProfile(double t,
                     const std::function<std::pair<double, double>(int k, int j, int i)>& conSysLiq);

  // The date text of the last data line written.
  const std::string& lastPrintedDate() const { return lastPrintedDate_; }

  // The time column of a print time, by DateFormat.
  double timeColumn(double tp);

 private:
  enum class Family { Scalar, Segment, Compound, SegmentCompound, Layer, XProfile, ZProfile };
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
  void writeProfileLine(Family family, double t, std::string_view label,
                        std::span<const double> values, std::optional<int> segment);
  // The current items written by the layout; an unusable RealFormat stops the run.
  std::string formatItems(const Layout& format);
  // The compound name joined to the variable name, left-adjusted.
  std::string compoundName(std::string_view name, int c);

  Run& run_;
  OutputGrid& grid_;
  std::optional<std::string> realFormat_;
  // The data-line layouts, built on the first call of each family.
  std::optional<Layout> layouts_[7];
  std::vector<LayoutValue> items_;
  std::vector<double> selected_;
  std::string lastPrintedDate_;
};

}  // namespace korvan
