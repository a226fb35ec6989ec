// Transport of the compounds in the pore water of the sediment under every
// segment: storage in pore water and on the solids (Freundlich sorption),
// advection by seepage, diffusion and dispersion between the layers,
// transformation, formation, eroded soil, exchange with the water layer at
// the surface and seepage water at the lower boundary.
//
// The scheme is a finite-volume scheme along the depth with the time weight
// 1 on the start of the step: every transport, sink and exchange term uses
// the start-of-step concentrations, only the storage uses the end of the
// step, and the non-linear storage is iterated. No linear system is solved.
//
// Extent. Every balance is written per metre of water course: the storage of
// layer j is its cross-section A(j) = widSedLayer(j) x ThiLay(j) (m2) times
// ConSysSed, and every flux through interface j is per metre of water course
// (g.m-1.s-1) with the same value on both sides of the interface. So the
// inner fluxes cancel in the sum over a column, and the mass per metre of
// water course changes by exactly the surface, bottom, transformation,
// formation and erosion terms; times the segment length these are the
// sediment terms of the mass balance.
//
// Indices: layers j = 1..L from the surface down, interfaces j = 0..L
// (0 the sediment surface, j the bottom of layer j), segments i = 1..N,
// compounds k = 1..n. Per-layer vectors hold layer j at index j (index 0
// unused); per-interface vectors hold interface j at index j.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "substance/compound_arrays.hpp"
#include "substance/sorption.hpp"

namespace korvan {

class Run;

// Everything the solver needs apart from the water-layer concentration and
// the time step. Built from the run's modules, or by hand in tests.
struct SedimentSolverInput {
  // --- Constant for the run ---------------------------------------------
  int numLayers = 0;
  int numSeg = 0;
  int numCompounds = 0;
  std::vector<double> thiLay;           // m, layer j
  std::vector<double> thetaSat;         // m3.m-3, layer j
  std::vector<double> rho;              // g.m-3, dry bulk density of layer j
  std::vector<double> cntOm;            // kg.kg-1, layer j
  std::vector<double> lenDisSedLiq;     // m, dispersion length of layer j
  std::vector<double> widSedLayer;      // m, width of the column at the centre of layer j
  std::vector<double> widSedInterface;  // m, width at interface j = 0..L
  // Width w0 over which the seepage flux is defined: the water flux per metre
  // of water course through interface j is w0 x flwWatSpgSed(j). The run
  // takes the width of the sediment surface, the exchanging perimeter.
  double widRefSpg = 0.0;
  double conWatSpg = 0.0;                    // g.m-3, seepage water entering at the bottom
  std::vector<FreundlichIsotherm> isotherm;  // compound k at index k - 1
  CompoundLayerArray cofDifSed;              // m2.s-1 per layer and compound
  CompoundLayerArray conSysSedIni;           // g.m-3 per layer and compound
  // Eroded soil goes into layers 1..numLayErs (down to ThiLayErs) in
  // proportion to their cross-sections; 0 takes no erosion.
  int numLayErs = 0;

  // --- Refreshed every step (from the run by step()) -------------------
  std::vector<double> flwWatSpgSed;  // m.s-1 per interface, positive downwards
  CompoundLayerArray cofTraSed;      // s-1 per layer and compound
  CompoundSedimentArray ratForSed;   // g.m-3.s-1 per layer, segment and compound

