// Tolerant comparisons of doubles. Times and other sums of many small steps are
// compared with a fixed absolute tolerance of 1e-9, so that rounding in the
// last digits never decides whether a print time is reached.
#pragma once

#include <cmath>

namespace korvan::cmp {

inline constexpr double kTolerance = 1e-9;

inline bool eq(double a, double b) { return std::fabs(a - b) < kTolerance; }
inline bool ne(double a, double b) { return std::fabs(a - b) > kTolerance; }
inline bool ge(double a, double b) { return eq(a, b) || a - b > 0.0; }
inline bool gt(double a, double b) { return a - b > 0.0 && !eq(a, b); }
inline bool le(double a, double b) { return eq(a, b) || a - b < 0.0; }
inline bool lt(double a, double b) { return a - b < 0.0 && !eq(a, b); }

}  // namespace korvan::cmp
