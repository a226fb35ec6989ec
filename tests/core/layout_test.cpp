#include "core/layout.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
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

// One value written by one layout.
struct OneValueCase {
  const char* layout;
  LayoutValue value;
  std::string expected;
};

TEST(LayoutDescriptors, WriteOneValue) {
  const OneValueCase cases[] = {
      // f: rounded to the decimals; an integer is written as a real
      {"(f6.1)", int64_t{42}, "  42.0"},
      // f: the leading zero is dropped only when the field is one too narrow
      {"(f5.3)", 0.5, "0.500"},
      {"(f4.3)", 0.5, ".500"},
      {"(f5.3)", -0.5, "-.500"},
      {"(f4.3)", -0.5, "****"},  // "-.500" still needs five
      {"(f2.0)", 0.2, "0."},
      {"(f1.0)", 0.2, "*"},  // "." alone would show no digit
      // f: negative values rounding to zero keep their sign
      {"(f6.3)", -0.0001, "-0.000"},
      {"(f6.3)", -0.0, "-0.000"},
      // f: ties of exact binary values round to even
      {"(f5.2)", 0.125, " 0.12"},
      {"(f5.2)", 0.375, " 0.38"},
      {"(f5.0)", 2.5, "   2."},
      {"(f5.0)", 3.5, "   4."},
      // f: too wide fills the field; 123456.70 has nine characters
      {"(f8.2)", 123456.7, "********"},
      {"(f9.2)", 123456.7, "123456.70"},
      // f: many decimals show the exact binary value 0.1000000000000000055511...
      {"(f24.20)", 0.1, "  0.10000000000000000555"},
      {"(f1200.1100)", 1.0, std::string(98, ' ') + "1." + std::string(1100, '0')},
      // e: zero point and d digits; an exact tie rounds to even
      {"(e12.5)", 0.0208333, " 0.20833E-01"},
      {"(e12.5)", -1234.5678, "-0.12346E+04"},
      {"(e12.5)", 0.0, " 0.00000E+00"},
      {"(e12.5)", int64_t{-3}, "-0.30000E+01"},
      {"(e9.2)", 0.125, " 0.12E+00"},
      // e: five digits of 9.99999 are 0.99999|9, which rounds up into the exponent
      {"(e12.5)", 9.99999, " 0.10000E+02"},
      // e: keeps the leading zero or fills the field
      {"(e11.5)", 0.5, "0.50000E+00"},
      {"(e10.5)", 0.5, "**********"},
      {"(e11.5)", -0.5, "***********"},
      // three-digit exponents drop the letter; 0.1E-99 still has two digits
      {"(e12.5)", 1e100, " 0.10000+101"},
      {"(e12.5)", -1e-100, "-0.10000E-99"},
      {"(e12.5)", 1e-101, " 0.10000-100"},
      {"(es12.5)", 1e100, " 1.00000+100"},
      // es: one non-zero digit before the point, six significant digits in es12.5
      {"(es12.5)", -1234.5678, "-1.23457E+03"},
      {"(es12.5)", 0.0, " 0.00000E+00"},
      {"(es12.5)", 9.99999, " 9.99999E+00"},
      {"(es12.5)", 9.999996, " 1.00000E+01"},
      {"(es12.0)", 15.0, "      2.E+01"},
      {"(es10.5)", -1.0, "**********"},
      // g: fixed in f8.(4-e) plus four blanks between a tenth and 10**d, e being the
      // exponent of the rounded value
      {"(1x,g12.5)", 0.1, "  0.10000    "},
      {"(g6.1)", 5.0, "5.    "},
      // g: exponent form outside that range and for zero
      {"(1x,g12.5)", 1e5, "  0.10000E+06"},
      {"(g12.5)", 1e-200, " 0.10000-199"},
      // g: judged on the rounded value: 99999.7 rounds to 10**5, 0.0999996 to 0.10000
      {"(g12.5)", 99999.7, " 0.10000E+06"},
      {"(g12.5)", 0.0999996, " 0.10000    "},
      // g: too narrow fills the whole field; "5." does not fit in w-4 = 1
      {"(g5.1)", 5.0, "*****"},
      {"(g4.1)", 5.0, "****"},
      // non-finite reals right-aligned or as asterisks; g adds no four trailing blanks
      {"(f3.0)", kNaN, "NaN"},
      {"(f2.0)", kNaN, "**"},
      {"(f7.2)", kInf, "    Inf"},
      {"(f8.2)", kInf, "Infinity"},
      {"(f9.2)", -kInf, "-Infinity"},
      {"(f3.0)", -kInf, "***"},
      {"(e12.5)", kNaN, "         NaN"},
      {"(g12.5)", kNaN, "         NaN"},
      // integers right-aligned or asterisks
      {"(i4)", int64_t{-123}, "-123"},
      {"(i4)", int64_t{12345}, "****"},
      {"(i3)", int64_t{-123}, "***"},
      {"(i20)", std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
      // texts: the width truncates or right-aligns
      {"(a11)", Text("ConLiqWatLay"), "ConLiqWatLa"},
      {"(a12)", Text("ConLiqWatLay"), "ConLiqWatLay"},
      {"(a)", Text("  ConLiqWatLay "), "  ConLiqWatLay "},
      {"(a,'|')", Text(""), "|"},
  };
  for (const OneValueCase& c : cases) {
    EXPECT_EQ(one(c.layout, c.value), c.expected) << c.layout;
  }
}

// Several values, or none, written by one layout.
struct ValuesCase {
  const char* layout;
  std::vector<LayoutValue> values;
  std::string expected;
};

TEST(LayoutControl, WritesTextsBlanksRecordsAndRepeatsInOrder) {
  const Text p("p"), q("q");
  const std::vector<LayoutValue> seven = {int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4},
                                          int64_t{5}, int64_t{6}, int64_t{7}};
  const ValuesCase cases[] = {
      // quoted text is written unchanged, case and blanks kept
      {"('it''s',a)", {Text("!")}, "it's!"},
      {"(\"say \"\"Hi\"\"\",a)", {Text("!")}, "say \"Hi\"!"},
      {"(' A,(b) ',a)", {Text("!")}, " A,(b) !"},
      {"('it\"s')", {}, "it\"s"},
      // counted and plain x
      {"(a,x,a)", {p, q}, "p q"},
      {"(a,3x,a)", {p, q}, "p   q"},
      // blanks at the end of a record are not written; the second a stops writing
      {"(a,3x)", {p}, "p"},
      {"(a,3x,a)", {p}, "p"},
      {"(a,3x,/,a)", {p, q}, "p\nq"},
      // '/' starts a new record, the comma by it is optional; the empty second record
      {"(a/a)", {p, q}, "p\nq"},
      {"(a,2/,a)", {p, q}, "p\n\nq"},
      {"(a,/)", {p}, "p\n"},
      // ':' ends the record when values run out; without it writing stops at the
      // fourth f6.2, and the pending blank is dropped
      {"(a,400(1x,f6.2,:))", {Text("ab"), 1.0, 2.0, 3.0}, "ab   1.00   2.00   3.00"},
      {"(a,400(1x,f6.2))", {Text("ab"), 1.0, 2.0, 3.0}, "ab   1.00   2.00   3.00"},
      {"(i2,:,'end')", {int64_t{1}}, " 1"},
      {"(a:a)", {p, q}, "pq"},
      // text before the stopping point is written; past the last value, text and '/'
      // run on to the next data descriptor or the end
      {"('abc',a,'def')", {}, "abc"},
      {"('abc',:,'def')", {}, "abc"},
      {"(i5)", {}, ""},
      {"('abc')", {}, "abc"},
      {"(i2,'e',/)", {int64_t{1}}, " 1e\n"},
      // repeat counts
      {"(2(i2,'-'),i2)", {int64_t{1}, int64_t{2}, int64_t{3}}, " 1- 2- 3"},
      {"(a,2(1x,2(i1)))", {Text("n"), int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4}}, "n 12 34"},
      // reversion resumes at the last top-level group with its repeat count, not the
      // outermost one or the first one
      {"(i3,2(1x,i2),'e')", seven, "  1  2  3e\n  4  5e\n  6  7e"},
      {"(i3,2(1x,i2,:),'e')", seven, "  1  2  3e\n  4  5e\n  6  7"},
      {"(a,(i2),i3)", {Text("a"), int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4}}, "a 1  2\n 3  4"},
      {"(2(a),a)", {Text("x"), Text("y"), Text("z"), Text("w")}, "xyz\nw"},
      // without groups reversion restarts the layout
      {"(i3)", {int64_t{1}, int64_t{2}, int64_t{3}}, "  1\n  2\n  3"},
      {"('<',2i2)", {int64_t{1}, int64_t{2}, int64_t{3}}, "< 1 2\n< 3"},
      // case and blanks do not matter
      {"(F9.3,1X,G12.5)", {0.0208333, 0.05}, "    0.021  0.50000E-01"},
      {"  ( f 9 . 3 , 1 x , E S 1 0 . 3 , A 2 , I 3 )  ",
       {1.0, 2.0, Text("xyz"), int64_t{7}},
       "    1.000  2.000E+00xy  7"},
      // huge counts stop when values run out
      {"(100000(100000(100000(a))))", {Text("x"), Text("y")}, "xy"},
      {"(100000x,a)", {Text("x")}, std::string(100000, ' ') + "x"},
  };
  for (const ValuesCase& c : cases) {
    EXPECT_EQ(Layout(c.layout).write(c.values), c.expected) << c.layout;
  }
}

