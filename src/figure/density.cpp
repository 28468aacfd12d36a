#include "figure/density.h"

#include <algorithm>
#include <cmath>

namespace diffboot::figure {
namespace {

// Silverman's bandwidth of sorted finite values; 0 when they have no spread.
double bandwidth(const std::vector<double>& sorted) {
  const auto n = static_cast<double>(sorted.size());
  double mean = 0.0;
  for (double v : sorted) mean += v / n;
  double squares = 0.0;
  for (double v : sorted) squares += (v - mean) * (v - mean);
  const double sd = std::sqrt(squares / (n - 1.0));
  const auto quantile = [&](double p) { return sorted[static_cast<std::size_t>(p * (n - 1.0))]; };
  const double iqr = (quantile(0.75) - quantile(0.25)) / 1.34;
  const double spread = iqr > 0.0 ? std::min(sd, iqr) : sd;
  return std::isfinite(spread) ? 0.9 * spread * std::pow(n, -0.2) : 0.0;
}

}  // namespace

Density density_of(std::span<const double> values, std::size_t points) {
  std::vector<double> sorted;
  sorted.reserve(values.size());
  for (double v : values) {
    if (std::isfinite(v)) sorted.push_back(v);
  }
  if (sorted.size() < 2 || points < 2) return {};
  std::sort(sorted.begin(), sorted.end());
  const double h = bandwidth(sorted);
  const double low = sorted.front() - 3.0 * h, high = sorted.back() + 3.0 * h;
  const double step = (high - low) / static_cast<double>(points - 1);
  if (!(h > 0.0) || !(step > 0.0) || !std::isfinite(step)) return {};
  // Each value shared between its two neighbouring grid points.
  std::vector<double> weight(points, 0.0);
  for (double v : sorted) {
    const double at = std::clamp((v - low) / step, 0.0, static_cast<double>(points - 1));
    const auto k = std::min(static_cast<std::size_t>(at), points - 2);
    const double share = at - static_cast<double>(k);
    weight[k] += 1.0 - share;
    weight[k + 1] += share;
  }
  const auto reach = static_cast<std::ptrdiff_t>(std::ceil(4.0 * h / step));
  Density d;
  for (std::size_t i = 0; i < points; ++i) {
    double sum = 0.0;
    const auto from = std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(i) - reach);
    const auto to = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(points) - 1, static_cast<std::ptrdiff_t>(i) + reach);
    for (std::ptrdiff_t j = from; j <= to; ++j) {
      const double z = static_cast<double>(static_cast<std::ptrdiff_t>(i) - j) * step / h;
      sum += weight[static_cast<std::size_t>(j)] * std::exp(-0.5 * z * z);
    }
    d.at.push_back(low + static_cast<double>(i) * step);
    d.height.push_back(sum);
  }
  const double top = *std::max_element(d.height.begin(), d.height.end());
  for (double& y : d.height) y /= top;
  return d;
}

}  // namespace diffboot::figure
