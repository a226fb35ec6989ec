#include "substance/compounds.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "core/messages.hpp"
#include "substance/compounds_test_input.hpp"

namespace korvan {
namespace {

using namespace compound_test;

// ---------------------------------------------------------------------------
// Compound list

// The number of compounds reads the list itself, which is listed in the log
// after a line of dashes.
TEST(CompoundList, ReadByTheNumberOfCompoundsAndListedInTheLog) {
  TestRun t(minimalInput(compoundsTable({"C", "MET-C"})));
  t.setup();
  EXPECT_EQ(t.run().compounds().numCompounds(), 2);
  t.run().compounds().getCompoundList();
  const Lines log = logOf(t);
  // (a20,1x,i4,2x,a): label right-aligned in 20, number in 4, two blanks.
  const int k = findLine(log, "            Compound    1  C");
  ASSERT_GT(k, 0);
  EXPECT_EQ(log[k - 1], kDashLine);
  EXPECT_EQ(log[k + 1], "            Compound    2  MET-C");
}

TEST(CompoundList, AnEmptyTableHasNoCompounds) {
  TestRun t(minimalInput(compoundsTable({})));
  t.setup();
  EXPECT_EQ(t.run().compounds().numCompounds(), 0);
  EXPECT_TRUE(t.run().compounds().names().empty());
}

TEST(CompoundList, ARowThatIsNotOneNameOrANameTwiceIsFatal) {
  const Lines notOneName = {"Fatal while reading compounds table",
                            "The error occurred near line 2"};
  // An empty row, two names on one row, and a name twice.
  const std::pair<std::string, Lines> cases[] = {
      {"CMP\n\nMET\n", notOneName},
      {"CMP\nMET OTHER\n", notOneName},
      {"CMP\nMET\nCMP\n",
       {"Compound CMP occurs more than once in table compounds",
        "The error occurred near line 3"}}};
  for (const auto& [rows, err] : cases) {
    TestRun t(minimalInput("table compounds\n" + rows + "end_table\n"));
    t.setup();
    EXPECT_EQ(t.expectFatal([&] { t.run().compounds().getCompoundList(); }), err) << rows;
    EXPECT_EQ(t.run().messages().record().routine, "GetCompoundList");
  }
}

// ---------------------------------------------------------------------------
// Per-compound inputs: the keyword rule name + "_" + compound

TEST(CompoundInputs, KeywordIsNameUnderscoreCompoundEchoedAfterOneLineOfDashes) {
  TestRun t(minimalInput(compoundsTable({"C", "MET-C"}) +
                         compoundRecords("C", {{"MolMas", "250"}}) +
                         compoundRecords("MET-C", {{"MolMas", "125.5"}})));
  t.setup();
  Compounds& c = t.run().compounds();
  c.komSed(1);
  const Lines log = logOf(t);
  int k = -1;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i].find("KomSed_C ") != std::string::npos) k = static_cast<int>(i);
  }
  ASSERT_GT(k, 0);
  EXPECT_EQ(log[k - 1], kDashLine);
  // Per-compound keywords are listed without a separator between them.
  EXPECT_NE(log[k + 1].find("KomSed_MET-C"), std::string::npos);
  EXPECT_NE(log[k + 1].find("(L.kg-1)"), std::string::npos);
}

TEST(CompoundInputs, SorptionValuesAreConvertedToTheUnitInside) {
  TestRun t(
      minimalInput(compoundsTable({"CMP"}) + compoundRecords("CMP", {{"ConLiqRefSusSol", "0.5"}})));
  t.setup();
  Compounds& c = t.run().compounds();
  EXPECT_EQ(c.conLiqRefSusSol(1), 0.5);     // mg.L-1 = g.m-3
  EXPECT_EQ(c.cofSorMph(1), 100.0 * 1e-6);  // L.kg-1 / 1e6 = m3.g-1
}

struct BoundCase {
  std::string name;
  std::string value;
  std::string firstLine;
};

// Reads every per-compound value of compound 1.
double readEveryValue(Compounds& c) {
  return c.molMas(1) + c.conLiqRefSusSol(1) + c.expFreSusSol(1) + c.komSusSol(1) + c.cofSorMph(1) +
         c.conLiqRefSed(1) + c.expFreSed(1) + c.komSed(1) + c.cofDifWatRef(1) + c.cofTraWatRef(1) +
         c.temRefTraWat(1) + c.molEntTraWat(1) + c.cofTraSedRef(1) + c.temRefTraSed(1) +
         c.molEntTraSed(1) + c.slbWatRef(1) + c.temRefSlb(1) + c.molEntSlb(1) + c.preVapRef(1) +
         c.temRefVap(1) + c.molEntVap(1);
}

