// The files of the field models that deliver water sideways to the water
// body: drainage (DRALO .e2k, SULKA .s2k), runoff and erosion (QUIB .q2k),
// and the greenhouse basin (BRAX .b2k with the ZANDO .z2k discharge). One
// record is consumed per simulation time step.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/unit_table.hpp"
#include "input/run_options.hpp"

namespace korvan {

class Run;
class TextFile;

// Starts of the header lines that tie a field-model file to its compounds;
// each is compared over its own length.
inline constexpr std::string_view kSulkaCompoundHeader = "*   Compound :";
inline constexpr std::string_view kQuibCompoundHeader = "*  Chemical:";
inline constexpr std::string_view kSubstanceCountHeader = "*  Number of substances:";
inline constexpr std::string_view kDraloSubstanceHeader =
    "* Drain flux and concentration data for substance";

// A header line starts with one of these characters.
bool isHeaderLine(std::string_view line);
// The first line of the file's header block (the lines at the top that start
// with "*", "$" or "#") that begins with the prefix; nullopt when there is
// none. Reads from the top and leaves the file at the top, so it belongs
// before the header is skipped and the records are read.
std::optional<std::string> findHeaderLine(TextFile& file, std::string_view prefix);

class LateralEntries {
 public:
  explicit LateralEntries(Run& run) : run_(run) {}

  // Opens the file(s) of OptLoa and skips their headers (hydrology task 1,
  // variable flow only; the caller decides). DriftOnly opens nothing. Files
  // still open from before are closed first, so reading starts at the top.
  void open();
  // Consumes the next record of every open file: the current values become
  // the previous ones (once per simulation time step, hydrology task 2).
  // Nothing happens when no file is open.
  void readRecord();
  // Closes the files, so that a later pass reads them from the start. Safe
  // when nothing is open; the fluxes read so far are forgotten.
  void close();

  bool isOpen() const { return mainUnit_.has_value(); }
  // The field-model file (.e2k, .s2k, .q2k or .b2k) and the ZANDO file;
  // empty when not open.
  const std::string& fileName() const { return mainName_; }
  const std::string& zandoFileName() const { return zandoName_; }

  // Areic water fluxes of the field (m.s-1), the same for every segment: of
  // the record read before and of the current record. On the first record
  // both are that record's value.
  double vvrLiqDraPrevious() const { return vvrLiqDra_.previous; }
  double vvrLiqDra() const { return vvrLiqDra_.current; }
  double vvrLiqRnfPrevious() const { return vvrLiqRnf_.previous; }
  double vvrLiqRnf() const { return vvrLiqRnf_.current; }
  // The water fluxes k = 1..3 of the DRALO record (m.s-1) whose sum is
  // VvrLiqDra. Outside the Orlan edition the record carries one, so 2 and 3
  // stay 0; any other k gives 0.
  double vvrLiqDraPartPrevious(int k) const;
  double vvrLiqDraPart(int k) const;
  // Upstream discharge of the ZANDO file (m3.s-1).
  double qZandoPrevious() const { return qZando_.previous; }
  double qZando() const { return qZando_.current; }
  // Flux from the paved area of the BRAX file (m.s-1: m3 of water per m2 of
  // paved area per second, so that AreaPntInp (m2) x flux is m3.s-1).
  double flvPavedPrevious() const { return flvPaved_.previous; }
  double flvPaved() const { return flvPaved_.current; }

  // The further values of the current record of the field-model file, as
  // read and in file order, for the loadings: SULKA 1, QUIB 3 (between the
  // runoff and the infiltration flux), DRALO 3 (Orlan) or 1, BRAX 1. Empty
  // before the first record.
  std::span<const double> loadingColumns() const {
    return std::span<const double>(loadingColumns_.data(), loadingCount_);
  }

 private:
  // A flux of the record read before and of the current record.
  struct FluxPair {
    double previous = 0.0;
    double current = 0.0;
    void take(double value, bool first) {
      previous = first ? value : current;
      current = value;
    }
  };
  // What a record line gave: the leading time and the date-time text as far
  // as they could be read, and the numbers after them.
  struct Record {
    std::optional<double> time;
    std::string dateText;
    std::array<double, 6> values{};
  };

  void openSulka();
  void openQuib();
  void openDralo();
  void openBrax();
  Unit openFile(std::string_view routine, const std::string& name);
  std::string soilFileName(std::string_view routine);
  void skipHeader(Unit unit);

  bool readLine(Unit unit, bool leadingTime, int count, Record& record);
  double dayNumberOf(const std::string& dateText);
  std::string shownDateText(const Record& record) const;
  void readSulka(bool first);
  void readQuib(bool first);
  void readDralo(bool first);
  void readBrax(bool first);
  void readZando(bool first);
  void keepLoadingColumns(const Record& record, int from, int count);
  void forgetValues();

  Run& run_;
  LoadingSource source_ = LoadingSource::DriftOnly;
  std::optional<Unit> mainUnit_;
  std::optional<Unit> zandoUnit_;
  std::string mainName_;
  std::string zandoName_;
  int draloFluxCount_ = 1;
  bool firstRecord_ = true;

  FluxPair vvrLiqDra_, vvrLiqRnf_, qZando_, flvPaved_;
  std::array<FluxPair, 3> vvrLiqDraPart_;
  std::array<double, 3> loadingColumns_{};
  std::size_t loadingCount_ = 0;

  // The time stamps of the last good records, for the message when a record
  // after them cannot be read.
  std::string lastDateText_;
  double lastDayNumber_ = 0.0;
  double lastTime_ = 0.0;
  double lastZandoTime_ = 0.0;

  // Input values, read on first use.
  std::optional<std::string> soilFileName_;
  std::optional<std::string> filZando_;
  std::optional<double> ratInfDir_;
};

}  // namespace korvan
