// The console display. On a terminal the model writes its messages at fixed
// rows of the screen (ANSI cursor positioning); when the output goes to a
// file or a pipe each message is one plain line. Screen mode 2 (the input
// file mentions IOMode_StdOut) switches all of it off except the final stop
// texts.
#pragma once

#include <ostream>
#include <string_view>

namespace korvan {

class Console {
 public:
  Console(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

  // 1 = console output on, 2 = off.
  void setScreenMode(int mode) { screenMode_ = mode; }
  int screenMode() const { return screenMode_; }
  bool isOn() const { return screenMode_ == 1; }

  // Writes the text at a row of the screen (rows from 0 at the top); in
  // screen mode 2 nothing.
  void line(int row, std::string_view text);
  // Clears the screen; in screen mode 2 nothing.
  void clear();
  // Sounds the bell, on a terminal only.
  void beep();
  // A text shown in either screen mode: the run-identifier messages.
  void say(std::string_view text);
  // The last text of a run, shown in either screen mode at row 20.
  void stop(std::string_view text);

 private:
  void prepare();
  void moveTo(int row);

  std::ostream& out_;
  bool terminal_;
  int screenMode_ = 1;
  bool prepared_ = false;
};

}  // namespace korvan
