#include "core/messages.hpp"

#include "core/console.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/stop.hpp"
#include "core/text.hpp"

namespace korvan {

namespace {

// A message line holds at most 250 characters.
constexpr std::size_t kLineLength = 250;

constexpr std::string_view kWarningOpen =
    " ###### Warning ########################################################";
constexpr std::string_view kWarningRule =
    " #######################################################################";

}  // namespace

void Messages::fill(int level, std::string_view routine, std::string_view l1,
                    std::string_view l2, std::string_view l3) {
  record_.level = level;
  record_.routine = std::string(routine.substr(0, 32));
  record_.lines = {std::string(l1.substr(0, kLineLength)), std::string(l2.substr(0, kLineLength)),
                   std::string(l3.substr(0, kLineLength))};
}

void Messages::fatal() {
  // While missing records are collected, values stand in for them; any error
  // that follows may come from those values, so it ends the collection in
  // silence.
  if (run_.collectingMissingRecords()) {
    if (record_.level == 1) return;
    throw RunStop{record_.level};
  }
  Console& console = run_.console();
  if (console.isOn()) {
    console.clear();
    console.line(2, " An error was found in file " + run_.identity().runId() +
                        std::string(kExtInput));
  }
  UnitTable& units = run_.units();
  for (int i = 0; i < 3; ++i) {
    // Lines are written as the module gave them; a blank line is not shown.
    const std::string& text = record_.lines[static_cast<std::size_t>(i)];
    if (isBlank(text)) continue;
    console.line(4 + i, text);
    if (units.isOpen(Unit::Error)) {
      // The error file must hold the message even when the run dies next.
      try {
        units.file(Unit::Error).writeLine(text);
        units.file(Unit::Error).flush();
      } catch (const FileError&) {
        // Nothing more can be done than what the console shows.
      }
    }
  }
  if (record_.level == 1) return;
  throw RunStop{record_.level};
}

void Messages::fatal(std::string_view routine, std::string_view line1, std::string_view line2,
                     std::string_view line3) {
  fill(-1, routine, line1, line2, line3);
  fatal();
  throw RunStop{-1};  // not reached: a level -1 record always stops
}

void Messages::report(std::string_view routine, std::string_view line1, std::string_view line2,
                      std::string_view line3) {
  fill(1, routine, line1, line2, line3);
  fatal();
}

void Messages::warning() {
  if (run_.collectingMissingRecords()) return;  // the values may be stand-ins
  warnings_ = true;
  Console& console = run_.console();
  console.line(19, " WARNING ");
  TextFile& log = run_.log();
  log.writeLine(kWarningOpen);
  for (int i = 0; i < 3; ++i) {
    // Lines are written as the module gave them; a blank line is not shown.
    const std::string& text = record_.lines[static_cast<std::size_t>(i)];
    if (isBlank(text)) continue;
    console.line(20 + i, text);
    log.writeLine(text);
  }
  log.writeLine(kWarningRule);
}

void Messages::warning(std::string_view routine, std::string_view line1, std::string_view line2,
                       std::string_view line3) {
  fill(1, routine, line1, line2, line3);
  warning();
}

void Messages::warningNotice() {
  if (!warnings_) return;
  TextFile& summary = run_.summary();
  summary.writeLine("");
  summary.writeLine("");
  summary.writeLine(kWarningRule);
  summary.writeLine(" ### Warning(s) during simulaton. See runID.log file for warning(s). ###");
  summary.writeLine(kWarningRule);
}

}  // namespace korvan
