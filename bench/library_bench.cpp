// Library routines at n = 10^3, 10^5 and 10^6: deviates, resamples, medians
// with MADs, and sorting; the leave-one-out statistics of a sample at
// n = 3000 and 30000 (quadratic in n); the library's analyse() at n = 30
// on one thread, the call the Python package's bench compares itself with.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bootstrap/bca.h"
#include "bootstrap/leave_one_out.h"
#include "diffboot/diffboot.h"
#include "bootstrap/permutation.h"
#include "numeric/random.h"
#include "numeric/sorting.h"
#include "numeric/summaries.h"

namespace {

using namespace diffboot;

std::vector<double> normal_sample(std::size_t n) {
  std::mt19937_64 rng(42);
  std::normal_distribution<double> d(10.0, 3.0);
  std::vector<double> v(n);
  for (double& x : v) x = d(rng);
  return v;
}

void BM_uniform_deviate(benchmark::State& state) {
  numeric::UniformState g;
  numeric::init_uniform(g);
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(numeric::uniform_deviate(g, g.resampler_seed));
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_uniform_deviate);

void BM_analyse_n30(benchmark::State& state) {
  const std::vector<double> x = normal_sample(30), y = normal_sample(31);
  diffboot::Options o;
  o.threads = 1;
  for (auto _ : state) benchmark::DoNotOptimize(diffboot::analyse(x, std::span(y).first(30), o));
}
BENCHMARK(BM_analyse_n30)->Unit(benchmark::kMicrosecond);

// Proportions from counts, 10^9 trials an arm, B = 1999: a replicate is a
// binomial draw an arm, whatever the trials.
void BM_analyse_counts(benchmark::State& state) {
  diffboot::Options o;
  o.proportions = true;
  for (auto _ : state) {
    benchmark::DoNotOptimize(diffboot::analyse_counts({41200000, 1e9}, {45500000, 1e9}, o));
  }
}
BENCHMARK(BM_analyse_counts)->Unit(benchmark::kMillisecond);

void BM_resample(benchmark::State& state) {
  const auto x = normal_sample(static_cast<std::size_t>(state.range(0)));
  std::vector<double> out(x.size());
  numeric::UniformState g;
  numeric::init_uniform(g);
  for (auto _ : state) {
    numeric::resample(g, x, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_resample)->Arg(1000)->Arg(100000)->Arg(1000000);

// The positions of the replications' resamples, drawn in vector lanes.
void BM_draw_positions(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const numeric::PositionDrawer drawer(n);
  std::vector<std::uint32_t> positions(n);
  numeric::UniformState g;
  numeric::init_uniform(g);
  for (auto _ : state) {
    drawer.draw(g, positions);
    benchmark::DoNotOptimize(positions.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_draw_positions)->Arg(3000)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(10000000);

// 9999 permutations on one thread of the default measures: the unpaired
// four (both samples of n values) or the paired mean and median.
void BM_permutation_p_values(benchmark::State& state) {
  using bootstrap::Statistic;
  const auto n = static_cast<std::size_t>(state.range(0));
  const bool paired = state.range(1) == 1;
  const auto x = normal_sample(n);
  std::vector<double> y = normal_sample(n + 1);
  y.erase(y.begin());
  const Statistic unpaired[] = {Statistic::mean_difference, Statistic::median_difference, Statistic::sd_difference,
                                Statistic::mad_difference};
  const Statistic both[] = {Statistic::mean, Statistic::median};
  const double observed[] = {0.1, 0.1, 0.1, 0.1};
  const std::span<const Statistic> statistics = paired ? std::span<const Statistic>(both) : unpaired;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bootstrap::permutation_p_values({x, y, paired, statistics, observed, 9999, 1, 1}));
  }
  state.SetItemsProcessed(state.iterations() * 9999);
}
BENCHMARK(BM_permutation_p_values)
    ->ArgsProduct({{30, 300, 3000, 30000}, {0, 1}})
    ->ArgNames({"n", "paired"})
    ->Unit(benchmark::kMillisecond);

void BM_med_mad(benchmark::State& state) {
  const auto x = normal_sample(static_cast<std::size_t>(state.range(0)));
  std::vector<double> work;
  double med = 0, mad = 0;
  for (auto _ : state) {
    numeric::med_mad(x, med, mad, work);
    benchmark::DoNotOptimize(mad);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_med_mad)->Arg(1000)->Arg(100000)->Arg(1000000);

void BM_sort(benchmark::State& state) {
  const auto x = normal_sample(static_cast<std::size_t>(state.range(0)));
  std::vector<double> v;
  for (auto _ : state) {
    v = x;
    numeric::sort(v);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_sort)->Arg(1000)->Arg(100000)->Arg(1000000);

}  // namespace

void BM_leave_one_out(benchmark::State& state) {
  const auto x = normal_sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const bootstrap::LeaveOneOut loo = bootstrap::leave_one_out(x, bootstrap::Spread::with);
    benchmark::DoNotOptimize(loo.std.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_leave_one_out)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

// The unpaired jackknife's accelerations at n values a sample: the n² pairs
// in their written order against the algebra, to place the switch between them.
void BM_unpaired_jackknife(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const bool algebra = state.range(1) != 0;
  const auto x = normal_sample(n), y = normal_sample(n + 1);
  for (auto _ : state) {
    if (algebra) {
      const bootstrap::LeaveOneOut a = bootstrap::leave_one_out_by_algebra(x, bootstrap::Spread::with);
      const bootstrap::LeaveOneOut b = bootstrap::leave_one_out_by_algebra(std::span(y).first(n), bootstrap::Spread::with);
      benchmark::DoNotOptimize(bootstrap::unpaired_accelerations_by_algebra(a, b));
    } else {
      const bootstrap::LeaveOneOut a = bootstrap::leave_one_out(x, bootstrap::Spread::with);
      const bootstrap::LeaveOneOut b = bootstrap::leave_one_out(std::span(y).first(n), bootstrap::Spread::with);
      benchmark::DoNotOptimize(bootstrap::unpaired_accelerations(a, b, nullptr));
    }
  }
}
BENCHMARK(BM_unpaired_jackknife)
    ->ArgsProduct({{100, 300, 500, 1000, 2000, 3000, 10000}, {0, 1}})
    ->ArgNames({"n", "algebra"})
    ->Unit(benchmark::kMillisecond);
