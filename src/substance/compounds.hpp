// The compounds of a run (the parent first, then its transformation
// products) and their properties: sorption, transformation with its
// temperature dependence, formation of products, volatilisation.
//
// Inputs are read on first use, converted once to the units inside the model
// (g, m, s, K, J) and kept. The derived arrays are recomputed from the state
// of the solvers when they call the update operations, once per time step
// (sorption also per iteration), in this order: sorption and total
// concentration in water and sediment, transformation, formation,
// volatilisation. The getters that follow are plain array reads.
//
// Indices: compounds k (and parents p, daughters d) 1..numCompounds();
// segments i 1..N; sediment layers j 1..L from the surface down. Spans of
// concentrations hold segment i (or layer j) at index i (or j), index 0
// unused, the layout of SegmentVariable and of the arrays of
// compound_arrays.hpp.
#pragma once

#include <cassert>
#include <cstddef>
#include <optional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "substance/compound_arrays.hpp"
#include "substance/sorption.hpp"

namespace korvan {

class Run;
struct CompoundInput;

// Molar formation fractions of one formation table and their mass-basis
// conversion.
struct FormationTable {
  CompoundMatrix molar;  // F(p, d), mol.mol-1
  CompoundMatrix mass;   // Fm(p, d) = F(p, d) x MolMas(d) / MolMas(p), g.g-1
  bool read = false;
};

class Compounds {
 public:
  explicit Compounds(Run& run);

  // --- Compound list -------------------------------------------------------
  // GetCompoundList: reads the table compounds (once) and lists it in the log.
  void getCompoundList();
  // Both read the list on their first use.
  int numCompounds();
  // The compound names in table order.
  const std::vector<std::string>& names();
  const std::string& name(int k);

  // --- Per-compound inputs, read for every compound on first use ---------
  // Reads keyword name + "_" + compound for every compound in list order,
  // with the unit and bounds; a line of 80 dashes in the log first.
  std::vector<double> rdPerCompound(std::string_view name, std::string_view unit, double min,
                                    double max);

  double molMas(int k);           // g.mol-1
  double conLiqRefSusSol(int k);  // g.m-3
  double expFreSusSol(int k);     // -
  double komSusSol(int k);        // m3.g-1
  double cofSorMph(int k);        // m3.g-1
  double conLiqRefSed(int k);     // g.m-3
  double expFreSed(int k);        // -
  double komSed(int k);           // m3.g-1
  double cofDifWatRef(int k);     // m2.d-1, as read
  double dt50WatRef(int k);       // d, as read
  double cofTraWatRef(int k);     // s-1, ln 2 / DT50WatRef / 86400
  double temRefTraWat(int k);     // K
  double molEntTraWat(int k);     // J.mol-1
  double dt50SedRef(int k);       // d, as read
  double cofTraSedRef(int k);     // s-1, ln 2 / DT50SedRef / 86400
  double temRefTraSed(int k);     // K
  double molEntTraSed(int k);     // J.mol-1
  double slbWatRef(int k);        // g.m-3
  double temRefSlb(int k);        // K
  double molEntSlb(int k);        // J.mol-1
  double preVapRef(int k);        // Pa
  double temRefVap(int k);        // K
  double molEntVap(int k);        // J.mol-1

  // Values of the run rather than of a compound.
  double conSysWatIni();  // g.m-3, compound 1 in every segment at the start
  double conAir();        // the value read x 0.001
  double conWatSpg();     // g.m-3, seepage water entering at the bottom of the sediment
  // Initial total concentration in sediment layer j (g.m-3): 1e-6 x bulk
  // density x CntSysSedIni for compound 1, 0 for the others.
  double conSysSedIni(int j, int k);

  // --- Sorption -------------------------------------------------------------
  // Coefficients at any concentration, for the solvers' storage terms
  // (m3.g-1): suspended solids, and sediment layer j.
  double kdSusSolAt(int k, double conLiq);
  double kdSedAt(int j, int k, double conLiq);
  const FreundlichIsotherm& isothermSusSol(int k);
  const FreundlichIsotherm& isothermSed(int k);

