#include "input/dates.hpp"

#include <string>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"
#include "input/sim_clock.hpp"

namespace korvan {

double Dates::rdDate(std::string_view text, std::string_view keyword) {
  const calendar::ParsedDate parsed = calendar::parseInputDate(text);
  Messages& messages = run_.messages();
  const std::string key(keyword);
  switch (parsed.status) {
    case calendar::DateStatus::Ok:
      break;
    case calendar::DateStatus::BadMonth:
      messages.fatal("RdDate", "Illegal month in record " + key);
    case calendar::DateStatus::IllegalDay:
      messages.fatal("RdDate", "The following date is illegal:", std::string(trim(text)));
    case calendar::DateStatus::BadFormat:
      messages.fatal("RdDate", "Fatal while reading record " + key,
                     "Format must be dd-mmm-yyyy, dd-mmm or xx-Emgddd, and",
                     "number of applications in kvn and lateral entry file must be equal");
  }
  return calendar::timeOfDate(parsed.date) + parsed.date.hour * run_.clock().delTim();
}

calendar::DateRecord Dates::strToDate(std::string_view text) {
  const calendar::ParsedDate parsed = calendar::parseDateText(text);
  switch (parsed.status) {
    case calendar::DateStatus::Ok:
    case calendar::DateStatus::IllegalDay:
      break;
    case calendar::DateStatus::BadMonth:
      run_.messages().fatal("StrToDate", "Illegal month in record StrToDate");
    case calendar::DateStatus::BadFormat:
      run_.messages().fatal("StrToDate", " Fatal while converting date",
                            " Format must be dd-mmm-yyyy ");
  }
  return parsed.date;
}

}  // namespace korvan
