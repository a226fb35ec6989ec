#include "substance/compounds.hpp"

#include <algorithm>
#include <cassert>
#include <limits>
#include <string>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/text.hpp"
#include "core/units.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/table.hpp"
#include "substance/transformation.hpp"

namespace korvan {

// How a value read is turned into the unit inside the model.
enum class Conversion {
  None,
  DividedByMillion,  // L.kg-1 to m3.g-1 (KomSusSol, KomSed)
  TimesMicro,        // L.kg-1 to m3.g-1 (CofSorMph), written as the model writes it
  CelsiusToKelvin,   // C to K
  KiloJouleToJoule,  // kJ.mol-1 to J.mol-1
  HalfLifeToRate,    // DT50 (d) to the rate coefficient ln 2 / DT50 / 86400 (s-1)
};

// A per-compound input: keyword base name, unit word, bounds, conversion.
struct CompoundInput {
  std::string_view name;
  std::string_view unit;
  double min;
  double max;
  Conversion conversion;
};

namespace {

constexpr std::string_view kCompoundsTable = "compounds";
constexpr std::string_view kGetCompoundList = "GetCompoundList";
// One line per compound in the log: label, number, name.
constexpr std::string_view kCompoundLine = "(a20,1x,i4,2x,a)";

constexpr CompoundInput kMolMas{"MolMas", "(g.mol-1)", 1.0, 10000.0, Conversion::None};
constexpr CompoundInput kConLiqRefSusSol{"ConLiqRefSusSol", "(mg.L-1)", 1e-6, 100.0,
                                         Conversion::None};
constexpr CompoundInput kExpFreSusSol{"ExpFreSusSol", "(-)", 0.1, 1.5, Conversion::None};
constexpr CompoundInput kKomSusSol{"KomSusSol", "(L.kg-1)", 0.0, 1e7, Conversion::DividedByMillion};
constexpr CompoundInput kCofSorMph{"CofSorMph", "(L.kg-1)", 0.0, 1e7, Conversion::TimesMicro};
constexpr CompoundInput kConLiqRefSed{"ConLiqRefSed", "(mg.L-1)", 1e-6, 100.0, Conversion::None};
constexpr CompoundInput kExpFreSed{"ExpFreSed", "(-)", 0.1, 1.5, Conversion::None};
constexpr CompoundInput kKomSed{"KomSed", "(L.kg-1)", 0.0, 1e7, Conversion::DividedByMillion};
constexpr CompoundInput kCofDifWatRef{"CofDifWatRef", "(m2.d-1)", 0.0, 0.002, Conversion::None};
constexpr CompoundInput kDT50WatRef{"DT50WatRef", "(d)", 0.01, 1e6, Conversion::HalfLifeToRate};
constexpr CompoundInput kTemRefTraWat{"TemRefTraWat", "(C)", 5.0, 30.0,
                                      Conversion::CelsiusToKelvin};
constexpr CompoundInput kMolEntTraWat{"MolEntTraWat", "(kJ.mol-1)", 0.0, 200.0,
                                      Conversion::KiloJouleToJoule};
constexpr CompoundInput kDT50SedRef{"DT50SedRef", "(d)", 0.01, 1e6, Conversion::HalfLifeToRate};
constexpr CompoundInput kTemRefTraSed{"TemRefTraSed", "(C)", 5.0, 30.0,
                                      Conversion::CelsiusToKelvin};
constexpr CompoundInput kMolEntTraSed{"MolEntTraSed", "(kJ.mol-1)", 0.0, 200.0,
                                      Conversion::KiloJouleToJoule};
constexpr CompoundInput kSlbWatRef{"SlbWatRef", "(mg.L-1)", 0.001, 2e9, Conversion::None};
constexpr CompoundInput kTemRefSlb{"TemRefSlb", "(C)", 0.0, 40.0, Conversion::CelsiusToKelvin};
constexpr CompoundInput kMolEntSlb{"MolEntSlb", "(kJ.mol-1)", -1000.0, 1000.0,
                                   Conversion::KiloJouleToJoule};
constexpr CompoundInput kPreVapRef{"PreVapRef", "(Pa)", 0.0, 200000.0, Conversion::None};
constexpr CompoundInput kTemRefVap{"TemRefVap", "(C)", 0.0, 40.0, Conversion::CelsiusToKelvin};
constexpr CompoundInput kMolEntVap{"MolEntVap", "(kJ.mol-1)", -1000.0, 1000.0,
                                   Conversion::KiloJouleToJoule};

double converted(double value, Conversion conversion) {
  switch (conversion) {
    case Conversion::None:
      return value;
    case Conversion::DividedByMillion:
      return value / 1e6;
    case Conversion::TimesMicro:
      return value * 1e-6;
    case Conversion::CelsiusToKelvin:
      return value + kKelvin;
    case Conversion::KiloJouleToJoule:
      return value * 1000.0;
    case Conversion::HalfLifeToRate:
      return rateCoefficientOfDT50(value);
  }
  return value;
}

}  // namespace

Compounds::Compounds(Run& run) : run_(run) {}

// ---------------------------------------------------------------------------
// Compound list

void Compounds::getCompoundList() {
  if (listRead_) return;
  listRead_ = true;
  readCompoundRows();
  listCompounds();
}

void Compounds::readCompoundRows() {
  Messages& msg = run_.messages();
  TableRows rows(run_, kCompoundsTable);
  while (rows.next()) {
    const WordList& words = rows.words();
    // A row holds one name. An empty row has none; a row of two words would
    // silently lose a compound (two names written on one line), so it is
    // refused as well.
    if (words.count() != 1) {
      msg.fatal(kGetCompoundList, "Fatal while reading compounds table",
                "The error occurred near line " + std::to_string(rows.rowNumber()));
    }
    const std::string& name = words.word(1);
    // Two compounds of one name would read the same keywords and could not
    // be told apart in the formation tables.
    if (std::find(names_.begin(), names_.end(), name) != names_.end()) {
      msg.fatal(kGetCompoundList, "Compound " + name + " occurs more than once in table compounds",
                "The error occurred near line " + std::to_string(rows.rowNumber()));
    }
    names_.push_back(name);
  }
}

void Compounds::listCompounds() {
  TextFile& log = run_.log();
  log.writeLine(kDashes);
  const Layout line(kCompoundLine);
  for (std::size_t k = 0; k < names_.size(); ++k) {
    log.writeLine(line.write({"Compound", static_cast<std::int64_t>(k + 1), names_[k]}));
  }
}

int Compounds::numCompounds() {
  getCompoundList();
  return static_cast<int>(names_.size());
}

const std::vector<std::string>& Compounds::names() {
  getCompoundList();
  return names_;
}

const std::string& Compounds::name(int k) {
  return names_[compound(k)];
}

int Compounds::compoundOfName(std::string_view name) const {
  const auto it = std::find(names_.begin(), names_.end(), name);
  return it == names_.end() ? 0 : static_cast<int>(it - names_.begin()) + 1;
}

// ---------------------------------------------------------------------------
// Per-compound inputs

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): name, unit, bounds as in RdFloat
std::vector<double> Compounds::rdPerCompound(std::string_view name, std::string_view unit,
                                             double min, double max) {
  const std::vector<std::string>& list = names();
  run_.log().writeLine(kDashes);
  std::vector<double> values;
  values.reserve(list.size());
  const std::string base = std::string(name) + "_";
  for (const std::string& compoundName : list) {
    values.push_back(
        run_.numbers().rdFloat(base + compoundName, {.unit = unit, .min = min, .max = max}));
  }
  return values;
}

