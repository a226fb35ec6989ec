// Constant flow and the two water-course formulations: the water course
// under a representative channel (a backwater curve sets one depth for the
// whole water body and continuity the discharges), and the reach that ends
// at a weir (ZR and BRAX).
#include "core/compare.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "hydrology/channel_messages.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/lateral_entries.hpp"
#include "hydrology/water_body.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "Hydrology";
// The depth at the upstream end of the water body may exceed the depth at
// its downstream end by this fraction of LenRepCha.
constexpr double kMaxDepthDifference = 0.002;

}  // namespace

// --- Constant flow --------------------------------------------------------

void Hydrology::constantState() {
  const WaterBody& wb = run_.waterBody();
  const double depth = depWatCst();
  for (int i = 1; i <= wb.numSeg(); ++i) DepWat_[i] = depth;
  updateGeometry();
  // Any sign of the velocity is accepted: a constant flow may run upstream.
  const double velocity = velWatFlwBas();
  for (int i = 0; i <= wb.numSeg(); ++i) {
    VelWatFlw_[i] = velocity;
    QBou_[i] = velocity * AreaWat_[i];
  }
}

// --- Water course with a representative channel ---------------------------

void Hydrology::waterCourseStep(double dt, bool initial) {
  const WaterBody& wb = run_.waterBody();
  const int n = wb.numSeg();
  const double widDra = widFldDra();
  const double widRnf = widFldRnf();
  for (int i = 1; i <= n; ++i) {
    QLatDra_[i] = VvrLiqDra_[i] * widDra;
    QLatRnf_[i] = VvrLiqRnf_[i] * widRnf;
  }
  // The catchments upstream see the same fluxes per m2 as the fields.
  const double flux = VvrLiqDra_[1] + VvrLiqRnf_[1];
  representativeChannelDepth(qBasRepCha() + flux * areaUpStrRepCha());
  for (int i = 1; i <= n; ++i) DepWat_[i] = DepWatRepCha_.value();
  updateGeometry();
  if (initial) keepPrevious();

  // Continuity along the segments: what flows in, minus what is stored,
  // plus what enters from the sides, flows out.
  QBou_[0] = qBasWatCrsInp() + areaUpsWatCrsInp() * flux;
  double lateral = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double lenSeg = wb.lenSeg(i);
    const double inflow = lenSeg * (QLatDra_[i] + QLatRnf_[i]);
    QBou_[i] = QBou_[i - 1] - lenSeg * (AreaWat_[i] - AreaWatPrv_[i]) / dt + inflow;
    lateral += inflow;
  }
  updateVelocity();
  if (!initial) {
    volumes_.upstreamInflow += dt * QBou_[0];
    volumes_.lateralInflow += dt * lateral;
    volumes_.outflow += dt * QBou_[n];
  }
}

void Hydrology::representativeChannelDepth(double qRep) {
  // The curve depends on the discharge alone: an unchanged discharge (a dry
  // spell, or constant base flow) keeps its depth.
  if (curveQRep_ && *curveQRep_ == qRep) return;
  Messages& messages = run_.messages();
  const double hWei = weirDepth(repCha_, qRep);

  const UniformDepth uniform = findUniformDepth(repCha_, qRep, hWei);
  checkUniformDepth(messages, uniform);

  const Trapezoid shape = repCha_.section();
  const double area = shape.area(uniform.depth);
  const double froude =
      area > 0.0 ? froudeNumber(qRep / area, area, shape.surfaceWidth(uniform.depth)) : 0.0;
  FroRepCha_.set(froude);
  if (froude > kFroudeMax) froudeFatal(froude);

  checkBackwaterCurve(messages, computeBackwaterCurve(repCha_, qRep, hWei, uniform.depth, curve_));

  // The water body lies from LenRepCha - Len to LenRepCha upstream of the
  // weir; one depth holds for all of it while the curve is flat enough there.
  const double depth = depthAtDistance(curve_, repCha_.len);
  const double upstream = depthAtDistance(curve_, repCha_.len - run_.waterBody().len());
  if (cmp::gt(upstream - depth, kMaxDepthDifference * repCha_.len)) {
    messages.fatal(kRoutine, "Assumption of constant water depth is violated",
                   "Difference in water depth between upstream and downstream end",
                   "of watercourse > 2% of length of watercourse");
  }
  DepWatRepCha_.set(depth);
  curveQRep_ = qRep;
}

