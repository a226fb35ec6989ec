// The implicit scheme against the model's scheme: every scenario of
// examples/, shortened to end on 20 May 1980, runs once with OptTimStp Calc
// and once with Implicit (hourly steps, daily input in steps of an hour).
// Compared are the maxima and the values after each lag of the PEC and TWA
// tables of the summary (MERIX), or the maxima of the exposure series
// (ZR, BRAX), within 1 % or 1e-6 ug/L; every monthly mass-balance term of the
// output file within 1 %; and the implicit run's balance errors, which must
// stay below 1e-9 of the amounts that passed.
//
// Some table values differ by more than 1 % with hourly steps: a pulse that
// passes the downstream end within an hour is smoothed by backward Euler
// (the implicit peak converges to the explicit one as the step is halved),
// and the explicit TWA samples end-of-sub-step values while its outflow
// carries start-of-sub-step values, so that its TWA of a fast pulse lies a
// few per cent below the mass that left (the explicit value converges to the
// implicit one with shorter explicit steps). The step-halving study is in
// docs/modelling-notes.d/h18.md; the bounds below are the measured
// differences with a margin.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

using Values = std::map<std::string, double>;

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// A printed number: a token with a decimal point that parses whole.
bool number(const std::string& token, double& value) {
  const char* end = token.data() + token.size();
  return token.find('.') != std::string::npos &&
         std::from_chars(token.data(), end, value).ptr == end;
}

// The PEC and TWA tables of a MERIX summary: "<compound> [sed ]<name>".
Values summaryTables(const std::vector<std::string>& lines) {
  Values v;
  std::string prefix;
  for (const std::string& line : lines) {
    const auto sub = line.find("substance: ");
    if (line.starts_with("* Table: ") && sub != std::string::npos) {
      const bool sediment = line.find("in sediment") != std::string::npos;
      prefix = line.substr(sub + 11) + (sediment ? " sed " : " ");
      continue;
    }
    if (!line.starts_with("Global max") && !line.starts_with("PEC") && !line.starts_with("TWAEC")) {
      continue;
    }
    std::string name;
    for (const std::string& w : words(line)) {
      double x = 0.0;
      if (number(w, x)) {
        v[prefix + name] = x;
        break;
      }
      name += (name.empty() ? "" : " ") + w;
    }
  }
  return v;
}

// The maxima of the exposure series (ZR, BRAX): "<compound> column <n>".
Values exposureMaxima(const std::vector<std::string>& lines) {
  Values v;
  std::string compound;
  for (const std::string& line : lines) {
    const std::string key = "Exposure concentrations of substance ";
    if (const auto at = line.find(key); at != std::string::npos) {
      compound = words(line.substr(at + key.size()))[0];
      continue;
    }
    if (line.empty() || line[0] == '*') continue;
    const auto w = words(line);
    for (std::size_t c = 2; c < w.size(); ++c) {
      double& m = v[compound + " column " + std::to_string(c - 1)];
      m = std::max(m, std::stod(w[c]));
    }
  }
  return v;
}

// The mass terms of the output file at each print ("<date> <name>"); the
// balance errors apart.
void massTerms(const std::vector<std::string>& lines, Values& masses, Values& errors) {
  for (const std::string& line : lines) {
    const auto w = words(line);
    if (w.size() < 4 || !w[2].starts_with("Ama")) continue;
    (w[2].starts_with("AmaErr") ? errors : masses)[w[1] + " " + w[2]] = std::stod(w[3]);
  }
}

struct Outputs {
  Values tables, masses, errors;
};

