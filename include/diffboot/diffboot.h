#pragma once
// diffboot as a library: bootstrap confidence intervals for the effect in a
// two-sample experiment. analyse() takes the two samples and the options and
// returns, per effect measure, the estimate with its Student's t, BCa,
// percentile and basic intervals, exactly as the program's csv and json give
// them for the same values, experiment type, alpha, B and seed. It keeps no
// state between calls: calls on other threads may run at once.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace diffboot {

enum class Experiment { paired, unpaired };

struct Options {
  Experiment experiment = Experiment::unpaired;
  double alpha = 0.025;                 // probability beyond each bound
  std::int64_t replications = 1999;     // B
  std::optional<std::int32_t> seed;     // none: the fixed seed
  unsigned threads = 0;                 // 0: every core
  std::vector<std::string> measures;    // by name, such as {"d_AVE", "g", "delta"}; {"all"}: every one; none: the experiment's
  std::int32_t permutations = 0;        // permutation p-values from this many permutations (99 to 10^6); 0: none
};

struct MeasureResult {
  std::string name;                     // "d_AVE", "AVE_d", ...
  double estimate, se, bias, t_lower, t_upper, bca_lower, bca_upper,
         percentile_lower, percentile_upper, basic_lower, basic_upper, z0, acceleration;
  double p_permutation, p_t;            // NaN unless asked for (p_t: the mean measures only)
};

struct Results {
  Options options;
  std::int64_t n_x, n_y;
  std::vector<MeasureResult> measures;  // as asked for; by default paired: AVE_d, MED_d; unpaired: d_AVE, d_MED, d_STD, d_MAD
};

// Bad input: its message is the program's (without its console framing).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws diffboot::Error (derived from std::runtime_error, with the program's message) on bad input.
Results analyse(std::span<const double> x, std::span<const double> y, const Options& options);

}  // namespace diffboot
