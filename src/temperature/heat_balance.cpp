#include "temperature/heat_balance.hpp"

#include <algorithm>
#include <cmath>

#include "core/units.hpp"

namespace korvan::heat {

namespace {

// The coefficient 0.1604 of the diffuse-fraction polynomial, as the single
// precision value the model defines.
constexpr double kDiffuseKt1 = 0.16040000319480896;

// Light below a zenith angle this small falls perpendicularly; the Fresnel
// ratios become 0/0 there and take their limit.
constexpr double kNormalIncidence = 1e-6;

double square(double x) {
  return x * x;
}

}  // namespace

double saturatedVapourPressure(double tem) {
  return 611.0 * std::exp(17.27 * (tem - kKelvin) / (tem - 36.0));
}

// --- Shortwave ------------------------------------------------------------

double clearnessIndex(double fleRadShoDow, double sinElevation) {
  return std::min(fleRadShoDow / (kSolarConstant * sinElevation), 1.0);
}

// The diffuse fraction of a clearness-index correlation in three ranges;
// the direct beam is the rest.
double directFraction(double kt) {
  if (kt <= 0.22) return 0.09 * kt;
  if (kt <= 0.8) {
    const double kt2 = kt * kt;
    return 1.0 - (0.9511 - kDiffuseKt1 * kt + 4.388 * kt2 - 16.638 * kt2 * kt + 12.336 * kt2 * kt2);
  }
  return 0.835;
}

// Mean of the reflectances of the two polarisations.
double fresnelReflectance(double zenithAngle, double refractionAngle) {
  if (zenithAngle + refractionAngle < kNormalIncidence) {
    return square((kRefractiveIndexWater - 1.0) / (kRefractiveIndexWater + 1.0));
  }
  const double diff = zenithAngle - refractionAngle;
  const double sum = zenithAngle + refractionAngle;
  const double perpendicular = square(std::sin(diff)) / square(std::sin(sum));
  const double parallel = square(std::tan(diff)) / square(std::tan(sum));
  return std::min(0.5 * (perpendicular + parallel), 1.0);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the quantities in formula order
double albedo(double fleRadShoDow, double sinElevation, double zenithAngle,
              double refractionAngle) {
  // The clearness index divides by the sine of the elevation: with the sun
  // set it is not formed at all.
  if (std::asin(std::clamp(sinElevation, -1.0, 1.0)) < kMinSunElevation) return 1.0;
  const double fd = directFraction(clearnessIndex(fleRadShoDow, sinElevation));
  return fd * fresnelReflectance(zenithAngle, refractionAngle) + (1.0 - fd) * kAlbedoDiffuse;
}

double fractionReachingBottom(double depth) {
  return 0.55 * std::exp(-4.25 * depth) + 0.45 * std::exp(-1000.0 * depth);
}

// The bottom absorbs 70 % of what reaches it and sends 30 % back up through
// the water column.
Shortwave shortwave(double fleRadShoDow, double albedo, double depth) {
  const double bottom = (1.0 - albedo) * fleRadShoDow * fractionReachingBottom(depth);
  Shortwave s;
  s.fleRadShoDowSed = 0.7 * bottom;
  s.fleRadShoUpw =
      albedo * fleRadShoDow + 0.3 * bottom * (std::exp(-4.25 * depth) + std::exp(-1000.0 * depth));
  return s;
}

// --- Longwave -------------------------------------------------------------

// Brutsaert's form with the vapour pressure in hPa (0.01 x Pa).
double emissivityAir(double temAir, double fraHumAir) {
  return 1.2 * std::pow(0.01 * saturatedVapourPressure(temAir) * fraHumAir / temAir, 1.0 / 7.0);
}

double fleRadLonDow(double temAir, double fraHumAir, double fraCldCov, double fraCldCovMidLow,
                    double facCldC1, double facCldC2) {
  return emissivityAir(temAir, fraHumAir) * kStefanBoltzmann * std::pow(temAir, 4) +
         facCldC1 * fraCldCov + facCldC2 * (fraCldCov - fraCldCovMidLow);
}

double fleRadLonUpw(double temWat, double fleRadLonDow) {
  return kEmissionWater * std::pow(temWat, 4) + kReflectionLongwave * fleRadLonDow;
}

// --- Turbulent exchange ---------------------------------------------------

double airDensity(double preAir, double temAir) {
  return preAir / (kGasConstantAir * temAir);
}

// Von Karman constant squared (0.16) over the two logarithmic profiles.
double transferCoefficient(double metLvlRef) {
  return 0.16 / (std::log(metLvlRef / 0.02) * std::log(metLvlRef / 0.002));
}

double latentHeat(double temWat) {
  return 1000.0 * (2500.82 - 2.358 * (temWat - kKelvin));
}

double sensHeaFlxAirWat(const Air& air, double temWat) {
  return airDensity(air.preAir, air.temAir) * kHeatCapacityAir *
         transferCoefficient(air.metLvlRef) * air.velWnd * (temWat - air.temAir);
}

// Driven by the specific humidity at the saturated surface over that of
// the air (0.622: ratio of the molar masses of vapour and dry air).
double vapHeaFlxAirWat(const Air& air, double temWat) {
  const double qWat = 0.622 * saturatedVapourPressure(temWat) / air.preAir;
  const double qAir = 0.622 * saturatedVapourPressure(air.temAir) / air.preAir;
  return airDensity(air.preAir, air.temAir) * latentHeat(temWat) *
         transferCoefficient(air.metLvlRef) * air.velWnd * (qWat - air.fraHumAir * qAir);
}

// --- Sediment and precipitation ----------------------------------------------

double sensHeaFlxWatSed(double temWat, double thiSed) {
  if (thiSed <= 0.0) return 0.0;
  return kConductivitySediment * (kTemSedDeep - temWat) / (0.5 * thiSed);
}

// The slope of the saturation curve by Clausius-Clapeyron, then the
// psychrometric equation solved for the wet bulb.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the quantities in formula order
double temWetBulb(double temAir, double fraHumAir, double latentHeat) {
  const double es = saturatedVapourPressure(temAir);
  const double slope = latentHeat * es / (kGasConstantVapour * temAir * temAir);
  return temAir - (1.0 - fraHumAir) * es / (slope + kPsychrometric);
}

double heaFlxPrc(double flvLiqPrc, double temPrc, double temWat) {
  // Without rain the flux is a plain 0, never a negative zero in the file.
  if (flvLiqPrc == 0.0) return 0.0;
  return kHeatCapacityWater * flvLiqPrc * (temPrc - temWat);
}

// --- Balance --------------------------------------------------------------

Fluxes fluxes(const Weather& w, const Site& site, double temWat) {
  Fluxes f;
  const double a = albedo(w.fleRadShoDow, w.sinElevation, w.zenithAngle, w.refractionAngle);
  const Shortwave s = shortwave(w.fleRadShoDow, a, site.depth);
  f.fleRadShoUpw = s.fleRadShoUpw;
  f.fleRadShoDowSed = s.fleRadShoDowSed;
  f.fleRadLonDow = fleRadLonDow(w.air.temAir, w.air.fraHumAir, w.fraCldCov, w.fraCldCovMidLow,
                                site.facCldC1, site.facCldC2);
  f.fleRadLonUpw = fleRadLonUpw(temWat, f.fleRadLonDow);
  f.sensHeaFlxAirWat = sensHeaFlxAirWat(w.air, temWat);
  f.vapHeaFlxAirWat = vapHeaFlxAirWat(w.air, temWat);
  f.sensHeaFlxWatSed = sensHeaFlxWatSed(temWat, site.thiSed);
  const double tp = temWetBulb(w.air.temAir, w.air.fraHumAir, latentHeat(temWat));
  f.heaFlxPrc = heaFlxPrc(w.flvLiqPrc, tp, temWat);
  return f;
}

double netHeatFlux(double fleRadShoDow, const Fluxes& f) {
  return fleRadShoDow - f.fleRadShoDowSed - f.fleRadShoUpw + f.fleRadLonDow - f.fleRadLonUpw -
         f.sensHeaFlxAirWat - f.vapHeaFlxAirWat + f.sensHeaFlxWatSed + f.heaFlxPrc;
}

double stepTemperature(double temWat, double netHeatFlux, double depth, double dt) {
  return temWat + dt / (kHeatCapacityWater * depth) * netHeatFlux;
}

}  // namespace korvan::heat
