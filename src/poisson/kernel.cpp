#include "poisson/kernel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include <immintrin.h>

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
  const std::size_t capacity = values.size() + group_rows;
  for (auto* words : {&rows.key_low, &rows.key_high, &rows.mask}) words->reserve(capacity);
  for (auto* terms : {&rows.first_high, &rows.first_low, &rows.second_high, &rows.second_low, &rows.grid}) {
    terms->reserve(capacity);
  }
  const double factor = std::ldexp(1.0, -frame.scale);
  const double centre = frame.pivot * factor;
  std::uint64_t position = first_position;
  const auto add_row = [&](std::uint64_t key, double d, double d2, std::uint32_t mask) {
    const RowKey k = row_key(key, setup.seed, setup.sample);
    const Split a = split(d), b = split(d2);
    rows.key_low.push_back(k.low), rows.key_high.push_back(k.high), rows.mask.push_back(mask);
    rows.first_high.push_back(a.high), rows.first_low.push_back(a.low);
    rows.second_high.push_back(b.high), rows.second_low.push_back(b.low);
    rows.grid.push_back(b.high * 0x1p43 + a.high * 0x1p16);
    rows.in_unit = rows.in_unit && std::fabs(d) <= 1.0;
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
  while (rows.mask.size() % group_rows != 0) add_row(0, 0.0, 0.0, 0u);
  return rows;
}

namespace {

// The generic kernel's vectors are of 32 bytes, which every x86-64 compiler
// lowers well (wider ones without AVX-512 are not): 8 rows' words, and the
// 8 lanes as two vectors of 4.
using Words = std::uint32_t __attribute__((vector_size(32)));
using Signed = std::int32_t __attribute__((vector_size(32)));
using Quad = double __attribute__((vector_size(32)));
using Lane = double __attribute__((vector_size(64)));  // the 8 lanes at once

static_assert(group_rows == 2 * lanes && block_rows % group_rows == 0);
// A lane's packed sums over a block stay exact: its first parts add up to
// less than 2^26 in units of 2^-16 (so they never reach into the second
// parts' bits at 2^27 and up), and the whole to less than 2^53.
static_assert((block_rows / lanes) * largest_count * 65536 < (1 << 26));

// The vector at p (out-parameter: a vector returned by value would have a
// calling convention of each instruction set).
template <typename V, typename T>
[[gnu::always_inline]] inline void load(V& v, const T* p) {
  std::memcpy(&v, p, sizeof v);
}

// The eight lanes added in the fixed order.
[[gnu::always_inline]] inline double fold(const Lane& a) {
  return ((a[0] + a[1]) + (a[2] + a[3])) + ((a[4] + a[5]) + (a[6] + a[7]));
}

// One replicate's lane sums over some rows: the counts, the packed exact
// parts of Σw·d and Σw·d², and the remainders of each (lanes 0-3, 4-7).
struct Lanes {
  Signed count{};
  Quad grid[2]{}, first_low[2]{}, second_low[2]{};
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
      load(term, &rows.grid[at]);
      l.grid[half] += w[half] * term;
      load(term, &rows.first_low[at]);
      l.first_low[half] += w[half] * term;
      load(term, &rows.second_low[at]);
      l.second_low[half] += w[half] * term;
    }
  }
  return ((beyond[0] | beyond[1]) | (beyond[2] | beyond[3]) | (beyond[4] | beyond[5]) | (beyond[6] | beyond[7])) != 0;
}

// The eight lanes of a pair of vectors of four.
[[gnu::always_inline]] inline void join(Lane& lane, const Quad (&halves)[2]) {
  std::memcpy(&lane, halves, sizeof lane);
}

// Counts above 7 come once in 98000 rows: a block is summed with seven
// compares a row, and again with all twelve where one of its rows has a
// count above 7 (one block of 512 rows in 190), which gives the same sums.
constexpr std::size_t common_compares = 7;

// Adds a replicate's lane sums over a block to weights[b] and
// moments[4 b .. 4 b + 3].
[[gnu::always_inline]] inline void add_lanes(std::int64_t count, const Lane& grid, const Lane& first_low,
                                             const Lane& second_low, std::size_t b, std::span<std::int64_t> weights,
                                             std::span<double> moments) {
  weights[b] += count;
  // Each lane's packed sum is second·2^27 + first in units of 2^-16 with
  // |first| < 2^26: the nearest multiple of 2^27 is the second's part.
  constexpr double round_to_integer = 6755399441055744.0;  // 1.5 · 2^52
  const Lane second = (grid * 0x1p-27 + round_to_integer) - round_to_integer;
  const Lane first_high = (grid - second * 0x1p27) * 0x1p-16, second_high = second * 0x1p-16;
  moments[4 * b] += fold(first_high);
  moments[4 * b + 1] += fold(first_low);
  moments[4 * b + 2] += fold(second_high);
  moments[4 * b + 3] += fold(second_low);
}

