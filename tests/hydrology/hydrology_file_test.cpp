#include "hydrology/hydrology_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvan {
namespace {

const std::string kMidnight = "01-Jan-1980      ";

std::vector<std::string> header(HydFileLayout layout, bool orlan) {
  HydrologyFile file(layout, orlan);
  return {file.headerLines().begin(), file.headerLines().end()};
}

TEST(HydrologyFile, HeaderLinesOfTheFourLayouts) {
  EXPECT_EQ(header(HydFileLayout::WeirReach, false),
            (std::vector<std::string>{
                "*  Time   Date                  QBouUpsWatCrs  QCre       DepWatCre",
                "*                              (m3.s-1)        (m3.s-1)        (m)"}));
  const std::vector<std::string> pond = {
      "*  Time   Date                   Qbou(0)    QBou(1)      DepWat",
      "*                               (m3.s-1)   (m3.s-1)        (m)"};
  EXPECT_EQ(header(HydFileLayout::WaterCourse, false), pond);
  EXPECT_EQ(header(HydFileLayout::WaterCourse, true), pond);
  EXPECT_EQ(header(HydFileLayout::Pond, false), pond);
  EXPECT_EQ(header(HydFileLayout::OrlanPond, true),
            (std::vector<std::string>{"*  Time   Date                   Qbou(0)    QBou(1)      "
                                      "DepWat   FlwWatSpg    FlvLiqPrc   FlvLiqEvp"}));
}

// Time f9.3, a blank, the date in 17 characters, a blank, then per value a
// blank and the value's own field of 12 characters.
std::string line(const std::string& time, const std::string& date,
                 const std::vector<std::string>& fields) {
  std::string out = time + " " + date + " ";
  for (const auto& f : fields) out += " " + f;
  return out;
}

TEST(HydrologyFile, WaterCourseFirstRecordFourDigitsLaterFive) {
  const std::vector<double> v = {0.01, 0.01, 0.25};
  HydrologyFile merix(HydFileLayout::WaterCourse, false);
  EXPECT_EQ(merix.formatRecord(0.0, kMidnight, v, true),
            line("    0.000", kMidnight, {"  0.1000E-01", "  0.1000E-01", "  0.2500    "}));
  EXPECT_EQ(merix.formatRecord(0.0, kMidnight, v, false),
            line("    0.000", kMidnight, {" 0.10000E-01", " 0.10000E-01", " 0.25000    "}));
}

}  // namespace
}  // namespace korvan