// --- Reach ending at a weir (ZR, BRAX) ------------------------------------

double Hydrology::weirReachUpstreamInflow(int k, int numSubSteps) {
  if (!brax()) return qBasWatCrsInp();
  // The discharge of the upstream model moves linearly from its previous to
  // its current record over the sub-steps; the paved area drains at the
  // current record's rate.
  const LateralEntries& entries = run_.lateralEntries();
  const double increment = (entries.qZando() - entries.qZandoPrevious()) / numSubSteps;
  return entries.qZandoPrevious() + k * increment + areaPntInp() * entries.flvPaved();
}

void Hydrology::weirReachInitial() {
  const LateralEntries& entries = run_.lateralEntries();
  DepWatCre_.set(reach_.hgtCre);
  const double qUps =
      brax() ? entries.qZando() + areaPntInp() * entries.flvPaved() : qBasWatCrsInp();
  QBouUpsWatCrs_.set(qUps);
  QCre_.set(weirDischarge(reach_.widCre, 0.0));
  // At rest the discharge at the weir position is what enters the reach.
  QWeiWatCrs_.set(qUps + reach_.len * VvrLiqDra_[1] * widFldDra());
  weirReachProfile(qUps, QWeiWatCrs_.value());
}

void Hydrology::weirReachStep(int numSubSteps, double dt) {
  const WaterBody& wb = run_.waterBody();
  const LateralEntries& entries = run_.lateralEntries();
  setLateral(brax() ? 0.0 : entries.vvrLiqDra(), entries.vvrLiqRnf());
  keepPrevious();
  const double qLat = VvrLiqDra_[1] * widFldDra();
  const double before = DepWatCre_.value();
  for (int k = 0; k < numSubSteps; ++k) {
    weirReachSubStep(dt, weirReachUpstreamInflow(k, numSubSteps), qLat);
  }
  // Continuity over the whole step gives the discharge at the weir position
  // and, interpolated, at every node. The step's own length is used (3600 s
  // for hourly input), so that the reach balance closes for daily input too.
  const double seconds = stepSeconds();
  const double qUps = QBouUpsWatCrs_.value();
  QWeiWatCrs_.set(reach_.weirPositionDischarge(qUps, qLat, before, DepWatCre_.value(), seconds));
  weirReachProfile(qUps, QWeiWatCrs_.value());
  // The discharges exist once per step here, so the print means count them
  // over the whole step.
  accumulatePrint(seconds);

  double lateral = 0.0;
  for (int i = 1; i <= wb.numSeg(); ++i) {
    QLatDra_[i] = VvrLiqDra_[i] * widFldDra();
    lateral += QLatDra_[i] * wb.lenSeg(i);
  }
  volumes_.lateralInflow += seconds * lateral;
  volumes_.upstreamInflow += seconds * qUps;
  volumes_.outflow += seconds * QBou_[wb.numSeg()];
}

void Hydrology::weirReachSubStep(double dt, double qUps, double qLat) {
  QBouUpsWatCrs_.set(qUps);
  const double next = reach_.nextCrestDepth(DepWatCre_.value(), qLat, qUps, dt);
  // The explicit step overshot: more water left over the crest than stood
  // above it.
  if (next < reach_.hgtCre) {
    run_.messages().fatal(
        kRoutine, " Calculated water depth lower then height of weir",
        " Numerical solution becomes unstable, take smaller time step for hydrology (DelTimHyd)");
  }
  DepWatCre_.set(next);
  QCre_.set(weirDischarge(reach_.widCre, next - reach_.hgtCre));
}

void Hydrology::weirReachProfile(double qUps, double qWei) {
  const WaterBody& wb = run_.waterBody();
  const double hc = DepWatCre_.value();
  for (int i = 1; i <= wb.numSeg(); ++i) DepWat_[i] = reach_.depthAt(hc, wb.x(i));
  for (int i = 0; i <= wb.numSeg(); ++i) QBou_[i] = reach_.dischargeAt(qUps, qWei, wb.xBou(i));
  updateGeometry();
  updateVelocity();
}

}  // namespace korvan
