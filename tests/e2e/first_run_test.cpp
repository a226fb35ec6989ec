// A new user's first runs: a complete input in one step from --template, and
// the common mistakes (missing records, a misspelt keyword or edition, the
// wrong folder) each answered with the model's own message and a hint that
// names the fix. And the installed program works like the built one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "core/run.hpp"
#include "driver/templates.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

namespace fs = std::filesystem;
using testing::copyExample;
using testing::runProgram;
using testing::TempDir;

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

int countWarnings(const std::vector<std::string>& log) {
  return static_cast<int>(std::count_if(log.begin(), log.end(), [](const std::string& l) {
    return l.find("###### Warning") != std::string::npos;
  }));
}

// Replaces the record of the keyword by the new line (none when empty);
// fails the test when there is no such record.
void editLine(const TempDir& dir, const std::string& file, const std::string& keyword,
              const std::string& newLine) {
  std::string out;
  bool done = false;
  for (const std::string& line : dir.lines(file)) {
    std::istringstream words(line);
    std::string value, key;
    words >> value >> key;
    if (!done && key == keyword) {
      done = true;
      if (!newLine.empty()) out += newLine + "\n";
      continue;
    }
    out += line + "\n";
  }
  ASSERT_TRUE(done) << keyword;
  dir.write(file, out);
}

TEST(Template, EveryCombinationRunsToItsEndWithoutAWarning) {
  const auto list = runProgram(fs::current_path(), {"--template"});
  EXPECT_EQ(list.status, kExitNormal);
  EXPECT_EQ(runProgram(fs::current_path(), {"--template", "MERIX", "River"}).status,
            kExitEarlyStop);
  const auto choices = templateChoices();
  EXPECT_EQ(choices.size(), 12u);
  for (const TemplateChoice& c : choices) {
    SCOPED_TRACE(c.edition + " " + c.waterSystem);
    EXPECT_NE(list.output.find("korvan --template " + c.edition + " " + c.waterSystem + "\n"),
              std::string::npos);
    TempDir dir;
    // The words may be written in any case, the edition also as in CallingProgram.
    const std::string edition = c.edition == "ZR" ? "zrkorvan" : c.edition;
    const auto text = runProgram(dir.path(), {"--template", edition, c.waterSystem});
    ASSERT_EQ(text.status, kExitNormal);
    EXPECT_EQ(text.output, inputTemplate(c));
    EXPECT_NE(text.output.find("file Weather.met"), std::string::npos);
    dir.write("t.kvn", text.output);
    fs::copy_file(fs::path(KORVAN_SOURCE_DIR) / "examples/ditch/Ditch.met",
                  dir.path() / "Weather.met");
    const auto r = runProgram(dir.path(), {"t"});
    EXPECT_EQ(r.status, kExitNormal) << r.output << (dir.exists("t.err") ? dir.read("t.err") : "");
    EXPECT_TRUE(dir.exists("korvan.ok"));
    EXPECT_EQ(countWarnings(dir.lines("t.log")), 0);
    // Every print switch is there; the headline variables are printed.
    EXPECT_NE(text.output.find("No               print_CofDisPhs\n"), std::string::npos);
    EXPECT_NE(dir.read("t.out").find("ConLiqWatLay"), std::string::npos);
  }
}

TEST(MissingRecords, TheFirstStopsTheRunAndTheLogListsTheOthers) {
  TempDir dir;
  copyExample(dir, "ditch");
  editLine(dir, "ditch.kvn", "CofRghRef", "");
  editLine(dir, "ditch.kvn", "WidFldDra", "");
  std::string kvn;
  int switches = 0;
  for (const std::string& line : dir.lines("ditch.kvn")) {
    if (line.find("print_") != std::string::npos) {
      ++switches;
      continue;
    }
    kvn += line + "\n";
  }
  dir.write("ditch.kvn", kvn);

  const auto r = runProgram(dir.path(), {"ditch"});
  EXPECT_EQ(r.status, kExitError);
  EXPECT_EQ(dir.read("ditch.err"), "Cannot find record CofRghRef (column  2, unit  20)\n");
  EXPECT_FALSE(dir.exists("korvan.ok"));
  EXPECT_NE(r.output.find("\nCannot find record CofRghRef (column  2, unit  20)\n"),
            std::string::npos);
  EXPECT_NE(r.output.find(" more missing records are listed in ditch.log\n"), std::string::npos);
  EXPECT_TRUE(r.output.ends_with("An error occurred - program stopped\n")) << r.output;

  const auto log = dir.lines("ditch.log");
  const auto head =
      std::find(log.begin(), log.end(), " Other required records missing from ditch.kvn:");
  ASSERT_NE(head, log.end());
  const std::vector<std::string> listed(head + 1, log.end());
  EXPECT_EQ(listed.front(), "Cannot find record WidFldDra (column  2, unit  20)");
  EXPECT_TRUE(hasLine(listed, "Cannot find record print_QBou (column  2, unit  20)"));
  EXPECT_TRUE(hasLine(listed, "Cannot find record print_AmaErrSed (column  2, unit  20)"));
  EXPECT_FALSE(hasLine(listed, "Cannot find record CofRghRef (column  2, unit  20)"));
  // Every switch that the run reads is listed once; the example holds a few
  // that this edition and water system do not read.
  const auto printLines = std::count_if(listed.begin(), listed.end(), [](const std::string& l) {
    return l.starts_with("Cannot find record print_");
  });
  EXPECT_GT(printLines, 50);
  EXPECT_LE(printLines, switches);
  EXPECT_EQ(r.output.find(" " + std::to_string(listed.size()) + " more missing records"),
            r.output.find(" more missing records") - std::to_string(listed.size()).size() - 1);
}

