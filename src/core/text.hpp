// Small text and number helpers shared by every module.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace korvan {

// The line of 80 dashes that separates the groups of input echoed in the log.
inline constexpr std::string_view kDashes =
    "--------------------------------------------------------------------------------";

std::string_view trimRight(std::string_view s);
std::string_view trimLeft(std::string_view s);
std::string_view trim(std::string_view s);
bool isBlank(std::string_view s);

// The text cut or blank-padded to exactly n characters: the form of a
// fixed-length text of the model, which the layout descriptor aw writes
// left-adjusted.
std::string padTo(std::string_view s, std::size_t n);

// Number to text for the progress display: "0", "< 1e-6", or the number
// right-adjusted in 11 characters with 6 to 2 decimals by its magnitude.
std::string numberToTextShort(double v);
// Number to text for the concentration tables and the summary report:
// "< 1e-6", or the number right-adjusted in 11 characters with 7 to 1
// decimals by its magnitude.
std::string numberToTextLong(double v);

// (a * wa + b * wb) / (wa + wb)
inline double weightedMean(double a, double b, double wa, double wb) {
  return (a * wa + b * wb) / (wa + wb);
}

// The value itself when its magnitude exceeds the threshold, else 0.
inline double flushToZero(double v, double threshold = 1e-32) {
  return (v > threshold || v < -threshold) ? v : 0.0;
}

}  // namespace korvan
