#pragma once
// A subset of the positions 0 .. n-1 as bits, with the rank and select that
// read order statistics of a subset of a sorted array off it: rank(p) counts
// the members below p, select(k) finds the k-th member. After the set is
// changed, index() prepares both in O(n / 64); clear() empties it again.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace diffboot::numeric {

class RankedBits {
 public:
  explicit RankedBits(std::size_t n) : words_((n + 63) / 64, 0), before_(words_.size() + 1, 0) {}

  void set(std::size_t p) { words_[p / 64] |= std::uint64_t{1} << (p % 64); }
  void reset(std::size_t p) { words_[p / 64] &= ~(std::uint64_t{1} << (p % 64)); }
  std::size_t has(std::size_t p) const { return words_[p / 64] >> (p % 64) & 1u; }

  // The positions 64 w .. 64 w + 63 as bits, none at or beyond n.
  std::size_t words() const { return words_.size(); }
  std::uint64_t word(std::size_t w) const { return words_[w]; }
  // Sets word w to `bits`; returns how many members it has.
  std::size_t assign_word(std::size_t w, std::uint64_t bits) {
    words_[w] = bits;
    return ones(bits);
  }

  // Counts the members before each word; the members of the complement are
  // the other positions below n.
  void index() {
    for (std::size_t w = 0; w < words_.size(); ++w) before_[w + 1] = before_[w] + ones(words_[w]);
  }

  void clear() { std::fill(words_.begin(), words_.end(), 0); }

  // The members, as of the last index().
  std::size_t members() const { return before_.back(); }

  // Members below position p (p <= n); of the complement if `complement`.
  std::size_t rank(std::size_t p, bool complement) const {
    const std::size_t w = p / 64, bit = p % 64;
    const std::uint64_t below = bit == 0 ? 0 : word(w, complement) << (64 - bit);
    return before(w, complement) + ones(below);
  }

  // The position of the k-th member (one-based, k at most the members); of
  // the complement if `complement`.
  std::size_t select(std::size_t k, bool complement) const {
    std::size_t w = 0;  // the last word with fewer than k before it, by halving without branches
    for (std::size_t half = std::bit_floor(words_.size()); half > 0; half /= 2) {
      w += w + half < words_.size() && before(w + half, complement) < k ? half : 0;
    }
    return 64 * w + select_in_word(word(w, complement), k - before(w, complement) - 1);
  }

 private:
  std::uint64_t word(std::size_t w, bool complement) const { return complement ? ~words_[w] : words_[w]; }
  std::size_t before(std::size_t w, bool complement) const { return complement ? 64 * w - before_[w] : before_[w]; }

  // The set bits of v, counted in parallel within bytes and then summed
  // (a portable build has no popcount instruction).
  static std::size_t ones(std::uint64_t v) { return static_cast<std::size_t>(byte_sums(v) * 0x0101010101010101u >> 56); }
  static std::uint64_t byte_sums(std::uint64_t v) {
    v -= (v >> 1) & 0x5555555555555555u;
    v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
    return (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  }

  // The position of the r-th set bit (zero-based) of v: its byte from the
  // bytes' running counts, then bits.
  static std::size_t select_in_word(std::uint64_t v, std::size_t r) {
    const std::uint64_t running = byte_sums(v) * 0x0101010101010101u;  // byte i: the ones of bytes 0 .. i
    std::size_t byte = 0;
    for (std::size_t i = 0; i < 7; ++i) byte += (running >> (8 * i) & 0xFF) <= r;
    r -= byte == 0 ? 0 : running >> (8 * (byte - 1)) & 0xFF;
    std::uint64_t bits = v >> (8 * byte) & 0xFF;
    for (; r > 0; --r) bits &= bits - 1;
    return 8 * byte + static_cast<std::size_t>(std::countr_zero(bits));
  }

  std::vector<std::uint64_t> words_;
  std::vector<std::size_t> before_;  // members in words 0 .. w-1
};

}  // namespace diffboot::numeric
