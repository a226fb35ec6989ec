// Fuzz target: the files of the field models. The first byte chooses the
// model and so the file that the text becomes (SULKA .s2k, QUIB .q2k, DRALO
// .e2k in the MERIX and the Orlan edition, BRAX .b2k, ZANDO .z2k); the
// hydrology's reader opens it, skips the header and consumes records as the
// hydrology pass does, one per step.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_run.hpp"
#include "hydrology/lateral_entries.hpp"

namespace {

struct Model {
  const char* records;  // the input records of the model, before the required ones
  const char* file;     // the file that holds the fuzzed text
  const char* other;    // a second file that the model needs, with valid content
  const char* otherContent;
};

constexpr const char* kBrax =
    "BRAXKORVAN CallingProgram\n"
    "BRAX OptLoa\n"
    "basin FilZANDO\n";
constexpr const char* kBraxFile =
    "* Greenhouse basin\n"
    "*  Number of substances: 1\n"
    "0.0000 01-Jan-1980-00h00 1.0e-6 0.0\n"
    "0.0417 01-Jan-1980-01h00 2.0e-6 0.0\n";
constexpr const char* kZandoFile =
    "Discharge of the upstream water course\n"
    "Time(d) Date Q(m3.s-1)\n"
    "0.0000 01-Jan-1980-00h00 2.0e-03\n"
    "0.0417 01-Jan-1980-01h00 2.5e-03\n";

constexpr Model kModels[] = {
    {"SULKA OptLoa\ntable Soil\nfield.s2k\nend_table\n", "field.s2k", nullptr, nullptr},
    {"QUIB OptLoa\ntable Soil\nfield.q2k\nend_table\n0.5 RatInfDir (-)\n", "field.q2k", nullptr,
     nullptr},
    {"DRALO OptLoa\n", "t_1.e2k", nullptr, nullptr},
    {"ORLANKORVAN CallingProgram\nDRALO OptLoa\n", "t_1.e2k", nullptr, nullptr},
    {kBrax, "t.b2k", "basin.z2k", kZandoFile},
    {kBrax, "basin.z2k", "t.b2k", kBraxFile},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvan;
  using namespace korvan::fuzz;
  const Input in = split(data, size);
  const Model& model = kModels[in.selector % std::size(kModels)];
  Files files{{model.file, std::string(in.rest)}};
  if (model.other != nullptr) files.emplace_back(model.other, model.otherContent);
  FuzzRun run(std::string(model.records) + requiredRecords(), files);
  run.exercise([](Run& r) {
    LateralEntries& entries = r.lateralEntries();
    entries.open();
    for (int step = 0; step < 64; ++step) {
      entries.readRecord();
      entries.vvrLiqDraPart(2);
      entries.loadingColumns();
    }
    entries.close();
  });
  return 0;
}
