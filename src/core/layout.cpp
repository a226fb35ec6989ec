#include "core/layout.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

namespace korvan {
namespace {

// Bounds that keep a layout taken from user input from causing huge allocations or hangs.
constexpr int kMaxNumber = 100000;
constexpr int kMaxDepth = 32;
// Characters (and steps) a layout may produce without consuming a value, per pass.
constexpr std::int64_t kMaxFixedCost = 1000000;

// A double's exact decimal expansion ends by 10**-1074 and has at most 767 significant
// digits: beyond these precisions the digits are zeros, so buffers stay small.
constexpr int kMaxExactDecimals = 1080;
constexpr int kMaxExactDigits = 780;
constexpr std::size_t kFixedBufSize = 310 + kMaxExactDecimals + 8;
constexpr std::size_t kScientificBufSize = kMaxExactDigits + 16;

enum class Kind { kGroup, kText, kBlank, kColon, kSlash, kA, kI, kF, kE, kEs, kG };

struct Item {
  explicit Item(Kind k = Kind::kGroup, int n = 1) : kind(k), count(n) {}

  Kind kind;
  int count;      // repeat count; number of blanks for x
  int width = 0;  // 0 for a without width
  int decimals = 0;
  bool hasData = false;  // the item is or contains a data descriptor
  std::string text;
  std::vector<Item> children;
};

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isDigit(int c) {
  return c >= '0' && c <= '9';
}

std::string descriptorName(const Item& item) {
  static constexpr const char* kNames[] = {"", "", "", "", "", "a", "i", "f", "e", "es", "g"};
  std::string name = kNames[static_cast<int>(item.kind)];
  if (item.width > 0) name += std::to_string(item.width);
  if (item.width > 0 && item.kind >= Kind::kF) name += '.' + std::to_string(item.decimals);
  return name;
}

// ---------------------------------------------------------------------------------------------
// Parsing

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Item parse() {
    if (peek() == kEnd) fail("empty layout");
    if (peek() != '(') fail("expected '(' at position " + std::to_string(pos_));
    const std::size_t open = pos_++;
    if (peek() == ')') fail("empty layout");
    Item root;
    parseGroupBody(root, 1, open);
    if (peek() == ')') {
      fail("unbalanced parentheses: ')' at position " + std::to_string(pos_) + " has no '('");
    }
    if (peek() != kEnd) fail("text after the closing ')' at position " + std::to_string(pos_));
    return root;
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw LayoutError("Invalid layout " + std::string(text_) + ": " + what);
  }

 private:
  static constexpr int kEnd = -1;

  // The next character that is not a blank, lower case, or kEnd.
  int peek() {
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    if (pos_ == text_.size()) return kEnd;
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
  }

  void parseGroupBody(Item& group, int depth, std::size_t open) {
    if (depth > kMaxDepth) {
      fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels at position " +
           std::to_string(open));
    }
    if (peek() == ')') fail("empty group at position " + std::to_string(open));
    for (;;) {
      parseItem(group, depth);
      group.hasData = group.hasData || group.children.back().hasData;
      const int c = peek();
      if (c == ')') {
        ++pos_;
        return;
      }
      if (c == kEnd) {
        fail("unbalanced parentheses: '(' at position " + std::to_string(open) + " is not closed");
      }
      if (c == ',') {
        ++pos_;
        continue;
      }
      // As in Fortran, the comma may be left out next to ':' and '/'.
      const Kind last = group.children.back().kind;
      if (c == ':' || c == '/' || last == Kind::kColon || last == Kind::kSlash) continue;
      fail("expected ',' or ')' at position " + std::to_string(pos_));
    }
  }

