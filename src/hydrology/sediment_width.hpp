// The width of the sediment under a trapezoidal water body at a depth z below
// the sediment surface (z <= 0): the exchanging perimeter at the surface,
// widening downward along lines that bisect the angle between the bank and
// the vertical.
#pragma once

#include <cmath>

#include "core/compare.hpp"

namespace korvan {

// t = tan(atan(1 / s) / 2), the widening per metre of depth on each side;
// 1 for vertical banks (s = 0) under a water body with an exchanging depth.
inline double halfAngleFactor(double sloSid, double depWatDefPer) {
  if (cmp::eq(sloSid, 0.0) && depWatDefPer > 0.0) return 1.0;
  return std::tan(0.5 * std::atan2(1.0, sloSid));
}

// W(z) = b - 2 z t + 2 (d - z) sqrt(1 + s^2); just b when the water body has
// vertical banks and no exchanging depth.
inline double sedimentWidth(double z, double widWatSys, double sloSid, double depWatDefPer) {
  if (cmp::eq(sloSid, 0.0) && cmp::eq(depWatDefPer, 0.0)) return widWatSys;
  const double t = halfAngleFactor(sloSid, depWatDefPer);
  return widWatSys - 2.0 * z * t + 2.0 * (depWatDefPer - z) * std::sqrt(1.0 + sloSid * sloSid);
}

}  // namespace korvan
