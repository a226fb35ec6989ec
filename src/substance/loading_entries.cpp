#include "substance/loading_entries.hpp"

#include <cassert>
#include <cstdint>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/platform.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/text.hpp"
#include "core/text_file.hpp"
#include "core/units.hpp"
#include "hydrology/hydrology.hpp"
#include "hydrology/lateral_entries.hpp"
#include "hydrology/water_body.hpp"
#include "input/records.hpp"
#include "input/table.hpp"
#include "substance/compounds.hpp"

namespace korvan {

namespace {

constexpr std::string_view kRoutine = "RdLoadingEntries";
// mm.h-1 to m.s-1 and mg.m-2.h-1 to g.m-2.s-1 (1 / 3.6e6).
constexpr double kPerHourQuib = 2.7777777777777776e-7;
// The same for SULKA in the single precision of its files' model.
constexpr double kPerHourSulka = 2.7777779097151425e-7;
// DRALO: a concentration (g.L-1) times a water flux (m.d-1) to g.m-2.s-1
// (1000 L per m3, 86400 s per day: 1 / 86.4).
constexpr double kDraloFlux = 0.011574074074074073;

bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == ',';
}

// The next blank-separated item of a line from pos on; empty at its end.
std::string_view nextItem(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && isSeparator(line[pos])) ++pos;
  const std::size_t start = pos;
  while (pos < line.size() && !isSeparator(line[pos])) ++pos;
  return line.substr(start, pos - start);
}

std::string restAfter(std::string_view line, std::string_view prefix) {
  return std::string(trim(line.substr(prefix.size())));
}

}  // namespace

double LoadingEntries::value(const std::vector<Pair>& v, int i, int k, bool current) const {
  const auto index = static_cast<std::size_t>(k - 1);
  if (k < 1 || index >= v.size()) return 0.0;
  // The greenhouse basin enters at the upstream segment only.
  if (source_ == LoadingSource::BRAX && i != 1) return 0.0;
  return current ? v[index].current : v[index].previous;
}

// ---------------------------------------------------------------------------
// File names and opening

std::vector<std::string> LoadingEntries::soilFileNames() {
  if (soilNames_) return *soilNames_;
  TableRows rows(run_, "Soil");
  std::vector<std::string> names;
  while (rows.next()) {
    std::string name(trim(rows.line()));
    if (name.size() >= 2 && (name.front() == '\'' || name.front() == '"') &&
        name.back() == name.front()) {
      name = name.substr(1, name.size() - 2);
    }
    if (name.empty()) {
      run_.messages().fatal(
          kRoutine, "Fatal while reading table Soil substances",
          "Last row read is " + formatLayout("(i2)", {std::int64_t{rows.rowNumber()}}));
    }
    names.push_back(name);
  }
  if (names.empty()) {
    run_.messages().fatal(kRoutine, "Fatal while reading table Soil substances",
                          "Last row read is " + formatLayout("(i2)", {std::int64_t{0}}));
  }
  soilNames_ = names;
  return names;
}

std::string LoadingEntries::firstFileName() {
  switch (run_.options().optLoa()) {
    case LoadingSource::DriftOnly:
      return {};
    case LoadingSource::SULKA:
    case LoadingSource::QUIB:
      return soilFileNames().front();
    case LoadingSource::DRALO:
      return run_.identity().runId() + "_1.e2k";
    case LoadingSource::BRAX:
      return run_.identity().fileName(".b2k");
  }
  return {};
}

void LoadingEntries::open() {
  close();
  source_ = run_.options().optLoa();
  const auto n = static_cast<std::size_t>(run_.compounds().numCompounds());
  flmDra_.assign(n, {});
  flmRnf_.assign(n, {});
  flmErs_.assign(n, {});
  switch (source_) {
    case LoadingSource::DriftOnly:
      return;
    case LoadingSource::SULKA:
      openSoilFiles(kSulkaCompoundHeader);
      break;
    case LoadingSource::QUIB:
      openSoilFiles(kQuibCompoundHeader);
      break;
    case LoadingSource::DRALO:
      openDraloFiles();
      break;
    case LoadingSource::BRAX:
      openBraxFile();
      break;
  }
  values_.reserve(16 + n);
}

