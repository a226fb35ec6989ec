// The sediment under the water layer: horizons split into computational
// layers of equal thickness, the same under every segment, with their
// per-layer properties and the layers selected for output.
#pragma once

namespace korvan {

class Run;

class SedimentProfile {
 public:
  explicit SedimentProfile(Run& run) : run_(run) {}

  // Reads the SedimentProfile table, builds the layers and lists them in the log.
  void getSedimentProfile();

  int numLayers() const;
  // Depth of the boundary below layer j (j = 0 is the sediment surface, 0 m);
  // depths are negative below the surface, in m.
  double zBou(int j) const;

 private:
  Run& run_;
};

}  // namespace korvan
