#pragma once
// Descriptive statistics of a sample. None of these routines reorders its
// input; sums run from the first value upward.
#include <cmath>
#include <span>
#include <vector>

namespace diffboot::numeric {

// Scale factor of the MAD, exactly as written (not the reciprocal of the
// normal upper quartile).
inline constexpr double mad_scale = 1.4826;

// Mean and unbiased variance (divisor n - 1) by the corrected two-pass
// formula. No check of n: n = 1 gives a variance of 0/0 (NaN).
void ave_var(std::span<const double> data, double& ave, double& var);

// The variance step of ave_var alone, about a mean `ave` that the caller has
// formed as ave_var does (the in-order sum divided by n).
double variance_about(std::span<const double> data, double ave);

// variance_about's two running sums, one value at a time: for callers that
// run two such chains side by side (each keeps its own order and bits).
struct VarianceSums {
  double ss = 0.0, ep = 0.0;
  void add(double v, double ave) {
    const double s = v - ave;
    ss += s * s;
    ep += s;
  }
  // The variance of n values about the mean the sums were formed with.
  double variance(double n) const { return (ss - ep * ep / n) / (n - 1.0); }
};

// A mean and a standard deviation (the square root of the ave_var variance).
struct MeanSd {
  double ave, sd;
};

// The mean and standard deviation of `data` by ave_var's sums. Where those
// sums overflow although the values are finite, they are formed again on the
// values times a power of two and scaled back (exact), so that a mean or a
// standard deviation that is itself representable is returned.
MeanSd mean_and_sd(std::span<const double> data);

// What `mean_and_sd_of` gives for `data` times 2^-k, scaled back by 2^k
// (exact), k chosen so that the largest magnitude, `largest`, becomes about
// 2^400: squares of 2^800 summed over any sample stay finite.
template <typename MeanAndSd>
MeanSd scaled_back(std::span<const double> data, double largest, MeanAndSd&& mean_and_sd_of) {
  const int k = std::ilogb(largest) - 400;
  std::vector<double> scaled(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) scaled[i] = std::ldexp(data[i], -k);
  const MeanSd m = mean_and_sd_of(std::span<const double>(scaled));
  return {std::ldexp(m.ave, k), std::ldexp(m.sd, k)};
}

// `formed` as it is when finite (or when `data` holds fewer than two values
// or a value that is not finite); otherwise mean_and_sd(data).
MeanSd beyond_overflow(std::span<const double> data, MeanSd formed);

// The midpoint of a and b as the median forms it, (b + a) * 0.5, or
// a * 0.5 + b * 0.5 where that sum overflows although a and b are finite
// (two values beyond half the largest double, of one sign).
inline double midpoint(double a, double b) {
  const double m = (b + a) * 0.5;
  if (std::isinf(m) && std::isfinite(a) && std::isfinite(b)) return a * 0.5 + b * 0.5;
  return m;
}

// The median rule over order statistics: for odd n the value of rank
// n/2 + 1, for even n midpoint(a, b) with a of rank n/2, asked for first, and b
// of rank n/2 + 1. `kth(k)` gives the value of rank k (one-based).
template <typename Kth>
double median_of_ranks(std::size_t n, Kth&& kth) {
  if (n % 2 == 1) return kth(n / 2 + 1);
  const double a = kth(n / 2);
  const double b = kth(n / 2 + 1);
  return midpoint(a, b);
}

// Median of w by `select`: one call for odd n, two for even n on the same,
// partly reordered array, averaged as (second + first) * 0.5. An empty w ends
// the run through the "select args" assertion.
double median_by_select(std::span<double> w);

// Median and MAD x 1.4826 of `data`, using `select` on a copy kept in `work`
// (resized as needed, so repeated calls need no allocation); large samples in
// a plain order are bracketed instead, to the same bits, without the copy.
// An empty sample ends the run through the "select args" assertion.
void med_mad(std::span<const double> data, double& med, double& mad, std::vector<double>& work);

// The same with a work array of its own.
void med_mad(std::span<const double> data, double& med, double& mad);

// Mean, mean absolute deviation, standard deviation, variance, skewness and
// excess kurtosis. Ends the run through throw_numeric_error for n < 2 and for a variance
// of exactly zero (ave, adev, sdev and var are stored before that stop).
void moment(std::span<const double> data, double& ave, double& adev, double& sdev, double& var, double& skew,
            double& curt);

// Summaries of one sample.
struct SampleSummary {
  double ave, std, min, max, med, mad;
};

// Mean, standard deviation (sqrt of the ave_var variance), extremes (scans
// from +/- infinity), median and MAD of one sample.
SampleSummary summarize(std::span<const double> data);

}  // namespace diffboot::numeric
