#include <gtest/gtest.h>

#include "core/messages.hpp"
#include "substance/compounds.hpp"
#include "substance/compounds_test_input.hpp"

namespace korvan {
namespace {

using namespace compound_test;

// C of 200 g.mol-1 forms MET-C of 100 and MET-D of 400 g.mol-1; MET-C
// forms MET-D.
const std::vector<std::string> kThree = {"C", "MET-C", "MET-D"};
const std::string kMolMasses =
    "200 MolMas_C (g.mol-1)\n100 MolMas_MET-C (g.mol-1)\n400 MolMas_MET-D (g.mol-1)\n";

std::string table(const std::string& name, const std::string& rows) {
  return "table " + name + " (mol.mol-1)\n" + rows + "end_table\n";
}

TEST(FormationTable, MolarFractionsAndTheirMassBasis) {
  TestRun t(minimalInput(
      compoundsTable(kThree) + kMolMasses +
      table("FraPrtDauWat", "0.71   C ->  MET-C\n0.2 C -> MET-D\n0.5 MET-C -> MET-D\n")));
  t.setup();
  Compounds& c = t.run().compounds();
  c.rdFraPrtDauWat();
  EXPECT_EQ(c.fraPrtDauWat(1, 2), 0.71);
  EXPECT_EQ(c.fraPrtDauWat(1, 3), 0.2);
  EXPECT_EQ(c.fraPrtDauWat(2, 3), 0.5);
  // Mass basis F x MolMas(daughter) / MolMas(parent):
  EXPECT_NEAR(c.fraMasPrtDauWat(1, 2), 0.71 * 100 / 200, 1e-16);  // 0.355
  EXPECT_NEAR(c.fraMasPrtDauWat(1, 3), 0.2 * 400 / 200, 1e-16);   // 0.4
  EXPECT_NEAR(c.fraMasPrtDauWat(2, 3), 0.5 * 400 / 100, 1e-16);   // 2.0
}

TEST(FormationTable, BothBasesAreListedInTheLog) {
  TestRun t(minimalInput(compoundsTable(kThree) + kMolMasses +
                         table("FraPrtDauWat", "0.71 C -> MET-C\n0 MET-D -> MET-D\n")));
  t.setup();
  t.run().compounds().rdFraPrtDauWat();
  const Lines log = logOf(t);
  const int molar = findLine(log, "Transformation fractions on molar basis (mol.mol-1)");
  ASSERT_GT(molar, 0);
  EXPECT_EQ(log[molar - 1], kDashLine);
  // Parent, fraction, daughter: (a20,1x,g12.5,1x,'->',1x,a).
  EXPECT_EQ(log[molar + 1], "                   C  0.71000     -> MET-C");
  EXPECT_EQ(log[molar + 2], "               MET-D  0.00000E+00 -> MET-D");
  // The molar masses are read (and echoed) before the mass basis is listed.
  const int mass = findLine(log, "Transformation fractions on mass basis (g.g-1)");
  ASSERT_GT(mass, molar + 3);
  EXPECT_EQ(log[mass - 1], kDashLine);
  // Only off-diagonal entries above 1e-9.
  EXPECT_EQ(log[mass + 1], "                   C  0.35500     -> MET-C");
  EXPECT_EQ(log.size(), static_cast<std::size_t>(mass) + 2);
}

TEST(FormationTable, SedimentTableReadsTheSameWayAndADiagonalOfZeroIsAccepted) {
  TestRun t(minimalInput(compoundsTable(kThree) + kMolMasses +
                         table("FraPrtDauSed", "0.3 MET-C -> C\n") +
                         table("FraPrtDauWat", "0 C -> C\n1e-10 MET-C -> MET-C\n")));
  t.setup();
  Compounds& c = t.run().compounds();
  EXPECT_EQ(c.fraPrtDauSed(2, 1), 0.3);
  EXPECT_NEAR(c.fraMasPrtDauSed(2, 1), 0.6, 1e-16);
  EXPECT_EQ(c.fraMasPrtDauWat(2, 2), 1e-10);
}

TEST(FormationTable, OrlanNeedsNoSedimentTable) {
  std::string input = minimalInput(compoundsTable({"C", "MET-C"}) + kMolMasses);
  input.replace(0, std::string("MERIXKORVAN").size(), "ORLANKORVAN");
  TestRun t(input);
  t.setup();
  EXPECT_EQ(t.run().compounds().fraPrtDauSed(1, 2), 0.0);
}

struct FatalCase {
  std::string tables;
  Lines err;
  std::string routine = "RdFraPrtDauWat";
  bool sediment = false;  // the sediment table is read, not the water table
};

TEST(FormationTable, EveryErrorIsFatal) {
  const std::vector<FatalCase> cases = {
      {table("FraPrtDauWat", "0.71 C -> MET-C\n0.2 C MET-D\n"),
       {"Number of columns should be 4 in table FraPrtDauWat", "Example:", "0.71   C ->  MET-C"}},
      {table("FraPrtDauWat", "0.71 C -> MET-C\n0.2 C -> MET-D extra\n"),
       {"Number of columns should be 4 in table FraPrtDauWat", "Example:", "0.71   C ->  MET-C"}},
      {table("FraPrtDauWat", "0.5 C -> C\n"), {"Diagonal of transformation table must be zero"}},
      {table("FraPrtDauSed", "0.5 MET-C -> MET-C\n"),
       {"Diagonal of transformation table must be zero"},
       "RdFraPrtDauSed",
       true},
      {table("FraPrtDauSed", "0.5 C -> MET-X\n"),
       {"Illegal compoundname found for daughter in table FraPrtDauSed", "Row number is 1"},
       "RdFraPrtDauSed",
       true},
      // Choices of KORVAN: the arrow gives the direction, a fraction must be
      // a number, a pair is given once.
      {table("FraPrtDauWat", "0.2 MET-C <- C\n"),
       {"The third word must be -> in table FraPrtDauWat", "Row number is 1",
        "Example: 0.71   C ->  MET-C"}},
      {table("FraPrtDauWat", "half C -> MET-C\n"),
       {"Fatal while reading table FraPrtDauWat", "Row number is 1"}},
      {table("FraPrtDauWat", "0.2 C -> MET-C\n0.3 C -> MET-C\n"),
       {"Parent C and daughter MET-C occur more than once in table FraPrtDauWat",
        "Row number is 2"}},
      {"", {"Cannot find record FraPrtDauWat (column  2, unit  20)"}, "GetRecord"},
  };
  for (const FatalCase& f : cases) {
    TestRun t(minimalInput(compoundsTable(kThree) + kMolMasses + f.tables));
    t.setup();
    Compounds& c = t.run().compounds();
    EXPECT_EQ(t.expectFatal([&] { f.sediment ? c.rdFraPrtDauSed() : c.rdFraPrtDauWat(); }), f.err)
        << f.tables;
    EXPECT_EQ(t.run().messages().record().routine, f.routine) << f.tables;
  }
}

TEST(FormationTable, ANegativeFractionIsFatal) {
  TestRun t(minimalInput(compoundsTable(kThree) + kMolMasses +
                         table("FraPrtDauWat", "-0.2 C -> MET-C\n")));
  t.setup();
  const Lines err = t.expectFatal([&] { t.run().compounds().rdFraPrtDauWat(); });
  ASSERT_EQ(err.size(), 3u);
  EXPECT_EQ(err[0], "FATAL: value < minimum");
  EXPECT_EQ(err[2], "Variable name is: FraPrtDauWat");
}

}  // namespace
}  // namespace korvan
