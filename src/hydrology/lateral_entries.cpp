#include "hydrology/lateral_entries.hpp"

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
#include "input/calendar.hpp"
#include "input/dates.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/table.hpp"

namespace korvan {

namespace {

// Field models write fluxes in mm.h-1 (1000 mm per m, 3600 s per h) or m.d-1.
constexpr double kMmPerHourPerMPerSecond = 3.6e6;

constexpr std::string_view kSoilTable = "Soil";
constexpr std::size_t kDateTextLength = 17;
// The ZANDO file starts with two header lines of its own making.
constexpr int kZandoHeaderLines = 2;

constexpr std::string_view kOpenSulka = "OpenSULKAFile";
constexpr std::string_view kOpenQuib = "OpenQUIBFile";
constexpr std::string_view kOpenDralo = "OpenDRALOFile";
constexpr std::string_view kOpenBrax = "OpenBRAXFile";
constexpr std::string_view kRdSulka = "RdSULKARecord";
constexpr std::string_view kRdQuib = "RdQUIBRecord";
constexpr std::string_view kRdDralo = "RdDRALORecord";
constexpr std::string_view kRdZando = "RdZANDORecord";
constexpr std::string_view kRdBrax = "RdBRAXRecord";

constexpr std::string_view kErrorAt = "The error occurred at Tim = ";

// Files saved by Windows editors may start with a byte-order mark; the
// field-model programs never write one, so it is dropped wherever it shows.
std::string_view withoutBom(std::string_view line) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (line.substr(0, kBom.size()) == kBom) line.remove_prefix(kBom.size());
  return line;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

bool isBlankLine(std::string_view line) {
  for (char c : withoutBom(line)) {
    if (!isSpace(c)) return false;
  }
  return true;
}

bool hasControlCharacter(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return true;
  }
  return false;
}

// A text of a damaged file shown in a message: control characters would
// garble the console and the error file, so they show as "?".
std::string printable(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = '?';
  }
  return out;
}

// Day number of a time stamp: days since 01-Jan-1900 with the hour and the
// minutes as fractions of a day.
double dayNumber(const calendar::DateRecord& date) {
  return calendar::timeOfDate(date) + date.hour / 24.0 + date.minute / 1440.0;
}

std::string fixed82(double value) {
  return formatLayout("(f8.2)", {value});
}

// The file name of a Soil row: the whole row, as a name may hold blanks.
// A name written in quotes loses them, as a list-directed read would do.
std::string fileNameOfRow(std::string_view row) {
  std::size_t start = 0;
  std::size_t end = row.size();
  while (start < end && isSpace(row[start])) ++start;
  while (end > start && isSpace(row[end - 1])) --end;
  std::string_view name = row.substr(start, end - start);
  if (name.size() >= 2 && (name.front() == '\'' || name.front() == '"') &&
      name.back() == name.front()) {
    name = name.substr(1, name.size() - 2);
  }
  return std::string(name);
}

}  // namespace

bool isHeaderLine(std::string_view line) {
  line = withoutBom(line);
  return !line.empty() && (line.front() == '*' || line.front() == '$' || line.front() == '#');
}

std::optional<std::string> findHeaderLine(TextFile& file, std::string_view prefix) {
  file.rewind();
  std::optional<std::string> found;
  for (std::string line; file.readLine(line);) {
    const std::string_view text = withoutBom(line);
    if (!isHeaderLine(text)) break;
    if (text.substr(0, prefix.size()) == prefix) {
      found = std::string(text);
      break;
    }
  }
  file.rewind();
  return found;
}

double LateralEntries::vvrLiqDraPartPrevious(int k) const {
  assert(k >= 1 && k <= 3);
  if (k < 1 || k > 3) return 0.0;
  return vvrLiqDraPart_[static_cast<std::size_t>(k - 1)].previous;
}

double LateralEntries::vvrLiqDraPart(int k) const {
  assert(k >= 1 && k <= 3);
  if (k < 1 || k > 3) return 0.0;
  return vvrLiqDraPart_[static_cast<std::size_t>(k - 1)].current;
}

// ---------------------------------------------------------------------------
// Opening

void LateralEntries::open() {
  close();
  source_ = run_.options().optLoa();
  switch (source_) {
    case LoadingSource::DriftOnly:
      break;
    case LoadingSource::DRALO:
      openDralo();
      break;
    case LoadingSource::SULKA:
      openSulka();
      break;
    case LoadingSource::QUIB:
      openQuib();
      break;
    case LoadingSource::BRAX:
      openBrax();
      break;
  }
}

void LateralEntries::openSulka() {
  mainName_ = soilFileName(kOpenSulka);
  mainUnit_ = openFile(kOpenSulka, mainName_);
  skipHeader(*mainUnit_);
}

