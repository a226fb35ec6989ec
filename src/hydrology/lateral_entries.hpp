// The files of the field models that deliver water sideways to the water
// body: drainage (DRALO .e2k, SULKA .s2k), runoff and erosion (QUIB .q2k),
// and the greenhouse basin (BRAX .b2k with the ZANDO .z2k discharge). One
// record is consumed per simulation time step.
#pragma once

namespace korvan {

class Run;

class LateralEntries {
 public:
  explicit LateralEntries(Run& run) : run_(run) {}

  // Opens the file(s) of OptLoa and skips their headers (hydrology task 1,
  // variable flow only). DriftOnly opens nothing.
  void open();
  // Consumes the next record of every open file: the current values become
  // the previous ones (once per simulation time step, hydrology task 2).
  void readRecord();
  // Closes the files, so that a later pass reads them from the start.
  void close();

  // Areic water fluxes of the field (m.s-1), the same for every segment: of
  // the record read before and of the current record. On the first record
  // both are that record's value.
  double vvrLiqDraPrevious() const;
  double vvrLiqDra() const;
  double vvrLiqRnfPrevious() const;
  double vvrLiqRnf() const;
  // Upstream discharge of the ZANDO file (m3.s-1).
  double qZandoPrevious() const;
  double qZando() const;
  // Flux from the paved area of the BRAX file (m.s-1 per m2 of paved area).
  double flvPaved() const;

 private:
  Run& run_;
};

}  // namespace korvan
