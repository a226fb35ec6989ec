// Volatilisation of a compound from the water surface: vapour pressure and
// solubility at the water temperature, the Henry coefficient, the two-film
// transfer coefficient and the flux between water and air.
#pragma once

namespace korvan {

// The film coefficients of the two-film model scale with 1 / sqrt(molar
// mass) from reference compounds: the liquid film from 0.2 m per hour for a
// molar mass of 44 g.mol-1 (CO2), the gas film from 30 m per hour for
// 18 g.mol-1 (water vapour).
inline constexpr double kCofTraLiqRef = 1.0 / 18000.0;  // m.s-1
inline constexpr double kMolMasLiqRef = 44.0;           // g.mol-1
inline constexpr double kCofTraGasRef = 1.0 / 120.0;    // m.s-1
inline constexpr double kMolMasGasRef = 18.0;           // g.mol-1
// At or below this Henry coefficient a compound does not volatilise.
inline constexpr double kCofHenryMin = 1e-12;

// Vapour pressure (Pa) at tem (K) from preVapRef at temRefVap (van 't Hoff
// with the molar enthalpy of vaporisation molEntVap, J.mol-1).
double preVap(double preVapRef, double molEntVap, double tem, double temRefVap);
// Solubility in water (g.m-3) at tem (K) from slbWatRef at temRefSlb, with
// the molar enthalpy of dissolution molEntSlb (J.mol-1).
double slbWat(double slbWatRef, double molEntSlb, double tem, double temRefSlb);
// Dimensionless Henry coefficient: the concentration in air over that in
// water at equilibrium, P x M / (R x T x S) (Pa, g.mol-1, K, g.m-3).
double cofHenry(double preVap, double molMas, double tem, double slbWat);

// Transfer coefficients (m.s-1) of the liquid and the gas film.
double cofTraLiq(double molMas);
double cofTraGas(double molMas);
// Volatilisation coefficient (m.s-1): the liquid film and the gas film (as
// seen from the water, times the Henry coefficient) in series; 0 for a
// Henry coefficient at or below 1e-12.
double cofVol(double cofTraLiq, double cofTraGas, double cofHenry);

// Volatilisation flux (g.m-2.s-1, positive into the water): the water
// approaches the concentration in equilibrium with the air, conAir / KH.
// A compound without vapour pressure (preVapRef = 0) neither leaves nor
// takes up anything, whatever the air holds.
double flmVol(double preVapRef, double cofVol, double conLiq, double conAir, double cofHenry);

}  // namespace korvan
