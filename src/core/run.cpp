#include "core/run.hpp"

#include <iostream>

#include "core/console.hpp"
#include "core/messages.hpp"

namespace korvan {

Run::Run(Environment env)
    : env_(std::move(env)),
      console_(std::make_unique<Console>(env_.console ? *env_.console : std::cout, env_.terminal)),
      units_(env_.workDir),
      messages_(std::make_unique<Messages>(*this)) {}

Run::~Run() = default;

std::string Run::workDirText() const { return env_.workDir.string(); }

Unit Run::freeFil() {
  if (auto unit = units_.lowestFree()) return *unit;
  messages_->fatal("FreeFil", "Cannot find a free file", "There may be too many opened files");
}

void Run::deleteFile(std::string_view name) { platform::removeFile(env_.workDir, name); }

}  // namespace korvan
