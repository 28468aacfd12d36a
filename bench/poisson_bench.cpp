// The Poisson bootstrap's kernel: row-replicates a second on one thread.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "diffboot/poisson.h"
#include "poisson/kernel.h"

namespace {

// One part of 10^5 rows, B = 1999 replicates: the kernel alone (the rows
// prepared once), counters give row-replicates a second.
void BM_poisson_kernel(benchmark::State& state) {
  std::mt19937_64 engine(7);
  std::lognormal_distribution<double> value(1.0, 0.8);
  std::vector<double> x(100000);
  for (double& v : x) v = value(engine);
  const diffboot::poisson::Setup setup{5, 1999, 0};
  const diffboot::poisson::Frame frame = diffboot::poisson::frame_of(diffboot::poisson::summarise(x, 1));
  diffboot::poisson::Sums sums;
  const diffboot::poisson::Rows rows = diffboot::poisson::prepare_rows(x, {}, 0, frame, setup, sums);
  std::vector<std::int64_t> weights(1999);
  std::vector<double> moments(4 * 1999);
  for (auto _ : state) {
    diffboot::poisson::add_replicates(rows, setup.seed, 0, 1999, weights, moments);
    benchmark::DoNotOptimize(moments.data());
  }
  state.counters["row_replicates"] =
      benchmark::Counter(static_cast<double>(x.size()) * 1999.0 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_poisson_kernel)->Unit(benchmark::kMillisecond);

}  // namespace
