// Transformation of a compound: first-order rate coefficients from half-lives,
// their temperature dependence after Arrhenius, and the conversion of molar
// formation fractions of transformation products to a mass basis.
#pragma once

namespace korvan {

// Gas constant (J.mol-1.K-1) of all Arrhenius and van 't Hoff factors and the
// Henry coefficient, with the digits the model uses.
inline constexpr double kGasConstant = 8.31432;
inline constexpr double kLn2 = 0.6931471805599453;

// exp(-(molEnt / R) x (1/tem - 1/temRef)): the factor by which a rate (or a
// vapour pressure, or a solubility) at temRef (K) changes at tem (K) for the
// molar enthalpy or activation energy molEnt (J.mol-1). 1 at temRef.
double arrheniusFactor(double molEnt, double tem, double temRef);

// First-order rate coefficient (s-1) of a half-life in days: ln 2 / DT50 / 86400.
double rateCoefficientOfDT50(double dt50Days);

// Formation fraction on mass basis (g.g-1) of the molar fraction fraMol
// (mol.mol-1): each mole of parent that forms fraMol moles of daughter turns
// molMasPrt grams into fraMol x molMasDau grams.
inline double massFormationFraction(double fraMol, double molMasPrt, double molMasDau) {
  return fraMol * molMasDau / molMasPrt;
}

}  // namespace korvan
