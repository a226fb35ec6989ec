// The korvan program run as a user runs it: in a folder with an input file,
// checking what it prints, the files it leaves and its exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

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

TEST(CommandLine, NoArgumentPrintsTheUsageAndCreatesNoFile) {
  TempDir dir;
  const auto result = runProgram(dir.path(), {});
  EXPECT_EQ(result.output, kUsage);
  EXPECT_EQ(result.status, kExitEarlyStop);
  EXPECT_TRUE(dir.files().empty());
}

TEST(CommandLine, HelpAndVersionAnswerWithoutCreatingAFile) {
  TempDir dir;
  const auto help = runProgram(dir.path(), {"--help"});
  EXPECT_EQ(help.status, kExitNormal);
  EXPECT_EQ(help.output.rfind("Usage: korvan [--threads N] RunId\n", 0), 0u) << help.output;
  const auto version = runProgram(dir.path(), {"--version"});
  EXPECT_EQ(version.status, kExitNormal);
  EXPECT_EQ(version.output.rfind("KORVAN model version : 3.3.1, created on 25-Apr-2013\n"
                                 "Program compiled on  : ",
                                 0),
            0u)
      << version.output;
  EXPECT_TRUE(dir.files().empty());
  // Anything else is a run identifier: "--helps" has no input file.
  const auto other = runProgram(dir.path(), {"--helps"});
  EXPECT_NE(other.status, kExitNormal);
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
    std::string kvn = dir.read("ditch.kvn");
    kvn.replace(kvn.find("01-Jan-1980      TimStart"), 11, "01-May-1980");
    dir.write("ditch.kvn", kvn);
    const auto r = runProgram(dir.path(), {"--threads", threads, "ditch"});
    ASSERT_EQ(r.status, kExitNormal) << r.output;
    std::map<std::string, std::string> files;
    for (const char* name : {"ditch.out", "ditch.sum", "ditch.hyd", "ditch.tem", "ditch.log"}) {
      // The folder and the run time are the only lines that may differ.
      std::string text = dir.read(name);
      for (const std::string line : {dir.path().string(), std::string("The run time was")}) {
        const auto at = text.find(line);
        if (at != std::string::npos) text.erase(at, text.find('\n', at) - at);
      }
      files[name] = text;
    }
    if (first.empty()) {
      first = files;
    } else {
      for (const auto& [name, text] : files) EXPECT_TRUE(text == first[name]) << name;
    }
  }
  // A bad count stops before any file is written.
  for (const std::vector<std::string> args : {std::vector<std::string>{"--threads", "0", "ditch"},
                                              {"--threads=x", "ditch"},
                                              {"ditch", "--threads"}}) {
    TempDir dir;
    const auto r = runProgram(dir.path(), args);
    EXPECT_EQ(r.status, kExitEarlyStop);
    EXPECT_EQ(
        r.output.rfind("korvan: --threads takes a whole number of threads from 1 to 1024\n", 0), 0u)
        << r.output;
    EXPECT_TRUE(dir.files().empty());
  }
}

TEST(CommandLine, RunIdentifierChecks) {
  TempDir dir;
  dir.write("ditch1.kvn", runnableInput());
  testing::writeTestWeather(dir);
  {
    const auto r = runProgram(dir.path(), {"ditch1.KVN"});
    EXPECT_EQ(r.output, " Extension of input file should be .kvn\n");
    EXPECT_EQ(r.status, kExitEarlyStop);
  }
  {
    const auto r = runProgram(dir.path(), {"ditch-1"});
    EXPECT_EQ(r.output,
              " Invalid character in run name\n"
              " Only alphanumeric characters and underscore allowed\n");
    EXPECT_EQ(r.status, kExitEarlyStop);
  }
  {
    const auto r = runProgram(dir.path(), {"ditch2"});
    EXPECT_EQ(r.output,
              "Illegal run id - no error file generated\n No file ditch2.kvn in the folder " +
                  dir.path().string() + " (korvan reads its input from the current folder)\n");
    EXPECT_EQ(r.status, kExitEarlyStop);
  }
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"Weather.met", "ditch1.kvn"}));
}

