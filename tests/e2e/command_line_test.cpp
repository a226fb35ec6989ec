// The korvan program run as a user runs it: in a folder with an input file,
// checking what it prints, the files it leaves and its exit status. A new
// user's first runs are among them: a complete input in one step from
// --template, and the common mistakes (missing records, a misspelt keyword or
// edition, the wrong folder) each answered with the model's own message and a
// hint that names the fix. And the installed program works like the built one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "driver/templates.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using testing::hasLine;
using testing::runnableInput;
using testing::runProgram;
using testing::TempDir;

const std::string kUsage =
    "* Error: Improper model call. Model should be called as follows:\n"
    "* \n"
    "* Korvan model RunId\n"
    "* \n"
    "* where RunId is the name of the kvn file without extension.\n"
    "* \n"
    "Please specify a RunID\n";
const std::string kNoFile = "Illegal run id - no error file generated\n No file ";
const std::string kFolder =
    " in the folder {dir} (korvan reads its input from the current folder)\n";
const std::string kThreads = "korvan: --threads takes a whole number of threads from 1 to 1024\n";

// A call that stops before the run starts, or only answers: its status and
// the start of its output ("{dir}" the folder), or the whole output.
struct Call {
  Lines args;
  int status;
  std::string output;
  bool whole;
};

TEST(CommandLine, CallsThatDoNotRunAnswerAndCreateNoFile) {
  const Call calls[] = {
      {{}, kExitEarlyStop, kUsage, true},
      {{"--help"}, kExitNormal, "Usage: korvan [--threads N] RunId\n", false},
      {{"--version"},
       kExitNormal,
       "KORVAN model version : 3.3.1, created on 25-Apr-2013\nProgram compiled on  : ",
       false},
      // Anything else is a run identifier: "--helps" has no input file.
      {{"--helps"}, kExitEarlyStop, "", false},
      {{"--template", "MERIX", "River"}, kExitEarlyStop, "", false},
      {{"ditch1.KVN"}, kExitEarlyStop, " Extension of input file should be .kvn\n", true},
      {{"ditch-1"},
       kExitEarlyStop,
       " Invalid character in run name\n Only alphanumeric characters and underscore allowed\n",
       true},
      // The stop says which file was looked for where.
      {{"ditch2"}, kExitEarlyStop, kNoFile + "ditch2.kvn" + kFolder, true},
      {{"sub/ditch"}, kExitEarlyStop, kNoFile + "ditch.kvn" + kFolder, true},
      // A bad thread count stops before any file is written.
      {{"--threads", "0", "ditch"}, kExitEarlyStop, kThreads, false},
      {{"--threads=x", "ditch"}, kExitEarlyStop, kThreads, false},
      {{"ditch", "--threads"}, kExitEarlyStop, kThreads, false},
  };
  TempDir dir;
  testing::writeRunnable(dir, "ditch1");
  fs::create_directory(dir.path() / "sub");
  dir.write("sub/ditch.kvn", runnableInput());
  const Lines files = dir.files();
  for (const Call& c : calls) {
    SCOPED_TRACE(c.args.empty() ? "no argument" : c.args[0]);
    const auto r = runProgram(dir.path(), c.args);
    EXPECT_EQ(r.status, c.status);
    std::string output = c.output;
    if (const auto at = output.find("{dir}"); at != std::string::npos) {
      output.replace(at, 5, fs::canonical(dir.path()).string());
    }
    EXPECT_EQ(c.whole ? r.output : r.output.substr(0, output.size()), output);
    EXPECT_EQ(dir.files(), files);
  }
}

