#pragma once
// Statistics of the leave-one-out columns of a sample (column j is the sample
// without its j-th value, the rest in sample order), each bit-identical to
// ave_var and med_mad applied to that column, without building the columns
// (a median that is zero may be +0 where med_mad gives −0: a sample's
// negative zeros are read as +0, which no acceleration can tell).
#include <span>
#include <cstddef>
#include <vector>

namespace diffboot::bootstrap {

struct LeaveOneOut {
  std::vector<double> ave, std, med, mad;  // one entry per column
};

// Whether the leave-one-out statistics include the spread of each column.
enum class Spread { without, with };

// Mean and median of every column; with Spread::with also the standard
// deviation (sqrt of the ave_var variance) and the scaled MAD. A sample of one value
// has one empty column, whose median ends the run through the "select args"
// assertion, as med_mad does.
LeaveOneOut leave_one_out(std::span<const double> x, Spread spread);

// The same statistics with the means and standard deviations by algebra, in
// O(n): a column's sum is the sample's accurate sum less its left-out value,
// its squares about the sample mean likewise, each rounded once from twice
// the working precision. At least as accurate as the columns' written order,
// not the same bits; for samples where that order is too slow.
LeaveOneOut leave_one_out_by_algebra(std::span<const double> x, Spread spread);

// The sample sorted, a negative zero read as +0 so that every value has one
// place in the order (the quantiles of its columns then differ from those
// of selection at most in the sign of a zero).
std::vector<double> sorted_for_quantiles(std::span<const double> x);

// The p-quantile (0 < p < 1) of every column of x, from `sorted`, x as
// sorted_for_quantiles gives it, in O(n): the column without x[j] has the
// k-th smallest value sorted[k − 1] below the place of x[j], sorted[k] from
// it on. The same doubles as the leave-one-out medians at p = 1/2 for
// samples without a negative zero; NaN for samples of fewer than 2 values.
std::vector<double> leave_one_out_quantiles(std::span<const double> x, std::span<const double> sorted, double p);

}  // namespace diffboot::bootstrap
