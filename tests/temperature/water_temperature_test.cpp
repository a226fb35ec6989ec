#include "temperature/water_temperature.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/messages.hpp"
#include "driver/model_run.hpp"
#include "driver/modules.hpp"
#include "driver/run_driver.hpp"
#include "driver/run_modules.hpp"
#include "input/records.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;

// The modules of a run whose substance pass only reads the temperatures.
class TemperatureModules : public RunModules {
 public:
  using RunModules::RunModules;
  void substance(Task) override {}
};

void replaceRecord(std::string& input, const std::string& from, const std::string& to) {
  const auto at = input.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  input.replace(at, from.size(), to);
}

// The runnable input (two days of January 1980, hourly, a ditch of 0.3 m
// with constant flow over 0.05 m of sediment, TemWatIni 5 C) with records
// replaced: pairs of (from, to).
std::string input(const std::vector<std::pair<std::string, std::string>>& changes = {}) {
  std::string text = testing::runnableInput();
  for (const auto& [from, to] : changes) replaceRecord(text, from, to);
  return text;
}

// A whole run of the driver on the input, in-process.
struct TemRun {
  explicit TemRun(const std::string& text, bool weather = true) : t(text), modules(t.run()) {
    if (weather) testing::writeTestWeather(t.dir());
    t.setup();
  }
  void execute() { RunDriver(t.run(), modules).execute(); }
  std::vector<std::string> fatal() {
    return t.expectFatal([&] { execute(); });
  }
  WaterTemperature& tem() { return t.run().waterTemperature(); }
  TestRun t;
  TemperatureModules modules;
};

// The time column f9.3 and the date text of hour k of 1980.
std::string timeAndDate(int k) {
  char text[48];
  if (k % 24 == 0) {
    std::snprintf(text, sizeof text, "%9.3f %02d-Jan-1980      ", k / 24.0, 1 + k / 24);
  } else {
    std::snprintf(text, sizeof text, "%9.3f %02d-Jan-1980-%02dh00", k / 24.0, 1 + k / 24, k % 24);
  }
  return text;
}

std::string f12(double v) {
  char text[32];
  std::snprintf(text, sizeof text, " %12.4f", v);
  return text;
}

// The numbers of a record after the time and the date.
std::vector<double> values(const std::string& line) {
  std::vector<double> out;
  FreeFormatReader reader(line);
  reader.nextItem();
  reader.nextItem();
  while (const auto v = reader.nextReal()) out.push_back(*v);
  return out;
}

// A temperature file with the header lines and records k = 1..n of the
// temperature 280 + k (K).
std::string temFile(int n) {
  std::string text = std::string(kTemFileDashes) + "\n" + std::string(kTemFileNames) + "\n" +
                     std::string(kTemFileUnits) + "\n" + std::string(kTemFileDashes) + "\n";
  for (int k = 1; k <= n; ++k) {
    text += timeAndDate(k) + f12(280.0 + k);
    for (int j = 0; j < 10; ++j) text += f12(0.0);
    text += "\n";
  }
  return text;
}

// The OptTem record of the runnable input.
const std::string kOptTem = "OnLine OptTem";

// The value of the last data line of a variable in the output file.
std::optional<double> printedValue(const std::vector<std::string>& lines, const std::string& name) {
  std::optional<double> value;
  for (const auto& line : lines) {
    if (line.empty() || line[0] == '*' || line.find(" " + name + " ") == std::string::npos) {
      continue;
    }
    std::istringstream words(line);
    std::string word, last;
    while (words >> word) last = word;
    value = parseNumber(last);
  }
  return value;
}

// ---------------------------------------------------------------------------
// The temperature file

