#include "hydrology/hydrology_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text_file.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::TempDir;

const std::string kMidnight = "01-Jan-1980      ";
const std::string kOneOClock = "01-Jan-1980-01h00";

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

TEST(HydrologyFile, WeirReachRecordInExponentForm) {
  HydrologyFile file(HydFileLayout::WeirReach, false);
  const std::vector<double> v = {0.0, 0.01, 0.5};
  // e12.5: "0.", five digits, "E", sign and two digits, right-aligned.
  const std::string want =
      line("    0.000", kMidnight, {" 0.00000E+00", " 0.10000E-01", " 0.50000E+00"});
  EXPECT_EQ(file.formatRecord(0.0, kMidnight, v, true), want);
  EXPECT_EQ(file.formatRecord(0.0, kMidnight, v, false), want);
  // One hour later (1/24 day = 0.042 with three decimals), negative value.
  EXPECT_EQ(file.formatRecord(1.0 / 24.0, kOneOClock, std::vector<double>{-2.5, 0.0, 1.0}, false),
            line("    0.042", kOneOClock, {"-0.25000E+01", " 0.00000E+00", " 0.10000E+01"}));
}

TEST(HydrologyFile, PondRecordTwoDischargesAndTheDepth) {
  HydrologyFile file(HydFileLayout::Pond, false);
  // g12.4 below 0.1 and for 0 is the exponent form; g12.5 of 0.5 is fixed
  // point in 8 characters followed by four blanks.
  EXPECT_EQ(file.formatRecord(2.0, kMidnight, std::vector<double>{0.01, 0.0, 0.5}, true),
            line("    2.000", kMidnight, {"  0.1000E-01", "  0.0000E+00", " 0.50000    "}));
}

TEST(HydrologyFile, OrlanPondRecordSixValues) {
  HydrologyFile file(HydFileLayout::OrlanPond, true);
  EXPECT_EQ(file.formatRecord(0.0, kMidnight, std::vector<double>{0.5, 0.0, 1.25, 1e-7, 2e-8, 0.0},
                              false),
            line("    0.000", kMidnight,
                 {"  0.5000    ", "  0.0000E+00", "   1.250    ", "  0.1000E-06", "  0.2000E-07",
                  "  0.0000E+00"}));
}

TEST(HydrologyFile, WaterCourseFirstRecordFourDigitsLaterFive) {
  const std::vector<double> v = {0.01, 0.01, 0.25};
  HydrologyFile merix(HydFileLayout::WaterCourse, false);
  EXPECT_EQ(merix.formatRecord(0.0, kMidnight, v, true),
            line("    0.000", kMidnight, {"  0.1000E-01", "  0.1000E-01", "  0.2500    "}));
  EXPECT_EQ(merix.formatRecord(0.0, kMidnight, v, false),
            line("    0.000", kMidnight, {" 0.10000E-01", " 0.10000E-01", " 0.25000    "}));
  // The Orlan edition keeps four digits.
  HydrologyFile orlan(HydFileLayout::WaterCourse, true);
  EXPECT_EQ(orlan.formatRecord(0.0, kMidnight, v, false),
            merix.formatRecord(0.0, kMidnight, v, true));
}

// A water course of 120 segments: 121 discharges and the depth.
std::vector<double> longRecord() {
  std::vector<double> v;
  for (int i = 0; i <= 120; ++i) v.push_back(0.01 + 0.001 * i);
  v.push_back(0.3);
  return v;
}

TEST(HydrologyFile, LongWaterCourseRecordContinuesOnTheNextLine) {
  HydrologyFile file(HydFileLayout::WaterCourse, false);
  const std::string record = file.formatRecord(1.0, kOneOClock, longRecord(), false);
  const auto newline = record.find('\n');
  ASSERT_NE(newline, std::string::npos);
  EXPECT_EQ(record.find('\n', newline + 1), std::string::npos);  // two lines
  // 99 values on the first line, the other 23 on the second, each in 13
  // characters.
  EXPECT_EQ(newline, 9u + 1 + 17 + 1 + 99 * 13);
  EXPECT_EQ(record.size() - newline - 1, 23u * 13);
  EXPECT_EQ(record.substr(newline + 1, 13), "  0.10900    ");
}

TEST(HydrologyFile, RecordsAreReadBackAcrossLineBreaks) {
  TempDir dir;
  HydrologyFile file(HydFileLayout::WaterCourse, false);
  {
    TextFile out(dir.path() / "t.hyd", TextFile::Mode::Write);
    for (auto l : file.headerLines()) out.writeLine(l);
    out.writeLine(file.formatRecord(0.0, kMidnight, longRecord(), true));
    std::vector<double> second = longRecord();
    for (double& x : second) x *= 2.0;
    out.writeLine(file.formatRecord(1.0 / 24.0, kOneOClock, second, false));
    out.close();
  }
  TextFile in(dir.path() / "t.hyd", TextFile::Mode::Read);
  HydrologyFile::skipHeader(in);
  std::vector<double> values(122);
  const std::vector<double> want = longRecord();
  ASSERT_TRUE(HydrologyFile::readRecord(in, values));
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(values[i], want[i], 1e-4 * want[i]);
  ASSERT_TRUE(HydrologyFile::readRecord(in, values));
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(values[i], 2.0 * want[i], 1e-5 * want[i]);
  }
  EXPECT_FALSE(HydrologyFile::readRecord(in, values));  // end of file
}

TEST(HydrologyFile, ExtraValuesOfARecordAreSkippedAndBadNumbersFail) {
  TempDir dir;
  dir.write("t.hyd",
            "* header\n"
            "    0.000 01-Jan-1980          0.1  0.2  0.3  9.9  9.9\n"
            "    0.042 01-Jan-1980-01h00    0.4  0.5  0.6\n"
            "    0.083 01-Jan-1980-02h00    0.4  x.5  0.6\n");
  TextFile in(dir.path() / "t.hyd", TextFile::Mode::Read);
  HydrologyFile::skipHeader(in);
  std::vector<double> values(3);
  ASSERT_TRUE(HydrologyFile::readRecord(in, values));
  EXPECT_EQ(values, (std::vector<double>{0.1, 0.2, 0.3}));
  ASSERT_TRUE(HydrologyFile::readRecord(in, values));
  EXPECT_EQ(values, (std::vector<double>{0.4, 0.5, 0.6}));
  EXPECT_FALSE(HydrologyFile::readRecord(in, values));
}

TEST(HydrologyFile, SkippingTheHeaderRewindsFirst) {
  TempDir dir;
  dir.write("t.hyd", "* one\n* two\n    0.000 01-Jan-1980   1.0\n");
  TextFile in(dir.path() / "t.hyd", TextFile::Mode::Read);
  std::vector<double> values(1);
  HydrologyFile::skipHeader(in);
  ASSERT_TRUE(HydrologyFile::readRecord(in, values));
  HydrologyFile::skipHeader(in);
  ASSERT_TRUE(HydrologyFile::readRecord(in, values));
  EXPECT_EQ(values[0], 1.0);
}

}  // namespace
}  // namespace korvan
