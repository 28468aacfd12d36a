// Whole runs of the built program, paired and unpaired, at n = 30 to 30000
// per sample: wall time (manual time) and peak resident memory of the child
// process. No plotting program is on PATH, so nothing waits for a window.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void write_sample(const fs::path& file, std::size_t n, unsigned seed, bool skewed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(10.0, 3.0);
  std::exponential_distribution<double> exponential(0.1);
  std::ofstream out(file);
  for (std::size_t i = 0; i < n; ++i) out << (skewed ? exponential(rng) : normal(rng)) << '\n';
}

struct Outcome {
  double seconds;
  long peak_kb;
  int status;
};

// Runs the program in dir with `options` (none: the dialogue, answered from
// answers.txt).
Outcome run_once(const fs::path& dir, const std::vector<std::string>& options) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int in = open("answers.txt", O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    setenv("PATH", dir.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(DIFFBOOT_EXE)};
    for (const std::string& o : options) argv.push_back(const_cast<char*>(o.c_str()));
    argv.push_back(nullptr);
    execv(DIFFBOOT_EXE, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return {elapsed.count(), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Times the runs of the benchmark on samples of n values in a fresh
// directory with `answers`; every run must end with `status`.
void time_runs(benchmark::State& state, std::size_t n, const std::string& answers, int status,
               const std::vector<std::string>& options = {}) {
  const fs::path dir = fs::temp_directory_path() / ("diffboot-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  write_sample(dir / "x.txt", n, 1, false);
  write_sample(dir / "y.txt", n, 2, true);
  std::ofstream(dir / "answers.txt") << answers;
  long peak = 0;
  for (auto _ : state) {
    const Outcome o = run_once(dir, options);
    if (o.status != status) state.SkipWithError("the run did not end as expected");
    state.SetIterationTime(o.seconds);
    peak = std::max(peak, o.peak_kb);
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / 1024.0;
  fs::remove_all(dir);
}

void BM_whole_run(benchmark::State& state) {
  const bool paired = state.range(1) == 1;
  time_runs(state, static_cast<std::size_t>(state.range(0)),
            std::string("x.txt\ny.txt\n") + (paired ? "p" : "u") + "\n0.05\n", 0);
}
BENCHMARK(BM_whole_run)
    ->ArgsProduct({{30, 300, 3000, 30000}, {0, 1}})
    ->ArgNames({"n", "paired"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
// The same runs with permutation p-values of every measure (9999
// permutations), from the command line.
void BM_whole_run_p_values(benchmark::State& state) {
  time_runs(state, static_cast<std::size_t>(state.range(0)), "", 0,
            {state.range(1) == 1 ? "-p" : "-u", "--p-values", "x.txt", "y.txt"});
}
BENCHMARK(BM_whole_run_p_values)
    ->ArgsProduct({{30, 300, 3000, 30000}, {0, 1}})
    ->ArgNames({"n", "paired"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Moderate sizes from the command line, 3000 and 10^4 values a sample: the
// default measures (measures 0), d_AVE alone (1, what the means' measures
// cost) and every measure (2).
void BM_whole_run_measures(benchmark::State& state) {
  std::vector<std::string> options{"-u", "x.txt", "y.txt"};
  if (state.range(1) == 1) options.insert(options.begin(), {"--measures", "d_AVE"});
  if (state.range(1) == 2) options.insert(options.begin(), {"--measures", "all"});
  time_runs(state, static_cast<std::size_t>(state.range(0)), "", 0, options);
}
BENCHMARK(BM_whole_run_measures)
    ->ArgsProduct({{3000, 10000}, {0, 1, 2}})
    ->ArgNames({"n", "measures"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// Arms of an online experiment: 10^5 to 10^7 values per sample (the last
// takes minutes).
BENCHMARK(BM_whole_run)
    ->Args({100000, 0})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Args({10000000, 0})
    ->ArgNames({"n", "paired"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// An unpaired command-line run of 10^5 and 10^6 values per sample, the
// default measures alone (quantiles 0) and with --quantiles 0.9,0.99
// (quantiles 1): what the two quantile measures add.
void BM_whole_run_quantiles(benchmark::State& state) {
  std::vector<std::string> options{"-u", "x.txt", "y.txt"};
  if (state.range(1) == 1) options.insert(options.begin(), {"--quantiles", "0.9,0.99"});
  time_runs(state, static_cast<std::size_t>(state.range(0)), "", 0, options);
}
BENCHMARK(BM_whole_run_quantiles)
    ->ArgsProduct({{100000, 1000000}, {0, 1}})
    ->ArgNames({"n", "quantiles"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Two files of 10^7 values each, counted, read, summarised and turned into
// histograms: the run is timed up to the experiment-type question, where the
// answers end (a fatal end of input, status 255).
void BM_read_to_type_question(benchmark::State& state) {
  time_runs(state, static_cast<std::size_t>(state.range(0)), "x.txt\ny.txt\n", 255);
}
BENCHMARK(BM_read_to_type_question)
    ->Arg(10000000)
    ->ArgName("values")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
