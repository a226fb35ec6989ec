#include "substance/sorption.hpp"

#include <cassert>

#include "core/run.hpp"
#include "core/vector_math.hpp"
#include "hydrology/cross_section.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/water_body.hpp"
#include "substance/compounds.hpp"

namespace korvan {

double freundlichFrozenFactor(double conLiqRef, double expFre) {
  return std::pow(kConLiqMinFre / conLiqRef, expFre - 1.0);
}

double freundlichKd(double cntOm, double kom, double conLiq, double conLiqRef, double expFre) {
  return FreundlichIsotherm::make(kom, conLiqRef, expFre).kd(cntOm, conLiq);
}

void FreundlichIsotherm::kdArray(double cntOm, const double* conLiq, double* kd, int n) const {
  const double kdRef = cntOm * kom;
  const auto last = static_cast<std::size_t>(n);
  if (linear) {
    std::fill(kd + 1, kd + last + 1, kdRef);
    return;
  }
  // The concentration ratios first (1 below the lower limit, whose power is
  // not used), then their powers in one pass.
  for (std::size_t i = 1; i <= last; ++i) {
    kd[i] = conLiq[i] > kConLiqMinFre ? conLiq[i] / conLiqRef : 1.0;
  }
  vecmath::powArray(kd + 1, expFre - 1.0, kd + 1, last);
  for (std::size_t i = 1; i <= last; ++i) {
    kd[i] = conLiq[i] > kConLiqMinFre ? kdRef * kd[i] : kdRef * frozen;
  }
}

// ---------------------------------------------------------------------------
// Isotherms of the compounds

const FreundlichIsotherm& Compounds::isothermSusSol(int k) {
  if (isoSusSol_.empty()) [[unlikely]] {
    for (int c = 1; c <= numCompounds(); ++c) {
      isoSusSol_.push_back(
          FreundlichIsotherm::make(komSusSol(c), conLiqRefSusSol(c), expFreSusSol(c)));
    }
  }
  return isoSusSol_[compound(k)];
}

const FreundlichIsotherm& Compounds::isothermSed(int k) {
  if (isoSed_.empty()) [[unlikely]] {
    for (int c = 1; c <= numCompounds(); ++c) {
      isoSed_.push_back(FreundlichIsotherm::make(komSed(c), conLiqRefSed(c), expFreSed(c)));
    }
  }
  return isoSed_[compound(k)];
}

double Compounds::kdSusSolAt(int k, double conLiq) {
  return isothermSusSol(k).kd(solids().cntOmSusSol, conLiq);
}

double Compounds::kdSedAt(int j, int k, double conLiq) {
  return isothermSed(k).kd(layers().cntOm[static_cast<std::size_t>(j)], conLiq);
}

// ---------------------------------------------------------------------------
// Water layer

void Compounds::updateSorptionWater(int k, std::span<const double> conLiqWatLay) {
  ensureWaterArrays();
  const int n = numSeg();
  assert(conLiqWatLay.size() > static_cast<std::size_t>(n));
  const FreundlichIsotherm& iso = isothermSusSol(k);
  const double cntOm = solids().cntOmSusSol;
  const double cofMph = cofSorMph(k);
  iso.kdArray(cntOm, conLiqWatLay.data(), KdSusSol_.values(k).data(), n);
  for (int i = 1; i <= n; ++i) {
    const double c = conLiqWatLay[static_cast<std::size_t>(i)];
    CntSorSusSol_(i, k) = KdSusSol_(i, k) * c;
    CntSorMph_(i, k) = cofMph * c;
  }
}

void Compounds::updateSorptionWater(const CompoundSegmentArray& conLiqWatLay) {
  for (int k = 1; k <= numCompounds(); ++k) updateSorptionWater(k, conLiqWatLay.values(k));
}

void Compounds::updateConSysWatLay(int k, std::span<const double> conLiqWatLay) {
  ensureWaterArrays();
  const int n = numSeg();
  assert(conLiqWatLay.size() > static_cast<std::size_t>(n));
  WaterBody& wb = run_.waterBody();
  const Hydrology& hydrology = run_.hydrology();
  // The wetted perimeter of each segment at its own depth, so that the
  // macrophytes on its wetted bottom meet the water of its own cross-section.
  const Trapezoid section{wb.widWatSys(), wb.sloSidWatSys()};
  const WaterLayerSolids& s = solids();
  for (int i = 1; i <= n; ++i) {
    ConSysWatLay_(i, k) = korvan::conSysWatLay(
        conLiqWatLay[static_cast<std::size_t>(i)], s.conSus, CntSorSusSol_(i, k), s.amaMphWatLay,
        section.wettedPerimeter(hydrology.depWat(i)), hydrology.area(i), CntSorMph_(i, k));
  }
}

void Compounds::updateConSysWatLay(const CompoundSegmentArray& conLiqWatLay) {
  for (int k = 1; k <= numCompounds(); ++k) updateConSysWatLay(k, conLiqWatLay.values(k));
}

double Compounds::conLiqWatLayIni(int i) {
  WaterBody& wb = run_.waterBody();
  const Hydrology& hydrology = run_.hydrology();
  const Trapezoid section{wb.widWatSys(), wb.sloSidWatSys()};
  const WaterLayerSolids& s = solids();
  const FreundlichIsotherm& iso = isothermSusSol(1);
  // Macrophytes as in updateConSysWatLay: on the wetted bottom of the segment.
  const double mph =
      cofSorMph(1) * amaMphPerVolume(s.amaMphWatLay, section.wettedPerimeter(hydrology.depWat(i)),
                                     hydrology.area(i));
  return partitionFixedPoint(
      conSysWatIni(), [&](double c) { return 1.0 + s.conSus * iso.kd(s.cntOmSusSol, c) + mph; });
}

// ---------------------------------------------------------------------------
// Sediment

void Compounds::updateSorptionSed(int i, int k, std::span<const double> conLiqSed) {
  ensureSedimentArrays();
  const SedimentLayers& l = layers();
  const int numLay = numLayers();
  assert(conLiqSed.size() > static_cast<std::size_t>(numLay));
  const FreundlichIsotherm& iso = isothermSed(k);
  for (int j = 1; j <= numLay; ++j) {
    const auto J = static_cast<std::size_t>(j);
    const double kd = iso.kd(l.cntOm[J], conLiqSed[J]);
    KdSed_(j, i, k) = kd;
    CntSorSed_(j, i, k) = kd * conLiqSed[J];
  }
}

void Compounds::updateSorptionSed(const CompoundSedimentArray& conLiqSed) {
  for (int k = 1; k <= numCompounds(); ++k) {
    for (int i = 1; i <= numSeg(); ++i) updateSorptionSed(i, k, conLiqSed.values(i, k));
  }
}

void Compounds::updateSediment(const CompoundSedimentArray& conLiqSed,
                               const CompoundSedimentArray& kdSed) {
  ensureSedimentArrays();
  const SedimentLayers& l = layers();
  const auto numLay = static_cast<std::size_t>(numLayers());
  const double* theta = l.thetaSat.data();
  const double* rho = l.rho.data();
  for (int k = 1; k <= numCompounds(); ++k) {
    for (int i = 1; i <= numSeg(); ++i) {
      const double* c = conLiqSed.values(i, k).data();
      const double* kd = kdSed.values(i, k).data();
      double* kdOut = KdSed_.values(i, k).data();
      double* sorbed = CntSorSed_.values(i, k).data();
      double* total = ConSysSed_.values(i, k).data();
      for (std::size_t j = 1; j <= numLay; ++j) {
        const double s = kd[j] * c[j];
        kdOut[j] = kd[j];
        sorbed[j] = s;
        total[j] = korvan::conSysSed(theta[j], c[j], rho[j], s);
      }
    }
  }
}

void Compounds::updateConSysSed(int i, int k, std::span<const double> conLiqSed) {
  ensureSedimentArrays();
  const SedimentLayers& l = layers();
  const auto numLay = static_cast<std::size_t>(numLayers());
  assert(conLiqSed.size() > numLay);
  const double* theta = l.thetaSat.data();
  const double* rho = l.rho.data();
  const double* sorbed = CntSorSed_.values(i, k).data();
  double* total = ConSysSed_.values(i, k).data();
  for (std::size_t j = 1; j <= numLay; ++j) {
    total[j] = korvan::conSysSed(theta[j], conLiqSed[j], rho[j], sorbed[j]);
  }
}

void Compounds::updateConSysSed(const CompoundSedimentArray& conLiqSed) {
  for (int k = 1; k <= numCompounds(); ++k) {
    for (int i = 1; i <= numSeg(); ++i) updateConSysSed(i, k, conLiqSed.values(i, k));
  }
}

}  // namespace korvan
