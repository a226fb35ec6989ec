// The few services of the operating system that the model uses: the local
// clock, the working directory, terminal detection and file names that are
// matched without regard to case (a run writes "korvan.ok" and a caller may
// look for "Korvan.ok": both name one file).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvan::platform {

struct LocalTime {
  int year = 1900;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

LocalTime localTime();
std::string currentWorkingDirectory();
bool isTerminal(int fd);

// The path of a file in a directory: the existing entry whose name equals the
// given one without regard to case (the exact name first), or dir/name when
// there is none.
std::filesystem::path resolve(const std::filesystem::path& dir, std::string_view name);
bool fileExists(const std::filesystem::path& dir, std::string_view name);
// Deletes the file if it exists; a missing file is no error.
void removeFile(const std::filesystem::path& dir, std::string_view name);

}  // namespace korvan::platform
