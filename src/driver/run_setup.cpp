#include "driver/run_setup.hpp"

#include <array>
#include <string>

#include "core/console.hpp"
#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/stop.hpp"
#include "core/text.hpp"
#include "driver/model_run.hpp"
#include "input/records.hpp"

namespace korvan {

namespace {

constexpr std::string_view kAllowedRunIdCharacters =
    "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_ ";
constexpr std::size_t kMaxArgument = 250;
constexpr std::size_t kMaxRunId = 32;
constexpr std::string_view kRule =
    "* ------------------------------------------------------------------------------";

EarlyStop usageStop() {
  return EarlyStop{{"* Error: Improper model call. Model should be called as follows:", "* ",
                    "* Korvan model RunId", "* ",
                    "* where RunId is the name of the kvn file without extension.", "* "},
                   "Please specify a RunID",
                   true};
}

std::string twoDigits(int n) {
  std::string s = std::to_string(n % 100);
  return s.size() < 2 ? "0" + s : s;
}

// The banner: large letters, a title and framing rules in rows 1 to 15.
constexpr std::array<std::string_view, 13> kBanner = {
    " ------------------------------------------------------------------------------",
    "",
    "   K   K   OOO   RRRR   V   V   AAA   N   N",
    "   K  K   O   O  R   R  V   V  A   A  NN  N",
    "   KKK    O   O  RRRR   V   V  AAAAA  N N N",
    "   K  K   O   O  R  R    V V   A   A  N  NN",
    "   K   K   OOO   R   R    V    A   A  N   N",
    "",
    "   Fate of pesticides in small surface waters",
    "",
    " ------------------------------------------------------------------------------",
    "",
    "",
};

}  // namespace

std::string runIdFromArgument(std::string_view argument) {
  std::string_view text = argument.substr(0, kMaxArgument);
  const auto separator = text.find_last_of("\\/");
  if (separator != std::string_view::npos) text = text.substr(separator + 1);
  text = trim(text);

  const auto dot = text.find('.');
  if (dot != std::string_view::npos) {
    if (text.substr(dot) != kExtInput) {
      throw EarlyStop{{" Extension of input file should be " + std::string(kExtInput)}, "", false};
    }
    text = trimRight(text.substr(0, dot));
  }
  if (text.find_first_not_of(kAllowedRunIdCharacters) != std::string_view::npos) {
    throw EarlyStop{{" Invalid character in run name",
                     " Only alphanumeric characters and underscore allowed"},
                    "",
                    false};
  }
  if (text.empty()) throw usageStop();
  return std::string(trimRight(text.substr(0, kMaxRunId)));
}

std::string editionOf(std::string_view callingProgram) {
  std::string text(callingProgram);
  constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kEditions = {{
      {"MERIXKORVAN", "MERIX"},
      {"ORLANKORVAN", "Orlan"},
      {"ZRKORVAN", "ZR"},
      {"BRAXKORVAN", "BRAX"},
  }};
  for (const auto& [name, edition] : kEditions) {
    if (text.find(name) != std::string::npos) text = edition;
  }
  return text;
}

void RunSetup::startUp() {
  run_.deleteFile("Korvan.ok");
  today_ = run_.environment().now();
  const auto& args = run_.environment().args;
  runId_ = runIdFromArgument(args.empty() ? std::string_view{} : std::string_view(args.front()));

  UnitTable& units = run_.units();
  TextFile* input = nullptr;
  try {
    input = &units.open(Unit::Input, fileName(kExtInput));
  } catch (const FileError&) {
    throw EarlyStop{{},
                    "Illegal run id - no error file generated",
                    false,
                    " No file " + fileName(kExtInput) + " in the folder " + run_.workDirText() +
                        " (korvan reads its input from the current folder)"};
  }

  // A mention of IOMode_StdOut anywhere, in a comment too, silences the console.
  Console& console = run_.console();
  console.setScreenMode(1);
  for (std::string line; input->readLine(line);) {
    if (line.find("IOMode_StdOut") != std::string::npos) {
      console.setScreenMode(2);
      break;
    }
  }
  input->rewind();

  units.create(Unit::Error, fileName(kExtError));
  units.create(Unit::Output, fileName(kExtOutput));
  units.create(Unit::Log, fileName(kExtLog));
  units.create(Unit::Summary, fileName(kExtSummary));

  Records& records = run_.records();
  const std::string calledBy = records.readText("CallingProgram");
  callingProgram_ = editionOf(calledBy);
  if (!isEdition(callingProgram_)) warnUnknownEdition(calledBy);
  callingProgramVersion_ = std::string(trim(records.readText("CallingProgramVersion")));

  bannerStart();
  writeHeader(Unit::Output);
  writeHeader(Unit::Log);
  writeHeader(Unit::Summary);
}

bool isEdition(std::string_view edition) {
  return edition == "MERIX" || edition == "Orlan" || edition == "ZR" || edition == "BRAX";
}

void RunSetup::warnUnknownEdition(std::string_view calledBy) {
  run_.messages().warning("GetCallingProgram",
                          "CallingProgram " + std::string(calledBy) + " is not a KORVAN edition",
                          "The editions are MERIXKORVAN, ORLANKORVAN, ZRKORVAN and BRAXKORVAN",
                          "Without an edition the run has none of their checks and reports");
}

void RunSetup::writeHeader(Unit unit) {
  TextFile& file = run_.units().file(unit);
  const std::string program(trimRight(callingProgram_));
  const std::string version(trimRight(callingProgramVersion_));
  const std::string modelVersion = "* KORVAN model version    : " + std::string(kModelVersion);

  file.writeLine(kRule);
  if (unit == Unit::Summary) file.writeLine("* KORVAN REPORT: Header");
  file.writeLine("* Results from the KORVAN model");
  if (program == "MERIX") {
    file.writeLine("* " + program + "  KORVAN version   : " + version);
    file.writeLine(modelVersion);
  } else if (isOrlan()) {
    file.writeLine("* " + program + " KORVAN version    : " + version);
    file.writeLine(modelVersion);
  } else if (program == "ZR") {
    file.writeLine("* " + program + " beta KORVAN version : " + version);
    file.writeLine(modelVersion);
  } else if (program == "BRAX" || program.find('A') == std::string::npos) {
    file.writeLine(modelVersion + "-R");
  } else {
    file.writeLine(modelVersion + "-A");
  }
  file.writeLine("* KORVAN created on       : " + std::string(kBuildDate));
  file.writeLine("* ");
  file.writeLine("* Working directory       : " + run_.workDirText());
  file.writeLine("* Run ID                  : " + runId_);
  file.writeLine("* Input file generated on : " + twoDigits(today_.day) + "-" +
                 twoDigits(today_.month) + "-" + std::to_string(today_.year));
  file.writeLine(kRule);
  file.writeLine("* ");
}

void RunSetup::bannerStart() {
  Console& console = run_.console();
  if (!console.isOn()) return;
  console.clear();
  int row = 1;
  for (std::string_view text : kBanner) console.line(row++, text);
  console.line(18, " Working directory: " + run_.workDirText());
}

void RunSetup::noteStart() { startSeconds_ = secondsOfDay(run_.environment().now()); }

void RunSetup::bannerEnd() {
  int elapsed = secondsOfDay(run_.environment().now()) - startSeconds_;
  if (elapsed < 0) elapsed += 24 * 3600;  // the run went past midnight
  const std::string runTime =
      formatLayout("(a,i3,a,i2,a)", {" The run time was ", std::int64_t{elapsed / 60},
                                     " minutes and ", std::int64_t{elapsed % 60}, " seconds"});
  run_.console().line(18, " End of KORVAN");
  run_.console().line(19, runTime);
  run_.log().writeLine("* " + runTime);
  run_.summary().writeLine("* " + runTime);
}

}  // namespace korvan
