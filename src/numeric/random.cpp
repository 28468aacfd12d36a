#include "numeric/random.h"

#include <array>
#include <cmath>

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
  for (int j = 0; j < 32; ++j) {
    if ((v >> j) & 1u) out ^= m[static_cast<std::size_t>(j)];
  }
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

}  // namespace

Jump::Jump(std::uint64_t distance) : xorshift_(xorshift_power(distance)), lcg_factor_(lcg_power(distance)) {}

void Jump::apply(UniformState& g) const {
  g.shift_word = signed_word(numeric::apply(xorshift_, word(g.shift_word)));
  g.lcg_word = signed_word(static_cast<std::uint32_t>(lcg_factor_ * word(g.lcg_word) % static_cast<std::uint64_t>(lcg_modulus)));
}

namespace {

// Eight lanes of the generator side by side: native 256-bit registers where
// the processor has AVX2 (the drawing below comes in an AVX2 and a plain
// version, chosen when the program starts), register pairs elsewhere.
using Words8 = std::uint32_t __attribute__((vector_size(32)));
using Ints8 = std::int32_t __attribute__((vector_size(32)));
using Floats8 = float __attribute__((vector_size(32)));
using Pairs4 = std::uint64_t __attribute__((vector_size(32)));  // the same bits as four pairs of words

// 16807 x mod (2^31 - 1) in place of products 16807 x of words x in
// 0 .. 2^31 - 1: the product is hi 2^31 + lo with 2^31 = 1 modulo 2^31 - 1,
// so hi + lo (below twice the modulus) less the modulus once if it reaches it
// is the exact residue, the value Schrage's step gives. (Vectors travel by
// reference: by value they would have two calling conventions.)
[[gnu::always_inline]] inline void reduce(Pairs4& product) {
  const Pairs4 y = (product & lcg_modulus) + (product >> 31);
  product = y >= lcg_modulus ? y - lcg_modulus : y;
}

// Each lane's congruential step: the even and the odd words of the vector
// multiplied in 64-bit halves and put back in their places.
[[gnu::always_inline]] inline void lcg_steps(Words8& x) {
  const auto pairs = reinterpret_cast<Pairs4>(x);
  Pairs4 even = (pairs & 0xFFFFFFFFu) * lcg_multiplier;
  Pairs4 odd = (pairs >> 32) * lcg_multiplier;
  reduce(even);
  reduce(odd);
  x = reinterpret_cast<Words8>(even | (odd << 32));
}

struct Lanes8 {
  Words8 shift, lcg;
  // The zero-based positions of each lane's next deviate among n values
  // (n below 2^30, so that p fits a 32-bit integer), as `position` gives them.
  [[gnu::always_inline]] inline void next_positions(float scale, std::int32_t n, Ints8& out) {
    shift ^= shift << 13;
    shift ^= shift >> 17;
    shift ^= shift << 5;
    lcg_steps(lcg);
    const Words8 m = ((shift ^ lcg) & low_31_bits) | 1u;
    const Floats8 u = scale * __builtin_convertvector(reinterpret_cast<Ints8>(m), Floats8);
    const Floats8 p = u * static_cast<float>(n);
    const Ints8 j = __builtin_convertvector(p, Ints8);
    out = j < n - 1 ? j : n - 1;
  }
};

// Resamples larger than this are drawn one deviate after another.
constexpr std::size_t largest_in_lanes = std::size_t{1} << 30;

// Draws sixteen contiguous parts of `part` deviates each, one a lane, lane k
// starting from g jumped k times by `jump`: part k's positions go to
// positions[k part ..). Returns the last lane's words after its part.
__attribute__((target_clones("avx2", "default")))
Words draw_in_lanes(const UniformState& g, const Jump& jump, std::size_t part, std::span<std::uint32_t> positions) {
  Lanes8 lanes[2];
  UniformState at = g;
  for (std::size_t k = 0; k < 16; ++k) {
    lanes[k / 8].shift[k % 8] = word(at.shift_word);
    lanes[k / 8].lcg[k % 8] = word(at.lcg_word);
    if (k < 15) jump.apply(at);
  }
  const auto n = static_cast<std::int32_t>(positions.size());
  const float scale = g.deviate_scale;
  for (std::size_t i = 0; i < part; ++i) {
    Ints8 first, second;
    lanes[0].next_positions(scale, n, first);
    lanes[1].next_positions(scale, n, second);
    for (std::size_t k = 0; k < 8; ++k) {
      positions[k * part + i] = static_cast<std::uint32_t>(first[k]);
      positions[(k + 8) * part + i] = static_cast<std::uint32_t>(second[k]);
    }
  }
  return {lanes[1].shift[7], lanes[1].lcg[7]};
}

}  // namespace

PositionDrawer::PositionDrawer(std::size_t n) : n_(n), part_(n < largest_in_lanes ? n / 16 : 0), jump_(part_) {}

void PositionDrawer::draw(UniformState& g, std::span<std::uint32_t> positions) const {
  const auto n = static_cast<std::int64_t>(n_);
  if (g.ran_seed <= 0 || g.lcg_word < 0 || part_ == 0) {
    for (std::size_t i = 0; i < n_; ++i) {
      positions[i] = static_cast<std::uint32_t>(resample_position(uniform_deviate(g, g.ran_seed), n) - 1);
    }
    return;
  }
  Words last = draw_in_lanes(g, jump_, part_, positions.first(n_));
  for (std::size_t i = 16 * part_; i < n_; ++i) positions[i] = position(g.deviate_scale, last.next(), n);
  g.shift_word = signed_word(last.shift);
  g.lcg_word = signed_word(last.lcg);
}

void skip_deviates(UniformState& g, std::uint64_t count) { Jump(count).apply(g); }

float uniform_deviate(UniformState& g, std::int32_t& seed) {
  if (seed <= 0 || g.lcg_word < 0) initialise(g, seed);
  Words w{word(g.shift_word), word(g.lcg_word)};
  const std::uint32_t m = w.next();
  g.shift_word = signed_word(w.shift);
  g.lcg_word = signed_word(w.lcg);
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
  const auto n = static_cast<std::int64_t>(src.size());
  for (std::int64_t i = 0; i < n; ++i) {
    const float u = uniform_deviate(g, g.ran_seed);
    dst[static_cast<std::size_t>(i)] = src[static_cast<std::size_t>(resample_position(u, n) - 1)];
  }
}

}  // namespace diffboot::numeric
