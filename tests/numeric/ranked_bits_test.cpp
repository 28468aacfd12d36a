// Rank and select of a bit set against counting position by position, for
// sizes around whole words, sparse and dense sets, and both the set and its
// complement.
#include "numeric/ranked_bits.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace diffboot::numeric {
namespace {

TEST(RankedBitsTest, RankAndSelectEqualCounting) {
  std::mt19937_64 rng(9);
  for (const std::size_t n : {1u, 63u, 64u, 65u, 200u, 1000u}) {
    for (const double share : {0.02, 0.5, 0.97}) {
      std::bernoulli_distribution in(share);
      std::vector<bool> member(n);
      RankedBits bits(n);
      for (std::size_t p = 0; p < n; ++p) {
        member[p] = in(rng);
        if (member[p]) bits.set(p);
      }
      bits.index();
      for (const bool complement : {false, true}) {
        std::size_t below = 0;
        for (std::size_t p = 0; p <= n; ++p) {
          ASSERT_EQ(bits.rank(p, complement), below) << n << " " << share << " " << p;
          if (p < n && member[p] != complement) {
            ASSERT_EQ(bits.select(++below, complement), p) << n << " " << share;
          }
        }
      }
      bits.clear();
      bits.index();
      EXPECT_EQ(bits.rank(n, false), 0u);
    }
  }
}

}  // namespace
}  // namespace diffboot::numeric
