// Transport of the compounds in the water layer: advection, dispersion,
// sorption storage, transformation, formation, volatilisation, exchange with
// the top sediment layer, loadings and lateral entries, over one substance
// time step, for a chain of segments.
//
// The scheme is a weighted finite-volume scheme with the time weight fixed
// at 1 on the start of the step: every transport, sink and exchange term
// uses the start-of-step concentrations and only the storage uses the
// end-of-step concentration. With Freundlich sorption the end-of-step
// storage depends on the end-of-step concentration, so the update is
// iterated; each iteration is one explicit pass, with no system to solve.
//
// All balance terms are per metre of water course (g.m-1 over the step); a
// segment's amount is the term times its length. Indices: segments i = 1..N
// and nodes 0..N (node i is the downstream boundary of segment i) at index i,
// compounds k = 1..n.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "substance/compound_arrays.hpp"
#include "substance/sorption.hpp"

namespace korvan {

class Run;

// --- Fixed settings of the scheme ------------------------------------------
inline constexpr double kThetaWatLay = 1.0;   // time weight of the start of the step
inline constexpr double kWeightWatLay = 0.5;  // spatial weight parameter w
inline constexpr int kMaxItWatLay = 50;
inline constexpr double kTolWatLay = 1e-5;
// 0.1 as held in single precision, which the convergence rule multiplies in.
inline constexpr double kFacConvWatLay = 0.10000000149011612;
// Floor of the physical dispersion coefficient: 50 m2.d-1 in m2.s-1.
inline constexpr double kCofDisPhsMin = 50.0 / 86400.0;

// --- A0: physical dispersion ---------------------------------------------
enum class DispersionOption { Fischer = 1, Input };

// Fischer's coefficient at a node (m2.s-1): c u^2 W^2 / (h u*), u the mean
// velocity at the node, u* the shear velocity (0.1 Q / A of the segment), W
// the mean surface width and h the depth; at least the floor, which also
// holds where u* is 0.
double cofDisPhsFischer(double c, double u, double uShear, double width, double depth);
// The coefficient c of the edition: 0.273 for MERIX and Orlan, 0.028 for ZR
// and BRAX, 0 (the floor applies) otherwise.
double fischerCoefficient(bool merixOrOrlan, bool zrOrBrax);
// The input value (m2.d-1) in m2.s-1, at least the floor.
double cofDisPhsInput(double cofDisPhsInpPerDay);

// --- A1: spatial weights ---------------------------------------------------
// alpha(i), i = 1..N at index i (index 0 unused): the weight of segment i+1 in
// the concentration at node i; alpha(N) = alpha(N-1); 1 for a single segment.
std::vector<double> spatialWeights(std::span<const double> lenSeg, std::span<const double> x,
                                   double w = kWeightWatLay);

// --- A7: time step of the substance pass ---------------------------------
struct SubstanceTimeStep {
  double dt = 0.0;   // s
  int numSteps = 0;  // per hour (per day for daily input)
};
// Daily input: 600 s, 144 steps per day.
// Hourly input with OptTimStp Input: TimStpWat and int(3600 / TimStpWat).
// In both a smaller TimStpSed (s) bounds the sub-step: the day or the hour is
// divided into the fewest equal sub-steps of at most TimStpSed.
SubstanceTimeStep dailyTimeStep(double timStpSed);
SubstanceTimeStep inputTimeStep(double timStpWat, double timStpSed);
// Hourly input with OptTimStp Calc, from the largest stable steps of the
// water layer and of the sediment (s), whether any compound has KomSed below
// 0.01 m3.g-1, and the maximum step (1900 s MERIX, 3600 s otherwise).
SubstanceTimeStep calcTimeStep(double dtStableWatLay, double dtStableSed, bool komSedSmall,
                               double maxStep);

// --- Inputs of a step --------------------------------------------------------
// One hydraulic state of the water layer (start or end of the step).
struct WaterLayerHydraulics {
  std::vector<double> qBou;       // m3.s-1, nodes 0..N
  std::vector<double> area;       // m2, segments 1..N
  std::vector<double> width;      // m, water-surface width, 1..N
  std::vector<double> perWet;     // m, wetted perimeter, 1..N
  std::vector<double> cofDisPhs;  // m2.s-1, nodes 0..N
};

// Cross-section at node i (m2): the weighted mean of its two segments, as the
// concentration at the node; node 0 and node N take their one segment.
double nodeArea(const WaterLayerHydraulics& h, std::span<const double> alpha, int i, int n);

// Coefficients of one compound for the step.
struct WaterLayerCompound {
  FreundlichIsotherm isoSusSol;   // sorption to suspended solids
  double cofSorMph = 0.0;         // m3.g-1, linear sorption to macrophytes
  double cofTra = 0.0;            // s-1, transformation
  double cofVol = 0.0;            // m.s-1, volatilisation
  double conLiqEquAir = 0.0;      // g.m-3, in equilibrium with the air; 0 without vapour pressure
  double conSysUps = 0.0;         // g.m-3, total concentration of the upstream inflow
  std::vector<double> ratFor;     // g.m-3.s-1, formation from parents, 1..N
  std::vector<double> ratAtmDep;  // g.m-2.s-1, atmospheric deposition, 1..N
  // Lateral entries, g.m-1.s-1 per metre of water course, 1..N.
  std::vector<double> flmDra, flmRnf, flmUpsCatch;
  std::vector<double> loaWatLay;  // g.m-1, loading of the loading solve, 1..N
};

// Everything a step needs but the top sediment layer's pore water.
struct WaterLayerInput {
  int numSeg = 0;
  std::vector<double> lenSeg;  // m, 1..N
  std::vector<double> x;       // m, segment centres, 1..N
  double dt = 0.0;             // s
  double conSus = 0.0;         // g.m-3
  double cntOmSusSol = 0.0;    // kg.kg-1
  double amaMphWatLay = 0.0;   // g.m-2
  // Top sediment layer: porosity, thickness (m), the width of the exchange
  // surface (m, 1..N) and the seepage per metre of water course
  // (m2.s-1, 1..N, positive downwards).
  double thetaSat1 = 0.0;
  double thiLay1 = 1.0;
  std::vector<double> widSed;
  std::vector<double> qSpg;
  bool upwardSeepageCarriesSediment = true;  // false in the Orlan edition
  // The loading flag is lowered after the last compound (MERIX water course)
  // instead of after the first.
  bool loadingAllCompounds = false;
  bool checkSolubility = false;  // solubility check through the compound module
  double time = 0.0;             // days, end of the step, for the solubility warning
  WaterLayerHydraulics start, end;
  std::vector<WaterLayerCompound> compounds;  // compound k at index k - 1
};

// The top sediment layer as the sediment solver holds it: ConLiqSed of
// layer 1 per segment and compound and the diffusion coefficient of layer 1
// per compound (m2.s-1, compound k at index k - 1).
struct SedimentTop {
  const CompoundSegmentArray* conLiqSed1 = nullptr;  // null: no sediment (0)
  std::span<const double> cofDifSed1;                // empty: no diffusion
};

// --- Term contributions ----------------------------------------------------
// Each contribution is what the term adds to its matrix element, already
// multiplied by dt: own-concentration terms add to rdd (losses negative),
// upstream-neighbour terms to rod, downstream-neighbour terms to rbd,
// sources to the source.
enum class WaterLayerTerm {
  StoEnd,     // ldd: end-of-step storage A (1 + S + M), not times dt
  StoSta,     // rdd: start-of-step storage
  AdvDwnOwn,  // rdd: advection through node i, own concentration
  AdvDwnNbr,  // rbd: advection through node i, downstream neighbour
  AdvUpsOwn,  // rdd: advection through node i-1, own concentration
  AdvUpsNbr,  // rod: advection through node i-1, upstream neighbour
  DisDwnOwn,  // rdd: dispersion through node i
  DisDwnNbr,  // rbd
  DisUpsOwn,  // rdd: dispersion through node i-1
  DisUpsNbr,  // rod
  Tra,        // rdd: transformation
  Vol,        // rdd: volatilisation
  SpgOut,     // rdd: downward seepage into the sediment
  DifOut,     // rdd: diffusion towards the sediment
  Inflow,     // source: inflow across node 0 (segment 1)
  AtmDep,     // source: atmospheric deposition
  Dra,        // source: drainage
  Rnf,        // source: runoff
  UpsCatch,   // source: entries of the upstream catchment
  AirExc,     // source: uptake from the air
  SpgIn,      // source: upward seepage from the sediment
  DifIn,      // source: diffusion from the sediment
  For,        // source: formation from parents
  Loa,        // source: loading of the loading solve (g.m-1)
};
inline constexpr int kNumWaterLayerTerms = static_cast<int>(WaterLayerTerm::Loa) + 1;

// Amounts of a step (g, all segments, positive into the water layer), the
// terms the mass balance accumulates.
struct WaterLayerAmounts {
  double storageChange = 0.0;  // end-of-step minus start-of-step mass in the storage terms
  double tra = 0.0, vol = 0.0, airExc = 0.0, formation = 0.0;
  double atmDep = 0.0, dra = 0.0, rnf = 0.0, upsCatch = 0.0, loa = 0.0;
  double sediment = 0.0;    // net exchange with the sediment (seepage and diffusion)
  double upstream = 0.0;    // across node 0
  double downstream = 0.0;  // across node N (negative for outflow)
  double internal = 0.0;    // advection and dispersion between segments: 0 to round-off
  double sum() const {
    return tra + vol + airExc + formation + atmDep + dra + rnf + upsCatch + loa + sediment +
           upstream + downstream + internal;
  }
};

class WaterLayerSolver {
 public:
  explicit WaterLayerSolver(Run& run);

