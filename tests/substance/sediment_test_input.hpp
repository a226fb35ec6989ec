// Inputs for the tests of the water layer, the sediment and the coupled
// solvers: a chain of equal segments, a column of equal layers and a water
// layer of equal concentrations.
#pragma once

#include <cstddef>

#include "substance/compound_arrays.hpp"
#include "substance/sediment_solver.hpp"
#include "substance/water_layer.hpp"

namespace korvan::sediment_test {

// A column of equal layers under numSeg segments: vertical walls of 1 m,
// no sorption, no seepage, no transformation; diffusion cofDif.
inline SedimentSolverInput column(int layers, double thiLay, int numSeg = 1, int compounds = 1,
                                  double cofDif = 0.0) {
  SedimentSolverInput in;
  in.allocate(layers, numSeg, compounds);
  for (int j = 1; j <= layers; ++j) {
    in.thiLay[j] = thiLay;
    in.thetaSat[j] = 0.5;
    in.rho[j] = 1.0e6;
    in.cntOm[j] = 0.05;
    in.lenDisSedLiq[j] = 0.01;
    for (int k = 1; k <= compounds; ++k) in.cofDifSed(j, k) = cofDif;
  }
  for (int k = 1; k <= compounds; ++k) in.isotherm[k - 1] = FreundlichIsotherm::make(0.0, 1.0, 1.0);
  return in;
}

// Water-layer concentrations of numSeg segments, all equal to c.
inline CompoundSegmentArray water(int numSeg, int compounds, double c) {
  CompoundSegmentArray w;
  w.allocate(numSeg, compounds);
  for (int k = 1; k <= compounds; ++k) {
    for (int i = 1; i <= numSeg; ++i) w(i, k) = c;
  }
  return w;
}

// Hydraulics of numSeg segments with the same cross-section, width 1 m,
// wetted perimeter, discharge and the dispersion coefficient cofDis at every node.
inline WaterLayerHydraulics hydraulics(int numSeg, double area, double q, double cofDis,
                                       double perWet = 1.0) {
  WaterLayerHydraulics h;
  const auto n = static_cast<std::size_t>(numSeg) + 1;
  h.qBou.assign(n, q);
  h.area.assign(n, area);
  h.width.assign(n, 1.0);
  h.perWet.assign(n, perWet);
  h.cofDisPhs.assign(n, cofDis);
  return h;
}

// A chain of n segments of dx with the same hydraulics at start and end,
// without sorption; the compounds given.
inline WaterLayerInput chain(int n, double dx, double area, double q, double cofDis, double dt,
                             int compounds = 1, double perWet = 2.0) {
  WaterLayerInput in;
  in.numSeg = n;
  in.dt = dt;
  in.lenSeg.assign(static_cast<std::size_t>(n) + 1, dx);
  in.x.assign(static_cast<std::size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i) in.x[static_cast<std::size_t>(i)] = (i - 0.5) * dx;
  in.start = in.end = hydraulics(n, area, q, cofDis, perWet);
  in.compounds.resize(static_cast<std::size_t>(compounds));
  return in;
}

}  // namespace korvan::sediment_test