  void parseItem(Item& group, int depth) {
    int c = peek();
    const std::size_t start = pos_;
    if (c == '\'' || c == '"') return group.children.push_back(parseText());
    if (c == ':') {
      ++pos_;
      return group.children.push_back(Item(Kind::kColon));
    }
    int count = 1;
    const bool hasCount = isDigit(c);
    if (hasCount) {
      count = parseNumber();
      if (count == 0) fail("zero repeat count at position " + std::to_string(start));
      c = peek();
    }
    Item item(Kind::kGroup, count);
    const std::size_t letter = pos_;
    switch (c) {
      case '(':
        ++pos_;
        parseGroupBody(item, depth + 1, letter);
        break;
      case 'x':
        ++pos_;
        item.kind = Kind::kBlank;
        break;
      case '/':
        ++pos_;
        item.kind = Kind::kSlash;
        break;
      case 'a':
      case 'i':
      case 'f':
      case 'e':
      case 'g':
        parseData(item);
        break;
      case ':':
      case '\'':
      case '"':
        fail(std::string("a repeat count cannot precede ") + (c == ':' ? "':'" : "text") +
             " at position " + std::to_string(letter));
      case kEnd:
      case ',':
      case ')':
        fail("missing descriptor at position " + std::to_string(letter));
      default:
        fail("unknown descriptor '" + std::string(1, text_[letter]) + "' at position " +
             std::to_string(letter));
    }
    group.children.push_back(std::move(item));
  }

  void parseData(Item& item) {
    const std::size_t letter = pos_;
    const int c = peek();
    ++pos_;
    item.hasData = true;
    item.kind = c == 'a' ? Kind::kA : c == 'i' ? Kind::kI : c == 'f' ? Kind::kF : Kind::kG;
    if (c == 'e') {
      item.kind = Kind::kE;
      if (peek() == 's') {
        item.kind = Kind::kEs;
        ++pos_;
      }
    }
    const std::string name = descriptorName(item);
    const std::string where = " at position " + std::to_string(letter);
    const bool real = item.kind >= Kind::kF;
    if (!isDigit(peek())) {
      if (item.kind == Kind::kA) return;
      fail("descriptor " + name + " needs a width" + (real ? " and decimals (" : " (") + name +
           (real ? "w.d)" : "w)") + where);
    }
    item.width = parseNumber();
    if (item.width == 0) fail("zero width for descriptor " + name + where);
    if (!real) return;
    if (peek() != '.' || (++pos_, !isDigit(peek()))) {
      fail("descriptor " + name + " needs decimals (" + name + "w.d)" + where);
    }
    item.decimals = parseNumber();
    if (item.decimals >= item.width) {
      fail("decimals not below the width in " + descriptorName(item) + where);
    }
    if (item.decimals == 0 && (item.kind == Kind::kE || item.kind == Kind::kG)) {
      fail("descriptor " + name + " needs at least one decimal" + where);
    }
  }

