#include "core/text.hpp"

#include <string>

#include "core/compare.hpp"
#include "core/layout.hpp"

namespace korvan {

std::string_view trimRight(std::string_view s) {
  const auto end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string_view trimLeft(std::string_view s) {
  const auto start = s.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view{} : s.substr(start);
}

std::string_view trim(std::string_view s) { return trimLeft(trimRight(s)); }

bool isBlank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

std::string padTo(std::string_view s, std::size_t n) {
  std::string out(s.substr(0, n));
  out.resize(n, ' ');
  return out;
}

namespace {

std::string fixed11(double v, int decimals) {
  return formatLayout("(f11." + std::to_string(decimals) + ")", {v});
}

}  // namespace

std::string numberToTextShort(double v) {
  if (cmp::eq(v, 0.0)) return "0";
  if (v < 1e-6) return "< 1e-6";
  if (v < 1e-5) return fixed11(v, 6);
  if (v < 1e-4) return fixed11(v, 5);
  if (v < 1e-3) return fixed11(v, 4);
  if (v < 1e-2) return fixed11(v, 3);
  return fixed11(v, 2);
}

std::string numberToTextLong(double v) {
  if (!(v >= 1e-6)) return "< 1e-6";  // also catches NaN
  if (v < 1e-3) return fixed11(v, 7);
  if (v < 1e-2) return fixed11(v, 6);
  if (v < 0.1) return fixed11(v, 5);
  if (v < 1.0) return fixed11(v, 4);
  if (v < 10.0) return fixed11(v, 3);
  if (v < 100.0) return fixed11(v, 2);
  return fixed11(v, 1);
}

}  // namespace korvan
