// The korvan program: one run of the model for the run identifier on the
// command line, in the current working directory.
#include <unistd.h>

#include <iostream>

#include "core/platform.hpp"
#include "driver/run.hpp"

int main(int argc, char** argv) {
  korvan::Environment env;
  env.workDir = korvan::platform::currentWorkingDirectory();
  for (int i = 1; i < argc; ++i) env.args.emplace_back(argv[i]);
  env.console = &std::cout;
  env.terminal = korvan::platform::isTerminal(STDOUT_FILENO);
  korvan::Run run(std::move(env));
  return run.execute();
}
