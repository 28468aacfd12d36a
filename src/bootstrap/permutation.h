#pragma once
// Two-sided permutation tests of the measures of a run: unpaired, the
// pooled values relabelled at random (each permutation a random choice of
// which n_x of them are x: groups within a factor two of each other take a
// random half, thirty positions from each of the generator's words, evened
// out to n_x at exactly uniform positions; others a partial shuffle of the
// smaller group); paired, the signs of the differences flipped at random,
// thirty from each word. p = (1 + #{|T*| >= |T|}) / (N + 1), N
// permutations, T the measure's value, T* its value on a permutation
// (Davison and Hinkley, Bootstrap Methods, 1997, eq. 4.11, with 0 as the
// value under the null); |T*| within a relative 1e-12 of |T| counts as
// reaching it, so that rounding does not decide. The permutations come from
// their own stream of the seed, far from the bootstrap's, and give the same
// p-values on any number of threads.
#include <cstdint>
#include <span>

#include "bootstrap/progress.h"
#include <vector>

#include "numeric/random.h"

namespace diffboot::bootstrap {

// What a permutation test measures on the two groups (unpaired) or on the
// signed differences (paired).
// The quantile statistics have no permutation test: their p-values are NaN
// (the caller gives them a NaN observed value). h is Cohen's h of the two
// groups' means (unpaired) or of the pairs' two halves (paired).
enum class Statistic {
  mean_difference, median_difference, sd_difference, mad_difference, g, delta, mean, median, lift,
  quantile, quantile_difference, h
};

// Where the permutations' stream starts: this many deviates after the
// bootstrap's first (whose runs use fewer than 2^45).
inline constexpr std::uint64_t permutation_stream_offset = std::uint64_t{1} << 61;

// Where the draws that even out random halves start, and how many of them
// each permutation has to itself (it would need 2^35 drawn positions to run
// into the next one's).
inline constexpr std::uint64_t evening_stream_offset = std::uint64_t{1} << 60;
inline constexpr std::uint64_t evening_deviates = std::uint64_t{1} << 36;

// The permutations' generator: seeded from -seed, `offset` deviates on.
numeric::UniformState permutation_stream(std::int32_t seed, std::uint64_t offset);

struct PermutationTest {
  std::span<const double> x, y;        // the samples; paired: of equal size
  bool paired = false;
  std::span<const Statistic> statistics;
  std::span<const double> observed;    // T of each statistic
  std::int32_t permutations = 9999;    // N
  std::int32_t seed = 286761062;       // the run's seed: the stream is seeded from -seed
  unsigned threads = 1;
  Progress* progress = nullptr;        // when given, counts n_x + n_y units a permutation; a stop asked of it ends the test with Stopped
};

// The p-value of each statistic; NaN for a statistic whose observed value is
// NaN.
std::vector<double> permutation_p_values(const PermutationTest& test);

// The signs a paired permutation takes from each deviate: bits 1 to 30 of
// its combined word (bit 0 is always set).
inline constexpr std::size_t signs_per_word = 30;

// The deviates one permutation draws from the permutations' stream: one
// word per 30 positions of a random half, one per draw of a partial shuffle's
// positions (two where more than 131609 are left), or one word per 30 signs
// of n differences.
std::uint64_t permutation_deviates(std::size_t n_x, std::size_t n_y, bool paired);

}  // namespace diffboot::bootstrap
