// Complete input files to start from: `korvan --template EDITION WATERSYSTEM`
// prints one for each edition (MERIX, Orlan, ZR, BRAX) and water system
// (Pond, WaterCourse, Constant), with every record and table that the
// combination reads, every print switch, and the weather file it expects.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan {

struct TemplateChoice {
  std::string edition;      // MERIX, Orlan, ZR or BRAX
  std::string waterSystem;  // Pond, WaterCourse or Constant
};

// The name of the weather file that every template expects.
inline constexpr std::string_view kTemplateWeatherFile = "Weather.met";

// Every combination, in the order of the list that `--template` prints.
std::vector<TemplateChoice> templateChoices();
// The combination named by the two words (upper and lower case alike; the
// edition also as written in CallingProgram, MERIXKORVAN ...); nullopt for
// any other.
std::optional<TemplateChoice> templateChoice(std::string_view edition,
                                             std::string_view waterSystem);
// The input file of a combination.
std::string inputTemplate(const TemplateChoice& choice);
// The text of `korvan --template` without arguments: how to call it and
// the combinations.
std::string templateList();

}  // namespace korvan
