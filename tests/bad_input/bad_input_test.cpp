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
#include <set>
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
void PrintTo(const BadInputCase& c, std::ostream* os) {
  *os << c.name;
}

// A reproducible byte of binary garbage: never a blank, tab or line end, so
// that garbage stays one word on one line.
class Garbage {
 public:
  explicit Garbage(std::uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  std::string bytes(std::size_t n) {
    std::string out;
    while (out.size() < n) {
      state_ ^= state_ << 13;
      state_ ^= state_ >> 17;
      state_ ^= state_ << 5;
      const auto c = static_cast<char>(state_ >> 8);
      if (std::string_view(" \t\n\r\v\f").find(c) == std::string_view::npos) out += c;
    }
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
    const bool repeat = raw.compare(i, 8, "{repeat:") == 0;
    if (raw[i] == '\\' && i + 1 < raw.size() && (raw[i + 1] == 't' || raw[i + 1] == '\\')) {
      out += raw[i + 1] == 't' ? '\t' : '\\';
      i += 2;
    } else if (repeat || raw.compare(i, 9, "{garbage:") == 0) {
      const auto colon = repeat ? raw.find(':', i + 8) : i + 8;
      const auto close = colon == std::string::npos ? colon : raw.find('}', colon + 1);
      if (close == std::string::npos) {
        problem = repeat ? "unclosed {repeat:N:X}" : "unclosed {garbage:N}";
        return out;
      }
      if (repeat) {
        const int n = std::stoi(raw.substr(i + 8, colon - i - 8));
        for (int k = 0; k < n; ++k) out += raw.substr(colon + 1, close - colon - 1);
      } else {
        out += garbage.bytes(std::stoul(raw.substr(i + 9, close - i - 9)));
      }
      i = close + 1;
    } else {
      out += raw[i++];
    }
  }
  return out;
}

const std::set<std::string> kOperations = {
    "replace-record", "delete-record", "replace-line", "replace-exact-line",
    "delete-line",    "insert-before", "insert-after", "append",
    "keep-lines",     "keep-bytes",    "empty",        "garbage",
    "content",        "remove",        "rerun-offline"};

std::vector<BadInputCase> loadCases() {
  const fs::path path = fs::path(KORVAN_SOURCE_DIR) / "tests" / "bad_input" / "cases.txt";
  std::ifstream in(path);
  if (!in)
    return {BadInputCase{.name = "MissingCaseFile", .problem = "cannot open " + path.string()}};
  std::vector<BadInputCase> cases;
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
      cases.push_back(BadInputCase{.name = value, .line = lineNo});
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
    } else if (kOperations.contains(key)) {
      // "A => B" split at the first " => "; append and content take the whole text.
      const auto at = value.find(" => ");
      Edit e{key, file, value.substr(0, at),
             expand(at == std::string::npos ? "" : value.substr(at + 4), garbage, c.problem)};
      if (key == "append" || key == "content") e.text = expand(value, garbage, c.problem);
      c.edits.push_back(e);
    } else {
      c.problem = "unknown key '" + key + "' at line " + std::to_string(lineNo);
    }
  }
  return cases;
}

// Applies an edit of the lines of a file; returns an empty text on success,
// else what went wrong.
std::string editLines(const TempDir& dir, const Edit& e) {
  std::vector<std::string> lines = dir.lines(e.file);
  if (e.op == "keep-lines") {
    lines.resize(std::min(lines.size(), static_cast<std::size_t>(std::stoul(e.target))));
  } else if (e.op == "append") {
    lines.push_back(e.text);
  } else {
    const auto at = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
      std::istringstream words(l);
      std::string w;
      if (e.op.ends_with("-record"))
        return !l.starts_with("*") && (words >> w >> w) && w == e.target;
      return e.op == "replace-exact-line" ? l == e.target : l.find(e.target) != std::string::npos;
    });
    if (at == lines.end()) return "no line for '" + e.target + "' in " + e.file;
    if (e.op.starts_with("replace-")) {
      *at = e.text;
    } else if (e.op.starts_with("delete-")) {
      lines.erase(at);
    } else {
      lines.insert(e.op == "insert-before" ? at : at + 1, e.text);
    }
  }
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  dir.write(e.file, out);
  return {};
}

// Applies one edit; returns an empty text on success, else what went wrong.
std::string applyEdit(const TempDir& dir, const Edit& e) {
  if (e.op == "remove") {
    fs::remove(dir.path() / e.file);
  } else if (e.op == "empty" || e.op == "content") {
    dir.write(e.file, e.text);
  } else if (e.op == "garbage") {
    dir.write(e.file, Garbage(seedOf(e.file + e.target)).bytes(std::stoul(e.target)));
  } else if (e.op == "keep-bytes") {
    dir.write(e.file, dir.read(e.file).substr(0, std::stoul(e.target)));
  } else {
    return editLines(dir, e);
  }
  return {};
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
      ASSERT_EQ(applyEdit(dir, {"replace-record", kvn, "OptHyd", "OffLine          OptHyd"}), "");
      fs::remove(dir.path() / "korvan.ok");
      continue;
    }
    ASSERT_EQ(applyEdit(dir, e), "") << "case at line " << c.line;
  }

  const auto result = testing::runProgram(dir.path(), {c.example});
  EXPECT_EQ(result.status, kExitError) << result.output;
  EXPECT_FALSE(dir.exists("korvan.ok"));
  EXPECT_EQ(dir.lines(c.example + ".err"), c.err) << result.output;
  for (const auto& name : dir.files())
    EXPECT_NE(fs::path(name).extension().string(), ".tmp") << name;
}

std::string caseName(const ::testing::TestParamInfo<BadInputCase>& info) {
  std::string name = info.param.name;
  std::replace_if(
      name.begin(), name.end(), [](unsigned char ch) { return !std::isalnum(ch); }, '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(BadInput, Corpus, ::testing::ValuesIn(loadCases()), caseName);

TEST(BadInputCorpus, HoldsAtLeastSixtyDistinctCases) {
  const auto cases = loadCases();
  EXPECT_GE(cases.size(), 60u);
  std::set<std::string> names;
  for (const auto& c : cases) names.insert(c.name);
  EXPECT_EQ(names.size(), cases.size());
}

}  // namespace
}  // namespace korvan
