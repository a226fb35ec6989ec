#include "support/test_run.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/messages.hpp"

namespace korvan::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "korvan";
  std::replace(name.begin(), name.end(), '/', '_');
  path_ = fs::temp_directory_path() /
          ("korvan_" + name + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream out(path_ / name, std::ios::binary);
  out << content;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> TempDir::lines(const std::string& name) const {
  std::vector<std::string> out;
  std::istringstream in(read(name));
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool TempDir::exists(const std::string& name) const { return fs::exists(path_ / name); }

std::vector<std::string> TempDir::files() const {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(path_)) {
    out.push_back(entry.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Variables that a whole run may print; the runnable input switches all off.
constexpr const char* kPrintedVariables =
    "TemAirRef FleRadShoDow FraHumAirRef FraCldCov VelWndRef PreVapAir FlvLiqPrc FlvLiqEvp QBou "
    "DepWat VelWatFlw VvrLiqDra VvrLiqRnf VolErrWatLay DepWatRepCha FlwWatSpg CofDisPhs "
    // Substance pass.
    "AmaLoaWatLay AmaLoaDrfWatLay AmaLoaAtmDepWatLay AmaAppSol FlmDra FlmRnf FlmErs ConSysWatLay "
    "ConLiqWatLay ConLiqWatZRAvg ConLiqWatLayCur CntSorMph CntSorSusSol ConSysSed ConLiqSed "
    "CntSorSed CntSedTgt ConLiqSedTgt CntSorSedTgt AmaWatLay AmaLiqWatLay AmaSorSusSol AmaSorMph "
    "AmaSed AmaLiqSed AmaSorSed AmaTraWatLay AmaVolWatLay AmaForWatLay AmaSedInWatLay "
    "AmaSedOutWatLay AmaDwnWatLay AmaUpsWatLay AmaDrfWatLay AmaAtmDepWatLay AmaDraWatLay "
    "AmaRnoWatLay AmaErrWatLay AmaTraSed AmaForSed AmaWatLayInSed AmaWatLayOutSed AmaDwnSed "
    "AmaErsSed AmaErrSed";

std::string minimalInput(const std::string& extra) {
  return "MERIXKORVAN CallingProgram\n"
         "1.0 CallingProgramVersion\n"
         "01-Jan-1980 TimStart\n"
         "31-Dec-1980 TimEnd\n"
         "Day OptDelTimPrn\n"
         "Hourly OptInp\n"
         "No OptDelOutFiles\n" +
         extra;
}

std::string runnableInput(const std::string& extra) {
  std::string input = minimalInput(
      "OnLine OptHyd\n"
      "OnLine OptTem\n"
      "g12.4 RealFormat\n"
      "DaysFromSta DateFormat\n"
      "No PrintCumulatives\n"
      "table compounds\n"
      "CMP\n"
      "end_table\n"
      "table WaterBody\n"
      "Len NumSeg WidWatSys SloSidWatSys DepWatDefPer\n"
      "(m) (-) (m) (-) (m)\n"
      "100 10 1.0 0.0 0.3\n"
      "end_table\n"
      "Ditch WaterbodyID\n"
      "All OptOutputDistances\n"
      "table SedimentProfile\n"
      "ThiHor NumLay\n"
      "(m)\n"
      "0.05 10\n"
      "end_table\n"
      "All OutputDepths\n"
      "Calculate OptSedProperties\n"
      "Constant OptFloWat\n"
      "DriftOnly OptLoa\n"
      "Constant OptWaterSystemType\n"
      "864 VelWatFlwBas (m.d-1)\n"
      "0.3 DepWat (m)\n"
      "Weather MeteoStation\n"
      "Hourly OptMetInp\n"
      "1 TimZone (-)\n"
      "52 LocLat (Degrees)\n"
      "-5 LocLong (Degrees)\n"
      "2 MetLvlRef (m)\n"
      "10 MetLvlObs (m)\n"
      "5 TemWatIni (C)\n"
      "60 FacCldC1 (W.m-2)\n"
      "0 FacCldC2 (W.m-2)\n"
      "No print_TemWat\n"
      "No print_FleRadShoUpw\n"
      "No print_FleRadShoDowSed\n"
      "No print_FleRadLonDow\n"
      "No print_FleRadLonUpw\n"
      "No print_SensHeaFlxAirWat\n"
      "No print_VapHeaFlxAirWat\n"
      "No print_SensHeaFlxWatSed\n"
      "No print_HeaFlxPrc\n"
      // One compound that sorbs and transforms, no loading.
      "300 MolMas_CMP (g.mol-1)\n1 ConLiqRefSusSol_CMP (mg.L-1)\n0.9 ExpFreSusSol_CMP (-)\n"
      "100 KomSusSol_CMP (L.kg-1)\n0 CofSorMph_CMP (L.kg-1)\n1 ConLiqRefSed_CMP (mg.L-1)\n"
      "0.9 ExpFreSed_CMP (-)\n100 KomSed_CMP (L.kg-1)\n4.3e-5 CofDifWatRef_CMP (m2.d-1)\n"
      "10 DT50WatRef_CMP (d)\n20 TemRefTraWat_CMP (C)\n65.4 MolEntTraWat_CMP (kJ.mol-1)\n"
      "30 DT50SedRef_CMP (d)\n20 TemRefTraSed_CMP (C)\n65.4 MolEntTraSed_CMP (kJ.mol-1)\n"
      "100 SlbWatRef_CMP (mg.L-1)\n20 TemRefSlb_CMP (C)\n27 MolEntSlb_CMP (kJ.mol-1)\n"
      "0 PreVapRef_CMP (Pa)\n20 TemRefVap_CMP (C)\n95 MolEntVap_CMP (kJ.mol-1)\n"
      "0 ConSysWatIni (g.m-3)\n0 ConAir (kg.m-3)\n0 ConWatSpg (g.m-3)\n"
      "0 FlwWatSpg (m3.m-2.d-1)\n15 ConSus (g.m-3)\n0.09 CntOmSusSol (kg.kg-1)\n"
      "0 AmaMphWatLay (g.m-2)\n0.01 ThiLayTgt (m)\nCalc OptTimStp\n600 TimStpWat (s)\n"
      "600 TimStpSed (s)\nFischer OptDis\n"
      "table horizon SedimentProperties\nNr Rho CntOm ThetaSat CofDifRel pH\n"
      "(-) (kg.m-3) (kg.kg-1) (m3.m-3) (-) (-)\n1 800 0.09 0.6 0.5 7.0\nend_table\n"
      "table horizon CntSysSedIni\nNr CntSysSedIni\n(-) (mg.kg-1)\n1 0\nend_table\n"
      "table horizon DispersionLength\nNr LenDisSedLiq\n(-) (m)\n1 0.015\nend_table\n"
      "table Loadings\nend_table\n");
  input.replace(input.find("31-Dec-1980 TimEnd"), 6, "02-Jan");
  std::istringstream names(kPrintedVariables);
  for (std::string name; names >> name;) input += "No print_" + name + "\n";
  return input + extra;
}

void copyExample(const TempDir& dir, const std::string& id) {
  std::filesystem::copy(std::filesystem::path(KORVAN_SOURCE_DIR) / "examples" / id, dir.path(),
                        std::filesystem::copy_options::recursive);
}

void setTimEnd(const TempDir& dir, const std::string& kvn, const std::string& date,
               bool dropLaterEvents) {
  std::string text = dir.read(kvn);
  const auto at = text.find(" TimEnd");
  ASSERT_NE(at, std::string::npos) << kvn;
  const auto begin = text.rfind('\n', at) + 1;
  text.replace(begin, at - begin, date + "     ");
  // A shortened run keeps only the spray-drift events of its own period.
  const auto key = [](const std::string& d) {
    static const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    return d.substr(7, 4) + std::to_string(10 + months.find(d.substr(3, 3)) / 3) + d.substr(0, 2);
  };
  const std::string header = "\ntable Loadings\n";
  const auto table = dropLaterEvents ? text.find(header) : std::string::npos;
  if (table != std::string::npos) {
    auto row = table + header.size();
    while (row < text.size() && text.compare(row, 9, "end_table") != 0) {
      const auto end = text.find('\n', row) + 1;
      if (text[row] != '*' && key(text.substr(row, 11)) > key(date)) {
        text.erase(row, end - row);
      } else {
        row = end;
      }
    }
  }
  dir.write(kvn, text);
}

void writeTestWeather(const TempDir& dir) {
  // Three days of hourly weather: a mild winter day, dry, with the sun up
  // from 8 to 16 h.
  std::string met = "* Weather for the tests\n";
  for (int day = 1; day <= 3; ++day) {
    for (int hour = 1; hour <= 24; ++hour) {
      const double radiation = (hour > 8 && hour <= 16) ? 500.0 : 0.0;
      const double temperature = 4.0 + 0.25 * hour;
      char line[160];
      std::snprintf(line, sizeof line,
                    "Weather 1980 1 %d %d %.1f %.2f 0.85 0.6 3.5 101.3 0.0 0.05\n", day, hour,
                    radiation, temperature);
      met += line;
    }
  }
  dir.write("Weather.met", met);
}

TestRun::TestRun(const std::string& input, const std::string& runId) : runId_(runId) {
  dir_.write(runId + ".kvn", input);
  Environment env;
  env.workDir = dir_.path();
  env.args = {runId};
  env.console = &console_;
  env.terminal = false;
  env.now = [] { return platform::LocalTime{2026, 12, 5, 10, 30, 15}; };
  run_ = std::make_unique<ModelRun>(std::move(env));
}

void TestRun::setup() {
  try {
    run_->setup();
  } catch (const RunStop&) {
    FAIL() << "setup stopped with a fatal error:\n" << dir_.read(runId_ + ".err");
  } catch (const EarlyStop& stop) {
    FAIL() << "setup stopped early: " << stop.text;
  }
}

std::vector<std::string> TestRun::expectFatal(const std::function<void()>& action) {
  try {
    action();
  } catch (const RunStop& stop) {
    EXPECT_NE(run_->terminate(stop.status), kExitNormal);
    EXPECT_FALSE(dir_.exists("korvan.ok"));
    return dir_.lines(runId_ + ".err");
  }
  ADD_FAILURE() << "expected a fatal error";
  return {};
}

int TestRun::finish() { return run_->terminate(0); }

ProgramResult runProgram(const fs::path& dir, const std::vector<std::string>& args) {
  std::string command = "cd '" + dir.string() + "' && '" KORVAN_BINARY "'";
  for (const auto& arg : args) {
    std::string quoted;
    for (char c : arg) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    command += " '" + quoted + "'";
  }
  command += " 2>&1";
  ProgramResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int raw = ::pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

void writeRunnable(const TempDir& dir, const std::string& runId, const std::string& input) {
  dir.write(runId + ".kvn", input);
  writeTestWeather(dir);
}

bool runsNormally(const TempDir& dir, const std::string& runId,
                  const std::vector<std::string>& options) {
  std::vector<std::string> args = options;
  args.push_back(runId);
  const auto r = runProgram(dir.path(), args);
  EXPECT_EQ(r.status, kExitNormal) << r.output << dir.read(runId + ".err");
  return r.status == kExitNormal;
}

void replaceIn(const TempDir& dir, const std::string& file, const std::string& from,
               const std::string& to) {
  std::string text = dir.read(file);
  const auto at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  dir.write(file, text.replace(at, from.size(), to));
}

std::vector<std::string> dataLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
               [](const std::string& l) { return !l.empty() && l[0] != '*'; });
  return out;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool anyLineStartsWith(const std::vector<std::string>& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.starts_with(start); });
}

long countWarnings(const std::vector<std::string>& log) {
  return std::count_if(log.begin(), log.end(), [](const std::string& l) {
    return l.find("###### Warning") != std::string::npos;
  });
}

}  // namespace korvan::testing
