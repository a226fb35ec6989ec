// Run setup: the identity of a run (run identifier, file names, edition,
// version texts, today's date), the report headers, and the banner with the
// wall-clock run time.
#pragma once

#include <string>
#include <string_view>

#include "core/platform.hpp"

namespace korvan {

class Run;
enum class Unit : int;

inline constexpr std::string_view kModelVersion = "3.3.1";
inline constexpr std::string_view kBuildDate = "25-Apr-2013";
inline constexpr std::string_view kExtInput = ".kvn";
inline constexpr std::string_view kExtOutput = ".out";
inline constexpr std::string_view kExtLog = ".log";
inline constexpr std::string_view kExtSummary = ".sum";
inline constexpr std::string_view kExtError = ".err";
inline constexpr std::string_view kExtHydrology = ".hyd";
inline constexpr std::string_view kExtTemperature = ".tem";
inline constexpr std::string_view kSuccessMarker = "korvan.ok";

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

class RunIdentity {
 public:
  explicit RunIdentity(Run& run) : run_(run) {}

  // The start-up sequence (see Run::setup).
  void startUp();

  const std::string& runId() const { return runId_; }
  // RunId followed by the extension.
  std::string fileName(std::string_view extension) const { return runId_ + std::string(extension); }
  const std::string& callingProgram() const { return callingProgram_; }
  const std::string& callingProgramVersion() const { return callingProgramVersion_; }
  // The MERIX edition: CallingProgram equals MERIX.
  bool isMerix() const { return callingProgram_ == "MERIX"; }
  // The Orlan edition: CallingProgram contains Orlan.
  bool isOrlan() const { return callingProgram_.find("Orlan") != std::string::npos; }
  // The ZR and BRAX editions, which evaluate targets in a stretch.
  bool isZR() const { return callingProgram_ == "ZR"; }
  bool isBRAX() const { return callingProgram_ == "BRAX"; }

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
  std::string runId_;
  std::string callingProgram_;
  std::string callingProgramVersion_;
  platform::LocalTime today_;
  int startSeconds_ = 0;
};

}  // namespace korvan
