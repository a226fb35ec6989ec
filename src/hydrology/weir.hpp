// Discharge over the rectangular crest of a weir and its inverse. The
// coefficient 1.7 (m^0.5.s-1) is the broad-crested weir coefficient
// (2/3)^1.5 x sqrt(g) x Cd with Cd close to 1, so Q = 1.7 b h^1.5 with b the
// crest width (m) and h the height of the water above the crest (m).
#pragma once

#include <cmath>

namespace korvan {

inline constexpr double kCofWei = 1.7;  // m^0.5.s-1

// Q (m3.s-1) over a crest of width widCre with the water hgtAboveCre above
// it; no flow while the water stays at or below the crest.
inline double weirDischarge(double widCre, double hgtAboveCre) {
  return hgtAboveCre > 0.0 ? kCofWei * widCre * std::pow(hgtAboveCre, 1.5) : 0.0;
}

// The height of the water above the crest (m) that passes the discharge q:
// h = (q / (1.7 b))^(2/3); 0 for no flow.
inline double weirHeight(double q, double widCre) {
  return q > 0.0 ? std::pow(q / (kCofWei * widCre), 2.0 / 3.0) : 0.0;
}

}  // namespace korvan