// The sediment columns of a step are shared out over the threads, each
// solved on its own and summed in a fixed order: every file a run writes is
// the same for any thread count, the run time in the summary apart.
TEST(CommandLine, AnyThreadCountWritesTheSameFiles) {
  std::map<std::string, std::string> first;
  for (const char* threads : {"1", "2", "3"}) {
    SCOPED_TRACE(threads);
    TempDir dir;
    testing::copyExample(dir, "ditch");
    testing::setTimEnd(dir, "ditch.kvn", "16-May-1980");
    testing::replaceIn(dir, "ditch.kvn", "01-Jan-1980      TimStart", "01-May-1980      TimStart");
    ASSERT_TRUE(testing::runsNormally(dir, "ditch", {"--threads", threads}));
    for (const char* name : {"ditch.out", "ditch.sum", "ditch.hyd", "ditch.tem", "ditch.log"}) {
      // The folder and the run time are the only lines that may differ.
      std::string text = dir.read(name);
      for (const std::string& line : {dir.path().string(), std::string("The run time was")}) {
        const auto at = text.find(line);
        if (at != std::string::npos) text.erase(at, text.find('\n', at) - at);
      }
      if (std::string(threads) == "1") first[name] = text;
      EXPECT_TRUE(text == first[name]) << name;
    }
  }
}

// Directories before the run identifier, written with either separator, and
// its .kvn extension are stripped; an identifier is cut to 32 characters.
TEST(NormalEnd, LeavesReportsWithHeadersAndTheSuccessMarker) {
  const std::string id32(32, 'a');
  const std::pair<std::string, std::string> calls[] = {{"ditch1", "ditch1"},
                                                       {"C:\\runs\\ditch1.kvn", "ditch1"},
                                                       {"runs/ditch1.kvn", "ditch1"},
                                                       {"ditch1.kvn", "ditch1"},
                                                       {id32 + "bbbb", id32}};
  for (const auto& [arg, id] : calls) {
    SCOPED_TRACE(arg);
    TempDir dir;
    testing::writeRunnable(dir, id);
    dir.write("Korvan.ok", "from an earlier run\n");
    dir.write("korvan.tmp", "left over\n");
    const auto r = runProgram(dir.path(), {arg});
    EXPECT_EQ(r.status, kExitNormal) << r.output;
    EXPECT_NE(r.output.find("End of program\n"), std::string::npos);
    EXPECT_EQ(dir.files(), (Lines{"Weather.met", id + ".hyd", id + ".kvn", id + ".log", id + ".out",
                                  id + ".sum", id + ".tem", "korvan.ok"}));
    EXPECT_EQ(dir.read("korvan.ok"), "Run succesfully terminated!\n");
    const auto sum = dir.lines(id + ".sum");
    ASSERT_GE(sum.size(), 13u);
    const std::string rule =
        "* ------------------------------------------------------------------------------";
    EXPECT_EQ(Lines(sum.begin(), sum.begin() + 7),
              (Lines{rule, "* KORVAN REPORT: Header", "* Results from the KORVAN model",
                     "* MERIX  KORVAN version   : 1.0", "* KORVAN model version    : 3.3.1",
                     "* KORVAN created on       : 25-Apr-2013", "* "}));
    EXPECT_EQ(sum[7].rfind("* Working directory       : /", 0), 0u);
    EXPECT_EQ(sum[8], "* Run ID                  : " + id);
    EXPECT_EQ(sum[9].substr(0, 28), "* Input file generated on : ");
    EXPECT_EQ(sum[9].size(), 38u);  // dd-mm-yyyy
    EXPECT_EQ(sum[10], rule);
    // The report sections follow; the run time closes the file.
    EXPECT_EQ(sum.back().rfind("*  The run time was ", 0), 0u);
    // The output and log files carry the same header without the report line.
    const auto out = dir.lines(id + ".out");
    ASSERT_GE(out.size(), 11u);
    EXPECT_EQ(out[1], "* Results from the KORVAN model");
    EXPECT_EQ(out[10], "* ");
  }
}

// A run that stops on an error: the message in the error file and on the
// console, and no success marker, whatever an earlier run left.
struct ErrorCase {
  std::string input, err;
  Lines files;         // the files left
  std::string logged;  // a record that the log lists as missing too, if any
  bool quiet = false;  // the console says only that the run stopped
};