  // --- From the run ---------------------------------------------------------
  // The physical dispersion coefficients of nodes 0..N (m2.s-1) for the
  // current hydraulics, handed to the hydrology for printing. The solver
  // itself computes them per sub-step from the interpolated hydraulics.
  void setDispersion();
  std::span<const double> cofDisPhs() const { return current_.cofDisPhs; }
  // Fills the input of sub-step `subStep` (1..numSubSteps) of length dt (s)
  // from the modules (after Hydrology::prepareSubSteps).
  const WaterLayerInput& gather(int subStep, double dt);
  // One step for all compounds from the run's modules (or the loading solve
  // while the loading module's flag is raised).
  void step(int subStep, double dt, const SedimentTop& sed);

  // --- On a plain input -------------------------------------------------
  // Allocates the concentrations, compound 1 dissolved at conLiqIni (g.m-3)
  // and the others at 0; the first solve does it, at 0, when not done before.
  void allocate(int numSeg, int numCompounds, double conLiqIni);
  // One transport step for every compound.
  void solve(const WaterLayerInput& in, const SedimentTop& sed);
  // The loading solve (A6a): storage and the loading of WaterLayerCompound::
  // loaWatLay only, from the start-of-step to the end-of-step storage, for
  // compound 1 (every compound with loadingAllCompounds); the other
  // compounds take the ordinary solve.
  void solveLoading(const WaterLayerInput& in, const SedimentTop& sed);
  // The largest dt (s) for which rdd stays non-negative in every segment, for
  // the hydraulic state given (start or end), minimum over the compounds.
  // Kd at the current ConLiqWatLay.
  double stableTimeStep(const WaterLayerInput& in, const SedimentTop& sed, bool endState);
  // A7 for the run's options. Hourly Calc evaluates the hour's start and end
  // states, so the caller prepares the hydrology with one sub-step first.
  // dtSed is the sediment's bound (SedimentSolver::subStepBound): TimStpSed,
  // or with Calc its largest stable step.
  SubstanceTimeStep timeStep(double dtSed, const SedimentTop& sed);

