// The korvan program: one run of the model for the run identifier on the
// command line, in the current working directory. `--help`, `--version` and
// `--template` answer without touching any file; every other argument is a
// run identifier.
#include <unistd.h>

#include <iostream>
#include <string>
#include <string_view>

#include "core/platform.hpp"
#include "driver/model_run.hpp"
#include "driver/run_setup.hpp"
#include "driver/templates.hpp"

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
    "  --version  show the model version, its date and the date this program was compiled\n"
    "  --template EDITION WATERSYSTEM\n"
    "             print a complete input file to start from; without the two\n"
    "             words, list the combinations\n";

// The date this program was compiled, written as the model writes dates
// (06-Dec-2026); the compiler gives it as "Dec  6 2026".
std::string compileDate() {
  const std::string_view date = __DATE__;
  const std::string day =
      date[4] == ' ' ? "0" + std::string(date.substr(5, 1)) : std::string(date.substr(4, 2));
  return day + "-" + std::string(date.substr(0, 3)) + "-" + std::string(date.substr(7, 4));
}

// `korvan --template [EDITION WATERSYSTEM]`.
int printTemplate(int argc, char** argv) {
  if (argc == 2) {
    std::cout << korvan::templateList();
    return korvan::kExitNormal;
  }
  const auto choice = argc == 4 ? korvan::templateChoice(argv[2], argv[3]) : std::nullopt;
  if (!choice) {
    std::cout << korvan::templateList();
    return korvan::kExitEarlyStop;
  }
  std::cout << korvan::inputTemplate(*choice);
  return korvan::kExitNormal;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == "--template") return printTemplate(argc, argv);
  if (argc == 2) {
    const std::string_view arg = argv[1];
    if (arg == "--help") {
      std::cout << kHelp;
      return korvan::kExitNormal;
    }
    if (arg == "--version") {
      std::cout << "KORVAN model version : " << korvan::kModelVersion << ", created on "
                << korvan::kBuildDate << "\n"
                << "Program compiled on  : " << compileDate() << "\n";
      return korvan::kExitNormal;
    }
  }
  korvan::Environment env;
  env.workDir = korvan::platform::currentWorkingDirectory();
  for (int i = 1; i < argc; ++i) env.args.emplace_back(argv[i]);
  env.console = &std::cout;
  env.terminal = korvan::platform::isTerminal(STDOUT_FILENO);
  korvan::ModelRun run(std::move(env));
  return run.execute();
}
