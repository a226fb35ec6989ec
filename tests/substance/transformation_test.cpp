#include "substance/transformation.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "substance/compounds.hpp"
#include "substance/compounds_test_input.hpp"

namespace korvan {
namespace {

using namespace compound_test;

constexpr double kTemRef = 293.15;  // 20 C

// ---------------------------------------------------------------------------
// Transformation of the compounds

// A compound that does not sorb, so that its total concentration is the
// dissolved one.
std::string nonSorbing(const std::string& name, std::map<std::string, std::string> values = {}) {
  values.insert({{"KomSusSol", "0"}, {"CofSorMph", "0"}, {"KomSed", "0"}});
  return compoundRecords(name, values);
}

// Sets the total concentrations of compound k to conWat in the water layer
// and conSed in the sediment.
void setTotals(Compounds& c, int k, double conWat, double conSed) {
  const std::vector<double> water = uniform(10, conWat);
  c.updateSorptionWater(k, water);
  c.updateConSysWatLay(k, water);
  const std::vector<double> sediment = {0.0, conSed, conSed};
  for (int i = 1; i <= 10; ++i) {
    c.updateSorptionSed(i, k, sediment);
    c.updateConSysSed(i, k, sediment);
  }
}

TEST(CompoundTransformation, RateIsCoefficientTimesTotalConcentrationAtItsTemperature) {
  TestRun t(compoundInput({"CMP"}, nonSorbing("CMP")));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  setTotals(c, 1, 2.0, 0.5);
  c.updateTransformation(kTemRef);
  // Water: ln 2 / 10 d / 86400 = 8.022536812036403e-07 s-1 at the reference.
  EXPECT_NEAR(c.cofTraWat(1), 8.022536812036403e-07, 1e-21);
  EXPECT_NEAR(c.ratTraWat(3, 1), 2.0 * 8.022536812036403e-07, 1e-21);
  // Sediment: DT50 20 d; the layers follow the water temperature. The total
  // concentration is 0.6 x 0.5 = 0.3 g.m-3.
  EXPECT_NEAR(c.cofTraSed(1, 1), 4.0112684060182016e-07, 1e-21);
  EXPECT_NEAR(c.ratTraSed(2, 9, 1), 0.3 * 4.0112684060182016e-07, 1e-21);
  // A single compound forms nothing and needs no table.
  c.updateFormation();
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(c.ratForWat(i, 1), 0.0);
    EXPECT_EQ(c.ratForSed(1, i, 1), 0.0);
  }
  // Ten kelvin above the reference with 65.4 kJ.mol-1: factor 2.423282020155695.
  c.updateTransformation(kTemRef + 10.0);
  EXPECT_NEAR(c.cofTraWat(1), 8.022536812036403e-07 * 2.423282020155695, 1e-20);
  EXPECT_NEAR(c.ratTraWat(1, 1), 2.0 * 8.022536812036403e-07 * 2.423282020155695, 1e-20);
  // Sediment layers take the temperature they are given.
  c.setTemSed(2, kTemRef - 10.0);
  c.updateTransformation(kTemRef);
  EXPECT_NEAR(c.cofTraSed(1, 1), 4.0112684060182016e-07, 1e-21);
  EXPECT_NEAR(c.cofTraSed(2, 1), 4.0112684060182016e-07 * 0.38765382531410864, 1e-21);
}

// ---------------------------------------------------------------------------
// Formation

TEST(CompoundFormation, DaughterGainsWhatTheParentLosesOnMassBasis) {
  // Parent P of 150 g.mol-1 forms 0.4 mol.mol-1 of D, 300 g.mol-1, in water
  // and 0.25 mol.mol-1 in the sediment: 0.8 and 0.5 g.g-1.
  TestRun t(compoundInput({"P", "D"}, nonSorbing("P", {{"MolMas", "150"}}) + nonSorbing("D"),
                          "table FraPrtDauWat (mol.mol-1)\n0.4 P -> D\nend_table\n"
                          "table FraPrtDauSed (mol.mol-1)\n0.25 P -> D\nend_table\n"));
  initialiseWaterLayer(t);
  Compounds& c = t.run().compounds();
  setTotals(c, 1, 2.0, 0.5);
  setTotals(c, 2, 1.0, 1.0);
  c.updateTransformation(kTemRef);
  c.updateFormation();
  EXPECT_DOUBLE_EQ(c.fraMasPrtDauWat(1, 2), 0.8);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_DOUBLE_EQ(c.ratForWat(i, 2), 0.8 * c.ratTraWat(i, 1));
    EXPECT_EQ(c.ratForWat(i, 1), 0.0);  // nothing forms the parent
    for (int j = 1; j <= 2; ++j) {
      EXPECT_DOUBLE_EQ(c.ratForSed(j, i, 2), 0.5 * c.ratTraSed(j, i, 1));
      EXPECT_EQ(c.ratForSed(j, i, 1), 0.0);
    }
  }
  // Repeated updates overwrite, they do not accumulate.
  const double once = c.ratForWat(5, 2);
  c.updateFormation();
  EXPECT_EQ(c.ratForWat(5, 2), once);
}

}  // namespace
}  // namespace korvan