// A run to 20 May with every mass term printed, with 15 digits.
Outputs run(const std::string& id, const std::string& optTimStp) {
  testing::TempDir dir;
  testing::copyExample(dir, id);
  testing::setTimEnd(dir, id + ".kvn", testing::kShortTimEnd);
  std::string input = dir.read(id + ".kvn");
  const auto replace = [&input](const std::string& from, const std::string& to) {
    for (auto at = input.find(from); at != std::string::npos; at = input.find(from, at)) {
      input.replace(at, from.size(), to);
      at += to.size();
    }
  };
  replace("\nNo               print_Ama", "\nYes              print_Ama");
  replace("\ng12.4            RealFormat", "\nes22.14          RealFormat");
  replace("\nCalc             OptTimStp", "\n" + optTimStp + " OptTimStp");
  EXPECT_NE(input.find("\n" + optTimStp + " OptTimStp"), std::string::npos) << id;
  EXPECT_NE(input.find("es22.14"), std::string::npos) << id;
  dir.write(id + ".kvn", input);
  EXPECT_TRUE(testing::runsNormally(dir, id));
  EXPECT_EQ(testing::countWarnings(dir.lines(id + ".log")), 0) << dir.read(id + ".log");
  Outputs o;
  o.tables = dir.exists(id + ".xpo") ? exposureMaxima(dir.lines(id + ".xpo"))
                                     : summaryTables(dir.lines(id + ".sum"));
  massTerms(dir.lines(id + ".out"), o.masses, o.errors);
  return o;
}

// Table values that differ by more than 1 % with hourly implicit steps, and
// the bound of their relative difference; the first key that starts the
// value's key holds.
struct Exception {
  const char* example;
  const char* key;
  double tolerance;
};
constexpr Exception kExceptions[] = {
    {"ditch", "CMP PECsw", 0.03},         {"ditch", "CMP TWAECsw", 0.05},
    {"ditch", "CMP sed", 0.025},          {"ditch", "MET Global max", 0.03},
    {"stream", "CMP sed", 0.02},          {"stream", "CMP", 0.025},
    {"stream", "MET Global max", 0.30},   {"stream", "MET", 0.03},
    {"weir_reach", "CMP column 1", 0.35}, {"constant_ditch", "CMP PECsw", 0.05},
    // The evaluation stretch ends at the outlet, where the paved-area pulse
    // passes within the hour: backward Euler lowers its peak by 1.2 %.
    {"greenhouse", "CMP column 1", 0.015},
    // Daily windows of one to four days average the first days of a drift
    // pulse, which the explicit 600 s steps carry out faster: 6.5 % at most.
    {"constant_ditch", "CMP TWAECsw", 0.07},
};

double tolerance(const std::string& id, const std::string& key) {
  for (const Exception& e : kExceptions) {
    if (id == e.example && key.starts_with(e.key)) return e.tolerance;
  }
  return 0.01;
}

class ImplicitScheme : public ::testing::TestWithParam<const char*> {};

TEST_P(ImplicitScheme, AgreesWithTheModelsSchemeAndClosesTheBalance) {
  const std::string id = GetParam();
  const Outputs calc = run(id, "Calc    ");
  const Outputs implicit = run(id, "Implicit");

  // The Orlan edition writes no tables.
  EXPECT_EQ(calc.tables.empty(), id == "orlan_pond");
  EXPECT_FALSE(calc.masses.empty());
  ASSERT_EQ(calc.tables.size(), implicit.tables.size());
  for (const auto& [key, x] : calc.tables) {
    // Tables in ug.L-1 or ug.kg-1.
    const double y = implicit.tables.at(key);
    EXPECT_LE(std::fabs(y - x), std::max(tolerance(id, key) * std::fabs(x), 1e-6))
        << id << " " << key << ": Calc " << x << ", Implicit " << y;
  }

  // Monthly amounts (g): 1 %, or round-off of a term that is nearly zero.
  ASSERT_EQ(calc.masses.size(), implicit.masses.size());
  for (const auto& [key, x] : calc.masses) {
    const double y = implicit.masses.at(key);
    EXPECT_LE(std::fabs(y - x), 0.01 * std::fabs(x) + 1e-12) << id << " " << key;
  }

  // Balance errors against everything that passed through the compartment.
  double passed = 0.0;
  for (const auto& [key, x] : implicit.masses) passed += std::fabs(x);
  for (const auto& [key, e] : implicit.errors) {
    EXPECT_LE(std::fabs(e), 1e-9 * passed) << id << " " << key;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ImplicitScheme, ::testing::ValuesIn(testing::kExamples));

}  // namespace
}  // namespace korvan
