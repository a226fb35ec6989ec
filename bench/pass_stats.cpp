// Runs the model in-process on RunId.kvn in the current folder and prints
// the work the sediment solver did and the wall time of the run:
//
//   seconds=<s> substeps=<n> cell_iterations=<n> exit=<status>
//
// bench/run.sh runs it on a scenario whose hydrology and temperature are
// read back (OptHyd and OptTem OffLine), so that the time is that of the
// substance pass. A cell is one sediment layer under one segment for one
// compound; a cell iteration is one evaluation of its end-of-step storage.
#include <chrono>
#include <iostream>
#include <sstream>
#include <unistd.h>

#include "core/platform.hpp"
#include "driver/model_run.hpp"
#include "substance/substance_cycle.hpp"
#include "substance/sediment_solver.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: korvan_pass_stats RunId\n";
    return 2;
  }
  std::ostringstream console;
  korvan::Environment env;
  env.workDir = korvan::platform::currentWorkingDirectory();
  env.args.emplace_back(argv[1]);
  env.console = &console;
  env.terminal = false;
  korvan::ModelRun run(std::move(env));
  const auto start = std::chrono::steady_clock::now();
  const int status = run.execute();
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const korvan::SedimentSolver& sed = run.substance().sediment();
  std::cout << "seconds=" << seconds.count() << " substeps=" << sed.numSteps()
            << " cell_iterations=" << sed.numCellIterations() << " exit=" << status << "\n";
  return status;
}