TEST(MissingRecords, ARunThatStopsEarlyLeavesNoPassFiles) {
  TempDir dir;
  dir.write("t.kvn", "MERIXKORVAN CallingProgram\n1.0 CallingProgramVersion\n");
  const auto r = runProgram(dir.path(), {"t"});
  EXPECT_EQ(r.status, kExitError);
  EXPECT_EQ(dir.read("t.err"), "Cannot find record OptHyd (column  2, unit  20)\n");
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"t.err", "t.kvn", "t.log", "t.out", "t.sum"}));
  EXPECT_TRUE(hasLine(dir.lines("t.log"), "Cannot find record TimStart (column  2, unit  20)"));
}

TEST(UnknownKeywords, AreWarningsWithTheNearestKeyword) {
  TempDir dir;
  copyExample(dir, "ditch");
  testing::setTimEnd(dir, "ditch.kvn", testing::kShortTimEnd);
  editLine(dir, "ditch.kvn", "ExposureReport", "Yes              ExposureRepport");
  editLine(dir, "ditch.kvn", "PercentileReport", "Yes              Percentilereport");
  dir.write("ditch.kvn", dir.read("ditch.kvn") + "3 Frobnicate (-)\n");
  const auto r = runProgram(dir.path(), {"ditch"});
  EXPECT_EQ(r.status, kExitNormal)
      << r.output << (dir.exists("ditch.err") ? dir.read("ditch.err") : "");
  const auto log = dir.lines("ditch.log");
  EXPECT_EQ(countWarnings(log), 3);
  EXPECT_TRUE(
      hasLine(log, "ExposureRepport is not a KORVAN keyword; did you mean ExposureReport?"));
  EXPECT_TRUE(
      hasLine(log, "Percentilereport is not a KORVAN keyword; did you mean PercentileReport?"));
  EXPECT_TRUE(hasLine(log, "Frobnicate is not a KORVAN keyword"));
  const auto lines = dir.lines("ditch.kvn");
  EXPECT_TRUE(hasLine(
      log, "Line " + std::to_string(lines.size()) + " of ditch.kvn is not read by this run"));
  EXPECT_NE(dir.read("ditch.sum").find("### Warning(s) during simulaton."), std::string::npos);
}

TEST(UnknownEdition, IsAWarningBeforeAnythingElse) {
  TempDir dir;
  copyExample(dir, "ditch");
  testing::setTimEnd(dir, "ditch.kvn", testing::kShortTimEnd);
  editLine(dir, "ditch.kvn", "CallingProgram", "MERIXKORVAM      CallingProgram");
  runProgram(dir.path(), {"ditch"});
  const auto log = dir.lines("ditch.log");
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], " ###### Warning ########################################################");
  EXPECT_EQ(log[1], "CallingProgram MERIXKORVAM is not a KORVAN edition");
  EXPECT_EQ(log[2], "The editions are MERIXKORVAN, ORLANKORVAN, ZRKORVAN and BRAXKORVAN");
}

TEST(RunFolder, TheStopSaysWhichFileWasLookedForWhere) {
  TempDir dir;
  fs::create_directory(dir.path() / "sub");
  dir.write("sub/ditch.kvn", testing::runnableInput());
  const auto r = runProgram(dir.path(), {"sub/ditch"});
  EXPECT_EQ(r.status, kExitEarlyStop);
  EXPECT_EQ(r.output,
            "Illegal run id - no error file generated\n No file ditch.kvn in the folder " +
                fs::canonical(dir.path()).string() +
                " (korvan reads its input from the current folder)\n");
}

TEST(Installation, TheInstalledProgramRuns) {
  TempDir prefix;
  const fs::path build = fs::path(KORVAN_BINARY).parent_path();
  const std::string command = "cmake --install '" + build.string() + "' --prefix '" +
                              prefix.path().string() + "' > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const fs::path installed = prefix.path() / "bin" / "korvan";
  ASSERT_TRUE(fs::exists(installed));
  TempDir run;
  run.write("t.kvn", testing::runnableInput());
  testing::writeTestWeather(run);
  const std::string go =
      "cd '" + run.path().string() + "' && '" + installed.string() + "' t > /dev/null";
  EXPECT_EQ(std::system(go.c_str()), 0);
  EXPECT_TRUE(run.exists("korvan.ok"));
}

}  // namespace
}  // namespace korvan