  // --- Getters -------------------------------------------------------------
  CompoundSegmentArray& conLiqWatLay() { return ConLiqWatLay_; }
  const CompoundSegmentArray& conLiqWatLay() const { return ConLiqWatLay_; }
  const CompoundSegmentArray& conLiqWatLaySta() const { return ConLiqWatLaySta_; }
  const CompoundSegmentArray& conLiqWatLayNew() const { return ConLiqWatLayNew_; }
  // Contribution of a term per segment for compound k (index i = 1..N).
  std::span<const double> term(WaterLayerTerm t, int k) const {
    return terms_[static_cast<std::size_t>(t)].values(k);
  }
  std::span<const double> lbd(int k) const { return lbd_.values(k); }
  std::span<const double> ldd(int k) const { return ldd_.values(k); }
  std::span<const double> lod(int k) const { return lod_.values(k); }
  std::span<const double> rbd(int k) const { return rbd_.values(k); }
  std::span<const double> rdd(int k) const { return rdd_.values(k); }
  std::span<const double> rod(int k) const { return rod_.values(k); }
  std::span<const double> source(int k) const { return src_.values(k); }
  std::span<const double> alpha() const { return alpha_; }
  int iterations(int k) const { return iterations_[static_cast<std::size_t>(k - 1)]; }
  // The amounts of the last step of compound k from the contributions and
  // the start-of-step and new concentrations.
  WaterLayerAmounts amounts(const WaterLayerInput& in, int k) const;

