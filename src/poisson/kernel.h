#pragma once
// The replicates' weighted sums of one part of a sample: the rows prepared
// once (key words and split terms), then the replicates' sums over them, in
// blocks of rows small enough to stay in the first-level cache while every
// replicate passes over them.
//
// The order of the additions is fixed by the rows' order: blocks of
// block_rows rows; in a block, row i goes to lane i mod 8, each lane adding
// its rows in turn; the lanes are added as ((l0 + l1) + (l2 + l3)) +
// ((l4 + l5) + (l6 + l7)), and the block's total to the replicate's sum.
// The exact parts (multiples of 2^-16) add up exactly in any order, which
// lets the vector kernel carry them packed.
#include <cstdint>
#include <span>
#include <vector>

#include "bootstrap/progress.h"
#include "poisson/sums.h"

namespace diffboot::poisson::engine {

inline constexpr std::size_t block_rows = 512;
inline constexpr std::size_t lanes = 8;
inline constexpr std::size_t group_rows = 16;  // the rows of one vector of AVX-512

// v as the nearest multiple of 2^-16 and the remainder, v = high + low
// exactly, for |v| <= 1.
struct Split {
  double high, low;
};
Split split(double v);

// The rows of a part ready for the replicates, padded to whole groups of
// `group_rows` with rows whose terms are 0 and whose mask is 0. `grid` packs
// a row's two exact parts as integers, second_high·2^43 + first_high·2^16,
// so that one multiply-add carries both (see add_replicates).
struct Rows {
  std::vector<std::uint32_t> key_low, key_high, mask;
  std::vector<double> first_high, first_low, second_high, second_low;  // split d and d²
  std::vector<double> grid;
  bool in_unit = true;    // every |d| <= 1, which the packed sums need
  std::size_t count = 0;  // rows before the padding
};

// The present (not NaN) values of a part as rows of `frame`, keyed by
// keys[i] for the value at i, or without keys by first_position and the
// count of present values before it; their power sums and count are added
// to `sums`.
Rows prepare_rows(std::span<const double> values, std::span<const std::uint64_t> keys, std::uint64_t first_position,
                  const Frame& frame, const Setup& setup, Sums& sums);

// The instruction sets the vector kernel is built for: each gives the same
// bits, as every one performs the same roundings in the same order.
enum class Isa { portable, avx2, avx512 };

// Whether this processor (and its operating system) runs `isa`.
bool supported(Isa isa);

// Adds the sums of replicates [first, last) over `rows` to weights[b] and
// moments[4 b .. 4 b + 3]: the vector kernel, for the best Isa supported or
// the one given (which must be supported). A `progress` given counts each
// block's rows times the replicates once the block is done, and is checked
// then (bootstrap::Stopped ends it); the sums are the same.
void add_replicates(const Rows& rows, std::int32_t seed, std::int64_t first, std::int64_t last,
                    std::span<std::int64_t> weights, std::span<double> moments,
                    bootstrap::Progress* progress = nullptr);
void add_replicates(const Rows& rows, std::int32_t seed, std::int64_t first, std::int64_t last,
                    std::span<std::int64_t> weights, std::span<double> moments, Isa isa,
                    bootstrap::Progress* progress = nullptr);

// The same, one row and one replicate at a time in the order above: the
// literal reference of add_replicates.
void add_replicates_literal(const Rows& rows, std::int32_t seed, std::int64_t first, std::int64_t last,
                            std::span<std::int64_t> weights, std::span<double> moments);

}  // namespace diffboot::poisson::engine
