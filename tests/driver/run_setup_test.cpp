#include "driver/run_setup.hpp"

#include <gtest/gtest.h>

#include "core/messages.hpp"
#include "core/stop.hpp"
#include "driver/model_run.hpp"
#include "input/run_options.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TestRun;

EarlyStop earlyStopOf(const std::string& arg) {
  try {
    runIdFromArgument(arg);
  } catch (const EarlyStop& stop) {
    return stop;
  }
  ADD_FAILURE() << "no stop for " << arg;
  return {};
}

// The messages, and identifiers cut to 32 characters or given with a
// directory, are checked on the command line (tests/e2e).
TEST(RunIdentifier, MixedSeparatorsAndModelMessagesForBadArguments) {
  EXPECT_EQ(runIdFromArgument("a/b\\Ditch_2"), "Ditch_2");
  // Everything from the first full stop must be the extension.
  EXPECT_EQ(earlyStopOf("ditch.1.kvn").lines,
            std::vector<std::string>{" Extension of input file should be .kvn"});
  for (const char* empty : {"", "runs/", ".kvn", "C:\\runs\\"}) {
    const EarlyStop usage = earlyStopOf(empty);
    EXPECT_EQ(usage.text, "Please specify a RunID") << empty;
    EXPECT_TRUE(usage.beep);
    EXPECT_EQ(usage.lines.size(), 6u);
  }
}

// The four editions themselves are those of the examples (tests/e2e).
TEST(Edition, CallingProgramNamesTheEdition) {
  EXPECT_EQ(editionOf("xMERIXKORVANx"), "MERIX");
  EXPECT_EQ(editionOf("FOCUS"), "FOCUS");
  EXPECT_EQ(editionOf("merixkorvan"), "merixkorvan");  // case matters
}

std::vector<std::string> headerVersionLines(const std::string& callingProgram) {
  TestRun t(callingProgram +
            " CallingProgram\n  v2.1 CallingProgramVersion\n"
            "No OptDelOutFiles\n");
  t.setup();
  t.finish();
  const auto out = t.dir().lines("t.out");
  std::vector<std::string> version;
  for (const auto& line : out) {
    if (line.find("version") != std::string::npos) version.push_back(line);
  }
  return version;
}

// The version lines of the four editions are in the recorded summaries of
// the examples (tests/e2e); FOCUS runs are not among them.
TEST(ReportHeader, VersionLinesOfFocusRuns) {
  EXPECT_EQ(headerVersionLines("focus"),
            std::vector<std::string>{"* KORVAN model version    : 3.3.1-R"});
  EXPECT_EQ(headerVersionLines("FOCUS_A"),
            std::vector<std::string>{"* KORVAN model version    : 3.3.1-A"});
}

TEST(ReportHeader, DateAndRunTimeFromTheLocalClock) {
  TestRun t(testing::minimalInput());
  t.setup();
  t.run().options().optDelOutFiles();  // read before the run time, as the run driver does
  t.run().runSetup().noteStart();
  t.run().runSetup().bannerEnd();  // the test clock stands still: 0 minutes, 0 seconds
  t.finish();
  const auto log = t.dir().lines("t.log");
  EXPECT_EQ(log[8], "* Input file generated on : 05-12-2026");
  EXPECT_EQ(log.back(), "*  The run time was   0 minutes and  0 seconds");
  EXPECT_NE(t.console().find(" End of KORVAN\n The run time was   0 minutes and  0 seconds\n"),
            std::string::npos);
}

TEST(Messages, WarningsGoToTheLogOnly) {
  TestRun t(testing::minimalInput());
  t.setup();
  t.run().options().optDelOutFiles();
  Messages& m = t.run().messages();
  EXPECT_FALSE(m.warningsOccurred());
  m.warning("Balance", "Mass balance error", "", "of 1.5 %");
  EXPECT_TRUE(m.warningsOccurred());
  EXPECT_EQ(t.finish(), kExitNormal);
  EXPECT_FALSE(t.dir().exists("t.err"));  // a warning writes nothing there

  const auto log = t.dir().lines("t.log");
  const std::vector<std::string> block(log.end() - 4, log.end());
  EXPECT_EQ(block,
            (std::vector<std::string>{
                " ###### Warning ########################################################",
                "Mass balance error", "of 1.5 %",
                " #######################################################################"}));
}

TEST(Messages, LevelOneErrorsAreReportedAndTheRunGoesOn) {
  TestRun t(testing::minimalInput());
  t.setup();
  t.run().messages().report("RdTable", "SortOrder must be Up or Down");
  EXPECT_EQ(t.run().units().file(Unit::Error).path().filename(), "t.err");
  t.run().units().file(Unit::Error).flush();
  EXPECT_EQ(t.dir().read("t.err"), "SortOrder must be Up or Down\n");
  EXPECT_EQ(t.finish(), kExitNormal);
}

TEST(FreeFil, LowestFreeUnitAndAMessageWhenAllAreTaken) {
  TestRun t(testing::minimalInput());
  t.setup();
  korvan::Run& run = t.run();
  EXPECT_EQ(static_cast<int>(run.freeFil()), 26);
  for (int n = 26; n <= 100; ++n) {
    run.units().create(static_cast<Unit>(n), "unit" + std::to_string(n) + ".txt");
  }
  const auto err = t.expectFatal([&] { run.freeFil(); });
  EXPECT_EQ(err, (std::vector<std::string>{"Cannot find a free file",
                                           "There may be too many opened files"}));
}

TEST(TwoRuns, LiveSideBySideInOneProcess) {
  TestRun a(testing::minimalInput());
  TestRun b("ZRKORVAN CallingProgram\n2 CallingProgramVersion\nNo OptDelOutFiles\n", "other");
  a.setup();
  b.setup();
  EXPECT_EQ(a.run().identity().callingProgram(), "MERIX");
  EXPECT_EQ(b.run().identity().callingProgram(), "ZR");
  EXPECT_EQ(b.run().identity().runId(), "other");
  b.run().messages().warning("x", "only in b");
  EXPECT_FALSE(a.run().messages().warningsOccurred());
  EXPECT_EQ(a.finish(), kExitNormal);
  EXPECT_EQ(b.finish(), kExitNormal);
}

}  // namespace
}  // namespace korvan