void LateralEntries::openQuib() {
  mainName_ = soilFileName(kOpenQuib);
  mainUnit_ = openFile(kOpenQuib, mainName_);
  skipHeader(*mainUnit_);
  // A share of the infiltrating water reaches the water body directly and is
  // added to the runoff.
  if (!ratInfDir_) {
    ratInfDir_ = run_.numbers().rdFloat("RatInfDir", {.unit = "(-)", .min = 0.0, .max = 1.0});
  }
}

void LateralEntries::openDralo() {
  // The hydrology takes the water from the file of the first substance.
  mainName_ = run_.identity().runId() + "_1.e2k";
  mainUnit_ = openFile(kOpenDralo, mainName_);
  skipHeader(*mainUnit_);
  draloFluxCount_ = run_.identity().isOrlan() ? 3 : 1;
}

void LateralEntries::openBrax() {
  mainName_ = run_.identity().fileName(".b2k");
  mainUnit_ = openFile(kOpenBrax, mainName_);
  skipHeader(*mainUnit_);
  if (!filZando_) filZando_ = run_.records().readText("FilZANDO");
  zandoName_ = *filZando_ + ".z2k";
  zandoUnit_ = openFile(kOpenBrax, zandoName_);
  TextFile& zando = run_.units().file(*zandoUnit_);
  std::string line;
  for (int i = 0; i < kZandoHeaderLines; ++i) zando.readLine(line);
}

std::string LateralEntries::soilFileName(std::string_view routine) {
  if (soilFileName_) return *soilFileName_;
  TableRows rows(run_, kSoilTable);
  int row = 0;
  std::string name;
  if (rows.count() > 0) {
    // The row is taken from the line itself: a file name may be longer than
    // a word of the input file and may hold blanks.
    std::string line;
    row = 1;
    if (run_.units().file(Unit::Input).readLine(line)) {
      if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
      name = fileNameOfRow(line);
    }
  }
  if (name.empty() || hasControlCharacter(name)) {
    // An empty table names no row: the last row read is then 0.
    run_.messages().fatal(routine, "Fatal while reading table Soil substances",
                          "Last row read is " + formatLayout("(i2)", {std::int64_t{row}}));
  }
  soilFileName_ = name;
  return name;
}

Unit LateralEntries::openFile(std::string_view routine, const std::string& name) {
  if (!platform::fileExists(run_.units().directory(), name)) {
    run_.messages().fatal(routine, "Cannot find file " + name + " with status old");
  }
  const Unit unit = run_.freeFil();
  run_.units().open(unit, name);
  return unit;
}

void LateralEntries::skipHeader(Unit unit) {
  TextFile& file = run_.units().file(unit);
  for (std::string line; file.readLine(line);) {
    if (!isHeaderLine(line)) {
      file.backspace();
      return;
    }
  }
  // A file of header lines only: the first record read finds its end.
}

// ---------------------------------------------------------------------------
// Closing

void LateralEntries::close() {
  UnitTable& units = run_.units();
  for (std::optional<Unit>* unit : {&mainUnit_, &zandoUnit_}) {
    if (*unit && units.isOpen(**unit)) units.close(**unit);
    unit->reset();
  }
  mainName_.clear();
  zandoName_.clear();
  source_ = LoadingSource::DriftOnly;
  forgetValues();
}

void LateralEntries::forgetValues() {
  firstRecord_ = true;
  vvrLiqDra_ = {};
  vvrLiqRnf_ = {};
  qZando_ = {};
  flvPaved_ = {};
  vvrLiqDraPart_ = {};
  loadingColumns_ = {};
  loadingCount_ = 0;
  lastDateText_.clear();
  lastDayNumber_ = 0.0;
  lastTime_ = 0.0;
  lastZandoTime_ = 0.0;
}

// ---------------------------------------------------------------------------
// Reading records

void LateralEntries::readRecord() {
  if (!mainUnit_) return;
  const bool first = firstRecord_;
  switch (source_) {
    case LoadingSource::DriftOnly:
      return;
    case LoadingSource::DRALO:
      readDralo(first);
      break;
    case LoadingSource::SULKA:
      readSulka(first);
      break;
    case LoadingSource::QUIB:
      readQuib(first);
      break;
    case LoadingSource::BRAX:
      readBrax(first);
      readZando(first);
      break;
  }
  firstRecord_ = false;
}

// One record is one line: a line short of values is unreadable rather than
// continued on the next line, which would shift every later record. Blank
// lines carry no record and are passed over.
bool LateralEntries::readLine(Unit unit, bool leadingTime, int count, Record& record) {
  assert(count >= 0 && count <= static_cast<int>(record.values.size()));
  TextFile& file = run_.units().file(unit);
  std::string line;
  do {
    if (!file.readLine(line)) return false;
  } while (isBlankLine(line));
  FreeFormatReader reader{std::string(withoutBom(line))};
  if (leadingTime) {
    record.time = reader.nextReal();
    if (!record.time) return false;
  }
  const auto dateText = reader.nextItem();
  if (!dateText) return false;
  record.dateText = *dateText;
  for (int i = 0; i < count; ++i) {
    const auto value = reader.nextReal();
    if (!value) return false;
    record.values[static_cast<std::size_t>(i)] = *value;
  }
  return true;
}

