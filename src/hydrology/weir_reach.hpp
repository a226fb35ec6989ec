// The reach of a water course that ends at a weir (ZR and BRAX editions): the
// water body of length Len followed by DstWeiWatCrs of channel down to a
// weir. The water level is taken as parallel to the bottom, so one depth at
// the crest (DepWatCre) fixes the whole reach; its storage changes with the
// inflows minus the discharge over the crest.
#pragma once

#include "hydrology/cross_section.hpp"
#include "hydrology/weir.hpp"

namespace korvan {

struct WeirReach {
  double len = 0.0;     // L = Len + DstWeiWatCrs (m), from the upstream end to the weir
  double sloBot = 0.0;  // SloBotWatCrs (-)
  double widCre = 0.0;  // WidCreWatCrs (m)
  double hgtCre = 0.0;  // HgtCreWatCrs (m)
  Trapezoid section;    // WidWatSys, SloSidWatSys

  // Water depth at distance x from the upstream end: the level at the weir
  // minus the bottom rise S0 (L - x).
  double depthAt(double depWatCre, double x) const { return depWatCre - sloBot * (len - x); }
  // Surface width at the mean depth of the reach, h_c - S0 L / 2.
  double meanSurfaceWidth(double depWatCre) const {
    return section.widBot + 2.0 * section.sloSid * depWatCre - section.sloSid * sloBot * len;
  }
  // Cross-section at the mean depth of the reach: the reach volume over L.
  double meanArea(double depWatCre) const {
    const double d = depWatCre - 0.5 * sloBot * len;
    return (section.widBot + section.sloSid * d) * d;
  }
  // One explicit step of the reach balance: dh/dt = (q_lat L + Q_ups -
  // Q_crest) / (L B), with q_lat the lateral inflow per metre (m2.s-1).
  double nextCrestDepth(double depWatCre, double qLat, double qUps, double dt) const {
    const double width = meanSurfaceWidth(depWatCre);
    const double qCre = weirDischarge(widCre, depWatCre - hgtCre);
    return depWatCre + dt * (qLat / width + qUps / (len * width) - qCre / (len * width));
  }
  // The discharge at the weir position that closes the reach balance over a
  // step of dt seconds: inflow minus the change of storage.
  double weirPositionDischarge(double qUps, double qLat, double depWatCreBefore,
                               double depWatCreAfter, double dt) const {
    return qUps + len * (qLat - (meanArea(depWatCreAfter) - meanArea(depWatCreBefore)) / dt);
  }
  // Discharge at distance x, linear between the inflow and the weir.
  double dischargeAt(double qUps, double qWei, double x) const {
    return qUps + x / len * (qWei - qUps);
  }
};

}  // namespace korvan
