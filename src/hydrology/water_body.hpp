// The water body: its geometry, its division into segments along the flow,
// the segments selected for output, and the water-layer parameters that hold
// for the whole water body.
//
// Segments are numbered 1..N from upstream; node i is the downstream boundary
// of segment i and node 0 the upstream end. Everything is held in SI units.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan {

class Run;
struct FloatInput;

class WaterBody {
 public:
  explicit WaterBody(Run& run) : run_(run) {}

  // GetWaterBody: reads the WaterBody table, WaterbodyID and the output
  // distances, and lists the segment table in the log.
  void getWaterBody();

  // --- Geometry ---------------------------------------------------------
  int numSeg() const { return numSeg_; }
  // The number of segments by reference, for containers that allocate on
  // first use (SegmentVariable) and are built before the water body is read.
  const int& numSegRef() const { return numSeg_; }
  double len() const { return Len_; }
  double lenSeg(int i) const;  // i = 1..N
  double xBou(int i) const;    // i = 0..N; 0 at the upstream end
  double x(int i) const;       // i = 1..N, mid-point of segment i
  double delX(int i) const;    // i = 1..N-1, from mid-point i to i+1
  double widWatSys() const { return WidWatSys_; }
  double sloSidWatSys() const { return SloSidWatSys_; }
  double depWatDefPer() const { return DepWatDefPer_; }
  double depWatSysBot() const { return DepWatSysBot_; }
  // WaterbodyID, at most 32 characters, without trailing blanks.
  const std::string& waterbodyID() const { return WaterbodyID_; }

  // The segment that contains the distance d from the upstream end: 1 for
  // d <= 0, N beyond the length; a boundary belongs to the downstream segment.
  int segmentOfDistance(double d) const;

  // --- Output selection -------------------------------------------------
  // Rows of the OutputDistances table (0 when none were read).
  int numOutDis() const { return numOutDis_; }
  bool segOutput(int i) const;  // i = 1..N
  // The output segments in upstream-to-downstream order.
  const std::vector<int>& outputSegments() const { return outputSegments_; }
  int numSegOutput() const { return static_cast<int>(outputSegments_.size()); }

  // --- Target zone for concentrations (read on first use) ---------------
  int firstTargetSegment();
  int lastTargetSegment();

  // --- Water-layer parameters (read on first use) -----------------------
  double timStpWat();     // s
  double timStpSed();     // s
  double conSus();        // g.m-3
  double cntOmSusSol();   // kg.kg-1
  double amaMphWatLay();  // g.m-2
  // Thickness of the top sediment layers that receive eroded mass (m) and
  // the number of layers above that depth.
  double thiLayErs();
  int numLayErs();
  // Thickness of the sediment target layer (m) and its number of layers.
  double thiLayTgt();
  int numLayTgt();
  double ratAreaUpsApp();       // -
  double fraMetForDrfUps();     // -
  double fraMetForDraRnfUps();  // -

 private:
  enum class TableLayout { FiveColumns, FiveColumnsUnchecked, SixColumns };

  TableLayout tableLayout() const;
  bool readsOutputDistances() const;
  void readTable(TableLayout layout);
  void checkHeader(TableLayout layout);
  void buildGeometry(double numSegIn);
  void writeSegmentHeader();
  void readOutputDistances();
  void markDistances();
  void writeSegmentRows();
  std::string lengthText() const;

  double lazy(std::optional<double>& cache, std::string_view keyword, const FloatInput& input);
  int interfaceOf(double thickness, bool exact) const;
  double readThickness(std::string_view keyword, std::string_view mustBePositive);
  int targetNode(std::string_view keyword, double distance);
  void logTargetNode(double position, int node);

  Run& run_;

  std::string WaterbodyID_;
  int numSeg_ = 0;
  double Len_ = 0.0;
  double WidWatSys_ = 0.0;
  double SloSidWatSys_ = 0.0;
  double DepWatDefPer_ = 0.0;
  double DepWatSysBot_ = 0.0;
  // Arrays indexed by segment or node number directly; unused slots stay 0.
  std::vector<double> LenSeg_;   // 1..N
  std::vector<double> XBou_;     // 0..N
  std::vector<double> X_;        // 1..N
  std::vector<double> DelX_;     // 1..N-1
  std::vector<char> SegOutput_;  // 1..N
  std::vector<int> outputSegments_;
  int numOutDis_ = 0;

  std::optional<int> firstTgtSeg_, lastTgtSeg_;
  std::optional<double> TimStpWat_, TimStpSed_, ConSus_, CntOmSusSol_, AmaMphWatLay_,
      RatAreaUpsApp_, FraMetForDrfUps_, FraMetForDraRnfUps_;
  std::optional<double> ThiLayErs_, ThiLayTgt_;
  int numLayErs_ = 0;
  int numLayTgt_ = 0;
};

}  // namespace korvan
