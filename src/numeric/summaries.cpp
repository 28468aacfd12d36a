#include "numeric/summaries.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/bracketed_median.h"
#include "numeric/errors.h"
#include "numeric/sorting.h"

namespace diffboot::numeric {
namespace {

double sum_of(std::span<const double> data) {
  double sum = 0.0;
  for (double v : data) sum += v;
  return sum;
}

// ave_var's mean and standard deviation of data, formed on scaled values.
MeanSd scaled_mean_and_sd(std::span<const double> data) {
  double largest = 0.0;
  for (double v : data) largest = std::max(largest, std::fabs(v));
  return scaled_back(data, largest, [](std::span<const double> scaled) {
    double ave = 0.0, var = 0.0;
    ave_var(scaled, ave, var);
    return MeanSd{ave, std::sqrt(var)};
  });
}

}  // namespace

MeanSd mean_and_sd(std::span<const double> data) {
  double ave = 0.0, var = 0.0;
  ave_var(data, ave, var);
  return beyond_overflow(data, {ave, std::sqrt(var)});
}

MeanSd beyond_overflow(std::span<const double> data, MeanSd formed) {
  if ((std::isfinite(formed.ave) && std::isfinite(formed.sd)) || data.size() < 2) return formed;
  for (double v : data) {
    if (!std::isfinite(v)) return formed;
  }
  return scaled_mean_and_sd(data);
}

double median_by_select(std::span<double> w) {
  return median_of_ranks(w.size(), [w](std::size_t k) { return select(static_cast<std::int64_t>(k), w); });
}

void ave_var(std::span<const double> data, double& ave, double& var) {
  ave = sum_of(data) / static_cast<double>(data.size());
  var = variance_about(data, ave);
}

double variance_about(std::span<const double> data, double ave) {
  VarianceSums sums;
  for (double v : data) sums.add(v, ave);
  return sums.variance(static_cast<double>(data.size()));
}

void med_mad(std::span<const double> data, double& med, double& mad, std::vector<double>& work) {
  if (!bracketed_median(data, med)) {
    work.assign(data.begin(), data.end());
    med = median_by_select(work);
  }
  double deviation = 0.0;
  if (!bracketed_median_deviation(data, med, deviation)) {
    work.resize(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) work[i] = std::fabs(data[i] - med);
    deviation = median_by_select(work);
  }
  mad = deviation * mad_scale;
}

void med_mad(std::span<const double> data, double& med, double& mad) {
  std::vector<double> work;
  med_mad(data, med, mad, work);
}

void moment(std::span<const double> data, double& ave, double& adev, double& sdev, double& var, double& skew,
            double& curt) {
  if (data.size() < 2) throw_numeric_error("moment: n must be at least 2");
  const auto n = static_cast<double>(data.size());
  ave = sum_of(data) / n;
  double ep = 0.0, abs_sum = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
  for (double v : data) {
    const double s = v - ave;
    ep += s;
    abs_sum += std::fabs(s);
    double p = s * s;
    s2 += p;
    p = p * s;
    s3 += p;
    p = p * s;
    s4 += p;
  }
  adev = abs_sum / n;
  var = (s2 - ep * ep / n) / (n - 1.0);
  sdev = std::sqrt(var);
  if (var == 0.0) throw_numeric_error("moment: no skew or kurtosis when zero variance");
  skew = s3 / (((sdev * sdev) * sdev) * n);
  curt = s4 / ((var * var) * n) - 3.0;
}

SampleSummary summarize(std::span<const double> data) {
  SampleSummary s{};
  const MeanSd m = mean_and_sd(data);
  s.ave = m.ave;
  s.std = m.sd;
  s.min = std::numeric_limits<double>::infinity();
  s.max = -std::numeric_limits<double>::infinity();
  for (double v : data) {
    if (v < s.min) s.min = v;
    if (v > s.max) s.max = v;
  }
  med_mad(data, s.med, s.mad);
  return s;
}

}  // namespace diffboot::numeric