// The replicates `words` (the first being replicate `first`) over the rows
// [begin, end) of a block, added to their weights and moments.
[[gnu::always_inline]] inline void add_block(const Rows& rows, std::size_t begin, std::size_t end,
                                             std::span<const std::uint32_t> words, std::int64_t first,
                                             std::span<std::int64_t> weights, std::span<double> moments) {
  for (std::size_t r = 0; r < words.size(); ++r) {
    Lanes l;
    if (add_rows<common_compares>(rows, begin, end, words[r], l)) {
      l = Lanes{};
      add_rows<largest_count>(rows, begin, end, words[r], l);
    }
    std::int64_t total = 0;
    for (std::size_t k = 0; k < lanes; ++k) total += l.count[k];
    Lane grid, first_low, second_low;
    join(grid, l.grid), join(first_low, l.first_low), join(second_low, l.second_low);
    add_lanes(total, grid, first_low, second_low, static_cast<std::size_t>(first) + r, weights, moments);
  }
}

using Block = void (*)(const Rows&, std::size_t, std::size_t, std::span<const std::uint32_t>, std::int64_t,
                       std::span<std::int64_t>, std::span<double>);

// add_block for AVX2 and for any x86-64: one source, compiled twice.
__attribute__((target("avx2"))) void add_block_avx2(const Rows& rows, std::size_t begin, std::size_t end,
                                                     std::span<const std::uint32_t> words, std::int64_t first,
                                                     std::span<std::int64_t> weights, std::span<double> moments) {
  add_block(rows, begin, end, words, first, weights, moments);
}

void add_block_portable(const Rows& rows, std::size_t begin, std::size_t end, std::span<const std::uint32_t> words,
                        std::int64_t first, std::span<std::int64_t> weights, std::span<double> moments) {
  add_block(rows, begin, end, words, first, weights, moments);
}

// The same operations as add_rows and add_block in AVX-512's own terms, which
// the compiler does not find from the generic vectors: each threshold a
// compare into a mask register and a masked add, eight counts converted at
// once.
#define DIFFBOOT_AVX512 __attribute__((target("avx512f,avx512vl,avx512bw,avx512dq")))
// GCC 12 at -O2 takes the intrinsics' own undefined-register idiom
// (`__m512i __Y = __Y;`, inlined here) for a use of an uninitialised value.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

struct Lanes512 {
  __m512i count;
  __m512d grid, first_low, second_low;
};

template <std::size_t compares>
[[gnu::always_inline]] DIFFBOOT_AVX512 inline bool add_rows_avx512(const Rows& rows, std::size_t begin,
                                                                  std::size_t end, const __m512i& replicate,
                                                                  Lanes512& l) {
  const __m512i one = _mm512_set1_epi32(1);
  __mmask16 beyond = 0;
  for (std::size_t i = begin; i < end; i += group_rows) {
    __m512i h = _mm512_xor_si512(_mm512_loadu_si512(&rows.key_low[i]), replicate);
    h = _mm512_mullo_epi32(h, _mm512_set1_epi32(static_cast<std::int32_t>(0x9e3779b1u)));
    h = _mm512_xor_si512(h, _mm512_loadu_si512(&rows.key_high[i]));
    h = _mm512_xor_si512(h, _mm512_srli_epi32(h, 16));
    h = _mm512_mullo_epi32(h, _mm512_set1_epi32(static_cast<std::int32_t>(0x85ebca6bu)));
    h = _mm512_xor_si512(h, _mm512_srli_epi32(h, 13));
    h = _mm512_mullo_epi32(h, _mm512_set1_epi32(static_cast<std::int32_t>(0xc2b2ae35u)));
    h = _mm512_xor_si512(h, _mm512_srli_epi32(h, 16));
    const __m512i s = _mm512_xor_si512(h, _mm512_set1_epi32(std::numeric_limits<std::int32_t>::min()));
    __m512i count = _mm512_setzero_si512();
    for (std::size_t k = 0; k < compares; ++k) {
      const __mmask16 at_least = _mm512_cmpge_epi32_mask(s, _mm512_set1_epi32(count_thresholds[k]));
      count = _mm512_mask_add_epi32(count, at_least, count, one);
    }
    if constexpr (compares < largest_count) {
      beyond = static_cast<__mmask16>(beyond | _mm512_cmpge_epi32_mask(s, _mm512_set1_epi32(count_thresholds[compares])));
    }
    count = _mm512_and_si512(count, _mm512_loadu_si512(&rows.mask[i]));
    l.count = _mm512_add_epi32(l.count, count);
    const __m512d w[2] = {_mm512_cvtepi32_pd(_mm512_castsi512_si256(count)),
                          _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(count, 1))};
    for (std::size_t half = 0; half < 2; ++half) {
      const std::size_t at = i + lanes * half;
      l.grid = _mm512_add_pd(l.grid, _mm512_mul_pd(w[half], _mm512_loadu_pd(&rows.grid[at])));
      l.first_low = _mm512_add_pd(l.first_low, _mm512_mul_pd(w[half], _mm512_loadu_pd(&rows.first_low[at])));
      l.second_low = _mm512_add_pd(l.second_low, _mm512_mul_pd(w[half], _mm512_loadu_pd(&rows.second_low[at])));
    }
  }
  return beyond != 0;
}