// A time stamp that is no date stops the run.
double LateralEntries::dayNumberOf(const std::string& dateText) {
  return dayNumber(run_.dates().strToDate(dateText));
}

void LateralEntries::keepLoadingColumns(const Record& record, int from, int count) {
  for (int i = 0; i < count; ++i) {
    loadingColumns_[static_cast<std::size_t>(i)] =
        record.values[static_cast<std::size_t>(from + i)];
  }
  loadingCount_ = static_cast<std::size_t>(count);
}

// The time stamp of a record that could not be read, in 17 characters; at
// the end of the file that of the last record.
std::string LateralEntries::shownDateText(const Record& record) const {
  const std::string& text = record.dateText.empty() ? lastDateText_ : record.dateText;
  return padTo(printable(text), kDateTextLength);
}

void LateralEntries::readSulka(bool first) {
  Record r;
  if (!readLine(*mainUnit_, false, 2, r)) {
    run_.messages().fatal(kRdSulka, "Fatal while reading s2k record ",
                          std::string(kErrorAt) + shownDateText(r));
  }
  lastDayNumber_ = dayNumberOf(r.dateText);
  lastDateText_ = r.dateText;
  vvrLiqDra_.take(r.values[0] / kMmPerHourPerMPerSecond, first);
  keepLoadingColumns(r, 1, 1);
}

void LateralEntries::readQuib(bool first) {
  Record r;
  if (!readLine(*mainUnit_, false, 5, r)) {
    run_.messages().fatal(kRdQuib, "Fatal while reading q2k record ",
                          std::string(kErrorAt) + shownDateText(r));
  }
  lastDayNumber_ = dayNumberOf(r.dateText);
  lastDateText_ = r.dateText;
  const double runoff = r.values[0] / kMmPerHourPerMPerSecond;
  const double infiltration = r.values[4] / kMmPerHourPerMPerSecond;
  vvrLiqRnf_.take(runoff + ratInfDir_.value_or(0.0) * infiltration, first);
  keepLoadingColumns(r, 1, 3);
}

void LateralEntries::readDralo(bool first) {
  const int n = draloFluxCount_;
  Record r;
  if (!readLine(*mainUnit_, true, 2 * n, r)) {
    // The day number of the damaged record when its time stamp is legible,
    // else that of the last record read.
    double shown = lastDayNumber_;
    const calendar::ParsedDate parsed = calendar::parseDateText(r.dateText);
    if (!r.dateText.empty() && (parsed.status == calendar::DateStatus::Ok ||
                                parsed.status == calendar::DateStatus::IllegalDay)) {
      shown = dayNumber(parsed.date);
    }
    run_.messages().fatal(kRdDralo, std::string(kErrorAt) + fixed82(shown));
  }
  lastDayNumber_ = dayNumberOf(r.dateText);
  lastDateText_ = r.dateText;
  lastTime_ = *r.time;
  double sum = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double flux = k < n ? r.values[static_cast<std::size_t>(k)] / kSecondsPerDay : 0.0;
    vvrLiqDraPart_[static_cast<std::size_t>(k)].take(flux, first);
    sum += flux;
  }
  vvrLiqDra_.take(sum, first);
  keepLoadingColumns(r, n, n);
}

void LateralEntries::readBrax(bool first) {
  Record r;
  if (!readLine(*mainUnit_, true, 2, r)) {
    run_.messages().fatal(kRdBrax, "Fatal while reading b2k record ",
                          std::string(kErrorAt) + fixed82(r.time.value_or(lastTime_)));
  }
  lastDayNumber_ = dayNumberOf(r.dateText);
  lastDateText_ = r.dateText;
  lastTime_ = *r.time;
  // Already m.s-1 (see flvPaved()), so used as read.
  flvPaved_.take(r.values[0], first);
  keepLoadingColumns(r, 1, 1);
}

void LateralEntries::readZando(bool first) {
  Record r;
  if (!zandoUnit_ || !readLine(*zandoUnit_, true, 1, r)) {
    run_.messages().fatal(kRdZando, "Fatal while reading z2k record ",
                          std::string(kErrorAt) + fixed82(r.time.value_or(lastZandoTime_)));
  }
  dayNumberOf(r.dateText);  // a time stamp that is no date stops the run
  lastZandoTime_ = *r.time;
  qZando_.take(r.values[0], first);
}

}  // namespace korvan