void LoadingEntries::openSoilFiles(std::string_view headerPrefix) {
  const std::vector<std::string> names = soilFileNames();
  for (std::size_t r = 0; r < names.size(); ++r) {
    const Unit unit = openFile(names[r]);
    const int k = compoundOfHeader(names[r], unit, headerPrefix, static_cast<int>(r) + 1);
    files_.push_back({names[r], unit, {k}});
    skipHeader(unit);
  }
}

void LoadingEntries::openDraloFiles() {
  const std::string firstName = firstFileName();
  const Unit first = openFile(firstName);
  const int m = substanceCount(firstName, first);
  for (int f = 1; f <= m; ++f) {
    const std::string name = run_.identity().runId() + "_" + std::to_string(f) + ".e2k";
    const Unit unit = f == 1 ? first : openFile(name);
    const int k = compoundOfHeader(name, unit, kDraloSubstanceHeader, f);
    files_.push_back({name, unit, {k}});
    skipHeader(unit);
  }
}

void LoadingEntries::openBraxFile() {
  const std::string name = firstFileName();
  const Unit unit = openFile(name);
  const int m = substanceCount(name, unit);
  if (m > run_.compounds().numCompounds()) compoundMismatch(name);
  File file{name, unit, {}};
  for (int k = 1; k <= m; ++k) file.compounds.push_back(k);
  files_.push_back(file);
  skipHeader(unit);
}

Unit LoadingEntries::openFile(const std::string& name) {
  if (!platform::fileExists(run_.units().directory(), name)) {
    run_.messages().fatal(kRoutine, "Cannot find file " + name + " with status old");
  }
  const Unit unit = run_.freeFil();
  run_.units().open(unit, name);
  return unit;
}

int LoadingEntries::substanceCount(const std::string& name, Unit unit) {
  const auto line = findHeaderLine(run_.units().file(unit), kSubstanceCountHeader);
  std::optional<double> count;
  if (line) count = parseNumber(restAfter(*line, kSubstanceCountHeader));
  if (!count || *count < 1.0 || *count != static_cast<int>(*count)) {
    run_.messages().fatal(kRoutine, "Cannot find number of substances in " + name + " file");
  }
  return static_cast<int>(*count);
}

// The compound of a file: the one named in its header line, which must be
// a compound of the run; without the line, the compound of the file's place.
int LoadingEntries::compoundOfHeader(const std::string& name, Unit unit, std::string_view prefix,
                                     int fallback) {
  const auto line = findHeaderLine(run_.units().file(unit), prefix);
  const auto& compounds = run_.compounds().names();
  if (line) {
    const std::string compound = restAfter(*line, prefix);
    for (std::size_t k = 0; k < compounds.size(); ++k) {
      if (compounds[k] == compound) return static_cast<int>(k) + 1;
    }
    compoundMismatch(name);
  }
  if (fallback > static_cast<int>(compounds.size())) compoundMismatch(name);
  return fallback;
}

void LoadingEntries::compoundMismatch(const std::string& name) {
  run_.messages().fatal(kRoutine, "Names of compound in KORVAN input file",
                        "do not correspond with compound name in " + name + " file ");
}

void LoadingEntries::skipHeader(Unit unit) {
  TextFile& file = run_.units().file(unit);
  file.rewind();
  for (std::string line; file.readLine(line);) {
    if (!isHeaderLine(line)) {
      file.backspace();
      return;
    }
  }
}

void LoadingEntries::close() {
  for (const File& f : files_) {
    if (run_.units().isOpen(f.unit)) run_.units().close(f.unit);
  }
  files_.clear();
  first_ = true;
  vvrLiqDra_ = vvrLiqRnf_ = 0.0;
}

// ---------------------------------------------------------------------------
// Records

