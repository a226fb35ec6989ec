// Records and tables of the input file that the run never reads: a misspelt
// keyword would otherwise be passed over in silence. Each is reported as a
// warning, with the nearest keyword that the run reads when one is close.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace korvan {

class Run;

// The keyword of a record (its second word) or the name of a table, with the
// line of the input file where it stands.
struct InputKeyword {
  std::string word;
  int line = 0;
};

// The keywords of the lines of an input file, in file order. Comment and
// blank lines, the rows of tables and lines of one word have none.
std::vector<InputKeyword> inputKeywords(const std::vector<std::string>& lines);

// Number of single-character edits (insert, delete, replace) between two
// words, upper and lower case counted equal.
std::size_t editDistance(std::string_view a, std::string_view b);

// The known word nearest to the word, when it is close enough to be a
// misspelling of it.
std::optional<std::string> nearestKeyword(std::string_view word,
                                          const std::set<std::string, std::less<>>& known);

// Every keyword that some run of the model reads (see known_keywords.cpp).
const std::set<std::string, std::less<>>& knownKeywords();

// A keyword of the model: a known keyword, a print switch of a known name, or
// a known per-compound base name followed by "_" and one of the compounds.
bool isKnownKeyword(std::string_view word, const std::set<std::string, std::less<>>& compounds);

// Reports every keyword of the input file that is no keyword of the model and
// that the run has not looked up, as a warning in the log file. Called once,
// at the end of the input reading.
void reportUnreadKeywords(Run& run);

}  // namespace korvan
