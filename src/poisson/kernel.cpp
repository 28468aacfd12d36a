#include "poisson/kernel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "poisson/weights.h"

namespace diffboot::poisson::engine {

Split split(double v) {
  constexpr double round_to_integer = 6755399441055744.0;  // 1.5 · 2^52
  const double high = ((v * 65536.0 + round_to_integer) - round_to_integer) / 65536.0;
  return {high, v - high};
}

Rows prepare_rows(std::span<const double> values, std::span<const std::uint64_t> keys, std::uint64_t first_position,
                  const Frame& frame, const Setup& setup, Sums& sums) {
  Rows rows;
  const double factor = std::ldexp(1.0, -frame.scale);
  const double centre = frame.pivot * factor;
  std::uint64_t position = first_position;
  const auto add_row = [&](std::uint64_t key, double d, double d2, std::uint32_t mask) {
    const RowKey k = row_key(key, setup.seed, setup.sample);
    const Split a = split(d), b = split(d2);
    rows.key_low.push_back(k.low), rows.key_high.push_back(k.high), rows.mask.push_back(mask);
    rows.first_high.push_back(a.high), rows.first_low.push_back(a.low);
    rows.second_high.push_back(b.high), rows.second_low.push_back(b.low);
  };
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (std::isnan(values[i])) continue;
    const double d = values[i] * factor - centre;
    const double d2 = d * d, d3 = d2 * d, d4 = d2 * d2;
    const double powers[] = {d, d2, d3, d4, d4 * d, d4 * d2};
    for (std::size_t k = 0; k < 6; ++k) {
      const Split s = split(powers[k]);
      sums.powers[2 * k] += s.high, sums.powers[2 * k + 1] += s.low;
    }
    add_row(keys.empty() ? position++ : keys[i], d, d2, ~0u);
  }
  rows.count = rows.mask.size();
  sums.rows += static_cast<std::int64_t>(rows.count);
  while (rows.mask.size() % lanes != 0) add_row(0, 0.0, 0.0, 0u);
  return rows;
}

