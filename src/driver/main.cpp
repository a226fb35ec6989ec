// The korvan program: one run of the model for the run identifier on the
// command line, in the current working directory. `--help` and `--version`
// answer without touching any file; every other argument is a run
// identifier.
#include <unistd.h>

#include <iostream>
#include <string_view>

#include "core/platform.hpp"
#include "driver/run.hpp"
#include "driver/run_setup.hpp"

namespace {

constexpr std::string_view kHelp =
    "Usage: korvan RunId\n"
    "\n"
    "Simulates the fate of pesticides in a small surface water for the input\n"
    "file RunId.kvn in the current folder and writes RunId.out (time series),\n"
    "RunId.sum (summary report), RunId.log, RunId.hyd and RunId.tem (hydrology\n"
    "and water temperature for reuse), RunId.err after an error, and korvan.ok\n"
    "after a normal end.\n"
    "\n"
    "Exit status: 0 normal end; 1 the run stopped on an error (see RunId.err);\n"
    "2 no or bad run identifier, or no input file; 3 the run could not end in order.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the model version and the build date\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) {
    const std::string_view arg = argv[1];
    if (arg == "--help") {
      std::cout << kHelp;
      return korvan::kExitNormal;
    }
    if (arg == "--version") {
      std::cout << "KORVAN model version " << korvan::kModelVersion << ", built " << __DATE__
                << "\n";
      return korvan::kExitNormal;
    }
  }
  korvan::Environment env;
  env.workDir = korvan::platform::currentWorkingDirectory();
  for (int i = 1; i < argc; ++i) env.args.emplace_back(argv[i]);
  env.console = &std::cout;
  env.terminal = korvan::platform::isTerminal(STDOUT_FILENO);
  korvan::Run run(std::move(env));
  return run.execute();
}
