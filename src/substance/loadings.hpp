// The loadings of the water layer that do not come with water: spray-drift
// events (table Loadings for DriftOnly, or the event lines announced by
// "*  NumApp" in the header of the field-model file), the atmospheric
// deposition that follows a spray application (ZR edition), and the
// substance entering with the lateral water of the field models.
//
// Units inside: g, m, s, days for times. Segments i = 1..N, compounds
// k = 1..n; only compound 1 is sprayed.
#pragma once

#include <string>
#include <vector>

#include "output/output_file.hpp"
#include "substance/loading_entries.hpp"
#include "substance/loading_events.hpp"

namespace korvan {

class Run;
class TextFile;

class Loadings {
 public:
  explicit Loadings(Run& run);

  // --- Event table -------------------------------------------------------
  // GetEvtTable: reads the events and the table HorizontalProfiles, checks
  // the dates and writes evtfil.tmp (once; later calls do nothing).
  void getEvtTable();
  // The events in time order (loadings in g.m-2 after initialise()).
  const std::vector<LoadingEvent>& events() const { return events_; }
  const std::vector<std::string>& horizontalProfiles() const { return profiles_; }
  // The event table as the log shows it (heading and one row per event,
  // loadings in mg.m-2), for the log and the summary report.
  void writeEventTable(TextFile& file) const;

  // --- Loading step ---------------------------------------------------------
  // The first call of the run: cumulative loadings 0, flags down, the event
  // table read and checked, loadings converted to g.m-2. The first step()
  // calls it when the driver did not.
  void initialise();
  // Once per outer step of the substance pass, after the sub-steps, at the
  // sub-step time of the end of the step: starts the events of the step.
  void step();
  // The current event spread over the segments it covers (g.m-1).
  void distribute();
  // After the mass balance has taken the drift of the step.
  void clearSegmentLoadings();

  // Loading per metre of water course of the current event in segment i for
  // compound k (g.m-1); only compound 1 is loaded.
  double loaWatLay(int i, int k) const;
  // Atmospheric-deposition rate on the water surface (g.m-2.s-1).
  double ratAtmDep(int i, int k) const;
  // Computes the deposition rates of the coming step (while the deposition
  // flag is up) and adds the step's deposition to the amounts printed.
  void applyAtmosphericDeposition();

  // --- Entries with lateral water (OptFloWat Variable) -------------------
  void openEntryFiles() { entries_.open(); }
  // The entries of the coming step; the current values become previous.
  void readEntries() { entries_.read(); }
  const LoadingEntries& entries() const { return entries_; }

  // --- Flags --------------------------------------------------------------
  bool loadingRaised() const { return loading_; }
  void clearLoading() { loading_ = false; }
  // Read and lowered by the water-layer solver, which then solves the loading.
  bool loadingSolveRaised() const { return loadingSolve_; }
  void clearLoadingSolve() { loadingSolve_ = false; }
  bool depositionRaised() const { return deposition_; }
  // Read and lowered by the run driver, which writes the profiles.
  bool profileRaised() const { return profile_; }
  void clearProfile() { profile_ = false; }

  // --- State of the current event -----------------------------------------
  int currentEvent() const { return current_; }  // row 1.., 0 before the first
  double dosage() const { return dosage_; }      // mg.m-2
  double factor() const { return factor_; }      // -
  int numApplications() const { return numApp_; }
  double cumLoadingPerMetre() const { return cumLoaPerMetre_; }  // g.m-1
  double cumAreicLoading() const { return cumAreicLoa_; }        // mg.m-2

  // AmaLoaWatLay, AmaLoaDrfWatLay, AmaLoaAtmDepWatLay, AmaAppSol, FlmDra,
  // FlmErs, FlmRnf at a print time t.
  void print(double t);

 private:
  struct Printed {
    PrintSwitch sw;
    double atLastPrint = 0.0;
  };

  void readTable();
  void readHeaderEvents();
  void addEvent(const std::vector<std::string>& words, int row, const std::string& suffix,
                const std::string& formatMessage, const std::string& readError);
  void readHorizontalProfiles();
  void writeEventFile();
  void checkEvents();
  void logEventTable();
  void startEvent(int row);
  LoadedSegments segmentsOf(const LoadingEvent& e);
  void prepareDeposition();
  void printAmount(double t, const char* name, double cumulative, Printed& p);

  Run& run_;
  LoadingEntries entries_;
  bool tableRead_ = false;
  bool initialised_ = false;
  std::vector<LoadingEvent> events_;
  std::vector<std::string> profiles_;

  bool loading_ = false;
  bool loadingSolve_ = false;
  bool deposition_ = false;
  bool profile_ = false;

  int current_ = 0;
  double start_ = 0.0;
  double end_ = 0.0;
  double dosage_ = 0.0;
  double factor_ = 1.0;
  double timLastApp_ = -1.0e30;
  int numApp_ = 0;
  double cumLoaPerMetre_ = 0.0;
  double cumLoaDistributed_ = 0.0;
  double cumAreicLoa_ = 0.0;

  std::vector<double> loaSeg_;     // g.m-1, segment i at index i
  std::vector<double> widths_;     // m, surface width of segment i at index i
  std::vector<double> xBou_;       // m, node positions 0..N
  std::vector<double> ratAtmDep_;  // g.m-2.s-1 per compound (same in every segment)
  std::vector<DepositionClass> classes_;
  double xDeposition_ = 0.0;
  double fraAtmDepCum24h_ = 0.0;
  bool depositionPrepared_ = false;

  // Areic amounts since the start (g.m-2) and the time of the last print.
  double amaDrf_ = 0.0;
  double amaAtmDep_ = 0.0;
  double amaApp_ = 0.0;
  double timLastPrint_ = 0.0;
  Printed printLoa_, printDrf_, printAtmDep_, printApp_;
  PrintSwitch printFlmDra_, printFlmErs_, printFlmRnf_;
};

}  // namespace korvan
