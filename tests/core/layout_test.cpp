#include "core/layout.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace korvan {
namespace {

using std::int64_t;
using Text = std::string_view;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string one(std::string_view layout, LayoutValue value) {
  return formatLayout(layout, {value});
}

// ---------------------------------------------------------------------------------------------
// Fixed point

TEST(LayoutFixed, RoundsToTheDecimals) {
  EXPECT_EQ(one("(f9.3)", 0.0208333), "    0.021");
  EXPECT_EQ(one("(f9.3)", -1234.5678), "-1234.568");
  EXPECT_EQ(one("(f6.1)", int64_t{42}), "  42.0");  // an integer is written as a real
}

TEST(LayoutFixed, LeadingZeroIsDroppedOnlyWhenOneTooWide) {
  EXPECT_EQ(one("(f5.3)", 0.5), "0.500");
  EXPECT_EQ(one("(f4.3)", 0.5), ".500");
  EXPECT_EQ(one("(f5.3)", -0.5), "-.500");
  EXPECT_EQ(one("(f4.3)", -0.5), "****");  // "-.500" still needs five
  EXPECT_EQ(one("(f2.0)", 0.2), "0.");
  EXPECT_EQ(one("(f1.0)", 0.2), "*");  // "." alone would show no digit
}

TEST(LayoutFixed, NegativeValuesRoundingToZeroKeepTheirSign) {
  EXPECT_EQ(one("(f6.3)", -0.0001), "-0.000");
  EXPECT_EQ(one("(f6.3)", -0.0), "-0.000");
}

TEST(LayoutFixed, TiesOfExactBinaryValuesRoundToEven) {
  EXPECT_EQ(one("(f5.2)", 0.125), " 0.12");
  EXPECT_EQ(one("(f5.2)", 0.375), " 0.38");
  EXPECT_EQ(one("(f5.0)", 2.5), "   2.");
  EXPECT_EQ(one("(f5.0)", 3.5), "   4.");
}

TEST(LayoutFixed, TooWideFillsTheField) {
  EXPECT_EQ(one("(f8.2)", 123456.7), "********");  // 123456.70 has nine characters
  EXPECT_EQ(one("(f9.2)", 123456.7), "123456.70");
}

TEST(LayoutFixed, ManyDecimalsShowTheExactBinaryValue) {
  // 0.1 is stored as 0.1000000000000000055511...; 20 decimals end before the 1.
  EXPECT_EQ(one("(f24.20)", 0.1), "  0.10000000000000000555");
  const std::string wide = one("(f1200.1100)", 1.0);
  EXPECT_EQ(wide, std::string(98, ' ') + "1." + std::string(1100, '0'));
}

// ---------------------------------------------------------------------------------------------
// Exponent forms

TEST(LayoutExponent, EWritesZeroPointAndDDigits) {
  EXPECT_EQ(one("(e12.5)", 0.0208333), " 0.20833E-01");
  EXPECT_EQ(one("(e12.5)", -1234.5678), "-0.12346E+04");
  EXPECT_EQ(one("(e12.5)", 0.0), " 0.00000E+00");
  EXPECT_EQ(one("(e12.5)", int64_t{-3}), "-0.30000E+01");
  EXPECT_EQ(one("(e9.2)", 0.125), " 0.12E+00");  // exact tie rounds to even
}

TEST(LayoutExponent, ERoundingCarriesIntoTheExponent) {
  // Five digits of 9.99999 are 0.99999|9, which rounds up to 0.10000E+02.
  EXPECT_EQ(one("(e12.5)", 9.99999), " 0.10000E+02");
}

TEST(LayoutExponent, EKeepsTheLeadingZeroOrFillsTheField) {
  EXPECT_EQ(one("(e11.5)", 0.5), "0.50000E+00");
  EXPECT_EQ(one("(e10.5)", 0.5), "**********");
  EXPECT_EQ(one("(e11.5)", -0.5), "***********");
}

TEST(LayoutExponent, ThreeDigitExponentsDropTheLetter) {
  EXPECT_EQ(one("(e12.5)", 1e100), " 0.10000+101");
  EXPECT_EQ(one("(e12.5)", -1e-100), "-0.10000E-99");  // 0.1E-99: still two digits
  EXPECT_EQ(one("(e12.5)", 1e-101), " 0.10000-100");
  EXPECT_EQ(one("(es12.5)", 1e100), " 1.00000+100");
}

TEST(LayoutExponent, EsHasOneNonZeroDigitBeforeThePoint) {
  EXPECT_EQ(one("(es12.5)", 0.0208333), " 2.08333E-02");
  EXPECT_EQ(one("(es12.5)", -1234.5678), "-1.23457E+03");
  EXPECT_EQ(one("(es12.5)", 0.0), " 0.00000E+00");
  // es12.5 keeps six significant digits: 9.99999 fits, 9.999996 carries.
  EXPECT_EQ(one("(es12.5)", 9.99999), " 9.99999E+00");
  EXPECT_EQ(one("(es12.5)", 9.999996), " 1.00000E+01");
  EXPECT_EQ(one("(es12.0)", 15.0), "      2.E+01");
  EXPECT_EQ(one("(es10.5)", -1.0), "**********");
}

// ---------------------------------------------------------------------------------------------
// General form

TEST(LayoutGeneral, FixedFormBetweenATenthAndTenToTheD) {
  // Fixed in f8.(4-e) plus four blanks, e being the exponent of the rounded value.
  EXPECT_EQ(one("(1x,g12.5)", -1234.5678), "  -1234.6    ");
  EXPECT_EQ(one("(1x,g12.5)", 0.1), "  0.10000    ");
  EXPECT_EQ(one("(1x,g12.5)", 12345.6), "   12346.    ");
  EXPECT_EQ(one("(1x,g12.5)", 1.0), "   1.0000    ");
  EXPECT_EQ(one("(g6.1)", 5.0), "5.    ");
}

TEST(LayoutGeneral, ExponentFormOutsideAndForZero) {
  EXPECT_EQ(one("(1x,g12.5)", 0.05), "  0.50000E-01");
  EXPECT_EQ(one("(1x,g12.5)", 0.0), "  0.00000E+00");
  EXPECT_EQ(one("(1x,g12.5)", 1e5), "  0.10000E+06");
  EXPECT_EQ(one("(1x,g12.5)", -0.0208333), " -0.20833E-01");
  EXPECT_EQ(one("(g12.5)", 1e-200), " 0.10000-199");
}

TEST(LayoutGeneral, JudgedOnTheRoundedValue) {
  // 99999.7 rounds to 1.0000E+05, which is 10**5: exponent form.
  EXPECT_EQ(one("(g12.5)", 99999.7), " 0.10000E+06");
  // 0.0999996 rounds to 0.10000: fixed form with five decimals.
  EXPECT_EQ(one("(g12.5)", 0.0999996), " 0.10000    ");
}

TEST(LayoutGeneral, TooNarrowFillsTheWholeField) {
  EXPECT_EQ(one("(g5.1)", 5.0), "*****");  // "5." does not fit in w-4 = 1
  EXPECT_EQ(one("(g4.1)", 5.0), "****");
}

// ---------------------------------------------------------------------------------------------
// Non-finite reals

TEST(LayoutNonFinite, WrittenRightAlignedOrAsAsterisks) {
  EXPECT_EQ(one("(f3.0)", kNaN), "NaN");
  EXPECT_EQ(one("(f2.0)", kNaN), "**");
  EXPECT_EQ(one("(f7.2)", kInf), "    Inf");
  EXPECT_EQ(one("(f8.2)", kInf), "Infinity");
  EXPECT_EQ(one("(f8.2)", -kInf), "    -Inf");
  EXPECT_EQ(one("(f9.2)", -kInf), "-Infinity");
  EXPECT_EQ(one("(f3.0)", -kInf), "***");
  EXPECT_EQ(one("(e12.5)", kNaN), "         NaN");
  EXPECT_EQ(one("(es12.5)", -kInf), "   -Infinity");
  EXPECT_EQ(one("(g12.5)", kNaN), "         NaN");  // no four trailing blanks
}

// ---------------------------------------------------------------------------------------------
// Integers and texts

TEST(LayoutInteger, RightAlignedOrAsterisks) {
  EXPECT_EQ(one("(i5)", int64_t{42}), "   42");
  EXPECT_EQ(one("(i4)", int64_t{-123}), "-123");
  EXPECT_EQ(one("(i4)", int64_t{12345}), "****");
  EXPECT_EQ(one("(i3)", int64_t{-123}), "***");
  EXPECT_EQ(one("(i20)", std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

TEST(LayoutText, WidthTruncatesOrRightAligns) {
  EXPECT_EQ(one("(a17)", Text("ConLiqWatLay")), "     ConLiqWatLay");
  EXPECT_EQ(one("(a11)", Text("ConLiqWatLay")), "ConLiqWatLa");
  EXPECT_EQ(one("(a12)", Text("ConLiqWatLay")), "ConLiqWatLay");
  EXPECT_EQ(one("(a)", Text("  ConLiqWatLay ")), "  ConLiqWatLay ");
  EXPECT_EQ(one("(a,'|')", Text("")), "|");
}

TEST(LayoutText, QuotedTextIsWrittenUnchanged) {
  EXPECT_EQ(formatLayout("('it''s',a)", {Text("!")}), "it's!");
  EXPECT_EQ(formatLayout("(\"say \"\"Hi\"\"\",a)", {Text("!")}), "say \"Hi\"!");
  EXPECT_EQ(formatLayout("(' A,(b) ',a)", {Text("!")}), " A,(b) !");  // case and blanks kept
  EXPECT_EQ(formatLayout("('it\"s')", {}), "it\"s");
}

// ---------------------------------------------------------------------------------------------
// Blanks and records

TEST(LayoutBlanks, CountedAndPlainX) {
  EXPECT_EQ(formatLayout("(a,1x,a)", {Text("p"), Text("q")}), "p q");
  EXPECT_EQ(formatLayout("(a,x,a)", {Text("p"), Text("q")}), "p q");
  EXPECT_EQ(formatLayout("(a,3x,a)", {Text("p"), Text("q")}), "p   q");
  EXPECT_EQ(formatLayout("(a,3x,'q')", {Text("p")}), "p   q");
}

TEST(LayoutBlanks, BlanksAtTheEndOfARecordAreNotWritten) {
  EXPECT_EQ(formatLayout("(a,3x)", {Text("p")}), "p");
  EXPECT_EQ(formatLayout("(a,3x,a)", {Text("p")}), "p");  // stops at the second a
  EXPECT_EQ(formatLayout("(a,3x,/,a)", {Text("p"), Text("q")}), "p\nq");
}

TEST(LayoutRecords, SlashStartsANewRecord) {
  EXPECT_EQ(formatLayout("(a,/,a)", {Text("p"), Text("q")}), "p\nq");
  EXPECT_EQ(formatLayout("(a/a)", {Text("p"), Text("q")}), "p\nq");  // comma optional by '/'
  EXPECT_EQ(formatLayout("(a,2/,a)", {Text("p"), Text("q")}), "p\n\nq");
  EXPECT_EQ(formatLayout("(a,/)", {Text("p")}), "p\n");  // the empty second record
}

// ---------------------------------------------------------------------------------------------
// Format control

TEST(LayoutControl, ColonEndsTheRecordWhenValuesRunOut) {
  const std::string layout = "(a,400(1x,f6.2,:))";
  EXPECT_EQ(formatLayout(layout, {Text("ab"), 1.0, 2.0, 3.0}), "ab   1.00   2.00   3.00");
  // Without ':' writing stops at the fourth f6.2, and the pending blank is dropped.
  EXPECT_EQ(formatLayout("(a,400(1x,f6.2))", {Text("ab"), 1.0, 2.0, 3.0}),
            "ab   1.00   2.00   3.00");
  EXPECT_EQ(formatLayout("(i2,:,'end')", {int64_t{1}}), " 1");
  EXPECT_EQ(formatLayout("(a:a)", {Text("p"), Text("q")}), "pq");
}

TEST(LayoutControl, TextBeforeTheStoppingPointIsWritten) {
  EXPECT_EQ(formatLayout("('abc',a,'def')", {}), "abc");
  EXPECT_EQ(formatLayout("('abc',:,'def')", {}), "abc");
  EXPECT_EQ(formatLayout("(i5)", {}), "");
  EXPECT_EQ(formatLayout("('abc')", {}), "abc");
  // Past the last value, text and '/' run on to the next data descriptor or the end.
  EXPECT_EQ(formatLayout("(i2,'e',/)", {int64_t{1}}), " 1e\n");
}

TEST(LayoutControl, RepeatCounts) {
  EXPECT_EQ(formatLayout("(3f5.1)", {1.0, 2.0, 3.0}), "  1.0  2.0  3.0");
  EXPECT_EQ(formatLayout("(2(i2,'-'),i2)", {int64_t{1}, int64_t{2}, int64_t{3}}), " 1- 2- 3");
  EXPECT_EQ(
      formatLayout("(a,2(1x,2(i1)))", {Text("n"), int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4}}),
      "n 12 34");
}

TEST(LayoutControl, ReversionResumesAtTheLastTopLevelGroup) {
  std::vector<LayoutValue> values;
  for (int64_t i = 1; i <= 7; ++i) values.emplace_back(i);
  // The group 2(1x,i2) comes back with its repeat count, then 'e'.
  EXPECT_EQ(Layout("(i3,2(1x,i2),'e')").write(values), "  1  2  3e\n  4  5e\n  6  7e");
  EXPECT_EQ(Layout("(i3,2(1x,i2,:),'e')").write(values), "  1  2  3e\n  4  5e\n  6  7");
  // The last group, not the outermost one or the first one.
  EXPECT_EQ(
      Layout("(a,(i2),i3)").write({Text("a"), int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4}}),
      "a 1  2\n 3  4");
  EXPECT_EQ(Layout("(2(a),a)").write({Text("x"), Text("y"), Text("z"), Text("w")}), "xyz\nw");
}

TEST(LayoutControl, WithoutGroupsReversionRestartsTheLayout) {
  EXPECT_EQ(formatLayout("(i3)", {int64_t{1}, int64_t{2}, int64_t{3}}), "  1\n  2\n  3");
  EXPECT_EQ(formatLayout("('<',2i2)", {int64_t{1}, int64_t{2}, int64_t{3}}), "< 1 2\n< 3");
}

TEST(LayoutControl, LayoutsFromTheOutputFiles) {
  Layout layout("(f9.3,1x,a17,1x,99(1x,g12.5))");
  EXPECT_EQ(layout.write({0.0208333, Text("ConLiqWatLay"), 0.05, -1234.5678}),
            "    0.021      ConLiqWatLay   0.50000E-01  -1234.6    ");
  EXPECT_EQ(formatLayout("(50(1x,a,:))", {Text("Yes"), Text("No")}), " Yes No");
}

TEST(LayoutControl, CaseAndBlanksDoNotMatter) {
  EXPECT_EQ(formatLayout("(F9.3,1X,G12.5)", {0.0208333, 0.05}), "    0.021  0.50000E-01");
  EXPECT_EQ(formatLayout("  ( f 9 . 3 , 1 x , E S 1 0 . 3 , A 2 , I 3 )  ",
                         {1.0, 2.0, Text("xyz"), int64_t{7}}),
            "    1.000  2.000E+00xy  7");
}

TEST(LayoutControl, HugeCountsStopWhenValuesRunOut) {
  EXPECT_EQ(formatLayout("(100000(100000(100000(a))))", {Text("x"), Text("y")}), "xy");
  EXPECT_EQ(formatLayout("(100000x,a)", {Text("x")}), std::string(100000, ' ') + "x");
  EXPECT_EQ(one("(f100000.99999)", 1.0).size(), 100000u);
}

TEST(LayoutControl, LayoutIsReusableAndMovable) {
  Layout layout("(i2)");
  EXPECT_EQ(layout.write({int64_t{1}}), " 1");
  EXPECT_EQ(layout.write({int64_t{2}}), " 2");
  Layout moved(std::move(layout));
  EXPECT_EQ(moved.write({int64_t{3}}), " 3");
  EXPECT_EQ(moved.text(), "(i2)");
}

// ---------------------------------------------------------------------------------------------
// Errors

std::string parseError(std::string_view text) {
  try {
    Layout layout(text);
  } catch (const LayoutError& e) {
    return e.what();
  }
  return "no error";
}

TEST(LayoutErrors, MessageNamesLayoutProblemAndPosition) {
  EXPECT_EQ(parseError("(f9.3,1x,q5)"),
            "Invalid layout (f9.3,1x,q5): unknown descriptor 'q' at position 9");
  EXPECT_EQ(parseError("(f9.3"),
            "Invalid layout (f9.3: unbalanced parentheses: '(' at position 0 is not closed");
  EXPECT_EQ(parseError("(f9)"),
            "Invalid layout (f9): descriptor f needs decimals (fw.d) at position 1");
}

void expectRejected(std::initializer_list<std::string_view> texts) {
  for (std::string_view text : texts) EXPECT_THROW(Layout{text}, LayoutError) << text;
}

TEST(LayoutErrors, RejectsABadFrame) {
  expectRejected({"", "   ", "()", "f9.3", "(f9.3))", "((a)", "(a)x", "(a)(a)", "(a,())"});
  expectRejected({"(a,)", "(,a)", "(a,,a)", "(a b)", "('abc)", "(a,\"x)"});
}

TEST(LayoutErrors, RejectsUnknownOrIncompleteDescriptors) {
  expectRejected({"(q)", "(ex5.2)", "(b5)", "(3)", "(2:)", "(2'x')", "(i5.2)"});
  expectRejected({"(f)", "(f9)", "(f9.)", "(e12)", "(es12)", "(g12)", "(i)"});
  // Blanks are ignored, so they cannot separate items: this reads f9.31 followed by x.
  expectRejected({"(f9.3 1x)"});
}

TEST(LayoutErrors, RejectsImpossibleOrUnboundedNumbers) {
  expectRejected({"(i0)", "(a0)", "(f0.0)", "(f3.3)", "(e5.5)", "(g5.9)", "(e12.0)", "(g12.0)"});
  expectRejected({"(0(a))", "(0x)", "(0f5.1)"});
  expectRejected(
      {"(100001x)", "(a100001)", "(100001(a))", "(f9.100001)", "(99999999999999999999x)"});
  // Value-free parts are written whole on every pass, so their size is bounded.
  expectRejected({"(100000(100000x))", "(1000(1000('abcde')),a)", "(a,11(11(11(11(11(11x))))))"});
}

TEST(LayoutErrors, NestingIsBounded) {
  const auto nested = [](int depth) {
    return std::string(depth, '(') + "a" + std::string(depth, ')');
  };
  EXPECT_EQ(formatLayout(nested(32), {Text("x")}), "x");
  EXPECT_THROW(Layout{nested(33)}, LayoutError);
  EXPECT_THROW(Layout{nested(100000)}, LayoutError);
}

TEST(LayoutErrors, ValueOfTheWrongKind) {
  const auto writeError = [](std::string_view layout, LayoutValue value) -> std::string {
    try {
      one(layout, value);
    } catch (const LayoutError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(writeError("(i4)", 1.5),
            "Cannot write by layout (i4): descriptor i4 cannot write a real (value 1)");
  EXPECT_EQ(writeError("(f9.3)", Text("x")),
            "Cannot write by layout (f9.3): descriptor f9.3 cannot write a text (value 1)");
  EXPECT_EQ(writeError("(a17)", int64_t{3}),
            "Cannot write by layout (a17): descriptor a17 cannot write an integer (value 1)");
  EXPECT_THROW(one("(a)", 1.0), LayoutError);
  EXPECT_THROW(one("(i4)", Text("x")), LayoutError);
  EXPECT_THROW(one("(e12.5)", Text("x")), LayoutError);
  EXPECT_THROW(one("(es12.5)", Text("x")), LayoutError);
  EXPECT_THROW(one("(g12.5)", Text("x")), LayoutError);
}

TEST(LayoutErrors, ValuesWithoutDataDescriptors) {
  EXPECT_THROW(one("('abc')", 1.0), LayoutError);
  EXPECT_THROW(one("(1x,/)", 1.0), LayoutError);
  EXPECT_EQ(one("(i3,2(1x))", int64_t{1}), "  1");
  // The part repeated for the second value, 2(1x), has nothing to write it with.
  EXPECT_THROW(formatLayout("(i3,2(1x))", {int64_t{1}, int64_t{2}}), LayoutError);
}

// ---------------------------------------------------------------------------------------------
// Robustness against arbitrary layout texts

// A layout text from user input must be rejected with LayoutError or write without harm.
void expectThrowsOrWrites(const std::string& text) {
  static const std::vector<LayoutValue> kValues = {1.5,  int64_t{-7}, Text("abc"), -2.5e-120,
                                                   kNaN, Text(""),    int64_t{42}, 1e300};
  try {
    const Layout layout(text);
    for (std::size_t n = 0; n <= kValues.size(); ++n) {
      try {
        layout.write(std::span<const LayoutValue>(kValues.data(), n));
      } catch (const LayoutError&) {
      }
    }
  } catch (const LayoutError&) {
  } catch (const std::exception& e) {
    ADD_FAILURE() << text << ": " << e.what();
  }
}

TEST(LayoutFuzz, RandomTextsThrowLayoutErrorOrWrite) {
  std::mt19937 random(20240611);
  const std::string alphabet = "aiefgsxAX0123456789.,:/()'\" q";
  const auto pick = [&](const std::string& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  for (int i = 0; i < 400; ++i) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 24)(random);
    for (int k = 0; k < length; ++k) text += pick(alphabet);
    if (i % 2 == 0) text = "(" + text + ")";
    expectThrowsOrWrites(text);
  }
}

TEST(LayoutFuzz, RandomWellFormedItemsThrowLayoutErrorOrWrite) {
  std::mt19937 random(7);
  const std::vector<std::string> items = {
      "a",  "a3",      "i4",     "f9.3",  "e12.5", "es10.3", "g12.5", "x",    "3x",
      ":",  "/",       "'t''x'", "2f5.1", "(",     ")",      "99(",   "f4.3", "g5.1",
      "i1", "a100000", "7(",     "e7.3",  "g4.3",  "9x",     "2/"};
  for (int i = 0; i < 400; ++i) {
    std::string text = "(";
    const int count = std::uniform_int_distribution<int>(1, 8)(random);
    for (int k = 0; k < count; ++k) {
      if (k > 0) text += ',';
      text += items[std::uniform_int_distribution<std::size_t>(0, items.size() - 1)(random)];
    }
    text += ")";
    expectThrowsOrWrites(text);
  }
}

}  // namespace
}  // namespace korvan
