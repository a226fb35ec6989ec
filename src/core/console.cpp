#include "core/console.hpp"

#include <string>

namespace korvan {

namespace {

constexpr int kRows = 41;
constexpr int kStopRow = 20;

}  // namespace

void Console::prepare() {
  if (prepared_ || !terminal_) return;
  prepared_ = true;
  out_ << "\x1b[2J\x1b[H";
}

void Console::moveTo(int row) {
  if (row < 0) row = 0;
  if (row >= kRows) row = kRows - 1;
  out_ << "\x1b[" << row + 1 << ";1H";
}

void Console::line(int row, std::string_view text) {
  if (!isOn()) return;
  if (terminal_) {
    prepare();
    moveTo(row);
    out_ << "\x1b[2K" << text;
    out_.flush();
  } else if (!text.empty() && text.find_first_not_of(' ') != std::string_view::npos) {
    out_ << text << '\n';
  }
}

void Console::clear() {
  if (!isOn() || !terminal_) return;
  prepared_ = true;
  out_ << "\x1b[2J\x1b[H";
  out_.flush();
}

void Console::beep() {
  if (!terminal_) return;
  out_ << '\a';
  out_.flush();
}

void Console::say(std::string_view text) {
  out_ << text << '\n';
  out_.flush();
}

void Console::stop(std::string_view text) {
  if (terminal_ && prepared_) moveTo(kStopRow);
  out_ << text << '\n';
  out_.flush();
}

}  // namespace korvan
