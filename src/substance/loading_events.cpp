#include "substance/loading_events.hpp"

#include <algorithm>
#include <cmath>

#include "core/compare.hpp"
#include "input/records.hpp"

namespace korvan {

namespace {

// 20 C, the temperature of the vapour-pressure classes.
constexpr double kTem20 = 293.15;
// One hundredth of a day's fraction per second (0.01 / 86400), and 1 / 86400.
constexpr double kHundredthPerDay = 1.1574074074074074e-7;
constexpr double kPerDay = 1.1574074074074073e-5;
// Decline of the deposition with the distance from the crop edge (m-1).
constexpr double kDistanceDecline = 0.05446;

std::optional<int> wholeNumber(const std::string& word) {
  const auto value = parseNumber(word);
  if (!value || std::floor(*value) != *value || std::fabs(*value) > 1e9) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace

EventRow parseEventRow(const std::vector<std::string>& words) {
  EventRow row;
  if (words.size() < 5 || words.size() > 7) return row;
  row.dateText = words[0];
  std::optional<double> values[4];
  for (std::size_t c = 0; c < 4; ++c) {
    values[c] = parseNumber(words[c + 1]);
    if (!values[c]) return row;
  }
  LoadingEvent& e = row.event;
  e.loading = *values[0];
  e.dosage = *values[1];
  e.start = *values[2];
  e.end = *values[3];
  if (words.size() >= 7) {
    const auto factor = parseNumber(words[6]);
    if (!factor) return row;
    e.factor = *factor;
  }
  if (words.size() >= 6) {
    const auto option = wholeNumber(words[5]);
    if (!option) {
      row.status = EventRowStatus::IllegalEvent;
      return row;
    }
    e.option = *option;
  }
  row.status = EventRowStatus::Ok;
  return row;
}

LoadedSegments loadedSegments(std::span<const double> xBou, double start, double end) {
  const int n = static_cast<int>(xBou.size()) - 1;
  int node = 0;
  for (int i = 0; i <= n; ++i) {
    if (cmp::le(xBou[static_cast<std::size_t>(i)], start)) node = i;
  }
  // A stretch that starts at the downstream end still loads the last segment.
  LoadedSegments s{.first = std::clamp(node + 1, 1, std::max(n, 1)), .last = std::max(n, 1)};
  for (int i = s.first; i <= n; ++i) {
    if (cmp::ge(xBou[static_cast<std::size_t>(i)], end)) {
      s.last = i;
      break;
    }
  }
  return s;
}

double meanSurfaceWidth(std::span<const double> widths, LoadedSegments s) {
  double sum = 0.0;
  for (int i = s.first; i <= s.last; ++i) sum += widths[static_cast<std::size_t>(i)];
  return sum / static_cast<double>(s.last - s.first + 1);
}

double preVap20(double preVapRef, double molEntVap, double temRefVap) {
  return preVapRef * std::exp(-(molEntVap / kGasConstant) * (1.0 / kTem20 - 1.0 / temRefVap));
}

// The class limits are compared exactly: a tolerance of 1e-9 would be wider
// than the lowest classes themselves.
DepositionClass depositionClass(double p20) {
  if (p20 < 1e-5) return DepositionClass::None;
  if (p20 < 1e-4) return DepositionClass::Low;
  if (p20 < 0.005) return DepositionClass::Moderate;
  if (p20 < 0.01) return DepositionClass::High;
  return DepositionClass::Volatile;
}

double depositionRate(DepositionClass c, double dosage, double factor, double x,
                      double fraAtmDepCum24h) {
  const double distance = std::exp(-kDistanceDecline * (x - 1.0));
  switch (c) {
    case DepositionClass::None:
      return 0.0;
    case DepositionClass::Low:
      return kHundredthPerDay * factor * dosage * 0.089 * distance;
    case DepositionClass::Moderate:
      return kHundredthPerDay * dosage * 0.221 * distance;
    case DepositionClass::High:
      return kHundredthPerDay * dosage * 1.555 * distance;
    case DepositionClass::Volatile:
      // Volatile compounds: the measured share deposited within a day.
      return kPerDay * fraAtmDepCum24h * dosage;
  }
  return 0.0;
}

}  // namespace korvan
