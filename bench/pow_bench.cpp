// The cost of one std::pow on the arguments a Freundlich isotherm sees in the
// sediment: the dissolved concentration over its reference (1e-9 to 1e-1,
// g.m-3 over 1 g.m-3) to the power expFre - 1 (here 0.9 - 1). The run's
// substance pass is measured in units of this call (bench/run.sh).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/vector_math.hpp"

namespace {

// Concentrations spread over eight decades, so that neither the branch
// predictor nor a cached result makes one call cheaper than in a run.
std::vector<double> ratios() {
  std::vector<double> r(1024);
  for (std::size_t n = 0; n < r.size(); ++n) {
    r[n] = std::pow(10.0, -9.0 + 8.0 * static_cast<double>((n * 397) % r.size()) / 1024.0);
  }
  return r;
}

void FreundlichPow(benchmark::State& state) {
  const std::vector<double> r = ratios();
  const double exponent = 0.9 - 1.0;
  std::size_t n = 0;
  for (auto _ : state) {
    double x = r[n];
    benchmark::DoNotOptimize(x);
    double y = std::pow(x, exponent);
    benchmark::DoNotOptimize(y);
    n = (n + 1) & 1023;
  }
}
BENCHMARK(FreundlichPow);

// Independent calls over the 1024 arguments, as the solver makes them for
// the layers of a column: the cost per power by throughput.
void FreundlichPowThroughput(benchmark::State& state) {
  const std::vector<double> r = ratios();
  std::vector<double> y(r.size());
  const double exponent = 0.9 - 1.0;
  for (auto _ : state) {
    for (std::size_t n = 0; n < r.size(); ++n) y[n] = std::pow(r[n], exponent);
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * r.size()));
}
BENCHMARK(FreundlichPowThroughput);

// The same powers on the vector unit the solver uses (korvan::vecmath).
void FreundlichPowVector(benchmark::State& state) {
  const std::vector<double> r = ratios();
  std::vector<double> y(r.size());
  const double exponent = 0.9 - 1.0;
  for (auto _ : state) {
    korvan::vecmath::powArray(r.data(), exponent, y.data(), r.size());
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * r.size()));
  state.SetLabel(std::string(korvan::vecmath::isaName(korvan::vecmath::bestIsa())));
}
BENCHMARK(FreundlichPowVector);

// The loop alone, to read the pow's own share.
void LoopOnly(benchmark::State& state) {
  const std::vector<double> r = ratios();
  std::size_t n = 0;
  for (auto _ : state) {
    double x = r[n];
    benchmark::DoNotOptimize(x);
    n = (n + 1) & 1023;
  }
}
BENCHMARK(LoopOnly);

}  // namespace

BENCHMARK_MAIN();