TEST(CompoundInputs, ValuesOutsideTheirBoundsAreFatal) {
  const std::vector<BoundCase> cases = {
      {"ConLiqRefSusSol", "1e-7", "FATAL: value < minimum"},
      {"ExpFreSusSol", "0.05", "FATAL: value < minimum"},
      {"ExpFreSusSol", "1.6", "FATAL: value > maximum"},
      {"KomSusSol", "-1", "FATAL: value < minimum"},
      {"CofSorMph", "2e7", "FATAL: value > maximum"},
      {"ConLiqRefSed", "101", "FATAL: value > maximum"},
      {"ExpFreSed", "1.51", "FATAL: value > maximum"},
      {"KomSed", "1.1e7", "FATAL: value > maximum"},
      {"CofDifWatRef", "0.003", "FATAL: value > maximum"},
      {"TemRefTraWat", "4", "FATAL: value < minimum"},
      {"MolEntTraWat", "201", "FATAL: value > maximum"},
      {"DT50SedRef", "2e6", "FATAL: value > maximum"},
      {"TemRefTraSed", "31", "FATAL: value > maximum"},
      {"MolEntTraSed", "-1", "FATAL: value < minimum"},
      {"SlbWatRef", "0.0001", "FATAL: value < minimum"},
      {"TemRefSlb", "41", "FATAL: value > maximum"},
      {"MolEntSlb", "-1001", "FATAL: value < minimum"},
      {"PreVapRef", "200001", "FATAL: value > maximum"},
      {"TemRefVap", "-1", "FATAL: value < minimum"},
      {"MolEntVap", "1001", "FATAL: value > maximum"},
  };
  for (const BoundCase& b : cases) {
    TestRun t(minimalInput(compoundsTable({"CMP"}) + compoundRecords("CMP", {{b.name, b.value}})));
    t.setup();
    Compounds& c = t.run().compounds();
    const Lines err = t.expectFatal([&] { (void)readEveryValue(c); });
    ASSERT_EQ(err.size(), 3u) << b.name;
    EXPECT_EQ(err[0], b.firstLine) << b.name;
    EXPECT_EQ(err[2], "Variable name is: " + b.name + "_CMP");
  }
}

TEST(CompoundInputs, ValuesOfTheRun) {
  TestRun t(minimalInput(compoundsTable({"CMP"}) +
                         "0.2 ConSysWatIni (g.m-3)\n5 ConAir (kg.m-3)\n0.03 ConWatSpg (g.m-3)\n"));
  t.setup();
  Compounds& c = t.run().compounds();
  EXPECT_EQ(c.conSysWatIni(), 0.2);
  EXPECT_EQ(c.conAir(), 5 * 0.001);  // kept as the value read x 0.001
  EXPECT_EQ(c.conWatSpg(), 0.03);
}

TEST(CompoundInputs, NegativeValuesOfTheRunAreFatal) {
  const std::vector<std::pair<std::string, double (Compounds::*)()>> cases = {
      {"-1 ConSysWatIni (g.m-3)\n", &Compounds::conSysWatIni},
      {"-1 ConAir (kg.m-3)\n", &Compounds::conAir},
      {"-1 ConWatSpg (g.m-3)\n", &Compounds::conWatSpg},
  };
  for (const auto& [record, getter] : cases) {
    TestRun t(minimalInput(compoundsTable({"CMP"}) + record));
    t.setup();
    Compounds& c = t.run().compounds();
    const Lines err = t.expectFatal([&] { (void)(c.*getter)(); });
    ASSERT_EQ(err.size(), 3u) << record;
    EXPECT_EQ(err[0], "FATAL: value < minimum") << record;
  }
}

// ---------------------------------------------------------------------------
// Sediment values per layer

TEST(CompoundSediment, InitialContentOfTheFirstCompoundAndDiffusionCoefficient) {
  TestRun t(compoundInput({"C", "MET"}, compoundRecords("C", {{"CofDifWatRef", "8.64e-5"}}) +
                                            compoundRecords("MET", {{"CofDifWatRef", "0"}})));
  t.setup();
  Compounds& c = t.run().compounds();
  // 1e-6 x 800000 g.m-3 x 2.5 mg.kg-1 = 2.0 g.m-3, only for the first compound.
  for (int j = 1; j <= 2; ++j) {
    EXPECT_DOUBLE_EQ(c.conSysSedIni(j, 1), 2.0);
    EXPECT_EQ(c.conSysSedIni(j, 2), 0.0);
  }
  // That in water times the relative one:
  // 8.64e-5 m2.d-1 x 0.5 / 86400 s.d-1 = 5e-10 m2.s-1.
  EXPECT_DOUBLE_EQ(c.cofDifSed(1, 1), 5e-10);
  EXPECT_DOUBLE_EQ(c.cofDifSed(2, 1), 5e-10);
  EXPECT_EQ(c.cofDifSed(1, 2), 0.0);
}

}  // namespace
}  // namespace korvan