TEST(TemperatureFile, HeaderRecordsByHandAndTheHeatBalanceColumnByColumn) {
  TemRun r(input({{kOptTem, "Only OptTem"}}));
  r.execute();
  EXPECT_EQ(r.t.finish(), kExitNormal);
  const auto lines = r.t.dir().lines("t.tem");
  ASSERT_EQ(lines.size(), 4u + 48);
  const std::string dashes = "*" + std::string(80, '-');
  EXPECT_EQ(lines[0], dashes);
  EXPECT_EQ(lines[1],
            "*    Time              Date       TemWat  AvgDepWat  FleRadShoDow  FleRadShoUpw   "
            "FleRadLonUpw  VapHeaFlxAirWat  HeaFlxPrc  FleRadShoDowSed  FleRadLonDow  "
            "SensHeaFlxAirWat  SensHeaFlxWatSed");
  EXPECT_EQ(lines[2],
            "*                                    (K)        (m)       (W.m-2)       (W.m-2)   "
            "(W.m-2)          (W.m-2)    (W.m-2)          (W.m-2)  (kg.s-1.m-2)           "
            "(W.m-2)           (W.m-2)");
  EXPECT_EQ(lines[3], dashes);
  // The first hour: water at TemWatIni 5 C = 278.15 K under 0.3 m, midnight
  // (no radiation, albedo 1), no rain. The sediment below 0.05 m of layers
  // gives 0.57 x (290.15 - 278.15) / 0.025 = 273.6 W.m-2.
  const auto v1 = values(lines[4]);
  ASSERT_EQ(v1.size(), 11u);
  EXPECT_EQ(lines[4], timeAndDate(1) + f12(v1[0]) + "       0.3000" + "       0.0000" +
                          "       0.0000" + "       0.0000" + f12(v1[5]) + f12(v1[6]) + f12(v1[7]) +
                          f12(v1[8]) + "     273.6000" + "       0.0000");
  // Each record k holds the temperature after step k and the fluxes of that
  // step: T_k = T_k-1 + 3600 / (4.19e6 x h) x (FleRadShoDow - Sed - Upw +
  // LonDow - LonUpw - Sens - Vap + SedFlux + Prc). The file's four decimals
  // leave at most some 1e-4 K.
  double previous = 278.15;
  for (int k = 1; k <= 48; ++k) {
    const std::string& line = lines[3 + static_cast<std::size_t>(k)];
    EXPECT_EQ(line.substr(0, 27), timeAndDate(k)) << k;
    const auto v = values(line);
    ASSERT_EQ(v.size(), 11u) << k;
    const double net = v[2] - v[3] - v[4] + v[5] - v[6] - v[7] - v[8] + v[9] + v[10];
    EXPECT_NEAR(v[0], previous + 3600.0 / (4.19e6 * v[1]) * net, 2e-4) << k;
    EXPECT_EQ(v[1], 0.3) << k;
    EXPECT_EQ(v[10], 0.0) << k;  // dry weather
    previous = v[0];
  }
}

