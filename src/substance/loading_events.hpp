// The pieces of the loadings that need no run: an event row, the segments a
// loaded stretch covers, the mean surface width over them, and the rate of
// atmospheric deposition after a spray application by vapour-pressure class.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvan {

// One loading event: a row of the table Loadings, or an event line in the
// header of a field-model file.
struct LoadingEvent {
  double time = 0.0;     // d since 01-Jan-1900
  double loading = 0.0;  // on the water surface: mg.m-2 as read, g.m-2 once checked
  double start = 0.0;    // m from the upstream end to the start of the loaded stretch
  double end = 0.0;      // m from the upstream end to its end
  int option = 1;        // 1..5; 4 asks for concentration profiles only
  double dosage = 0.0;   // g ai.ha-1 on the field
  double factor = 1.0;   // deposition factor of the lowest vapour-pressure class
};

// What the words of an event row gave, apart from its date.
enum class EventRowStatus { Ok, Unreadable, IllegalEvent };
struct EventRow {
  EventRowStatus status = EventRowStatus::Unreadable;
  std::string dateText;
  LoadingEvent event;  // all but the time
};
// Words: date, loading, dosage, start, end, then optionally the option (a
// whole number) and the factor. Fewer than five or more than seven words, or
// a value that is no number, make the row unreadable; an option that is no
// whole number is an illegal event.
EventRow parseEventRow(const std::vector<std::string>& words);

// Segments first..last (1..N) covered by a stretch.
struct LoadedSegments {
  int first = 1;
  int last = 1;
};
// xBou holds the node positions 0..N. The first segment is one more than
// the highest node not beyond the start; the last is the first segment from
// there whose downstream node lies at or beyond the end.
LoadedSegments loadedSegments(std::span<const double> xBou, double start, double end);
// Mean of widths[i] over the loaded segments (widths indexed by segment).
double meanSurfaceWidth(std::span<const double> widths, LoadedSegments s);

// Gas constant of the vapour-pressure relation (J.mol-1.K-1).
inline constexpr double kGasConstant = 8.31432;
// Vapour pressure at 20 C (Pa) from the reference value (Pa, K, J.mol-1).
double preVap20(double preVapRef, double molEntVap, double temRefVap);

// The five classes of atmospheric deposition by the vapour pressure at 20 C.
enum class DepositionClass { None, Low, Moderate, High, Volatile };
DepositionClass depositionClass(double p20);
// Deposition rate on the water surface (mg.m-2.s-1) for a dosage D (mg.m-2)
// at the distance x (m) from the crop edge to the middle of the water body.
double depositionRate(DepositionClass c, double dosage, double factor, double x,
                      double fraAtmDepCum24h);

}  // namespace korvan
