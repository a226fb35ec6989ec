#include "output/output_file.hpp"

#include <algorithm>
#include <cmath>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"
#include "core/units.hpp"
#include "input/calendar.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"

namespace korvan {

namespace {

constexpr std::string_view kTimeFormat = "f9.3";
// Values this small are written as 0, so that underflow never shows as noise.
constexpr double kSmallest = 1e-50;

double printable(double v) { return std::fabs(v) < kSmallest ? 0.0 : v; }

}  // namespace

OutputFile::OutputFile(Run& run, OutputGrid& grid) : run_(run), grid_(grid) {}
OutputFile::~OutputFile() = default;

// The fixed part and the closing of the data line of each family.
struct FamilyLayout {
  std::string_view fixed;
  std::string_view closing;
};
constexpr FamilyLayout kFamilies[] = {
    {",1x,a18,1x,a20,1x,", ""},
    {",1x,a18,1x,a20,1x,400(1x,", ",:)"},
    {",1x,a18,1x,a24,1x,", ""},
    {",1x,a18,1x,a24,1x,400(1x,", ",:)"},
    {",1x,a11,1x,a18,1x,i4,1x,400(1x,", ",:)"},
    {",1x,a11,1x,a18,1x,400(", ",:)"},
    {",1x,a11,1x,a18,1x,i3,1x,400(", ",:)"},
};

const Layout& OutputFile::layout(Family family) {
  if (!realFormat_) realFormat_ = run_.records().readText("RealFormat");
  const auto index = static_cast<std::size_t>(family);
  std::optional<Layout>& cached = layouts_[index];
  if (!cached) {
    const std::string text = "(" + std::string(kTimeFormat) + std::string(kFamilies[index].fixed) +
                             *realFormat_ + std::string(kFamilies[index].closing) + ")";
    try {
      cached.emplace(text);
    } catch (const LayoutError& e) {
      run_.messages().fatal("PrintVariable",
                            "Cannot write the output file with RealFormat " + *realFormat_,
                            e.what());
    }
  }
  return *cached;
}

bool OutputFile::readSwitch(Family family, std::string_view name, PrintSwitch& sw,
                            std::string_view rateUnit, std::string_view cumulativeUnit) {
  // A scalar reads its switch and writes its unit line at every call that
  // says Yes; the other families once.
  if (!sw.known || (family == Family::Scalar && sw.yes)) {
    const int value = run_.records().rdOption("print_" + std::string(name), "No Yes");
    sw.known = true;
    sw.yes = value == 2;
    if (sw.yes) {
      const bool cumulative = run_.options().printCumulatives();
      run_.output().writeLine("* Unit for " + std::string(name) + " is " +
                              std::string(cumulative ? cumulativeUnit : rateUnit));
    }
  }
  return sw.yes;
}

double OutputFile::printTime(double t, bool momentary) const {
  const SimClock& clock = run_.clock();
  return std::max(clock.timStart(), momentary ? t : t - clock.delTimPrn() / 2.0);
}

double OutputFile::timeColumn(double tp) {
  switch (run_.options().dateFormat()) {
    case DateFormat::DaysFromSta:
      return std::max(0.0, tp - run_.clock().timStart());
    case DateFormat::DaysFrom1900:
      return tp;
    case DateFormat::Years:
      return calendar::fractionalYear(tp);
  }
  return tp;
}

void OutputFile::writeLine(Family family, double tp, std::string_view name,
                           std::span<const double> values, std::optional<int> layer) {
  const Layout& format = layout(family);
  lastPrintedDate_ = calendar::dateText(tp);
  items_.clear();
  items_.emplace_back(timeColumn(tp));
  items_.emplace_back(std::string_view(lastPrintedDate_));
  items_.emplace_back(name);
  if (layer) items_.emplace_back(std::int64_t{*layer});
  for (double v : values) items_.emplace_back(printable(v));
  run_.output().writeLine(formatItems(format));
}

void OutputFile::printScalar(double t, std::string_view name, double value, PrintSwitch& sw,
                             std::string_view rateUnit, std::string_view cumulativeUnit) {
  if (!readSwitch(Family::Scalar, name, sw, rateUnit, cumulativeUnit)) return;
  const double tp = printTime(t, false);
  if (tp <= run_.clock().timStart()) return;
  const double values[] = {value};
  writeLine(Family::Scalar, tp, name, values);
}

void OutputFile::printSegments(double t, std::string_view name, std::span<const double> values,
                               PrintSwitch& sw, std::string_view rateUnit,
                               std::string_view cumulativeUnit) {
  if (!readSwitch(Family::Segment, name, sw, rateUnit, cumulativeUnit)) return;
  const double tp = printTime(t, false);
  if (tp <= run_.clock().timStart()) return;
  selected_.clear();
  for (int i : grid_.outputSegments()) {
    if (i >= 0 && static_cast<std::size_t>(i) < values.size()) {
      selected_.push_back(values[static_cast<std::size_t>(i)]);
    }
  }
  writeLine(Family::Segment, tp, name, selected_);
}

void OutputFile::printSegmentValue(double t, std::string_view name, double value, PrintSwitch& sw,
                                   std::string_view rateUnit, std::string_view cumulativeUnit) {
  if (!readSwitch(Family::Segment, name, sw, rateUnit, cumulativeUnit)) return;
  const double tp = printTime(t, false);
  if (tp <= run_.clock().timStart()) return;
  const double values[] = {value};
  writeLine(Family::Segment, tp, name, values);
}

std::string OutputFile::compoundName(std::string_view name, int c) {
  const auto& names = grid_.compoundNames();
  const std::string joined =
      std::string(name) + "_" + names[static_cast<std::size_t>(c)];
  return padTo(joined, 2 * kMaxWordLength);
}

void OutputFile::printCompounds(double t, std::string_view name, std::span<const double> values,
                                PrintSwitch& sw, std::string_view rateUnit,
                                std::string_view cumulativeUnit, bool momentary) {
  if (!readSwitch(Family::Compound, name, sw, rateUnit, cumulativeUnit)) return;
  const double tp = printTime(t, momentary);
  if (tp <= run_.clock().timStart()) return;
  const int n = std::min<int>(grid_.numCompounds(), static_cast<int>(values.size()));
  for (int c = 0; c < n; ++c) {
    const double value[] = {values[static_cast<std::size_t>(c)]};
    writeLine(Family::Compound, tp, compoundName(name, c), value);
  }
}

void OutputFile::printSegmentsCompounds(double t, std::string_view name,
                                        const std::function<double(int, int)>& value,
                                        PrintSwitch& sw, std::string_view rateUnit,
                                        std::string_view cumulativeUnit, bool momentary) {
  if (!readSwitch(Family::SegmentCompound, name, sw, rateUnit, cumulativeUnit)) return;
  const double tp = printTime(t, momentary);
  if (tp <= run_.clock().timStart()) return;
  const int n = grid_.numCompounds();
  for (int c = 0; c < n; ++c) {
    selected_.clear();
    for (int i : grid_.outputSegments()) selected_.push_back(value(c, i));
    writeLine(Family::SegmentCompound, tp, compoundName(name, c), selected_);
  }
}

void OutputFile::printLayers(double t, std::string_view name,
                             const std::function<double(int, int, int)>& value, PrintSwitch& sw,
                             std::string_view rateUnit, std::string_view cumulativeUnit,
                             bool momentary) {
  if (!readSwitch(Family::Layer, name, sw, rateUnit, cumulativeUnit)) return;
  const double tp = printTime(t, momentary);
  if (tp <= run_.clock().timStart()) return;
  const int n = grid_.numCompounds();
  for (int c = 0; c < n; ++c) {
    const std::string label = compoundName(name, c);
    for (int j = 1; j <= grid_.numLayers(); ++j) {
      if (!grid_.outputLayer(j)) continue;
      selected_.clear();
      for (int i : grid_.outputSegments()) selected_.push_back(value(c, j, i));
      writeLine(Family::Layer, tp, label, selected_, j);
    }
  }
}

void OutputFile::writeXProfile(double t, const std::function<XProfilePoint(int, int)>& point) {
  const auto& names = grid_.compoundNames();
  const int n = grid_.numSeg();
  lastPrintedDate_ = calendar::dateText(t);
  for (int k = 1; k <= static_cast<int>(names.size()); ++k) {
    const std::string label = padTo("XProfile_" + names[static_cast<std::size_t>(k - 1)], 32);
    for (int i = 1; i <= n; ++i) {
      const XProfilePoint p = point(k, i);
      // Temperature and concentration below 1e-50 are written as 0.
      const double temperature = p.temWat - kKelvin;
      const double values[] = {printable(p.distance), temperature < kSmallest ? 0.0 : temperature,
                               p.depWat, p.conLiqWatLay < kSmallest ? 0.0 : p.conLiqWatLay};
      writeProfileLine(Family::XProfile, t, label, values, std::nullopt);
    }
  }
}

void OutputFile::writeZProfile(
    double t, const std::function<std::pair<double, double>(int, int, int)>& conSysLiq) {
  const auto& names = grid_.compoundNames();
  lastPrintedDate_ = calendar::dateText(t);
  for (int k = 1; k <= static_cast<int>(names.size()); ++k) {
    const std::string label = padTo("ZProfile_" + names[static_cast<std::size_t>(k - 1)], 32);
    for (int i : grid_.outputSegments()) {
      for (int j = 1; j <= grid_.numLayers(); ++j) {
        const auto [conSys, conLiq] = conSysLiq(k, j, i);
        const double values[] = {grid_.layerDepth(j), grid_.layerThetaSat(j), printable(conSys),
                                 printable(conLiq)};
        writeProfileLine(Family::ZProfile, t, label, values, i);
      }
    }
  }
}

void OutputFile::writeProfileLine(Family family, double t, std::string_view label,
                                  std::span<const double> values, std::optional<int> segment) {
  const Layout& format = layout(family);
  items_.clear();
  items_.emplace_back(timeColumn(t));
  items_.emplace_back(std::string_view(lastPrintedDate_));
  items_.emplace_back(label);
  if (segment) items_.emplace_back(std::int64_t{*segment});
  for (double v : values) items_.emplace_back(v);
  run_.output().writeLine(formatItems(format));
}

std::string OutputFile::formatItems(const Layout& format) {
  try {
    return format.write(items_);
  } catch (const LayoutError& e) {
    run_.messages().fatal("PrintVariable",
                          "Cannot write the output file with RealFormat " + *realFormat_,
                          e.what());
  }
}

}  // namespace korvan
