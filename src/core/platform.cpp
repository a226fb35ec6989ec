#include "core/platform.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <system_error>

namespace korvan::platform {

namespace fs = std::filesystem;

LocalTime localTime() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string currentWorkingDirectory() {
  std::error_code ec;
  const fs::path cwd = fs::current_path(ec);
  return ec ? std::string(".") : cwd.string();
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

fs::path resolve(const fs::path& dir, std::string_view name) {
  fs::path exact = dir / fs::path(std::string(name));
  std::error_code ec;
  if (fs::exists(exact, ec)) return exact;
  // Names with a directory part are resolved as given.
  if (fs::path(std::string(name)).has_parent_path()) return exact;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (sameIgnoringCase(it->path().filename().string(), name)) return it->path();
  }
  return exact;
}

bool fileExists(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  return fs::is_regular_file(resolve(dir, name), ec);
}

void removeFile(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  fs::remove(resolve(dir, name), ec);
}

}  // namespace korvan::platform
