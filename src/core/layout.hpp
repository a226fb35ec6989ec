// Layout notation: the compact field notation in which every file of the model
// describes its records, e.g. "(f9.3,1x,a17,1x,99(1x,g12.5))".
//
// A layout text is parsed once into a Layout and can then write any number of
// records. Descriptors (case-insensitive, blanks ignored):
//   a, aw       text; aw keeps the first w characters of a longer text and
//               right-aligns a shorter one (pad a text first to left-adjust it)
//   iw          integer, right-aligned
//   fw.d        fixed point with d decimals
//   ew.d        exponent form 0.ddddE+xx
//   esw.d       exponent form d.ddddE+xx (one non-zero digit before the point)
//   gw.d        general form, d significant digits: fixed point in w-4
//               characters plus four blanks for 0.1 <= |v| < 10**d (judged on
//               the value rounded to d digits), exponent form otherwise (0 too)
//   nx          n blanks
//   n(...)      repeat the group up to n times; a count before a data
//               descriptor (3f8.2) repeats it likewise
//   :           end the record when no values are left
//   /           start a new record
//   'text', "text"  written unchanged (a doubled quote stands for one quote)
// A number too wide for its field fills the field with asterisks.
// When values remain at the end of the layout, a new record starts and the
// layout resumes at its last top-level group (Fortran format reversion).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace korvan {

// Raised for a layout text that cannot be parsed, and for a value whose type
// does not fit its descriptor (text for f, number for a, ...).
class LayoutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One value to write: a real, an integer or a text.
using LayoutValue = std::variant<double, std::int64_t, std::string_view>;

class Layout {
 public:
  explicit Layout(std::string_view text);  // throws LayoutError
  ~Layout();
  Layout(Layout&&) noexcept;
  Layout& operator=(Layout&&) noexcept;

  // Writes the values by the layout. Records are separated by '\n'; the
  // result carries no final newline.
  std::string write(std::span<const LayoutValue> values) const;
  std::string write(std::initializer_list<LayoutValue> values) const {
    return write(std::span<const LayoutValue>(values.begin(), values.size()));
  }

  const std::string& text() const { return text_; }

 private:
  struct Node;
  std::string text_;
  std::unique_ptr<Node> root_;
};

// Parses and writes in one call, for layouts used once or rarely.
std::string formatLayout(std::string_view layout, std::initializer_list<LayoutValue> values);

}  // namespace korvan
