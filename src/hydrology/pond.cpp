// The pond: one well-mixed segment. The MERIX pond spills over an outlet
// weir; the Orlan pond has no outlet and loses water by seepage and
// evaporation and gains it by rain.
#include <algorithm>
#include <cmath>

#include "core/run.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/water_body.hpp"
#include "hydrology/weir.hpp"
#include "input/run_options.hpp"

namespace korvan {

// --- Pond with an outlet weir -----------------------------------------------

void Hydrology::pondInitial() {
  const int n = run_.waterBody().numSeg();
  // At rest the outflow over the crest equals the base inflow.
  const double base = qBasPndInp();
  const double h = weirHeight(base, widCrePnd());
  HgtWatCrePnd_.set(h);
  DepWat_[1] = hgtCrePnd() + h;
  QBou_[0] = base;
  QBou_[n] = base;
  updateGeometry();
  updateVelocity();
}

void Hydrology::pondStep(double dt) {
  const WaterBody& wb = run_.waterBody();
  const int n = wb.numSeg();
  const double len = wb.len();
  const double area = areaSurPndInp();
  // SULKA delivers drainage and QUIB runoff from the pond's catchment; the
  // other sources deliver what their files carry (nothing for spray drift
  // only), so that every flux that enters is counted in the balance.
  const double dra = loa_ == LoadingSource::QUIB ? 0.0 : VvrLiqDra_[1];
  const double rnf = loa_ == LoadingSource::SULKA ? 0.0 : VvrLiqRnf_[1];
  QLatDra_[1] = dra * area / len;
  QLatRnf_[1] = rnf * area / len;
  const double base = qBasPndInp();
  QBou_[0] = base + area * (dra + rnf);

  // Explicit storage balance of the layer above the crest, with the outflow
  // of the start of the sub-step.
  const double outflow = QBou_[n];
  const double width = section_.surfaceWidth(DepWat_[1]);
  const double h = HgtWatCrePnd_.value() + dt * (QBou_[0] - outflow) / (width * len);
  HgtWatCrePnd_.set(h);
  DepWat_[1] = hgtCrePnd() + h;
  QBou_[n] = weirDischarge(widCrePnd(), h);
  updateGeometry();
  updateVelocity();

  volumes_.upstreamInflow += dt * base;
  volumes_.lateralInflow += dt * area * (dra + rnf);
  volumes_.outflow += dt * outflow;
}

// --- Orlan pond -------------------------------------------------------------

double Hydrology::orlanSeepage() {
  // No seepage below DepWatSpgMin: the water above it drives the flow.
  return std::max(0.0, cofRatSpgInp() * (DepWat_[1] - depWatSpgMin()));
}

void Hydrology::orlanPondInitial() {
  const int n = run_.waterBody().numSeg();
  DepWat_[1] = depWatIni();
  QBou_[0] = qBasPndInp();
  QBou_[n] = qBasPndInp();
  FlwWatSpg_.set(orlanSeepage());
  updateGeometry();
  updateVelocity();
}

void Hydrology::orlanPondStep(double dt) {
  const WaterBody& wb = run_.waterBody();
  const int n = wb.numSeg();
  const double len = wb.len();
  QBou_[n] = 0.0;  // no outlet
  // Drainage and runoff of the catchment; WidFldDra is its area over Len.
  const double widDra = widFldDra();
  QLatDra_[1] = VvrLiqDra_[1] * widDra;
  QLatRnf_[1] = VvrLiqRnf_[1] * widDra;
  const double lateral = QLatDra_[1] + QLatRnf_[1];
  const double seepage = orlanSeepage();
  FlwWatSpg_.set(seepage);

  // Seepage leaves through the exchanging perimeter, rain and evaporation
  // act on the water surface.
  const double width = section_.surfaceWidth(DepWat_[1]);
  const double perimeter = section_.wettedPerimeter(wb.depWatDefPer());
  const double prc = FlvLiqPrc_[1];
  const double evp = FlvLiqEvp_[1];
  DepWat_[1] += dt * ((QBou_[0] - QBou_[n]) / (width * len) + lateral / width + prc - evp -
                      seepage * perimeter / width);
  updateGeometry();
  updateVelocity();

  volumes_.upstreamInflow += dt * QBou_[0];
  volumes_.lateralInflow += dt * lateral * len;
  volumes_.outflow += dt * QBou_[n];
  volumes_.precipitation += dt * prc * width * len;
  volumes_.evaporation += dt * evp * width * len;
  volumes_.seepage += dt * seepage * perimeter * len;
}

}  // namespace korvan
