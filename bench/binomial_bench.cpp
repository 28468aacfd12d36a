// Binomial draws in place of resampling 0/1 values: a bootstrap of two
// arms of 10^9 trials, B = 1999, and one draw's cost across n, which should
// not grow with it.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "numeric/binomial.h"

namespace {

namespace numeric = diffboot::numeric;

// B = 1999 replicates of two arms of 10^9 trials each, a conversion rate of
// 4.12% in both: the counts of every replicate, drawn from the fixed seed.
void BM_binomial_two_arms(benchmark::State& state) {
  const numeric::BinomialDrawer arm(1000000000, 0.0412);
  std::int64_t sum = 0;
  for (auto _ : state) {
    numeric::UniformState g;
    numeric::init_uniform(g);
    for (int b = 0; b < 1999; ++b) {
      sum += arm.draw(g);
      sum += arm.draw(g);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["draws"] = benchmark::Counter(2.0 * 1999.0 * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_binomial_two_arms)->Unit(benchmark::kMicrosecond);

// One draw of Binomial(10^range(0), 0.0412), the set-up included (as a
// paired table's conditional draws pay it): flat in n from the mode 11 on.
void BM_binomial_draw(benchmark::State& state) {
  std::int64_t n = 1;
  for (std::int64_t i = 0; i < state.range(0); ++i) n *= 10;
  numeric::UniformState g;
  numeric::init_uniform(g);
  for (auto _ : state) benchmark::DoNotOptimize(numeric::binomial_draw(g, n, 0.0412));
}
BENCHMARK(BM_binomial_draw)->DenseRange(3, 15, 3)->Unit(benchmark::kNanosecond);

// B = 1999 paired tables of 10^9 pairs.
void BM_binomial_paired_counts(benchmark::State& state) {
  const numeric::PairedCounts observed{400000000, 12000000, 19000000, 569000000};
  for (auto _ : state) {
    numeric::UniformState g;
    numeric::init_uniform(g);
    for (int b = 0; b < 1999; ++b) benchmark::DoNotOptimize(numeric::paired_counts_draw(g, observed));
  }
}
BENCHMARK(BM_binomial_paired_counts)->Unit(benchmark::kMicrosecond);

}  // namespace
