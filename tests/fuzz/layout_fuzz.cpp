// Fuzz target: the layout-notation formatter. The first byte chooses how the
// layout is used: as a whole layout text, or as the RealFormat of the output
// file (its first word, at most 32 characters) inside the layouts of the
// output file's data lines. The text runs up to the first newline; the bytes
// after it are the values, each a type byte and its content.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/layout.hpp"
#include "fuzz/fuzz_run.hpp"

namespace korvan::fuzz {
namespace {

// The fixed parts around RealFormat in the data lines of the output file.
struct Family {
  std::string_view fixed;
  std::string_view closing;
};
constexpr Family kFamilies[] = {
    {",1x,a18,1x,a20,1x,", ""},
    {",1x,a18,1x,a20,1x,400(1x,", ",:)"},
    {",1x,a11,1x,a18,1x,i4,1x,400(1x,", ",:)"},
    {",1x,a11,1x,a18,1x,400(", ",:)"},
};

// Reads values from the bytes: doubles (also NaN, infinities, subnormals),
// integers and texts, until the bytes run out.
std::vector<LayoutValue> values(std::string_view bytes) {
  std::vector<LayoutValue> out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const unsigned char type = static_cast<unsigned char>(bytes[pos++]);
    const std::size_t left = bytes.size() - pos;
    if (type % 3 == 0 && left >= 8) {
      double v;
      std::memcpy(&v, bytes.data() + pos, 8);
      out.emplace_back(v);
      pos += 8;
    } else if (type % 3 == 1 && left >= 8) {
      std::int64_t v;
      std::memcpy(&v, bytes.data() + pos, 8);
      out.emplace_back(v);
      pos += 8;
    } else {
      const std::size_t n = std::min<std::size_t>(type % 24, left);
      out.emplace_back(bytes.substr(pos, n));
      pos += n;
    }
  }
  return out;
}

// The values of a data line of the output file: time, date, name, a segment
// for some families, then the numbers.
std::vector<LayoutValue> dataLine(const std::vector<LayoutValue>& fuzzed, bool segment) {
  std::vector<LayoutValue> out{12.5, std::string_view("01-Jan-1980-01h00"),
                               std::string_view("ConLiqWatLay")};
  if (segment) out.emplace_back(std::int64_t{3});
  for (const auto& v : fuzzed) {
    if (std::holds_alternative<double>(v)) out.push_back(v);
  }
  return out;
}

void formatWhole(std::string_view text, const std::vector<LayoutValue>& vals) {
  try {
    Layout layout(text);
    layout.write(vals);
  } catch (const LayoutError&) {
    // A layout that cannot be parsed, or a value that does not fit its
    // descriptor: the callers turn this into their own message.
  }
}

void formatRealFormat(std::string_view text, const std::vector<LayoutValue>& vals,
                      unsigned family) {
  const auto word = text.substr(0, std::min<std::size_t>(text.find_first_of(" \t"), 32));
  const Family& f = kFamilies[family % std::size(kFamilies)];
  const std::string whole =
      "(f9.3" + std::string(f.fixed) + std::string(word) + std::string(f.closing) + ")";
  formatWhole(whole, dataLine(vals, family % std::size(kFamilies) == 2));
}

}  // namespace
}  // namespace korvan::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvan::fuzz;
  const Input in = split(data, size);
  const std::size_t newline = in.rest.find('\n');
  const std::string_view text = in.rest.substr(0, newline);
  const auto vals =
      values(newline == std::string_view::npos ? std::string_view() : in.rest.substr(newline + 1));
  if (in.selector & 1) {
    formatRealFormat(text, vals, in.selector >> 1);
  } else {
    formatWhole(text, vals);
  }
  return 0;
}
