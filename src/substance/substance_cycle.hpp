// The substance pass of a run: initialises the substance modules, divides
// every outer time step into the sub-steps the water layer's stability rule
// allows and runs the process chain (coefficients, water layer, sediment,
// mass balance) once per sub-step, applies the loading events at the end of
// the step, and writes the substance variables and the profiles of an event.
// The reports of the pass (summary, concentration tables, targets) hear of
// each stage through SubstanceReporting.
//
// Indices: segments i = 1..N, sediment layers j = 1..L, compounds k = 1..n.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "output/output_file.hpp"
#include "substance/compound_arrays.hpp"
#include "substance/implicit_solver.hpp"
#include "substance/mass_balance.hpp"
#include "substance/sediment_solver.hpp"
#include "substance/water_layer.hpp"

namespace korvan {

class Run;
class SubstanceCycle;
enum class Task;

// The reports of the substance pass, told of each stage of it in the order of
// the pass.
class SubstanceReporting {
 public:
  // During initialisation, before the loadings are read.
  virtual void initialise() = 0;
  // At the start of an outer step, before its loading and deposition.
  virtual void startOfStep() = 0;
  // After each sub-step and its balance, of length dt (s).
  virtual void endOfSubStep(const SubstanceCycle& cycle, double dt) = 0;
  // After the balance check of the outer step, before its loading events.
  virtual void endOfStep() = 0;
  // After the loading events of the outer step.
  virtual void afterLoading(const SubstanceCycle& cycle) = 0;
  // Task 5 of the substance driver.
  virtual void terminate(const SubstanceCycle& cycle) = 0;

 protected:
  ~SubstanceReporting() = default;
};

class SubstanceCycle {
 public:
  SubstanceCycle(Run& run, MassBalance& balance, SubstanceReporting& reports);

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
  MassBalance& balance() { return balance_; }

  // Masses present (g) of compound k from the total concentrations of the
  // compound module: water layer (ConSysWatLay x cross-section x length) and
  // sediment (ConSysSed x layer cross-section x length).
  double amaWatLay(int k) const;
  double amaSed(int k) const;

  // The evaluation-stretch mean of ConLiqWatLay (ZR, BRAX; g.m-3) of
  // compound k, its time integral (g.m-3.d) and the mean over all segments.
  double conLiqWatZRAvg(int k) const { return ZRAvg_.empty() ? 0.0 : ZRAvg_[ci(k)].stretch; }
  double conLiqWatZRAvgIntegral(int k) const {
    return ZRAvg_.empty() ? 0.0 : ZRAvg_[ci(k)].integral;
  }
  double conLiqWatAvg(int k) const { return ZRAvg_.empty() ? 0.0 : ZRAvg_[ci(k)].all; }
  // The evaluation-stretch means are kept (ZR, BRAX).
  bool stretchAverages() const { return stretchAverages_; }

  // Values of the sediment target layer of segment i for compound k:
  // CntSedTgt (g.kg-1), ConLiqSedTgt (g.m-3), CntSorSedTgt (g.kg-1).
  double cntSedTgt(int i, int k) const;
  double conLiqSedTgt(int i, int k) const;
  double cntSorSedTgt(int i, int k) const;

 private:
  template <typename Weight, typename Value>
  double targetLayerMean(Weight weight, Value value, double scale) const;
  static std::size_t ci(int k) { return static_cast<std::size_t>(k - 1); }

  // A printed mass: a state (current value), a cumulative flux (the amount
  // since the previous print) or a component of a state that is computed
  // only for printing.
  enum class MassKind { State, Cumulative, Component };
  struct MassVariable {
    const char* name;
    MassKind kind;
    double CompoundBalance::*term = nullptr;                     // State, Cumulative
    double (SubstanceCycle::*component)(int k) const = nullptr;  // Component
    PrintSwitch sw{};
    bool printed = false;
    std::vector<double> atLastPrint{};  // per compound
  };
  // A concentration or content per segment and compound: the current value
  // at the first print, afterwards the mean over the print interval from its
  // time integral, which runs only while the variable is printed.
  struct SegmentConcentration {
    const char* name;
    const char* unit;
    double (SubstanceCycle::*current)(int i, int k) const;
    PrintSwitch sw{};
    CompoundSegmentArray integral{}, atLastPrint{};
    double timeAtLastPrint = 0.0;  // of the run's integral clock (days)
    bool printed = false;
  };
  // The same per sediment layer, segment and compound.
  struct LayerConcentration {
    const char* name;
    const char* unit;
    double (SubstanceCycle::*current)(int j, int i, int k) const;
    PrintSwitch sw{};
    CompoundSedimentArray integral{}, atLastPrint{};
    double timeAtLastPrint = 0.0;
    bool printed = false;
  };
  struct StretchAverage {
    double stretch = 0.0, all = 0.0, integral = 0.0;
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
  // OptTimStp Implicit (substance_cycle_implicit.cpp): the sub-steps, one
  // sub-step of water layer and sediment together, and its balance.
  void implicitSubSteps();
  void implicitSubStep(int subStep);
  void implicitBalance();

  void updateStretchAverages();
  static bool printing(const PrintSwitch& sw) { return sw.known && sw.yes; }
  void printSegmentConcentration(double t, SegmentConcentration& v);
  void printLayerConcentration(double t, LayerConcentration& v);
  void printMass(double t, MassVariable& v);
  void printStretchAverage(double t);

  // Current values of the printed variables.
  double conSysWatLay(int i, int k) const;
  double conLiqWatLay(int i, int k) const;
  double cntSorMph(int i, int k) const;     // g.kg-1
  double cntSorSusSol(int i, int k) const;  // g.kg-1
  double conSysSed(int j, int i, int k) const;
  double conLiqSed(int j, int i, int k) const;
  double cntSorSed(int j, int i, int k) const;  // g.kg-1
  double amaLiqWatLay(int k) const;
  double amaSorSusSol(int k) const;
  double amaSorMph(int k) const;
  double amaLiqSed(int k) const;
  double amaSorSed(int k) const;
  // Layers 1..numLayTgt and their weights for the target-layer means.
  int numLayTgt() const;

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
  CompoundSegmentArray conLiqWatSta_;  // the water layer at the start of the sub-step
  SedimentTop top_;

  // Length of the time integrals (days since the start of the pass).
  double timInt_ = 0.0;
  std::vector<SegmentConcentration> segmentConcentrations_;
  std::vector<LayerConcentration> layerConcentrations_;
  std::vector<MassVariable> masses_;
  PrintSwitch printConLiqWatLayCur_, printConLiqWatZRAvg_;
  std::vector<double> values_;  // per compound, for printing
  // Evaluation-stretch averages (ZR, BRAX).
  bool stretchAverages_ = false;
  std::vector<StretchAverage> ZRAvg_;
  // Substance with eroded soil per metre of water course (g.m-1.s-1).
  bool erosion_ = false;
  CompoundSegmentArray flmErsSed_;

  SubstanceReporting& reports_;
  // Set with OptTimStp Implicit: replaces the explicit solvers' sub-steps.
  std::unique_ptr<ImplicitScheme> implicit_;
};

}  // namespace korvan
