// The substance pass of a run: initialises the substance modules, divides
// every outer time step into the sub-steps the water layer's stability rule
// allows and runs the process chain (coefficients, water layer, sediment,
// mass balance) once per sub-step, applies the loading events at the end of
// the step, and writes the substance variables and the profiles of an event.
//
// Indices: segments i = 1..N, sediment layers j = 1..L, compounds k = 1..n.
#pragma once

#include <vector>

#include "report/mass_balance.hpp"
#include "report/output_file.hpp"
#include "substance/compound_arrays.hpp"
#include "substance/sediment_solver.hpp"
#include "substance/water_layer.hpp"

namespace korvan {

class Run;
enum class Task;

class SubstanceCycle {
 public:
  SubstanceCycle(Run& run, MassBalance& balance);

  // The substance driver: 1 initialise, 2 one outer step, 4 print,
  // 5 terminate, 7 profiles of an event; other codes do nothing.
  void task(Task task);

  // What the progress display shows: compound 1 in the water layer and in
  // the sediment (g), and the flow velocity at the last node (m.s-1).
  double massFirstCompoundWaterLayer() const;
  double massFirstCompoundSediment() const;
  double flowVelocityLastSegment() const;

  // Number and length (s) of the sub-steps of the last outer step.
  int numSubSteps() const { return n_; }
  double delTimKvn() const { return dt_; }

  const WaterLayerSolver& waterLayer() const { return water_; }
  const SedimentSolver& sediment() const { return sediment_; }
  const MassBalance& balance() const { return balance_; }

  // Masses present (g) of compound k from the total concentrations of the
  // compound module: water layer (ConSysWatLay x cross-section x length) and
  // sediment (ConSysSed x layer cross-section x length).
  double amaWatLay(int k) const;
  double amaSed(int k) const;

 private:
  // A printed mass-balance term: a state (current value) or a cumulative
  // flux (the amount since the previous print).
  struct BalanceVariable {
    const char* name;
    double CompoundBalance::*term;
    bool cumulative;
    PrintSwitch sw{};
    bool printed = false;
    std::vector<double> atLastPrint{};  // per compound
  };
  // A printed concentration with its interval integral.
  struct ConcentrationVariable {
    PrintSwitch sw{};
    CompoundSegmentArray integral, atLastPrint;
    bool printed = false;
  };

  void initialise();
  void step();
  void print();
  void terminate();
  void writeProfiles();

  void setTemperatures();
  void processCoefficients();
  void subStep(int subStep);
  void phaseConcentrations();
  void updateBalance();
  void updateIntegrals();
  void loadingAtEndOfStep();
  void chooseSubSteps();
  // ConLiqSed of the top layer, which the water layer reads.
  void copyTopLayer();

  void printConcentration(double t, const char* name, ConcentrationVariable& v,
                          double (SubstanceCycle::*current)(int i, int k) const);
  void printBalanceTerm(double t, BalanceVariable& v);
  double conSysWatLay(int i, int k) const;
  double conLiqWatLay(int i, int k) const;

  Run& run_;
  MassBalance& balance_;
  WaterLayerSolver water_;
  SedimentSolver sediment_;
  // The water layer's input of the last sub-step (owned by water_).
  const WaterLayerInput* last_ = nullptr;

  int optLoa_ = 1;             // OptLoa, 1 DriftOnly .. 5 BRAX
  bool variableFlow_ = false;  // OptFloWat Variable
  int k_ = 1;                  // current sub-step, 1-based
  int n_ = 2;                  // sub-steps of the outer step
  double dt_ = 0.0;            // s, sub-step length

  // The top sediment layer as the water layer sees it.
  std::vector<double> cofDifSed1_;  // per compound
  CompoundSegmentArray conLiqSed1_;
  SedimentTop top_;

  // Time integrals (value x days) over the run and their length (days).
  double timInt_ = 0.0;
  double timIntLastPrint_ = 0.0;
  ConcentrationVariable ConSysWatLay_, ConLiqWatLay_;
  std::vector<BalanceVariable> balanceVariables_;
  std::vector<double> values_;  // per compound, for printing
};

}  // namespace korvan
