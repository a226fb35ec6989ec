// The heat balance of the water layer: the pure formulas of the shortwave
// and longwave radiation, the turbulent exchange with the air, the heat flux
// from the sediment and the heat of precipitation, and the explicit step of
// the water temperature. Temperatures in K, fluxes in W.m-2, depths in m.
#pragma once

namespace korvan::heat {

// Specific heat of water per volume (J.m-3.K-1).
inline constexpr double kHeatCapacityWater = 4.19e6;
// Stefan-Boltzmann constant (W.m-2.K-4).
inline constexpr double kStefanBoltzmann = 5.67e-8;
// Emissivity of water 0.97 folded into the constant: 0.97 x 5.67e-8.
inline constexpr double kEmissionWater = 5.4999e-8;
// The part of the atmospheric longwave that water reflects, 1 - 0.97.
inline constexpr double kReflectionLongwave = 0.03;
inline constexpr double kGasConstantAir = 287.0;       // J.kg-1.K-1
inline constexpr double kGasConstantVapour = 462.0;    // J.kg-1.K-1
inline constexpr double kHeatCapacityAir = 1005.0;     // J.kg-1.K-1
inline constexpr double kPsychrometric = 66.0;         // Pa.K-1
inline constexpr double kSolarConstant = 1367.0;       // W.m-2
inline constexpr double kConductivitySediment = 0.57;  // W.m-1.K-1
inline constexpr double kTemSedDeep = 290.15;          // K, below the sediment layers
inline constexpr double kRefractiveIndexWater = 1.33;
// Albedo of diffuse light on a water surface.
inline constexpr double kAlbedoDiffuse = 0.06;
// A sun lower than this elevation (rad) counts as set.
inline constexpr double kMinSunElevation = 0.001;

// Saturated vapour pressure over water (Pa) at temperature T (K).
double saturatedVapourPressure(double tem);

// --- Shortwave ------------------------------------------------------------

// Clearness index kt: global radiation over the radiation at the top of the
// atmosphere, at most 1. Needs a sun above the horizon (sinElevation > 0).
double clearnessIndex(double fleRadShoDow, double sinElevation);
// Fraction of the global radiation that arrives as direct beam.
double directFraction(double clearnessIndex);
// Fresnel reflectance of unpolarised direct light on a flat water surface
// for the zenith angle and the refraction angle (rad), at most 1.
double fresnelReflectance(double zenithAngle, double refractionAngle);
// Albedo of the water surface: 1 with the sun set, otherwise the direct part
// reflected by Fresnel and the diffuse part by 0.06.
double albedo(double fleRadShoDow, double sinElevation, double zenithAngle, double refractionAngle);
// Fraction of the absorbed shortwave that reaches the bottom through water of
// depth h: a red-infrared band taken up in the first millimetres and a
// visible band with an extinction of 4.25 m-1.
double fractionReachingBottom(double depth);

struct Shortwave {
  double fleRadShoDowSed = 0.0;  // absorbed by the sediment
  double fleRadShoUpw = 0.0;     // reflected at the surface and from the bottom
};
Shortwave shortwave(double fleRadShoDow, double albedo, double depth);

// --- Longwave -------------------------------------------------------------

// Clear-sky emissivity of the air at temperature Ta (K) and relative
// humidity RH (-).
double emissivityAir(double temAir, double fraHumAir);
// Atmospheric longwave with the cloud terms (FacCldC1, FacCldC2 in W.m-2).
double fleRadLonDow(double temAir, double fraHumAir, double fraCldCov, double fraCldCovMidLow,
                    double facCldC1, double facCldC2);
// Longwave emitted by the water plus the reflected part of the incoming.
double fleRadLonUpw(double temWat, double fleRadLonDow);

// --- Turbulent exchange ---------------------------------------------------

// Density of the air (kg.m-3) at pressure P (Pa) and temperature Ta (K).
double airDensity(double preAir, double temAir);
// Bulk transfer coefficient of heat and vapour for a measuring height z (m)
// over water: roughness 0.02 m for momentum and 0.002 m for heat.
double transferCoefficient(double metLvlRef);
// Latent heat of vaporisation (J.kg-1) at the water temperature (K).
double latentHeat(double temWat);

struct Air {
  double temAir = 0.0;     // K
  double fraHumAir = 0.0;  // -
  double preAir = 0.0;     // Pa
  double velWnd = 0.0;     // m.s-1 at metLvlRef
  double metLvlRef = 0.0;  // m
};
// Sensible heat from water to air.
double sensHeaFlxAirWat(const Air& air, double temWat);
// Latent heat of evaporation from water to air.
double vapHeaFlxAirWat(const Air& air, double temWat);

// --- Sediment and precipitation ----------------------------------------------

// Conduction from the deep sediment (290.15 K) over half the thickness of
// the sediment layers; 0 without sediment.
double sensHeaFlxWatSed(double temWat, double thiSed);
// Wet-bulb temperature (K) at which rain arrives, with the latent heat L.
double temWetBulb(double temAir, double fraHumAir, double latentHeat);
// Heat brought by precipitation (FlvLiqPrc in m.s-1) of temperature Tp.
double heaFlxPrc(double flvLiqPrc, double temPrc, double temWat);

// --- Balance --------------------------------------------------------------

// The weather of one step, SI units, angles in rad.
struct Weather {
  double fleRadShoDow = 0.0;
  double sinElevation = 0.0;
  double zenithAngle = 0.0;
  double refractionAngle = 0.0;
  Air air;
  double fraCldCov = 0.0;
  double fraCldCovMidLow = 1.0;
  double flvLiqPrc = 0.0;
};

// The eight terms of the balance besides the incoming shortwave.
struct Fluxes {
  double fleRadShoUpw = 0.0;
  double fleRadShoDowSed = 0.0;
  double fleRadLonDow = 0.0;
  double fleRadLonUpw = 0.0;
  double sensHeaFlxAirWat = 0.0;
  double vapHeaFlxAirWat = 0.0;
  double sensHeaFlxWatSed = 0.0;
  double heaFlxPrc = 0.0;
};

struct Site {
  double depth = 0.0;     // m, mean water depth
  double thiSed = 0.0;    // m, total thickness of the sediment layers
  double facCldC1 = 0.0;  // W.m-2
  double facCldC2 = 0.0;  // W.m-2
};

// All terms at the water temperature Tw, in the order shortwave, longwave,
// turbulent, sediment, precipitation.
Fluxes fluxes(const Weather& weather, const Site& site, double temWat);
// Net heat gained by the water layer (W.m-2).
double netHeatFlux(double fleRadShoDow, const Fluxes& f);
// One explicit step of dt seconds of a water column of depth h.
double stepTemperature(double temWat, double netHeatFlux, double depth, double dt);

}  // namespace korvan::heat