TEST(ErrorEnd, LeavesTheMessageInTheErrorFileAndNoMarker) {
  const std::string head = "MERIXKORVAN CallingProgram\n1.0 CallingProgramVersion\n";
  std::string noTimEnd = runnableInput();
  noTimEnd.erase(noTimEnd.find("02-Jan-1980 TimEnd\n"), 19);
  // A run that stops early leaves no pass files.
  const Lines kept = {"t.err", "t.kvn", "t.log", "t.out", "t.sum"};
  const ErrorCase cases[] = {
      {noTimEnd, "TimEnd", {"t.err", "t.hyd", "t.kvn", "t.log", "t.out", "t.sum", "t.tem"}},
      {"1.0 CallingProgramVersion\n", "CallingProgram", kept},
      {head, "OptHyd", kept, "TimStart"},
      // IOMode_StdOut anywhere silences the console.
      {"IOMode_StdOut\nMERIXKORVAN CallingProgram\n", "CallingProgramVersion", kept, "", true},
      // The output and log files go after an error end too.
      {head + "Yes OptDelOutFiles\n", "OptHyd", {"t.err", "t.kvn", "t.sum"}},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.err);
    TempDir dir;
    dir.write("t.kvn", c.input);
    dir.write("korvan.ok", "from an earlier run\n");
    const auto r = runProgram(dir.path(), {"t"});
    const std::string message = "Cannot find record " + c.err + " (column  2, unit  20)\n";
    EXPECT_EQ(r.status, kExitError);
    EXPECT_EQ(dir.read("t.err"), message);
    EXPECT_FALSE(dir.exists("korvan.ok"));
    EXPECT_TRUE(r.output.ends_with("An error occurred - program stopped\n")) << r.output;
    EXPECT_EQ(dir.files(), c.files);
    if (!c.logged.empty()) {
      EXPECT_TRUE(
          hasLine(dir.lines("t.log"), "Cannot find record " + c.logged + " (column  2, unit  20)"));
    }
    if (c.quiet) {
      EXPECT_EQ(r.output, "An error occurred - program stopped\n");
    } else {
      EXPECT_NE(r.output.find(" An error was found in file t.kvn\n"), std::string::npos);
      EXPECT_NE(r.output.find(message), std::string::npos);
    }
  }
}

TEST(ScreenMode, IOModeStdOutAnywhereSilencesTheConsole) {
  TempDir dir;
  testing::writeRunnable(dir, "t", runnableInput("* IOMode_StdOut in a comment\n"));
  const auto r = runProgram(dir.path(), {"t"});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.output, "End of program\n");
}

TEST(DeleteOutputFiles, OutputAndLogGoAfterANormalEnd) {
  TempDir dir;
  std::string input = runnableInput();
  testing::writeRunnable(dir, "t", input.replace(input.find("No OptDelOutFiles"), 2, "Yes"));
  ASSERT_TRUE(testing::runsNormally(dir, "t"));
  EXPECT_EQ(dir.files(), (Lines{"Weather.met", "korvan.ok", "t.hyd", "t.kvn", "t.sum", "t.tem"}));
}

TEST(ReuseOfPasses, AutomaticSkipsTheHydrologyPassWhenItsFileExists) {
  TempDir dir;
  std::string input = runnableInput();
  testing::writeRunnable(dir, "t", input.replace(input.find("OnLine OptHyd"), 6, "Automatic"));
  const auto first = runProgram(dir.path(), {"t"});
  EXPECT_EQ(first.status, kExitNormal);
  EXPECT_NE(first.output.find(" Hydrology simulated: 02-Jan-1980"), std::string::npos);
  EXPECT_NE(dir.read("t.log").find(" File not found - run hydrology..."), std::string::npos);

  const auto second = runProgram(dir.path(), {"t"});
  EXPECT_EQ(second.status, kExitNormal);
  EXPECT_EQ(second.output.find(" Hydrology simulated:"), std::string::npos);
  EXPECT_NE(
      dir.read("t.log").find(" Hydrology file = " + dir.path().string() +
                             "/t.hyd\n Hydrology available ...\n File found - hydrology skipped\n"),
      std::string::npos);
}

TEST(Template, EveryCombinationRunsToItsEndWithoutAWarning) {
  const auto list = runProgram(fs::current_path(), {"--template"});
  EXPECT_EQ(list.status, kExitNormal);
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
    EXPECT_TRUE(testing::runsNormally(dir, "t"));
    EXPECT_TRUE(dir.exists("korvan.ok"));
    EXPECT_EQ(testing::countWarnings(dir.lines("t.log")), 0);
    // Every print switch is there; the headline variables are printed.
    EXPECT_NE(text.output.find("No               print_CofDisPhs\n"), std::string::npos);
    EXPECT_NE(dir.read("t.out").find("ConLiqWatLay"), std::string::npos);
  }
}

