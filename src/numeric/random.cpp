#include "numeric/random.h"

#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace diffboot::numeric {
namespace {

// The minimal standard generator of Park and Miller (1988), x <- 16807 x mod
// (2^31 - 1), computed without overflow by Schrage's decomposition of the
// modulus m = a q + r with q = m / a and r = m mod a (Schrage 1979).
constexpr std::int32_t lcg_multiplier = 16807;         // a = 7^5
constexpr std::int32_t lcg_modulus = 2147483647;       // m = 2^31 - 1, a prime
constexpr std::int32_t schrage_quotient = 127773;      // q = m / a
constexpr std::int32_t schrage_remainder = 2836;       // r = m mod a, < q, so no product overflows
// Masks that seeding XORs into |seed| so that the two generators start from
// different words (the congruential word is then made odd, hence non-zero).
constexpr std::uint32_t lcg_seed_mask = 888889999u;
constexpr std::uint32_t shift_seed_mask = 777755555u;
// The sign bit cleared: the combined word is a 31-bit integer.
constexpr std::uint32_t low_31_bits = 2147483647u;

// Two's complement 32-bit arithmetic on unsigned words, free of overflow.
std::uint32_t word(std::int32_t v) { return static_cast<std::uint32_t>(v); }
std::int32_t signed_word(std::uint32_t v) { return static_cast<std::int32_t>(v); }

std::uint32_t magnitude(std::int32_t v) { return v < 0 ? 0u - word(v) : word(v); }

void initialise(UniformState& g, std::int32_t& seed) {
  g.deviate_scale = std::nextafter(1.0f, 0.0f) * 0x1p-31f;
  const std::uint32_t m = magnitude(seed);
  g.lcg_word = signed_word((m ^ lcg_seed_mask) | 1u);
  g.shift_word = signed_word(m ^ shift_seed_mask);
  seed = signed_word(m + 1u);
}

// The xorshift step as a 32 x 32 matrix over GF(2), one word per column:
// column j is the step applied to the word with only bit j set.
using BitMatrix = std::array<std::uint32_t, 32>;

// Marsaglia's (2003) 32-bit xorshift with shifts (13, 17, 5).
std::uint32_t xorshift_step(std::uint32_t x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

std::uint32_t apply(const BitMatrix& m, std::uint32_t v) {
  std::uint32_t out = 0;
  for (std::size_t j = 0; j < 32; ++j) out ^= m[j] & (0u - (v >> j & 1u));  // without branches: v's bits are random
  return out;
}

BitMatrix product(const BitMatrix& a, const BitMatrix& b) {
  BitMatrix out{};
  for (std::size_t j = 0; j < 32; ++j) out[j] = apply(a, b[j]);
  return out;
}

// The xorshift step matrix to the power count, by squaring.
BitMatrix xorshift_power(std::uint64_t count) {
  BitMatrix power{}, result{};
  for (std::size_t j = 0; j < 32; ++j) {
    power[j] = xorshift_step(1u << j);
    result[j] = 1u << j;
  }
  for (; count != 0; count >>= 1) {
    if (count & 1u) result = product(power, result);
    power = product(power, power);
  }
  return result;
}

// 16807^count mod (2^31 - 1): the congruential step taken count times is a
// multiplication by it, as Schrage's steps give it.
std::uint64_t lcg_power(std::uint64_t count) {
  const std::uint64_t m = static_cast<std::uint64_t>(lcg_modulus);
  std::uint64_t factor = 1, base = static_cast<std::uint64_t>(lcg_multiplier);
  for (; count != 0; count >>= 1) {
    if (count & 1u) factor = factor * base % m;
    base = base * base % m;
  }
  return factor;
}

// One deviate's steps on the two words: the xorshift step, the congruential
// step by Schrage's method without overflow, and the combined 31-bit word.
struct Words {
  std::uint32_t shift, lcg;
  std::uint32_t next() {
    shift = xorshift_step(shift);
    const auto x = static_cast<std::int32_t>(lcg);
    const std::int32_t k = x / schrage_quotient;
    std::int32_t y = lcg_multiplier * (x - k * schrage_quotient) - schrage_remainder * k;
    if (y < 0) y += lcg_modulus;
    lcg = static_cast<std::uint32_t>(y);
    return ((shift ^ lcg) & low_31_bits) | 1u;
  }
};

std::uint32_t position(float scale, std::uint32_t m, std::int64_t n) {
  return static_cast<std::uint32_t>(resample_position(scale * static_cast<float>(m), n) - 1);
}

// Whether a resample of n values draws each position from two deviates.
bool exact_draws(std::size_t n) { return n > largest_single_deviate_resample; }

// The deviates of one draw among n values.
std::uint64_t deviates_per_draw(std::size_t n) { return exact_draws(n) ? 2 : 1; }

// 60 uniform bits from two combined words: bits 1 to 30 of each (bit 0 is
// always set, bit 31 always clear).
std::uint64_t bits_of(std::uint32_t first, std::uint32_t second) {
  return (std::uint64_t{first >> 1} << 30) | (second >> 1);
}

}  // namespace

Jump::Jump(std::uint64_t distance) : xorshift_(xorshift_power(distance)), lcg_factor_(lcg_power(distance)) {}

void Jump::apply(UniformState& g) const {
  g.shift_word = signed_word(numeric::apply(xorshift_, word(g.shift_word)));
  g.lcg_word = signed_word(static_cast<std::uint32_t>(lcg_factor_ * word(g.lcg_word) % static_cast<std::uint64_t>(lcg_modulus)));
}

namespace {

// Where the bits of two words are rejected, words of a reserve stream take
// their place: the stream from the state `after` those two words, jumped
// 2^62 deviates ahead (far beyond the draws of any run), so that the choice
// depends on that state alone, never on how the draws are split up. It
// happens with a probability below n / 2^60.
std::uint32_t reserve_position(const Words& after, std::uint64_t n) {
  static const Jump reserve(std::uint64_t{1} << 62);
  UniformState s;
  s.shift_word = signed_word(after.shift);
  s.lcg_word = signed_word(after.lcg);
  reserve.apply(s);
  Words r{word(s.shift_word), word(s.lcg_word)};
  for (;;) {
    const std::uint32_t first = r.next();
    if (const auto p = position_of_bits(bits_of(first, r.next()), n)) return *p;
  }
}

// The exactly uniform position that the next two words of w pick.
std::uint32_t exact_position(Words& w, std::uint64_t n) {
  const std::uint32_t first = w.next();
  if (const auto p = position_of_bits(bits_of(first, w.next()), n)) return *p;
  return reserve_position(w, n);
}

void ensure_initialised(UniformState& g) {
  if (g.resampler_seed <= 0 || g.lcg_word < 0) initialise(g, g.resampler_seed);
}

}  // namespace

namespace {

// Eight lanes of the generator side by side: native 256-bit registers where
// the processor has AVX2 (the drawing below comes in an AVX2 and a plain
// version, chosen when the program starts), register pairs elsewhere.
using Words8 = std::uint32_t __attribute__((vector_size(32)));
using Ints8 = std::int32_t __attribute__((vector_size(32)));
using Floats8 = float __attribute__((vector_size(32)));
using Pairs4 = std::uint64_t __attribute__((vector_size(32)));  // four 64-bit lanes

// Each lane's congruential step, 16807 x mod (2^31 - 1) for x below 2^31,
// the value Schrage's step gives, in 32-bit lanes: with x = h 2^16 + l and
// h 16807 = c 2^15 + d (d below 2^15), as 2^31 = 1 modulo 2^31 - 1,
// y = l 16807 + c + d 2^16 is x 16807 modulo it, and y is below
// 2^30.1 + 2^14.1 + 2^31, less than twice the modulus: the residue is the
// smaller of y and y - (2^31 - 1), which wraps above y where y is below the
// modulus. (Vectors travel by reference: by value they would have two
// calling conventions.)
[[gnu::always_inline]] inline void lcg_steps(Words8& x) {
  constexpr auto multiplier = static_cast<std::uint32_t>(lcg_multiplier);
  const Words8 high = (x >> 16) * multiplier;
  const Words8 y = (x & 0xFFFFu) * multiplier + (high >> 15) + ((high & 0x7FFFu) << 16);
  const Words8 less = y - static_cast<std::uint32_t>(lcg_modulus);
  x = y < less ? y : less;
}

struct Lanes8 {
  Words8 shift, lcg;
  // Each lane's next combined word, as Words::next gives it.
  [[gnu::always_inline]] inline void next_words(Words8& m) {
    shift ^= shift << 13;
    shift ^= shift >> 17;
    shift ^= shift << 5;
    lcg_steps(lcg);
    m = ((shift ^ lcg) & low_31_bits) | 1u;
  }
  // The zero-based positions of each lane's next deviate among its n values
  // (n below 2^30, so that p fits a 32-bit integer), as `position` gives them.
  [[gnu::always_inline]] inline void next_positions(float scale, const Ints8& n, Ints8& out) {
    Words8 m;
    next_words(m);
    const Floats8 u = scale * __builtin_convertvector(reinterpret_cast<Ints8>(m), Floats8);
    const Floats8 p = u * __builtin_convertvector(n, Floats8);
    const Ints8 j = __builtin_convertvector(p, Ints8);
    out = j < n - 1 ? j : n - 1;
  }
};

// Resamples larger than this are drawn one deviate after another.
constexpr std::size_t largest_in_lanes = std::size_t{1} << 30;

// Sixteen lanes, lane k started from g jumped k times by `jump`.
[[gnu::always_inline]] inline void start_lanes(Lanes8 (&lanes)[2], const UniformState& g, const Jump& jump) {
  UniformState at = g;
  for (std::size_t k = 0; k < 16; ++k) {
    lanes[k / 8].shift[k % 8] = word(at.shift_word);
    lanes[k / 8].lcg[k % 8] = word(at.lcg_word);
    if (k < 15) jump.apply(at);
  }
}

// Steps between the stores of a block: each lane's run of that many
// positions goes out in one vector store.
constexpr std::size_t block_steps = 8;

// Stores the 8 x 8 block rows[step][lane] turned, lane l's eight steps at
// out + l stride, one vector store a lane.
[[gnu::always_inline]] inline void store_transposed(const Ints8 (&rows)[block_steps], std::uint32_t* out,
                                                    std::size_t stride) {
  Ints8 pairs[8], quads[8];
  for (std::size_t j = 0; j < 8; j += 2) {  // lanes 0, 1, 4, 5 and 2, 3, 6, 7 of two steps interleaved
    pairs[j] = __builtin_shufflevector(rows[j], rows[j + 1], 0, 8, 1, 9, 4, 12, 5, 13);
    pairs[j + 1] = __builtin_shufflevector(rows[j], rows[j + 1], 2, 10, 3, 11, 6, 14, 7, 15);
  }
  for (std::size_t j = 0; j < 8; j += 4) {  // four steps of lanes l and l + 4, l = 0 .. 3
    for (std::size_t h = 0; h < 2; ++h) {
      quads[j + 2 * h] = __builtin_shufflevector(pairs[j + h], pairs[j + h + 2], 0, 1, 8, 9, 4, 5, 12, 13);
      quads[j + 2 * h + 1] = __builtin_shufflevector(pairs[j + h], pairs[j + h + 2], 2, 3, 10, 11, 6, 7, 14, 15);
    }
  }
  for (std::size_t l = 0; l < 4; ++l) {  // the eight steps of lanes l and l + 4
    const Ints8 low = __builtin_shufflevector(quads[l], quads[l + 4], 0, 1, 2, 3, 8, 9, 10, 11);
    const Ints8 high = __builtin_shufflevector(quads[l], quads[l + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    std::memcpy(out + l * stride, &low, sizeof low);
    std::memcpy(out + (l + 4) * stride, &high, sizeof high);
  }
}

// Sixteen lanes' draws, step after step: draw t of lane k among
// first - (t mod cycle) values; with `shrinking` false every draw is among
// first values (cycle 1), and the bookkeeping of t mod cycle is left out.
template <bool shrinking>
struct LaneDraws {
  Lanes8 lanes[2];
  float scale;
  Ints8 first, into_cycle[2];  // each lane's t mod cycle
  std::int32_t cycle;

  [[gnu::always_inline]] inline LaneDraws(const UniformState& g, const Jump& jump, std::size_t part,
                                          std::int32_t first_values, std::int32_t cycle_length)
      : scale(g.deviate_scale), first(Ints8{} + first_values), into_cycle{}, cycle(cycle_length) {
    start_lanes(lanes, g, jump);
    if (!shrinking) return;
    for (std::size_t k = 0; k < 16; ++k) {
      into_cycle[k / 8][k % 8] = static_cast<std::int32_t>(k * part % static_cast<std::size_t>(cycle));
    }
  }
  // Lanes 8h .. 8h + 7's next positions.
  [[gnu::always_inline]] inline void step(std::size_t h, Ints8& drawn) {
    if (!shrinking) {
      lanes[h].next_positions(scale, first, drawn);
      return;
    }
    lanes[h].next_positions(scale, first - into_cycle[h], drawn);
    into_cycle[h] += 1;
    into_cycle[h] = into_cycle[h] == cycle ? 0 : into_cycle[h];
  }
};

// Draws sixteen contiguous parts of `part` draws each into positions, part
// k to positions[k part ..): blocks of eight steps go out a lane's run at a
// time, the steps after the last whole block one position at a time.
template <bool shrinking>
[[gnu::always_inline]] inline Words draw_parts(LaneDraws<shrinking>& d, std::size_t part,
                                               std::span<std::uint32_t> positions) {
  std::uint32_t* const out = positions.first(16 * part).data();
  std::size_t i = 0;
  for (; i + block_steps <= part; i += block_steps) {
    Ints8 block[2][block_steps];
    for (std::size_t j = 0; j < block_steps; ++j) {
      d.step(0, block[0][j]);
      d.step(1, block[1][j]);
    }
    store_transposed(block[0], out + i, part);
    store_transposed(block[1], out + 8 * part + i, part);
  }
  for (; i < part; ++i) {
    Ints8 drawn[2];
    d.step(0, drawn[0]);
    d.step(1, drawn[1]);
    for (std::size_t k = 0; k < 16; ++k) out[k * part + i] = static_cast<std::uint32_t>(drawn[k / 8][k % 8]);
  }
  return {d.lanes[1].shift[7], d.lanes[1].lcg[7]};
}

// Draws sixteen contiguous parts of `part` deviates each, one a lane, lane k
// starting from g jumped k times by `jump`: part k's positions go to
// positions[k part ..), draw t among first - (t mod cycle) values. Returns
// the last lane's words after its part.
__attribute__((target_clones("avx2", "default")))
Words draw_in_lanes(const UniformState& g, const Jump& jump, std::size_t part, std::int32_t first, std::int32_t cycle,
                    std::span<std::uint32_t> positions) {
  if (cycle == 1) {
    LaneDraws<false> d(g, jump, part, first, cycle);
    return draw_parts(d, part, positions);
  }
  LaneDraws<true> d(g, jump, part, first, cycle);
  return draw_parts(d, part, positions);
}

// As draw_in_lanes, writing each lane's combined words themselves.
__attribute__((target_clones("avx2", "default")))
Words words_in_lanes(const UniformState& g, const Jump& jump, std::size_t part, std::span<std::uint32_t> words) {
  Lanes8 lanes[2];
  start_lanes(lanes, g, jump);
  for (std::size_t i = 0; i < part; ++i) {
    Words8 m[2];
    lanes[0].next_words(m[0]);
    lanes[1].next_words(m[1]);
    for (std::size_t k = 0; k < 16; ++k) words[k * part + i] = m[k / 8][k % 8];
  }
  return {lanes[1].shift[7], lanes[1].lcg[7]};
}

// Four lanes' positions by Lemire's rule on 60 bits x = hi 2^30 + lo (hi,
// lo the 30 random bits of two words): x n = A 2^30 + L with A = hi n and
// L = lo n, each below 2^61, so the position (x n) >> 60 is
// (A + (L >> 30)) >> 30, and the low 60 bits of x n can fall below
// 2^60 mod n (< 2^31), the rejection, only where (A + (L >> 30)) mod 2^30 is
// 0 or 1: such lanes are marked for the exact test.
[[gnu::always_inline]] inline void lemire4(const Pairs4& hi, const Pairs4& lo, const Pairs4& n, Pairs4& position,
                                           Pairs4& doubtful) {
  constexpr std::uint64_t low_30_bits = (std::uint64_t{1} << 30) - 1;
  const Pairs4 s = hi * n + ((lo * n) >> 30);
  position = s >> 30;
  doubtful = (s & low_30_bits) < 2;
}

// As draw_in_lanes for exact draws among n: `part` positions a lane, each from the
// lane's next two words, generated side by side; the positions are picked
// four lanes at a time, and the rare lane that may be rejected is settled by
// position_of_bits and the reserve stream, as one draw after another would.
__attribute__((target_clones("avx2", "default")))
Words draw_exact_in_lanes(const UniformState& g, const Jump& jump, std::size_t part, std::uint64_t n,
                          std::span<std::uint32_t> positions) {
  Lanes8 lanes[2];
  start_lanes(lanes, g, jump);
  for (std::size_t i = 0; i < part; ++i) {
    Words8 first[2], second[2];
    for (std::size_t h = 0; h < 2; ++h) {
      lanes[h].next_words(first[h]);
      lanes[h].next_words(second[h]);
    }
    const Pairs4 n4 = Pairs4{} + n;
    for (std::size_t q = 0; q < 4; ++q) {  // lanes 4q .. 4q + 3
      const Words8& a = first[q / 2];
      const Words8& b = second[q / 2];
      const std::size_t o = 4 * (q % 2);
      const Pairs4 hi = {a[o] >> 1, a[o + 1] >> 1, a[o + 2] >> 1, a[o + 3] >> 1};
      const Pairs4 lo = {b[o] >> 1, b[o + 1] >> 1, b[o + 2] >> 1, b[o + 3] >> 1};
      Pairs4 position, doubtful;
      lemire4(hi, lo, n4, position, doubtful);
      for (std::size_t l = 0; l < 4; ++l) {
        const std::size_t k = 4 * q + l;
        if (doubtful[l] == 0) {
          positions[k * part + i] = static_cast<std::uint32_t>(position[l]);
          continue;
        }
        const std::optional<std::uint32_t> p = position_of_bits(bits_of(a[o + l], b[o + l]), n);
        positions[k * part + i] = p ? *p : reserve_position({lanes[q / 2].shift[o + l], lanes[q / 2].lcg[o + l]}, n);
      }
    }
  }
  return {lanes[1].shift[7], lanes[1].lcg[7]};
}

}  // namespace

std::uint64_t resample_deviates(std::size_t n) { return deviates_per_draw(n) * n; }

std::optional<std::uint32_t> position_of_bits(std::uint64_t bits, std::uint64_t n) {
  __extension__ using Wide = unsigned __int128;
  constexpr std::uint64_t low_60_bits = (std::uint64_t{1} << 60) - 1;
  const Wide product = static_cast<Wide>(bits) * n;
  const auto low = static_cast<std::uint64_t>(product) & low_60_bits;
  if (low < n && low < (std::uint64_t{1} << 60) % n) return std::nullopt;
  return static_cast<std::uint32_t>(product >> 60);
}

std::uint32_t exact_uniform_position(UniformState& g, std::size_t n) {
  for (;;) {
    const std::uint64_t high = uniform_word(g, g.resampler_seed) >> 1;
    if (n <= std::size_t{1} << 20) {
      const std::uint64_t product = high * n, low = product & ((std::uint64_t{1} << 30) - 1);
      if (low >= (std::uint64_t{1} << 30) % n) return static_cast<std::uint32_t>(product >> 30);
    } else if (const auto p = position_of_bits(high << 30 | uniform_word(g, g.resampler_seed) >> 1, n)) {
      return *p;
    }
  }
}

std::uint32_t draw_position(UniformState& g, std::size_t n) {
  if (!exact_draws(n)) {
    return static_cast<std::uint32_t>(resample_position(uniform_deviate(g, g.resampler_seed), static_cast<std::int64_t>(n)) - 1);
  }
  ensure_initialised(g);
  Words w{word(g.shift_word), word(g.lcg_word)};
  const std::uint32_t p = exact_position(w, n);
  g.shift_word = signed_word(w.shift);
  g.lcg_word = signed_word(w.lcg);
  return p;
}

PositionDrawer::PositionDrawer(std::size_t n) : PositionDrawer(n, n, 1) {}

// Lanes draw a run whose draws are all among as many values, or all from one
// deviate each.
PositionDrawer::PositionDrawer(std::size_t count, std::size_t first, std::size_t cycle)
    : count_(count),
      first_(first),
      cycle_(cycle),
      part_(first < largest_in_lanes && (cycle == 1 || !exact_draws(first)) ? count / 16 : 0),
      jump_(deviates_per_draw(first) * part_) {}

void PositionDrawer::draw(UniformState& g, std::span<std::uint32_t> positions) const {
  const auto among = [&](std::size_t t) { return first_ - t % cycle_; };
  if (g.resampler_seed <= 0 || g.lcg_word < 0 || part_ == 0) {
    for (std::size_t t = 0; t < count_; ++t) positions[t] = draw_position(g, among(t));
    return;
  }
  const bool exact = exact_draws(first_);
  Words last = exact ? draw_exact_in_lanes(g, jump_, part_, first_, positions.first(count_))
                     : draw_in_lanes(g, jump_, part_, static_cast<std::int32_t>(first_),
                                     static_cast<std::int32_t>(cycle_), positions.first(count_));
  for (std::size_t t = 16 * part_; t < count_; ++t) {
    const std::size_t n = among(t);
    positions[t] = exact ? exact_position(last, n) : position(g.deviate_scale, last.next(), static_cast<std::int64_t>(n));
  }
  g.shift_word = signed_word(last.shift);
  g.lcg_word = signed_word(last.lcg);
}

WordDrawer::WordDrawer(std::size_t count) : count_(count), part_(count / 16), jump_(part_) {}

void WordDrawer::draw(UniformState& g, std::span<std::uint32_t> words) const {
  if (g.resampler_seed <= 0 || g.lcg_word < 0 || part_ == 0) {
    for (std::size_t t = 0; t < count_; ++t) words[t] = uniform_word(g, g.resampler_seed);
    return;
  }
  Words last = words_in_lanes(g, jump_, part_, words.first(count_));
  for (std::size_t t = 16 * part_; t < count_; ++t) words[t] = last.next();
  g.shift_word = signed_word(last.shift);
  g.lcg_word = signed_word(last.lcg);
}

void skip_deviates(UniformState& g, std::uint64_t count) { Jump(count).apply(g); }

std::uint32_t uniform_word(UniformState& g, std::int32_t& seed) {
  if (seed <= 0 || g.lcg_word < 0) initialise(g, seed);
  Words w{word(g.shift_word), word(g.lcg_word)};
  const std::uint32_t m = w.next();
  g.shift_word = signed_word(w.shift);
  g.lcg_word = signed_word(w.lcg);
  return m;
}

float uniform_deviate(UniformState& g, std::int32_t& seed) {
  const std::uint32_t m = uniform_word(g, seed);
  return g.deviate_scale * static_cast<float>(m);
}

void init_uniform(UniformState& g) {
  if (g.seed_flag != '-') return;
  std::int32_t seed = g.initial_seed;
  uniform_deviate(g, seed);
  g.seed_flag = '+';
}

std::int64_t resample_position(float u, std::int64_t n) {
  const float p = u * static_cast<float>(n);
  const auto j = static_cast<std::int64_t>(p) + 1;
  return j < n ? j : n;
}

void resample(UniformState& g, std::span<const double> src, std::span<double> dst) {
  for (std::size_t i = 0; i < src.size(); ++i) dst[i] = src[draw_position(g, src.size())];
}

}  // namespace diffboot::numeric
