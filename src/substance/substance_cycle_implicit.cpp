// The substance cycle with OptTimStp Implicit: the outer step is divided
// for accuracy, and each sub-step advances the water layer and the sediment
// together by the implicit scheme; the rest of the cycle (loading events,
// reports, tables) is the same as with the explicit solvers.
#include "core/run.hpp"
#include "hydrology/hydrology.hpp"
#include "input/sim_clock.hpp"
#include "substance/substance_cycle.hpp"

namespace korvan {

void SubstanceCycle::implicitSubSteps() {
  const SubstanceTimeStep ts = implicit_->timeStep();
  n_ = ts.numSteps;
  dt_ = ts.dt;
  run_.clock().setSubSteps(n_, dt_);
  run_.hydrology().prepareSubSteps(n_);
}

void SubstanceCycle::implicitSubStep(int subStep) {
  implicit_->step(subStep, dt_);
  if (stretchAverages_) updateStretchAverages();
  phaseConcentrations();
}

void SubstanceCycle::implicitBalance() {
  for (int k = 1; k <= balance_.numCompounds(); ++k) {
    balance_.update(k, implicit_->amounts(k), amaWatLay(k), amaSed(k), dt_);
  }
}

}  // namespace korvan