  // Sizes every vector and array for the counts above, zeroed, with unit
  // widths; the tests then fill in their values.
  void allocate(int layers, int segments, int compounds);
};

// A fatal error of the solver when it runs without a run (tests): the
// routine and the three message lines a run would report.
struct SedimentSolverStop {
  std::string routine;
  std::array<std::string, 3> lines;
};

// The positivity conditions on the matrix elements of a layer: the first one
// violated (1..6), or 0.
int positivityViolation(double lbd, double ldd, double lod, double rbd, double rdd, double rod);
// The three message lines of a violated condition at a layer.
std::array<std::string, 3> positivityMessage(int condition, int layer, double value);

// The water-sediment exchange per metre of water course (g.m-1.s-1, positive
// into the sediment) at the sediment surface: downward seepage carries the
// water-layer concentration, upward seepage the top layer's; diffusion with
// the conductance cofExc (m2.s-1 per metre). flwWatSed is the seepage water
// flux per metre (m2.s-1, positive downwards). The water layer uses the same
// function with the same start-of-step values, so that both sides agree.
inline double flmExcWatSed(double flwWatSed, double cofExc, double conLiqWatLay,
                           double conLiqSedTop) {
  const double adv = flwWatSed > 0.0 ? flwWatSed * conLiqWatLay : flwWatSed * conLiqSedTop;
  return adv + cofExc * (conLiqWatLay - conLiqSedTop);
}

class SedimentSolver {
 public:
  // Per-layer term contributions of the last step (g per metre of water
  // course, positive into the layer).
  enum class Term {
    Storage,         // change of the mass present: end minus start of step
    Advection,       // net seepage through both interfaces of the layer
    Dispersion,      // net diffusion and dispersion through both interfaces
    Transformation,  // negative
    Formation,
    Erosion,
  };
  // Per-segment boundary terms of the last step (g per metre of water
  // course, positive into the sediment).
  enum class Boundary {
    SurfaceAdvection,  // seepage through the sediment surface
    SurfaceDiffusion,  // diffusion through the sediment surface
    Bottom,            // seepage through the lower boundary (ConWatSpg in, ConLiqSed out)
  };

  // Inputs from the run's modules, read at the first call.
  explicit SedimentSolver(Run& run);
  // Inputs as given; fatal errors throw SedimentSolverStop.
  explicit SedimentSolver(SedimentSolverInput input);

  // First call: allocation, weights, interface porosities, and the initial
  // partitioning of ConSysSedIni over pore water and solids. step() calls it
  // when the caller has not.
  void initialise();

  // One time step of dt seconds for every compound and segment.
  // conLiqWatLay holds the water-layer concentrations at the start of the
  // step (segment i at index i). erosion, when given, holds per compound the
  // substance flux with eroded soil into the sediment per metre of water
  // course (g.m-1.s-1, segment i at index i).
  void step(double dt, const CompoundSegmentArray& conLiqWatLay,
            const CompoundSegmentArray* erosion = nullptr);
  // The same for compound k alone.
  void stepCompound(int k, double dt, std::span<const double> conLiqWatLay,
                    std::span<const double> erosion = {});

  // Largest time step (s) for which the start-of-step diagonal rdd stays
  // non-negative in every layer under every segment, for compound k at the
  // current concentrations and the current seepage and rate coefficients.
  double maxStableTimeStep(int k);
  // The bound the sediment sets on the sub-step of the substance pass (s):
  // TimStpSed for daily input or OptTimStp Input; with Calc the largest
  // stable step of every compound, the smallest of them, unrounded (the
  // water layer rounds the bounded step to whole steps per hour).
  double subStepBound();

  // --- Concentrations (g.m-3) -------------------------------------------
  double conLiqSed(int j, int i, int k) const { return ConLiqSed_(j, i, k); }
  double conLiqSedStart(int j, int i, int k) const { return ConLiqSedSta_(j, i, k); }
  double conLiqSedNew(int j, int i, int k) const { return ConLiqSedNew_(j, i, k); }
  const CompoundSedimentArray& conLiqSed() const { return ConLiqSed_; }
  // Takes ConLiqSed of every column from a scheme that advances the sediment
  // itself (OptTimStp Implicit), with the sorption coefficients it implies.
  void setConLiqSed(const CompoundSedimentArray& conLiqSed);
  // Run only: sorbed contents and ConSysSed of the compound module at the
  // current ConLiqSed.
  void updatePhases();

  // --- For the water layer ------------------------------------------------
  // Seepage water flux through the sediment surface per metre of water
  // course (m2.s-1, positive downwards) and the diffusion conductance of the
  // surface for compound k (m2.s-1 per metre), both as used in the last step
  // (or set at initialisation); see flmExcWatSed.
  double flwWatSedTop() const { return Qs_[0]; }
  double cofExcWatSed(int k) const;

  // --- Mass balance -------------------------------------------------------
  double term(Term t, int j, int i, int k) const;
  double boundary(Boundary b, int i, int k) const;
  // Sum over the layers of a per-layer term (g per metre of water course).
  double columnSum(Term t, int i, int k) const;
  // Cross-section of layer j (m2): the volume per metre of water course.
  double areaLayer(int j) const { return AreaLay_[static_cast<std::size_t>(j)]; }

