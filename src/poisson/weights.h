#pragma once
// The Poisson(1) counts of the rows: a counter-based generator, so that a
// row's count in a replicate depends only on the seed, the sample, the
// replicate and the row's key. A row's key is mixed once into two 32-bit
// words; each replicate then costs one 32-bit hash and twelve compares,
// which run in vector lanes.
#include <array>
#include <cstdint>

namespace diffboot::poisson::engine {

// SplitMix64's finaliser: a bijection of 64-bit words with full avalanche.
constexpr std::uint64_t mix64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

// A row's two key words for this seed and sample.
struct RowKey {
  std::uint32_t low, high;
};
constexpr RowKey row_key(std::uint64_t key, std::int32_t seed, int sample) {
  const std::uint64_t salt = mix64(static_cast<std::uint64_t>(static_cast<std::uint32_t>(seed)) * 4 +
                                   static_cast<std::uint64_t>(sample) + 0x9e3779b97f4a7c15u);
  const std::uint64_t h = mix64(key ^ salt);
  return {static_cast<std::uint32_t>(h), static_cast<std::uint32_t>(h >> 32)};
}

// The word of replicate b (0-based) that every row's hash takes in.
constexpr std::uint32_t replicate_word(std::int32_t seed, std::int64_t b) {
  return static_cast<std::uint32_t>(
      mix64((static_cast<std::uint64_t>(static_cast<std::uint32_t>(seed)) << 32) ^ static_cast<std::uint64_t>(b) ^
            0xd1b54a32d192ed03u));
}

// The uniform 32-bit word of a row in a replicate.
constexpr std::uint32_t row_word(RowKey k, std::uint32_t replicate) {
  std::uint32_t h = (k.low ^ replicate) * 0x9e3779b1u;
  h ^= k.high;
  h ^= h >> 16;
  h *= 0x85ebca6bu;
  h ^= h >> 13;
  h *= 0xc2b2ae35u;
  return h ^ (h >> 16);
}

// Thresholds t_k = round(2^32 P(X < k)), k = 1..12, of X ~ Poisson(1), less
// 2^31 (compared as signed words): the count of a word u is the number of
// thresholds at or below it. P(X > 12) is below 2^-32, so no word reaches 13.
inline constexpr int largest_count = 12;
// (round(2^32 e^-1 Σ_{j<k} 1/j!), tested against the sums formed again in
// long double.)
inline constexpr std::array<std::int32_t, largest_count> count_thresholds{
    -567453479, 1012576689, 1802591774, 2065930135, 2131764726, 2144931644,
    2147126130, 2147439628, 2147478815, 2147483169, 2147483605, 2147483644};

// The count of word u (the reference the vector kernel is tested against).
int poisson_count(std::uint32_t u);

}  // namespace diffboot::poisson::engine
