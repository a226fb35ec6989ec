// The hydrology file RunId.hyd: one text record per simulation time step with
// the time since the start, the date text and the discharges and depths of
// the water body, written by the hydrology pass and read back by the later
// passes. Four record layouts, by water-system type and edition.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/layout.hpp"

namespace korvan {

class TextFile;

enum class HydFileLayout {
  WeirReach,    // ZR and BRAX water course: QBouUpsWatCrs, QCre, DepWatCre
  WaterCourse,  // QBou(0..N) and the depth; Orlan adds FlwWatSpg
  Pond,         // QBou(0), QBou(1), DepWat(1)
  OrlanPond,    // QBou(0), QBou(1), DepWat(1), FlwWatSpg, FlvLiqPrc, FlvLiqEvp
};

class HydrologyFile {
 public:
  HydrologyFile(HydFileLayout layout, bool orlan);

  HydFileLayout layout() const { return layout_; }
  // The header lines written before the first record.
  std::span<const std::string_view> headerLines() const;
  // One record (a water course of more than 97 segments takes two or more
  // lines, joined by '\n'): time since the start (d), the 17-character date
  // text and the values. The initial record of the water course has its own
  // value format.
  std::string formatRecord(double time, std::string_view date, std::span<const double> values,
                           bool initial);

  // Rewinds the file and leaves it at the first line that is not a header
  // line (header lines start with an asterisk).
  static void skipHeader(TextFile& file);
  // Reads the next record in free format: the time, the date and
  // values.size() numbers, continuing on the following lines when a line
  // ends early; the rest of the last line is skipped. False at the end of
  // the file or when an item is not a number.
  static bool readRecord(TextFile& file, std::span<double> values);

 private:
  HydFileLayout layout_;
  Layout initial_;
  Layout later_;
  std::vector<LayoutValue> buffer_;
};

}  // namespace korvan
