#include "input/records.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "core/layout.hpp"
#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/text.hpp"

namespace korvan {

namespace {

constexpr std::string_view kWorkFile = "korvan.tmp";

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Checks that item is a number (sign, digits with at most one point, an
// exponent introduced by e, d or q in either case or by its sign alone) and
// hands its characters to put in the form the conversion reads: no leading
// '+', the exponent introduced by 'e'. At most item.size() + 1 characters.
template <typename Put>
bool normaliseNumber(std::string_view item, Put put) {
  std::size_t i = 0;
  const std::size_t n = item.size();
  if (i < n && (item[i] == '+' || item[i] == '-')) {
    if (item[i] == '-') put('-');
    ++i;
  }
  std::size_t digits = 0;
  while (i < n && isDigit(item[i])) put(item[i++]), ++digits;
  if (i < n && item[i] == '.') {
    put(item[i++]);
    while (i < n && isDigit(item[i])) put(item[i++]), ++digits;
  }
  if (digits == 0) return false;
  if (i == n) return true;
  const char c = item[i];
  if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q') {
    ++i;
  } else if (c != '+' && c != '-') {
    return false;
  }
  put('e');
  if (i < n && (item[i] == '+' || item[i] == '-')) put(item[i++]);
  std::size_t expDigits = 0;
  while (i < n && isDigit(item[i])) put(item[i++]), ++expDigits;
  return expDigits > 0 && i == n;
}

// The value of a normalised number text[0..len) whose significant digits
// make an integer m of at most 2^53 and whose decimal exponent e lies within
// -22..22: m and 10^|e| are exact doubles, so one multiplication or division
// gives the nearest double. Nothing for other numbers.
std::optional<double> exactlyRounded(const char* text, std::size_t len) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr std::uint64_t kMaxExact = std::uint64_t{1} << 53;
  std::size_t i = 0;
  const bool negative = len > 0 && text[0] == '-';
  if (negative) ++i;
  std::uint64_t m = 0;
  int exponent = 0;
  bool point = false;
  for (; i < len && text[i] != 'e'; ++i) {
    if (text[i] == '.') {
      point = true;
      continue;
    }
    if (m > (kMaxExact - 9) / 10) return std::nullopt;  // too many digits to stay exact
    m = m * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (point) --exponent;
  }
  if (i < len) {
    ++i;
    const bool down = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    int e = 0;
    for (; i < len; ++i) {
      if (e > 1000) return std::nullopt;
      e = e * 10 + (text[i] - '0');
    }
    exponent += down ? -e : e;
  }
  if (exponent < -22 || exponent > 22) return std::nullopt;
  double value = static_cast<double>(m);
  value = exponent < 0 ? value / kPow10[-exponent] : value * kPow10[exponent];
  return negative ? -value : value;
}

// The value of a normalised number text[0..len) (text[len] is '\0'): the
// nearest double; an overflow is refused, an underflow gives the nearest
// (zero or subnormal) value.
std::optional<double> convertNumber(const char* text, std::size_t len) {
  if (const auto exact = exactlyRounded(text, len)) return exact;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text, text + len, value);
  if (ec == std::errc() && end == text + len) return value;
  if (ec != std::errc::result_out_of_range) return std::nullopt;
  errno = 0;
  value = std::strtod(text, nullptr);
  if (!std::isfinite(value) || (errno == ERANGE && std::fabs(value) > 1.0)) return std::nullopt;
  return value;
}

std::string unitNumberText(Unit unit, int width) {
  return formatLayout("(i" + std::to_string(width) + ")", {std::int64_t{static_cast<int>(unit)}});
}

// The words of an option list, such as "OnLine OffLine Stationary".
std::vector<std::string_view> optionWords(std::string_view list) {
  std::vector<std::string_view> out;
  std::size_t pos = 0;
  while (pos < list.size()) {
    const auto start = list.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) break;
    auto end = list.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = list.size();
    out.push_back(list.substr(start, end - start));
    pos = end;
  }
  return out;
}

}  // namespace