 private:
  struct Options;

  void ensureArrays(const WaterLayerInput& in);
  void sorptionFactors(const WaterLayerInput& in, const WaterLayerCompound& c,
                       const WaterLayerHydraulics& h, std::span<const double> con,
                       std::span<double> s, std::span<double> m) const;
  void correctedDispersion(const WaterLayerInput& in, const WaterLayerHydraulics& h,
                           std::span<const double> s, std::span<const double> m);
  void assemble(const WaterLayerInput& in, const SedimentTop& sed, int k);
  void assembleLoading(const WaterLayerInput& in, int k, bool withSource);
  void sumElements(int k, int numSeg);
  void checkPositivity(int k, int numSeg, double dt) const;
  void update(int k, int numSeg);
  // A6 for one compound; returns whether it converged.
  bool iterate(const WaterLayerInput& in, int k,
               void (WaterLayerSolver::*build)(const WaterLayerInput&, int));
  void endStorage(const WaterLayerInput& in, int k);
  void buildTransport(const WaterLayerInput& in, int k);
  void buildLoading(const WaterLayerInput& in, int k);
  void checkAfter(const WaterLayerInput& in, int k, bool converged);
  void readOptions();

  Run& run_;
  bool optionsRead_ = false;
  DispersionOption optDis_ = DispersionOption::Fischer;
  double cofDisPhsInp_ = 0.0;  // m2.s-1
  double cFischer_ = 0.0;
  bool orlan_ = false;
  bool merixWaterCourse_ = false;

  CompoundSegmentArray ConLiqWatLay_, ConLiqWatLaySta_, ConLiqWatLayNew_;
  CompoundSegmentArray lbd_, ldd_, lod_, rbd_, rdd_, rod_, src_;
  std::array<CompoundSegmentArray, kNumWaterLayerTerms> terms_;
  std::vector<int> iterations_;
  std::vector<double> alpha_;
  // Work arrays of one compound (0..N): sorption factors at the end (current
  // iterate) and at the start, and the corrected dispersion per node.
  std::vector<double> sEnd_, mEnd_, sSta_, mSta_, dCor_;
  std::vector<double> conEnd_;  // the iterate at which sEnd_ was computed
  std::vector<double> powArg_;  // isotherm powers of the segments that moved
  std::vector<std::size_t> movedIdx_;
  double c_expFre_ = 1.0;             // Freundlich exponent of the compound being built
  const SedimentTop* sed_ = nullptr;  // during a solve
  WaterLayerInput runInput_;          // filled by gather()
  WaterLayerHydraulics current_;      // the current hydraulics, for setDispersion()
  std::vector<double> depth_;         // m, segments 1..N
};

}  // namespace korvan
