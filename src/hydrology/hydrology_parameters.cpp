// The input parameters of the hydrology: each read on its first use with its
// unit and bounds, converted once to SI units, and the checks that tie
// parameters together.
#include <string>

#include "core/compare.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/units.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/water_body.hpp"
#include "input/numbers.hpp"
#include "input/run_options.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "Hydrology";
constexpr double kSquareMetresPerHectare = 10000.0;

}  // namespace

double Hydrology::parameter(std::optional<double>& cache, std::string_view keyword,
                            const FloatInput& input, double multiplier, double divisor) {
  if (!cache) cache = run_.numbers().rdFloat(keyword, input) * multiplier / divisor;
  return *cache;
}

double Hydrology::timStpHyd() {
  if (!TimStpHyd_) {
    const std::string& edition = run_.identity().callingProgram();
    if (run_.options().optInp() == InputInterval::Daily) {
      TimStpHyd_ = kSecondsPerDay;
    } else if (edition == "MERIX" || edition == "ZR" || edition == "BRAX") {
      parameter(TimStpHyd_, "TimStpHyd", {.unit = "(s)", .min = 0.001, .max = 3600.0});
    } else {
      TimStpHyd_ = 3600.0;
    }
  }
  return *TimStpHyd_;
}

// --- Constant flow --------------------------------------------------------

double Hydrology::velWatFlwBas() {
  return parameter(VelWatFlwBas_, "VelWatFlwBas",
                   {.unit = "(m.d-1)", .min = -100000.0, .max = 100000.0}, 1.0, kSecondsPerDay);
}
double Hydrology::depWatCst() {
  return parameter(DepWatCst_, "DepWat", {.unit = "(m)", .min = 0.001, .max = 10.0});
}

// --- Water course ---------------------------------------------------------

double Hydrology::qBasWatCrsInp() {
  return parameter(QBasWatCrsInp_, "QBasWatCrsInp",
                   {.unit = "(m3.d-1)", .min = 0.0, .max = 10000.0}, 1.0, kSecondsPerDay);
}
double Hydrology::areaUpsWatCrsInp() {
  return parameter(AreaUpsWatCrsInp_, "AreaUpsWatCrsInp",
                   {.unit = "(ha)", .min = 0.0, .max = 10000.0}, kSquareMetresPerHectare);
}
double Hydrology::qBasRepCha() {
  return parameter(QBasRepCha_, "QBasRepCha", {.unit = "(m3.d-1)", .min = 0.0, .max = 10000.0}, 1.0,
                   kSecondsPerDay);
}
double Hydrology::areaUpStrRepCha() {
  return parameter(AreaUpStrRepCha_, "AreaUpStrRepCha",
                   {.unit = "(ha)", .min = 0.0, .max = 10000.0}, kSquareMetresPerHectare);
}
double Hydrology::widBotRepCha() {
  return parameter(WidBotRepCha_, "WidBotRepCha", {.unit = "(m)", .min = 0.1, .max = 10.0});
}
double Hydrology::sloSidRepCha() {
  return parameter(SloSidRepCha_, "SloSidRepCha", {.unit = "(-)", .min = 0.0, .max = 0.01});
}
double Hydrology::sloBotRepCha() {
  return parameter(SloBotRepCha_, "SloBotRepCha", {.unit = "(-)", .min = 0.0, .max = 0.01});
}
double Hydrology::lenRepCha() {
  return parameter(LenRepCha_, "LenRepCha", {.unit = "(m)", .min = 10.0, .max = 2000.0});
}
double Hydrology::widCreRepCha() {
  return parameter(WidCreRepCha_, "WidCreRepCha", {.unit = "(m)", .min = 0.01, .max = 10.0});
}
double Hydrology::hgtCreRepCha() {
  return parameter(HgtCreRepCha_, "HgtCreRepCha", {.unit = "(m)", .min = 0.01, .max = 5.0});
}
double Hydrology::cofRghRef() {
  return parameter(CofRghRef_, "CofRghRef", {.unit = "(-)", .min = 1.0, .max = 100.0});
}
double Hydrology::cofVelHea() {
  return parameter(CofVelHea_, "CofVelHea", {.unit = "(-)", .min = 1.1, .max = 1.5});
}