TEST(MissingRecords, TheFirstStopsTheRunAndTheLogListsTheOthers) {
  TempDir dir;
  testing::copyExample(dir, "ditch");
  testing::replaceIn(dir, "ditch.kvn", "30               CofRghRef          (-)\n", "");
  testing::replaceIn(dir, "ditch.kvn", "0                WidFldDra          (m)\n", "");
  std::string kvn;
  int switches = 0;
  for (const std::string& line : dir.lines("ditch.kvn")) {
    if (line.find("print_") != std::string::npos) {
      ++switches;
    } else {
      kvn += line + "\n";
    }
  }
  dir.write("ditch.kvn", kvn);

  const auto r = runProgram(dir.path(), {"ditch"});
  EXPECT_EQ(r.status, kExitError);
  EXPECT_EQ(dir.read("ditch.err"), "Cannot find record CofRghRef (column  2, unit  20)\n");
  EXPECT_FALSE(dir.exists("korvan.ok"));
  EXPECT_NE(r.output.find("\nCannot find record CofRghRef (column  2, unit  20)\n"),
            std::string::npos);
  EXPECT_TRUE(r.output.ends_with("An error occurred - program stopped\n")) << r.output;

  const auto log = dir.lines("ditch.log");
  const auto head =
      std::find(log.begin(), log.end(), " Other required records missing from ditch.kvn:");
  ASSERT_NE(head, log.end());
  const Lines listed(head + 1, log.end());
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
  EXPECT_NE(r.output.find(" " + std::to_string(listed.size()) +
                          " more missing records are listed in ditch.log\n"),
            std::string::npos);
}

TEST(UnknownKeywords, AreWarningsWithTheNearestKeyword) {
  TempDir dir;
  testing::copyExample(dir, "ditch");
  testing::setTimEnd(dir, "ditch.kvn", testing::kShortTimEnd);
  testing::replaceIn(dir, "ditch.kvn", "ExposureReport", "ExposureRepport");
  testing::replaceIn(dir, "ditch.kvn", "PercentileReport", "Percentilereport");
  dir.write("ditch.kvn", dir.read("ditch.kvn") + "3 Frobnicate (-)\n");
  ASSERT_TRUE(testing::runsNormally(dir, "ditch"));
  const auto log = dir.lines("ditch.log");
  EXPECT_EQ(testing::countWarnings(log), 3);
  for (const std::string& line :
       Lines{"ExposureRepport is not a KORVAN keyword; did you mean ExposureReport?",
             "Percentilereport is not a KORVAN keyword; did you mean PercentileReport?",
             "Frobnicate is not a KORVAN keyword",
             "Line " + std::to_string(dir.lines("ditch.kvn").size()) +
                 " of ditch.kvn is not read by this run"}) {
    EXPECT_TRUE(hasLine(log, line)) << line;
  }
  EXPECT_NE(dir.read("ditch.sum").find("### Warning(s) during simulaton."), std::string::npos);
}

TEST(UnknownEdition, IsAWarningBeforeAnythingElse) {
  TempDir dir;
  testing::copyExample(dir, "ditch");
  testing::setTimEnd(dir, "ditch.kvn", testing::kShortTimEnd);
  testing::replaceIn(dir, "ditch.kvn", "MERIXKORVAN ", "MERIXKORVAM ");
  runProgram(dir.path(), {"ditch"});
  const auto log = dir.lines("ditch.log");
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], " ###### Warning ########################################################");
  EXPECT_EQ(log[1], "CallingProgram MERIXKORVAM is not a KORVAN edition");
  EXPECT_EQ(log[2], "The editions are MERIXKORVAN, ORLANKORVAN, ZRKORVAN and BRAXKORVAN");
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
  testing::writeRunnable(run, "t");
  const std::string go =
      "cd '" + run.path().string() + "' && '" + installed.string() + "' t > /dev/null";
  EXPECT_EQ(std::system(go.c_str()), 0);
  EXPECT_TRUE(run.exists("korvan.ok"));
}

}  // namespace
}  // namespace korvan
