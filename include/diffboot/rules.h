#pragma once
// What the library admits and how it names things, for every door alike:
// the ranges of B, seeds, permutations and levels, a level read from what a
// user writes, and the catalogue of measures. A door checks nothing of its
// own: it hands what the user gave to these, and their messages are the
// program's.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diffboot/diffboot.h"

namespace diffboot {

// Replications B, permutations, seeds and levels.
namespace limits {
inline constexpr std::int64_t default_replications = 1999;
inline constexpr std::int64_t min_replications = 99, max_replications = 1000000;
inline constexpr std::int32_t default_permutations = 9999;
inline constexpr std::int32_t min_permutations = 99, max_permutations = 1000000;
// A run that names no seed is seeded from this one; seeds run from 1 to the largest.
inline constexpr std::int32_t fixed_seed = 286761062;
inline constexpr std::int32_t largest_seed = 2147483647;
inline constexpr double min_level = 0.5, max_level = 0.999, default_level = 0.95;
inline constexpr double min_alpha = 0.0005, max_alpha = 0.25;
// The most quantile measures of one run.
inline constexpr std::size_t max_quantiles = 9;
}  // namespace limits

// An interval level and its alpha, (1 - level) / 2, both the decimals a user
// means (rounded to 15 significant digits: 0.99 gives alpha 0.005).
struct Level {
  double alpha, level;
};

// "0.5 to 0.999 (default 0.95); also 50 to 99.9, 95 or 95%".
std::string level_choices();

// The level a user wrote: 0.99, or in percent 99 or "99%"; Error ("level
// \"2\" is not a level from 0.5 to 0.999 ...") outside the range.
Level level_from_text(std::string_view text);
Level level_from_number(double value);

// `value` as a whole number from low to high, or Error naming it: "R 5 is not
// a whole number from 99 to 1000000".
std::int64_t whole_number(double value, std::string_view name, std::int64_t low, std::int64_t high);

// The acceleration a user names, as --acceleration takes it: "grid" or
// "samples"; Error ("acceleration \"jack\" is not grid or samples") else.
Acceleration acceleration_from_text(std::string_view text);

// How replicates are drawn: values with replacement (the program's), or each
// row weighted by a Poisson(1) count (the Poisson bootstrap).
enum class Method { bootstrap, poisson };

// The facts of a measure. Quantile measures carry their probability in the
// name (d_Q90, Q90_d); the catalogue lists them as the families d_Q and Q_d.
struct MeasureFacts {
  std::string name;          // "d_AVE"
  std::string words;         // "difference of means"
  bool data_units;           // a difference in the data's units (g, delta and lift have none)
  double low, high;          // the values it can take (lift: -1 only where the data are not negative)
  bool paired, unpaired;     // the experiments it is a measure of
  bool poisson;              // whether the Poisson bootstrap gives it
  // Shown to people in percent (lift): its label is name + "%" and its
  // estimate, se, bias and bounds are times 100 wherever they are printed to
  // be read (the text report, the bindings' printouts, the figures), while
  // data (csv, json, the bindings' values) carry the fraction.
  bool percent;
};

// Every measure, in the order the program reports them.
std::vector<MeasureFacts> measure_catalogue();

// The facts of a measure by name, quantile measures by their names too
// ("d_Q90": "difference of 90% quantiles"); nothing for an unknown name.
std::optional<MeasureFacts> measure_facts(std::string_view name);

// Every measure an experiment can be asked for by `method`, the quantile
// families left out: the measures "all" names.
std::vector<std::string> measure_names(Experiment e, Method method = Method::bootstrap);

// The name of the p-quantile measure: d_Q90 (unpaired), Q99.9_d (paired).
std::string quantile_name(double p, Experiment e);

// The name the program's csv and json give MeasureResult::p_t: p_t (the
// t-test), of proportions p_z (the two-proportion z-test) or, paired,
// p_mcnemar (McNemar's test).
std::string test_name(Experiment e, bool proportions);

}  // namespace diffboot