// Reads the leading time (when leading is 1), the date-time text and count
// numbers of the next non-blank line; false when they are not all there.
bool LoadingEntries::readValues(const File& file, int leading, int count,
                                std::vector<double>& values, std::string& dateText) {
  TextFile& text = run_.units().file(file.unit);
  do {
    if (!text.readLine(line_)) return false;
  } while (isBlank(line_));
  const std::string_view line = line_;
  std::size_t pos = 0;
  if (leading == 1 && !parseNumber(nextItem(line, pos))) return false;
  const std::string_view date = nextItem(line, pos);
  if (date.empty()) return false;
  values.clear();
  for (int c = 0; c < count; ++c) {
    const auto v = parseNumber(nextItem(line, pos));
    if (!v) return false;
    values.push_back(*v);
  }
  dateText.assign(date);
  return true;
}

void LoadingEntries::take(std::vector<Pair>& v, int k, double flux) {
  Pair& p = v[static_cast<std::size_t>(k - 1)];
  p.previous = first_ ? flux : p.current;
  p.current = flux;
}

void LoadingEntries::read() {
  if (files_.empty()) return;
  const bool orlan = run_.identity().isOrlan();
  std::string& date = date_;
  for (std::size_t f = 0; f < files_.size(); ++f) {
    const File& file = files_[f];
    const int k = file.compounds.empty() ? 0 : file.compounds.front();
    const bool firstFile = f == 0;
    switch (source_) {
      case LoadingSource::DriftOnly:
        return;
      case LoadingSource::SULKA: {
        if (!readValues(file, 0, 2, values_, date)) {
          run_.messages().fatal(kRoutine, "Fatal while reading s2k record ",
                                "The error occurred at Tim = " + padTo(date, 17));
        }
        take(flmDra_, k, values_[1] * kPerHourSulka);
        if (firstFile) vvrLiqDra_ = values_[0] * kPerHourSulka;
        break;
      }
      case LoadingSource::QUIB: {
        if (!readValues(file, 0, 5, values_, date)) {
          run_.messages().fatal(kRoutine, "Fatal while reading q2k record ",
                                "The error occurred at Tim = " + padTo(date, 17));
        }
        take(flmRnf_, k, values_[1] * kPerHourQuib);
        take(flmErs_, k, values_[3] * kPerHourQuib);
        if (firstFile) {
          vvrLiqRnf_ = (values_[0] + run_.hydrology().ratInfDir() * values_[4]) / 3.6e6;
        }
        break;
      }
      case LoadingSource::DRALO: {
        // Orlan: three pathways, the first of which is surface runoff;
        // other editions: one drain flux and its concentration.
        const int p = orlan ? 3 : 1;
        if (!readValues(file, 1, 2 * p, values_, date)) {
          run_.messages().fatal(kRoutine, "Fatal while reading e2k record ",
                                "The error occurred at Tim = " + padTo(date, 17));
        }
        double water = 0.0;
        double drain = 0.0;
        for (int q = 0; q < p; ++q) {
          const auto c = static_cast<std::size_t>(q);
          water += values_[c];
          const double flux = values_[c + static_cast<std::size_t>(p)] * values_[c] * kDraloFlux;
          if (orlan && q == 0) {
            take(flmRnf_, k, flux);
          } else {
            drain += flux;
          }
        }
        take(flmDra_, k, drain);
        if (firstFile) vvrLiqDra_ = water / kSecondsPerDay;
        break;
      }
      case LoadingSource::BRAX: {
        const int m = static_cast<int>(file.compounds.size());
        if (!readValues(file, 1, m + 3, values_, date)) {
          run_.messages().fatal(kRoutine, "Fatal while reading b2k record ",
                                "The error occurred at Tim = " + padTo(date, 17));
        }
        vvrLiqPnt_ = values_[0];
        // g.m-2.h-1 of paved area to g.s-1 for the whole paved area.
        const double area = run_.hydrology().areaPntInp();
        for (int s = 0; s < m; ++s) {
          take(flmDra_, file.compounds[static_cast<std::size_t>(s)],
               area * values_[static_cast<std::size_t>(s + 2)] / kSecondsPerHour);
        }
        break;
      }
    }
  }
  run_.hydrology().setLateralFluxes(vvrLiqDra_, vvrLiqRnf_);
  first_ = false;
}

}  // namespace korvan
