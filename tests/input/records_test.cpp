#include "input/records.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using testing::minimalInput;
using testing::TestRun;

TEST(SplitWords, BlanksAndTabsSeparateWordsAndTheCountCoversTheWholeLine) {
  TestRun t(minimalInput());
  t.setup();
  Records& r = t.run().records();
  r.splitWords("  0.5\tDepWat  (m)  ");
  EXPECT_EQ(r.words().count(), 3);
  EXPECT_EQ(r.words().word(2), "DepWat");
  EXPECT_EQ(r.words().word(4), "");

  // With a maximum only the first words are stored, but all are counted.
  r.splitWords("a b c d e", 2);
  EXPECT_EQ(r.words().count(), 5);
  EXPECT_EQ(r.words().word(3), "");

  // A blank line gives no words.
  r.splitWords("     ");
  EXPECT_EQ(r.words().count(), 0);

  // Exactly 32 characters is still a word.
  r.splitWords(std::string(32, 'x') + " key");
  EXPECT_EQ(r.words().word(1).size(), 32u);
  t.finish();
}

TEST(GetRecord, FindsTheKeywordAtItsPositionOnly) {
  TestRun t(
      minimalInput("* 9.9 WidWatSys (m) in a comment is not a record\n"
                   "\n"
                   "7.0 WidWatSysExtra (m)\n"
                   "WidWatSys 8.0 (m)\n"
                   "1.5\tWidWatSys\t(m)\n"
                   "2.5 WidWatSys (m)\n"));
  t.setup();
  Records& r = t.run().records();
  // The comment, the longer word and the first position are all passed over;
  // of two records the first wins.
  EXPECT_TRUE(r.getRecord("WidWatSys", 2, {.unitText = "(m)"}));
  EXPECT_EQ(r.words().word(1), "1.5");
  // Without rewinding the search goes on after the record found last.
  EXPECT_TRUE(r.getRecord("WidWatSys", 2, {.noRewind = true}));
  EXPECT_EQ(r.words().word(1), "2.5");
  // A missing record that need not exist gives false and no message.
  EXPECT_FALSE(r.getRecord("WidWatSys", 2, {.noRewind = true, .mustExist = false}));
  EXPECT_EQ(t.finish(), kExitNormal);
}

TEST(RdOption, GivesThePositionInTheListAndEchoesIt) {
  TestRun t(minimalInput("OffLine OptHydTest\nOnLine OptHydTest\nonline OptTemTest\n"));
  t.setup();
  Records& r = t.run().records();
  // The first occurrence of a record given twice is used.
  EXPECT_EQ(r.rdOption("OptHydTest", "OnLine OffLine Stationary Only Automatic"), 2);
  EXPECT_EQ(r.rdOption("Missing", "Yes No", Unit::Input, false), -99);
  t.run().log().flush();
  const auto log = t.dir().lines("t.log");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], std::string(80, '-'));
  // Keyword and value each left-adjusted in 18 characters.
  EXPECT_EQ(log.back(), "OptHydTest         OffLine           ");
  // Options are matched exactly: lower case is not OnLine.
  EXPECT_EQ(t.expectFatal([&] { r.rdOption("OptTemTest", "OnLine OffLine"); }).size(), 3u);
}

TEST(RecordRemainder, WritesTheWorkFileAndReadsItInFreeFormat) {
  TestRun t(minimalInput("15-May-1980-09h00  12.5  5.0e2 0 100 Loadings\n"));
  t.setup();
  Records& r = t.run().records();
  r.getRecord("Loadings", 6);
  FreeFormatReader reader = r.remainderToWorkFile(1);
  EXPECT_EQ(t.dir().read("korvan.tmp"), "12.5   5.0e2   0   100   Loadings     \n");
  EXPECT_EQ(reader.nextReal(), 12.5);
  EXPECT_EQ(reader.nextReal(), 500.0);
  EXPECT_EQ(t.finish(), kExitNormal);
  EXPECT_FALSE(t.dir().exists("korvan.tmp"));  // work files go at the end
}

TEST(FreeFormat, NumbersAsListDirectedInputReadsThem) {
  EXPECT_EQ(parseNumber("1.5e-3"), 0.0015);
  EXPECT_EQ(parseNumber("1.5D-3"), 0.0015);
  EXPECT_EQ(parseNumber("+.5"), 0.5);
  EXPECT_EQ(parseNumber("5."), 5.0);
  EXPECT_EQ(parseNumber("1.5+3"), 1500.0);  // exponent sign without a letter
  for (const char* bad : {"", "abc", "1.5x", "e5", ".", "-", "1e", "1e+", "NaN", "inf", "Infinity",
                          "1e999", "1..2", "0x10", "1,5"}) {
    EXPECT_EQ(parseNumber(bad), std::nullopt) << bad;
  }
  // The nearest double, as strtod gives it, also at the edges of the range
  // and for numbers longer than the parser's buffer; an underflow reads as
  // the nearest small value.
  const std::string longText = "0." + std::string(80, '0') + "15";
  for (const std::string& text : std::initializer_list<std::string>{"0.1", "2.2250738585072011e-308", "1.7976931348623157e308", "4.9e-324",
        "9007199254740993", "-123.456e-7", longText, "1" + std::string(70, '0')}) {
    EXPECT_EQ(parseNumber(text), std::strtod(text.c_str(), nullptr)) << text;
  }
  // Random numbers of the forms input files hold (up to 20 digits, a point
  // anywhere, an exponent of either letter or none) read as strtod reads
  // them, bit for bit.
  std::mt19937_64 random(7);
  for (int n = 0; n < 20000; ++n) {
    std::string digits;
    const int count = 1 + static_cast<int>(random() % 20);
    for (int d = 0; d < count; ++d) digits += static_cast<char>('0' + random() % 10);
    const std::size_t point = random() % (digits.size() + 1);
    std::string text = (random() % 2 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
    std::string plain = text;
    if (random() % 3 != 0) {
      const std::string exponent = std::to_string(static_cast<int>(random() % 61) - 30);
      text += (random() % 2 ? "D" : "E") + exponent;
      plain += "e" + exponent;
    }
    const auto value = parseNumber(text);
    ASSERT_TRUE(value.has_value()) << text;
    const double expected = std::strtod(plain.c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(*value), std::bit_cast<std::uint64_t>(expected)) << text;
  }
  EXPECT_TRUE(std::signbit(*parseNumber("-0.0")));
  EXPECT_EQ(parseNumber("1e-400"), 0.0);
  EXPECT_EQ(parseNumber("-1D-400"), 0.0);
  EXPECT_EQ(parseNumber(longText + "x"), std::nullopt);
  EXPECT_EQ(parseNumber("-" + longText + "+3"), -std::strtod((longText + "e3").c_str(), nullptr));
  EXPECT_EQ(firstItem("  0.5,7 DepWat"), "0.5");
  EXPECT_EQ(firstItem("3/ x"), "3");
  FreeFormatReader reader("1, 2 ,3 / 4");
  for (const double value : {1.0, 2.0, 3.0}) EXPECT_EQ(reader.nextReal(), value);
  EXPECT_EQ(reader.nextReal(), std::nullopt);  // a slash ends the values
}

}  // namespace
}  // namespace korvan
