// A corpus of malformed inputs, each derived from one of the example
// scenarios by a small edit, with the message that the run must write to its
// error file. Every case runs the korvan program in a fresh folder and checks
// that the run stops with that message, a non-zero status, no success marker
// and no work file left behind.
//
// The cases live in tests/bad_input/cases.txt; the layout of that file is
// described at its top.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_run.hpp"

namespace korvan {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct Edit {
  std::string op;
  std::string file;    // the file of the scenario that the edit changes
  std::string target;  // keyword, part of a line or count, by operation
  std::string text;    // new text, escapes already expanded
};

struct BadInputCase {
  std::string name;
  std::string example;
  std::string timEnd = testing::kShortTimEnd;
  std::vector<Edit> edits;
  std::vector<std::string> err;
  std::string problem;  // a fault of the case description itself
  int line = 0;         // where the case starts in cases.txt
};

// Test output names the case, not the bytes of the record.
void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.name; }

// A reproducible byte of binary garbage: never a blank, tab or line end, so
// that garbage stays one word on one line.
class Garbage {
 public:
  explicit Garbage(std::uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  char next() {
    for (;;) {
      state_ ^= state_ << 13;
      state_ ^= state_ >> 17;
      state_ ^= state_ << 5;
      const auto c = static_cast<unsigned char>(state_ >> 8);
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') continue;
      return static_cast<char>(c);
    }
  }
  std::string bytes(std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += next();
    return out;
  }

 private:
  std::uint32_t state_;
};

std::uint32_t seedOf(const std::string& name) {
  std::uint32_t h = 2166136261u;
  for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

// Expands \t, \\, {repeat:N:X} (X repeated N times) and {garbage:N} (N bytes
// of binary garbage).
std::string expand(const std::string& raw, Garbage& garbage, std::string& problem) {
  std::string out;
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] == '\\' && i + 1 < raw.size() && (raw[i + 1] == 't' || raw[i + 1] == '\\')) {
      out += raw[i + 1] == 't' ? '\t' : '\\';
      i += 2;
    } else if (raw.compare(i, 8, "{repeat:") == 0) {
      const auto colon = raw.find(':', i + 8);
      const auto close = raw.find('}', colon == std::string::npos ? i : colon + 1);
      if (colon == std::string::npos || close == std::string::npos) {
        problem = "unclosed {repeat:N:X}";
        return out;
      }
      const int n = std::stoi(raw.substr(i + 8, colon - i - 8));
      const std::string what = raw.substr(colon + 1, close - colon - 1);
      for (int k = 0; k < n; ++k) out += what;
      i = close + 1;
    } else if (raw.compare(i, 9, "{garbage:") == 0) {
      const auto close = raw.find('}', i);
      if (close == std::string::npos) {
        problem = "unclosed {garbage:N}";
        return out;
      }
      out += garbage.bytes(static_cast<std::size_t>(std::stoi(raw.substr(i + 9, close - i - 9))));
      i = close + 1;
    } else {
      out += raw[i++];
    }
  }
  return out;
}

// "A => B" split at the first " => ".
std::pair<std::string, std::string> splitArrow(const std::string& value) {
  const auto at = value.find(" => ");
  if (at == std::string::npos) return {value, {}};
  return {value.substr(0, at), value.substr(at + 4)};
}

const char* const kOperations[] = {
    "replace-record", "delete-record", "replace-line", "replace-exact-line", "delete-line",
    "insert-before",
    "insert-after",   "append",        "keep-lines",   "keep-bytes",  "empty",
    "garbage",        "content",       "remove",       "rerun-offline"};

std::vector<BadInputCase> loadCases() {
  std::vector<BadInputCase> cases;
  const fs::path path = fs::path(KORVAN_SOURCE_DIR) / "tests" / "bad_input" / "cases.txt";
  std::ifstream in(path);
  if (!in) {
    BadInputCase missing;
    missing.name = "MissingCaseFile";
    missing.problem = "cannot open " + path.string();
    return {missing};
  }
  std::string file;
  Garbage garbage(1);
  int lineNo = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) {
      if (!cases.empty()) cases.back().problem = "line " + std::to_string(lineNo) + " has no key";
      continue;
    }
    const std::string key = line.substr(0, colon);
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    if (key == "case") {
      BadInputCase c;
      c.name = value;
      c.line = lineNo;
      cases.push_back(c);
      garbage = Garbage(seedOf(value));
      continue;
    }
    if (cases.empty()) continue;
    BadInputCase& c = cases.back();
    if (key == "example") {
      c.example = value;
      file = value + ".kvn";
    } else if (key == "timend") {
      c.timEnd = value;
    } else if (key == "file") {
      file = value;
    } else if (key == "err") {
      // A final "|" marks the end of a line that ends in blanks.
      if (!value.empty() && value.back() == '|') value.pop_back();
      c.err.push_back(expand(value, garbage, c.problem));
    } else if (std::find(std::begin(kOperations), std::end(kOperations), key) !=
               std::end(kOperations)) {
      auto [target, text] = splitArrow(value);
      Edit e{key, file, target, expand(text, garbage, c.problem)};
      if (key == "append" || key == "content") e.text = expand(value, garbage, c.problem);
      c.edits.push_back(e);
    } else {
      c.problem = "unknown key '" + key + "' at line " + std::to_string(lineNo);
    }
  }
  return cases;
}

