// The water body: its geometry, its division into segments along the flow,
// the segments selected for output, and the water-layer parameters that hold
// for the whole water body.
#pragma once

namespace korvan {

class Run;

class WaterBody {
 public:
  explicit WaterBody(Run& run) : run_(run) {}

  // Reads the WaterBody table and the output distances and lists the
  // segment table in the log.
  void getWaterBody();

  int numSeg() const;

 private:
  Run& run_;
};

}  // namespace korvan
