// The Poisson bootstrap's kernel: row-replicates a second on one thread.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bootstrap/progress.h"
#include "poisson/analyse.h"
#include "poisson/kernel.h"
#include "poisson/sums.h"

namespace {

namespace engine = diffboot::poisson::engine;

// One part of 10^5 rows, B = 1999 replicates: the kernel alone (the rows
// prepared once) on the instruction set `isa`, counters give row-replicates
// a second.
void run_kernel(benchmark::State& state, engine::Isa isa) {
  if (!engine::supported(isa)) {
    state.SkipWithError("this processor does not run this instruction set");
    return;
  }
  std::mt19937_64 generator(7);
  std::lognormal_distribution<double> value(1.0, 0.8);
  std::vector<double> x(100000);
  for (double& v : x) v = value(generator);
  const engine::Setup setup{5, 1999, 0};
  const engine::Frame frame = engine::frame_of(engine::summarise(x, 1));
  engine::Sums sums;
  const engine::Rows rows = engine::prepare_rows(x, {}, 0, frame, setup, sums);
  std::vector<std::int64_t> weights(1999);
  std::vector<double> moments(4 * 1999);
  for (auto _ : state) {
    engine::add_replicates(rows, setup.seed, 0, 1999, weights, moments, isa);
    benchmark::DoNotOptimize(moments.data());
  }
  state.counters["row_replicates"] =
      benchmark::Counter(static_cast<double>(x.size()) * 1999.0 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

// The best instruction set of this processor (the one every run takes).
void BM_poisson_kernel(benchmark::State& state) {
  const engine::Isa best = engine::supported(engine::Isa::avx512) ? engine::Isa::avx512
                           : engine::supported(engine::Isa::avx2) ? engine::Isa::avx2
                                                                  : engine::Isa::portable;
  run_kernel(state, best);
}
BENCHMARK(BM_poisson_kernel)->Unit(benchmark::kMillisecond);

// Each instruction set: 0 portable, 1 AVX2, 2 AVX-512.
void BM_poisson_kernel_isa(benchmark::State& state) { run_kernel(state, static_cast<engine::Isa>(state.range(0))); }
BENCHMARK(BM_poisson_kernel_isa)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// A whole run on one thread, 10^5 values a sample (pairs), B = 1999:
// range(0) 0 unpaired, 1 paired, 2 paired with the lift; range(1) 1 followed
// by a Progress as a Control follows it.
void BM_poisson_analyse(benchmark::State& state) {
  std::mt19937_64 generator(7);
  std::lognormal_distribution<double> value(1.0, 0.8);
  std::vector<double> x(100000), y(100000);
  for (double& v : x) v = value(generator);
  for (double& v : y) v = value(generator);
  engine::Settings settings;
  settings.experiment = state.range(0) == 0 ? diffboot::bootstrap::Experiment::unpaired
                                            : diffboot::bootstrap::Experiment::paired;
  settings.seed = 5, settings.replications = 1999;
  if (state.range(0) == 2) settings.measures = {"AVE_d", "lift"};
  diffboot::bootstrap::Progress progress;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine::analyse(x, y, settings, state.range(1) == 1 ? &progress : nullptr));
  }
}
BENCHMARK(BM_poisson_analyse)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace
