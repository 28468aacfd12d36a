#pragma once
// The shape of a sample for a figure: a Gaussian kernel density estimate on
// an even grid, by linear binning and a truncated kernel (O(n + grid²)), with
// Silverman's rule of thumb for the bandwidth, 0.9·min(sd, IQR/1.34)·n^(−1/5)
// (Silverman, Density Estimation, 1986, eq. 3.31).
#include <span>
#include <vector>

namespace diffboot::figure {

struct Density {
  std::vector<double> at;      // grid points, ascending
  std::vector<double> height;  // the density there, scaled so that the highest is 1
};

// The density of the finite values of `values` on `points` grid points from
// three bandwidths below the smallest to three above the largest; empty
// when fewer than two values are finite or they have no spread.
Density density_of(std::span<const double> values, std::size_t points = 200);

}  // namespace diffboot::figure
