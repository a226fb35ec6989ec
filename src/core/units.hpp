// Constants of the conversions between the units of the input and the SI
// units inside the model.
#pragma once

namespace korvan {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kDegrees = kPi / 180.0;   // radians per degree
inline constexpr double kKelvin = 273.15;         // K at 0 degrees Celsius
inline constexpr double kSecondsPerDay = 86400.0;
inline constexpr double kSecondsPerHour = 3600.0;

}  // namespace korvan
