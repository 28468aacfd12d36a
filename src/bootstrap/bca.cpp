#include "bootstrap/bca.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "numeric/distributions.h"

namespace diffboot::bootstrap {
namespace {

// 1.0e-12 held in single precision and widened to double: the relative
// spread below which jackknife values count as equal.
const double spread_threshold = static_cast<double>(1.0e-12f);
constexpr double infinity = std::numeric_limits<double>::infinity();

// Two measures side by side in one register: the lanes never mix, so each
// lane's sums keep their own order and round exactly as scalar code would.
using Lanes = double __attribute__((vector_size(16)));

// Running sum, largest and smallest of jackknife values in storage order, of
// one measure (T = double) or of two side by side (T = Lanes).
template <typename T>
struct ScanOf {
  T sum = T{} + 0.0;
  T vmax = T{} - infinity;
  T vmin = T{} + infinity;
  void add(T v) {
    sum += v;
    vmax = vmax > v ? vmax : v;
    vmin = vmin < v ? vmin : v;
  }
  // Relative to the values' magnitude, so that the same data in other units
  // give the same acceleration; equal values are always flat.
  bool flat() const { return std::fabs(vmin - vmax) <= spread_threshold * std::max(std::fabs(vmin), std::fabs(vmax)); }
};

// Sums of squared and cubed deviations (mean minus value) in storage order.
template <typename T>
struct PowersOf {
  T s2 = T{} + 0.0;
  T s3 = T{} + 0.0;
  void add(T m, T v) {
    const T d = m - v;
    s2 += d * d;
    s3 += d * d * d;
  }
  double acceleration() const { return s3 / (6.0 * std::pow(s2, 1.5)); }
};

using Scan = ScanOf<double>;
using Powers = PowersOf<double>;

}  // namespace

double bias_correction(std::span<const double> replicates, double estimate) {
  std::int64_t equal = 0;
  std::int64_t less = 0;
  for (double r : replicates) {
    if (r == estimate) ++equal;
    if (r < estimate) ++less;
  }
  const auto replications = static_cast<double>(replicates.size());
  const double p0 = (0.5 * static_cast<double>(equal) + static_cast<double>(less)) / replications;
  return numeric::norm_quantile(p0);
}

double acceleration(std::span<const double> jack) {
  Scan scan;
  for (double v : jack) scan.add(v);
  if (scan.flat()) return 0.0;
  const double m = scan.sum / static_cast<double>(jack.size());
  Powers powers;
  for (double v : jack) powers.add(m, v);
  return powers.acceleration();
}

namespace {

using LaneScan = ScanOf<Lanes>;
using LanePowers = PowersOf<Lanes>;

// Jackknife values (i, j) of two measures: a[i] - b[j] per lane.
struct MeasurePair {
  std::vector<Lanes> a, b;
  MeasurePair(const std::vector<double>& a0, const std::vector<double>& a1, const std::vector<double>& b0,
              const std::vector<double>& b1)
      : a(a0.size()), b(b0.size()) {
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = Lanes{a0[i], a1[i]};
    for (std::size_t j = 0; j < b.size(); ++j) b[j] = Lanes{b0[j], b1[j]};
  }
};

void scan_pairs(const MeasurePair& p, const MeasurePair& q, LaneScan& sp, LaneScan& sq) {
  for (std::size_t j = 0; j < p.b.size(); ++j) {
    const Lanes bp = p.b[j], bq = q.b[j];
    for (std::size_t i = 0; i < p.a.size(); ++i) {
      sp.add(p.a[i] - bp);
      sq.add(q.a[i] - bq);
    }
  }
}

void power_pairs(const MeasurePair& p, const MeasurePair& q, Lanes mp, Lanes mq, LanePowers& pp, LanePowers& pq) {
  for (std::size_t j = 0; j < p.b.size(); ++j) {
    const Lanes bp = p.b[j], bq = q.b[j];
    for (std::size_t i = 0; i < p.a.size(); ++i) {
      pp.add(mp, p.a[i] - bp);
      pq.add(mq, q.a[i] - bq);
    }
  }
}

Scan lane(const LaneScan& s, int k) { return {s.sum[k], s.vmax[k], s.vmin[k]}; }

}  // namespace

std::array<double, 4> unpaired_accelerations(const LeaveOneOut& x1, const LeaveOneOut& x2) {
  // The four measures run side by side as independent chains, two to a
  // register; each keeps the storage order (i fastest) of its own values.
  const MeasurePair p(x1.ave, x1.med, x2.ave, x2.med);
  const MeasurePair q(x1.std, x1.mad, x2.std, x2.mad);
  LaneScan sp, sq;
  scan_pairs(p, q, sp, sq);
  const std::array<Scan, 4> scans{lane(sp, 0), lane(sp, 1), lane(sq, 0), lane(sq, 1)};
  const double n = static_cast<double>(static_cast<std::int64_t>(x1.ave.size()) * static_cast<std::int64_t>(x2.ave.size()));
  const Lanes mp = sp.sum / n, mq = sq.sum / n;
  LanePowers pp, pq;
  if (!std::all_of(scans.begin(), scans.end(), [](const Scan& s) { return s.flat(); })) {
    power_pairs(p, q, mp, mq, pp, pq);
  }
  const std::array<Powers, 4> powers{Powers{pp.s2[0], pp.s3[0]}, Powers{pp.s2[1], pp.s3[1]},
                                     Powers{pq.s2[0], pq.s3[0]}, Powers{pq.s2[1], pq.s3[1]}};
  std::array<double, 4> acc{};
  for (std::size_t k = 0; k < 4; ++k) acc[k] = scans[k].flat() ? 0.0 : powers[k].acceleration();
  return acc;
}

Levels bca_levels(double z0, double acc, double z_alpha) {
  const double w_lower = z0 + z_alpha;
  const double w_upper = z0 - z_alpha;
  return {numeric::norm_cdf(z0 + w_lower / (1.0 - acc * w_lower)),
          numeric::norm_cdf(z0 + w_upper / (1.0 - acc * w_upper))};
}

double percentile(std::span<const double> s, double p) {
  if (std::isnan(p)) return p;
  const auto count = static_cast<std::int64_t>(s.size());
  const double places = static_cast<double>(count) + 1.0;  // B + 1: s(k) sits at level k/(B + 1)
  const auto k = static_cast<std::int64_t>(std::clamp(p * places, 0.0, places + 1.0));
  const std::int64_t lo = std::clamp<std::int64_t>(k, 1, count);
  const std::int64_t hi = std::min<std::int64_t>(k + 1, count);
  const double low = s[static_cast<std::size_t>(lo - 1)];
  const double width = places * (s[static_cast<std::size_t>(hi - 1)] - low);
  const double frac = p - static_cast<double>(lo) / places;
  return low + frac * width;
}

PlainBounds plain_bounds(std::span<const double> sorted, double estimate, double z_alpha) {
  const Levels plain = bca_levels(0.0, 0.0, z_alpha);
  const double lower = percentile(sorted, plain.lower);
  const double upper = percentile(sorted, plain.upper);
  return {lower, upper, 2.0 * estimate - upper, 2.0 * estimate - lower};
}

}  // namespace diffboot::bootstrap
