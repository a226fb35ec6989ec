// The hydrology of the water body: discharge at every segment boundary, water
// depth, flow velocity, areas and widths, for constant flow, a water course
// (MERIX with its representative channel; ZR and BRAX with a weir
// downstream) or a pond (MERIX; Orlan with seepage). Computed once in the
// hydrology pass and stored in the hydrology file, which the later passes
// read back.
//
// Units inside: m, s, m3.s-1. Node i is the downstream boundary of segment i
// and node 0 the upstream end; per-node and per-segment values are indexed
// directly by i.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/containers.hpp"
#include "hydrology/cross_section.hpp"
#include "hydrology/hydrology_file.hpp"
#include "hydrology/representative_channel.hpp"
#include "hydrology/weir_reach.hpp"
#include "output/output_file.hpp"

namespace korvan {

class Run;
struct FloatInput;
enum class Task;
enum class LoadingSource;

// The formulation that computes the flow, chosen by OptFloWat,
// OptWaterSystemType and the edition.
enum class HydrologyKind {
  Constant,     // constant velocity and depth: OptFloWat Constant, or variable
                // flow of OptWaterSystemType Constant
  WaterCourse,  // water course under a representative channel (all but ZR, BRAX)
  WeirReach,    // water course ending at a weir (ZR, BRAX)
  Pond,         // pond with an outlet weir (all but Orlan)
  OrlanPond,    // pond without outflow, with seepage, rain and evaporation
};

// Water volumes (m3) that entered or left the water layer since the last
// reset, for the water-volume balance. They are the terms the hydrology used,
// so that initial volume + inflows - outflows equals the volume present.
struct WaterVolumes {
  double initial = 0.0;         // volume present at initialisation
  double lateralInflow = 0.0;   // drainage and runoff from the fields
  double upstreamInflow = 0.0;  // across node 0
  double outflow = 0.0;         // across node N
  double precipitation = 0.0;   // on the water surface (Orlan pond)
  double evaporation = 0.0;     // from the water surface (Orlan pond)
  double seepage = 0.0;         // into the sediment (Orlan pond)
};

class Hydrology {
 public:
  explicit Hydrology(Run& run);
  ~Hydrology();
  Hydrology(const Hydrology&) = delete;
  Hydrology& operator=(const Hydrology&) = delete;

  // The hydrology driver: 1 initialise, 2 one simulation time step,
  // 3 next record of the hydrology file, 4 print, 20 reopen the hydrology
  // file for the substance pass.
  void task(Task task);
  // Writes the record of the current time to the hydrology file.
  void writeRecord();
  // Print-time running totals of a step of the temperature and substance
  // passes (the hydrology pass keeps them per sub-step itself).
  void updateTotals();
  // Orlan edition: the precipitation and evaporation of the current weather
  // record (m.s-1), for every segment.
  void setPrecipitationEvaporation(double flvLiqPrc, double flvLiqEvp);

  // --- For the substance pass --------------------------------------------
  // Stores the per-sub-step increments (end - start) / numSubSteps of the
  // depths and discharges of the current time step.
  void prepareSubSteps(int numSubSteps);
  double delDepWat(int i) const { return DelDepWat_[i]; }  // m per sub-step, i = 1..N
  double delQBou(int i) const { return DelQBou_[i]; }      // m3.s-1 per sub-step, i = 0..N
  // Seepage through every sediment interface (m.s-1), once per time step.
  void computeSeepage();
  double flwWatSpgSed(int j) const;  // interface j = 0..numLayers
  // Lateral fluxes (m.s-1 per m2 of field) set by the loadings for every
  // segment when the hydrology is read back.
  void setLateralFluxes(double vvrLiqDra, double vvrLiqRnf);
  // The physical dispersion coefficients (m2.s-1) of nodes 0..N, for the
  // print-interval means.
  void setCofDisPhs(std::span<const double> values);
  void setVolErrWatLay(double volume) { VolErrWatLay_.set(volume); }

  // --- Water-volume balance ---------------------------------------------
  const WaterVolumes& waterVolumes() const { return volumes_; }
  // Sets the flow terms to 0; the initial volume stays.
  void resetWaterVolumes();
  // The volume of water present (m3): sum of area x segment length.
  double waterVolume() const;

  // --- Formulation and time step ----------------------------------------
  HydrologyKind kind() const { return kind_; }
  // The hydrology time step (s): 86400 for daily input; for hourly input
  // TimStpHyd in the MERIX, ZR and BRAX editions and 3600 otherwise.
  double timStpHyd();
  // Hydrology sub-steps per simulation time step (truncated).
  int numSubStepsHyd();