// --- Weir reach -----------------------------------------------------------

double Hydrology::dstWeiWatCrs() {
  return parameter(DstWeiWatCrs_, "DstWeiWatCrs", {.unit = "(m)", .min = 0.0, .max = 10000.0});
}
double Hydrology::widCreWatCrs() {
  return parameter(WidCreWatCrs_, "WidCreWatCrs", {.unit = "(m)", .min = 0.01, .max = 10.0});
}
double Hydrology::hgtCreWatCrs() {
  return parameter(HgtCreWatCrs_, "HgtCreWatCrs", {.unit = "(m)", .min = 0.01, .max = 5.0});
}
double Hydrology::sloBotWatCrs() {
  return parameter(SloBotWatCrs_, "SloBotWatCrs", {.unit = "(-)", .min = 0.0, .max = 0.01});
}
double Hydrology::areaPntInp() {
  return parameter(AreaPntInp_, "AreaPntInp", {.unit = "(ha)", .min = 0.0, .max = 50.0},
                   kSquareMetresPerHectare);
}

// --- Field strips ---------------------------------------------------------

double Hydrology::widFldDra() {
  return parameter(WidFldDra_, "WidFldDra", {.unit = "(m)", .min = 0.0, .max = 1000.0});
}
double Hydrology::widFldRnf() {
  return parameter(WidFldRnf_, "WidFldRnf", {.unit = "(m)", .min = 0.0, .max = 1000.0});
}
double Hydrology::widFldErs() {
  return parameter(WidFldErs_, "WidFldErs", {.unit = "(m)", .min = 0.0, .max = 1000.0});
}

double Hydrology::widEntDra() {
  if (kind_ == HydrologyKind::Pond) return areaSurPndInp() / run_.waterBody().len();
  return widFldDra();
}
double Hydrology::widEntRnf() {
  if (kind_ == HydrologyKind::Pond) return areaSurPndInp() / run_.waterBody().len();
  // The Orlan pond takes drainage and runoff from the one catchment.
  if (kind_ == HydrologyKind::OrlanPond) return widFldDra();
  return widFldRnf();
}
double Hydrology::widEntErs() {
  if (kind_ == HydrologyKind::Pond) return areaErsSurPndInp() / run_.waterBody().len();
  return widFldErs();
}

// --- Pond -----------------------------------------------------------------

double Hydrology::areaSurPndInp() {
  return parameter(AreaSurPndInp_, "AreaSurPndInp", {.unit = "(ha)", .min = 0.0, .max = 100.0},
                   kSquareMetresPerHectare);
}
double Hydrology::areaErsSurPndInp() {
  return parameter(AreaErsSurPndInp_, "AreaErsSurPndInp",
                   {.unit = "(ha)", .min = 0.0, .max = 100.0}, kSquareMetresPerHectare);
}
double Hydrology::qBasPndInp() {
  return parameter(QBasPndInp_, "QBasPndInp", {.unit = "(m3.d-1)", .min = 0.0, .max = 50.0}, 1.0,
                   kSecondsPerDay);
}
double Hydrology::hgtCrePnd() {
  return parameter(HgtCrePnd_, "HgtCrePnd", {.unit = "(m)", .min = 0.1, .max = 5.0});
}
double Hydrology::widCrePnd() {
  return parameter(WidCrePnd_, "WidCrePnd", {.unit = "(m)", .min = 0.01, .max = 10.0});
}
double Hydrology::depWatIni() {
  return parameter(DepWatIni_, "DepWatIni", {.unit = "(m)", .min = 0.001, .max = 10.0});
}
double Hydrology::depPnd() {
  return parameter(DepPnd_, "DepPnd", {.unit = "(m)", .min = 0.001, .max = 10.0});
}
double Hydrology::cofRatSpgInp() {
  return parameter(CofRatSpgInp_, "CofRatSpgInp", {.unit = "(d-1)", .min = 0.0, .max = 10.0}, 1.0,
                   kSecondsPerDay);
}
double Hydrology::depWatSpgMin() {
  return parameter(DepWatSpgMin_, "DepWatSpgMin", {.unit = "(m)", .min = 0.0, .max = 5.0});
}

