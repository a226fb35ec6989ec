// Run setup: the identity of a run (run identifier, file names, edition,
// version texts, today's date), the report headers, and the banner with the
// wall-clock run time.
#pragma once

#include <string>
#include <string_view>

#include "core/platform.hpp"
#include "core/run_identity.hpp"

namespace korvan {

class Run;
enum class Unit : int;

inline constexpr std::string_view kModelVersion = "3.3.1";
inline constexpr std::string_view kBuildDate = "25-Apr-2013";

// The run identifier of a command-line argument: the directory ("\" or "/")
// and the extension ".kvn" stripped, at most 32 characters. Throws EarlyStop
// with the model's messages for an empty argument, another extension or a
// character outside letters, digits, underscore and blank.
std::string runIdFromArgument(std::string_view argument);

// The edition named in CallingProgram: MERIXKORVAN, ORLANKORVAN, ZRKORVAN and
// BRAXKORVAN become MERIX, Orlan, ZR and BRAX; any other text stays as it is.
std::string editionOf(std::string_view callingProgram);
// One of the four editions MERIX, Orlan, ZR and BRAX.
bool isEdition(std::string_view edition);

// The start-up routines of a run: they fill in the run's identity, write the
// report headers and show the banner.
class RunSetup final : public RunIdentity {
 public:
  explicit RunSetup(Run& run) : run_(run) {}

  // The start-up sequence (see ModelRun::setup).
  void startUp();

  // The report header on the output, log or summary file.
  void writeHeader(Unit unit);
  // Banner task 1: the start-up banner on the console.
  void bannerStart();
  // Banner task 5: the run-time lines on the console, log and summary file.
  void bannerEnd();
  // Notes the wall-clock start of the run.
  void noteStart();

 private:
  // The warning for a CallingProgram that names no edition.
  void warnUnknownEdition(std::string_view calledBy);
  static int secondsOfDay(const platform::LocalTime& t) {
    return t.hour * 3600 + t.minute * 60 + t.second;
  }

  Run& run_;
  platform::LocalTime today_;
  int startSeconds_ = 0;
};

}  // namespace korvan
