// Inputs for the tests of the compound module: the compounds table, every
// per-compound record of a compound, a water body with constant flow and a
// sediment of two layers.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "driver/model_run.hpp"
#include "driver/modules.hpp"
#include "hydrology/hydrology.hpp"
#include "substance/compounds.hpp"
#include "support/test_run.hpp"

namespace korvan::compound_test {

using testing::minimalInput;
using testing::TestRun;

using Lines = std::vector<std::string>;

inline const std::string kDashLine(80, '-');

inline std::string compoundsTable(const std::vector<std::string>& names) {
  std::string table = "table compounds\n";
  for (const auto& name : names) table += name + "\n";
  return table + "end_table\n";
}

// Every per-compound value with its unit word and a default; the defaults
// are those of a moderately sorbing, slowly volatilising pesticide.
inline const std::vector<std::pair<std::string, std::pair<std::string, std::string>>>
    kCompoundDefaults = {
        {"MolMas", {"(g.mol-1)", "300"}},
        {"ConLiqRefSusSol", {"(mg.L-1)", "1"}},
        {"ExpFreSusSol", {"(-)", "0.9"}},
        {"KomSusSol", {"(L.kg-1)", "1000"}},
        {"CofSorMph", {"(L.kg-1)", "100"}},
        {"ConLiqRefSed", {"(mg.L-1)", "1"}},
        {"ExpFreSed", {"(-)", "0.9"}},
        {"KomSed", {"(L.kg-1)", "1000"}},
        {"CofDifWatRef", {"(m2.d-1)", "4.3e-5"}},
        {"DT50WatRef", {"(d)", "10"}},
        {"TemRefTraWat", {"(C)", "20"}},
        {"MolEntTraWat", {"(kJ.mol-1)", "65.4"}},
        {"DT50SedRef", {"(d)", "20"}},
        {"TemRefTraSed", {"(C)", "20"}},
        {"MolEntTraSed", {"(kJ.mol-1)", "65.4"}},
        {"SlbWatRef", {"(mg.L-1)", "100"}},
        {"TemRefSlb", {"(C)", "20"}},
        {"MolEntSlb", {"(kJ.mol-1)", "27"}},
        {"PreVapRef", {"(Pa)", "0.01"}},
        {"TemRefVap", {"(C)", "20"}},
        {"MolEntVap", {"(kJ.mol-1)", "95"}},
};

// The records "value Name_compound (unit)" of a compound; a value given as
// "" leaves the record out.
inline std::string compoundRecords(const std::string& compound,
                                   const std::map<std::string, std::string>& values = {}) {
  std::string records;
  for (const auto& [name, unitAndValue] : kCompoundDefaults) {
    const auto it = values.find(name);
    const std::string value = it == values.end() ? unitAndValue.second : it->second;
    if (value.empty()) continue;
    records += value + " " + name + "_" + compound + " " + unitAndValue.first + "\n";
  }
  return records;
}

inline const std::string kNoHydrologyPrintSwitches =
    "No print_QBou\nNo print_DepWat\nNo print_VelWatFlw\nNo print_VvrLiqDra\n"
    "No print_VvrLiqRnf\nNo print_VolErrWatLay\nNo print_DepWatRepCha\nNo print_FlwWatSpg\n"
    "No print_CofDisPhs\n";

// Ten segments of 10 m, 2 m wide at the bottom with side slope 0.5, 0.5 m
// deep under constant flow: A = 2 x 0.5 + 0.5 x 0.25 = 1.125 m2 and
// P = 2 + 2 x 0.5 x sqrt(1.25) = 3.118033988749895 m; 15 g.m-3 of suspended
// solids with 10 % organic matter, 50 g.m-2 of macrophytes.
inline const std::string kWaterLayer =
    "table WaterBody\nLen NumSeg WidWatSys SloSidWatSys DepWatDefPer\n(m) (-) (m) (-) (m)\n"
    "100 10 2.0 0.5 0.1\nend_table\nDitch WaterbodyID\nAll OptOutputDistances\n"
    "Constant OptFloWat\n864 VelWatFlwBas (m.d-1)\n0.5 DepWat (m)\n"
    "15 ConSus (g.m-3)\n0.1 CntOmSusSol (kg.kg-1)\n50 AmaMphWatLay (g.m-2)\n" +
    kNoHydrologyPrintSwitches;

// Two layers of 0.025 m, bulk density 800 kg.m-3, 9 % organic matter,
// porosity 0.6, relative diffusion 0.5; 2.5 mg.kg-1 of compound 1 at the start.
inline const std::string kSediment =
    "table SedimentProfile\nThiHor NumLay\n(m)\n0.05 2\nend_table\nAll OutputDepths\n"
    "Input OptSedProperties\n"
    "table horizon SedimentProperties\nNr Rho CntOm ThetaSat CofDifRel pH\n"
    "(-) (kg.m-3) (kg.kg-1) (m3.m-3) (-) (-)\n1 800 0.09 0.6 0.5 7.0\nend_table\n"
    "table horizon CntSysSedIni\nNr CntSysSedIni\n(-) (mg.kg-1)\n1 2.5\nend_table\n";

// An input with the compounds, their records, the water layer, the sediment
// and the extra lines; the edition replaced when given.
inline std::string compoundInput(const std::vector<std::string>& names, const std::string& records,
                                 const std::string& extra = "",
                                 const std::string& callingProgram = "") {
  std::string input =
      minimalInput(compoundsTable(names) + records + kWaterLayer + kSediment + extra);
  if (!callingProgram.empty()) input.replace(0, std::string("MERIXKORVAN").size(), callingProgram);
  return input;
}

// Sets the run up and brings the water body and its hydrology to their
// initial state.
inline void initialiseWaterLayer(TestRun& t) {
  t.setup();
  t.run().hydrology().task(Task::Initialise);
}

inline Lines logOf(TestRun& t) {
  t.run().log().flush();
  return t.dir().lines("t.log");
}

// The index of the first line equal to the text, or -1.
inline int findLine(const Lines& lines, const std::string& text) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == text) return static_cast<int>(i);
  }
  return -1;
}

// A concentration per segment 0..N (index 0 unused) of the same value.
inline std::vector<double> uniform(int numSeg, double value) {
  std::vector<double> c(static_cast<std::size_t>(numSeg) + 1, value);
  c[0] = 0.0;
  return c;
}

}  // namespace korvan::compound_test