TEST(CommandLine, DirectoriesWithEitherSeparatorAreStripped) {
  for (const char* arg : {"C:\\runs\\ditch1.kvn", "runs/ditch1.kvn", "ditch1", "ditch1.kvn"}) {
    TempDir dir;
    dir.write("ditch1.kvn", runnableInput());
    testing::writeTestWeather(dir);
    const auto r = runProgram(dir.path(), {arg});
    EXPECT_EQ(r.status, kExitNormal) << arg << "\n" << r.output;
    EXPECT_TRUE(dir.exists("ditch1.out")) << arg;
    EXPECT_TRUE(dir.exists("korvan.ok")) << arg;
  }
}

TEST(CommandLine, LongRunIdentifierIsCutToThirtyTwoCharacters) {
  TempDir dir;
  const std::string id32(32, 'a');
  dir.write(id32 + ".kvn", runnableInput());
  testing::writeTestWeather(dir);
  const auto r = runProgram(dir.path(), {id32 + "bbbb"});
  EXPECT_EQ(r.status, kExitNormal) << r.output;
  EXPECT_TRUE(dir.exists(id32 + ".sum"));
}

TEST(NormalEnd, LeavesReportsWithHeadersAndTheSuccessMarker) {
  TempDir dir;
  dir.write("ditch1.kvn", runnableInput());
  testing::writeTestWeather(dir);
  dir.write("Korvan.ok", "from an earlier run\n");
  dir.write("korvan.tmp", "left over\n");
  const auto r = runProgram(dir.path(), {"ditch1"});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_NE(r.output.find("End of program\n"), std::string::npos);
  EXPECT_EQ(dir.files(),
            (std::vector<std::string>{"Weather.met", "ditch1.hyd", "ditch1.kvn", "ditch1.log",
                                      "ditch1.out", "ditch1.sum", "ditch1.tem", "korvan.ok"}));
  EXPECT_EQ(dir.read("korvan.ok"), "Run succesfully terminated!\n");

  const auto sum = dir.lines("ditch1.sum");
  ASSERT_GE(sum.size(), 13u);
  const std::string rule =
      "* ------------------------------------------------------------------------------";
  EXPECT_EQ(sum[0], rule);
  EXPECT_EQ(sum[1], "* KORVAN REPORT: Header");
  EXPECT_EQ(sum[2], "* Results from the KORVAN model");
  EXPECT_EQ(sum[3], "* MERIX  KORVAN version   : 1.0");
  EXPECT_EQ(sum[4], "* KORVAN model version    : 3.3.1");
  EXPECT_EQ(sum[5], "* KORVAN created on       : 25-Apr-2013");
  EXPECT_EQ(sum[6], "* ");
  EXPECT_EQ(sum[7].rfind("* Working directory       : /", 0), 0u);
  EXPECT_EQ(sum[8], "* Run ID                  : ditch1");
  EXPECT_EQ(sum[9].substr(0, 28), "* Input file generated on : ");
  EXPECT_EQ(sum[9].size(), 38u);  // dd-mm-yyyy
  EXPECT_EQ(sum[10], rule);
  // The report sections follow; the run time closes the file.
  EXPECT_EQ(sum.back().rfind("*  The run time was ", 0), 0u);

  // The output and log files carry the same header without the report line.
  const auto out = dir.lines("ditch1.out");
  ASSERT_GE(out.size(), 11u);
  EXPECT_EQ(out[1], "* Results from the KORVAN model");
  EXPECT_EQ(out[10], "* ");
}

TEST(ErrorEnd, LeavesTheMessageInTheErrorFileAndNoMarker) {
  TempDir dir;
  std::string input = runnableInput();
  input.erase(input.find("02-Jan-1980 TimEnd\n"), 19);
  dir.write("ditch1.kvn", input);
  testing::writeTestWeather(dir);
  dir.write("korvan.ok", "from an earlier run\n");
  const auto r = runProgram(dir.path(), {"ditch1"});
  EXPECT_EQ(r.status, kExitError);
  EXPECT_EQ(dir.read("ditch1.err"), "Cannot find record TimEnd (column  2, unit  20)\n");
  EXPECT_FALSE(dir.exists("korvan.ok"));
  EXPECT_NE(r.output.find(" An error was found in file ditch1.kvn\n"), std::string::npos);
  EXPECT_NE(r.output.find("Cannot find record TimEnd (column  2, unit  20)\n"), std::string::npos);
  EXPECT_EQ(r.output.substr(r.output.size() - 36), "An error occurred - program stopped\n");
  EXPECT_TRUE(dir.exists("ditch1.out"));
  EXPECT_TRUE(dir.exists("ditch1.log"));
}