  // Digits with blanks ignored; bounded so that no count or width can overflow.
  int parseNumber() {
    const std::size_t start = pos_;
    int value = 0;
    while (isDigit(peek())) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > kMaxNumber) {
        fail("number above " + std::to_string(kMaxNumber) + " at position " +
             std::to_string(start));
      }
    }
    return value;
  }

  Item parseText() {
    const std::size_t start = pos_;
    const char quote = text_[pos_++];
    Item item(Kind::kText);
    for (;;) {
      if (pos_ >= text_.size()) fail("unterminated text at position " + std::to_string(start));
      const char c = text_[pos_++];
      if (c == quote) {
        if (pos_ == text_.size() || text_[pos_] != quote) return item;
        ++pos_;
      }
      item.text += c;
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Characters and steps one pass writes without consuming values. A group with data repeats
// only while values remain, so only value-free parts are multiplied by their counts.
std::int64_t fixedCost(const Item& item) {
  switch (item.kind) {
    case Kind::kText:
      return static_cast<std::int64_t>(item.text.size()) + 1;
    case Kind::kBlank:
    case Kind::kSlash:
      return item.count;
    case Kind::kColon:
      return 1;
    case Kind::kGroup: {
      std::int64_t inner = 0;
      for (const Item& child : item.children) {
        inner = std::min(inner + fixedCost(child), kMaxFixedCost + 1);
      }
      return item.hasData ? inner : std::min(inner * item.count, kMaxFixedCost + 1);
    }
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------------------
// Number texts

void appendRight(std::string& out, std::string_view text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    out.append(w, '*');
    return;
  }
  out.append(w - text.size(), ' ');
  out.append(text);
}

void appendNonFinite(std::string& out, double v, int width) {
  if (std::isnan(v)) return appendRight(out, "NaN", width);
  if (v > 0) return appendRight(out, width >= 8 ? "Infinity" : "Inf", width);
  appendRight(out, width >= 9 ? "-Infinity" : "-Inf", width);
}

struct FixedText {
  bool negative = false;
  std::string_view integer;
  std::string_view fraction;
  std::size_t fractionZeros = 0;  // decimals past the exact expansion
  std::size_t size() const {
    return negative + integer.size() + 1 + fraction.size() + fractionZeros;
  }
};

FixedText toFixed(double v, int decimals, char (&buf)[kFixedBufSize]) {
  const int precision = std::min(decimals, kMaxExactDecimals);
  const char* end =
      std::to_chars(buf, buf + kFixedBufSize, v, std::chars_format::fixed, precision).ptr;
  std::string_view digits(buf, static_cast<std::size_t>(end - buf));
  FixedText t;
  t.negative = digits.front() == '-';
  if (t.negative) digits.remove_prefix(1);
  const std::size_t point = std::min(digits.find('.'), digits.size());
  t.integer = digits.substr(0, point);
  if (point < digits.size()) t.fraction = digits.substr(point + 1);
  t.fractionZeros = static_cast<std::size_t>(decimals - precision);
  return t;
}

// Fortran drops a zero integer part when the field is one too narrow for it, but always keeps
// at least one digit.
bool appendFixedText(std::string& out, FixedText t, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (t.size() > w && t.integer == "0" && t.fraction.size() + t.fractionZeros > 0) t.integer = {};
  if (t.size() > w) return false;
  out.append(w - t.size(), ' ');
  if (t.negative) out += '-';
  out.append(t.integer);
  out += '.';
  out.append(t.fraction);
  out.append(t.fractionZeros, '0');
  return true;
}

void appendFixed(std::string& out, double v, int width, int decimals) {
  if (!std::isfinite(v)) return appendNonFinite(out, v, width);
  char buf[kFixedBufSize];
  if (!appendFixedText(out, toFixed(v, decimals, buf), width)) out.append(width, '*');
}

struct Scientific {
  bool negative = false;
  std::string_view digits;  // significant digits, rounded
  std::size_t digitZeros = 0;
  int exponent = 0;  // of the d.ddd form; 0 for zero
};

Scientific toScientific(double v, int significant, char (&buf)[kScientificBufSize]) {
  const int precision = std::min(significant, kMaxExactDigits) - 1;
  char* end =
      std::to_chars(buf, buf + kScientificBufSize, v, std::chars_format::scientific, precision).ptr;
  Scientific s;
  char* first = buf;
  s.negative = *first == '-';
  if (s.negative) ++first;
  // Move the leading digit onto the point so that the digits are contiguous.
  if (first[1] == '.') {
    first[1] = first[0];
    ++first;
  }
  char* e = std::find(first, end, 'e');
  s.digits = std::string_view(first, static_cast<std::size_t>(e - first));
  s.digitZeros = static_cast<std::size_t>(significant) - s.digits.size();
  const char* exponentStart = e + 1 + (e[1] == '+');
  std::from_chars(exponentStart, end, s.exponent);
  return s;
}

// Exponent field: E, sign, two digits; beyond 99 the sign and three digits, as Fortran does.
void appendExponent(std::string& out, int exponent) {
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude <= 99) out += 'E';
  out += exponent < 0 ? '-' : '+';
  if (magnitude > 99) out += static_cast<char>('0' + magnitude / 100);
  out += static_cast<char>('0' + magnitude / 10 % 10);
  out += static_cast<char>('0' + magnitude % 10);
}

// e: 0.ddddE+xx; es: d.ddddE+xx. Both are four characters of exponent. s is
// the finite value v rounded to the form's significant digits.
void appendExponentDigits(std::string& out, double v, const Scientific& s, int width, int decimals,
                          bool es) {
  const std::size_t size = s.negative + 2 + static_cast<std::size_t>(decimals) + 4;
  if (size > static_cast<std::size_t>(width)) {
    out.append(width, '*');
    return;
  }
  out.append(static_cast<std::size_t>(width) - size, ' ');
  if (s.negative) out += '-';
  if (es) {
    out += s.digits.front();
    out += '.';
    out.append(s.digits.substr(1));
  } else {
    out += "0.";
    out.append(s.digits);
  }
  out.append(s.digitZeros, '0');
  appendExponent(out, v == 0 || es ? s.exponent : s.exponent + 1);
}

void appendExponentForm(std::string& out, double v, int width, int decimals, bool es) {
  if (!std::isfinite(v)) return appendNonFinite(out, v, width);
  char buf[kScientificBufSize];
  appendExponentDigits(out, v, toScientific(v, es ? decimals + 1 : decimals, buf), width, decimals,
                       es);
}

// Fixed or exponent form, judged on the value rounded to d significant digits.
void appendGeneral(std::string& out, double v, int width, int decimals) {
  if (!std::isfinite(v)) return appendNonFinite(out, v, width);
  char buf[kScientificBufSize];
  // The digits of the exponent form, which also tell the magnitude.
  const Scientific s = toScientific(v, decimals, buf);
  if (v != 0 && s.exponent >= -1 && s.exponent < decimals) {
    char fixedBuf[kFixedBufSize];
    const FixedText t = toFixed(v, decimals - 1 - s.exponent, fixedBuf);
    if (width > 4 && appendFixedText(out, t, width - 4)) {
      out.append(4, ' ');
    } else {
      out.append(width, '*');
    }
    return;
  }
  appendExponentDigits(out, v, s, width, decimals, false);
}

void appendText(std::string& out, std::string_view text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (width == 0 || text.size() >= w) {
    out.append(width == 0 ? text : text.substr(0, w));
    return;
  }
  out.append(w - text.size(), ' ');
  out.append(text);
}

void appendInteger(std::string& out, std::int64_t v, int width) {
  char buf[24];
  const char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  appendRight(out, std::string_view(buf, static_cast<std::size_t>(end - buf)), width);
}

// ---------------------------------------------------------------------------------------------
// Format control

class Writer {
 public:
  Writer(const std::string& layout, std::span<const LayoutValue> values)
      : layout_(layout), values_(values) {}

  bool valuesLeft() const { return next_ < values_.size(); }
  std::string take() { return std::move(out_); }

  void newRecord() {
    out_ += '\n';
    pendingBlanks_ = 0;
  }

  // Runs one item; false when writing stops for want of values.
  bool run(const Item& item) {
    switch (item.kind) {
      case Kind::kGroup:
        for (int i = 0; i < item.count; ++i) {
          for (const Item& child : item.children) {
            if (!run(child)) return false;
          }
        }
        return true;
      case Kind::kText:
        flushBlanks();
        out_ += item.text;
        return true;
      case Kind::kBlank:
        pendingBlanks_ += static_cast<std::size_t>(item.count);
        return true;
      case Kind::kColon:
        return valuesLeft();
      case Kind::kSlash:
        for (int i = 0; i < item.count; ++i) newRecord();
        return true;
      default:
        for (int i = 0; i < item.count; ++i) {
          if (!valuesLeft()) return false;
          flushBlanks();
          writeValue(item, values_[next_++]);
        }
        return true;
    }
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw LayoutError("Cannot write by layout " + layout_ + ": " + what);
  }

 private:
  // Blanks of x reach the record only when something follows them on it.
  void flushBlanks() {
    out_.append(pendingBlanks_, ' ');
    pendingBlanks_ = 0;
  }

  void writeValue(const Item& item, const LayoutValue& value) {
    if (item.kind == Kind::kA) {
      const auto* text = std::get_if<std::string_view>(&value);
      if (text == nullptr) mismatch(item, value);
      return appendText(out_, *text, item.width);
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
      if (item.kind == Kind::kI) return appendInteger(out_, *integer, item.width);
      return writeReal(item, static_cast<double>(*integer));
    }
    const auto* real = std::get_if<double>(&value);
    if (real == nullptr || item.kind == Kind::kI) mismatch(item, value);
    writeReal(item, *real);
  }

  void writeReal(const Item& item, double v) {
    switch (item.kind) {
      case Kind::kF:
        return appendFixed(out_, v, item.width, item.decimals);
      case Kind::kE:
      case Kind::kEs:
        return appendExponentForm(out_, v, item.width, item.decimals, item.kind == Kind::kEs);
      default:
        return appendGeneral(out_, v, item.width, item.decimals);
    }
  }

  [[noreturn]] void mismatch(const Item& item, const LayoutValue& value) const {
    static constexpr const char* kKinds[] = {"a real", "an integer", "a text"};
    fail("descriptor " + descriptorName(item) + " cannot write " + kKinds[value.index()] +
         " (value " + std::to_string(next_) + ")");
  }

  const std::string& layout_;
  std::span<const LayoutValue> values_;
  std::size_t next_ = 0;
  std::size_t pendingBlanks_ = 0;
  std::string out_;
};

}  // namespace

struct Layout::Node {
  Item root;
  std::size_t reversion = 0;  // first top-level item of the part repeated for more values
  bool reversionHasData = false;
};

Layout::Layout(std::string_view text) : text_(text), root_(std::make_unique<Node>()) {
  Parser parser(text_);
  root_->root = parser.parse();
  const std::vector<Item>& items = root_->root.children;
  if (fixedCost(root_->root) > kMaxFixedCost) {
    parser.fail("more than " + std::to_string(kMaxFixedCost) +
                " characters of text and blanks between values");
  }
  // Fortran reversion: resume at the last top-level group, or at the start when there is none.
  for (std::size_t i = items.size(); i-- > 0;) {
    if (items[i].kind == Kind::kGroup) {
      root_->reversion = i;
      break;
    }
  }
  root_->reversionHasData =
      std::any_of(items.begin() + static_cast<std::ptrdiff_t>(root_->reversion), items.end(),
                  [](const Item& item) { return item.hasData; });
}

Layout::~Layout() = default;
Layout::Layout(Layout&&) noexcept = default;
Layout& Layout::operator=(Layout&&) noexcept = default;

std::string Layout::write(std::span<const LayoutValue> values) const {
  Writer writer(text_, values);
  if (!root_) writer.fail("the layout was moved away");
  if (!values.empty() && !root_->root.hasData) writer.fail("no data descriptor for the values");
  if (!writer.run(root_->root)) return writer.take();
  const std::vector<Item>& items = root_->root.children;
  while (writer.valuesLeft()) {
    if (!root_->reversionHasData) {
      writer.fail("no data descriptor in the part repeated for the remaining values");
    }
    writer.newRecord();
    for (std::size_t i = root_->reversion; i < items.size(); ++i) {
      if (!writer.run(items[i])) return writer.take();
    }
  }
  return writer.take();
}

std::string formatLayout(std::string_view layout, std::initializer_list<LayoutValue> values) {
  return Layout(layout).write(values);
}

}  // namespace korvan
