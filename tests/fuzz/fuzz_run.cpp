#include "fuzz/fuzz_run.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "core/stop.hpp"
#include "core/text_file.hpp"

namespace korvan::fuzz {

namespace fs = std::filesystem;

namespace {

// One folder per fuzzing process, removed when the process ends normally.
class Folder {
 public:
  Folder()
      : path_(fs::temp_directory_path() / ("korvan_fuzz_" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The folder, emptied of what the previous input left.
  const fs::path& fresh() const {
    for (const auto& entry : fs::directory_iterator(path_)) {
      std::error_code ec;
      fs::remove_all(entry.path(), ec);
    }
    return path_;
  }

 private:
  fs::path path_;
};

const fs::path& freshFolder() {
  static const Folder folder;
  return folder.fresh();
}

void writeFile(const fs::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

}  // namespace

FuzzRun::FuzzRun(std::string_view input, const Files& files, const std::string& runId) {
  const fs::path& dir = freshFolder();
  writeFile(dir / (runId + ".kvn"), input);
  for (const auto& [name, content] : files) writeFile(dir / name, content);
  Environment env;
  env.workDir = dir;
  env.args = {runId};
  env.console = &console_;
  env.terminal = false;
  env.now = [] { return platform::LocalTime{2026, 12, 5, 10, 30, 15}; };
  run_ = std::make_unique<ModelRun>(std::move(env));
}

FuzzRun::~FuzzRun() = default;

void FuzzRun::exercise(const std::function<void(Run&)>& action) {
  ModelRun& run = *run_;
  try {
    run.setup();
    action(run);
    run.terminate(0);
  } catch (const RunStop& stop) {
    run.terminate(stop.status == 0 ? -1 : stop.status);
  } catch (const EarlyStop&) {
    // The run could not start (its own console message); nothing to end.
  } catch (const FileError& e) {
    // A file of the run that cannot be opened or written is reported by the
    // run as its own fatal message. A file error without a file is a unit
    // that the code used without opening it: a fault of the program.
    if (e.path().empty()) {
      std::fprintf(stderr, "file error without a file: %s\n", e.what());
      std::abort();
    }
    run.terminate(-1);
  }
}

std::string requiredRecords() {
  return "\nMERIXKORVAN CallingProgram\n"
         "1.0 CallingProgramVersion\n"
         "01-Jan-1980 TimStart\n"
         "02-Jan-1980 TimEnd\n"
         "Day OptDelTimPrn\n"
         "Hourly OptInp\n"
         "No OptDelOutFiles\n";
}

}  // namespace korvan::fuzz
