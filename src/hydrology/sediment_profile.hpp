// The sediment under the water layer: horizons split into computational
// layers of equal thickness, the same under every segment, with their
// per-layer properties and the layers selected for output.
#pragma once

#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace korvan {

class Run;

// OptSedProperties: porosity and relative diffusion coefficient computed
// from the bulk density and organic matter, or given in the table.
enum class SedPropertiesOption { Calculate = 1, Input };
// OutputDepths: which layers go to the output file.
enum class OutputDepthsOption { None = 1, All, Table };

// Density of organic matter and of the mineral parts (g.m-3).
inline constexpr double kRhoOm = 1.4e6;
inline constexpr double kRhoMineral = 2.65e6;

// Porosity of a sediment of bulk density rho (g.m-3) and organic-matter mass
// fraction cntOm: the volume not taken by organic and mineral solids.
double calculatedThetaSat(double rho, double cntOm);
// Relative diffusion coefficient at porosity thetaSat: 1 / (1 - ln(thetaSat^2)),
// the tortuosity of a porous medium; 1 in open water.
double calculatedCofDifRel(double thetaSat);

class SedimentProfile {
 public:
  explicit SedimentProfile(Run& run) : run_(run) {}

  // Reads the SedimentProfile table, builds the layers, marks the output
  // layers (GetOutRows) and lists them in the log. Reads once; later calls
  // do nothing.
  void getSedimentProfile();

  // Geometry, available after getSedimentProfile. Layers j = 1 .. numLayers()
  // from the surface down; depths in m, negative below the sediment surface.
  int numLayers() const { return static_cast<int>(thiLay_.size()); }
  int numHorizons() const { return static_cast<int>(thiHor_.size()); }
  // Depth of the boundary below layer j (j = 0 is the sediment surface, 0 m).
  double zBou(int j) const;
  // Depth of the centre of layer j.
  double z(int j) const;
  // Distance between the centres of layers j - 1 and j (m, positive); for
  // j = 1 the distance from the sediment surface to the first centre.
  double delZ(int j) const;
  double thiLay(int j) const;
  // Horizon (1 .. numHorizons()) that layer j belongs to.
  int horizon(int j) const;
  // Whether layer j is written to the output file.
  bool outputLayer(int j) const;
  // Thickness of horizon h (m).
  double thiHor(int h) const;

  // Per-layer properties, read (or calculated) on the first call; the
  // profile is read first when that has not happened yet.
  double rho(int j);           // bulk density (g.m-3)
  double cntOm(int j);         // organic-matter mass fraction (kg.kg-1)
  double pH(int j);            // (-)
  double thetaSat(int j);      // porosity (m3.m-3)
  double cofDifRel(int j);     // relative diffusion coefficient (-)
  double lenDisSedLiq(int j);  // dispersion length (m)
  // Initial system content of the first compound (mg.kg-1, as read; the
  // compound module converts it).
  double cntSysSedIni(int j);

  SedPropertiesOption optSedProperties();

  // Per-layer values of a column of a per-horizon table (layer j at index
  // j - 1), in the unit of the table, each horizon value checked against the
  // bounds. RdSedimentProperties reads column columnNumber of a table of
  // several properties; RdSedimentProperty the one value column of a table
  // named after its property.
  std::vector<double> rdSedimentProperties(std::string_view table, std::string_view column,
                                           std::string_view unit, int columnNumber, double min,
                                           double max = std::numeric_limits<double>::infinity());
  std::vector<double> rdSedimentProperty(std::string_view table, std::string_view column,
                                         std::string_view unit, double min,
                                         double max = std::numeric_limits<double>::infinity());

  // GetOutRows: marks the layers written to the output file after option
  // and table OutputDepths. Called by getSedimentProfile.
  void getOutRows();

 private:
  struct HorizonColumn;
  using LayerValues = std::optional<std::vector<double>>;

  void readHorizons();
  void buildLayers();
  void listProfile();
  void markOutputDepths();
  bool openedWithoutMode(std::string_view table);
  std::vector<double> readHorizonTable(std::string_view routine, const HorizonColumn& column);
  std::vector<double> horizonValuesToLayers(const std::vector<double>& values, bool interpolate);
  // Fills a per-layer value on first use and echoes it to the log.
  double layerValue(LayerValues& cache, int j, std::string_view column, std::string_view unit,
                    int columnNumber, double min, double max);
  void logLayerValues(std::string_view label, std::string_view unit,
                      const std::vector<double>& values, std::string_view note);
  std::size_t layer(int j) const;

  Run& run_;
  bool read_ = false;

  // Horizons h = 1 .. n at index h - 1.
  std::vector<double> thiHor_;
  std::vector<int> numLayHor_;
  std::vector<double> zBouHor_;  // bottom depth of each horizon

  // Layers j = 1 .. n at index j - 1; zBou_ has n + 1 values from the surface.
  std::vector<double> zBou_;
  std::vector<double> z_;
  std::vector<double> delZ_;
  std::vector<double> thiLay_;
  std::vector<int> horizon_;
  std::vector<bool> output_;

  std::optional<SedPropertiesOption> optSedProperties_;
  LayerValues rho_, cntOm_, pH_, thetaSat_, cofDifRel_, lenDisSedLiq_, cntSysSedIni_;
};

}  // namespace korvan