void Compounds::read(CompoundValues& values, const CompoundInput& in) {
  values.asRead = rdPerCompound(in.name, in.unit, in.min, in.max);
  values.internal.resize(values.asRead.size());
  for (std::size_t k = 0; k < values.asRead.size(); ++k) {
    values.internal[k] = converted(values.asRead[k], in.conversion);
  }
  values.read = true;
}

double Compounds::input(CompoundValues& values, const CompoundInput& in, int k) {
  if (!values.read) [[unlikely]]
    read(values, in);
  return values.internal[compound(k)];
}

double Compounds::asRead(CompoundValues& values, const CompoundInput& in, int k) {
  if (!values.read) [[unlikely]]
    read(values, in);
  return values.asRead[compound(k)];
}

double Compounds::molMas(int k) {
  return input(MolMas_, kMolMas, k);
}
double Compounds::conLiqRefSusSol(int k) {
  return input(ConLiqRefSusSol_, kConLiqRefSusSol, k);
}
double Compounds::expFreSusSol(int k) {
  return input(ExpFreSusSol_, kExpFreSusSol, k);
}
double Compounds::komSusSol(int k) {
  return input(KomSusSol_, kKomSusSol, k);
}
double Compounds::cofSorMph(int k) {
  return input(CofSorMph_, kCofSorMph, k);
}
double Compounds::conLiqRefSed(int k) {
  return input(ConLiqRefSed_, kConLiqRefSed, k);
}
double Compounds::expFreSed(int k) {
  return input(ExpFreSed_, kExpFreSed, k);
}
double Compounds::komSed(int k) {
  return input(KomSed_, kKomSed, k);
}
double Compounds::cofDifWatRef(int k) {
  return input(CofDifWatRef_, kCofDifWatRef, k);
}
double Compounds::dt50WatRef(int k) {
  return asRead(DT50WatRef_, kDT50WatRef, k);
}
double Compounds::cofTraWatRef(int k) {
  return input(DT50WatRef_, kDT50WatRef, k);
}
double Compounds::temRefTraWat(int k) {
  return input(TemRefTraWat_, kTemRefTraWat, k);
}
double Compounds::molEntTraWat(int k) {
  return input(MolEntTraWat_, kMolEntTraWat, k);
}
double Compounds::dt50SedRef(int k) {
  return asRead(DT50SedRef_, kDT50SedRef, k);
}
double Compounds::cofTraSedRef(int k) {
  return input(DT50SedRef_, kDT50SedRef, k);
}
double Compounds::temRefTraSed(int k) {
  return input(TemRefTraSed_, kTemRefTraSed, k);
}
double Compounds::molEntTraSed(int k) {
  return input(MolEntTraSed_, kMolEntTraSed, k);
}
double Compounds::slbWatRef(int k) {
  return input(SlbWatRef_, kSlbWatRef, k);
}
double Compounds::temRefSlb(int k) {
  return input(TemRefSlb_, kTemRefSlb, k);
}
double Compounds::molEntSlb(int k) {
  return input(MolEntSlb_, kMolEntSlb, k);
}
double Compounds::preVapRef(int k) {
  return input(PreVapRef_, kPreVapRef, k);
}
double Compounds::temRefVap(int k) {
  return input(TemRefVap_, kTemRefVap, k);
}
double Compounds::molEntVap(int k) {
  return input(MolEntVap_, kMolEntVap, k);
}

