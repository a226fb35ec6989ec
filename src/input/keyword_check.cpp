#include "input/keyword_check.hpp"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "core/messages.hpp"
#include "core/run.hpp"
#include "core/run_identity.hpp"
#include "core/text.hpp"
#include "input/records.hpp"

namespace korvan {

namespace {

// Words that the run finds without a record lookup: the screen switch is
// found anywhere in the file.
constexpr std::string_view kScannedWords[] = {"IOMode_StdOut"};

std::vector<std::string_view> wordsOf(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t pos = 0;
  while (true) {
    const auto start = line.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) return out;
    auto end = line.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = line.size();
    out.push_back(line.substr(start, end - start));
    pos = end;
  }
}

char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

std::vector<InputKeyword> inputKeywords(const std::vector<std::string>& lines) {
  std::vector<InputKeyword> out;
  bool inTable = false;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = std::string_view(lines[n]).substr(0, kMaxLineLength);
    if (inTable) {
      // Every line up to the first holding end_table is a row of the table.
      if (line.find("end_table") != std::string_view::npos) inTable = false;
      continue;
    }
    if (isBlank(line) || line.front() == '*') continue;
    const auto words = wordsOf(line);
    if (words.size() < 2) continue;
    const int lineNumber = static_cast<int>(n + 1);
    if (words[0] == "table") {
      inTable = true;
      // Per-horizon tables name their mode before the table name.
      const bool mode = (words[1] == "horizon" || words[1] == "interpolate") && words.size() > 2;
      out.push_back({std::string(words[mode ? 2 : 1]), lineNumber});
    } else {
      out.push_back({std::string(words[1]), lineNumber});
    }
  }
  return out;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const std::size_t replace = diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, replace});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::optional<std::string> nearestKeyword(std::string_view word,
                                          const std::set<std::string, std::less<>>& known) {
  // Close: one edit in a short word, up to a quarter of the letters in a
  // long one (ExposureRepport is one edit from ExposureReport).
  const std::size_t allowed = std::max<std::size_t>(1, word.size() / 4);
  std::optional<std::string> best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& candidate : known) {
    const std::size_t d = editDistance(word, candidate);
    if (d < bestDistance) {
      bestDistance = d;
      best = candidate;
    }
  }
  return best;
}

bool isKnownKeyword(std::string_view word, const std::set<std::string, std::less<>>& compounds) {
  const auto& known = knownKeywords();
  if (known.contains(word)) return true;
  constexpr std::string_view kPrint = "print_";
  if (word.starts_with(kPrint)) return known.contains(word.substr(kPrint.size()));
  const auto separator = word.find('_');
  if (separator == std::string_view::npos || !known.contains(word.substr(0, separator))) {
    return false;
  }
  return compounds.empty() || compounds.contains(word.substr(separator + 1));
}

void reportUnreadKeywords(Run& run) {
  Records& records = run.records();
  const auto& read = records.keywordsRead();
  TextFile& input = run.units().file(Unit::Input);
  input.rewind();
  std::vector<std::string> lines;
  for (std::string line; input.readLine(line);) lines.push_back(line);
  input.rewind();

  // The compound names, as the suffixes of the per-compound keywords read.
  std::set<std::string, std::less<>> compounds;
  for (const std::string& word : read) {
    const auto separator = word.find('_');
    if (separator != std::string::npos && !word.starts_with("print_") &&
        knownKeywords().contains(std::string_view(word).substr(0, separator))) {
      compounds.insert(word.substr(separator + 1));
    }
  }
  std::set<std::string, std::less<>> candidates = read;
  candidates.insert(knownKeywords().begin(), knownKeywords().end());

  const std::string file = run.identity().fileName(kExtInput);
  for (const InputKeyword& k : inputKeywords(lines)) {
    if (read.contains(k.word) || isKnownKeyword(k.word, compounds)) continue;
    if (std::find(std::begin(kScannedWords), std::end(kScannedWords), k.word) !=
        std::end(kScannedWords)) {
      continue;
    }
    const auto nearest = nearestKeyword(k.word, candidates);
    run.messages().warning(
        "CheckKeywords",
        k.word + " is not a KORVAN keyword" + (nearest ? "; did you mean " + *nearest + "?" : ""),
        "Line " + std::to_string(k.line) + " of " + file + " is not read by this run");
  }
}

}  // namespace korvan
