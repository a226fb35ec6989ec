#include "hydrology/sediment_profile.hpp"

#include <cassert>
#include <cmath>
#include <string>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/table.hpp"

namespace korvan {

namespace {

constexpr std::string_view kProfile = "SedimentProfile";
constexpr std::string_view kProperties = "SedimentProperties";
constexpr std::string_view kOutputDepths = "OutputDepths";

// Output depths within this distance of a layer boundary count as on it.
constexpr double kDepthTolerance = 1e-6;

// Heading, unit line and layer line of the profile listing in the log.
constexpr std::string_view kProfileHeading =
    "('Node',7x,'ZBou',10x,'Z',7x,'DelZ',5x,'ThiLay',2x,'horiZon  output')";
constexpr std::string_view kProfileUnits = "(4x,4a11)";
constexpr std::string_view kProfileLayer = "(i4,4f11.6,i9,a8)";
// A per-layer property in the log: name, unit, layer centre, value, note.
constexpr std::string_view kLayerValue = "(a20,1x,a18,1x,f11.6,1x,g12.5)";
constexpr std::string_view kLayerValueNote = "(a20,1x,a18,1x,f11.6,1x,g12.5,1x,a)";

std::string number(int n) {
  return std::to_string(n);
}

// A whole number written in free format, such as a horizon or layer count.
std::optional<int> parseWholeNumber(std::string_view item) {
  const auto value = parseNumber(item);
  if (!value || std::floor(*value) != *value || std::fabs(*value) > 1e9) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace

struct SedimentProfile::HorizonColumn {
  std::string_view table;
  std::string_view column;
  std::string_view unit;
  int number;  // column after the horizon number, from 1
  double min;
  double max;
};

double calculatedThetaSat(double rho, double cntOm) {
  return 1.0 - rho * cntOm / kRhoOm - (1.0 - cntOm) * rho / kRhoMineral;
}

double calculatedCofDifRel(double thetaSat) {
  return 1.0 / (1.0 - std::log(thetaSat * thetaSat));
}

// ---------------------------------------------------------------------------
// Profile and layers

void SedimentProfile::getSedimentProfile() {
  if (read_) return;
  readHorizons();
  buildLayers();
  read_ = true;
  getOutRows();
  listProfile();
}

void SedimentProfile::readHorizons() {
  Messages& msg = run_.messages();
  constexpr std::string_view routine = "GetSedimentProfile";
  TableRows rows(run_, kProfile);
  if (rows.count() < 3) {
    msg.fatal(routine, "There should be at least one horizon in the SedimentProfile table");
  }
  rows.next();
  if (rows.words().count() != 2) {
    msg.fatal(routine, "Number of columns in table SedimentProfile must be 2");
  }
  if (rows.words().word(1) != "ThiHor" || rows.words().word(2) != "NumLay") {
    msg.fatal(routine, "2nd line in table SedimentProfile must be: ThiHor NumLay");
  }
  rows.next();
  if (rows.words().count() != 1) {
    msg.fatal(routine, "Number of dimension identifiers in Sedimentprofile must be 1");
  }
  if (rows.words().word(1) != "(m)") {
    msg.fatal(routine, "3rd line in table SedimentProfile must be:    (m)");
  }

  double bottom = 0.0;
  while (rows.next()) {
    const int h = rows.rowNumber() - 2;
    // A row without both values cannot be read at all; a row whose values are
    // not numbers (or whose NumLay is not a whole number) is read wrongly.
    if (rows.words().count() < 2) {
      msg.fatal(routine, "Fatal while READING record SedimentProfile",
                "Last row read is " + number(h));
    }
    const auto thiHor = parseNumber(rows.words().word(1));
    const auto numLay = parseWholeNumber(rows.words().word(2));
    if (!thiHor || !numLay) {
      msg.fatal(routine, "Error while reading table SedimentProfile",
                "Last row read was: " + number(h));
    }
    // A horizon without thickness would give layers without thickness, so
    // the depths must increase strictly; this also rejects a negative ThiHor.
    if (!(bottom - *thiHor < bottom)) {
      msg.fatal(routine, "Horizon boundary depths must be ascending",
                "Last row read was: " + number(h));
    }
    run_.numbers().checkForMinimum("NumLay", *numLay, 1.0);
    bottom -= *thiHor;
    thiHor_.push_back(*thiHor);
    numLayHor_.push_back(*numLay);
    zBouHor_.push_back(bottom);
  }
}

void SedimentProfile::buildLayers() {
  zBou_.assign(1, 0.0);
  double top = 0.0;
  for (std::size_t h = 0; h < thiHor_.size(); ++h) {
    const int n = numLayHor_[h];
    const double thickness = thiHor_[h] / n;
    for (int k = 1; k <= n; ++k) {
      // The last layer ends exactly at the horizon bottom, free of the
      // rounding of k times the layer thickness.
      zBou_.push_back(k == n ? zBouHor_[h] : top - k * thickness);
      thiLay_.push_back(thickness);
      horizon_.push_back(static_cast<int>(h) + 1);
    }
    top = zBouHor_[h];
  }
  double zAbove = 0.0;  // the sediment surface above the first centre
  for (std::size_t j = 1; j < zBou_.size(); ++j) {
    z_.push_back(0.5 * (zBou_[j - 1] + zBou_[j]));
    delZ_.push_back(zAbove - z_.back());
    zAbove = z_.back();
  }
  output_.assign(thiLay_.size(), false);
}

void SedimentProfile::listProfile() {
  TextFile& log = run_.log();
  log.writeLine(kDashes);
  log.writeLine("Sediment Profile:");
  log.writeLine(formatLayout(kProfileHeading, {}));
  log.writeLine(formatLayout(kProfileUnits, {"(m)", "(m)", "(m)", "(m)"}));
  const Layout line(kProfileLayer);
  for (int j = 1; j <= numLayers(); ++j) {
    log.writeLine(line.write({std::int64_t{j}, zBou(j), z(j), delZ(j), thiLay(j),
                              std::int64_t{horizon(j)}, outputLayer(j) ? "Yes" : "No"}));
  }
}

std::size_t SedimentProfile::layer(int j) const {
  assert(j >= 1 && j <= numLayers());
  return static_cast<std::size_t>(j - 1);
}

double SedimentProfile::zBou(int j) const {
  assert(j >= 0 && j <= numLayers());
  return zBou_[static_cast<std::size_t>(j)];
}
double SedimentProfile::z(int j) const {
  return z_[layer(j)];
}
double SedimentProfile::delZ(int j) const {
  return delZ_[layer(j)];
}
double SedimentProfile::thiLay(int j) const {
  return thiLay_[layer(j)];
}
int SedimentProfile::horizon(int j) const {
  return horizon_[layer(j)];
}
bool SedimentProfile::outputLayer(int j) const {
  return output_[layer(j)];
}
double SedimentProfile::thiHor(int h) const {
  assert(h >= 1 && h <= numHorizons());
  return thiHor_[static_cast<std::size_t>(h - 1)];
}

// ---------------------------------------------------------------------------
// Output depths

void SedimentProfile::getOutRows() {
  const auto option =
      static_cast<OutputDepthsOption>(run_.records().rdOption(kOutputDepths, "None All table"));
  output_.assign(thiLay_.size(), option == OutputDepthsOption::All);
  if (option == OutputDepthsOption::Table) markOutputDepths();
}

void SedimentProfile::markOutputDepths() {
  Messages& msg = run_.messages();
  constexpr std::string_view routine = "GetOutRows";
  // The option record of the same name comes first; the table is the second.
  TableRows rows(run_, kOutputDepths, {.unitText = "(m)", .occurrence = 2});
  std::vector<double> depths;
  while (rows.next()) {
    const auto depth = parseNumber(rows.words().word(1));
    if (!depth) msg.fatal(routine, "Fatal while reading table OutputDepths");
    const std::string lineRead = "Last line read is " + number(rows.rowNumber());
    if (!(*depth > 0.0)) msg.fatal(routine, "Depth in table OutputDepths must be > 0", lineRead);
    // A depth on a boundary marks the layer above it, whose bottom it is.
    const double zOut = -*depth;
    int j = 1;
    while (j <= numLayers() && zOut < zBou(j) - kDepthTolerance) ++j;
    // A depth below the profile selects nothing, which the user would not
    // notice in the output; it is refused.
    if (j > numLayers()) {
      msg.fatal(routine, "Depth in table OutputDepths is below the sediment profile", lineRead);
    }
    output_[layer(j)] = true;
    depths.push_back(*depth);
  }
  for (double depth : depths) {
    run_.log().writeLine(formatLayout("(a20,1x,a18,1x,g12.5)", {kOutputDepths, "(m)", depth}));
  }
}

// ---------------------------------------------------------------------------
// Per-horizon tables

std::vector<double> SedimentProfile::rdSedimentProperties(std::string_view table,
                                                          std::string_view column,
                                                          std::string_view unit, int columnNumber,
                                                          double min, double max) {
  return readHorizonTable("RdSedimentProperties", {table, column, unit, columnNumber, min, max});
}

std::vector<double> SedimentProfile::rdSedimentProperty(std::string_view table,
                                                        std::string_view column,
                                                        std::string_view unit, double min,
                                                        double max) {
  return readHorizonTable("RdSedimentProperty", {table, column, unit, 1, min, max});
}

std::vector<double> SedimentProfile::readHorizonTable(std::string_view routine,
                                                      const HorizonColumn& c) {
  getSedimentProfile();
  Messages& msg = run_.messages();
  const std::string name(c.table);
  const std::string illegalMode = "Illegal mode for table " + name;
  if (openedWithoutMode(c.table))
    msg.fatal(routine, illegalMode, "Mode must be interpolate or horizon");
  TableRows rows(run_, c.table, {.position = 3});
  const std::string& mode = rows.openingWord(2);
  if (mode != "horizon" && mode != "interpolate") {
    msg.fatal(routine, illegalMode, "Mode must be interpolate or horizon");
  }

  const int needed = c.number + 1;  // the horizon number comes first
  if (rows.count() < 1) msg.fatal(routine, "Fatal while looking for header of table " + name);
  rows.next();
  if (rows.words().count() == 0) {
    msg.fatal(routine, "Fatal while looking for column names in table " + name);
  }
  if (rows.words().count() < needed) {
    msg.fatal(routine,
              "Number of columns should be at least " + number(needed) + " in table " + name);
  }
  if (rows.words().word(needed) != c.column) {
    msg.fatal(routine, "Check column names in table " + name,
              "Name expected is " + std::string(c.column),
              "Name found is " + rows.words().word(needed));
  }
  if (rows.count() < 2)
    msg.fatal(routine, "Fatal while LOOKING for dimension row in table " + name);
  rows.next();
  if (rows.words().count() == 0) {
    msg.fatal(routine, "Fatal while LOOKING for dimension row in table " + name);
  }
  if (rows.words().word(needed) != c.unit) {
    msg.fatal(routine, "Check dimension names in table " + name,
              "Dimension expected is " + std::string(c.unit),
              "Dimension found is " + rows.words().word(needed));
  }
  if (rows.count() - 2 != numHorizons()) {
    msg.fatal(routine,
              "Number of rows in table " + name + " does not correspond with number of horizons");
  }

  std::vector<double> values(thiHor_.size());
  std::vector<bool> given(thiHor_.size(), false);
  while (rows.next()) {
    const auto h = parseWholeNumber(rows.words().word(1));
    const auto value = parseNumber(rows.words().word(needed));
    if (!h || !value) {
      msg.fatal(routine, "Fatal while reading table " + name, "Row is: " + rows.line());
    }
    if (*h < 1 || *h > numHorizons()) {
      msg.fatal(routine,
                "Cannot find horizon " + number(*h) + " (Table " + name + ") in Sediment profile");
    }
    const auto k = static_cast<std::size_t>(*h - 1);
    // With the row count right, a repeated horizon leaves another without a
    // value; the repeat is the error the user has to correct.
    if (given[k]) {
      msg.fatal(routine, "Horizon " + number(*h) + " occurs more than once in table " + name);
    }
    given[k] = true;
    values[k] = *value;
  }
  for (double value : values) {
    run_.numbers().checkForMinimum(c.column, value, c.min);
    if (std::isfinite(c.max)) run_.numbers().checkForMaximum(c.column, value, c.max);
  }
  std::vector<double> layers = horizonValuesToLayers(values, mode == "interpolate");
  logLayerValues(c.column, c.unit, layers, {});
  return layers;
}

// An opening line "table Name" lacks its mode: the user gets the mode message
// rather than a table that cannot be found. A single-value table's column
// line ("Nr CntSysSedIni") also holds the name second, so only lines that
// start with "table" count.
bool SedimentProfile::openedWithoutMode(std::string_view table) {
  Records& records = run_.records();
  for (bool more = false; records.getRecord(table, 2, {.noRewind = more, .mustExist = false});
       more = true) {
    if (records.words().word(1) == "table") return true;
  }
  return false;
}

// With interpolation a horizon's value holds at its centre; between centres
// it varies linearly with depth, above the first and below the last centre it
// is that horizon's value (the end rows of the lookup).
std::vector<double> SedimentProfile::horizonValuesToLayers(const std::vector<double>& values,
                                                           bool interpolate) {
  std::vector<double> layers(thiLay_.size());
  if (!interpolate) {
    for (int j = 1; j <= numLayers(); ++j)
      layers[layer(j)] = values[static_cast<std::size_t>(horizon(j) - 1)];
    return layers;
  }
  NumericTable centres;
  centres.allocate(1, numHorizons());
  double top = 0.0;
  for (int h = 1; h <= numHorizons(); ++h) {
    const double bottom = zBouHor_[static_cast<std::size_t>(h - 1)];
    centres.x(h) = 0.5 * (top + bottom);
    centres.y(h, 1) = values[static_cast<std::size_t>(h - 1)];
    top = bottom;
  }
  for (int j = 1; j <= numLayers(); ++j) {
    layers[layer(j)] = lookupTable(run_, centres, z(j), SortOrder::Down);
  }
  return layers;
}

void SedimentProfile::logLayerValues(std::string_view label, std::string_view unit,
                                     const std::vector<double>& values, std::string_view note) {
  TextFile& log = run_.log();
  log.writeLine(kDashes);
  const Layout line(note.empty() ? kLayerValue : kLayerValueNote);
  for (int j = 1; j <= numLayers(); ++j) {
    const double v = values[layer(j)];
    log.writeLine(note.empty() ? line.write({label, unit, z(j), v})
                               : line.write({label, unit, z(j), v, note}));
  }
}

// ---------------------------------------------------------------------------
// Per-layer properties

double SedimentProfile::layerValue(LayerValues& cache, int j, std::string_view column,
                                   std::string_view unit, int columnNumber, double min,
                                   double max) {
  if (!cache) cache = rdSedimentProperties(kProperties, column, unit, columnNumber, min, max);
  return (*cache)[layer(j)];
}

SedPropertiesOption SedimentProfile::optSedProperties() {
  if (!optSedProperties_) {
    optSedProperties_ = static_cast<SedPropertiesOption>(
        run_.records().rdOption("OptSedProperties", "Calculate Input"));
  }
  return *optSedProperties_;
}

double SedimentProfile::rho(int j) {
  if (!rho_) {
    // Read in kg.m-3, held in g.m-3 like every mass inside the model.
    std::vector<double> values = rdSedimentProperties(kProperties, "Rho", "(kg.m-3)", 1, 50, 2000);
    for (double& v : values) v *= 1000.0;
    rho_ = std::move(values);
  }
  return (*rho_)[layer(j)];
}

double SedimentProfile::cntOm(int j) {
  return layerValue(cntOm_, j, "CntOm", "(kg.kg-1)", 2, 0, 1);
}

double SedimentProfile::pH(int j) {
  return layerValue(pH_, j, "pH", "(-)", 5, 1, 13);
}

double SedimentProfile::thetaSat(int j) {
  if (thetaSat_) return (*thetaSat_)[layer(j)];
  getSedimentProfile();
  if (optSedProperties() == SedPropertiesOption::Input) {
    return layerValue(thetaSat_, j, "ThetaSat", "(m3.m-3)", 3, 0.001, 0.999);
  }
  std::vector<double> values(static_cast<std::size_t>(numLayers()));
  for (int k = 1; k <= numLayers(); ++k) values[layer(k)] = calculatedThetaSat(rho(k), cntOm(k));
  logLayerValues("ThetaSat", "(m3.m-3)", values, "(calculated)");
  // A density and organic matter that leave (almost) no pore space are
  // refused like a porosity read out of bounds.
  for (double v : values) {
    run_.numbers().checkForMinimum("ThetaSat", v, 0.001);
    run_.numbers().checkForMaximum("ThetaSat", v, 0.999);
  }
  thetaSat_ = std::move(values);
  return (*thetaSat_)[layer(j)];
}

double SedimentProfile::cofDifRel(int j) {
  if (cofDifRel_) return (*cofDifRel_)[layer(j)];
  getSedimentProfile();
  if (optSedProperties() == SedPropertiesOption::Input) {
    return layerValue(cofDifRel_, j, "CofDifRel", "(-)", 4, 0, 1);
  }
  std::vector<double> values(static_cast<std::size_t>(numLayers()));
  for (int k = 1; k <= numLayers(); ++k) values[layer(k)] = calculatedCofDifRel(thetaSat(k));
  logLayerValues("CofDifRel", "(-)", values, "(calculated)");
  cofDifRel_ = std::move(values);
  return (*cofDifRel_)[layer(j)];
}

double SedimentProfile::lenDisSedLiq(int j) {
  if (!lenDisSedLiq_) {
    lenDisSedLiq_ = rdSedimentProperty("DispersionLength", "LenDisSedLiq", "(m)", 0.01, 1);
  }
  return (*lenDisSedLiq_)[layer(j)];
}

double SedimentProfile::cntSysSedIni(int j) {
  if (!cntSysSedIni_)
    cntSysSedIni_ = rdSedimentProperty("CntSysSedIni", "CntSysSedIni", "(mg.kg-1)", 0);
  return (*cntSysSedIni_)[layer(j)];
}

}  // namespace korvan
