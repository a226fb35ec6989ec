// The identity of a run as its parts see it: the run identifier, the names of
// the run's files and the edition named in CallingProgram. The driver's start-up
// fills it in.
#pragma once

#include <string>
#include <string_view>

namespace korvan {

inline constexpr std::string_view kExtInput = ".kvn";
inline constexpr std::string_view kExtOutput = ".out";
inline constexpr std::string_view kExtLog = ".log";
inline constexpr std::string_view kExtSummary = ".sum";
inline constexpr std::string_view kExtError = ".err";
inline constexpr std::string_view kExtHydrology = ".hyd";
inline constexpr std::string_view kExtTemperature = ".tem";
inline constexpr std::string_view kSuccessMarker = "korvan.ok";

class RunIdentity {
 public:
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

 protected:
  RunIdentity() = default;
  ~RunIdentity() = default;

  std::string runId_;
  std::string callingProgram_;
  std::string callingProgramVersion_;
};

}  // namespace korvan
