// Input written on Windows: every file of a scenario with CRLF line ends and
// a UTF-8 byte-order mark at its start runs exactly as its LF twin.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/run.hpp"
#include "driver/modules.hpp"
#include "input/sim_clock.hpp"
#include "support/test_run.hpp"
#include "temperature/meteo.hpp"

namespace korvan {
namespace {

using testing::TempDir;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The text with CRLF line ends and a byte-order mark in front.
std::string windowsText(const std::string& text) {
  std::string out(kByteOrderMark);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// The lines of a file but those that hold the place of the run or the time
// it took, which differ between any two runs.
std::vector<std::string> comparableLines(const TempDir& dir, const std::string& name) {
  auto out = dir.lines(name);
  std::erase_if(out, [](const std::string& line) {
    return line.find("Working directory") != std::string::npos ||
           line.find("The run time was") != std::string::npos;
  });
  return out;
}

class WindowsInput : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowsInput, RunsExactlyAsItsUnixTwin) {
  const std::string id = GetParam();
  TempDir unix, windows;
  testing::copyExample(unix, id);
  testing::setTimEnd(unix, id + ".kvn", testing::kShortTimEnd);
  const std::vector<std::string> inputs = unix.files();
  for (const auto& name : inputs) windows.write(name, windowsText(unix.read(name)));
  ASSERT_TRUE(testing::runsNormally(unix, id));
  ASSERT_TRUE(testing::runsNormally(windows, id));

  // Every file the run wrote, line by line.
  EXPECT_EQ(windows.files(), unix.files());
  for (const auto& name : unix.files()) {
    if (testing::hasLine(inputs, name)) continue;
    SCOPED_TRACE(name);
    const auto expected = comparableLines(unix, name);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(comparableLines(windows, name), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, WindowsInput,
                         ::testing::Values("ditch", "stream", "greenhouse", "orlan_pond"));

// The byte-order mark sits before the first record of the input file and
// before the first record of a weather file without a header, where a
// reader sees it unless it is dropped.
TEST(WindowsInputFirstLine, ByteOrderMarkBeforeTheFirstRecordIsNotPartOfIt) {
  std::string input = testing::minimalInput(
      "Sta MeteoStation\nDaily OptMetInp\n0 TimZone (-)\n52 LocLat (Degrees)\n"
      "0 LocLong (Degrees)\n10 MetLvlRef (m)\n10 MetLvlObs (m)\n");
  // TimStart first, so that the mark would spoil the date; one day.
  input = "01-Jan-1980 TimStart\n01-Jan-1980 TimEnd\n" + input;
  testing::TestRun t(windowsText(input));
  t.dir().write("Sta.met", windowsText("Sta 1980 1 1 8640 10 0.8 0.6 3 101.0 8.64 1.728\n"
                                       "Sta 1980 1 2 8640 11 0.8 0.6 3 101.0 8.64 1.728\n"));
  t.setup();
  t.run().clock().readSettings();
  EXPECT_EQ(t.run().clock().timStart(), 29219.0);  // 01-Jan-1980
  t.run().clock().setTimeStep(kHour);
  t.run().meteo().task(Task::Initialise);
  EXPECT_NEAR(t.run().meteo().temAirRef(), 283.15, 1e-12);  // 10 C of the first record
  EXPECT_EQ(t.finish(), kExitNormal);
}

}  // namespace
}  // namespace korvan
