#pragma once
// In-place sorting and selection of doubles with a median-of-three
// partitioning step; no recursion, no allocation.
#include <cstdint>
#include <span>

namespace diffboot::numeric {

// Swaps a and b.
void exchange(double& a, double& b);

// Swaps a and b when `mask` holds.
void exchange_if(double& a, double& b, bool mask);

// Sorts `arr` ascending in place, NaNs last (quicksort with a 50-entry range
// stack, the larger part pushed, insertion below 16 values): -Inf < finite
// values < Inf < NaN, -0 and +0 equal. A full stack ends the run through
// throw_numeric_error "sort: NSTACK too small".
void sort(std::span<double> arr);

// Returns the k-th smallest value (k one-based) and leaves `arr` a permutation
// with that value at position k, smaller-or-equal values left of it. k outside
// 1..n ends the run through the "select args" assertion.
double select(std::int64_t k, std::span<double> arr);

}  // namespace diffboot::numeric
