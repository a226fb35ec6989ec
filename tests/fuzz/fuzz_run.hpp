// Support for the fuzz targets: a run of the model built in-process on a
// folder of the fuzzing process, fed with the files that the fuzzer made.
//
// A fatal error of the model (RunStop, EarlyStop, or a FileError that the run
// turns into its own message) is an ordinary outcome of a bad input: the run
// ends through termination as the program would end it. Anything else that
// escapes the action (another exception, a crash, a sanitizer report) is a
// finding and is left to libFuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/model_run.hpp"

namespace korvan::fuzz {

// The bytes of a fuzz input as text.
inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The bytes of a fuzz input: a selector byte that chooses among the ways of
// use of an entry point, and the rest.
struct Input {
  std::uint8_t selector = 0;
  std::string_view rest;
};
inline Input split(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  return {data[0], asText(data + 1, size - 1)};
}

using Files = std::vector<std::pair<std::string, std::string>>;

class FuzzRun {
 public:
  // Empties the folder of this process, writes RunId.kvn and the further
  // files into it and builds a run on it (not yet set up).
  explicit FuzzRun(std::string_view input, const Files& files = {}, const std::string& runId = "t");
  ~FuzzRun();
  FuzzRun(const FuzzRun&) = delete;
  FuzzRun& operator=(const FuzzRun&) = delete;

  // Sets the run up, calls the action and ends the run normally; a fatal
  // stop on the way ends it with the error status instead.
  void exercise(const std::function<void(Run&)>& action);

 private:
  std::ostringstream console_;
  std::unique_ptr<ModelRun> run_;
};

// The records every input needs (calling program, period, time step), to be
// appended after the fuzzed text so that the fuzzed records come first and
// win.
std::string requiredRecords();

}  // namespace korvan::fuzz
