#include "core/console.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace korvan {
namespace {

TEST(Console, TerminalRowsUseCursorPositioning) {
  std::ostringstream out;
  Console console(out, true);
  console.line(4, "Cannot find record X");
  console.beep();
  console.stop("End of program");
  // Prepared once (clear, home), then row 4 is screen line 5, cleared before
  // writing; the stop text stands at row 20.
  EXPECT_EQ(out.str(),
            "\x1b[2J\x1b[H"
            "\x1b[5;1H\x1b[2KCannot find record X"
            "\a"
            "\x1b[21;1HEnd of program\n");
}

TEST(Console, ScreenModeTwoShowsOnlyTheStopTexts) {
  std::ostringstream out;
  Console console(out, true);
  console.setScreenMode(2);
  console.clear();
  console.line(2, " An error was found in file t.kvn");
  console.say(" Extension of input file should be .kvn");
  console.stop("An error occurred - program stopped");
  EXPECT_EQ(out.str(),
            " Extension of input file should be .kvn\nAn error occurred - program stopped\n");
}

}  // namespace
}  // namespace korvan