double Compounds::scalar(std::optional<double>& cache, std::string_view keyword,
                         std::string_view unit, double factor) {
  if (!cache) cache = run_.numbers().rdFloat(keyword, {.unit = unit, .min = 0.0}) * factor;
  return *cache;
}

double Compounds::conSysWatIni() {
  return scalar(ConSysWatIni_, "ConSysWatIni", "(g.m-3)", 1.0);
}
// The model keeps ConAir as the value read times 0.001, whatever its unit word
// says; the volatilisation flux takes it as a concentration in g.m-3.
double Compounds::conAir() {
  return scalar(ConAir_, "ConAir", "(kg.m-3)", 0.001);
}
double Compounds::conWatSpg() {
  return scalar(ConWatSpg_, "ConWatSpg", "(g.m-3)", 1.0);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): layer, compound as every getter
double Compounds::conSysSedIni(int j, int k) {
  if (compound(k) != 0) return 0.0;
  SedimentProfile& sediment = run_.sediment();
  // mg.kg-1 is 1e-6 g.g-1; times the bulk density (g.m-3) gives g.m-3.
  return 1e-6 * sediment.rho(j) * sediment.cntSysSedIni(j);
}

// ---------------------------------------------------------------------------
// Properties of the water layer and the sediment, and the derived arrays

