// The table of the run's open files. Every file of a run is opened on a unit
// number: the run's main files on fixed units, all others on the lowest free
// unit from 26 to 100. Termination closes whatever is still open.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "core/text_file.hpp"

namespace korvan {

enum class Unit : int {
  Input = 20,
  Output = 21,
  Log = 22,
  Summary = 23,
  Error = 24,
  Hydrology = 25,
  Temperature = 26,
};

inline constexpr int kFirstUnit = 20;
inline constexpr int kFirstFreeUnit = 26;
inline constexpr int kLastUnit = 100;

class UnitTable {
 public:
  explicit UnitTable(std::filesystem::path dir) : dir_(std::move(dir)) {}

  const std::filesystem::path& directory() const { return dir_; }

  // Opens an existing file for reading; throws FileError when it cannot.
  TextFile& open(Unit unit, std::string_view name);
  // Deletes any file of that name and creates it new for writing.
  TextFile& create(Unit unit, std::string_view name);

  bool isOpen(Unit unit) const;
  // The open file on the unit; throws FileError when none is open.
  TextFile& file(Unit unit);
  void close(Unit unit);
  // Closes the unit and deletes its file.
  void closeAndDelete(Unit unit);
  // Closes every open unit from the highest down; a failed write is reported
  // only after all are closed.
  void closeAll();

  // The lowest unit from 26 to 100 that is not open.
  std::optional<Unit> lowestFree() const;

  // The names of the work files ("*.tmp") that the run has created, so that
  // an error end can delete them all.
  const std::set<std::string>& createdWorkFiles() const { return workFiles_; }

 private:
  std::unique_ptr<TextFile>& slot(Unit unit);
  const std::unique_ptr<TextFile>& slot(Unit unit) const;

  std::filesystem::path dir_;
  std::array<std::unique_ptr<TextFile>, kLastUnit - kFirstUnit + 1> files_;
  std::set<std::string> workFiles_;
};

}  // namespace korvan
