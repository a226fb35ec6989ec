// A fully implicit (backward Euler) scheme for the water layer and the
// sediment together, chosen with OptTimStp Implicit for long runs.
//
// The terms are those of the explicit scheme (advection with the same
// spatial weights, dispersion, transformation, formation, volatilisation,
// exchange with the air, seepage and diffusion between the water layer and
// the top sediment layer, the sediment's advection, diffusion and
// dispersion, loadings and lateral entries), but every transport, sink and
// exchange term takes the end-of-step concentrations and the end-of-step
// hydraulics. Backward Euler is stable at any step, so the step is chosen
// for accuracy only; it carries its own numerical dispersion (0.5 u^2 dt / R)
// with the sign that smooths, so the physical coefficients are used without
// a correction.
//
// One step per compound, in list order, is one Newton iteration on the
// coupled system: each sediment column is a tridiagonal system that couples
// to its segment through the top layer; it is eliminated into the diagonal
// of the segment's row (two right-hand sides of the column's system), and the
// water layer is then a tridiagonal system over the segments. Thomas
// algorithm throughout. With linear sorption one iteration is exact; with
// Freundlich sorption (suspended solids, sediment) the iteration runs until
// every concentration changes by less than 1e-10 of itself.
//
// A daughter's formation is its parents' end-of-step transformation times the
// mass-basis formation fraction (a parent later in the list than its
// daughter contributes its start-of-step transformation), so what a parent
// loses by transformation its daughters gain in the same step.
//
// Units and indices as in the explicit solvers: per metre of water course,
// segments i = 1..N, layers j = 1..L, compounds k = 1..n.
#pragma once

#include <vector>

#include "core/vector_math.hpp"
#include "substance/compound_arrays.hpp"
#include "substance/mass_balance.hpp"
#include "substance/sediment_solver.hpp"
#include "substance/water_layer.hpp"

namespace korvan {

class Run;

// Relative error of a concentration at which the Newton iteration stops. Near
// the solution the error after a step is of the order of the square of the
// step times half the relative curvature of the storage, which for a
// Freundlich exponent between 0.1 and 1.5 is below 0.5: a step of at most
// kTolNewtonStep (relative) leaves less than kTolNewtonImplicit, so that no
// step is taken only to confirm the one before.
inline constexpr double kTolNewtonImplicit = 1e-10;
inline constexpr double kTolNewtonStep = 1e-6;
inline constexpr int kMaxItImplicit = 50;

// Mass-basis formation fractions Fm(p, d) in water and in the sediment.
struct FormationFractions {
  CompoundMatrix water, sediment;
};

class ImplicitSolver {
 public:
  // One step of in.dt seconds for every compound. conWat (segments) and
  // conSed (layers under segments) hold the start-of-step dissolved
  // concentrations and receive the end-of-step ones. sed gives the sediment
  // geometry, sorption, diffusion and the step's seepage (flwWatSpgSed) and
  // transformation coefficients (cofTraSed); the water layer takes the
  // sediment from it too (in.thiLay1, in.widSed and in.qSpg are not used).
  // erosion, when given, is the substance with eroded soil per metre of water
  // course (g.m-1.s-1). Returns false when a compound's iteration did not
  // converge in kMaxItImplicit iterations (the last iterate is kept).
  bool solve(const WaterLayerInput& in, const SedimentSolverInput& sed,
             const FormationFractions& fractions, CompoundSegmentArray& conWat,
             CompoundSedimentArray& conSed, const CompoundSegmentArray* erosion = nullptr);

  // The balance amounts of compound k of the last step (g), evaluated with
  // the end-of-step concentrations from the same contributions.
  const BalanceAmounts& amounts(int k) const { return amounts_[static_cast<std::size_t>(k - 1)]; }
  // The sediment's sorption coefficients (m3.g-1) at the end-of-step
  // concentrations of the last step, from the isotherms' tangents (to 1e-12
  // of the isotherm, as the storage in the step).
  const CompoundSedimentArray& sedimentKd() const { return kdSed_; }
  // Newton iterations of compound k in the last step.
  int iterations(int k) const { return iterations_[static_cast<std::size_t>(k - 1)]; }

 private:
  // Coefficients of one segment's row (times dt, per metre; gains positive):
  // the mobile concentration X = C (1 + S) of the segment and its
  // neighbours, the dissolved concentration C, the top layer's pore water,
  // and the sources.
  struct WaterRow {
    double ownX = 0.0, upX = 0.0, dnX = 0.0, ownC = 0.0, sedC = 0.0, src = 0.0;
    double vol = 0.0, exc = 0.0;  // the volatilisation and exchange parts of ownC
    double dwn = 0.0, ups = 0.0;  // the boundary parts of ownX (node N, node 0 outflow)
    double inflow = 0.0, airExc = 0.0, atmDep = 0.0, dra = 0.0, rnf = 0.0, upsCatch = 0.0,
           formation = 0.0;
  };
  // Coefficients of the sediment layers' rows. The transport terms (own, the
  // layer above, for layer 1 the water layer, the layer below) are the same
  // in every column, kept per layer j; the sources (formation, erosion, and
  // for the bottom layer the seepage from below) per layer under segment i,
  // at i * (L + 1) + j.
  struct ColumnRows {
    std::vector<double> own, up, lo;  // per layer
    std::vector<double> negUp, negLo;  // -up, -lo: the off-diagonals of the Jacobian
    double bot = 0.0;                  // seepage entering the bottom layer
    std::vector<double> src, formation, erosion;  // per layer under a segment
  };