  // Sorption coefficient to suspended solids and the sorbed contents
  // (suspended solids, macrophytes) in the water layer at the dissolved
  // concentrations given (ConLiqWatLay).
  void updateSorptionWater(int k, std::span<const double> conLiqWatLay);
  void updateSorptionWater(const CompoundSegmentArray& conLiqWatLay);
  // ConSysWatLay from ConLiqWatLay and the sorbed contents (update the
  // sorption first), with the current cross-section of each segment.
  void updateConSysWatLay(int k, std::span<const double> conLiqWatLay);
  void updateConSysWatLay(const CompoundSegmentArray& conLiqWatLay);
  // The dissolved part of ConSysWatIni in segment i at its current
  // cross-section: ConSysWatIni is the total of compound 1 in the water.
  double conLiqWatLayIni(int i);
  // Sorption in the sediment under segment i at ConLiqSed of its layers.
  void updateSorptionSed(int i, int k, std::span<const double> conLiqSed);
  void updateSorptionSed(const CompoundSedimentArray& conLiqSed);
  // ConSysSed (update the sorption first).
  void updateConSysSed(int i, int k, std::span<const double> conLiqSed);
  void updateConSysSed(const CompoundSedimentArray& conLiqSed);
  // Sorption and ConSysSed of every column with the coefficients at the
  // concentrations given (the sediment solver keeps them): no isotherm is
  // evaluated, the same values as the two updates above.
  void updateSediment(const CompoundSedimentArray& conLiqSed, const CompoundSedimentArray& kdSed);

  double kdSusSol(int i, int k) {  // m3.g-1
    ensureWaterArrays();
    return KdSusSol_(i, k);
  }
  double cntSorSusSol(int i, int k) {  // g.g-1
    ensureWaterArrays();
    return CntSorSusSol_(i, k);
  }
  double cntSorMph(int i, int k) {  // g.g-1
    ensureWaterArrays();
    return CntSorMph_(i, k);
  }
  double conSysWatLay(int i, int k) {  // g.m-3
    ensureWaterArrays();
    return ConSysWatLay_(i, k);
  }
  double kdSed(int j, int i, int k) {  // m3.g-1
    ensureSedimentArrays();
    return KdSed_(j, i, k);
  }
  double cntSorSed(int j, int i, int k) {  // g.g-1
    ensureSedimentArrays();
    return CntSorSed_(j, i, k);
  }
  double conSysSed(int j, int i, int k) {  // g.m-3
    ensureSedimentArrays();
    return ConSysSed_(j, i, k);
  }
  // Layers 0..L of ConSysSed under segment i.
  std::span<const double> conSysSedColumn(int i, int k) {
    ensureSedimentArrays();
    return ConSysSed_.values(i, k);
  }

  // Diffusion coefficient in sediment layer j (m2.s-1), constant for the run.
  double cofDifSed(int j, int k);

  // --- Transformation and formation ----------------------------------------
  // The temperature of sediment layer j (K), set by the substance cycle.
  // Layers that were never set take the water temperature.
  void setTemSed(int j, double tem);
  // Rate coefficients at the current temperatures and transformation
  // rates from the total concentrations (update those first). The water
  // temperature is one value for the whole water body: the current one of
  // the temperature module, or the one given.
  void updateTransformation();
  void updateTransformation(double temWat);
  double cofTraWat(int k) {  // s-1
    ensureCompoundArrays();
    return CofTraWat_[compound(k)];
  }
  double cofTraSed(int j, int k) {  // s-1
    ensureLayerArrays();
    return CofTraSed_(j, k);
  }
  double ratTraWat(int i, int k) {  // g.m-3.s-1
    ensureWaterArrays();
    return RatTraWat_(i, k);
  }
  double ratTraSed(int j, int i, int k) {  // g.m-3.s-1
    ensureSedimentArrays();
    return RatTraSed_(j, i, k);
  }

