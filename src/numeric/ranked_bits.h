#pragma once
// A subset of the positions 0 .. n-1 as bits, with the rank and select that
// read order statistics of a subset of a sorted array off it: rank(p) counts
// the members below p, select(k) finds the k-th member. After set() calls,
// index() prepares both in O(n / 64); clear() empties the set again.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace diffboot::numeric {

class RankedBits {
 public:
  explicit RankedBits(std::size_t n) : words_((n + 63) / 64, 0), before_(words_.size() + 1, 0) {}

  void set(std::size_t p) { words_[p / 64] |= std::uint64_t{1} << (p % 64); }
  bool has(std::size_t p) const { return (words_[p / 64] >> (p % 64) & 1u) != 0; }

  // Counts the members before each word; the members of the complement are
  // the other positions below n.
  void index() {
    for (std::size_t w = 0; w < words_.size(); ++w) before_[w + 1] = before_[w] + std::popcount(words_[w]);
  }

  void clear() { std::fill(words_.begin(), words_.end(), 0); }

  // Members below position p (p <= n); of the complement if `complement`.
  std::size_t rank(std::size_t p, bool complement) const {
    const std::size_t w = p / 64, bit = p % 64;
    const std::uint64_t below = bit == 0 ? 0 : word(w, complement) << (64 - bit);
    return before(w, complement) + static_cast<std::size_t>(std::popcount(below));
  }

  // The position of the k-th member (one-based, k at most the members); of
  // the complement if `complement`.
  std::size_t select(std::size_t k, bool complement) const {
    std::size_t lo = 0, hi = words_.size() - 1;  // the last word with fewer than k before it
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo + 1) / 2;
      if (before(mid, complement) < k) lo = mid;
      else hi = mid - 1;
    }
    return 64 * lo + select_in_word(word(lo, complement), k - before(lo, complement) - 1);
  }

 private:
  std::uint64_t word(std::size_t w, bool complement) const { return complement ? ~words_[w] : words_[w]; }
  std::size_t before(std::size_t w, bool complement) const { return complement ? 64 * w - before_[w] : before_[w]; }

  // The position of the r-th set bit (zero-based) of v: halves, then bits.
  static std::size_t select_in_word(std::uint64_t v, std::size_t r) {
    std::size_t at = 0;
    for (unsigned width = 32; width >= 8; width /= 2) {
      const auto low = static_cast<std::size_t>(std::popcount(v & ((std::uint64_t{1} << width) - 1)));
      if (r >= low) r -= low, v >>= width, at += width;
    }
    for (; r > 0; --r) v &= v - 1;
    return at + static_cast<std::size_t>(std::countr_zero(v));
  }

  std::vector<std::uint64_t> words_;
  std::vector<std::size_t> before_;  // members in words 0 .. w-1
};

}  // namespace diffboot::numeric
