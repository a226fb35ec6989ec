// The trapezoidal cross-section of the water body and of the representative
// channel: bottom width b and side slope s (horizontal per vertical), so that
// at water depth h the wetted area is b h + s h^2 and the water surface is
// b + 2 s h wide.
#pragma once

#include <cmath>

namespace korvan {

inline constexpr double kGravity = 9.81;  // m.s-2
// The critical Froude number 0.9 as the single-precision constant of the
// model, so that flows exactly at the limit are judged as it judges them.
inline constexpr double kFroudeMax = 0.8999999761581421;

struct Trapezoid {
  double widBot = 0.0;  // m
  double sloSid = 0.0;  // -

  double area(double h) const { return widBot * h + sloSid * h * h; }
  double surfaceWidth(double h) const { return widBot + 2.0 * sloSid * h; }
  double wettedPerimeter(double h) const {
    return widBot + 2.0 * h * std::sqrt(1.0 + sloSid * sloSid);
  }
  double hydraulicRadius(double h) const { return area(h) / wettedPerimeter(h); }
};

// Fr = v / sqrt(g A / B): the ratio of the flow velocity to the speed of a
// shallow-water wave over the hydraulic depth A / B. 0 for a dry section.
inline double froudeNumber(double velocity, double area, double surfaceWidth) {
  if (area <= 0.0 || surfaceWidth <= 0.0) return 0.0;
  return velocity / std::sqrt(kGravity * area / surfaceWidth);
}

}  // namespace korvan