TEST(ErrorEnd, MissingCallingProgramStopsTheRun) {
  TempDir dir;
  dir.write("t.kvn", "1.0 CallingProgramVersion\n");
  const auto r = runProgram(dir.path(), {"t"});
  EXPECT_EQ(r.status, kExitError);
  EXPECT_EQ(dir.read("t.err"), "Cannot find record CallingProgram (column  2, unit  20)\n");
}

TEST(ScreenMode, IOModeStdOutAnywhereSilencesTheConsole) {
  TempDir dir;
  dir.write("t.kvn", runnableInput("* IOMode_StdOut in a comment\n"));
  testing::writeTestWeather(dir);
  const auto r = runProgram(dir.path(), {"t"});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(r.output, "End of program\n");

  dir.write("u.kvn", "IOMode_StdOut\nMERIXKORVAN CallingProgram\n");
  const auto e = runProgram(dir.path(), {"u"});
  EXPECT_EQ(e.status, kExitError);
  EXPECT_EQ(e.output, "An error occurred - program stopped\n");
  EXPECT_EQ(dir.read("u.err"), "Cannot find record CallingProgramVersion (column  2, unit  20)\n");
}

TEST(DeleteOutputFiles, OutputAndLogGoAfterNormalAndErrorEnds) {
  TempDir dir;
  std::string input = runnableInput();
  input.replace(input.find("No OptDelOutFiles"), 17, "Yes OptDelOutFiles");
  dir.write("t.kvn", input);
  testing::writeTestWeather(dir);
  const auto r = runProgram(dir.path(), {"t"});
  EXPECT_EQ(r.status, kExitNormal);
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"Weather.met", "korvan.ok", "t.hyd", "t.kvn",
                                                   "t.sum", "t.tem"}));

  TempDir bad;
  bad.write("t.kvn", "MERIXKORVAN CallingProgram\n1.0 CallingProgramVersion\nYes OptDelOutFiles\n");
  const auto e = runProgram(bad.path(), {"t"});
  EXPECT_EQ(e.status, kExitError);
  EXPECT_EQ(bad.files(), (std::vector<std::string>{"t.err", "t.kvn", "t.sum"}));
}

TEST(InputFile, WindowsLineEndsReadLikeUnixLineEnds) {
  TempDir dir;
  std::string input = runnableInput();
  std::string crlf;
  for (char c : input) crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  dir.write("t.kvn", crlf);
  testing::writeTestWeather(dir);
  const auto r = runProgram(dir.path(), {"t"});
  EXPECT_EQ(r.status, kExitNormal) << dir.read("t.err");
  EXPECT_NE(dir.read("t.log").find("OptDelTimPrn       Day"), std::string::npos);
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST(ReuseOfPasses, AutomaticSkipsTheHydrologyPassWhenItsFileExists) {
  testing::TempDir dir;
  std::string input = testing::runnableInput();
  input.replace(input.find("OnLine OptHyd"), 13, "Automatic OptHyd");
  dir.write("t.kvn", input);
  testing::writeTestWeather(dir);
  const auto first = testing::runProgram(dir.path(), {"t"});
  EXPECT_EQ(first.status, kExitNormal);
  EXPECT_NE(first.output.find(" Hydrology simulated: 02-Jan-1980"), std::string::npos);
  EXPECT_NE(dir.read("t.log").find(" File not found - run hydrology..."), std::string::npos);

  const auto second = testing::runProgram(dir.path(), {"t"});
  EXPECT_EQ(second.status, kExitNormal);
  EXPECT_EQ(second.output.find(" Hydrology simulated:"), std::string::npos);
  const std::string log = dir.read("t.log");
  EXPECT_NE(log.find(" Hydrology file = " + dir.path().string() +
                     "/t.hyd\n Hydrology available ...\n File found - hydrology skipped\n"),
            std::string::npos);
}

}  // namespace
}  // namespace korvan
