// Fuzz target: the date readers. The pure parsers of the input-file and
// field-model date forms with the calendar conversions of what they accept,
// and the run's readers with their messages (RdDate, StrToDate). The first
// byte chooses the hour step of the clock.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.hpp"
#include "fuzz/fuzz_run.hpp"
#include "input/calendar.hpp"
#include "input/dates.hpp"
#include "input/sim_clock.hpp"

namespace korvan::fuzz {
namespace {

// A date of the input file that the parser accepts lies on the calendar: the
// date text of its time reads back to the same time.
void checkRoundTrip(const calendar::ParsedDate& parsed) {
  if (parsed.status != calendar::DateStatus::Ok) return;
  const calendar::DateRecord& d = parsed.date;
  if (d.year < 1900 || d.year > 9999 || d.day < 1) return;
  const double time = calendar::timeOfDate(d);
  calendar::dateOfTime(time);
  calendar::dateTextNumeric(time);
  calendar::fractionalYear(time);
  calendar::periodLength(calendar::Period::Decade, time);
  const std::string text(trim(calendar::dateText(time)));
  const calendar::ParsedDate back = calendar::parseInputDate(text);
  if (back.status != calendar::DateStatus::Ok || calendar::timeOfDate(back.date) != time) {
    std::abort();
  }
}

}  // namespace
}  // namespace korvan::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvan;
  using namespace korvan::fuzz;
  const Input in = split(data, size);
  const std::string text(in.rest);
  fuzz::checkRoundTrip(calendar::parseInputDate(text));
  const calendar::ParsedDate stamp = calendar::parseDateText(text);
  if (stamp.status == calendar::DateStatus::Ok && std::isfinite(stamp.date.year) &&
      std::fabs(stamp.date.year) < 1e6) {
    calendar::dateText(calendar::timeOfDate(stamp.date));
  }

  // The run's readers, with the messages for texts that are not dates; the
  // hour of a date counts in steps of the clock.
  const double steps[] = {0.0, 1.0, kHour, kTenMinutes};
  const double step = steps[in.selector % std::size(steps)];
  FuzzRun run(requiredRecords());
  run.exercise([&](Run& r) {
    r.clock().setTimeStep(step);
    if (in.selector & 0x80) {
      r.dates().strToDate(text);
    } else {
      r.dates().rdDate(text, "TimStart");
    }
  });
  return 0;
}
