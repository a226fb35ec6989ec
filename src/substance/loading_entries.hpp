// Substance entering with lateral water: the substance columns of the
// field-model files, read per compound in the substance pass. The files are
// opened here on free units of their own, so that the hydrology's readers
// (and the hydrology pass) stay untouched.
//
// Files per model: SULKA and QUIB one file per row of the table Soil, tied
// to a compound by its header line "*   Compound :" or "*  Chemical:" (row k
// is compound k when the line is missing); DRALO the files RunId_1.e2k ..
// RunId_m.e2k, m from "*  Number of substances:" of the first, each tied by
// "* Drain flux and concentration data for substance" (file k is compound k
// without it); BRAX the file RunId.b2k whose m substance columns are the
// compounds 1..m.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/unit_table.hpp"
#include "input/run_options.hpp"

namespace korvan {

class Run;

class LoadingEntries {
 public:
  explicit LoadingEntries(Run& run) : run_(run) {}

  // The file of the first compound (the one that announces the events);
  // empty for DriftOnly. Reads the table Soil for SULKA and QUIB.
  std::string firstFileName();
  // Opens the files of OptLoa, checks their compound header lines and skips
  // their headers. DriftOnly opens nothing.
  void open();
  // The next record of every file: current values become the previous ones.
  void read();
  void close();
  bool isOpen() const { return !files_.empty(); }
  // Compound k (1..n) enters with the lateral water of one of the files.
  bool carriesCompound(int k) const {
    for (const File& f : files_) {
      for (int c : f.compounds) {
        if (c == k) return true;
      }
    }
    return false;
  }

  // Substance fluxes of compound k (1..n) into segment i: g.m-2.s-1 per m2
  // of field, the same in every segment; for BRAX the entry of the whole
  // paved area (g.s-1) into segment 1 only. Compounds without a file get 0.
  double flmDra(int i, int k) const { return value(flmDra_, i, k, true); }
  double flmDraPrevious(int i, int k) const { return value(flmDra_, i, k, false); }
  double flmRnf(int i, int k) const { return value(flmRnf_, i, k, true); }
  double flmRnfPrevious(int i, int k) const { return value(flmRnf_, i, k, false); }
  double flmErs(int i, int k) const { return value(flmErs_, i, k, true); }
  double flmErsPrevious(int i, int k) const { return value(flmErs_, i, k, false); }
  // Water fluxes of the first file (m.s-1 per m2 of field).
  double vvrLiqDra() const { return vvrLiqDra_; }
  double vvrLiqRnf() const { return vvrLiqRnf_; }
  // BRAX: water flux from the paved area (m.s-1 per m2 of paved area).
  double vvrLiqPnt() const { return vvrLiqPnt_; }

 private:
  struct Pair {
    double previous = 0.0;
    double current = 0.0;
  };
  struct File {
    std::string name;
    Unit unit;
    std::vector<int> compounds;  // compound of each substance column
  };

  double value(const std::vector<Pair>& v, int i, int k, bool current) const;
  std::vector<std::string> soilFileNames();
  void openSoilFiles(std::string_view headerPrefix);
  void openDraloFiles();
  void openBraxFile();
  Unit openFile(const std::string& name);
  int substanceCount(const std::string& name, Unit unit);
  int compoundOfHeader(const std::string& name, Unit unit, std::string_view prefix, int fallback);
  [[noreturn]] void compoundMismatch(const std::string& name);
  void skipHeader(Unit unit);
  bool readValues(const File& file, int leading, int count, std::vector<double>& values,
                  std::string& dateText);
  void take(std::vector<Pair>& v, int k, double flux);

  Run& run_;
  LoadingSource source_ = LoadingSource::DriftOnly;
  std::vector<File> files_;
  std::optional<std::vector<std::string>> soilNames_;
  std::vector<Pair> flmDra_, flmRnf_, flmErs_;  // per compound, index k - 1
  double vvrLiqDra_ = 0.0;
  double vvrLiqRnf_ = 0.0;
  double vvrLiqPnt_ = 0.0;
  bool first_ = true;
  // One record's line, values and date-time text, kept so that reading
  // allocates nothing.
  std::string line_;
  std::vector<double> values_;
  std::string date_;
};

}  // namespace korvan
