// A year of the stream scenario (drift and drainage of a parent, its
// transformation in water and sediment, a product formed from it) closes
// the water-layer and sediment balances of both compounds to better than
// 1e-6 of the mass that entered: every term comes from the solvers' own
// contributions, so only round-off separates the sums from the masses present.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

// The last printed value of every per-compound line "name_compound value".
std::map<std::string, double> lastValues(const testing::TempDir& dir, const std::string& name) {
  std::map<std::string, double> out;
  for (const auto& line : testing::dataLines(dir.lines(name))) {
    std::istringstream in(line);
    std::string time, date, variable;
    double value = 0.0;
    if (in >> time >> date >> variable >> value) out[variable] = value;
  }
  return out;
}

TEST(MassBalanceYear, StreamWithDriftDrainageTransformationAndFormationCloses) {
  testing::TempDir dir;
  testing::copyExample(dir, "stream");
  std::string input = dir.read("stream.kvn");
  // Four segments keep the year short; one print at the end of the year
  // gives the whole year's amounts.
  input = std::regex_replace(input, std::regex("\n200     10 "), "\n200     4  ");
  input = std::regex_replace(input, std::regex("\n\\S+(\\s+OptDelTimPrn)"), "\nYear$1");
  input = std::regex_replace(input, std::regex("\nNo(\\s+print_Ama(?!Loa)\\w+)"), "\nYes$1");
  dir.write("stream.kvn", input);

  ASSERT_TRUE(testing::runsNormally(dir, "stream"));
  EXPECT_EQ(dir.read("stream.log").find("Mass balance error"), std::string::npos);

  auto v = lastValues(dir, "stream.out");
  for (const std::string c : {"CMP", "MET"}) {
    SCOPED_TRACE(c);
    const auto at = [&](const std::string& term) {
      const auto it = v.find(term + "_" + c);
      EXPECT_NE(it, v.end()) << term;
      return it == v.end() ? 0.0 : it->second;
    };
    const double enteredWater = at("AmaDrfWatLay") + at("AmaDraWatLay") + at("AmaRnoWatLay") +
                                at("AmaAtmDepWatLay") + at("AmaForWatLay") + at("AmaSedOutWatLay") +
                                std::max(at("AmaUpsWatLay"), 0.0);
    const double enteredSediment = at("AmaWatLayOutSed") + at("AmaErsSed") + at("AmaForSed");
    ASSERT_GT(enteredWater, 0.0);
    ASSERT_GT(enteredSediment, 0.0);
    EXPECT_LT(std::fabs(at("AmaErrWatLay")) / enteredWater, 1e-6);
    EXPECT_LT(std::fabs(at("AmaErrSed")) / enteredSediment, 1e-6);
    EXPECT_LT(at("AmaTraWatLay"), 0.0);
    EXPECT_LT(at("AmaTraSed"), 0.0);
  }
  // The parent enters by drift and with drain water; the product is formed.
  for (const char* term :
       {"AmaDrfWatLay_CMP", "AmaDraWatLay_CMP", "AmaForWatLay_MET", "AmaForSed_MET"}) {
    EXPECT_GT(v[term], 0.0) << term;
  }
}

}  // namespace
}  // namespace korvan