const Compounds::WaterLayerSolids& Compounds::solids() {
  if (!solids_) [[unlikely]] {
    WaterBody& wb = run_.waterBody();
    solids_ = WaterLayerSolids{wb.conSus(), wb.cntOmSusSol(), wb.amaMphWatLay()};
  }
  return *solids_;
}

const Compounds::SedimentLayers& Compounds::layers() {
  if (!layers_) [[unlikely]] {
    SedimentProfile& sediment = run_.sediment();
    sediment.getSedimentProfile();
    const int n = sediment.numLayers();
    SedimentLayers l;
    l.cntOm.assign(static_cast<std::size_t>(n) + 1, 0.0);
    l.rho.assign(static_cast<std::size_t>(n) + 1, 0.0);
    l.thetaSat.assign(static_cast<std::size_t>(n) + 1, 0.0);
    for (int j = 1; j <= n; ++j) {
      const auto J = static_cast<std::size_t>(j);
      l.cntOm[J] = sediment.cntOm(j);
      l.rho[J] = sediment.rho(j);
      l.thetaSat[J] = sediment.thetaSat(j);
    }
    layers_ = std::move(l);
  }
  return *layers_;
}

int Compounds::numLayers() {
  return static_cast<int>(layers().cntOm.size()) - 1;
}

int Compounds::numSeg() const {
  return run_.waterBody().numSeg();
}

void Compounds::allocateWaterArrays() {
  const int n = numCompounds();
  const int numSegments = numSeg();
  assert(numSegments >= 1 && "the water body is read before the compound arrays are used");
  for (CompoundSegmentArray* a : {&KdSusSol_, &CntSorSusSol_, &CntSorMph_, &ConSysWatLay_,
                                  &RatTraWat_, &RatForWat_, &FlmVol_}) {
    a->allocate(numSegments, n);
  }
}

void Compounds::allocateSedimentArrays() {
  const int n = numCompounds();
  const int numSegments = numSeg();
  assert(numSegments >= 1 && "the water body is read before the compound arrays are used");
  for (CompoundSedimentArray* a : {&KdSed_, &CntSorSed_, &ConSysSed_, &RatTraSed_, &RatForSed_}) {
    a->allocate(numLayers(), numSegments, n);
  }
}

void Compounds::allocateCompoundArrays() {
  const auto n = static_cast<std::size_t>(numCompounds());
  for (std::vector<double>* v :
       {&CofTraWat_, &SlbWat_, &CofHenry_, &CofVol_, &ConLiqEquAir_, &CofTraLiq_, &CofTraGas_}) {
    v->assign(n, 0.0);
  }
  temCofWat_ = std::numeric_limits<double>::quiet_NaN();
  compoundArraysReady_ = true;
}

void Compounds::allocateLayerArrays() {
  CofTraSed_.allocate(numLayers(), numCompounds());
  temCofSed_.clear();
  TemSed_.assign(static_cast<std::size_t>(numLayers()) + 1, 0.0);
  temSedSet_.assign(TemSed_.size(), 0);
}

double Compounds::cofDifSed(int j, int k) {
  if (!CofDifSed_.allocated()) [[unlikely]] {
    // Molecular diffusion in water reduced by the tortuosity of the pores;
    // constant for the run.
    SedimentProfile& sediment = run_.sediment();
    CofDifSed_.allocate(numLayers(), numCompounds());
    for (int c = 1; c <= numCompounds(); ++c) {
      for (int l = 1; l <= numLayers(); ++l) {
        CofDifSed_(l, c) = cofDifWatRef(c) * sediment.cofDifRel(l) / kSecondsPerDay;
      }
    }
  }
  return CofDifSed_(j, k);
}

}  // namespace korvan