  // --- State ------------------------------------------------------------
  double qBou(int i) const { return QBou_[i]; }                 // m3.s-1, node 0..N
  double qBouPrevious(int i) const { return QBouPrv_[i]; }      // m3.s-1
  double depWat(int i) const { return DepWat_[i]; }             // m, segment 1..N
  double depWatPrevious(int i) const { return DepWatPrv_[i]; }  // m
  double area(int i) const { return AreaWat_[i]; }              // m2, 0..N (0 as segment 1)
  double areaPrevious(int i) const { return AreaWatPrv_[i]; }   // m2
  double surfaceWidth(int i) const { return WidWatSur_[i]; }    // m, 1..N
  double velWatFlw(int i) const { return VelWatFlw_[i]; }       // m.s-1, node 0..N
  double vvrLiqDra(int i) const { return VvrLiqDra_[i]; }       // m.s-1 per m2 of field
  double vvrLiqRnf(int i) const { return VvrLiqRnf_[i]; }       // m.s-1 per m2 of field
  double qLatDra(int i) const { return QLatDra_[i]; }           // m2.s-1 per m of segment
  double qLatRnf(int i) const { return QLatRnf_[i]; }           // m2.s-1 per m of segment
  double flvLiqPrc(int i) const { return FlvLiqPrc_[i]; }       // m.s-1
  double flvLiqEvp(int i) const { return FlvLiqEvp_[i]; }       // m.s-1
  double cofDisPhs(int i) const { return CofDisPhs_[i]; }       // m2.s-1
  std::span<const double> qBouValues() const { return QBou_.values(); }
  std::span<const double> depWatValues() const { return DepWat_.values(); }

  double depWatRepCha() const { return DepWatRepCha_.value(); }    // m
  double froRepCha() const { return FroRepCha_.value(); }          // -
  double qCre() const { return QCre_.value(); }                    // m3.s-1 over the crest
  double qWeiWatCrs() const { return QWeiWatCrs_.value(); }        // m3.s-1 at the weir
  double depWatCre() const { return DepWatCre_.value(); }          // m
  double qBouUpsWatCrs() const { return QBouUpsWatCrs_.value(); }  // m3.s-1
  double flwWatSpg() const { return FlwWatSpg_.value(); }          // m.s-1
  double hgtWatCrePnd() const { return HgtWatCrePnd_.value(); }    // m above the pond crest
  double volErrWatLay() const { return VolErrWatLay_.value(); }    // m3
  // Wetted perimeter of segment N (m).
  double perWet() const { return PerWet_.value(); }

  // --- Widths of the sediment -------------------------------------------
  double widSedInterface(int j) const;  // m, interface j = 0..numLayers
  double widSedLayer(int j) const;      // m, layer centre j = 1..numLayers
  // Cross-section of the sediment that receives eroded soil (m2, QUIB).
  double areaSedErs() const { return AreaSedErs_; }

  // --- Input parameters, read and converted on first use ----------------
  double velWatFlwBas();      // m.s-1
  double depWatCst();         // m, the input DepWat of constant flow
  double qBasWatCrsInp();     // m3.s-1
  double areaUpsWatCrsInp();  // m2
  double qBasRepCha();        // m3.s-1
  double areaUpStrRepCha();   // m2
  double widBotRepCha();      // m
  double sloSidRepCha();      // -
  double sloBotRepCha();      // -
  double lenRepCha();         // m
  double widCreRepCha();      // m
  double hgtCreRepCha();      // m
  double cofRghRef();         // -
  double cofVelHea();         // -
  double dstWeiWatCrs();      // m
  double widCreWatCrs();      // m
  double hgtCreWatCrs();      // m
  double sloBotWatCrs();      // -
  double areaPntInp();        // m2
  double widFldDra();         // m (Orlan pond: AreaSurPndInp / Len)
  double widFldRnf();         // m
  double widFldErs();         // m
  double areaSurPndInp();     // m2
  double areaErsSurPndInp();  // m2
  // The field width (m2 of field per metre of water body) whose drainage,
  // runoff and eroded soil reach the water body: the field strips of a water
  // course, the catchment area over Len of a pond, as the water balance
  // takes them, so that water and substance come from the same area.
  double widEntDra();
  double widEntRnf();
  double widEntErs();
  double qBasPndInp();        // m3.s-1
  double hgtCrePnd();         // m
  double widCrePnd();         // m
  double depWatIni();         // m
  double depPnd();            // m
  double cofRatSpgInp();      // s-1
  double depWatSpgMin();      // m
  double ratInfDir();         // -
  double xCrpWatSysTop();     // m
  double flwWatSpgInp();      // m.s-1, the input FlwWatSpg of the sediment seepage

 private:
  // Stages of the driver.
  void initialise();
  void step();
  void takeStored();
  void print();
  void reinitialise();

  // Initialisation.
  void selectKind();
  void readParameters();
  void checkRepresentativeChannel();
  void checkOnePondSegment();
  void writeHeader();
  void initialState();
  void computeSedimentWidths();

