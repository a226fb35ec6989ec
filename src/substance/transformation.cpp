#include "substance/transformation.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/units.hpp"
#include "substance/compounds.hpp"
#include "temperature/water_temperature.hpp"

namespace korvan {

double arrheniusFactor(double molEnt, double tem, double temRef) {
  return std::exp(-(molEnt / kGasConstant) * (1.0 / tem - 1.0 / temRef));
}

double rateCoefficientOfDT50(double dt50Days) {
  return kLn2 / dt50Days / kSecondsPerDay;
}

// ---------------------------------------------------------------------------
// Transformation

bool Compounds::transformsInSediment() {
  return !run_.identity().isOrlan();
}

void Compounds::setTemSed(int j, double tem) {
  ensureLayerArrays();
  assert(j >= 1 && j <= numLayers());
  TemSed_[static_cast<std::size_t>(j)] = tem;
  temSedSet_[static_cast<std::size_t>(j)] = 1;
}

// The substance cycle gives every layer the water temperature; a layer it
// has not set follows the water.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): layer, then the fallback value
double Compounds::temSed(int j, double temWat) const {
  const auto J = static_cast<std::size_t>(j);
  return temSedSet_[J] ? TemSed_[J] : temWat;
}

void Compounds::updateTransformation() {
  updateTransformation(run_.waterTemperature().temWat());
}

void Compounds::updateTransformation(double temWat) {
  ensureWaterArrays();
  ensureCompoundArrays();
  const int n = numCompounds();
  const int numSegments = numSeg();
  // Transformation acts on dissolved and sorbed substance alike, so the rate
  // is the coefficient times the total concentration. The coefficients
  // depend on the temperature only: they are found again when it changed
  // (every sub-step of an outer step has the same temperatures).
  const bool newTemWat = !(temWat == temCofWat_);
  temCofWat_ = temWat;
  for (int k = 1; k <= n; ++k) {
    if (newTemWat) {
      CofTraWat_[compound(k)] =
          cofTraWatRef(k) * arrheniusFactor(molEntTraWat(k), temWat, temRefTraWat(k));
    }
    const double cof = CofTraWat_[compound(k)];
    for (int i = 1; i <= numSegments; ++i) RatTraWat_(i, k) = cof * ConSysWatLay_(i, k);
  }
  if (!transformsInSediment()) return;

  ensureSedimentArrays();
  ensureLayerArrays();
  const int numLay = numLayers();
  temCofSed_.resize(static_cast<std::size_t>(numLay) + 1, std::numeric_limits<double>::quiet_NaN());
  for (int j = 1; j <= numLay; ++j) {
    const double tem = temSed(j, temWat);
    double& last = temCofSed_[static_cast<std::size_t>(j)];
    if (tem == last) continue;
    last = tem;
    for (int k = 1; k <= n; ++k) {
      // One after the other: a parameter read for the first time is logged.
      const double cofRef = cofTraSedRef(k);
      const double molEnt = molEntTraSed(k);
      const double temRef = temRefTraSed(k);
      CofTraSed_(j, k) = cofRef * arrheniusFactor(molEnt, tem, temRef);
    }
  }
  const auto layers = static_cast<std::size_t>(numLay);
  for (int k = 1; k <= n; ++k) {
    const double* cof = CofTraSed_.values(k).data();
    for (int i = 1; i <= numSegments; ++i) {
      const double* total = ConSysSed_.values(i, k).data();
      double* rate = RatTraSed_.values(i, k).data();
      for (std::size_t j = 1; j <= layers; ++j) rate[j] = cof[j] * total[j];
    }
  }
}

// ---------------------------------------------------------------------------
// Formation

void Compounds::updateFormation() {
  ensureWaterArrays();
  const int n = numCompounds();
  const int numSegments = numSeg();
  // What a parent loses by transformation, its daughters gain in proportion
  // to the mass-basis formation fractions.
  const FormationTable& water = waterTable();
  for (int d = 1; d <= n; ++d) {
    std::span<double> rate = RatForWat_.values(d);
    std::fill(rate.begin(), rate.end(), 0.0);
    for (int p = 1; p <= n; ++p) {
      const double f = water.mass(p, d);
      if (f == 0.0) continue;
      for (int i = 1; i <= numSegments; ++i) RatForWat_(i, d) += f * RatTraWat_(i, p);
    }
  }
  if (!transformsInSediment()) return;

  ensureSedimentArrays();
  const int numLay = numLayers();
  const FormationTable& sediment = sedimentTable();
  for (int d = 1; d <= n; ++d) {
    for (int i = 1; i <= numSegments; ++i) {
      std::span<double> rate = RatForSed_.values(i, d);
      std::fill(rate.begin(), rate.end(), 0.0);
      for (int p = 1; p <= n; ++p) {
        const double f = sediment.mass(p, d);
        if (f == 0.0) continue;
        const double* parent = RatTraSed_.values(i, p).data();
        for (std::size_t j = 1; j <= static_cast<std::size_t>(numLay); ++j) {
          rate[j] += f * parent[j];
        }
      }
    }
  }
}

}  // namespace korvan