  const SedimentSolverInput& input() const { return in_; }
  SedimentSolverInput& input() { return in_; }

  // --- Work done (for benchmarks) -----------------------------------------
  // Calls of step() so far, and cell iterations: one evaluation of the
  // end-of-step storage of one layer of one column.
  std::uint64_t numSteps() const { return numSteps_; }
  std::uint64_t numCellIterations() const { return numCellIterations_; }

 private:
  // Per-interface transport coefficients of one column.
  struct Interface {
    double alpha = 0.5;  // weight of the lower layer in the node concentration
    double theta = 0.0;  // porosity at the interface
    double dist = 0.0;   // distance between the centres on either side (m)
  };

  void readFromRun();
  void refreshFromRun();
  void allocate();
  void setWeights();
  void partitionInitial();
  double partition(double conSys, int j, int k) const;

  double kd(int j, int k, double conLiq) const {
    return in_.isotherm[static_cast<std::size_t>(k - 1)].kd(in_.cntOm[static_cast<std::size_t>(j)],
                                                            conLiq);
  }
  // Conductance G(j) = gFix + gDt x dt (m2.s-1 per metre) of the inner
  // interfaces of a column at its start-of-step concentrations. The parts
  // that do not depend on sorption are the same for every column of a
  // compound: interfaceConstants() sets them once per compound and step;
  // conductances() takes kdSta_ from the sorption coefficients held for the
  // current concentrations of column i and sets gDt from them.
  void interfaceConstants(int k);
  void conductances(int i, int k);
  // The sorption coefficients of column i at its current concentrations.
  void updateKdColumn(int i, int k);
  void buildColumn(int i, int k, double dt, double conWat, double ers);
  // The end-of-step storage at the iterate c; the first iterate is c0,
  // whose coefficients conductances() already holds.
  void storageEnd(int k, std::span<const double> c, bool firstIterate);
  // storageOnly: the other elements passed at the first iterate.
  void checkPositivity(bool storageOnly) const;
  void solveColumn(int i, int k, double dt, double conWat, double ers);
  void storeTerms(int i, int k, std::span<const double> c0, std::span<const double> cNew);
  [[noreturn]] void fatal(const std::array<std::string, 3>& lines) const;

  Run* run_ = nullptr;
  SedimentSolverInput in_;
  bool initialised_ = false;

  // Geometry, set once.
  std::vector<Interface> int_;      // interface 0..L
  std::vector<double> AreaLay_;     // m2, layer j
  double AreaSedErs_ = 0.0;         // m2, cross-section of the layers taking eroded soil
  std::vector<double> Qs_;          // m2.s-1 per metre, interface 0..L, positive downwards
  std::vector<double> gFix_, gDt_;  // conductance parts per inner interface (workspace)
  // 0.5 v (1 - 2 theta) v per inner interface: the numerical dispersion per
  // second of time step times the retardation, which conductances() divides.
  std::vector<double> numPerDtR_;
  CompoundLayerArray CofExcTop_;    // surface conductance per compound, at index 0

  CompoundSedimentArray ConLiqSed_, ConLiqSedSta_, ConLiqSedNew_;
  // Kd (m3.g-1) at ConLiqSed_, kept with it: the next step's start, the
  // stability rule and the compound module's sorbed contents all use it.
  CompoundSedimentArray KdSed_;

  // Matrix of the column being solved (layer j), and the coefficient
  // contributions that the terms are evaluated from.
  std::vector<double> lbd_, ldd_, lod_, rbd_, rdd_, rod_, src_;
  std::vector<double> kdIt_, kdArg_;  // Kd at the current iterate of the column, and that iterate
  std::vector<double> kdSta_, stoSta_, tra_, advOwn_, advUpp_, advLow_, disOwn_, disUpp_, disLow_, for_,
      ers_;
  double srcAdvTop_ = 0.0, srcDisTop_ = 0.0, srcBot_ = 0.0;  // boundary sources (g per metre)
  double ownAdvTop_ = 0.0, ownDisTop_ = 0.0, ownBot_ = 0.0;  // their own-concentration parts

  // Term contributions of the last step.
  std::array<CompoundSedimentArray, 6> terms_;
  std::array<CompoundSegmentArray, 3> boundaries_;

  std::uint64_t numSteps_ = 0;
  std::uint64_t numCellIterations_ = 0;
};

}  // namespace korvan
