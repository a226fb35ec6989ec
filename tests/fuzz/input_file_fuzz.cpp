// Fuzz target: the readers of the input file (record lookup, texts, numbers
// with units and bounds, dates, options, tables and the work file) on an
// arbitrary input file. The first byte chooses the reader; the rest, followed
// by the records every run needs, is the input file RunId.kvn.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_run.hpp"
#include "hydrology/sediment_profile.hpp"
#include "hydrology/water_body.hpp"
#include "input/numbers.hpp"
#include "input/records.hpp"
#include "input/run_options.hpp"
#include "input/sim_clock.hpp"
#include "input/table.hpp"

namespace korvan::fuzz {
namespace {

constexpr const char* kTextKeywords[] = {"CallingProgram", "RealFormat", "MeteoStation",
                                         "WaterbodyID", "FilZANDO", "OptHyd"};

struct NumberRecord {
  const char* keyword;
  FloatInput input;
};
const NumberRecord kNumberRecords[] = {
    {"DepWat", {"(m)", 0.0, 10.0}},
    {"VelWatFlwBas", {"(m.d-1)", {}, {}}},
    {"TemWatIni", {"(C)", -20.0, 40.0}},
    {"LocLat", {"(Degrees)", -90.0, 90.0}},
    {"DelTimPrn", {"(d)", 1.0, {}}},
    {"CallingProgramVersion", {}},
    {"TimStart", {{}, {}, {}, true}},
    {"TimEnd", {{}, {}, {}, true}},
};

constexpr const char* kTables[] = {"compounds", "WaterBody", "SedimentProfile", "Soil",
                                   "OutputDistances", "Loadings", "FraPrtDauWat"};

void readTexts(Run& run) {
  for (const char* keyword : kTextKeywords) run.records().readText(keyword);
}

void readNumbers(Run& run) {
  for (const auto& record : kNumberRecords) run.numbers().rdFloat(record.keyword, record.input);
}

void readOptions(Run& run) {
  RunOptions& options = run.options();
  options.optInp();
  options.optTimStp();
  options.dateFormat();
  options.printCumulatives();
  options.optFloWat();
  options.optWaterSystemType();
  options.optLoa();
  options.optHyd();
  options.optTem();
  run.records().rdOption("OptMetInp", "Daily Hourly Monthly", Unit::Input, false);
}

void readClock(Run& run) {
  SimClock& clock = run.clock();
  clock.readSettings();
  clock.setTimeStep(kHour);
  for (int i = 0; i < 30 && clock.tim() < clock.timEnd(); ++i) {
    clock.advance();
    if (SimClock::timeReached(clock.tim(), clock.timPrn())) clock.setNextPrintTime();
  }
}

// Every table of the list read row by row: the words of each row, its
// numbers in free format through the work file, and a lookup in the
// numbers of its first two columns.
void readTables(Run& run) {
  for (const char* name : kTables) {
    TableRows rows(run, name, TableQuery{.mustExist = false});
    NumericTable table;
    if (rows.count() > 0) table.allocate(1, rows.count());
    int n = 0;
    while (rows.next()) {
      FreeFormatReader reader = run.records().remainderToWorkFile(0);
      const auto x = reader.nextReal();
      const auto y = reader.nextReal();
      if (x && y && n < table.rows()) {
        ++n;
        table.x(n) = *x;
        table.y(n, 1) = *y;
      }
    }
    if (n > 0) {
      lookupTable(run, table, table.x(1) + 0.5, SortOrder::Up);
      lookupTable(run, table, table.x(1) - 0.5, SortOrder::Down);
    }
  }
}

void readWaterBody(Run& run) { run.waterBody().getWaterBody(); }

void readSediment(Run& run) {
  run.waterBody().getWaterBody();
  run.sediment().getSedimentProfile();
}

using Reader = void (*)(Run&);
constexpr Reader kReaders[] = {readTexts,  readNumbers,   readOptions, readClock,
                               readTables, readWaterBody, readSediment};

}  // namespace
}  // namespace korvan::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvan::fuzz;
  const Input in = split(data, size);
  const Reader reader = kReaders[in.selector % std::size(kReaders)];
  FuzzRun run(std::string(in.rest) + requiredRecords());
  run.exercise(reader);
  return 0;
}
