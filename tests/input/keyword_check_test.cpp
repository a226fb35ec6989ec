// The keywords of an input file and the nearest known keyword of a misspelt
// one.
#include "input/keyword_check.hpp"

#include <gtest/gtest.h>

namespace korvan {
namespace {

TEST(InputKeywords, RecordsAndTableNamesOutsideRowsAndComments) {
  const std::vector<std::string> lines = {
      "* 1 Comment",
      "",
      "0.5 DepWat (m)",
      "table compounds",
      "CMP Row",
      "end_table",
      "table horizon SedimentProperties",
      "Nr Rho",
      "  end_table",
      "Alone",
      "1\tTabbed",
  };
  const auto keywords = inputKeywords(lines);
  std::vector<std::pair<std::string, int>> got;
  for (const auto& k : keywords) got.emplace_back(k.word, k.line);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, int>>{
                     {"DepWat", 3}, {"compounds", 4}, {"SedimentProperties", 7}, {"Tabbed", 11}}));
}

TEST(NearestKeyword, OneEditInAShortWordAQuarterInALongOne) {
  EXPECT_EQ(editDistance("", "abc"), 3u);
  const std::set<std::string, std::less<>> known = {"ExposureReport", "DepWat", "OptHyd"};
  EXPECT_EQ(nearestKeyword("ExpsureRepot", known), "ExposureReport");  // 2 edits of 12 letters
  EXPECT_EQ(nearestKeyword("OptHdy", known), std::nullopt);            // 2 edits of 6 letters
  EXPECT_EQ(nearestKeyword("DepWt", known), "DepWat");
}

TEST(KnownKeywords, PrintSwitchesAndPerCompoundKeywords) {
  const std::set<std::string, std::less<>> compounds = {"CMP"};
  EXPECT_TRUE(isKnownKeyword("DT50WatRef_CMP", compounds));
  EXPECT_FALSE(isKnownKeyword("DT50WatRef_CPM", compounds));
  EXPECT_FALSE(isKnownKeyword("ExposureRepport", compounds));
  EXPECT_FALSE(isKnownKeyword("print_ConLiqWatLai", compounds));
}

}  // namespace
}  // namespace korvan
