// Sorting and selection against the standard library on arrays of every
// shape, and the selection's argument check.
#include "numeric/sorting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "support/library_error.h"
#include "support/samples.h"

namespace diffboot::numeric {
namespace {

std::vector<double> shaped(const std::string& shape, std::size_t n) { return testing::shaped_sample(shape, n, n); }

TEST(SortingTest, SortAgreesWithStdSort) {
  for (const char* shape : {"random", "ascending", "descending", "equal", "few values", "organ pipe"}) {
    for (std::size_t n : {0, 1, 2, 3, 15, 16, 17, 100, 4096, 1000000}) {
      std::vector<double> v = shaped(shape, n);
      std::vector<double> expected = v;
      std::sort(expected.begin(), expected.end());
      sort(v);
      EXPECT_EQ(v, expected) << shape << " n=" << n;
    }
  }
}

// The order sort() promises: -Inf < finite < Inf < NaN, -0 and +0 equal.
bool before(double a, double b) { return !std::isnan(a) && (std::isnan(b) || a < b); }

std::vector<std::uint64_t> bit_patterns(const std::vector<double>& v) {
  std::vector<std::uint64_t> bits;
  for (double x : v) bits.push_back(std::bit_cast<std::uint64_t>(x));
  std::sort(bits.begin(), bits.end());
  return bits;
}

TEST(SortingTest, NaNsGoLastAndTheRestInOrder) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double specials[] = {std::nan(""), -std::nan(""), inf, -inf, -0.0, 0.0, 1.0};
  std::mt19937_64 gen(20240532);
  for (double share : {0.0, 0.02, 0.3, 1.0}) {
    for (std::size_t n : {1, 2, 15, 16, 17, 100, 1999, 5000}) {
      std::vector<double> v(n);
      for (double& x : v) {
        const bool special = std::uniform_real_distribution<double>(0.0, 1.0)(gen) < share;
        x = special ? specials[gen() % std::size(specials)] : std::normal_distribution<double>()(gen);
      }
      std::vector<double> expected = v;
      std::stable_sort(expected.begin(), expected.end(), before);
      const std::vector<std::uint64_t> bits = bit_patterns(v);
      sort(v);
      EXPECT_EQ(bit_patterns(v), bits) << "a permutation, share " << share << " n=" << n;
      for (std::size_t i = 0; i < n; ++i) {
        ASSERT_TRUE(std::isnan(v[i]) ? std::isnan(expected[i]) : v[i] == expected[i])
            << "share " << share << " n=" << n << " at " << i << ": " << v[i] << " vs " << expected[i];
      }
    }
  }
}

TEST(SortingTest, SelectAgreesWithNthElement) {
  for (const char* shape : {"random", "ascending", "descending", "equal", "few values"}) {
    for (std::size_t n : {1, 2, 3, 10, 11, 1000, 1000000}) {
      const std::vector<double> input = shaped(shape, n);
      for (std::size_t k : {std::size_t{1}, n / 2 + 1, n}) {
        std::vector<double> v = input;
        std::vector<double> expected = input;
        std::nth_element(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(k - 1), expected.end());
        const double got = select(static_cast<std::int64_t>(k), v);
        EXPECT_EQ(got, expected[k - 1]) << shape << " n=" << n << " k=" << k;
        EXPECT_EQ(v[k - 1], got);
        EXPECT_TRUE(std::all_of(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), [&](double x) { return x <= got; }));
        EXPECT_TRUE(std::all_of(v.begin() + static_cast<std::ptrdiff_t>(k), v.end(), [&](double x) { return x >= got; }));
        std::sort(v.begin(), v.end());
        std::vector<double> sorted = input;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(v, sorted) << "select leaves a permutation";
      }
    }
  }
}

TEST(SortingTest, SuccessiveSelectsOnOneArray) {
  std::vector<double> v{9, 1, 8, 2, 7, 3, 6, 4, 5, 0};
  EXPECT_EQ(select(5, v), 4.0);
  EXPECT_EQ(select(6, v), 5.0);
  std::vector<double> two{3, 1};
  EXPECT_EQ(select(2, two), 3.0);
  EXPECT_EQ(two, (std::vector<double>{1, 3}));
}

TEST(SortingTest, SelectOutsideTheArrayEndsTheRun) {
  for (std::int64_t k : {0, 4}) {
    std::vector<double> v{1, 2, 3};
    EXPECT_EQ(testing::library_error_of([&] { select(k, v); }), "nrerror: an assertion failed with this tag:select args | program terminated by assert2");
  }
}

TEST(SortingTest, ExchangeIf) {
  double a = 1, b = 2;
  exchange_if(a, b, false);
  EXPECT_EQ(a, 1.0);
  exchange_if(a, b, true);
  EXPECT_EQ(a, 2.0);
  EXPECT_EQ(b, 1.0);
}

}  // namespace
}  // namespace diffboot::numeric
