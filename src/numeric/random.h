#pragma once
// The uniform generator (32-bit xorshift combined with the multiplicative
// congruential generator 16807 mod 2^31 - 1 by Schrage's method) and the
// bootstrap resampler. The fixed seed makes every run draw the same stream.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace diffboot::numeric {

// Generator, seeding and resampler state of one run, as created with the process.
// Fixed seed of the run.
inline constexpr std::int32_t fixed_seed = -286761062;

struct UniformState {
  std::int32_t initial_seed = fixed_seed;  // the negative seed init_uniform seeds from
  std::int32_t shift_word = -1;   // xorshift register
  std::int32_t lcg_word = -1;     // congruential value; negative: not initialised
  float deviate_scale = 0.0f;     // maps the combined 31-bit integer into (0, 1)
  char seed_flag = '-';           // '+' once init_uniform has seeded
  std::int32_t resampler_seed = 1;      // in-out seed of the resampler's draws
};

// Next single-precision deviate, strictly between 0 and 1. Initialises the
// generator from |seed| (and sets seed to |seed| + 1) when seed <= 0 or the
// generator is not initialised.
float uniform_deviate(UniformState& g, std::int32_t& seed);

// The combined 31-bit word the next deviate is made of (bit 0 always set,
// bits 1 to 30 uniform), advancing g as uniform_deviate does.
std::uint32_t uniform_word(UniformState& g, std::int32_t& seed);

// Seeds the generator from g.initial_seed (the fixed seed unless a run chose
// another) on its first call, consuming one deviate; later calls do nothing.
void init_uniform(UniformState& g);

// Advances an initialised generator by `count` deviates, exactly as `count`
// calls of uniform_deviate with a positive seed would, in O(log count) steps:
// the congruential part by a power of its multiplier, the xorshift part by a
// power of its step matrix over GF(2).
void skip_deviates(UniformState& g, std::uint64_t count);

// The generator advanced by a fixed number of deviates, prepared once so that
// each use costs a few dozen operations.
class Jump {
 public:
  explicit Jump(std::uint64_t distance);
  void apply(UniformState& g) const;

 private:
  std::array<std::uint32_t, 32> xorshift_;  // the xorshift step matrix to the power distance, by columns
  std::uint64_t lcg_factor_;                // 16807^distance mod (2^31 - 1)
};

// The positions of a run of draws, computed in sixteen contiguous parts whose
// generators start at their places in the stream and step side by side in
// vector lanes (fewer than sixteen draws, or draws among 2^30 and more, one
// after another). Draw t of the run is among first - (t mod cycle) values:
// a resample of n values is n draws among n; a partial shuffle's draws
// shrink by one each and start again every `cycle` draws.
class PositionDrawer {
 public:
  // The n draws of a resample of n values.
  explicit PositionDrawer(std::size_t n);
  // `count` draws, draw t among first - (t mod cycle) values (cycle <= first).
  PositionDrawer(std::size_t count, std::size_t first, std::size_t cycle);
  // Writes the zero-based positions of the next draws of the run (as that
  // many calls of draw_position give them) into positions[0..count) and
  // leaves g after the last deviate they use.
  void draw(UniformState& g, std::span<std::uint32_t> positions) const;

 private:
  std::size_t count_, first_, cycle_, part_;
  Jump jump_;  // by the deviates of part_ draws
};

// The combined words of a run of deviates, computed as PositionDrawer's
// positions are, in sixteen contiguous parts side by side.
class WordDrawer {
 public:
  explicit WordDrawer(std::size_t count);
  // Writes the next count words (as that many calls of uniform_word give
  // them) and leaves g after them.
  void draw(UniformState& g, std::span<std::uint32_t> words) const;

 private:
  std::size_t count_, part_;
  Jump jump_;  // by part_ deviates
};

// The largest resample size whose positions come from one single-precision
// deviate each, u x n truncated: up to it every position's probability is
// within 1% of 1/n (0.61% at this size, 1.16% at the next; counted exactly
// over the generator's 2^30 odd 31-bit words, for every size up to it).
// Larger resamples draw each position exactly uniformly from two deviates.
inline constexpr std::size_t largest_single_deviate_resample = 131609;

// The deviates a resample of n values consumes from the stream: n up to
// largest_single_deviate_resample, 2 n beyond.
std::uint64_t resample_deviates(std::size_t n);

// Fills dst[0..n) with values of src[0..n) drawn with replacement, n =
// src.size() <= dst.size(); consumes resample_deviates(n) deviates.
void resample(UniformState& g, std::span<const double> src, std::span<double> dst);

// Zero-based position of the next draw among n values, advancing g by one
// deviate (n <= largest_single_deviate_resample) or two (beyond).
std::uint32_t draw_position(UniformState& g, std::size_t n);

// The exactly uniform position (below n, 0 < n < 2^32) that the next words of g
// pick by multiply-and-reject (Lemire, ACM TOMACS 29, 2019): the top bits of
// bits x n unless the low bits fall below 2^bits mod n; 30 bits from one
// word up to n = 2^20 (rejected at most once in 1024), 60 from two beyond;
// rejected bits give way to the next words, so the words it takes vary.
std::uint32_t exact_uniform_position(UniformState& g, std::size_t n);

// Source position (one-based, capped at n) that deviate u picks in a resample of n values.
std::int64_t resample_position(float u, std::int64_t n);

// The position (below n, n < 2^32) that 60 uniform bits pick by Lemire's
// multiply-and-reject: the top bits of bits x n, unless the low 60 bits of
// that product fall below 2^60 mod n (nothing: the bits are rejected, which
// keeps every position's probability exactly 1/n).
std::optional<std::uint32_t> position_of_bits(std::uint64_t bits, std::uint64_t n);

}  // namespace diffboot::numeric
