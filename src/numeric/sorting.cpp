#include "numeric/sorting.h"

#include <array>
#include <cmath>

#include "numeric/errors.h"

namespace diffboot::numeric {
namespace {

using Index = std::ptrdiff_t;

// Ranges of at most this many values past their left end are finished by
// straight insertion (r - l < 15, so ranges of up to 15 values).
constexpr Index insertion_cutoff = 15;
constexpr int NSTACK = 50;

// One-based view of an array, as the partitioning step reads it.
struct OneBased {
  double* data;
  double& operator()(Index k) const { return data[k - 1]; }
};

struct Split {
  Index i, j;
};

// Median-of-three partitioning of [l, r] (r - l >= 2). Returns i and j: the
// pivot ends at j, [l, j-1] holds values <= pivot, [i, r] values >= pivot.
Split partition(OneBased arr, Index l, Index r) {
  const Index mid = (l + r) / 2;
  exchange(arr(mid), arr(l + 1));
  exchange_if(arr(l), arr(r), arr(l) > arr(r));
  exchange_if(arr(l + 1), arr(r), arr(l + 1) > arr(r));
  exchange_if(arr(l), arr(l + 1), arr(l) > arr(l + 1));
  const double a = arr(l + 1);
  Index i = l + 1;
  Index j = r;
  for (;;) {
    do ++i; while (arr(i) < a);
    do --j; while (arr(j) > a);
    if (j < i) break;
    exchange(arr(i), arr(j));
  }
  arr(l + 1) = arr(j);
  arr(j) = a;
  return {i, j};
}

void insertion(OneBased arr, Index l, Index r) {
  for (Index j = l + 1; j <= r; ++j) {
    const double a = arr(j);
    Index i = j - 1;
    for (; i >= l; --i) {
      if (arr(i) <= a) break;
      arr(i + 1) = arr(i);
    }
    arr(i + 1) = a;
  }
}

}  // namespace

void exchange(double& a, double& b) {
  const double t = a;
  a = b;
  b = t;
}

void exchange_if(double& a, double& b, bool mask) {
  if (mask) exchange(a, b);
}

namespace {

// Moves the NaNs of `arr` behind its other values (their order among
// themselves and the others' order left to the sort); returns how many values
// stand before them. Arrays without a NaN are only read.
std::size_t nans_to_end(std::span<double> arr) {
  std::size_t i = 0;
  std::size_t end = arr.size();
  while (i < end) {
    if (std::isnan(arr[i])) {
      exchange(arr[i], arr[--end]);
    } else {
      ++i;
    }
  }
  return end;
}

// The quicksort of arrays without NaN, where < and > order every pair.
void sort_numbers(std::span<double> span) {
  const OneBased arr{span.data()};
  std::array<Index, NSTACK> stack{};
  int top = 0;
  Index l = 1;
  Index r = static_cast<Index>(span.size());
  for (;;) {
    if (r - l < insertion_cutoff) {
      insertion(arr, l, r);
      if (top == 0) return;
      r = stack[top - 1];
      l = stack[top - 2];
      top -= 2;
      continue;
    }
    const Split s = partition(arr, l, r);
    top += 2;
    if (top > NSTACK) throw_numeric_error("sort: NSTACK too small");
    if (r - s.i + 1 >= s.j - l) {
      stack[top - 1] = r;
      stack[top - 2] = s.i;
      r = s.j - 1;
    } else {
      stack[top - 1] = s.j - 1;
      stack[top - 2] = l;
      l = s.i;
    }
  }
}

}  // namespace

void sort(std::span<double> span) { sort_numbers(span.first(nans_to_end(span))); }

double select(std::int64_t k, std::span<double> span) {
  const Index n = static_cast<Index>(span.size());
  require_both(k >= 1, k <= n, "select args");
  const OneBased arr{span.data()};
  Index l = 1;
  Index r = n;
  for (;;) {
    if (r - l <= 1) {
      if (r - l == 1) exchange_if(arr(l), arr(r), arr(l) > arr(r));
      return arr(k);
    }
    const Split s = partition(arr, l, r);
    if (s.j >= k) r = s.j - 1;
    if (s.j <= k) l = s.i;
  }
}

}  // namespace diffboot::numeric
