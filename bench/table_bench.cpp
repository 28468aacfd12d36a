// A two-column table of 10^7 rows (the size of an A/B test's export), both
// columns read as sample values: wall time and the process's peak resident
// memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tables/table.h"

namespace {

namespace fs = std::filesystem;

void write_table(const fs::path& file, std::size_t rows) {
  std::mt19937_64 rng(7);
  std::normal_distribution<double> normal(10.0, 3.0);
  std::ofstream out(file);
  out << "control,treatment\n";
  for (std::size_t i = 0; i < rows; ++i) out << normal(rng) << ',' << normal(rng) << '\n';
}

void BM_read_two_columns(benchmark::State& state) {
  const fs::path file = fs::temp_directory_path() / ("diffboot-table-" + std::to_string(getpid()) + ".csv");
  write_table(file, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    diffboot::tables::TableReader reader(file);
    benchmark::DoNotOptimize(diffboot::tables::column_values(reader, {0, 1}).data());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.SetItemsProcessed(state.iterations() * state.range(0));
  fs::remove(file);
}
BENCHMARK(BM_read_two_columns)->Arg(10000000)->ArgName("rows")->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
