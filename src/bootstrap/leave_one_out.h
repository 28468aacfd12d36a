#pragma once
// Statistics of the leave-one-out columns of a sample (column j is the sample
// without its j-th value, the rest in sample order), each bit-identical to
// ave_var and med_mad applied to that column, without building the columns.
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

}  // namespace diffboot::bootstrap
