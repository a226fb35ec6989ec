#include "substance/loadings.hpp"

#include <cmath>
#include <cstdint>

#include "core/compare.hpp"
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
#include "input/calendar.hpp"
#include "input/dates.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "input/table.hpp"
#include "substance/compounds.hpp"

namespace korvan {

namespace {

constexpr std::string_view kGetEvtTable = "GetEvtTable";
constexpr std::string_view kLoadingStep = "Loadings";
constexpr std::string_view kEventFile = "evtfil.tmp";
constexpr std::string_view kNumApp = "*  NumApp";

constexpr std::string_view kFormatDrift =
    "Spray  drift loading chosen - format must be: Date Loading Dosage Startdis Enddis";
constexpr std::string_view kFormatSulka =
    "Spray  drift loading chosen - format must be: Date Loading Dosage Start distance End "
    "distance";
constexpr std::string_view kEventTableHeading =
    "* Appl.No  Date/Hour              Mass (g ai.ha-1)    Areic mean deposition (mg.m-2)";
// A row of the event table in the log, under the heading's columns.
constexpr std::string_view kEventTableRow = "(i9,2x,a17,f22.3,f34.6)";
// evtfil.tmp: a heading line, then one event per line.
constexpr std::string_view kEventFileHeading = "(a17,1x,a16,2(1x,a12),1x,a6,2(1x,a16))";
constexpr std::string_view kEventFileRow = "(a17,1x,es16.6,2(1x,f12.3),1x,i6,2(1x,es16.6))";
constexpr std::string_view kEventEcho =
    "('* Loading on the waterbody at ',a17,'; loading =',f12.5,' mg.m-2')";

// An event occurs in a step when its time lies this close (d) to the step's.
constexpr double kEventWindow = 1e-4;

std::string number(double v) {
  return std::string(trim(formatLayout("(g12.5)", {v})));
}

std::string eventNumber(int row) {
  return "Event number (row) = " + std::to_string(row);
}

std::string lastRow(int row) {
  return "Last row read is " + std::to_string(row);
}

std::vector<std::string> wordsOf(const WordList& words) {
  std::vector<std::string> out;
  for (int i = 1; i <= words.count(); ++i) out.push_back(words.word(i));
  return out;
}

}  // namespace

Loadings::Loadings(Run& run) : run_(run), entries_(run) {}

// ---------------------------------------------------------------------------
// Event table

void Loadings::getEvtTable() {
  if (tableRead_) return;
  events_.clear();
  if (run_.options().optLoa() == LoadingSource::DriftOnly) {
    readTable();
  } else {
    readHeaderEvents();
  }
  readHorizontalProfiles();
  writeEventFile();
  tableRead_ = true;
}

void Loadings::readTable() {
  // Without the table a DriftOnly run has no drift events.
  TableRows rows(run_, "Loadings", {.mustExist = false});
  while (rows.next()) {
    addEvent(wordsOf(rows.words()), rows.rowNumber(), "", std::string(kFormatDrift),
             "Fatal while reading table Loadings");
  }
}

// The events of a field-model run: the header line "*  NumApp" with the
// number of events, then as many header lines, each "*" and the words of a
// row of the table Loadings. A file without the line announces no events.
void Loadings::readHeaderEvents() {
  const LoadingSource source = run_.options().optLoa();
  const std::string name = entries_.firstFileName();
  const char* type = source == LoadingSource::SULKA   ? "s2k"
                     : source == LoadingSource::QUIB  ? "q2k"
                     : source == LoadingSource::DRALO ? "e2k"
                                                      : "b2k";
  const std::string suffix = std::string(" (in header of *.") + type + " file)";
  const std::string format(source == LoadingSource::SULKA ? kFormatSulka : kFormatDrift);
  const std::string readError = "Fatal while reading header of " + name;

  if (!platform::fileExists(run_.units().directory(), name)) {
    run_.messages().fatal(kGetEvtTable, "Cannot find file " + name + " with status old");
  }
  const Unit unit = run_.freeFil();
  TextFile& file = run_.units().open(unit, name);
  const auto numAppLine = findHeaderLine(file, kNumApp);
  if (!numAppLine) {
    run_.units().close(unit);
    return;
  }
  // "*  NumApp 2", also with ":" or "=" after the word.
  std::string_view rest = trim(std::string_view(*numAppLine).substr(kNumApp.size()));
  if (!rest.empty() && (rest.front() == ':' || rest.front() == '=')) rest.remove_prefix(1);
  const auto count = parseNumber(trim(rest));
  if (!count || *count < 0.0 || std::floor(*count) != *count) {
    run_.messages().fatal(kGetEvtTable, format + suffix, readError, lastRow(0));
  }
  std::string line;
  while (file.readLine(line) && line.substr(0, kNumApp.size()) != kNumApp) {
  }
  for (int row = 1; row <= static_cast<int>(*count); ++row) {
    std::vector<std::string> words;
    if (file.readLine(line) && isHeaderLine(line)) {
      run_.records().splitWords(std::string_view(line).substr(1));
      words = wordsOf(run_.records().words());
    }
    addEvent(words, row, suffix, format, readError);
  }
  run_.units().close(unit);
}

void Loadings::addEvent(const std::vector<std::string>& words, int row, const std::string& suffix,
                        const std::string& formatMessage, const std::string& readError) {
  Messages& msg = run_.messages();
  const EventRow r = parseEventRow(words);
  if (r.status == EventRowStatus::Unreadable) {
    msg.fatal(kGetEvtTable, formatMessage + suffix, readError, lastRow(row));
  }
  if (r.status == EventRowStatus::IllegalEvent) {
    msg.fatal(kGetEvtTable, "Illegal event found in row " + std::to_string(row) + suffix);
  }
  LoadingEvent e = r.event;
  e.time = run_.dates().rdDate(r.dateText, "Loadings");
  const SimClock& clock = run_.clock();
  if (cmp::lt(e.time, clock.timStart()) || cmp::gt(e.time, clock.timEnd())) {
    msg.fatal(kGetEvtTable, "Date of loading is not in simulation period" + suffix, lastRow(row));
  }
  // Events at the same time are allowed: a profile may go with a drift event.
  if (!events_.empty() && cmp::lt(e.time, events_.back().time)) {
    msg.fatal(kGetEvtTable, "Loading dates must be sequential" + suffix, lastRow(row));
  }
  events_.push_back(e);
}

void Loadings::readHorizontalProfiles() {
  profiles_.clear();
  TableRows rows(run_, "HorizontalProfiles", {.mustExist = false});
  while (rows.next()) {
    const int count = rows.words().count();
    if (count == 0) {
      run_.messages().fatal(kGetEvtTable, "Fatal while reading table HorizontalProfiles",
                            lastRow(rows.rowNumber()));
    }
    if (count > 1) {
      run_.messages().fatal(kGetEvtTable,
                            "Number of words in HorizontalProfiles table must be one");
    }
    profiles_.push_back(rows.words().word(1));
  }
}

// evtfil.tmp holds the events as read: date and hour, loading (mg.m-2),
// start and end of the stretch (m), option, dosage (g ai.ha-1) and factor.
void Loadings::writeEventFile() {
  run_.deleteFile(kEventFile);
  const Unit unit = run_.freeFil();
  TextFile& file = run_.units().create(unit, kEventFile);
  const std::string dateHeading = padTo("* Date/Hour", 17);
  file.writeLine(formatLayout(
      kEventFileHeading,
      {std::string_view(dateHeading), std::string_view("Loading(mg.m-2)"),
       std::string_view("StartDis(m)"), std::string_view("EndDis(m)"), std::string_view("Option"),
       std::string_view("Dosage(g.ha-1)"), std::string_view("Factor(-)")}));
  for (const LoadingEvent& e : events_) {
    const std::string date = calendar::dateText(e.time);
    file.writeLine(formatLayout(kEventFileRow, {std::string_view(date), e.loading, e.start, e.end,
                                                std::int64_t{e.option}, e.dosage, e.factor}));
  }
  run_.units().close(unit);
}

// A3 checks 1 to 5, per event row.
void Loadings::checkEvents() {
  Messages& msg = run_.messages();
  const WaterBody& body = run_.waterBody();
  const double length = body.xBou(body.numSeg());
  for (std::size_t r = 0; r < events_.size(); ++r) {
    const LoadingEvent& e = events_[r];
    const std::string row = eventNumber(static_cast<int>(r) + 1);
    if (e.loading < 0.0) msg.fatal(kGetEvtTable, "Loading in table Events < 0", row);
    if (e.start < 0.0) {
      msg.fatal(kGetEvtTable, "Distance to stretch of loadings in table Events < 0", row);
    }
    if (e.end < e.start) {
      msg.fatal(kGetEvtTable,
                "Distance to end of stretch of loadings in table Events < " + number(e.start), row);
    }
    // The end may lie at the downstream end itself.
    if (cmp::gt(e.end, length)) {
      msg.fatal(kGetEvtTable,
                "End of stretch of loadings in table Events " + number(e.end) +
                    " m  > length of waterbody",
                row);
    }
    if (e.option < 1 || e.option > 5) msg.fatal(kGetEvtTable, "Event option must be 1 - 5", row);
  }
}

void Loadings::logEventTable() {
  run_.log().writeLine("Event table :");
  writeEventTable(run_.log());
}

void Loadings::writeEventTable(TextFile& file) const {
  // Once initialised the loadings are held in g.m-2.
  const double toMgPerM2 = initialised_ ? 1000.0 : 1.0;
  file.writeLine(kEventTableHeading);
  for (std::size_t r = 0; r < events_.size(); ++r) {
    const LoadingEvent& e = events_[r];
    const std::string date = calendar::dateText(e.time);
    file.writeLine(formatLayout(kEventTableRow, {static_cast<std::int64_t>(r + 1),
                                                 std::string_view(date), e.dosage,
                                                 e.loading * toMgPerM2}));
  }
}

// ---------------------------------------------------------------------------
// Loading step

void Loadings::initialise() {
  if (initialised_) return;
  cumLoaPerMetre_ = cumLoaDistributed_ = cumAreicLoa_ = 0.0;
  loading_ = loadingSolve_ = deposition_ = profile_ = false;
  getEvtTable();
  checkEvents();
  logEventTable();
  for (LoadingEvent& e : events_) e.loading *= 0.001;  // mg.m-2 to g.m-2
  const auto n = static_cast<std::size_t>(run_.waterBody().numSeg());
  loaSeg_.assign(n + 1, 0.0);
  widths_.assign(n + 1, 0.0);
  xBou_.assign(n + 1, 0.0);
  for (std::size_t i = 0; i <= n; ++i) xBou_[i] = run_.waterBody().xBou(static_cast<int>(i));
  ratAtmDep_.assign(static_cast<std::size_t>(run_.compounds().numCompounds()), 0.0);
  timLastPrint_ = run_.clock().timStart();
  initialised_ = true;
}

void Loadings::step() {
  if (!initialised_) initialise();
  // The loading flag tells whether an event started in this step.
  loading_ = false;
  const SimClock& clock = run_.clock();
  const double t = clock.subTime();
  const double timPrn = clock.timPrn();
  for (std::size_t r = 0; r < events_.size(); ++r) {
    const LoadingEvent& e = events_[r];
    bool occurs = false;
    if (e.option == 4) {
      // Profiles are written at print times: the event counts in the step
      // that reaches the print time at the event, so that they are written
      // once rather than at every step of the print interval before it.
      occurs = std::fabs(timPrn - e.time) < kEventWindow && std::fabs(t - timPrn) < kEventWindow;
    } else {
      occurs = std::fabs(t - e.time) < kEventWindow;
    }
    if (occurs) startEvent(static_cast<int>(r) + 1);
  }
  // Deposition acts for a day after the application: the steps that end
  // up to one day after it.
  if (cmp::ge(t - timLastApp_ - 1.0 + 1.0 / 24.0, 1e-4)) deposition_ = false;
}

void Loadings::startEvent(int row) {
  const LoadingEvent& e = events_[static_cast<std::size_t>(row - 1)];
  const double t = run_.clock().subTime();
  const bool spray = e.option != 4;
  if (spray) {
    loading_ = loadingSolve_ = true;
    ++numApp_;
  }
  current_ = row;
  if (spray && run_.identity().callingProgram() == "ZR") {
    if (cmp::lt(t - timLastApp_ + 1e-6, 1.0)) {
      run_.messages().fatal(kLoadingStep, "Time interval between applications < 24 h",
                            eventNumber(row));
    }
    deposition_ = true;
    timLastApp_ = t;
    dosage_ = e.dosage * 0.1;  // g ai.ha-1 to mg.m-2
    factor_ = e.factor;
  }
  if (spray) {
    const LoadedSegments s = segmentsOf(e);
    const double w = meanSurfaceWidth(widths_, s);
    cumLoaPerMetre_ += e.loading * w;
    cumAreicLoa_ += e.loading * 1000.0;
    start_ = e.start;
    end_ = e.end;
    amaDrf_ += e.loading;
    amaApp_ += e.dosage * 1e-4;  // g ai.ha-1 to g.m-2
  } else {
    profile_ = true;
  }
  run_.log().writeLine(
      formatLayout(kEventEcho, {std::string_view(calendar::dateText(e.time)), e.loading * 1000.0}));
}

// The loaded segments, with the surface widths of the current depths.
LoadedSegments Loadings::segmentsOf(const LoadingEvent& e) {
  const WaterBody& body = run_.waterBody();
  const Hydrology& hyd = run_.hydrology();
  const int n = body.numSeg();
  for (int i = 1; i <= n; ++i) {
    widths_[static_cast<std::size_t>(i)] =
        body.widWatSys() + 2.0 * body.sloSidWatSys() * hyd.depWat(i);
  }
  return loadedSegments(xBou_, e.start, e.end);
}

void Loadings::distribute() {
  if (!initialised_ || current_ == 0 || !loading_) return;
  const double increase = cumLoaPerMetre_ - cumLoaDistributed_;
  for (double& v : loaSeg_) v = 0.0;
  LoadingEvent stretch;
  stretch.start = start_;
  stretch.end = end_;
  const LoadedSegments s = segmentsOf(stretch);
  for (int i = s.first; i <= s.last; ++i) loaSeg_[static_cast<std::size_t>(i)] = increase;
  cumLoaDistributed_ = cumLoaPerMetre_;
}

void Loadings::clearSegmentLoadings() {
  for (double& v : loaSeg_) v = 0.0;
}

double Loadings::loaWatLay(int i, int k) const {
  if (k != 1 || i < 1 || static_cast<std::size_t>(i) >= loaSeg_.size()) return 0.0;
  return loaSeg_[static_cast<std::size_t>(i)];
}

// ---------------------------------------------------------------------------
// Atmospheric deposition

void Loadings::prepareDeposition() {
  if (depositionPrepared_) return;
  const WaterBody& body = run_.waterBody();
  // From the crop edge to the middle of the water body at the top of the banks.
  xDeposition_ = run_.hydrology().xCrpWatSysTop() +
                 0.5 * (body.widWatSys() + 2.0 * body.sloSidWatSys() * body.depWatSysBot());
  Compounds& c = run_.compounds();
  classes_.clear();
  for (int k = 1; k <= c.numCompounds(); ++k) {
    classes_.push_back(depositionClass(preVap20(c.preVapRef(k), c.molEntVap(k), c.temRefVap(k))));
  }
  if (!classes_.empty() && classes_.front() == DepositionClass::Volatile) {
    fraAtmDepCum24h_ =
        run_.numbers().rdFloat("FraAtmDepCum24h", {.unit = "(-)", .min = 0.0, .max = 1.0});
  }
  depositionPrepared_ = true;
}

void Loadings::applyAtmosphericDeposition() {
  if (!initialised_ || !deposition_) return;
  prepareDeposition();
  for (std::size_t k = 0; k < ratAtmDep_.size(); ++k) {
    ratAtmDep_[k] =
        0.001 * depositionRate(classes_[k], dosage_, factor_, xDeposition_, fraAtmDepCum24h_);
  }
  if (!ratAtmDep_.empty())
    amaAtmDep_ += ratAtmDep_.front() * run_.clock().delTim() * kSecondsPerDay;
}

double Loadings::ratAtmDep(int i, int k) const {
  if (!deposition_ || i < 1 || k < 1 || static_cast<std::size_t>(k) > ratAtmDep_.size()) {
    return 0.0;
  }
  return ratAtmDep_[static_cast<std::size_t>(k - 1)];
}

// ---------------------------------------------------------------------------
// Printing

void Loadings::printAmount(double t, const char* name, double cumulative, Printed& p) {
  if (p.sw.known && !p.sw.yes) return;
  const double interval = t - timLastPrint_;
  const double rate = interval > 0.0 ? (cumulative - p.atLastPrint) / interval : 0.0;
  const double value = run_.options().printCumulatives() ? cumulative : rate;
  run_.outputFile().printScalar(t, name, value, p.sw, "(g.m-2.d-1)", "(g.m-2)");
  p.atLastPrint = cumulative;
}

void Loadings::print(double t) {
  printAmount(t, "AmaLoaWatLay", amaDrf_ + amaAtmDep_, printLoa_);
  printAmount(t, "AmaLoaDrfWatLay", amaDrf_, printDrf_);
  printAmount(t, "AmaLoaAtmDepWatLay", amaAtmDep_, printAtmDep_);
  printAmount(t, "AmaAppSol", amaApp_, printApp_);
  timLastPrint_ = t;
  // Internal fluxes per second, printed per hour.
  OutputFile& out = run_.outputFile();
  const LoadingEntries& le = entries_;
  const struct {
    const char* name;
    PrintSwitch& sw;
    double (LoadingEntries::*flux)(int, int) const;
  } fluxes[] = {{"FlmDra", printFlmDra_, &LoadingEntries::flmDra},
                {"FlmRnf", printFlmRnf_, &LoadingEntries::flmRnf},
                {"FlmErs", printFlmErs_, &LoadingEntries::flmErs}};
  for (const auto& f : fluxes) {
    if (f.sw.known && !f.sw.yes) continue;
    out.printSegmentsCompounds(
        t, f.name, [&](int c, int i) { return (le.*(f.flux))(i, c + 1) * kSecondsPerHour; }, f.sw,
        "(g.m-2.hr-1)", "(g.m-2.hr-1)", true);
  }
}

}  // namespace korvan