  // Formation tables, read on first use (or here, at initialisation).
  void rdFraPrtDauWat();
  void rdFraPrtDauSed();
  double fraPrtDauWat(int p, int d);     // mol.mol-1
  double fraPrtDauSed(int p, int d);     // mol.mol-1
  double fraMasPrtDauWat(int p, int d);  // g.g-1
  double fraMasPrtDauSed(int p, int d);  // g.g-1
  // Formation rates from the transformation rates of the parents (update
  // the transformation first).
  void updateFormation();
  double ratForWat(int i, int k) {  // g.m-3.s-1
    ensureWaterArrays();
    return RatForWat_(i, k);
  }
  double ratForSed(int j, int i, int k) {  // g.m-3.s-1
    ensureSedimentArrays();
    return RatForSed_(j, i, k);
  }
  // The whole arrays, for a solver that copies them once per step.
  const CompoundLayerArray& cofTraSedAll() {
    ensureLayerArrays();
    return CofTraSed_;
  }
  const CompoundSedimentArray& ratForSedAll() {
    ensureSedimentArrays();
    return RatForSed_;
  }

  // --- Volatilisation ---------------------------------------------------
  // Henry coefficient, solubility and volatilisation coefficient at the
  // current (or the given) water temperature, for every compound.
  void updateVolatilisationCoefficients();
  void updateVolatilisationCoefficients(double temWat);
  // Volatilisation fluxes at the dissolved concentrations given (the coefficients
  // first, or they are computed here).
  void updateVolatilisation(int k, std::span<const double> conLiqWatLay);
  void updateVolatilisation(const CompoundSegmentArray& conLiqWatLay);
  double slbWat(int k) {  // g.m-3 at the water temperature
    ensureCompoundArrays();
    return SlbWat_[compound(k)];
  }
  double cofHenry(int k) {  // -
    ensureCompoundArrays();
    return CofHenry_[compound(k)];
  }
  double cofVol(int k) {  // m.s-1
    ensureCompoundArrays();
    return CofVol_[compound(k)];
  }
  // ConAir / KH: the dissolved concentration in equilibrium with the air
  // (g.m-3); 0 when the compound does not volatilise (PreVapRef 0 or kv 0).
  double conLiqEquAir(int k) {
    ensureCompoundArrays();
    return ConLiqEquAir_[compound(k)];
  }
  double flmVol(int i, int k) {  // g.m-2.s-1, positive into the water
    ensureWaterArrays();
    return FlmVol_(i, k);
  }

  // Solubility check after a converged step: the first segment whose
  // ConLiqWatLay exceeds the solubility at the water temperature gives a
  // warning, once per run. `time` (days) is the time of the step's end.
  // True when this call issued the warning.
  bool checkSolubility(int k, std::span<const double> conLiqWatLay, double time);
  bool checkSolubility(int k, std::span<const double> conLiqWatLay, double time, double temWat);
  bool solubilityExceeded() const { return solubilityWarned_; }

 private:
  struct CompoundValues {
    std::vector<double> asRead;
    std::vector<double> internal;
    bool read = false;
  };
  struct WaterLayerSolids {
    double conSus = 0.0;        // g.m-3
    double cntOmSusSol = 0.0;   // kg.kg-1
    double amaMphWatLay = 0.0;  // g.m-2
  };
  struct SedimentLayers {
    std::vector<double> cntOm, rho, thetaSat;  // layer j at index j
  };

  // Index of compound k in the per-compound vectors; reads the list first.
  std::size_t compound(int k) {
    if (!listRead_) [[unlikely]]
      getCompoundList();
    assert(k >= 1 && k <= static_cast<int>(names_.size()) && "compound index outside 1..n");
    return static_cast<std::size_t>(k - 1);
  }
  int compoundOfName(std::string_view name) const;
  void readCompoundRows();
  void listCompounds();