TEST(LayoutControl, LayoutIsReusableAndMovableAndFieldsMayBeHuge) {
  Layout layout("(i2)");
  EXPECT_EQ(layout.write({int64_t{1}}), " 1");
  Layout moved(std::move(layout));
  EXPECT_EQ(moved.write({int64_t{3}}), " 3");
  EXPECT_EQ(one("(f100000.99999)", 1.0).size(), 100000u);
}

// ---------------------------------------------------------------------------------------------
// Errors

// The message of the LayoutError of reading a layout and writing values by it.
std::string layoutError(std::string_view layout, const std::vector<LayoutValue>& values) {
  try {
    Layout(layout).write(values);
  } catch (const LayoutError& e) {
    return e.what();
  }
  return "no error";
}

TEST(LayoutErrors, MessagesNameTheLayoutAndTheProblem) {
  EXPECT_EQ(layoutError("(f9.3,1x,q5)", {}),
            "Invalid layout (f9.3,1x,q5): unknown descriptor 'q' at position 9");
  EXPECT_EQ(layoutError("(f9.3", {}),
            "Invalid layout (f9.3: unbalanced parentheses: '(' at position 0 is not closed");
  EXPECT_EQ(layoutError("(i4)", {1.5}),
            "Cannot write by layout (i4): descriptor i4 cannot write a real (value 1)");
  EXPECT_EQ(layoutError("(f9.3)", {Text("x")}),
            "Cannot write by layout (f9.3): descriptor f9.3 cannot write a text (value 1)");
}