// --- Read for the loadings and the sediment -------------------------------

double Hydrology::ratInfDir() {
  return parameter(RatInfDir_, "RatInfDir", {.unit = "(-)", .min = 0.0, .max = 1.0});
}
double Hydrology::xCrpWatSysTop() {
  return parameter(XCrpWatSysTop_, "XCrpWatSysTop", {.unit = "(m)", .min = 0.0, .max = 1000.0});
}
double Hydrology::flwWatSpgInp() {
  return parameter(FlwWatSpgInp_, "FlwWatSpg", {.unit = "(m3.m-2.d-1)", .min = 0.0, .max = 0.01},
                   1.0, kSecondsPerDay);
}

// --- What each formulation reads at initialisation ---------------------

void Hydrology::readParameters() {
  const WaterBody& wb = run_.waterBody();
  switch (kind_) {
    case HydrologyKind::Constant:
      velWatFlwBas();
      depWatCst();
      break;
    case HydrologyKind::WaterCourse:
      checkRepresentativeChannel();
      qBasWatCrsInp();
      areaUpsWatCrsInp();
      widFldDra();
      widFldRnf();
      if (loa_ == LoadingSource::QUIB && cmp::gt(widFldErs(), widFldRnf())) {
        run_.messages().fatal(kRoutine,
                              " Width field contributing erosion fluxes, " +
                                  formatLayout("(f5.1)", {widFldErs()}) + " m",
                              " exceeds width field contributing runoff fluxes, " +
                                  formatLayout("(f5.1)", {widFldRnf()}) + " m");
      }
      break;
    case HydrologyKind::WeirReach:
      dstWeiWatCrs();
      widCreWatCrs();
      hgtCreWatCrs();
      sloBotWatCrs();
      widFldDra();
      if (brax()) {
        areaPntInp();
      } else {
        qBasWatCrsInp();
      }
      reach_ = {wb.len() + dstWeiWatCrs(), sloBotWatCrs(), widCreWatCrs(), hgtCreWatCrs(),
                section_};
      break;
    case HydrologyKind::Pond:
      checkOnePondSegment();
      areaSurPndInp();
      qBasPndInp();
      hgtCrePnd();
      widCrePnd();
      if (cmp::gt(areaErsSurPndInp(), areaSurPndInp())) {
        run_.messages().fatal(
            kRoutine,
            " Area contributing erosion fluxes, " +
                formatLayout("(f4.1)", {areaErsSurPndInp() / kSquareMetresPerHectare}) + " ha",
            " exceeds area contributing runoff fluxes, " +
                formatLayout("(f4.1)", {areaSurPndInp() / kSquareMetresPerHectare}) + " ha");
      }
      break;
    case HydrologyKind::OrlanPond:
      checkOnePondSegment();
      areaSurPndInp();
      qBasPndInp();
      depWatIni();
      depPnd();
      cofRatSpgInp();
      depWatSpgMin();
      // The pond's drainage comes from its catchment: the strip width that
      // gives the catchment area over the length of the pond.
      WidFldDra_ = areaSurPndInp() / wb.len();
      break;
  }
}

void Hydrology::checkRepresentativeChannel() {
  qBasRepCha();
  areaUpStrRepCha();
  repCha_ = {widBotRepCha(), sloSidRepCha(), sloBotRepCha(), lenRepCha(),
             widCreRepCha(), hgtCreRepCha(), cofRghRef(),    cofVelHea()};
  // The crest must leave at least 0.5 m of the channel width at crest height
  // for the flow to contract onto it.
  if (cmp::ge(repCha_.widCre + 0.5, repCha_.widBot + 2.0 * repCha_.hgtCre * repCha_.sloSid)) {
    run_.messages().fatal(kRoutine, "Dimensions representative channel not correct",
                          "Width of the crest + 0.50 m is larger than channel width at crest "
                          "height");
  }
}

void Hydrology::checkOnePondSegment() {
  // The pond is one well-mixed segment, and its record in the hydrology file
  // carries one outflow and one depth.
  if (run_.waterBody().numSeg() != 1) {
    run_.messages().fatal(kRoutine, "A pond is one segment: NumSeg in table WaterBody must be 1");
  }
}

}  // namespace korvan
