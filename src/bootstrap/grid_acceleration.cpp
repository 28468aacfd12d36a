// The unpaired accelerations over the n_x·n_y grid of jackknife values in
// their storage order.
#include "bootstrap/acceleration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bootstrap/acceleration_sums.h"

namespace diffboot::bootstrap {
namespace {

using namespace acceleration_sums;

// The four measures side by side in one vector: native 256-bit registers where
// the processor has AVX2 (the functions below come in an AVX2 and a plain
// version, chosen when the program starts), register pairs elsewhere. The
// lanes never mix: each measure's sums keep their own storage order.
using Quad = double __attribute__((vector_size(32)));
using QuadScan = ScanOf<Quad>;
using QuadPowers = PowersOf<Quad>;

// Leave-one-out statistics (ave, med, std, mad) of each column, four
// doubles a column, read into a vector with an unaligned load.
std::vector<double> quads(const LeaveOneOut& s) {
  std::vector<double> q(4 * s.ave.size());
  for (std::size_t i = 0; i < s.ave.size(); ++i) {
    q[4 * i] = s.ave[i], q[4 * i + 1] = s.med[i], q[4 * i + 2] = s.std[i], q[4 * i + 3] = s.mad[i];
  }
  return q;
}

// Four doubles from p into v (out-parameter: a 32-byte vector returned by
// value would have two calling conventions).
inline void load(Quad& v, const double* p) { std::memcpy(&v, p, sizeof v); }

// Calls visit(a[i] - b[j]) for the jackknife values (i, j) in storage order
// (i fastest), counting n_x units of `progress` a column j; returns early
// when asked to stop (the callers run as target clones, which exceptions
// cannot pass: they look at the request again and throw).
template <typename Visit>
[[gnu::always_inline]] inline void for_each_pair(const std::vector<double>& a, const std::vector<double>& b,
                                                 Progress* progress, Visit&& visit) {
  Quad bj, ai;
  for (std::size_t j = 0; j < b.size(); j += 4) {
    if (progress != nullptr) {
      progress->add(a.size() / 4);
      if (progress->stopped()) return;
    }
    load(bj, &b[j]);
    for (std::size_t i = 0; i < a.size(); i += 4) {
      load(ai, &a[i]);
      visit(ai - bj);
    }
  }
}

__attribute__((target_clones("avx2", "default")))
void scan_quads(const std::vector<double>& a, const std::vector<double>& b, QuadScan& scan, Progress* progress) {
  QuadScan s = scan;
  for_each_pair(a, b, progress, [&s](const Quad& v) __attribute__((always_inline)) { s.add(v); });
  scan = s;
}

__attribute__((target_clones("avx2", "default")))
void power_quads(const std::vector<double>& a, const std::vector<double>& b, const Quad& m, QuadPowers& powers,
                 Progress* progress) {
  QuadPowers p = powers;
  for_each_pair(a, b, progress, [&p, &m](const Quad& v) __attribute__((always_inline)) { p.add(m, v); });
  powers = p;
}

// The unpaired acceleration of measure k (0 to 3: ave, med, std, mad) from
// the leave-one-out statistics times 2^-e, which leaves it as it is but for
// the overflow of its sums.
double scaled_acceleration(const LeaveOneOut& x1, const LeaveOneOut& x2, std::size_t k, int e) {
  const auto scaled = [k, e](const LeaveOneOut& s) {
    const std::vector<double>* columns[] = {&s.ave, &s.med, &s.std, &s.mad};
    LeaveOneOut out;
    for (double v : *columns[k]) out.ave.push_back(std::ldexp(v, -e));
    out.med = out.std = out.mad = out.ave;
    return out;
  };
  return unpaired_accelerations(scaled(x1), scaled(x2))[0];
}

}  // namespace

std::array<double, 4> unpaired_accelerations(const LeaveOneOut& x1, const LeaveOneOut& x2, Progress* progress) {
  const std::vector<double> a = quads(x1), b = quads(x2);
  QuadScan scan;
  scan_quads(a, b, scan, progress);
  if (progress != nullptr) progress->check();
  std::array<Scan, 4> scans{};
  for (std::size_t k = 0; k < 4; ++k) scans[k] = {scan.sum[k], scan.vmax[k], scan.vmin[k]};
  const double n = static_cast<double>(static_cast<std::int64_t>(x1.ave.size()) * static_cast<std::int64_t>(x2.ave.size()));
  const Quad m = scan.sum / n;
  QuadPowers powers;
  if (!std::all_of(scans.begin(), scans.end(), [](const Scan& s) { return s.flat(); })) {
    power_quads(a, b, m, powers, progress);
    if (progress != nullptr) progress->check();
  } else if (progress != nullptr) {
    progress->add(x1.ave.size() * x2.ave.size());
  }
  std::array<double, 4> acc{};
  for (std::size_t k = 0; k < 4; ++k) acc[k] = scans[k].flat() ? 0.0 : Powers{powers.s2[k], powers.s3[k]}.acceleration();
  for (std::size_t k = 0; k < 4; ++k) {
    if (const int e = overflow_scale(acc[k], scans[k]); e > 0) acc[k] = scaled_acceleration(x1, x2, k, e);
  }
  return acc;
}

}  // namespace diffboot::bootstrap
