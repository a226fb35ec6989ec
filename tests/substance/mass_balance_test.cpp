#include "substance/mass_balance.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/messages.hpp"
#include "driver/modules.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/hydrology_test_support.hpp"
#include "input/sim_clock.hpp"
#include "substance/compound_arrays.hpp"
#include "substance/sediment_solver.hpp"
#include "substance/sediment_test_input.hpp"
#include "substance/water_layer.hpp"

namespace korvan {
namespace {

using testing::merixPond;
using testing::orlanPond;
using testing::runInput;
using testing::TestRun;

// A hydrology-only run stepped by hand as the hydrology pass steps it, with
// the water-volume balance after every step.
struct WaterBalanceRun {
  WaterBalanceRun(const std::string& edition, const std::string& water)
      : t(runInput(edition, "02-Jan-1980", "Only", water)), balance(t.run()) {
    t.setup();
    t.run().clock().readSettings();
    t.run().clock().setTimeStep(kHour);
    t.run().units().create(Unit::Hydrology, "t.hyd");
    hyd().task(Task::Initialise);
    hyd().writeRecord();
  }
  Hydrology& hyd() { return t.run().hydrology(); }
  void step() {
    hyd().task(Task::Step);
    balance.task(Task::WaterBalance);
    t.run().clock().advance();
    hyd().writeRecord();
  }
  TestRun t;
  MassBalance balance;
};

// --- Water volume -----------------------------------------------------------

// A constant flow of 0.01 m3.s-1 in and out of 100 m of 1 m wide ditch (36
// m3 an hour pass and the volume stays), 43.2 m3.d-1 into a 200 m2 pond at
// its crest (whatever it stores or spills, inflow - outflow equals the
// change of the volume), and a pond with rain, evaporation and seepage.
TEST(MassBalanceWater, VolumeBalanceClosesEveryStep) {
  const std::string ditch = testing::waterBody("100 10 1.0 0.0 0.1") +
                            "Constant OptFloWat\nConstant OptWaterSystemType\nDriftOnly OptLoa\n"
                            "864 VelWatFlwBas (m.d-1)\n0.5 DepWat (m)\n";
  const struct {
    std::string edition, water;
    double tol;
    bool rain;
  } cases[] = {{"MERIXKORVAN", ditch, 1e-12, false},
               {"MERIXKORVAN", merixPond(), 1e-9, false},
               {"ORLANKORVAN", orlanPond(), 1e-9, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edition + "\n" + c.water);
    WaterBalanceRun r(c.edition, c.water);
    for (int s = 0; s < (c.rain ? 6 : 24); ++s) {
      if (c.rain) r.hyd().setPrecipitationEvaporation(1e-6, 2e-7);
      r.step();
      EXPECT_NEAR(r.balance.VolErrWatLay(), 0.0, c.tol);
      EXPECT_EQ(r.hyd().volErrWatLay(), r.balance.VolErrWatLay());
      // The accumulators start again after every check.
      EXPECT_EQ(r.hyd().waterVolumes().upstreamInflow, 0.0);
    }
  }
}

// --- Substance terms --------------------------------------------------------

// The balance of compound 1 from 01-Jan-1980 00h00, day 29219 of the model time.
struct SubstanceBalanceRun {
  SubstanceBalanceRun()
      : t(runInput("MERIXKORVAN", "02-Jan-1980", "OnLine", "")), b((t.setup(), t.run())) {
    b.initialise(1, 29219.0);
  }
  TestRun t;
  MassBalance b;
};

TEST(MassBalanceSubstance, WaterLayerAmountsGoToTheirTerms) {
  WaterLayerAmounts w;
  w.tra = -1.0;
  w.vol = -0.5;
  w.airExc = 0.25;
  w.loa = 3.0;
  w.rnf = 0.5;
  w.sediment = -0.75;
  w.upstream = 2.0;
  w.upsCatch = 0.5;
  w.downstream = -1.5;
  BalanceAmounts a;
  addWaterLayerAmounts(w, a);
  EXPECT_EQ(a.AmaTraWatLay, -1.0);
  EXPECT_EQ(a.AmaVolWatLay, -0.25);
  EXPECT_EQ(a.AmaDrfWatLay, 3.0);
  EXPECT_EQ(a.AmaRnoWatLay, 0.5);
  EXPECT_EQ(a.excWatLay, -0.75);
  EXPECT_EQ(a.AmaUpsWatLay, 2.5);
  EXPECT_EQ(a.AmaDwnWatLay, -1.5);
}

// Two sub-steps of 1800 s whose amounts add up to the change of the masses:
// the errors are 0 and the exchange terms split by direction.
TEST(MassBalanceSubstance, StepClosesAndExchangeSplitsByDirection) {
  SubstanceBalanceRun r;
  TestRun& t = r.t;
  MassBalance& b = r.b;
  b.setMassesPresent(1, 10.0, 2.0);
  BalanceAmounts a;
  a.AmaTraWatLay = -1.0;
  a.excWatLay = -0.5;  // into the sediment
  a.excSed = 0.5;
  a.AmaTraSed = -0.25;
  // Water: 10 - 1 - 0.5 = 8.5; sediment: 2 + 0.5 - 0.25 = 2.25.
  b.update(1, a, 8.5, 2.25, 1800.0);
  BalanceAmounts back;
  back.excWatLay = 0.125;  // out of the sediment
  back.excSed = -0.125;
  b.update(1, back, 8.625, 2.125, 1800.0);
  b.checkEndOfStep(29219.0 + kHour);
  const CompoundBalance& c = b.compound(1);
  EXPECT_EQ(c.AmaWatLayIni, 10.0);
  EXPECT_EQ(c.AmaSedIni, 2.0);
  EXPECT_EQ(c.AmaSedInWatLay, -0.5);
  EXPECT_EQ(c.AmaSedOutWatLay, 0.125);
  EXPECT_EQ(c.AmaWatLayOutSed, 0.5);
  EXPECT_EQ(c.AmaWatLayInSed, -0.125);
  EXPECT_NEAR(c.AmaErrWatLay, 0.0, 1e-15);
  EXPECT_NEAR(c.AmaErrSed, 0.0, 1e-15);
  EXPECT_NEAR(c.time, 29219.0 + kHour, 1e-9);
  EXPECT_FALSE(t.run().messages().warningsOccurred());
}

TEST(MassBalanceSubstance, ErrorsAboveOneThousandthAreWarnedWithTheirTexts) {
  SubstanceBalanceRun r;
  TestRun& t = r.t;
  MassBalance& b = r.b;
  b.setMassesPresent(1, 10.0, 0.0);
  BalanceAmounts a;
  a.excWatLay = -1.0;
  a.excSed = 0.5;  // only half arrives
  // Water: 10 - 1 = 9 present, but 9.1 said: error -0.1 / (9.1 + 10) = 0.52 %.
  b.update(1, a, 9.1, 0.5, 3600.0);
  b.checkEndOfStep(29219.0 + kHour);
  EXPECT_TRUE(t.run().messages().warningsOccurred());
  t.finish();
  const std::string log = t.dir().read("t.log");
  EXPECT_NE(log.find("Mass balance error of substance: CMP in water layer > 0.1%"),
            std::string::npos);
  EXPECT_NE(log.find("At time: 01-Jan-1980-01h00"), std::string::npos);
  EXPECT_NE(log.find("Difference in cumulative fluxes and mass present (%):     0.52"),
            std::string::npos);
  EXPECT_EQ(log.find("in sediment layer"), std::string::npos);
  EXPECT_NE(log.find("Mass fluxes between water and sediment not consistent"), std::string::npos);
  // |(-1 + 0.5) / -1| = 50 %.
  EXPECT_NE(log.find("Difference in cumulative of mass fluxes (%): 50.00000"), std::string::npos);
}

TEST(MassBalanceSubstance, NoMassNoWarning) {
  SubstanceBalanceRun r;
  TestRun& t = r.t;
  MassBalance& b = r.b;
  b.update(1, BalanceAmounts{}, 0.0, 0.0, 3600.0);
  b.checkEndOfStep(29219.0 + kHour);
  EXPECT_EQ(b.compound(1).AmaErrWatLay, 0.0);
  EXPECT_FALSE(t.run().messages().warningsOccurred());
}

// The sediment solver's own terms close the sediment balance of a step.
TEST(MassBalanceSubstance, SedimentStepClosesToRoundOff) {
  SedimentSolverInput in = sediment_test::column(3, 0.01, 2, 1, 5e-10);
  for (int j = 0; j <= 3; ++j) {
    in.widSedInterface[j] = 1.0 + 0.1 * j;
    in.flwWatSpgSed[j] = 1e-7;  // downward seepage
    if (j == 0) continue;
    in.thiLay[j] = 0.01 * j;
    in.thetaSat[j] = 0.6;
    in.widSedLayer[j] = 1.0 + 0.1 * j;
    in.cofTraSed(j, 1) = 1e-6;
    in.conSysSedIni(j, 1) = 1.0;
  }
  in.widRefSpg = 1.0;
  in.isotherm[0] = FreundlichIsotherm::make(1e-5, 1.0, 1.0);
  SedimentSolver s(in);
  s.initialise();
  CompoundSegmentArray water;
  water.allocate(2, 1);
  water(1, 1) = 2.0;
  water(2, 1) = 0.5;
  const std::vector<double> lenSeg = {0.0, 10.0, 20.0};
  s.step(600.0, water);
  BalanceAmounts a;
  addSedimentAmounts(s, lenSeg, 1, a);
  double change = 0.0;
  for (int i = 1; i <= 2; ++i)
    change += lenSeg[i] * s.columnSum(SedimentSolver::Term::Storage, i, 1);
  EXPECT_GT(a.excSed, 0.0);
  EXPECT_LT(a.AmaTraSed, 0.0);
  EXPECT_NEAR(a.excSed + a.AmaTraSed + a.AmaForSed + a.AmaErsSed + a.AmaDwnSed, change,
              1e-12 * std::fabs(change) + 1e-15);
}

}  // namespace
}  // namespace korvan
