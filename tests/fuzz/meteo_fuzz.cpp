// Fuzz target: the weather file. Every line goes through the record parser,
// and the whole text, as the .met file of station Sta, through the meteo
// module of a two-day run: header, search of the start record, copy of the
// period to the work file, and the records of the temperature pass. The
// first byte chooses daily, hourly or monthly input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/modules.hpp"
#include "fuzz/fuzz_run.hpp"
#include "input/sim_clock.hpp"
#include "temperature/meteo.hpp"

namespace {

constexpr const char* kResolutions[] = {"Daily", "Hourly", "Monthly"};

std::string meteoRecords(const char* resolution) {
  return std::string("Sta MeteoStation\n") + resolution +
         " OptMetInp\n"
         "1 TimZone (-)\n"
         "52 LocLat (Degrees)\n"
         "5 LocLong (Degrees)\n"
         "2 MetLvlRef (m)\n"
         "10 MetLvlObs (m)\n"
         "1000 FacWatTur1 (W.m-2)\n"
         "-30 FacWatTur2 (W.m-2)\n"
         "-0.75 FacCldB1 (-)\n"
         "3.4 FacCldB2 (-)\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvan;
  using namespace korvan::fuzz;
  const Input in = split(data, size);
  const int resolution = in.selector % 3;
  const auto input = static_cast<MetInput>(resolution + 1);

  std::size_t pos = 0;
  while (pos <= in.rest.size()) {
    const std::size_t end = std::min(in.rest.find('\n', pos), in.rest.size());
    parseMeteoRecord(in.rest.substr(pos, end - pos), input);
    pos = end + 1;
  }

  FuzzRun run(meteoRecords(kResolutions[resolution]) + requiredRecords(),
              {{"Sta.met", std::string(in.rest)}});
  run.exercise([](Run& r) {
    SimClock& clock = r.clock();
    clock.readSettings();
    clock.setTimeStep(kHour);
    Meteo& meteo = r.meteo();
    meteo.task(Task::Initialise);
    for (int pass = 0; pass < 2; ++pass) {
      for (int step = 0; step < 48; ++step) {
        if (SimClock::timeReached(clock.tim(), meteo.nextRecordTime())) meteo.task(Task::Step);
        meteo.updateCumulatives();
        meteo.refractionAngle(clock.tim());
        clock.advance();
      }
      clock.resetToStart();
      meteo.task(Task::Reinitialise);
    }
    meteo.task(Task::Terminate);
  });
  return 0;
}
