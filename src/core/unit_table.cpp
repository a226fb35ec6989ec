#include "core/unit_table.hpp"

#include <optional>
#include <string>
#include <system_error>

#include "core/platform.hpp"

namespace korvan {

namespace {

int index(Unit unit) {
  const int n = static_cast<int>(unit);
  if (n < kFirstUnit || n > kLastUnit) {
    throw FileError("Unit number out of range " + std::to_string(n), {});
  }
  return n - kFirstUnit;
}

}  // namespace

std::unique_ptr<TextFile>& UnitTable::slot(Unit unit) {
  return files_[static_cast<std::size_t>(index(unit))];
}

const std::unique_ptr<TextFile>& UnitTable::slot(Unit unit) const {
  return files_[static_cast<std::size_t>(index(unit))];
}

TextFile& UnitTable::open(Unit unit, std::string_view name) {
  auto& s = slot(unit);
  s.reset();
  s = std::make_unique<TextFile>(platform::resolve(dir_, name), TextFile::Mode::Read);
  return *s;
}

TextFile& UnitTable::create(Unit unit, std::string_view name) {
  auto& s = slot(unit);
  s.reset();
  platform::removeFile(dir_, name);
  s = std::make_unique<TextFile>(dir_ / std::string(name), TextFile::Mode::Write);
  if (name.ends_with(".tmp")) workFiles_.emplace(name);
  return *s;
}

bool UnitTable::isOpen(Unit unit) const { return slot(unit) != nullptr; }

TextFile& UnitTable::file(Unit unit) {
  auto& s = slot(unit);
  if (!s) throw FileError("No file open on unit " + std::to_string(static_cast<int>(unit)), {});
  return *s;
}

void UnitTable::close(Unit unit) {
  auto& s = slot(unit);
  if (!s) return;
  std::unique_ptr<TextFile> f = std::move(s);
  f->close();
}

void UnitTable::closeAndDelete(Unit unit) {
  auto& s = slot(unit);
  if (!s) return;
  std::unique_ptr<TextFile> f = std::move(s);
  const std::filesystem::path path = f->path();
  try {
    f->close();
  } catch (const FileError&) {
    // The file is deleted anyway: a failed write does not matter any more.
  }
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

void UnitTable::closeAll() {
  std::optional<FileError> firstFailure;
  for (int n = kLastUnit; n >= kFirstUnit; --n) {
    try {
      close(static_cast<Unit>(n));
    } catch (const FileError& e) {
      if (!firstFailure) firstFailure = e;
    }
  }
  if (firstFailure) throw *firstFailure;
}

std::optional<Unit> UnitTable::lowestFree() const {
  for (int n = kFirstFreeUnit; n <= kLastUnit; ++n) {
    if (!files_[static_cast<std::size_t>(n - kFirstUnit)]) return static_cast<Unit>(n);
  }
  return std::nullopt;
}

}  // namespace korvan
