#include "driver/templates.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace korvan {

namespace {

constexpr std::array<std::string_view, 4> kEditions = {"MERIX", "Orlan", "ZR", "BRAX"};
constexpr std::array<std::string_view, 3> kWaterSystems = {"WaterCourse", "Pond", "Constant"};

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// ZR and BRAX evaluate targets in a stretch and end their water course at a
// weir; MERIX and Orlan put it under a representative channel.
bool targetEdition(std::string_view edition) {
  return edition == "ZR" || edition == "BRAX";
}

std::string header(const TemplateChoice& c) {
  return "* ------------------------------------------------------------------------------\n"
         "* KORVAN input file: edition " +
         c.edition + ", water system " + c.waterSystem +
         "\n"
         "* Written by `korvan --template " +
         c.edition + " " + c.waterSystem +
         "`.\n"
         "*\n"
         "* It runs as it stands for four days of January 1980 with the hourly weather\n"
         "* file " +
         std::string(kTemplateWeatherFile) +
         " in the same folder (MeteoStation below; any .met file of\n"
         "* examples/*/ with hourly records will do, e.g. examples/ditch/Ditch.met).\n"
         "* Records are written as: value keyword (unit) comment. Lines that start\n"
         "* with * are comments. docs/input.md describes every keyword and its bounds.\n"
         "* ------------------------------------------------------------------------------\n\n";
}

std::string identification(const TemplateChoice& c) {
  std::string calling = upper(c.edition) + "KORVAN";
  calling.resize(std::max<std::size_t>(calling.size(), 17), ' ');
  return "* Run identification ------------------------------------------------------------\n" +
         calling +
         "CallingProgram     the edition\n"
         "1.0              CallingProgramVersion\n\n"
         "* Scenario description, one word each (the .sum file repeats them) ------------\n"
         "My_scenario      Location\n"
         "My_substance     SubstanceName\n" +
         std::string(c.edition == "MERIX" ? "Spray_once       ApplicationScheme\n" : "") +
         "Yes              ExposureReport     exposure tables in the .sum file\n"
         "Yes              PercentileReport   project summary at the end of the .sum file\n\n";
}

std::string targets(const TemplateChoice& c) {
  if (!targetEdition(c.edition)) return {};
  return "* Targets: the yearly peaks of moving averages in the target stretch ------------\n"
         "90               TargetPercentile   percentile of the yearly peaks that is reported\n"
         "1                StaTimPrdTgt       first day of the year evaluated\n"
         "366              EndTimPrdTgt       last day of the year evaluated\n"
         "* name, averaging window (d), start and end of its evaluation period (dd-Mon)\n"
         "table Targets\n"
         "Acute      1     01-Jan  31-Dec\n"
         "Chronic    2     01-Jan  31-Dec\n"
         "end_table\n\n";
}

constexpr std::string_view kPeriod =
    "* Simulation period and output --------------------------------------------------\n"
    "01-Jan-1980      TimStart\n"
    "04-Jan-1980      TimEnd\n"
    "Hourly           OptInp             Daily or Hourly: time step of the passes\n"
    "Day              OptDelTimPrn       Hour, Day, Decade, Month, Year, Automatic or Other\n"
    "No               OptDelOutFiles     Yes deletes the .out and .log files at the end\n"
    "g12.4            RealFormat         format of the values in the .out file\n"
    "DaysFromSta      DateFormat         DaysFromSta, DaysFrom1900 or Years\n"
    "No               PrintCumulatives   Yes also prints the cumulative amounts\n"
    "* Passes: OnLine computes, OffLine reuses RunId.hyd / RunId.tem of an earlier\n"
    "* run, Automatic reuses them when they exist, Only stops after that pass.\n"
    "OnLine           OptHyd\n"
    "OnLine           OptTem\n\n"
    "* Compounds: the parent first; more rows add transformation products ----------\n"
    "table compounds\n"
    "CMP\n"
    "end_table\n\n";

std::string waterBody(const TemplateChoice& c) {
  std::string s =
      "* Water body: length, segments, bottom width, side slope (horizontal/vertical),\n"
      "* depth of the water for the defaults";
  if (targetEdition(c.edition)) {
    s += ", depth of the bottom below the bank\n"
         "table WaterBody\n"
         "Len     NumSeg  WidWatSys  SloSidWatSys  DepWatDefPer  DepWatSysBot\n"
         "(m)     (-)     (m)        (-)           (m)           (m)\n" +
         std::string(c.waterSystem == "Pond"
                         ? "30      1       30         1.0           0.3           0.6\n"
                         : "100     10      1.0        1.0           0.3           0.6\n") +
         "end_table\n";
  } else if (c.waterSystem == "Pond") {
    s += "\ntable WaterBody\n"
         "Len     NumSeg  WidWatSys  SloSidWatSys  DepWatDefPer\n"
         "(m)     (-)     (m)        (-)           (m)\n"
         "30      1       30         1.0           0.3\n"
         "end_table\n";
  } else {
    s += "\ntable WaterBody\n"
         "Len     NumSeg  WidWatSys  SloSidWatSys  DepWatDefPer\n"
         "(m)     (-)     (m)        (-)           (m)\n"
         "100     10      1.0        0.0           0.2\n"
         "end_table\n";
  }
  s += "My_water         WaterbodyID\n";
  if (c.edition != "Orlan") {
    s += "All              OptOutputDistances None, All or table (then table OutputDistances)\n";
  }
  s += "\n";
  return s;
}

std::string hydrology(const TemplateChoice& c) {
  std::string s =
      "* Hydrology ---------------------------------------------------------------------\n";
  if (c.edition == "Orlan" && c.waterSystem != "Pond") {
    s += "1                AreaSurPndInp      (ha)       catchment whose drain water enters\n";
  }
  if (c.waterSystem == "Constant") {
    return s +
           "Variable         OptFloWat          Constant or Variable\n"
           "Constant         OptWaterSystemType constant velocity and depth\n"
           "DriftOnly        OptLoa             spray drift from table Loadings only\n" +
           (c.edition != "Orlan"
                ? "600              TimStpHyd          (s)        hydrology sub-step\n"
                : "") +
           "864              VelWatFlwBas       (m.d-1)\n"
           "0.3              DepWat             (m)\n\n";
  }
  s += "Variable         OptFloWat          flow from the water balance\n" +
       std::string(c.waterSystem == "Pond" ? "Pond             OptWaterSystemType\n"
                                           : "WaterCourse      OptWaterSystemType\n") +
       "DriftOnly        OptLoa             no field-model file: spray drift only\n";
  if (c.edition != "Orlan")
    s += "600              TimStpHyd          (s)        hydrology sub-step\n";
  if (c.waterSystem == "Pond" && c.edition == "Orlan") {
    return s +
           "1                AreaSurPndInp      (ha)       catchment of the pond\n"
           "5                QBasPndInp         (m3.d-1)   base flow into the pond\n"
           "1.0              DepWatIni          (m)        initial water depth\n"
           "2.0              DepPnd             (m)        depth of the pond\n"
           "0.01             CofRatSpgInp       (d-1)      seepage rate coefficient\n"
           "0.5              DepWatSpgMin       (m)        no seepage below this depth\n\n";
  }
  if (c.waterSystem == "Pond") {
    return s +
           "2                AreaSurPndInp      (ha)       catchment of the pond\n"
           "1                AreaErsSurPndInp   (ha)       catchment that delivers eroded soil\n"
           "10               QBasPndInp         (m3.d-1)   base flow into the pond\n"
           "1.0              HgtCrePnd          (m)        crest height of the outlet weir\n"
           "0.5              WidCrePnd          (m)        crest width of the outlet weir\n\n";
  }
  if (targetEdition(c.edition)) {
    s += "50               DstWeiWatCrs       (m)        from the downstream end to the weir\n"
         "0.5              WidCreWatCrs       (m)        crest width of the weir\n"
         "0.5              HgtCreWatCrs       (m)        crest height of the weir\n"
         "0.0005           SloBotWatCrs       (-)        bottom slope\n"
         "0                WidFldDra          (m)        field strip that drains to it\n";
    if (c.edition == "ZR")
      s += "864              QBasWatCrsInp      (m3.d-1)   base flow into the water course\n";
    if (c.edition == "BRAX")
      s += "0                AreaPntInp         (ha)       paved area draining to it\n";
    return s + "\n";
  }
  return s +
         "4320             QBasRepCha         (m3.d-1)   representative channel: base flow\n"
         "0                AreaUpStrRepCha    (ha)       its catchment\n"
         "1.0              WidBotRepCha       (m)        its bottom width\n"
         "0.01             SloSidRepCha       (-)        its side slope\n"
         "0.001            SloBotRepCha       (-)        its bottom slope\n"
         "1000             LenRepCha          (m)        its length\n"
         "0.4              WidCreRepCha       (m)        crest width of its weir\n"
         "0.3              HgtCreRepCha       (m)        crest height of its weir\n"
         "30               CofRghRef          (-)        reference roughness\n"
         "1.1              CofVelHea          (-)        velocity-head coefficient\n"
         "864              QBasWatCrsInp      (m3.d-1)   base flow into the water course\n"
         "0                AreaUpsWatCrsInp   (ha)       its upstream catchment\n"
         "0                WidFldDra          (m)        field strip that drains to it\n"
         "0                WidFldRnf          (m)        field strip that runs off to it\n\n";
}

constexpr std::string_view kSediment =
    "* Sediment: horizons of a thickness, each divided into layers -----------------\n"
    "table SedimentProfile\n"
    "ThiHor  NumLay\n"
    "(m)\n"
    "0.01    4\n"
    "0.04    8\n"
    "end_table\n"
    "All              OutputDepths       None, All or table (then table OutputDepths)\n"
    "Calculate        OptSedProperties   porosity and relative diffusion from Rho and CntOm\n"
    "table horizon SedimentProperties\n"
    "Nr   Rho       CntOm     ThetaSat  CofDifRel  pH\n"
    "(-)  (kg.m-3)  (kg.kg-1) (m3.m-3)  (-)        (-)\n"
    "1    800       0.09      0.6       0.5        7.0\n"
    "2    1200      0.03      0.5       0.4        7.0\n"
    "end_table\n"
    "table horizon CntSysSedIni\n"
    "Nr  CntSysSedIni\n"
    "(-) (mg.kg-1)\n"
    "1   0\n"
    "2   0\n"
    "end_table\n"
    "table horizon DispersionLength\n"
    "Nr  LenDisSedLiq\n"
    "(-) (m)\n"
    "1   0.015\n"
    "2   0.015\n"
    "end_table\n\n";

std::string weather() {
  return "* Weather: the file MeteoStation.met --------------------------------------------\n"
         "Weather          MeteoStation       the file " +
         std::string(kTemplateWeatherFile) +
         "\n"
         "Hourly           OptMetInp          Daily, Hourly or Monthly records\n"
         "1                TimZone            (-)\n"
         "52.0             LocLat             (Degrees)\n"
         "-5.0             LocLong            (Degrees)  positive west of Greenwich\n"
         "2                MetLvlRef          (m)\n"
         "10               MetLvlObs          (m)\n\n"
         "* Water temperature -------------------------------------------------------------\n"
         "3                TemWatIni          (C)        water temperature at TimStart\n"
         "60               FacCldC1           (W.m-2)    longwave of a full cloud cover\n"
         "0                FacCldC2           (W.m-2)    longwave correction of high clouds\n\n";
}

constexpr std::string_view kSubstance =
    "* Substance properties: one record per value and compound (name_compound) -----\n"
    "300              MolMas_CMP         (g.mol-1)\n"
    "1                ConLiqRefSusSol_CMP (mg.L-1)\n"
    "0.9              ExpFreSusSol_CMP   (-)\n"
    "200              KomSusSol_CMP      (L.kg-1)\n"
    "0                CofSorMph_CMP      (L.kg-1)\n"
    "1                ConLiqRefSed_CMP   (mg.L-1)\n"
    "0.9              ExpFreSed_CMP      (-)\n"
    "200              KomSed_CMP         (L.kg-1)\n"
    "4.3e-5           CofDifWatRef_CMP   (m2.d-1)\n"
    "10               DT50WatRef_CMP     (d)\n"
    "20               TemRefTraWat_CMP   (C)\n"
    "65.4             MolEntTraWat_CMP   (kJ.mol-1)\n"
    "30               DT50SedRef_CMP     (d)\n"
    "20               TemRefTraSed_CMP   (C)\n"
    "100              SlbWatRef_CMP      (mg.L-1)\n"
    "20               TemRefSlb_CMP      (C)\n"
    "27               MolEntSlb_CMP      (kJ.mol-1)\n"
    "0.001            PreVapRef_CMP      (Pa)\n"
    "20               TemRefVap_CMP      (C)\n"
    "95               MolEntVap_CMP      (kJ.mol-1)\n\n"
    "* Water layer and sediment for the substance -----------------------------------\n"
    "0                ConSysWatIni       (g.m-3)    total concentration at TimStart\n"
    "0                ConAir             (kg.m-3)   concentration in the air\n"
    "0                ConWatSpg          (g.m-3)    concentration in seepage water\n"
    "15               ConSus             (g.m-3)    suspended solids\n"
    "0.09             CntOmSusSol        (kg.kg-1)  organic matter of suspended solids\n"
    "0                AmaMphWatLay       (g.m-2)    dry mass of macrophytes\n"
    "0.01             ThiLayTgt          (m)        sediment target layer\n";

std::string substance(const TemplateChoice& c) {
  std::string s(kSubstance);
  if (c.edition != "Orlan") {
    // The Orlan edition transforms in the sediment with the energy of the water.
    s.insert(s.find("100              SlbWatRef_CMP"),
             "65.4             MolEntTraSed_CMP   (kJ.mol-1)\n");
    s += "0                FlwWatSpg          (m3.m-2.d-1) seepage through the sediment\n";
  }
  s += "Calc             OptTimStp          Input or Calc: sub-steps of the solvers\n"
       "600              TimStpSed          (s)\n";
  if (c.edition == "ZR") {
    s += "1                XCrpWatSysTop      (m)        edge of the crop to the top of the bank\n";
  }
  if (targetEdition(c.edition) && c.waterSystem != "Pond") {
    s += "50               StaDstTgtCon       (m)        target stretch: start from upstream\n"
         "100              EndDstTgtCon       (m)        and end\n";
  }
  s += targetEdition(c.edition)
           ? "Input            OptDis             Fischer or Input (then CofDisPhsInp)\n"
             "8640             CofDisPhsInp       (m2.d-1)   dispersion coefficient\n\n"
           : "Fischer          OptDis             Fischer or Input (then CofDisPhsInp)\n\n";
  s += "* Spray drift: date, loading on the water (mg.m-2), dosage (g ai.ha-1),\n"
       "* start and end of the loaded stretch (m)\n"
       "table Loadings\n" +
       std::string(c.waterSystem == "Pond" ? "02-Jan-1980-09h00 12.5 500 0 30\n"
                                           : "02-Jan-1980-09h00 12.5 500 0 100\n") +
       "end_table\n\n";
  return s;
}

// Every print switch; Yes for the headline variables of the run.
constexpr std::array<std::pair<std::string_view, bool>, 71> kPrintSwitches = {{
    {"QBou", true},
    {"DepWat", true},
    {"VelWatFlw", false},
    {"VvrLiqDra", false},
    {"VvrLiqRnf", false},
    {"VolErrWatLay", false},
    {"DepWatRepCha", false},
    {"FlwWatSpg", false},
    {"TemAirRef", false},
    {"FleRadShoDow", false},
    {"FraHumAirRef", false},
    {"FraCldCov", false},
    {"VelWndRef", false},
    {"PreVapAir", false},
    {"FlvLiqPrc", false},
    {"FlvLiqEvp", false},
    {"TemWat", false},
    {"FleRadShoUpw", false},
    {"FleRadShoDowSed", false},
    {"FleRadLonDow", false},
    {"FleRadLonUpw", false},
    {"SensHeaFlxAirWat", false},
    {"VapHeaFlxAirWat", false},
    {"SensHeaFlxWatSed", false},
    {"HeaFlxPrc", false},
    {"AmaLoaWatLay", false},
    {"AmaLoaDrfWatLay", false},
    {"AmaLoaAtmDepWatLay", false},
    {"AmaAppSol", false},
    {"FlmDra", false},
    {"FlmRnf", false},
    {"FlmErs", false},
    {"ConSysWatLay", false},
    {"ConLiqWatLay", true},
    {"ConLiqWatZRAvg", false},
    {"ConLiqWatLayCur", false},
    {"CntSorMph", false},
    {"CntSorSusSol", false},
    {"ConSysSed", false},
    {"ConLiqSed", false},
    {"CntSorSed", false},
    {"CntSedTgt", true},
    {"ConLiqSedTgt", false},
    {"CntSorSedTgt", false},
    {"AmaWatLay", true},
    {"AmaLiqWatLay", false},
    {"AmaSorSusSol", false},
    {"AmaSorMph", false},
    {"AmaSed", true},
    {"AmaLiqSed", false},
    {"AmaSorSed", false},
    {"AmaTraWatLay", false},
    {"AmaVolWatLay", false},
    {"AmaForWatLay", false},
    {"AmaSedInWatLay", false},
    {"AmaSedOutWatLay", false},
    {"AmaDwnWatLay", false},
    {"AmaUpsWatLay", false},
    {"AmaDrfWatLay", false},
    {"AmaAtmDepWatLay", false},
    {"AmaDraWatLay", false},
    {"AmaRnoWatLay", false},
    {"AmaErrWatLay", true},
    {"AmaTraSed", false},
    {"AmaForSed", false},
    {"AmaWatLayInSed", false},
    {"AmaWatLayOutSed", false},
    {"AmaDwnSed", false},
    {"AmaErsSed", false},
    {"AmaErrSed", true},
    {"CofDisPhs", false},
}};

std::string printSwitches() {
  std::string s =
      "* Printed variables: Yes writes the variable to the .out file at every print\n"
      "* time. All switches are listed; those that the run does not use are skipped.\n";
  for (const auto& [name, yes] : kPrintSwitches) {
    s += yes ? "Yes              print_" : "No               print_";
    s += name;
    s += "\n";
  }
  return s;
}

}  // namespace

