// Sorption of a compound: Freundlich sorption to the organic matter of
// suspended solids and of the sediment, linear sorption to macrophytes, and
// the total (system) concentration of dissolved and sorbed substance in a
// volume of water or sediment. Units inside: g, m; coefficients in m3.g-1.
#pragma once

#include <algorithm>
#include <cmath>

namespace korvan {

// Below this dissolved concentration (g.m-3) the Freundlich term is frozen at
// its value at the limit: the coefficient stays finite at C = 0 for
// exponents below 1.
inline constexpr double kConLiqMinFre = 1e-15;
// An exponent within this distance of 1 counts as linear sorption.
inline constexpr double kTolExpFre = 1e-9;

// (kConLiqMinFre / conLiqRef)^(expFre - 1): the concentration factor of the
// isotherm at the lower limit (F0).
double freundlichFrozenFactor(double conLiqRef, double expFre);

// Freundlich sorption coefficient (m3.g-1) at the dissolved concentration
// conLiq (g.m-3): cntOm x kom x (conLiq / conLiqRef)^(expFre - 1), with kom
// (m3.g-1) the coefficient per mass of organic matter and cntOm (kg.kg-1)
// the organic-matter fraction of the solids. Linear for |expFre - 1| < 1e-9.
double freundlichKd(double cntOm, double kom, double conLiq, double conLiqRef, double expFre);

// The isotherm of one compound on one kind of solids, with its frozen factor
// computed once, so that the coefficient costs one power per evaluation.
struct FreundlichIsotherm {
  double kom = 0.0;        // m3.g-1 per mass of organic matter
  double conLiqRef = 1.0;  // g.m-3
  double expFre = 1.0;     // -
  double frozen = 1.0;     // F0 = (1e-15 / conLiqRef)^(expFre - 1)
  bool linear = true;

  static FreundlichIsotherm make(double kom, double conLiqRef, double expFre) {
    return {kom, conLiqRef, expFre, freundlichFrozenFactor(conLiqRef, expFre),
            std::fabs(expFre - 1.0) < kTolExpFre};
  }

  // Kd (m3.g-1) of solids with organic-matter fraction cntOm at conLiq (g.m-3).
  // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): solids, then water
  double kd(double cntOm, double conLiq) const {
    const double kdRef = cntOm * kom;
    if (linear) return kdRef;
    if (conLiq > kConLiqMinFre) return kdRef * std::pow(conLiq / conLiqRef, expFre - 1.0);
    return kdRef * frozen;
  }
  // kd[i] = kd(cntOm, conLiq[i]) for i = 1..n, the powers raised together
  // on the vector unit (they may differ from std::pow in the last place).
  void kdArray(double cntOm, const double* conLiq, double* kd, int n) const;
};

// Mass of macrophytes per volume of water (g.m-3): the dry mass per wetted
// bottom area amaMph (g.m-2) spread over the cross-section, amaMph x P / A.
// A dry segment (A = 0) holds no water to exchange with: 0.
inline double amaMphPerVolume(double amaMph, double perWet, double area) {
  return area > 0.0 ? amaMph * perWet / area : 0.0;
}

// Total concentration in the water layer (g.m-3): dissolved, plus sorbed to
// the suspended solids (conSus g.m-3 times content g.g-1), plus sorbed to the
// macrophytes (their mass per volume of water times content g.g-1).
inline double conSysWatLay(double conLiq, double conSus, double cntSorSusSol, double amaMphWatLay,
                           double perWet, double area, double cntSorMph) {
  return conLiq + conSus * cntSorSusSol + amaMphPerVolume(amaMphWatLay, perWet, area) * cntSorMph;
}

// The dissolved concentration (g.m-3) that holds the total concentration
// conSys when capacity(C) (g.m-3 total per g.m-3 dissolved at C) is
// 1 + sorbed parts: the fixed point of C = conSys / capacity(C), started at
// conSys and ended when an iterate moves by less than 1e-4 of itself (at
// least 1e-30), or after 1000 iterates of an exponent far from 1.
template <typename Capacity>
double partitionFixedPoint(double conSys, Capacity capacity) {
  double c = conSys;
  for (int m = 0; m < 1000; ++m) {
    const double next = conSys / capacity(c);
    const bool done = std::fabs(next - c) < std::max(1e-4 * std::fabs(next), 1e-30);
    c = next;
    if (done) break;
  }
  return c;
}

// Total concentration in a sediment layer (g.m-3): pore water (porosity
// thetaSat) plus sorbed to the solids of bulk density rho (g.m-3).
inline double conSysSed(double thetaSat, double conLiq, double rho, double cntSorSed) {
  return thetaSat * conLiq + rho * cntSorSed;
}

}  // namespace korvan