DIFFBOOT_AVX512 void add_block_avx512(const Rows& rows, std::size_t begin, std::size_t end,
                                      std::span<const std::uint32_t> words, std::int64_t first,
                                      std::span<std::int64_t> weights, std::span<double> moments) {
  for (std::size_t r = 0; r < words.size(); ++r) {
    const __m512i replicate = _mm512_set1_epi32(static_cast<std::int32_t>(words[r]));
    Lanes512 l{};
    if (add_rows_avx512<common_compares>(rows, begin, end, replicate, l)) {
      l = Lanes512{};
      add_rows_avx512<largest_count>(rows, begin, end, replicate, l);
    }
    Lane grid, first_low, second_low;
    std::memcpy(&grid, &l.grid, sizeof grid);
    std::memcpy(&first_low, &l.first_low, sizeof first_low);
    std::memcpy(&second_low, &l.second_low, sizeof second_low);
    add_lanes(_mm512_reduce_add_epi32(l.count), grid, first_low, second_low, static_cast<std::size_t>(first) + r,
              weights, moments);
  }
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef DIFFBOOT_AVX512

Block block_for(Isa isa) {
  switch (isa) {
    case Isa::avx512:
      return add_block_avx512;
    case Isa::avx2:
      return add_block_avx2;
    case Isa::portable:
      break;
  }
  return add_block_portable;
}

Isa best_supported() {
  for (Isa isa : {Isa::avx512, Isa::avx2}) {
    if (supported(isa)) return isa;
  }
  return Isa::portable;
}

std::vector<std::uint32_t> replicate_words(std::int32_t seed, std::int64_t first, std::int64_t last) {
  std::vector<std::uint32_t> words;
  for (std::int64_t b = first; b < last; ++b) words.push_back(replicate_word(seed, b));
  return words;
}

}  // namespace

bool supported(Isa isa) {
  switch (isa) {
    case Isa::avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
             __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
    case Isa::avx2:
      return __builtin_cpu_supports("avx2");
    case Isa::portable:
      break;
  }
  return true;
}

void add_replicates(const Rows& rows, std::int32_t seed, std::int64_t first, std::int64_t last,
                    std::span<std::int64_t> weights, std::span<double> moments, Isa isa,
                    bootstrap::Progress* progress) {
  if (!supported(isa)) throw Error("this processor does not run the kernel asked for");
  const auto replicates = static_cast<std::uint64_t>(last - first);
  if (!rows.in_unit) {  // beyond the packed sums' range: the literal order
    if (progress != nullptr) progress->check();
    add_replicates_literal(rows, seed, first, last, weights, moments);
    if (progress != nullptr) progress->add(rows.count * replicates);
    return;
  }
  const Block block = block_for(isa);
  const std::vector<std::uint32_t> words = replicate_words(seed, first, last);
  for (std::size_t begin = 0; begin < rows.mask.size(); begin += block_rows) {
    const std::size_t end = std::min(rows.mask.size(), begin + block_rows);
    block(rows, begin, end, words, first, weights, moments);
    if (progress != nullptr) {  // the block's rows less its padding
      progress->add((std::min(end, rows.count) - std::min(begin, rows.count)) * replicates);
      progress->check();
    }
  }
}

void add_replicates(const Rows& rows, std::int32_t seed, std::int64_t first, std::int64_t last,
                    std::span<std::int64_t> weights, std::span<double> moments, bootstrap::Progress* progress) {
  static const Isa best = best_supported();
  add_replicates(rows, seed, first, last, weights, moments, best, progress);
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