TEST(LayoutErrors, ValuesOfTheWrongKindOrWithoutDataDescriptors) {
  const std::pair<const char*, std::vector<LayoutValue>> cases[] = {
      {"(a)", {1.0}},
      {"(i4)", {Text("x")}},
      {"(g12.5)", {Text("x")}},
      {"('abc')", {1.0}},
      {"(1x,/)", {1.0}},
      // The part repeated for the second value, 2(1x), has nothing to write it with.
      {"(i3,2(1x))", {int64_t{1}, int64_t{2}}},
  };
  for (const auto& [layout, values] : cases) {
    EXPECT_NE(layoutError(layout, values), "no error") << layout;
  }
  EXPECT_EQ(one("(i3,2(1x))", int64_t{1}), "  1");
}

void expectRejected(std::initializer_list<std::string_view> texts) {
  for (std::string_view text : texts) EXPECT_THROW(Layout{text}, LayoutError) << text;
}

TEST(LayoutErrors, RejectsABadFrameDescriptorsOrNumbers) {
  expectRejected({"", "   ", "()", "f9.3", "(f9.3))", "((a)", "(a)x", "(a)(a)", "(a,())"});
  expectRejected({"(a,)", "(,a)", "(a,,a)", "(a b)", "('abc)", "(a,\"x)"});
  // Unknown or incomplete descriptors.
  expectRejected({"(q)", "(ex5.2)", "(b5)", "(3)", "(2:)", "(2'x')", "(i5.2)"});
  expectRejected({"(f)", "(f9)", "(f9.)", "(e12)", "(es12)", "(g12)", "(i)"});
  // Blanks are ignored, so they cannot separate items: this reads f9.31 followed by x.
  expectRejected({"(f9.3 1x)"});
  // Impossible or unbounded numbers.
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

}  // namespace
}  // namespace korvan
