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
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/vector_math.hpp"
#include "substance/compound_arrays.hpp"
#include "substance/sediment_kernels.hpp"
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
  // Column sums of the per-layer term contributions of the last step (g per
  // metre of water course, positive into the sediment).
  enum class Term {
    Storage,         // change of the mass present: end minus start of step
    Advection,       // net seepage through both interfaces of each layer
    Dispersion,      // net diffusion and dispersion through both interfaces
    Transformation,  // negative
    Formation,
    Erosion,
  };
  static constexpr int kNumTerms = static_cast<int>(Term::Erosion) + 1;
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

  // Threads that solve the columns of a step: 0 takes the run's --threads,
  // else OMP_NUM_THREADS, else one. The results do not depend on it.
  void setThreads(int threads) { threads_ = threads; }
  int threads() const;
  // The vector unit of the isotherm powers: the widest the processor has,
  // or one value at a time for results equal bit for bit to std::pow.
  void setIsa(vecmath::Isa isa) {
    isa_ = isa;
    vectorKernel_ = isa == vecmath::Isa::Avx512 && sediment_kernels::available();
  }

  // One time step of dt seconds for every compound and segment.
  // conLiqWatLay holds the water-layer concentrations at the start of the
  // step (segment i at index i). erosion, when given, holds per compound the
  // substance flux with eroded soil into the sediment per metre of water
  // course (g.m-1.s-1, segment i at index i).
  void step(double dt, const CompoundSegmentArray& conLiqWatLay,
            const CompoundSegmentArray* erosion = nullptr);
  // The same, with `alongside` run at the same time on one of the threads
  // (the water layer's step, which needs none of the sediment's results of
  // the step and writes nothing the columns read). An error it throws is
  // thrown again once the columns are done, before any error of theirs.
  void step(double dt, const CompoundSegmentArray& conLiqWatLay,
            const CompoundSegmentArray* erosion, const std::function<void()>& alongside);
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
  // Sorption coefficient (m3.g-1) at the current concentration.
  double kdSed(int j, int i, int k) const { return KdSed_(j, i, k); }
  const CompoundSedimentArray& conLiqSed() const { return ConLiqSed_; }
  // Takes ConLiqSed of every column from a scheme that advances the sediment
  // itself (OptTimStp Implicit), with the sorption coefficients it found for
  // them.
  void setConLiqSed(const CompoundSedimentArray& conLiqSed, const CompoundSedimentArray& kdSed);
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
  double boundary(Boundary b, int i, int k) const;
  // Sum over the layers of a per-layer term (g per metre of water course),
  // added up from the surface down.
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
  // The parts of a step's matrix that are the same for every column: the
  // seepage terms (per layer, for every compound), and per compound the
  // transformation and exchange factors and, without seepage, the
  // conductances of the inner interfaces.
  struct StepCoefficients {
    double dt = 0.0;
    bool seepage = false;                        // numerical dispersion of the time step present
    std::vector<double> advOwn, advUpp, advLow;  // dt x seepage parts per layer
    std::vector<double> dtArea;                  // dt x A(j)
    double dtQTop = 0.0, ownAdvTop = 0.0, srcBot = 0.0, ownBot = 0.0;
    CompoundLayerArray dtCofTra;          // dt x CofTraSed
    CompoundLayerArray gFix;              // G(j) without the time-step part
    CompoundLayerArray dtG;               // dt x G(j) when seepage is false
    std::vector<double> dtG0, ownDisTop;  // dt x G0 and -dt x G0 per compound (index k - 1)
  };
  // A fatal error met while solving a column: the column's place in the
  // order of the serial solve, and the message.
  struct ColumnFault {
    std::size_t order = 0;
    std::array<std::string, 3> lines;
  };
  // Where a column of a batch stands.
  enum class ColumnPhase { Iterating, Converged, Done };
  // The workspace of a column being solved (a thread has one per column of
  // a batch).
  struct ColumnWork {
    std::vector<double> stoSta, frm, ers, rhs, dG;
    const double* ersOf = nullptr;  // ers, or zeros without erosion
    const double* dGOf = nullptr;   // dG, or the step's dt x G of the compound without seepage
    std::vector<double> kdIt, iterA, iterB;
    // Each layer's contribution to the column sums of the balance terms.
    std::vector<double> termSto, termAdv, termDis, termTra;
    // The isotherm powers of the layers (powIt, by layer), and the packed
    // arguments and layers of those that need one.
    std::vector<double> powIt, powArg;
    std::vector<std::size_t> powIdx;
    double srcAdvTop = 0.0, srcDisTop = 0.0;  // boundary sources of the surface (g per metre)
    std::uint64_t cellIterations = 0;
    std::optional<ColumnFault> fault;
    // The column's place in a batch: its order in the step, its phase, the
    // iterates and their count, the arguments of the vector iteration, and
    // where its powers of the round start.
    std::size_t order = 0;
    ColumnPhase phase = ColumnPhase::Done;
    double* x = nullptr;
    double* y = nullptr;
    int count = 0;
    int powAt = 0;
    sediment_kernels::IterateArgs args;
    void allocate(std::size_t n);
  };
  // The packed power arguments and exponents of a round of a batch and of
  // the round after it.
  struct PowerBatch {
    std::vector<double> arg, expo, argNext, expoNext;
  };
  // Columns that share the power calls of a round.
  static constexpr int kBatch = 8;

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
  // G(j) without its time-step part, for compound k at inner interface j.
  double conductanceFixed(int j, int k) const;
  // Conductance G(j) = gFix + gDt x dt (m2.s-1 per metre) of the inner
  // interfaces of a column at its start-of-step concentrations, for the
  // stability rule: interfaceConstants() sets the parts that do not depend
  // on sorption, conductances() gDt of column i.
  void interfaceConstants(int k);
  void conductances(int i, int k);
  // The sorption coefficients of column i at its current concentrations.
  void updateKdColumn(int i, int k);

  // The column-independent coefficients of a step of dt seconds.
  void prepareStep(double dt);
  // A column of a step: compound, segment, and its boundary values.
  struct ColumnInput {
    int k = 0, i = 0;
    double conWat = 0.0, ers = 0.0;
  };
  // Solves the columns of a step over the threads, each column in its
  // workspace; the first fault in the order of the columns ends the run.
  void solveColumns(std::span<const ColumnInput> columns,
                    const std::function<void()>* alongside = nullptr);
  // Builds the start-of-step side of column i of compound k (one
  // right-hand side per layer), iterates the end-of-step storage to its
  // fixed point and keeps the column sums of the terms. Returns false after
  // a fault, recorded in the workspace.
  bool solveColumn(ColumnWork& w, std::size_t order, int i, int k, double conWat, double ers);
  // The start-of-step side of a column and the first iterate (in
  // w.iterA): 1 when that has converged, 0 when not, -1 after a fault.
  int buildColumn(ColumnWork& w, std::size_t order, int i, int k, double conWat, double ers);
  // Sets w.powIt of every layer whose value moved from `from` to `to` and
  // lies above the lower limit of the isotherm: (to / conLiqRef)^expPow.
  void powersOfMoved(ColumnWork& w, int l, const double* from, const double* to, double conLiqRef,
                     double expPow) const;
  // The arguments of the vector form of an iteration of column workspace w
  // (the iterates are set by each iteration).
  sediment_kernels::IterateArgs kernelArgs(ColumnWork& w, int k) const;
  // One iteration of the end-of-step storage over the layers, one layer at
  // a time: x the iterate, xPrev the one before, y the next. Returns 1 when
  // converged, 0 when not, -1 after a fault.
  int iterateColumn(ColumnWork& w, std::size_t order, int k, const double* xPrev, const double* x,
                    double* y);
  // The end of the step from the last two iterates x and y; updated: the
  // closing update on the vector unit has set c and kdIt already.
  bool finishColumn(ColumnWork& w, std::size_t order, int i, int k, const double* x,
                    const double* y, bool updated);
  // The columns of a batch on the vector unit, in rounds that share the
  // power calls; first is the order of the first column in the step.
  void solveBatch(std::span<ColumnWork> slots, PowerBatch& pb, std::span<const ColumnInput> columns,
                  std::size_t first);
  bool nextRound(ColumnWork& w, const ColumnInput& col);
  // The columns of a step cut into batches, and the work of thread t on
  // batch b: its kBatch workspaces, whether one of them failed, the solve.
  struct BatchPlan {
    std::span<const ColumnInput> columns;
    int batch = 1, batches = 0;
  };
  std::span<ColumnWork> threadSlots(int t);
  bool faulted(int t);
  void solvePlanned(int t, int b);
  void fault(ColumnWork& w, std::size_t order, std::array<std::string, 3> lines) const;
  [[noreturn]] void fatal(const std::array<std::string, 3>& lines) const;

  Run* run_ = nullptr;
  SedimentSolverInput in_;
  bool initialised_ = false;
  int threads_ = 0;
  vecmath::Isa isa_ = vecmath::bestIsa();
  std::vector<double> zeros_;  // a zero per layer
  // The iteration of a column on the 8-lane vector unit.
  bool vectorKernel_ = isa_ == vecmath::Isa::Avx512 && sediment_kernels::available();

  // Geometry, set once.
  std::vector<Interface> int_;      // interface 0..L
  std::vector<double> AreaLay_;     // m2, layer j
  double AreaSedErs_ = 0.0;         // m2, cross-section of the layers taking eroded soil
  std::vector<double> Qs_;          // m2.s-1 per metre, interface 0..L, positive downwards
  std::vector<double> gFix_, gDt_;  // conductance parts per inner interface (stability rule)
  std::vector<double> kdSta_;       // Kd of the column of the stability rule
  // 0.5 v (1 - 2 theta) v per inner interface: the numerical dispersion per
  // second of time step times the retardation, which the conductances divide.
  std::vector<double> numPerDtR_;
  CompoundLayerArray CofExcTop_;  // surface conductance per compound, at index 0
  // cntOm x KomSed per layer and compound: Kd of the linear isotherm and
  // the factor of the Freundlich power.
  CompoundLayerArray kdRef_;

  CompoundSedimentArray ConLiqSed_, ConLiqSedSta_;
  // Kd (m3.g-1) at ConLiqSed_, kept with it: the next step's start, the
  // stability rule and the compound module's sorbed contents all use it.
  CompoundSedimentArray KdSed_;

  StepCoefficients step_;
  std::vector<ColumnWork> work_;      // kBatch per thread
  std::vector<PowerBatch> powers_;    // one per thread
  BatchPlan plan_;                    // of the step being solved
  std::vector<ColumnInput> columns_;  // the columns of the step being solved

  // Column sums and boundary terms of the last step.
  std::array<CompoundSegmentArray, kNumTerms> sums_;
  std::array<CompoundSegmentArray, 3> boundaries_;

  std::uint64_t numSteps_ = 0;
  std::uint64_t numCellIterations_ = 0;
};

}  // namespace korvan