bool isComment(const std::string& line) { return !line.empty() && line[0] == '*'; }

std::string secondWord(const std::string& line) {
  std::istringstream words(line);
  std::string w;
  words >> w >> w;
  return words ? w : std::string();
}

// The lines of a text and whether it ended with a line end.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

// Applies one edit; returns an empty text on success, else what went wrong.
std::string applyEdit(const TempDir& dir, const Edit& e) {
  if (e.op == "remove") {
    fs::remove(dir.path() / e.file);
    return {};
  }
  if (e.op == "empty") {
    dir.write(e.file, "");
    return {};
  }
  if (e.op == "content" || e.op == "garbage") {
    dir.write(e.file, e.op == "content" ? e.text
                                         : Garbage(seedOf(e.file + e.target))
                                               .bytes(static_cast<std::size_t>(std::stoi(e.target))));
    return {};
  }
  const std::string text = dir.read(e.file);
  if (e.op == "keep-bytes") {
    dir.write(e.file, text.substr(0, static_cast<std::size_t>(std::stoul(e.target))));
    return {};
  }
  std::vector<std::string> lines = splitLines(text);
  if (e.op == "keep-lines") {
    lines.resize(std::min(lines.size(), static_cast<std::size_t>(std::stoul(e.target))));
    dir.write(e.file, joinLines(lines));
    return {};
  }
  if (e.op == "append") {
    lines.push_back(e.text);
    dir.write(e.file, joinLines(lines));
    return {};
  }
  const bool byKeyword = e.op == "replace-record" || e.op == "delete-record";
  const bool whole = e.op == "replace-exact-line";
  const auto at = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
    if (byKeyword) return !isComment(l) && secondWord(l) == e.target;
    if (whole) return l == e.target;
    return l.find(e.target) != std::string::npos;
  });
  if (at == lines.end()) return "no line for '" + e.target + "' in " + e.file;
  if (e.op == "replace-record" || e.op == "replace-line" || whole) {
    *at = e.text;
  } else if (e.op == "delete-record" || e.op == "delete-line") {
    lines.erase(at);
  } else if (e.op == "insert-before") {
    lines.insert(at, e.text);
  } else if (e.op == "insert-after") {
    lines.insert(at + 1, e.text);
  }
  dir.write(e.file, joinLines(lines));
  return {};
}

std::vector<std::string> workFilesIn(const TempDir& dir) {
  std::vector<std::string> out;
  for (const auto& name : dir.files()) {
    if (fs::path(name).extension() == ".tmp") out.push_back(name);
  }
  return out;
}

class Corpus : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(Corpus, StopsWithTheExpectedMessage) {
  const BadInputCase& c = GetParam();
  ASSERT_TRUE(c.problem.empty()) << "case at line " << c.line << ": " << c.problem;
  ASSERT_FALSE(c.example.empty()) << "case at line " << c.line << " names no example";
  ASSERT_FALSE(c.err.empty()) << "case at line " << c.line << " expects no message";
  TempDir dir;
  testing::copyExample(dir, c.example);
  const std::string kvn = c.example + ".kvn";
  // The cases edit the events themselves: the Loadings table stays whole.
  testing::setTimEnd(dir, kvn, c.timEnd, false);

  for (const Edit& e : c.edits) {
    if (e.op == "rerun-offline") {
      // An earlier run of the same RunId writes the hydrology file; the run
      // under test reuses it.
      const auto first = testing::runProgram(dir.path(), {c.example});
      ASSERT_EQ(first.status, kExitNormal) << dir.read(c.example + ".err");
      const Edit offline{"replace-record", kvn, "OptHyd", "OffLine          OptHyd"};
      ASSERT_EQ(applyEdit(dir, offline), "");
      fs::remove(dir.path() / "korvan.ok");
      continue;
    }
    const std::string failure = applyEdit(dir, e);
    ASSERT_EQ(failure, "") << "case at line " << c.line;
  }

  const auto result = testing::runProgram(dir.path(), {c.example});
  EXPECT_NE(result.status, kExitNormal) << result.output;
  EXPECT_EQ(result.status, kExitError) << result.output;
  EXPECT_FALSE(dir.exists("korvan.ok"));
  EXPECT_EQ(dir.lines(c.example + ".err"), c.err) << result.output;
  EXPECT_EQ(workFilesIn(dir), std::vector<std::string>{});
}

std::string caseName(const ::testing::TestParamInfo<BadInputCase>& info) {
  std::string name = info.param.name;
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(BadInput, Corpus, ::testing::ValuesIn(loadCases()), caseName);

TEST(BadInputCorpus, HoldsAtLeastSixtyDistinctCases) {
  const auto cases = loadCases();
  EXPECT_GE(cases.size(), 60u);
  std::vector<std::string> names;
  for (const auto& c : cases) names.push_back(c.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

}  // namespace
}  // namespace korvan
