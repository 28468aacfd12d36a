#pragma once
// A whole Poisson bootstrap run: the settings checked, then the measures'
// results from the samples' whole sums, or from two samples at hand.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bootstrap/experiment.h"
#include "poisson/results.h"
#include "poisson/sums.h"

namespace diffboot::poisson::engine {

// What a run asks for.
struct Settings {
  Experiment experiment = Experiment::unpaired;
  double alpha = 0.025;
  std::int64_t replications = 1999;     // B
  std::int32_t seed = 0;
  unsigned threads = 1;                 // of analyse(); the same bits at any number
  std::vector<std::string> measures;    // by name; none: the defaults
  std::int32_t permutations = 0;        // asked for: an Error, not part of it
  bool keep_replicates = false;         // each measure's replicates in replication order too
};

// The measures' results and the values they come from.
struct Outcome {
  std::int64_t n_x = 0, n_y = 0;              // the values analysed
  std::int64_t missing_x = 0, missing_y = 0;  // the missing values left out
  std::vector<MeasureRun> measures;           // in report order
};

// Why `settings` cannot run (a bad alpha, B or seed, an experiment that is
// neither, p-values, a measure it does not give), as an Error.
void check(const Settings& settings);

// The results from the whole sums of x and y (paired: the differences' in
// x, and a paired lift the second halves' of second_half_sums in y, else y
// ignored), which must be of the settings' seed and B and hold every value
// of their sample (Error if not).
Outcome results(const Sums& x, const Sums& y, const Settings& settings);

// The whole run over x and y (paired: x - y, a NaN in either half missing)
// as one part keyed by position, on settings.threads threads. A `progress`
// given is set to the run's units (a row of a replicate of a pass),
// counted, and checked: bootstrap::Stopped ends the run. The same bits as
// without.
Outcome analyse(std::span<const double> x, std::span<const double> y, const Settings& settings,
                bootstrap::Progress* progress = nullptr);

}  // namespace diffboot::poisson::engine
