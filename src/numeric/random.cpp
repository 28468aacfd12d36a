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

PositionDrawer::PositionDrawer(std::size_t n) : n_(n), part_(n / 4), jump_(n / 4) {}

void PositionDrawer::draw(UniformState& g, std::span<std::uint32_t> positions) const {
  const auto n = static_cast<std::int64_t>(n_);
  if (g.ran_seed <= 0 || g.lcg_word < 0 || part_ == 0) {
    for (std::size_t i = 0; i < n_; ++i) {
      positions[i] = static_cast<std::uint32_t>(resample_position(uniform_deviate(g, g.ran_seed), n) - 1);
    }
    return;
  }
  std::array<Words, 4> lane{};
  UniformState at = g;
  for (Words& w : lane) {
    w = {word(at.shift_word), word(at.lcg_word)};
    jump_.apply(at);
  }
  const float scale = g.deviate_scale;
  for (std::size_t i = 0; i < part_; ++i) {
    for (std::size_t k = 0; k < 4; ++k) positions[k * part_ + i] = position(scale, lane[k].next(), n);
  }
  for (std::size_t i = 4 * part_; i < n_; ++i) positions[i] = position(scale, lane[3].next(), n);
  g.shift_word = signed_word(lane[3].shift);
  g.lcg_word = signed_word(lane[3].lcg);
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
