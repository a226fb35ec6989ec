// A run set up on an input file, for tests of the readers' fatal messages.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/test_run.hpp"

namespace korvan::testing {

// The lines of the error file after the action on a run set up on the input.
inline std::vector<std::string> fatalLines(const std::string& input,
                                           const std::function<void(TestRun&)>& action) {
  TestRun t(input);
  t.setup();
  return t.expectFatal([&] { action(t); });
}

}  // namespace korvan::testing