std::vector<TemplateChoice> templateChoices() {
  std::vector<TemplateChoice> out;
  for (std::string_view e : kEditions) {
    for (std::string_view w : kWaterSystems) out.push_back({std::string(e), std::string(w)});
  }
  return out;
}

std::optional<TemplateChoice> templateChoice(std::string_view edition,
                                             std::string_view waterSystem) {
  std::optional<TemplateChoice> out;
  const std::string e = upper(edition);
  const std::string w = upper(waterSystem);
  for (const TemplateChoice& c : templateChoices()) {
    const std::string name = upper(c.edition);
    if ((e == name || e == name + "KORVAN") && w == upper(c.waterSystem)) out = c;
  }
  return out;
}

std::string inputTemplate(const TemplateChoice& c) {
  return header(c) + identification(c) + targets(c) + std::string(kPeriod) + waterBody(c) +
         hydrology(c) + std::string(kSediment) + weather() + substance(c) + printSwitches();
}

std::string templateList() {
  std::string s =
      "Usage: korvan --template EDITION WATERSYSTEM > RunId.kvn\n"
      "\n"
      "Prints a complete input file that runs as it stands with the weather file\n" +
      std::string(kTemplateWeatherFile) + " beside it. The combinations:\n\n";
  for (const TemplateChoice& c : templateChoices()) {
    s += "  korvan --template " + c.edition + " " + c.waterSystem + "\n";
  }
  return s;
}

}  // namespace korvan