  void allocate(const WaterLayerInput& in, const SedimentSolverInput& sed);
  void startStorage(const WaterLayerInput& in, const SedimentSolverInput& sed,
                    const CompoundSegmentArray& conWat, const CompoundSedimentArray& conSed);
  void buildRows(const WaterLayerInput& in, const SedimentSolverInput& sed,
                 const FormationFractions& f, const CompoundSegmentArray* erosion, int k);
  bool newton(const WaterLayerInput& in, const SedimentSolverInput& sed, int k, std::span<double> c,
              CompoundSedimentArray& conSed);
  void finish(const WaterLayerInput& in, const SedimentSolverInput& sed, int k,
              std::span<const double> c, const CompoundSedimentArray& conSed);

  // The sorption coefficient of the suspended solids of every segment at
  // the dissolved concentrations c (at kdSus_), the powers on the vector
  // unit.
  void sorptionSus(const WaterLayerInput& in, int k, std::span<const double> c);
  // Storage per metre and its derivative to C, and the mobile factor, with
  // the suspended solids' coefficient of sorptionSus at c.
  double waterStorage(const WaterLayerInput& in, int i, int k, double c, double* dSto, double* x,
                      double* dX) const;
  // Brings the isotherms of the column under segment i up to its
  // concentrations cs (layers 1..L) where they moved beyond the tangent's
  // reach; columnStorage then gives the layers' storage at cs.
  void refreshColumn(const SedimentSolverInput& sed, int i, int k, const double* cs);
  void columnStorage(const SedimentSolverInput& sed, int i, int k, const double* cs, double* sto);
  void columnRows(const SedimentSolverInput& sed, int i, int k, const double* cs, double cWat);
  // Every column eliminated into its segment's row (aSed_, bSed_), and the
  // columns' iterates moved with the water layer's changes (delW_); false
  // when a layer moved beyond the tolerance.
  void eliminateColumns();
  bool updateColumns(CompoundSedimentArray& conSed, int k, bool linear);

  int numSeg_ = 0, numLay_ = 0, numComp_ = 0;
  std::vector<double> alphaWat_;                   // spatial weights of the nodes, set once
  std::vector<double> areaLay_;                    // m2, layer j
  double areaErs_ = 0.0;                           // m2, layers taking eroded soil
  std::vector<double> alphaSed_, gFixSed_, qSed_;  // per interface
  double gTop_ = 0.0;                              // diffusion conductance of the surface

  std::vector<WaterRow> rows_;    // segment i
  ColumnRows col_;
  CompoundSegmentArray stoWat0_;  // start-of-step storage, per metre
  CompoundSedimentArray stoSed0_;
  // The last evaluation of each layer's storage: concentration, storage and
  // slope (see refreshColumn).
  CompoundSedimentArray cEval_, stoEval_, dStoEval_;
  CompoundSedimentArray kdEval_, dKdEval_;  // the sorption coefficient there and its slope
  CompoundSedimentArray kdSed_;             // at the end of the last step
  CompoundSegmentArray traWat_;  // transformed in the step, per metre (positive)
  CompoundSedimentArray traSed_;
  std::vector<double> traCofSed_;  // dt k of layer j for the compound being solved
  // Work arrays of the Newton iteration.
  std::vector<double> dW_, lW_, uW_, rW_, xW_, dxW_, delW_;
  std::vector<double> dS_, rA_;       // rows of the columns, (i, j) as col_.src
  std::vector<double> cp_;
  std::vector<double> powArg_;        // isotherm powers of a column's layers
  std::vector<int> powLay_;           // and their layers
  std::vector<double> kdSus_;         // suspended solids' Kd of each segment (sorptionSus)
  std::vector<double> powArgSeg_;     // and the powers of the segments
  std::vector<int> powSeg_;
  vecmath::Isa isa_ = vecmath::bestIsa();
  std::vector<double> aSed_, bSed_;   // eliminated columns, (i, j) as col_.src
  std::vector<BalanceAmounts> amounts_;
  std::vector<int> iterations_;
};

// The scheme in a run: gathers the step's input from the modules, advances
// the water layer and the sediment and hands back the balance amounts.
class ImplicitScheme {
 public:
  ImplicitScheme(Run& run, WaterLayerSolver& water, SedimentSolver& sediment);
  // The sub-steps of an outer step: the outer step (3600 s hourly, 86400 s
  // daily) divided into the fewest equal steps not longer than TimStpImp
  // (s, default 3600).
  SubstanceTimeStep timeStep();
  // Sub-step `subStep` of length dt (s), after Hydrology::prepareSubSteps.
  void step(int subStep, double dt);
  const BalanceAmounts& amounts(int k) const { return solver_.amounts(k); }

 private:
  Run& run_;
  WaterLayerSolver& water_;
  SedimentSolver& sediment_;
  ImplicitSolver solver_;
  FormationFractions fractions_;
  CompoundSedimentArray conSed_;
  CompoundSegmentArray erosion_;
  bool timStpRead_ = false;
  double timStpImp_ = 3600.0;
};

}  // namespace korvan