  // Formulations (water_course.cpp, pond.cpp).
  void constantState();
  void waterCourseStep(double dt, bool initial);
  void representativeChannelDepth(double qRep);
  void weirReachInitial();
  void weirReachStep(int numSubSteps, double dt);
  double weirReachUpstreamInflow(int k, int numSubSteps);
  void weirReachSubStep(double dt, double qUps, double qLat);
  void weirReachProfile(double qUps, double qWei);
  void pondInitial();
  void pondStep(double dt);
  void orlanPondInitial();
  void orlanPondStep(double dt);
  double orlanSeepage();

  // Shared state updates.
  void setLateral(double vvrLiqDra, double vvrLiqRnf);
  void updateGeometry();
  void updateVelocity();
  void keepPrevious();
  bool recordDue() const;
  void accumulatePrint(double seconds);
  void resetPrint();
  double stepSeconds() const;
  double timeSinceStart() const;
  [[noreturn]] void froudeFatal(double froude);

  // The hydrology file (hydrology_record.cpp).
  bool writesFile() const;
  bool readsFile();
  void openForReading();
  void readRecord();
  void checkFlow();
  void checkExchangingDepth();

  double parameter(std::optional<double>& cache, std::string_view keyword, const FloatInput& input,
                   double multiplier = 1.0, double divisor = 1.0);
  bool zrOrBrax() const;
  bool brax() const;
  bool orlan() const;

  Run& run_;

  HydrologyKind kind_ = HydrologyKind::Constant;
  bool variable_ = false;
  std::optional<LoadingSource> loa_;
  RepresentativeChannel repCha_;
  WeirReach reach_;
  Trapezoid section_;

  // Per node and per segment (0..N).
  SegmentVariable QBou_, QBouPrv_, DepWat_, DepWatPrv_, AreaWat_, AreaWatPrv_, WidWatSur_,
      VelWatFlw_, VvrLiqDra_, VvrLiqRnf_, QLatDra_, QLatRnf_, FlvLiqPrc_, FlvLiqEvp_, CofDisPhs_,
      DelDepWat_, DelQBou_;
  // Time integrals over the print interval (value x s) and their length (s).
  SegmentVariable QBouInt_, CofDisPhsInt_, VvrLiqDraInt_, VvrLiqRnfInt_;
  double timInt_ = 0.0;
  std::vector<double> printBuffer_;

  ScalarVariable DepWatRepCha_, FroRepCha_, QCre_, QWeiWatCrs_, DepWatCre_, QBouUpsWatCrs_,
      FlwWatSpg_, HgtWatCrePnd_, VolErrWatLay_, PerWet_;
  // The representative-channel depth at the start of the current step, which
  // the water-course record carries.
  double depWatRepChaStart_ = 0.0;
  // The backwater curve, kept to reuse its storage, and the discharge it was
  // computed for: an unchanged discharge gives the same depth.
  std::vector<BackwaterPoint> curve_;
  std::optional<double> curveQRep_;

  // Sediment widths and seepage per interface (0..n) and per layer (1..n).
  std::vector<double> WidSedInterface_, WidSedLayer_, FlwWatSpgSed_;
  double AreaSedErs_ = 0.0;

  WaterVolumes volumes_;

  // The hydrology file.
  std::optional<HydrologyFile> file_;
  std::vector<double> recordValues_;
  int recordsWritten_ = 0;
  int recordsRead_ = 0;
  bool readerOpen_ = false;
  // A record has been taken in this pass, so the running totals count.
  bool readBack_ = false;

  PrintSwitch printQBou_, printDepWat_, printVelWatFlw_, printVvrLiqDra_, printVvrLiqRnf_,
      printVolErrWatLay_, printDepWatRepCha_, printFlwWatSpg_, printCofDisPhs_;

  std::optional<double> TimStpHyd_, VelWatFlwBas_, DepWatCst_, QBasWatCrsInp_, AreaUpsWatCrsInp_,
      QBasRepCha_, AreaUpStrRepCha_, WidBotRepCha_, SloSidRepCha_, SloBotRepCha_, LenRepCha_,
      WidCreRepCha_, HgtCreRepCha_, CofRghRef_, CofVelHea_, DstWeiWatCrs_, WidCreWatCrs_,
      HgtCreWatCrs_, SloBotWatCrs_, AreaPntInp_, WidFldDra_, WidFldRnf_, WidFldErs_, AreaSurPndInp_,
      AreaErsSurPndInp_, QBasPndInp_, HgtCrePnd_, WidCrePnd_, DepWatIni_, DepPnd_, CofRatSpgInp_,
      DepWatSpgMin_, RatInfDir_, XCrpWatSysTop_, FlwWatSpgInp_;
};

}  // namespace korvan
