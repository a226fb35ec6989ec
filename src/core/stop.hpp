// The two ways a run stops before its natural end. Both are thrown to the top
// of the run, which performs the stop: a run never ends from deep inside.
#pragma once

#include <string>
#include <vector>

namespace korvan {

// A fatal error has been reported (console and error file); the run ends
// through termination with this status.
struct RunStop {
  int status = -1;
};

// The run stops before any report file exists (a bad run identifier, no input
// file): the lines are shown on the console in any screen mode, then the stop
// text when there is one.
struct EarlyStop {
  std::vector<std::string> lines;
  std::string text;
  bool beep = false;
  // Shown after the stop text: what the run looked for, so that the user can
  // tell a wrong folder from a wrong name.
  std::string hint;
};

}  // namespace korvan