const std::string& WordList::word(int position) const {
  static const std::string kNone;
  if (position < 1 || static_cast<std::size_t>(position) > words_.size()) return kNone;
  return words_[static_cast<std::size_t>(position - 1)];
}

std::optional<double> parseNumber(std::string_view item) {
  char buffer[64];
  if (item.size() + 2 <= sizeof buffer) {
    std::size_t len = 0;
    if (!normaliseNumber(item, [&](char c) { buffer[len++] = c; })) return std::nullopt;
    buffer[len] = '\0';
    return convertNumber(buffer, len);
  }
  std::string text;
  if (!normaliseNumber(item, [&](char c) { text += c; })) return std::nullopt;
  return convertNumber(text.c_str(), text.size());
}

std::string_view firstItem(std::string_view line) {
  std::size_t start = 0;
  while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
  std::size_t end = start;
  while (end < line.size() && !isSeparator(line[end]) && line[end] != '/') ++end;
  return line.substr(start, end - start);
}

std::optional<std::string_view> FreeFormatReader::nextView() {
  while (pos_ < line_.size() && isSeparator(line_[pos_])) ++pos_;
  if (pos_ >= line_.size() || line_[pos_] == '/') {
    pos_ = line_.size();
    return std::nullopt;
  }
  const std::size_t start = pos_;
  while (pos_ < line_.size() && !isSeparator(line_[pos_]) && line_[pos_] != '/') ++pos_;
  return std::string_view(line_).substr(start, pos_ - start);
}

std::optional<std::string> FreeFormatReader::nextItem() {
  const auto item = nextView();
  if (!item) return std::nullopt;
  return std::string(*item);
}

std::optional<double> FreeFormatReader::nextReal() {
  const auto item = nextView();
  if (!item) return std::nullopt;
  return parseNumber(*item);
}

void Records::splitWords(std::string_view line, int maxWords) {
  if (isBlank(line) && line.find('\t') == std::string_view::npos) {
    words_.setCount(0);
    return;
  }
  std::string text(line);
  for (char& c : text) {
    if (c == '\t') c = ' ';
  }
  const std::string_view trimmed = trimRight(text);

  int count = 0;
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    if (trimmed[i] != ' ' && (i == 0 || trimmed[i - 1] == ' ')) ++count;
  }
  words_.setCount(count);

  const int n = std::min<int>(maxWords >= 0 ? maxWords : count, static_cast<int>(kMaxWords));
  auto& slots = words_.slots();
  slots.assign(static_cast<std::size_t>(std::max(n, 0)), std::string());

  std::size_t slot = 0;
  std::size_t i = 0;
  while (slot < slots.size() && i < trimmed.size()) {
    while (i < trimmed.size() && trimmed[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < trimmed.size() && trimmed[i] != ' ') ++i;
    if (i == start) break;
    const std::string_view word = trimmed.substr(start, i - start);
    if (word.size() > kMaxWordLength) {
      Messages& messages = run_.messages();
      messages.fatal(messages.record().routine, "Word too long in line: " + std::string(trimRight(line)),
                     "Word is: " + std::string(word.substr(0, kMaxWordLength)),
                     "Maximum length is: " + formatLayout("(i2)", {std::int64_t{kMaxWordLength}}));
    }
    slots[slot++] = std::string(word);
  }
}