namespace {

using Words = std::uint32_t __attribute__((vector_size(32)));
using Signed = std::int32_t __attribute__((vector_size(32)));
using Half = std::int32_t __attribute__((vector_size(16)));
using Quad = double __attribute__((vector_size(32)));

// The vector at p (out-parameter: a 32-byte vector returned by value would
// have two calling conventions).
template <typename V, typename T>
[[gnu::always_inline]] inline void load(V& v, const T* p) {
  std::memcpy(&v, p, sizeof v);
}

// The eight lanes of a and b (lanes 0-3 and 4-7) added in the fixed order.
inline double fold(const Quad& a, const Quad& b) {
  return ((a[0] + a[1]) + (a[2] + a[3])) + ((b[0] + b[1]) + (b[2] + b[3]));
}

// One replicate's lane sums over the rows [begin, end).
struct Lanes {
  Signed count{};
  Quad f_high[2]{}, f_low[2]{}, s_high[2]{}, s_low[2]{};
};

// Adds the rows [begin, end) of the replicate of word `replicate` to `l`,
// the counts from the first `compares` thresholds; returns whether a count
// reached the next one (then the caller must add them again with all).
template <std::size_t compares>
[[gnu::always_inline]] inline bool add_rows(const Rows& rows, std::size_t begin, std::size_t end,
                                            std::uint32_t replicate, Lanes& l) {
  Words low, high;
  Signed mask, beyond{};
  Quad term;
  for (std::size_t i = begin; i < end; i += lanes) {
    load(low, &rows.key_low[i]);
    load(high, &rows.key_high[i]);
    load(mask, &rows.mask[i]);
    Words h = (low ^ replicate) * 0x9e3779b1u;
    h ^= high;
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    h ^= 0x80000000u;
    Signed s;
    std::memcpy(&s, &h, sizeof s);
    Signed count = s >= count_thresholds[0];
    for (std::size_t k = 1; k < compares; ++k) count += s >= count_thresholds[k];
    if constexpr (compares < largest_count) beyond |= s >= count_thresholds[compares];
    count = -count & mask;
    l.count += count;
    const Quad w[2] = {__builtin_convertvector(__builtin_shufflevector(count, count, 0, 1, 2, 3), Quad),
                       __builtin_convertvector(__builtin_shufflevector(count, count, 4, 5, 6, 7), Quad)};
    for (std::size_t half = 0; half < 2; ++half) {
      const std::size_t at = i + 4 * half;
      load(term, &rows.first_high[at]);
      l.f_high[half] += w[half] * term;
      load(term, &rows.first_low[at]);
      l.f_low[half] += w[half] * term;
      load(term, &rows.second_high[at]);
      l.s_high[half] += w[half] * term;
      load(term, &rows.second_low[at]);
      l.s_low[half] += w[half] * term;
    }
  }
  return ((beyond[0] | beyond[1]) | (beyond[2] | beyond[3]) | (beyond[4] | beyond[5]) | (beyond[6] | beyond[7])) != 0;
}

// Counts above 7 come once in 12000 rows: a block is summed with seven
// compares a row, and again with all twelve where one of its rows has a
// count above 7 (one block of 512 rows in 24), which gives the same sums.
constexpr std::size_t common_compares = 7;

__attribute__((target_clones("avx2", "default")))
void add_block(const Rows& rows, std::size_t begin, std::size_t end, std::span<const std::uint32_t> words,
               std::int64_t first, std::span<std::int64_t> weights, std::span<double> moments) {
  for (std::size_t r = 0; r < words.size(); ++r) {
    Lanes l;
    if (add_rows<common_compares>(rows, begin, end, words[r], l)) {
      l = Lanes{};
      add_rows<largest_count>(rows, begin, end, words[r], l);
    }
    const auto b = static_cast<std::size_t>(first) + r;
    std::int64_t total = 0;
    for (std::size_t k = 0; k < lanes; ++k) total += l.count[k];
    weights[b] += total;
    moments[4 * b] += fold(l.f_high[0], l.f_high[1]);
    moments[4 * b + 1] += fold(l.f_low[0], l.f_low[1]);
    moments[4 * b + 2] += fold(l.s_high[0], l.s_high[1]);
    moments[4 * b + 3] += fold(l.s_low[0], l.s_low[1]);
  }
}

std::vector<std::uint32_t> replicate_words(std::int32_t seed, std::int64_t first, std::int64_t last) {
  std::vector<std::uint32_t> words;
  for (std::int64_t b = first; b < last; ++b) words.push_back(replicate_word(seed, b));
  return words;
}

}  // namespace

void add_replicates(const Rows& rows, std::int32_t seed, std::int64_t first, std::int64_t last,
                    std::span<std::int64_t> weights, std::span<double> moments) {
  const std::vector<std::uint32_t> words = replicate_words(seed, first, last);
  for (std::size_t begin = 0; begin < rows.mask.size(); begin += block_rows) {
    add_block(rows, begin, std::min(rows.mask.size(), begin + block_rows), words, first, weights, moments);
  }
}

void add_replicates_literal(const Rows& rows, std::int32_t seed, std::int64_t first, std::int64_t last,
                            std::span<std::int64_t> weights, std::span<double> moments) {
  const std::vector<double>* terms[] = {&rows.first_high, &rows.first_low, &rows.second_high, &rows.second_low};
  for (std::size_t begin = 0; begin < rows.mask.size(); begin += block_rows) {
    const std::size_t end = std::min(rows.mask.size(), begin + block_rows);
    for (std::int64_t b = first; b < last; ++b) {
      const std::uint32_t word = replicate_word(seed, b);
      double lane[4][lanes] = {};
      for (std::size_t i = begin; i < end; ++i) {
        const int count = rows.mask[i] != 0 ? poisson_count(row_word({rows.key_low[i], rows.key_high[i]}, word)) : 0;
        weights[static_cast<std::size_t>(b)] += count;
        for (std::size_t k = 0; k < 4; ++k) lane[k][i % lanes] += static_cast<double>(count) * (*terms[k])[i];
      }
      for (std::size_t k = 0; k < 4; ++k) {
        const double* l = lane[k];
        moments[4 * static_cast<std::size_t>(b) + k] +=
            ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
      }
    }
  }
}

}  // namespace diffboot::poisson::engine
