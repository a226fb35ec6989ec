// The formation tables FraPrtDauWat and FraPrtDauSed: molar fractions from
// parent to daughter, one row per pair ("0.71   C ->  MET-C"), converted once
// to a mass basis.
#include <cmath>
#include <new>
#include <string>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/table.hpp"
#include "substance/compounds.hpp"
#include "substance/transformation.hpp"

namespace korvan {

namespace {

constexpr std::string_view kFraPrtDauWat = "FraPrtDauWat";
constexpr std::string_view kFraPrtDauSed = "FraPrtDauSed";
constexpr std::string_view kUnit = "(mol.mol-1)";
constexpr std::string_view kExample = "0.71   C ->  MET-C";
// A fraction or exponent within this distance of 0 counts as 0.
constexpr double kTolFraction = 1e-9;
// Parent, fraction and daughter in the log.
constexpr std::string_view kFractionLine = "(a20,1x,g12.5,1x,'->',1x,a)";

std::string rowNumberIs(int row) {
  return "Row number is " + std::to_string(row);
}

}  // namespace

void Compounds::rdFraPrtDauWat() {
  // With a single compound nothing can be formed and the table may be left
  // out; with more, a missing table is most likely forgotten.
  formationTable(FraPrtDauWat_, kFraPrtDauWat, "RdFraPrtDauWat", numCompounds() >= 2);
}

void Compounds::rdFraPrtDauSed() {
  // Without transformation in the sediment (Orlan) the table has no effect
  // and need not be given.
  formationTable(FraPrtDauSed_, kFraPrtDauSed, "RdFraPrtDauSed",
                 numCompounds() >= 2 && transformsInSediment());
}

FormationTable& Compounds::waterTable() {
  if (!FraPrtDauWat_.read) [[unlikely]]
    rdFraPrtDauWat();
  return FraPrtDauWat_;
}

FormationTable& Compounds::sedimentTable() {
  if (!FraPrtDauSed_.read) [[unlikely]]
    rdFraPrtDauSed();
  return FraPrtDauSed_;
}

double Compounds::fraPrtDauWat(int p, int d) {
  return waterTable().molar(p, d);
}
double Compounds::fraPrtDauSed(int p, int d) {
  return sedimentTable().molar(p, d);
}
double Compounds::fraMasPrtDauWat(int p, int d) {
  return waterTable().mass(p, d);
}
double Compounds::fraMasPrtDauSed(int p, int d) {
  return sedimentTable().mass(p, d);
}

FormationTable& Compounds::formationTable(FormationTable& table, std::string_view name,
                                          std::string_view routine, bool required) {
  if (table.read) return table;
  const int n = numCompounds();
  try {
    table.molar.allocate(n);
    table.mass.allocate(n);
  } catch (const std::bad_alloc&) {
    run_.messages().fatal(routine, "Error during initialization of array " + std::string(name),
                          "Please contact the KORVAN support: this should not occur");
  }
  table.read = true;
  readFormationRows(table, name, routine, required);
  return table;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): table, then its reporting routine
void Compounds::readFormationRows(FormationTable& table, std::string_view name,
                                  std::string_view routine, bool required) {
  Messages& msg = run_.messages();
  const std::string tableName(name);
  TableRows rows(run_, name, {.unitText = kUnit, .mustExist = required});
  if (!rows.found()) return;
  TextFile& log = run_.log();
  log.writeLine(kDashes);
  log.writeLine("Transformation fractions on molar basis (mol.mol-1)");

  const Layout line(kFractionLine);
  const int n = numCompounds();
  std::vector<char> given(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0);
  for (int row = 1; row <= rows.count(); ++row) {
    if (!rows.next()) {
      msg.fatal(routine, "Fatal while LOOKING for compound names in table " + tableName);
    }
    const WordList& words = rows.words();
    if (words.count() != 4) {
      msg.fatal(routine, "Number of columns should be 4 in table " + tableName,
                "Example:", kExample);
    }
    const int p = compoundOfName(words.word(2));
    if (p == 0) {
      msg.fatal(routine, "Illegal compoundname found for parent in table " + tableName,
                rowNumberIs(row));
    }
    const int d = compoundOfName(words.word(4));
    if (d == 0) {
      msg.fatal(routine, "Illegal compoundname found for daughter in table " + tableName,
                rowNumberIs(row));
    }
    // The arrow fixes the direction; a row written the other way round
    // ("MET-C <- C") would otherwise swap parent and daughter unnoticed.
    if (words.word(3) != "->") {
      msg.fatal(routine, "The third word must be -> in table " + tableName, rowNumberIs(row),
                "Example: " + std::string(kExample));
    }
    const auto fraction = parseNumber(firstItem(rows.line()));
    if (!fraction) msg.fatal(routine, "Fatal while reading table " + tableName, rowNumberIs(row));
    log.writeLine(line.write({words.word(2), *fraction, words.word(4)}));
    if (p == d && std::fabs(*fraction) > kTolFraction) {
      msg.fatal(routine, "Diagonal of transformation table must be zero");
    }
    // A negative fraction would take mass from the daughter.
    run_.numbers().checkForMinimum(tableName, *fraction, 0.0);
    char& seen = given[static_cast<std::size_t>(p - 1) * static_cast<std::size_t>(n) +
                       static_cast<std::size_t>(d - 1)];
    // A second row for the same pair is a slip the user should see: which
    // of the two values was meant cannot be told.
    if (seen) {
      msg.fatal(routine,
                "Parent " + words.word(2) + " and daughter " + words.word(4) +
                    " occur more than once in table " + tableName,
                rowNumberIs(row));
    }
    seen = 1;
    table.molar(p, d) = *fraction;
  }
  convertToMassBasis(table);
}

void Compounds::convertToMassBasis(FormationTable& table) {
  const int n = numCompounds();
  // Only pairs with a fraction need the molar masses, so a table of zeros
  // asks for none; they are read (and echoed) before the listing starts.
  bool anyFraction = false;
  for (int p = 1; p <= n; ++p) {
    for (int d = 1; d <= n; ++d) anyFraction = anyFraction || table.molar(p, d) != 0.0;
  }
  if (anyFraction) molMas(1);
  TextFile& log = run_.log();
  log.writeLine(kDashes);
  log.writeLine("Transformation fractions on mass basis (g.g-1)");
  const Layout line(kFractionLine);
  for (int p = 1; p <= n; ++p) {
    for (int d = 1; d <= n; ++d) {
      if (table.molar(p, d) == 0.0) continue;
      table.mass(p, d) = massFormationFraction(table.molar(p, d), molMas(p), molMas(d));
      if (p != d && std::fabs(table.mass(p, d)) > kTolFraction) {
        log.writeLine(line.write({name(p), table.mass(p, d), name(d)}));
      }
    }
  }
}

}  // namespace korvan
