#include "report/output_file.hpp"

#include <algorithm>
#include <cmath>

#include "core/text.hpp"
#include "driver/messages.hpp"
#include "driver/run.hpp"
#include "hydrology/water_body.hpp"
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

OutputFile::OutputFile(Run& run) : run_(run) {}
OutputFile::~OutputFile() = default;

const Layout& OutputFile::layout(Family family) {
  if (!realFormat_) realFormat_ = run_.records().readText("RealFormat");
  std::optional<Layout>& cached = family == Family::Scalar ? scalarLayout_ : segmentLayout_;
  if (!cached) {
    const std::string text =
        family == Family::Scalar
            ? "(" + std::string(kTimeFormat) + ",1x,a18,1x,a20,1x," + *realFormat_ + ")"
            : "(" + std::string(kTimeFormat) + ",1x,a18,1x,a20,1x,400(1x," + *realFormat_ + ",:))";
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
                           std::span<const double> values) {
  const Layout& format = layout(family);
  lastPrintedDate_ = calendar::dateText(tp);
  items_.clear();
  items_.emplace_back(timeColumn(tp));
  items_.emplace_back(std::string_view(lastPrintedDate_));
  items_.emplace_back(name);
  for (double v : values) items_.emplace_back(printable(v));
  std::string line;
  try {
    line = format.write(items_);
  } catch (const LayoutError& e) {
    run_.messages().fatal("PrintVariable",
                          "Cannot write the output file with RealFormat " + *realFormat_,
                          e.what());
  }
  run_.output().writeLine(line);
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
  for (int i : run_.waterBody().outputSegments()) {
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

}  // namespace korvan
