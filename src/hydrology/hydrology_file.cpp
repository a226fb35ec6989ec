#include "hydrology/hydrology_file.hpp"

#include <array>
#include <optional>

#include "core/text_file.hpp"
#include "input/records.hpp"

namespace korvan {

namespace {

// The header lines exactly as the model writes them. The water course uses
// the pond header although it carries N + 1 discharges.
constexpr std::array<std::string_view, 2> kWeirReachHeader = {
    "*  Time   Date                  QBouUpsWatCrs  QCre       DepWatCre",
    "*                              (m3.s-1)        (m3.s-1)        (m)"};
constexpr std::array<std::string_view, 2> kPondHeader = {
    "*  Time   Date                   Qbou(0)    QBou(1)      DepWat",
    "*                               (m3.s-1)   (m3.s-1)        (m)"};
constexpr std::array<std::string_view, 1> kOrlanPondHeader = {
    "*  Time   Date                   Qbou(0)    QBou(1)      DepWat   FlwWatSpg    FlvLiqPrc"
    "   FlvLiqEvp"};

// Record layouts: time (f9.3), date (a17), then each value after a blank.
// The repeat count 99 of the water course wraps longer records onto the
// next line (the layout resumes at its last group).
constexpr std::string_view kWeirReachRecord = "(f9.3,1x,a17,1x,3(1x,e12.5))";
constexpr std::string_view kWaterCourseRecord4 = "(f9.3,1x,a17,1x,99(1x,g12.4))";
constexpr std::string_view kWaterCourseRecord5 = "(f9.3,1x,a17,1x,99(1x,g12.5))";
constexpr std::string_view kPondRecord = "(f9.3,1x,a17,1x,2(1x,g12.4),1x,g12.5)";
constexpr std::string_view kOrlanPondRecord = "(f9.3,1x,a17,1x,6(1x,g12.4))";

std::string_view initialLayout(HydFileLayout layout) {
  switch (layout) {
    case HydFileLayout::WeirReach:
      return kWeirReachRecord;
    case HydFileLayout::WaterCourse:
      return kWaterCourseRecord4;
    case HydFileLayout::Pond:
      return kPondRecord;
    case HydFileLayout::OrlanPond:
      return kOrlanPondRecord;
  }
  return kPondRecord;
}

std::string_view laterLayout(HydFileLayout layout, bool orlan) {
  if (layout == HydFileLayout::WaterCourse) {
    return orlan ? kWaterCourseRecord4 : kWaterCourseRecord5;
  }
  return initialLayout(layout);
}

// The items of the lines of one record, in free format.
class RecordItems {
 public:
  explicit RecordItems(TextFile& file) : file_(file) {}
  // A view into the current line, valid until the next call.
  std::optional<std::string_view> next() {
    for (;;) {
      if (auto item = reader_.nextView()) return item;
      if (!file_.readLine(line_)) return std::nullopt;
      reader_.assign(line_);
    }
  }

 private:
  TextFile& file_;
  std::string line_;
  FreeFormatReader reader_;
};

}  // namespace

HydrologyFile::HydrologyFile(HydFileLayout layout, bool orlan)
    : layout_(layout), initial_(initialLayout(layout)), later_(laterLayout(layout, orlan)) {}

std::span<const std::string_view> HydrologyFile::headerLines() const {
  switch (layout_) {
    case HydFileLayout::WeirReach:
      return kWeirReachHeader;
    case HydFileLayout::OrlanPond:
      return kOrlanPondHeader;
    case HydFileLayout::WaterCourse:
    case HydFileLayout::Pond:
      break;
  }
  return kPondHeader;
}

std::string HydrologyFile::formatRecord(double time, std::string_view date,
                                        std::span<const double> values, bool initial) {
  buffer_.clear();
  buffer_.emplace_back(time);
  buffer_.emplace_back(date);
  for (double v : values) buffer_.emplace_back(v);
  return (initial ? initial_ : later_).write(buffer_);
}

void HydrologyFile::skipHeader(TextFile& file) {
  file.rewind();
  std::string line;
  while (file.readLine(line)) {
    if (!line.starts_with('*')) {
      file.backspace();
      return;
    }
  }
}

bool HydrologyFile::readRecord(TextFile& file, std::span<double> values) {
  RecordItems items(file);
  // Each record starts on a line of its own: what is left on the last line
  // of the record before was skipped with it.
  const auto time = items.next();
  if (!time || !parseNumber(*time)) return false;
  if (!items.next()) return false;  // the date text
  for (double& v : values) {
    const auto item = items.next();
    if (!item) return false;
    const auto number = parseNumber(*item);
    if (!number) return false;
    v = *number;
  }
  return true;
}

}  // namespace korvan
