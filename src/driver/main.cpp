// The korvan program: one run of the model for the run identifier on the
// command line, in the current working directory. `--help`, `--version` and
// `--template` answer without touching any file; every other argument is a
// run identifier.
#include <unistd.h>

#include <charconv>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.hpp"
#include "driver/model_run.hpp"
#include "driver/run_setup.hpp"
#include "driver/templates.hpp"

namespace {

constexpr std::string_view kHelp =
    "Usage: korvan [--threads N] RunId\n"
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
    "  --threads N  solve the sediment columns on N threads (default: the value of\n"
    "             OMP_NUM_THREADS, else 1); the results do not depend on it\n"
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

// Takes `--threads N` (or `--threads=N`) out of the arguments: the threads of
// the sediment solve, 1 to 1024; 0 when absent, -1 when the value is bad.
int takeThreads(std::vector<std::string>& args) {
  int threads = 0;
  for (std::size_t n = 0; n < args.size();) {
    std::string value;
    std::size_t taken = 1;
    if (args[n] == "--threads") {
      if (n + 1 == args.size()) return -1;
      value = args[n + 1];
      taken = 2;
    } else if (args[n].starts_with("--threads=")) {
      value = args[n].substr(10);
    } else {
      ++n;
      continue;
    }
    int parsed = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (ec != std::errc{} || end != value.data() + value.size() || parsed < 1 || parsed > 1024) {
      return -1;
    }
    threads = parsed;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(n),
               args.begin() + static_cast<std::ptrdiff_t>(n + taken));
  }
  return threads;
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
  env.threads = takeThreads(env.args);
  if (env.threads < 0) {
    std::cout << "korvan: --threads takes a whole number of threads from 1 to 1024\n\n" << kHelp;
    return korvan::kExitEarlyStop;
  }
  env.console = &std::cout;
  env.terminal = korvan::platform::isTerminal(STDOUT_FILENO);
  korvan::ModelRun run(std::move(env));
  return run.execute();
}