  void read(CompoundValues& values, const CompoundInput& input);
  double input(CompoundValues& values, const CompoundInput& input, int k);
  double asRead(CompoundValues& values, const CompoundInput& input, int k);
  double scalar(std::optional<double>& cache, std::string_view keyword, std::string_view unit,
                double factor);

  // Constant properties of the water layer and of the sediment layers.
  const WaterLayerSolids& solids();
  const SedimentLayers& layers();
  int numLayers();
  int numSeg() const;

  // Arrays are allocated and zeroed on their first use, read or write.
  void ensureWaterArrays() {
    if (!KdSusSol_.allocated()) [[unlikely]]
      allocateWaterArrays();
  }
  void ensureSedimentArrays() {
    if (!KdSed_.allocated()) [[unlikely]]
      allocateSedimentArrays();
  }
  void ensureCompoundArrays() {
    if (!compoundArraysReady_) [[unlikely]]
      allocateCompoundArrays();
  }
  void ensureLayerArrays() {
    if (!CofTraSed_.allocated()) [[unlikely]]
      allocateLayerArrays();
  }
  void allocateWaterArrays();
  void allocateSedimentArrays();
  void allocateCompoundArrays();
  void allocateLayerArrays();

  FormationTable& formationTable(FormationTable& table, std::string_view name,
                                 std::string_view routine, bool required);
  void readFormationRows(FormationTable& table, std::string_view name, std::string_view routine,
                         bool required);
  void convertToMassBasis(FormationTable& table);
  FormationTable& waterTable();
  FormationTable& sedimentTable();

  // The Orlan edition has no transformation in the sediment.
  bool transformsInSediment();
  double temSed(int j, double temWat) const;

  Run& run_;

  // Compound list.
  bool listRead_ = false;
  std::vector<std::string> names_;

  // Per-compound inputs.
  CompoundValues MolMas_, ConLiqRefSusSol_, ExpFreSusSol_, KomSusSol_, CofSorMph_, ConLiqRefSed_,
      ExpFreSed_, KomSed_, CofDifWatRef_, DT50WatRef_, TemRefTraWat_, MolEntTraWat_, DT50SedRef_,
      TemRefTraSed_, MolEntTraSed_, SlbWatRef_, TemRefSlb_, MolEntSlb_, PreVapRef_, TemRefVap_,
      MolEntVap_;
  std::optional<double> ConSysWatIni_, ConAir_, ConWatSpg_;

  std::optional<WaterLayerSolids> solids_;
  std::optional<SedimentLayers> layers_;
  // Isotherms per compound with F0 precomputed, made on first use.
  std::vector<FreundlichIsotherm> isoSusSol_, isoSed_;

  // Derived arrays of the water layer (per segment and compound).
  CompoundSegmentArray KdSusSol_, CntSorSusSol_, CntSorMph_, ConSysWatLay_, RatTraWat_, RatForWat_,
      FlmVol_;
  // Derived arrays of the sediment (per layer, segment and compound).
  CompoundSedimentArray KdSed_, CntSorSed_, ConSysSed_, RatTraSed_, RatForSed_;
  // Per layer and compound.
  CompoundLayerArray CofDifSed_, CofTraSed_;
  // The temperatures (K) the transformation coefficients were last found
  // for: the water, and each sediment layer (NaN before the first).
  double temCofWat_ = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> temCofSed_;

  // Per compound (index k - 1) at the current temperatures, and the film
  // coefficients, which depend on the molar mass only.
  bool compoundArraysReady_ = false;
  std::vector<double> CofTraWat_, SlbWat_, CofHenry_, CofVol_, ConLiqEquAir_, CofTraLiq_,
      CofTraGas_;
  bool filmsReady_ = false;
  bool volatilisationReady_ = false;

  // Sediment temperature per layer (index j), and whether the cycle set it.
  std::vector<double> TemSed_;
  std::vector<char> temSedSet_;

  FormationTable FraPrtDauWat_, FraPrtDauSed_;

  bool solubilityWarned_ = false;
};

}  // namespace korvan
