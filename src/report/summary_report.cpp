#include "report/summary_report.hpp"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <span>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/text.hpp"
#include "core/text_file.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/water_body.hpp"
#include "input/calendar.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "report/concentration_tables.hpp"
#include "report/exposure_file.hpp"
#include "report/substance_reports.hpp"
#include "report/targets.hpp"
#include "substance/compounds.hpp"
#include "substance/loadings.hpp"
#include "substance/substance_cycle.hpp"

namespace korvan {
namespace {

using std::int64_t;
using std::string_view;

// A time a little after a step boundary belongs to the period that follows.
constexpr double kAfter = 1e-6;  // d
constexpr double kKelvin = 273.15;
// m3.g-1 to L.kg-1.
constexpr double kPerGramToLitrePerKg = 1.0e6;
// g to ug (and g.m-3 to ug.L-1).
constexpr double kMicro = 1000.0;
// m.s-1 to mm.hr-1, and g.m-2.s-1 to mg.m-2.hr-1.
constexpr double kPerSecondToMilliPerHour = 3.6e6;
constexpr std::size_t kMaxLine = 250;

// --- Opening sections --------------------------------------------------------
constexpr string_view kScenario = R"(("* Scenario                : ",a))";
constexpr string_view kMeteoStation = R"(("* Meteo Station           : ",a))";
constexpr string_view kSubstance = R"(("* Substance               : ",a))";
constexpr string_view kFlowType = R"(("* Flow Type               : ",a))";
constexpr string_view kWaterBodyType = R"(("* Water Body Type         : ",a))";
constexpr string_view kApplicationScheme = R"(("* Application Scheme      : ",a))";
constexpr string_view kSimulationPeriod = R"(("* Simulation Period       : ",a))";
constexpr string_view kEndHeader = "* End of KORVAN REPORT: Header";
constexpr string_view kMissingText = "-";

constexpr string_view kPropertiesSection =
    "* KORVAN REPORT: Substance properties and substance loadings";
constexpr string_view kEndPropertiesSection =
    "* End of KORVAN REPORT: Substance properties and substance loadings";
constexpr string_view kSummaryFor = "* Summary for the following substances";
constexpr string_view kSubstanceNumber = R"(("* Substance ",i2,":  ",a6))";
constexpr string_view kMolarMass = R"(("* Molar mass (g.mol-1)           : ", f8.1))";
constexpr string_view kVapourPressure =
    R"(("* Saturated vapour pressure (Pa) : ", e10.3, "  measured at (C) : ", f4.1))";
constexpr string_view kSolubility =
    R"(("* Water solubility (mg.L-1)      : ", e10.3, "  measured at (C) : ", f4.1))";
constexpr string_view kHalfLifeWater =
    R"(("* Half-life in water (d)         : ", f10.2, "  measured at (C) : ", f4.1))";
constexpr string_view kHalfLifeSediment =
    R"(("* Half-life in sediment (d)      : ", f10.2, "  measured at (C) : ", f4.1))";
constexpr string_view kKomSusSol =
    R"(("* Kom susp.solids (coef. for sorption on organic matter) (L.kg-1) : ", f10.2))";
constexpr string_view kFreundlich =
    R"(("* Freundlich exponent (-)                                         : ", f10.2))";
constexpr string_view kKomSed =
    R"(("* Kom sediment (coef. for sorption on organic matter)    (L.kg-1) : ", f10.2))";
constexpr string_view kKmp =
    R"(("* Kmp (coef. for sorption on macrophytes-dry weight)     (L.kg-1) : ", f10.2))";
constexpr string_view kFormedInWater = R"(("* Metabolite formed in water: ",a6," -> ",a6,f6.2))";
constexpr string_view kFormedInSediment =
    R"(("* Metabolite formed in sediment: ",a6," -> ",a6,f6.2))";

constexpr string_view kLoadingsSummary = "* Summary for the substance loadings";
constexpr string_view kApplicationPattern =
    "* Application pattern and deposition by drift on water surface";
constexpr string_view kNoLateral = "* No lateral entries";
constexpr string_view kDralo = "* Lateral entry: drainage       Simulated by: DRALO";
constexpr string_view kSulka = "* Lateral entry: drainage       Simulated by: SULKA";
constexpr string_view kQuib = "* Lateral entries: runoff and erosion       Simulated by: QUIB";
constexpr string_view kBrax =
    "* No lateral entries; entry from greenhouse basin simulated by: BRAX";
constexpr string_view kSoilMetabolite = R"(("* Soil metabolite: ",a6))";
constexpr string_view kMaximumFluxes = "* Maximum hourly fluxes from lateral entries";
constexpr string_view kMaximumFluxesColumns =
    "* Year   Type      Water/Substance  Flux                       Date";
constexpr string_view kWaterFluxRow = "(2x,i4,3x,8x,2x,a5,8x,a12,2x,a11,6x,a17)";
constexpr string_view kSubstanceFluxRow = "(2x,i4,3x,a8,2x,a6,7x,a12,2x,a11,6x,a17)";
constexpr string_view kWaterFluxUnit = "mm.m-2.hr-1";
constexpr string_view kSubstanceFluxUnit = "mg.m-2.hr-1";
constexpr string_view kLateralConcentrationUnit = "ug.L-1";

// --- Mass-balance work files -------------------------------------------------
constexpr string_view kWaterTableTitle =
    "* Table: Mass balance of substance in the water system of ";
constexpr string_view kSedimentTableTitle =
    "* Table: Mass balance of substance in the sediment system of ";
constexpr string_view kKeyToTable = "* Key to the table";
constexpr string_view kWaterKeys[] = {
    "* DelAma                 Change in mass present in water layer system (g)",
    "* AmaIni                 Mass initially present in water layer (g)",
    "* AmaDrf                 Loading of water body by drift (g)",
    "* AmaAtmDep              Loading of water body by atmopheric deposition (g)",
    "* AmaDra                 Loading of water body by drainage (g)",
    "* AmaRnO                 Loading of water body by run-off (g)",
    "* AmaSedIn               Mass penetrated into sediment (g)",
    "* AmaSedOut              Mass transfered out of sediment (g)",
    "* AmaDwn                 Mass flowed across downstream boundary end (g)",
    "* AmaUps                 Mass flowed across upstream boundary end (g)",
    "* AmaTra                 Mass transformed in water layer (g)",
    "* AmaFor                 Mass formed in water layer (g)",
    "* AmaVol                 Mass volatilised from water layer (g)",
};
constexpr string_view kSedimentKeys[] = {
    "* DelAmaSed              Change in mass present in sediment (g)",
    "* AmaIniSed              Mass initially present in sediment (g)",
    "* AmaErs                 Loading of sediment by eroded soil (g)",
    "* AmaWaterIn             Mass transfered from sediment into water layer (g)",
    "* AmaWaterOut            Mass penetrated from water layer into sediment (g)",
    "* AmaDwnSed              Mass flowed across lower boundary of sediment (g)",
    "* AmaTraSed              Mass transformed in sediment (g)",
    "* AmaFor                 Mass formed in sediment (g)",
};
constexpr string_view kWaterColumns =
    "* Year   Month    DelAma      AmaIni      AmaDrf   AmaAtmDep      AmaDra      AmaRnO   "
    "AmaSedIn    AmaSedOut      AmaDwn      AmaUps      AmaTra      AmaFor      AmaVol ";
constexpr string_view kSedimentColumns =
    "* Year   Month    DelAmaSed   AmaIniSed   AmaErs   AmaWatIn    AmaWatOut      AmaDwnSed      "
    "AmaTra      AmaFor";
constexpr string_view kMonthColumn = "   Month";
constexpr string_view kMonthRow = "(2x,i4,3x,a3,14(2x,f10.4))";
constexpr string_view kYearRow = "(2x,i4,14(2x,f10.4))";
constexpr string_view kLastMonthNotComplete = "* Last month not complete";

// --- Water-balance work files ------------------------------------------------
constexpr string_view kWaterBalanceTable = "* Table: Water balance of the waterbody";
constexpr string_view kWaterBalanceKeys[] = {
    "* DelSto                 Change in volume present in water layer (m3)",
    "* VolPrc                 Volume entered in water body by precipitaton (m3)",
    "* VolDra                 Volume entered in water body by drainage (m3)",
    "* VolRun                 Volume entered in water body by runoff (m3)",
    "* VolUps                 Volume flowed into water body across upstream boundary (m3)",
    "* VolDwn                 Volume flowed out of water body across downstream boundary (m3)",
};
constexpr string_view kMonthlyWaterTitle = "* Monthly water balance terms (m3) in water system of ";
constexpr string_view kAnnualWaterTitle = "* Annual water balance terms (m3) in water system of ";
constexpr string_view kMonthlyWaterColumns =
    "* Year Month   Identifier          DelSto     VolPrc     VolDra     VolRun     VolUps     "
    "VolDwn";
constexpr string_view kAnnualWaterColumns =
    "* Year     Identifier            DelSto       VolPrc       VolDra       VolRun       "
    "VolUps       VolDwn";
constexpr string_view kMonthWaterRow = "(2x,i4,1x,a3,3x,a15,18(1x,f10.4))";
constexpr string_view kYearWaterRow = "(2x,i4,3x,a15,18(1x,f12.4))";
constexpr std::size_t kIdentifierLength = 15;

constexpr string_view kMonthlyMassWater = "Monthly mass balance terms (g) in water system of ";
constexpr string_view kMonthlyMassSediment =
    "Monthly mass balance terms (g) in sediment of waterbody system of ";
constexpr string_view kAnnualMassWater = "Annual mass balance terms (g) in water system of ";
constexpr string_view kAnnualMassSediment = "Annual mass balance terms (g) in sediment system of ";
constexpr string_view kForCompound = " m for compound:";

// --- PECswAnn (MERIX) ----------------------------------------------------------
constexpr string_view kPecAnnTitle =
    "* Table: Annual maximum exposure concentrations in water layer of substance: ";
constexpr string_view kPecAnnColumns =
    "* Year                  Concentration        Date                 Daynr";
constexpr string_view kPecAnnUnits = "*                       \xC2\xB5g.L-1";
constexpr string_view kPecAnnRow = "(2x,i4,6x,a20,7x,a17,7x,i6)";

// --- End sections --------------------------------------------------------------
constexpr string_view kConcentrationSummary = "* Concentration summary per summary period:";
constexpr string_view kRankColumns = R"((/,"* ",a4,13x,a10,2x,a7,1x,a15,1x,a4))";
constexpr string_view kRankColumnsNoBlank = R"(("* ",a4,13x,a10,2x,a7,1x,a15,1x,a4))";
constexpr string_view kRankUnits = R"(("* ",a4,29x,a3,10x,a6))";

constexpr string_view kTargetSection = "* KORVAN REPORT: Target percentiles water layer";
constexpr string_view kEndTargetSection = "* End of KORVAN REPORT: Target percentiles water layer";
constexpr string_view kStartDate = R"(("* Start date      :   ",a))";
constexpr string_view kEndDate = R"(("* End date        :   ",a))";
constexpr string_view kPercentileFor = R"(("* Percentile summary for substance ",a))";

constexpr string_view kExposureSection = "* KORVAN REPORT: Exposure in Waterbody";
constexpr string_view kEndExposureSection = "* End of KORVAN REPORT: Exposure in Waterbody";
constexpr string_view kTwaSection =
    "* KORVAN REPORT: Time weighted average exposure concentrations (TWA) water layer selected "
    "year";
constexpr string_view kEndTwaSection =
    "* End of KORVAN REPORT: Time weighted average exposure concentrations (TWA) water layer "
    "selected year";

constexpr string_view kProjectSection = "* KORVAN REPORT: Project_Summary";
constexpr string_view kEndProjectSection = "* End of KORVAN REPORT: Project_Summary";
constexpr string_view kReportType = "* Report_type         Percentile";
constexpr string_view kRunIdLine = R"(("* Run_Id              ",a))";
constexpr string_view kLocationLine = R"(("* Location            ",a))";
constexpr string_view kMeteoLine = R"(("* Meteo_station       ",a))";
constexpr string_view kSubstanceLine = R"(("* Substance           ",a))";
constexpr string_view kResultLine = R"(("* Result_",a,6x,f13.6,2x,"ug/L"))";

// A row of values gathered in a list.
std::string formatRow(string_view layout, const std::vector<LayoutValue>& values) {
  return Layout(layout).write(std::span<const LayoutValue>(values));
}

std::string fit(string_view text, std::size_t n) {
  return padTo(text.substr(0, std::min(n, text.size())), n);
}

std::string shortName(const std::string& name) {
  return fit(trim(name), 6);
}

// TimEnd is the last simulated day; the clock ends the run a day later.
double lastDay(const SimClock& clock) {
  return clock.timEnd() - 1.0;
}

std::string dateOnly(double time) {
  return std::string(trim(calendar::dateText(time)));
}

// The amounts of a month or year row: changes of the cumulative terms.
std::vector<LayoutValue> waterRow(const CompoundBalance& now, const CompoundBalance& before) {
  return {now.AmaWatLay - before.AmaWatLay,           now.AmaWatLayIni - before.AmaWatLayIni,
          now.AmaDrfWatLay - before.AmaDrfWatLay,     now.AmaAtmDepWatLay - before.AmaAtmDepWatLay,
          now.AmaDraWatLay - before.AmaDraWatLay,     now.AmaRnoWatLay - before.AmaRnoWatLay,
          now.AmaSedInWatLay - before.AmaSedInWatLay, now.AmaSedOutWatLay - before.AmaSedOutWatLay,
          now.AmaDwnWatLay - before.AmaDwnWatLay,     now.AmaUpsWatLay - before.AmaUpsWatLay,
          now.AmaTraWatLay - before.AmaTraWatLay,     now.AmaForWatLay - before.AmaForWatLay,
          now.AmaVolWatLay - before.AmaVolWatLay};
}

std::vector<LayoutValue> sedimentRow(const CompoundBalance& now, const CompoundBalance& before) {
  return {now.AmaSed - before.AmaSed,
          now.AmaSedIni - before.AmaSedIni,
          now.AmaErsSed - before.AmaErsSed,
          now.AmaWatLayInSed - before.AmaWatLayInSed,
          now.AmaWatLayOutSed - before.AmaWatLayOutSed,
          now.AmaDwnSed - before.AmaDwnSed,
          now.AmaTraSed - before.AmaTraSed,
          now.AmaForSed - before.AmaForSed};
}

std::vector<LayoutValue> volumeRow(const WaterBalanceTerms& v) {
  return {v.DelSto, v.VolPrc, v.VolDra, v.VolRun, v.VolUps, v.VolDwn};
}

std::string annualColumns(string_view monthly) {
  std::string s(monthly);
  const std::size_t at = s.find(kMonthColumn);
  if (at != std::string::npos) s.erase(at, kMonthColumn.size());
  return s;
}

void keep(double value, double time, double& max, double& maxTime) {
  if (value > max) {
    max = value;
    maxTime = time;
  }
}

}  // namespace

std::string summaryWorkFileName(std::string_view stem, int k, bool underscore) {
  const std::string number = std::to_string(k);
  const std::string mark = underscore ? "_" : "";
  if (k < 10) return std::string(stem) + mark + number + ".tmp";
  return std::string(stem) + number + mark + ".tmp";
}

SummaryReport::SummaryReport(Run& run) : run_(run) {}

TextFile& SummaryReport::summary() {
  return run_.summary();
}

// --- Tasks -------------------------------------------------------------------

void SummaryReport::startOfStep() {
  const double t = run_.clock().tim();
  if (opened_) {
    // The state at the end of the previous step, loading included.
    trackYearMaximum(t);
    if (pendingYear_ != 0) finishYear(pendingYear_);
  }
  open();
  month_ = calendar::month(t + kAfter);
  year_ = calendar::year(t + kAfter);
  monthOpen_ = yearOpen_ = true;
}

void SummaryReport::endOfSubStep(double dt) {
  open();
  const Hydrology& hy = run_.hydrology();
  const WaterBody& wb = run_.waterBody();
  const int n = wb.numSeg();
  WaterBalanceTerms s;
  s.VolUps = hy.qBou(0) * dt;
  s.VolDwn = hy.qBou(n) * dt;
  for (int i = 1; i <= n; ++i) {
    const double len = wb.lenSeg(i);
    s.VolDra += hy.qLatDra(i) * len * dt;
    s.VolRun += hy.qLatRnf(i) * len * dt;
    s.VolPrc += hy.flvLiqPrc(i) * hy.surfaceWidth(i) * len * dt;
  }
  const double volume = hy.waterVolume();
  s.DelSto = volume - volume_;
  volume_ = volume;
  for (WaterBalanceTerms* t : {&monthTerms_, &yearTerms_}) {
    t->DelSto += s.DelSto;
    t->VolPrc += s.VolPrc;
    t->VolDra += s.VolDra;
    t->VolRun += s.VolRun;
    t->VolUps += s.VolUps;
    t->VolDwn += s.VolDwn;
  }
}

void SummaryReport::endOfStep() {
  open();
  trackLateral();
  const double end = run_.clock().subTime() + kAfter;
  const int endYear = calendar::year(end);
  if (calendar::month(end) == month_ && endYear == year_) return;
  writeMonth(true);
  if (endYear != year_) writeYear();
}

void SummaryReport::endOfPassFirst() {
  open();
  if (finished_) return;
  finished_ = true;
  trackYearMaximum(run_.clock().tim());
  if (pendingYear_ != 0) finishYear(pendingYear_);
  if (monthOpen_) writeMonth(false);
  if (yearOpen_) {
    writeYear();
    finishYear(pendingYear_);
  }
  if (targetEdition_) run_.substanceReports().targets().rankYearlyPeaks(targetPercentile_);
  writeLateralRows();
  writeWaterBalance();
  writeMassBalances();
  writeConcentrationSummary();
  if (targetEdition_) writeTargetPercentiles();
}

void SummaryReport::endOfPassLast() {
  if (!finished_) endOfPassFirst();
  writeExposure();
  if (percentileReport_) writeProjectSummary();
  if (!warningsWritten_) run_.messages().warningNotice();
}

// --- Opening sections ---------------------------------------------------------

void SummaryReport::open() {
  if (opened_) return;
  opened_ = true;
  RunIdentity& id = run_.identity();
  merix_ = id.isMerix();
  targetEdition_ = id.isZR() || id.isBRAX();
  numCompounds_ = run_.compounds().numCompounds();
  length_ = run_.waterBody().xBou(run_.waterBody().numSeg());
  identifier_ = fit(id.runId(), kIdentifierLength);
  exposureReport_ = run_.records().rdOption("ExposureReport", "Yes No", Unit::Input, false) == 1;
  percentileReport_ =
      run_.records().rdOption("PercentileReport", "Yes No", Unit::Input, false) == 1;
  volume_ = run_.hydrology().waterVolume();
  writeScenario();
  writeProperties();
  if (!id.isBRAX()) writeLoadings();
  writeLateralEntries();
  createWorkFiles();
}

// The first word of a descriptive record; a dash when the record is missing.
std::string SummaryReport::recordWord(std::string_view keyword) {
  Records& records = run_.records();
  if (!records.getRecord(keyword, 2, {.mustExist = false})) return std::string(kMissingText);
  const std::string word = records.words().word(1);
  run_.log().writeLine(std::string(keyword) + " : " + word);
  return word;
}

void SummaryReport::writeScenario() {
  TextFile& sum = summary();
  location_ = recordWord("Location");
  meteoStation_ = recordWord("MeteoStation");
  substanceName_ = recordWord("SubstanceName");
  const std::string flow =
      run_.options().optFloWat() == FlowOption::Constant ? "Constant" : "Variable";
  std::string waterBody;
  switch (run_.hydrology().kind()) {
    case HydrologyKind::Constant:
      waterBody = "Constant";
      break;
    case HydrologyKind::WaterCourse:
    case HydrologyKind::WeirReach:
      waterBody = "WaterCourse";
      break;
    case HydrologyKind::Pond:
    case HydrologyKind::OrlanPond:
      waterBody = "Pond";
      break;
  }
  sum.writeLine(formatLayout(kScenario, {string_view(location_)}));
  sum.writeLine(formatLayout(kMeteoStation, {string_view(meteoStation_)}));
  sum.writeLine(formatLayout(kSubstance, {string_view(substanceName_)}));
  sum.writeLine(formatLayout(kFlowType, {string_view(flow)}));
  sum.writeLine(formatLayout(kWaterBodyType, {string_view(waterBody)}));
  if (merix_) {
    const std::string scheme = recordWord("ApplicationScheme");
    sum.writeLine(formatLayout(kApplicationScheme, {string_view(scheme)}));
  }
  const SimClock& clock = run_.clock();
  const std::string period = dateOnly(clock.timStart()) + " to " + dateOnly(lastDay(clock));
  sum.writeLine(formatLayout(kSimulationPeriod, {string_view(period)}));
  sum.writeLine(kDashes);
  sum.writeLine(kEndHeader);
}

void SummaryReport::writeProperties() {
  TextFile& sum = summary();
  Compounds& cp = run_.compounds();
  sum.writeLine(kPropertiesSection);
  sum.writeLine(kSummaryFor);
  for (int k = 1; k <= numCompounds_; ++k) {
    const std::string name = shortName(cp.name(k));
    sum.writeLine(formatLayout(kSubstanceNumber, {int64_t{k}, string_view(name)}));
    sum.writeLine(formatLayout(kMolarMass, {cp.molMas(k)}));
    sum.writeLine(formatLayout(kVapourPressure, {cp.preVapRef(k), cp.temRefVap(k) - kKelvin}));
    sum.writeLine(formatLayout(kSolubility, {cp.slbWatRef(k), cp.temRefSlb(k) - kKelvin}));
    sum.writeLine(formatLayout(kHalfLifeWater, {cp.dt50WatRef(k), cp.temRefTraWat(k) - kKelvin}));
    sum.writeLine(
        formatLayout(kHalfLifeSediment, {cp.dt50SedRef(k), cp.temRefTraSed(k) - kKelvin}));
    sum.writeLine(formatLayout(kKomSusSol, {cp.komSusSol(k) * kPerGramToLitrePerKg}));
    sum.writeLine(formatLayout(kFreundlich, {cp.expFreSusSol(k)}));
    sum.writeLine(formatLayout(kKomSed, {cp.komSed(k) * kPerGramToLitrePerKg}));
    sum.writeLine(formatLayout(kFreundlich, {cp.expFreSed(k)}));
    sum.writeLine(formatLayout(kKmp, {cp.cofSorMph(k) * kPerGramToLitrePerKg}));
  }
  for (int p = 1; p <= numCompounds_; ++p) {
    for (int d = 1; d <= numCompounds_; ++d) {
      if (p == d) continue;
      const double water = cp.fraPrtDauWat(p, d);
      const double sediment = cp.fraPrtDauSed(p, d);
      if (water <= 0.0 && sediment <= 0.0) continue;
      const std::string parent = shortName(cp.name(p));
      const std::string daughter = shortName(cp.name(d));
      sum.writeLine(
          formatLayout(kFormedInWater, {string_view(parent), string_view(daughter), water}));
      sum.writeLine(
          formatLayout(kFormedInSediment, {string_view(parent), string_view(daughter), sediment}));
    }
  }
}

void SummaryReport::writeLoadings() {
  TextFile& sum = summary();
  sum.writeLine(kLoadingsSummary);
  sum.writeLine(kApplicationPattern);
  run_.loadings().writeEventTable(sum);
}

void SummaryReport::writeLateralEntries() {
  TextFile& sum = summary();
  loadingSource_ = run_.options().optLoa();
  switch (loadingSource_) {
    case LoadingSource::DriftOnly:
      sum.writeLine(kNoLateral);
      break;
    case LoadingSource::DRALO:
      sum.writeLine(kDralo);
      break;
    case LoadingSource::SULKA:
      sum.writeLine(kSulka);
      break;
    case LoadingSource::QUIB:
      sum.writeLine(kQuib);
      break;
    case LoadingSource::BRAX:
      sum.writeLine(kBrax);
      break;
  }
  // The parent is sprayed; a later compound that comes with the lateral
  // water was formed in the soil.
  const LoadingEntries& entries = run_.loadings().entries();
  for (int k = 2; k <= numCompounds_; ++k) {
    if (!entries.carriesCompound(k)) continue;
    const std::string name = shortName(run_.compounds().name(k));
    sum.writeLine(formatLayout(kSoilMetabolite, {string_view(name)}));
  }
  sum.writeLine(kMaximumFluxes);
  sum.writeLine(kMaximumFluxesColumns);
}

std::string SummaryReport::lengthText(std::string_view layout) const {
  return formatLayout(layout, {length_});
}

void SummaryReport::createWorkFiles() {
  UnitTable& units = run_.units();
  hydsum_ = run_.freeFil();
  units.create(hydsum_, kHydSumFile);
  annhydsum_ = run_.freeFil();
  units.create(annhydsum_, kAnnHydSumFile);
  if (targetEdition_) {
    targetPercentile_ = run_.numbers().rdFloat("TargetPercentile", {.min = 0.0, .max = 100.0});
  }
  compounds_.assign(static_cast<std::size_t>(numCompounds_), CompoundFiles{});
  for (int k = 1; k <= numCompounds_; ++k) {
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    createMassBalanceFiles(c, k);
    if (targetEdition_) {
      c.persumName = summaryWorkFileName("persum", k, false);
      c.persum = run_.freeFil();
      units.create(c.persum, c.persumName);
    }
    if (merix_) createPecAnnFile(c, k);
  }
}

void SummaryReport::createMassBalanceFiles(CompoundFiles& c, int k) {
  UnitTable& units = run_.units();
  const std::string length = lengthText("(f8.2)") + " m";
  const auto create = [&](Unit& unit, std::string& name, string_view stem) -> TextFile& {
    name = summaryWorkFileName(stem, k);
    unit = run_.freeFil();
    return units.create(unit, name);
  };
  TextFile& bal = create(c.balsum, c.balsumName, "balsum");
  bal.writeLine(std::string(kWaterTableTitle) + length);
  bal.writeLine(kKeyToTable);
  for (string_view key : kWaterKeys) bal.writeLine(key);
  bal.writeLine(kWaterColumns);
  TextFile& sed = create(c.balsedsum, c.balsedsumName, "balsedsum");
  sed.writeLine(std::string(kSedimentTableTitle) + length);
  sed.writeLine(kKeyToTable);
  for (string_view key : kSedimentKeys) sed.writeLine(key);
  sed.writeLine(kSedimentColumns);
  create(c.annbalsum, c.annbalsumName, "annbalsum").writeLine(annualColumns(kWaterColumns));
  create(c.annbalsedsum, c.annbalsedsumName, "annbalsedsum")
      .writeLine(annualColumns(kSedimentColumns));
}

void SummaryReport::createPecAnnFile(CompoundFiles& c, int k) {
  c.pecAnnName = summaryWorkFileName("PECswAnn", k);
  c.pecAnn = run_.freeFil();
  TextFile& f = run_.units().create(c.pecAnn, c.pecAnnName);
  const WaterBody& wb = run_.waterBody();
  const int n = wb.numSeg();
  const std::string name = shortName(run_.compounds().name(k));
  f.writeLine(std::string(kPecAnnTitle) + name);
  f.writeLine("* In segment from " + formatLayout("(f8.2)", {wb.xBou(n - 1)}) + " to " +
              formatLayout("(f8.2)", {wb.xBou(n)}) + " m in water body");
  f.writeLine(kPecAnnColumns);
  f.writeLine(kPecAnnUnits);
}

// --- During the pass ------------------------------------------------------------

// The hourly fluxes of the record of the step (the same in every segment).
// BRAX enters the whole paved area at segment 1: its water and substance
// fluxes are taken per square metre of paved area, the paved-area water in
// the place of the drain water.
void SummaryReport::trackLateral() {
  if (loadingSource_ == LoadingSource::DriftOnly || !run_.loadings().entries().isOpen()) return;
  const LoadingEntries& en = run_.loadings().entries();
  const double t = run_.clock().tim();
  const bool brax = loadingSource_ == LoadingSource::BRAX;
  const double perArea = brax ? 1.0 / std::max(run_.hydrology().areaPntInp(), 1e-30) : 1.0;
  const double vvrDra = brax ? en.vvrLiqPnt() : en.vvrLiqDra();
  const double vvrRnf = en.vvrLiqRnf();
  keep((vvrDra + vvrRnf) * kPerSecondToMilliPerHour, t, water_.value, water_.time);
  for (int k = 1; k <= numCompounds_; ++k) {
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    const double dra = en.flmDra(1, k) * perArea;
    const double rnf = en.flmRnf(1, k);
    keep(dra * kPerSecondToMilliPerHour, t, c.draFlux.value, c.draFlux.time);
    keep(rnf * kPerSecondToMilliPerHour, t, c.rnfFlux.value, c.rnfFlux.time);
    keep(en.flmErs(1, k) * kPerSecondToMilliPerHour, t, c.ersFlux.value, c.ersFlux.time);
    // g.m-3 of the lateral water to ug.L-1.
    if (vvrDra > 0.0) keep(dra / vvrDra * kMicro, t, c.draCon.value, c.draCon.time);
    if (vvrRnf > 0.0) keep(rnf / vvrRnf * kMicro, t, c.rnfCon.value, c.rnfCon.time);
  }
}

// The dissolved concentration in the last segment, for the annual maximum.
void SummaryReport::trackYearMaximum(double time) {
  if (!merix_) return;
  const int n = run_.waterBody().numSeg();
  const auto& con = run_.substance().waterLayer().conLiqWatLay();
  for (int k = 1; k <= numCompounds_; ++k) {
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    keep(con(n, k), time, c.yearMax, c.yearMaxTime);
  }
}

void SummaryReport::writeMonth(bool complete) {
  UnitTable& units = run_.units();
  const std::string month(calendar::monthName(month_));
  const int64_t year = year_;
  MassBalance& balance = run_.substance().balance();
  for (int k = 1; k <= numCompounds_; ++k) {
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    const CompoundBalance& now = balance.compound(k);
    std::vector<LayoutValue> w{year, string_view(month)};
    for (const LayoutValue& v : waterRow(now, c.atMonthEnd)) w.push_back(v);
    std::vector<LayoutValue> s{year, string_view(month)};
    for (const LayoutValue& v : sedimentRow(now, c.atMonthEnd)) s.push_back(v);
    units.file(c.balsum).writeLine(formatRow(kMonthRow, w));
    units.file(c.balsedsum).writeLine(formatRow(kMonthRow, s));
    if (!complete) {
      units.file(c.balsum).writeLine(kLastMonthNotComplete);
      units.file(c.balsedsum).writeLine(kLastMonthNotComplete);
    }
    c.atMonthEnd = now;
  }
  std::vector<LayoutValue> h{year, string_view(month), string_view(identifier_)};
  for (const LayoutValue& v : volumeRow(monthTerms_)) h.push_back(v);
  units.file(hydsum_).writeLine(formatRow(kMonthWaterRow, h));
  if (!complete) units.file(hydsum_).writeLine(kLastMonthNotComplete);
  monthTerms_ = WaterBalanceTerms{};
  monthOpen_ = false;
}

void SummaryReport::writeYear() {
  UnitTable& units = run_.units();
  const int64_t year = year_;
  MassBalance& balance = run_.substance().balance();
  for (int k = 1; k <= numCompounds_; ++k) {
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    const CompoundBalance& now = balance.compound(k);
    std::vector<LayoutValue> w{year};
    for (const LayoutValue& v : waterRow(now, c.atYearEnd)) w.push_back(v);
    std::vector<LayoutValue> s{year};
    for (const LayoutValue& v : sedimentRow(now, c.atYearEnd)) s.push_back(v);
    units.file(c.annbalsum).writeLine(formatRow(kYearRow, w));
    units.file(c.annbalsedsum).writeLine(formatRow(kYearRow, s));
    c.atYearEnd = now;
    balance.resetPeriod(k);
  }
  std::vector<LayoutValue> h{year, string_view(identifier_)};
  for (const LayoutValue& v : volumeRow(yearTerms_)) h.push_back(v);
  units.file(annhydsum_).writeLine(formatRow(kYearWaterRow, h));
  yearTerms_ = WaterBalanceTerms{};
  collectLateralRows();
  yearOpen_ = false;
  pendingYear_ = year_;
}

// The year's rows that need the state after the year's last step: the annual
// maximum (MERIX) and the yearly peak of the percentile summary (ZR, BRAX).
void SummaryReport::finishYear(int year) {
  pendingYear_ = 0;
  if (targetEdition_) run_.substanceReports().targets().endOfYear(year);
  if (!merix_) return;
  ConcentrationTables& pec = run_.substanceReports().pecWater();
  for (CompoundFiles& c : compounds_) {
    const bool found = c.yearMaxTime >= 0.0;
    const std::string value = reportNumberText(c.yearMax * kMicro);
    const std::string date = found ? calendar::dateText(c.yearMaxTime) : std::string(17, ' ');
    const int64_t day = found ? pec.dayNumber(c.yearMaxTime) : 0;
    run_.units().file(c.pecAnn).writeLine(formatLayout(
        kPecAnnRow, {int64_t{year}, string_view(padTo(value, 20)), string_view(date), day}));
    c.yearMax = 0.0;
    c.yearMaxTime = -1.0;
  }
}

void SummaryReport::collectLateralRows() {
  const auto water = [&](const LateralMaximum& m) {
    if (m.time < 0.0) return;
    lateralRows_.push_back(formatLayout(
        kWaterFluxRow,
        {int64_t{year_}, string_view("Water"), string_view(padTo(reportNumberText(m.value), 12)),
         string_view(kWaterFluxUnit), string_view(calendar::dateText(m.time))}));
  };
  const auto substance = [&](string_view type, const std::string& name, LateralMaximum& m,
                             string_view unit) {
    if (m.time >= 0.0) {
      lateralRows_.push_back(
          formatLayout(kSubstanceFluxRow,
                       {int64_t{year_}, string_view(padTo(type, 8)), string_view(name),
                        string_view(padTo(reportNumberText(m.value), 12)),
                        string_view(padTo(unit, 11)), string_view(calendar::dateText(m.time))}));
    }
    m = LateralMaximum{};
  };
  water(water_);
  water_ = LateralMaximum{};
  for (int k = 1; k <= numCompounds_; ++k) {
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    const std::string name = shortName(run_.compounds().name(k));
    substance("Drainage", name, c.draFlux, kSubstanceFluxUnit);
    substance("Drainage", name, c.draCon, kLateralConcentrationUnit);
    substance("Runoff", name, c.rnfFlux, kSubstanceFluxUnit);
    substance("Runoff", name, c.rnfCon, kLateralConcentrationUnit);
    substance("Erosion", name, c.ersFlux, kSubstanceFluxUnit);
  }
}

// --- End of the pass --------------------------------------------------------------

void SummaryReport::writeLateralRows() {
  TextFile& sum = summary();
  for (const std::string& row : lateralRows_) sum.writeLine(row);
  sum.writeLine(kEndPropertiesSection);
}

void SummaryReport::writeWaterBalance() {
  TextFile& sum = summary();
  const std::string length = lengthText("(f8.2)") + " m";
  sum.writeLine(kWaterBalanceTable);
  sum.writeLine(kKeyToTable);
  for (string_view key : kWaterBalanceKeys) sum.writeLine(key);
  sum.writeLine(std::string(kMonthlyWaterTitle) + length);
  sum.writeLine(kMonthlyWaterColumns);
  copyAndDelete(hydsum_, std::string(kHydSumFile));
  sum.writeLine(std::string(kAnnualWaterTitle) + length);
  sum.writeLine(kAnnualWaterColumns);
  copyAndDelete(annhydsum_, std::string(kAnnHydSumFile));
}

void SummaryReport::writeMassBalances() {
  TextFile& sum = summary();
  const std::string length = lengthText("(f8.2)");
  for (int k = 1; k <= numCompounds_; ++k) {
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    const std::string name(trim(run_.compounds().name(k)));
    const auto title = [&](string_view text) {
      sum.writeLine(std::string(text) + length + std::string(kForCompound) + " " + name);
    };
    title(kMonthlyMassWater);
    copyAndDelete(c.balsum, c.balsumName);
    title(kMonthlyMassSediment);
    copyAndDelete(c.balsedsum, c.balsedsumName);
    title(kAnnualMassWater);
    copyAndDelete(c.annbalsum, c.annbalsumName);
    title(kAnnualMassSediment);
    copyAndDelete(c.annbalsedsum, c.annbalsedsumName);
  }
}

void SummaryReport::writeRankHeader(bool blankLineFirst) {
  TextFile& sum = summary();
  sum.writeLine(
      formatLayout(blankLineFirst ? kRankColumns : kRankColumnsNoBlank,
                   {string_view("Rank"), string_view("Identifier"), string_view("Percent"),
                    string_view("ConLiqWatLayTgt"), string_view("Year")}));
  sum.writeLine(
      formatLayout(kRankUnits, {string_view("    "), string_view("(%)"), string_view("(ug/L)")}));
}

void SummaryReport::writeConcentrationSummary() {
  summary().writeLine(kConcentrationSummary);
  Targets& targets = run_.substanceReports().targets();
  for (int k = 1; k <= numCompounds_; ++k) {
    writeRankHeader(true);
    if (!targetEdition_) continue;
    CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
    // The ranked peaks of the years go through the compound's work file.
    targets.writeRankedRows(run_.units().file(c.persum), k);
    copyAndDelete(c.persum, c.persumName);
  }
}

void SummaryReport::writeTargetPercentiles() {
  TextFile& sum = summary();
  Targets& targets = run_.substanceReports().targets();
  const SimClock& clock = run_.clock();
  sum.writeLine(kTargetSection);
  sum.writeLine(formatLayout(kStartDate, {string_view(dateOnly(clock.timStart()))}));
  sum.writeLine(formatLayout(kEndDate, {string_view(dateOnly(lastDay(clock)))}));
  for (int k = 1; k <= numCompounds_; ++k) {
    const std::string name(trim(run_.compounds().name(k)));
    sum.writeLine(formatLayout(kPercentileFor, {string_view(name)}));
    writeRankHeader(false);
    targets.writeRankedRows(sum, k);
    targets.writeTargetSentence(sum, k);
  }
  sum.writeLine(kEndTargetSection);
}

// MERIX: the annual maxima and the concentration tables of every compound,
// framed as the exposure section when asked for; the tables are kept in the
// summary without it. ZR and BRAX: the target table and twa.tmp.
void SummaryReport::writeExposure() {
  TextFile& sum = summary();
  if (merix_) {
    if (exposureReport_) sum.writeLine(kExposureSection);
    ConcentrationTables& water = run_.substanceReports().pecWater();
    ConcentrationTables& sediment = run_.substanceReports().pecSediment();
    for (int k = 1; k <= numCompounds_; ++k) {
      CompoundFiles& c = compounds_[static_cast<std::size_t>(k - 1)];
      if (exposureReport_) {
        copyAndDelete(c.pecAnn, c.pecAnnName);
      } else {
        deleteWorkFile(c.pecAnn);
      }
      if (water.initialised()) copyAndDelete(water.workUnit(k), water.workFileName(k));
      if (sediment.initialised()) copyAndDelete(sediment.workUnit(k), sediment.workFileName(k));
    }
    if (exposureReport_) {
      run_.messages().warningNotice();
      warningsWritten_ = true;
      sum.writeLine(kEndExposureSection);
    }
    return;
  }
  if (!targetEdition_) return;
  if (exposureReport_) {
    sum.writeLine(kTwaSection);
    copyAndDeleteClosed(kTargetFile);
    copyAndDeleteClosed(kTwaFile);
    sum.writeLine(kEndTwaSection);
  } else {
    run_.deleteFile(kTargetFile);
    run_.deleteFile(kTwaFile);
  }
}

void SummaryReport::writeProjectSummary() {
  TextFile& sum = summary();
  sum.writeLine(kProjectSection);
  sum.writeLine(kReportType);
  sum.writeLine(formatLayout(kRunIdLine, {string_view(run_.identity().runId())}));
  sum.writeLine(formatLayout(kLocationLine, {string_view(location_)}));
  sum.writeLine(formatLayout(kMeteoLine, {string_view(meteoStation_)}));
  sum.writeLine(formatLayout(kSubstanceLine, {string_view(substanceName_)}));
  for (int k = 1; k <= numCompounds_; ++k) {
    const std::string name(trim(run_.compounds().name(k)));
    // ZR and BRAX: the target-percentile peak; MERIX and Orlan: the global
    // maximum of the water layer where it was tracked.
    double result = 0.0;
    if (targetEdition_) {
      result = run_.substanceReports().targets().targetConcentration(k);
    } else if (run_.substanceReports().pecWater().initialised()) {
      result = run_.substanceReports().pecWater().maximum(k) * kMicro;
    }
    sum.writeLine(formatLayout(kResultLine, {string_view(name), result}));
  }
  sum.writeLine(kEndProjectSection);
}

// --- Work files ------------------------------------------------------------------

void SummaryReport::copyAndDelete(Unit unit, const std::string& name) {
  UnitTable& units = run_.units();
  if (units.isOpen(unit)) units.close(unit);
  if (!std::filesystem::exists(units.directory() / name)) return;
  TextFile& file = units.open(unit, name);
  TextFile& sum = summary();
  std::string line;
  while (file.readLine(line)) {
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    sum.writeLine(trimRight(line));
  }
  units.closeAndDelete(unit);
}

void SummaryReport::copyAndDeleteClosed(std::string_view name) {
  copyAndDelete(run_.freeFil(), std::string(name));
}

void SummaryReport::deleteWorkFile(Unit unit) {
  if (run_.units().isOpen(unit)) run_.units().closeAndDelete(unit);
}

}  // namespace korvan