TEST(TemperatureFile, MonthlyInputFollowsTheAirWithTheShortHeader) {
  // Monthly weather: TemWat = TemAirRef = 4.5 C = 277.65 K in every record;
  // TemWatIni is neither needed nor read.
  TemRun r(input({{kOptTem, "Only OptTem"},
                  {"Hourly OptMetInp", "Monthly OptMetInp"},
                  {"5 TemWatIni (C)\n", ""}}),
           false);
  r.t.dir().write("Weather.met", "* Monthly weather\nWeather 1980 1 4.5\n");
  r.execute();
  EXPECT_EQ(r.t.finish(), kExitNormal);
  const auto lines = r.t.dir().lines("t.tem");
  ASSERT_EQ(lines.size(), 4u + 48);
  EXPECT_EQ(lines[0], "*" + std::string(80, '-'));
  EXPECT_EQ(lines[1], "*    Time              Date       TemWat");
  EXPECT_EQ(lines[2], "*                                    (K)");
  EXPECT_EQ(lines[3], "*" + std::string(80, '-'));
  for (int k = 1; k <= 48; ++k) {
    EXPECT_EQ(lines[3 + static_cast<std::size_t>(k)], timeAndDate(k) + "     277.6500") << k;
  }
  EXPECT_EQ(r.t.dir().read("t.log").find("TemWatIni"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Reading back

TEST(TemperatureReadBack, NothingIsPrintedWhenTheSubstancePassFollows) {
  TemRun r(input({{"No print_TemWat\n", "Yes print_TemWat\n"}}));
  r.execute();
  EXPECT_EQ(r.t.finish(), kExitNormal);
  EXPECT_EQ(r.t.dir().read("t.out").find("TemWat"), std::string::npos);
}

TEST(TemperatureReadBack, StationaryKeepsTheInitialTemperatureWithoutAFile) {
  TemRun r(input({{kOptTem, "Stationary OptTem"}}));
  r.execute();
  EXPECT_EQ(r.t.finish(), kExitNormal);
  EXPECT_DOUBLE_EQ(r.tem().temWat(), 278.15);
  EXPECT_FALSE(r.t.dir().exists("t.tem"));
}

// ---------------------------------------------------------------------------
// Print-time output

TEST(TemperaturePrint, OnlyPrintsTheWaterTemperatureAndTheEnergyOfTheEightFluxes) {
  const char* names[] = {"TemWat",          "FleRadShoUpw",     "FleRadShoDowSed",
                         "FleRadLonDow",    "FleRadLonUpw",     "SensHeaFlxAirWat",
                         "VapHeaFlxAirWat", "SensHeaFlxWatSed", "HeaFlxPrc"};
  std::vector<std::pair<std::string, std::string>> changes = {
      {kOptTem, "Only OptTem"}, {"No PrintCumulatives", "Yes PrintCumulatives"}};
  for (const char* name : names) {
    changes.emplace_back(std::string("No print_") + name + "\n",
                         std::string("Yes print_") + name + "\n");
  }
  TemRun r(input(changes));
  r.execute();
  EXPECT_EQ(r.t.finish(), kExitNormal);
  const std::string out = r.t.dir().read("t.out");
  for (const char* name : names) {
    const std::string unit = std::string(name) == "TemWat" ? "(C)" : "(J.m-2)";
    EXPECT_NE(out.find("* Unit for " + std::string(name) + " is " + unit), std::string::npos)
        << name;
  }
  // The water temperature in C with four significant digits (g12.4).
  const auto lines = r.t.dir().lines("t.out");
  const auto temWat = printedValue(lines, "TemWat");
  ASSERT_TRUE(temWat.has_value());
  EXPECT_NEAR(*temWat, r.tem().temWat() - 273.15, 5e-3);
  // The integral of the sediment flux, W.m-2.d x 86400 = J.m-2, over two
  // days of 48 h x 3600 s x some 150 to 280 W.m-2.
  const double joules = r.tem().cumSensHeaFlxWatSed() * 86400.0;
  EXPECT_GT(joules, 48 * 3600 * 150.0);
  EXPECT_LT(joules, 48 * 3600 * 280.0);
  const auto sediment = printedValue(lines, "SensHeaFlxWatSed");
  ASSERT_TRUE(sediment.has_value());
  EXPECT_NEAR(*sediment, joules, joules * 1e-3);
  // Without PrintCumulatives a flux is printed as its mean rate.
  changes.erase(changes.begin() + 1);
  TemRun rates(input(changes));
  rates.execute();
  EXPECT_EQ(rates.t.finish(), kExitNormal);
  EXPECT_NE(rates.t.dir().read("t.out").find("* Unit for HeaFlxPrc is (W.m-2)"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Warnings and fatal errors

TEST(TemperatureWarning, InitialTemperatureAboveFortyIsUsedWithAWarning) {
  TemRun r(input({{"5 TemWatIni (C)", "41 TemWatIni (C)"}}));
  EXPECT_DOUBLE_EQ(r.tem().temWatIni(), 41.0 + 273.15);
  EXPECT_EQ(r.t.run().messages().record().lines,
            (std::array<std::string, 3>{"Value of TemWatIni above the usual maximum of 40.000",
                                        "Input was: 41.000", "The run goes on with this value"}));
}

TEST(TemperatureFatal, ParametersOutOfBounds) {
  // The first line of the message and the third, the name.
  const struct {
    const char* from;
    const char* to;
    const char* line1;
    const char* name;
  } cases[] = {
      {"5 TemWatIni (C)", "-6 TemWatIni (C)", "FATAL: value < minimum", "TemWatIni"},
      {"60 FacCldC1 (W.m-2)", "-1 FacCldC1 (W.m-2)", "FATAL: value < minimum", "FacCldC1"},
      {"0 FacCldC2 (W.m-2)", "201 FacCldC2 (W.m-2)", "FATAL: value > maximum", "FacCldC2"},
  };
  for (const auto& c : cases) {
    TemRun r(input({{c.from, c.to}}));
    const auto err = r.fatal();
    ASSERT_EQ(err.size(), 3u) << c.to;
    EXPECT_EQ(err[0], c.line1) << c.to;
    EXPECT_EQ(err[2], std::string("Variable name is: ") + c.name);
  }
}

TEST(TemperatureFatal, TemperatureFileMissingEmptyUnreadableOrShort) {
  const std::string reading = "error reading water temperature on date ";
  const struct {
    std::optional<std::string> file;
    std::vector<std::string> err;
  } cases[] = {
      {std::nullopt, {"No records found in file t.tem", "Cannot find file t.tem with status old"}},
      {"", {"No records found in file t.tem"}},
      {temFile(0) + "    0.042\n", {reading}},
      {temFile(2) + "    0.125 01-Jan-1980-03h00   warm\n",
       {"error reading TemWatRef on date 01-Jan-1980-03h00"}},
      {temFile(3), {reading, "The file t.tem ends before the simulation period"}},
  };
  for (const auto& c : cases) {
    TemRun r(input({{kOptTem, "OffLine OptTem"}}));
    if (c.file) r.t.dir().write("t.tem", *c.file);
    EXPECT_EQ(r.fatal(), c.err) << c.file.value_or("no file");
  }
}

TEST(TemperatureFatal, WorkFileCannotBeOpened) {
  // A folder of that name, not empty, cannot be replaced by a file.
  TemRun r(input({{kOptTem, "Only OptTem"}}));
  std::filesystem::create_directories(r.t.dir().path() / std::string(kTemWorkFile) / "inside");
  EXPECT_EQ(r.fatal(),
            (std::vector<std::string>{"Cannot open file WatTem.tmp with status unknown"}));
}

}  // namespace
}  // namespace korvan
