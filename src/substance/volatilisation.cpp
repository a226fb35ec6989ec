#include "substance/volatilisation.hpp"

#include <cassert>
#include <cmath>
#include <string>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"
#include "core/units.hpp"
#include "input/calendar.hpp"
#include "substance/compounds.hpp"
#include "substance/transformation.hpp"
#include "temperature/water_temperature.hpp"

namespace korvan {

double preVap(double preVapRef, double molEntVap, double tem, double temRefVap) {
  return preVapRef * arrheniusFactor(molEntVap, tem, temRefVap);
}

double slbWat(double slbWatRef, double molEntSlb, double tem, double temRefSlb) {
  return slbWatRef * arrheniusFactor(molEntSlb, tem, temRefSlb);
}

double cofHenry(double preVap, double molMas, double tem, double slbWat) {
  return preVap * molMas / (kGasConstant * tem * slbWat);
}

double cofTraLiq(double molMas) {
  return kCofTraLiqRef * std::sqrt(kMolMasLiqRef) / std::sqrt(molMas);
}

double cofTraGas(double molMas) {
  return kCofTraGasRef * std::sqrt(kMolMasGasRef) / std::sqrt(molMas);
}

double cofVol(double cofTraLiq, double cofTraGas, double cofHenry) {
  if (!(cofHenry > kCofHenryMin)) return 0.0;
  return 1.0 / (1.0 / cofTraLiq + 1.0 / (cofHenry * cofTraGas));
}

double flmVol(double preVapRef, double cofVol, double conLiq, double conAir, double cofHenry) {
  // A vapour pressure of 1e-10 Pa is a real pesticide property, so only an
  // exact 0 means "does not volatilise". Without transfer (kv = 0) the air
  // term is not evaluated, where KH may be 0.
  if (preVapRef == 0.0 || cofVol == 0.0) return 0.0;
  return -cofVol * (conLiq - conAir / cofHenry);
}

// ---------------------------------------------------------------------------
// Coefficients and fluxes of the compounds

void Compounds::updateVolatilisationCoefficients() {
  updateVolatilisationCoefficients(run_.waterTemperature().temWat());
}

void Compounds::updateVolatilisationCoefficients(double tem) {
  ensureCompoundArrays();
  const int n = numCompounds();
  if (!filmsReady_) {
    for (int k = 1; k <= n; ++k) {
      CofTraLiq_[compound(k)] = korvan::cofTraLiq(molMas(k));
      CofTraGas_[compound(k)] = korvan::cofTraGas(molMas(k));
    }
    filmsReady_ = true;
  }
  for (int k = 1; k <= n; ++k) {
    const std::size_t c = compound(k);
    const double p = korvan::preVap(preVapRef(k), molEntVap(k), tem, temRefVap(k));
    SlbWat_[c] = korvan::slbWat(slbWatRef(k), molEntSlb(k), tem, temRefSlb(k));
    CofHenry_[c] = korvan::cofHenry(p, molMas(k), tem, SlbWat_[c]);
    CofVol_[c] = korvan::cofVol(CofTraLiq_[c], CofTraGas_[c], CofHenry_[c]);
    ConLiqEquAir_[c] = (preVapRef(k) != 0.0 && CofVol_[c] != 0.0) ? conAir() / CofHenry_[c] : 0.0;
  }
  volatilisationReady_ = true;
}

void Compounds::updateVolatilisation(int k, std::span<const double> conLiqWatLay) {
  ensureWaterArrays();
  if (!volatilisationReady_) updateVolatilisationCoefficients();
  const int n = numSeg();
  assert(conLiqWatLay.size() > static_cast<std::size_t>(n));
  const std::size_t c = compound(k);
  const double pRef = preVapRef(k);
  const double air = conAir();
  for (int i = 1; i <= n; ++i) {
    FlmVol_(i, k) = korvan::flmVol(pRef, CofVol_[c], conLiqWatLay[static_cast<std::size_t>(i)], air,
                                   CofHenry_[c]);
  }
}

void Compounds::updateVolatilisation(const CompoundSegmentArray& conLiqWatLay) {
  for (int k = 1; k <= numCompounds(); ++k) updateVolatilisation(k, conLiqWatLay.values(k));
}

// ---------------------------------------------------------------------------
// Solubility

bool Compounds::checkSolubility(int k, std::span<const double> conLiqWatLay, double time) {
  if (solubilityWarned_) return false;
  return checkSolubility(k, conLiqWatLay, time, run_.waterTemperature().temWat());
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): time, then temperature as named
bool Compounds::checkSolubility(int k, std::span<const double> conLiqWatLay, double time,
                                double tem) {
  if (solubilityWarned_) return false;
  const int n = numSeg();
  assert(conLiqWatLay.size() > static_cast<std::size_t>(n));
  const double s = korvan::slbWat(slbWatRef(k), molEntSlb(k), tem, temRefSlb(k));
  for (int i = 1; i <= n; ++i) {
    if (!(conLiqWatLay[static_cast<std::size_t>(i)] > s)) continue;
    // Reported once: later exceedances show in the output file.
    solubilityWarned_ = true;
    const std::string slb(trim(formatLayout("(g12.5)", {s})));
    const std::string celsius(trim(formatLayout("(f8.2)", {tem - kKelvin})));
    run_.messages().warning(
        "CheckSolubility",
        "Concentration in water layer of " + name(k) + " exceeds solubility of " + slb + " mg.L-1",
        "in segment " + std::to_string(i) + " at " +
            std::string(trimRight(calendar::dateText(time))) + " and temperature of " + celsius,
        "This is first occurence; check concentrations in out file for other occurences.");
    return true;
  }
  return false;
}

}  // namespace korvan