bool Records::getRecord(std::string_view keyword, int position, const RecordQuery& query) {
  TextFile& file = run_.units().file(query.unit);
  if (!query.noRewind) file.rewind();
  const std::string_view key = trim(keyword);
  if (query.unit == Unit::Input) keywordsRead_.emplace(key);
  standIn_ = false;
  std::string raw;
  while (true) {
    if (!file.readLine(raw)) {
      if (!query.mustExist) return false;
      missingRecord(key, position, query.unit);
      return true;
    }
    if (raw.size() > kMaxLineLength) raw.resize(kMaxLineLength);
    if (isBlank(raw) || raw.front() == '*') continue;
    if (key.empty() || raw.find(key) == std::string::npos) continue;
    splitWords(raw);
    if (words_.count() >= position && words_.word(position) == key) break;
  }
  line_ = raw;

  if (!query.unitText.empty()) {
    if (words_.count() > position) {
      if (words_.word(position + 1) != query.unitText) {
        run_.messages().fatal("GetRecord", "Dimension for " + std::string(key) + " should be " +
                                               std::string(query.unitText));
      }
    } else {
      run_.messages().fatal("GetRecord", "You have to specify a dimension for " +
                                             std::string(key) + " Its value should be " +
                                             std::string(query.unitText));
    }
  }
  return true;
}

void Records::missingRecord(std::string_view keyword, int position, Unit unit) {
  const std::string text = "Cannot find record " + std::string(keyword) + " (column " +
                           formatLayout("(i2)", {std::int64_t{position}}) + ", unit " +
                           unitNumberText(unit, 3) + ")";
  // Only records of the input file are collected; another file (a field
  // model's, the hydrology file) has its own keywords and stops at once.
  if (unit != Unit::Input || !collectMissing_) run_.messages().fatal("GetRecord", text);
  if (!firstMissing_) {
    run_.messages().report("GetRecord", text);
    firstMissing_ = keyword;
  } else if (*firstMissing_ != keyword &&
             std::find(otherMissing_.begin(), otherMissing_.end(), text) == otherMissing_.end()) {
    otherMissing_.push_back(text);
  }
  // The stand-in record: no value word, the keyword in its place.
  line_.clear();
  words_.slots() = {std::string(), std::string(keyword)};
  words_.setCount(2);
  standIn_ = true;
}

int Records::countRecord(std::string_view tableName, Unit unit) {
  if (standIn_) return 0;  // a missing table stands in as an empty one
  TextFile& file = run_.units().file(unit);
  int count = 0;
  for (std::string line;;) {
    if (!file.readLine(line)) {
      run_.messages().fatal("CountRecord",
                            "FATAL while COUNTING records in " + std::string(trim(tableName)));
    }
    if (line.find("end_table") != std::string::npos) return count;
    ++count;
  }
}

std::string Records::readText(std::string_view keyword) {
  getRecord(keyword, 2);
  return words_.word(1);
}

int Records::rdOption(std::string_view keyword, std::string_view optionList, Unit unit,
                      bool mustExist) {
  if (!getRecord(keyword, 2, {.unit = unit, .mustExist = mustExist})) return -99;
  if (standIn_) return 1;  // the first option stands in for a missing record
  const std::string value = words_.word(1);
  const std::string key(trim(keyword));
  run_.log().writeLine(kDashes);

  const std::vector<std::string_view> options = optionWords(optionList);
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (options[i] == value) {
      run_.log().writeLine(
          formatLayout("(a18,1x,a18)", {padTo(key, kMaxWordLength), padTo(value, kMaxWordLength)}));
      return static_cast<int>(i + 1);
    }
  }
  std::vector<LayoutValue> listed(options.begin(),
                                  options.begin() + static_cast<long>(std::min<std::size_t>(options.size(), 50)));
  run_.messages().fatal("RdOption",
                        " Option in input file does not match possible options for " + key,
                        " The following options are available:",
                        Layout("(50(1x,a,:))").write(listed));
}

FreeFormatReader Records::remainderToWorkFile(int s) {
  UnitTable& units = run_.units();
  if (workUnit_) units.close(*workUnit_);
  const Unit unit = run_.freeFil();
  workUnit_ = unit;

  std::string text;
  for (int i = s + 1; i <= words_.count(); ++i) {
    text += std::string(trim(words_.word(i)));
    text += "   ";
  }
  text += "  ";
  units.create(unit, kWorkFile).writeLine(text);
  units.close(unit);
  TextFile& file = units.open(unit, kWorkFile);
  std::string line;
  file.readLine(line);
  return FreeFormatReader(line);
}

}  // namespace korvan
