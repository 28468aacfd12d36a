#include "poisson/sums.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <string>

#include "numeric/accurate_sum.h"
#include "poisson/kernel.h"

namespace diffboot::poisson::engine {

Summary summarise(std::span<const double> values, int sample) {
  Summary s;
  numeric::AccurateSum sum;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    if (std::isnan(v)) {
      ++s.missing;
      continue;
    }
    if (std::isinf(v)) {
      throw Error("sample " + std::to_string(sample) + " holds a value that is not a finite number, at position " +
                  std::to_string(i + 1) + " of its part");
    }
    ++s.n;
    sum.add(v);
    s.min = std::min(s.min, v), s.max = std::max(s.max, v);
  }
  s.sum = sum.sum, s.sum_errors = sum.errors;
  return s;
}

void merge(Summary& into, const Summary& from) {
  numeric::AccurateSum sum{into.sum, into.sum_errors};
  sum.add(from.sum);
  sum.errors += from.sum_errors;
  into.sum = sum.sum, into.sum_errors = sum.errors;
  into.n += from.n, into.missing += from.missing;
  into.min = std::min(into.min, from.min), into.max = std::max(into.max, from.max);
}

namespace {

// v rounded to `bits` significant bits.
double rounded(double v, int bits) {
  if (v == 0.0 || !std::isfinite(v)) return v;
  const int e = std::ilogb(v) - (bits - 1);
  return std::ldexp(std::nearbyint(std::ldexp(v, -e)), e);
}

}  // namespace

Frame frame_of(const Summary& whole) {
  Frame f;
  f.n = whole.n, f.missing = whole.missing;
  if (whole.n == 0) return f;
  f.min = whole.min, f.max = whole.max;
  // The mean to 32 bits: parts grouped otherwise give a sum that differs in
  // its last place at most, which rounds to the same pivot but for a tie.
  // (A sum beyond the largest double takes the middle of the range instead.)
  const double sum = whole.sum + whole.sum_errors;
  const double mean = std::isfinite(sum) ? std::clamp(sum / static_cast<double>(whole.n), whole.min, whole.max)
                                         : whole.min / 2 + whole.max / 2;
  f.pivot = std::clamp(rounded(mean, 32), whole.min, whole.max);
  // The largest distance from the pivot, formed on halved values where the
  // difference itself would overflow.
  const double far = std::max(whole.max - f.pivot, f.pivot - whole.min);
  const int e = std::isfinite(far) ? (far > 0.0 ? std::ilogb(far) + 1 : 0)
                                   : std::ilogb(std::max(whole.max / 2 - f.pivot / 2, f.pivot / 2 - whole.min / 2)) + 2;
  f.scale = std::clamp(e, -1000, 1000);
  return f;
}

namespace {

Sums empty_sums(const Frame& frame, const Setup& setup) {
  if (setup.replications < 1) throw Error("replications " + std::to_string(setup.replications) + " is not positive");
  if (setup.sample != 0 && setup.sample != 1) throw Error("sample " + std::to_string(setup.sample) + " is neither 0 nor 1");
  Sums s{frame, setup, 0, {}, {}, {}, {}};
  s.weights.assign(static_cast<std::size_t>(setup.replications), 0);
  s.moments.assign(4 * static_cast<std::size_t>(setup.replications), 0.0);
  return s;
}

Sums sums_of(std::span<const double> values, std::span<const std::uint64_t> keys, std::uint64_t first_position,
             const Frame& frame, const Setup& setup) {
  Sums s = empty_sums(frame, setup);
  const Rows rows = prepare_rows(values, keys, first_position, frame, setup, s);
  add_replicates(rows, setup.seed, 0, setup.replications, s.weights, s.moments);
  return s;
}

}  // namespace

Sums partition_sums(std::span<const double> values, std::span<const std::uint64_t> keys, const Frame& frame,
                    const Setup& setup) {
  if (keys.size() != values.size()) {
    throw Error("the keys number " + std::to_string(keys.size()) + " but the values " + std::to_string(values.size()));
  }
  return sums_of(values, keys, 0, frame, setup);
}

Sums partition_sums(std::span<const double> values, std::uint64_t first_position, const Frame& frame,
                    const Setup& setup) {
  return sums_of(values, {}, first_position, frame, setup);
}

namespace {

// Adds the replicates' sums over `rows` to s, the replicates split over
// `threads` threads in contiguous ranges.
void add_on_threads(const Rows& rows, const Setup& setup, unsigned threads, Sums& s, bootstrap::Progress* progress) {
  const std::int64_t parts = std::clamp<std::int64_t>(threads, 1, setup.replications);
  std::vector<std::future<void>> running;
  for (std::int64_t k = 1; k < parts; ++k) {
    running.push_back(std::async(std::launch::async, [&, k] {
      add_replicates(rows, setup.seed, setup.replications * k / parts, setup.replications * (k + 1) / parts, s.weights,
                     s.moments, progress);
    }));
  }
  add_replicates(rows, setup.seed, 0, setup.replications / parts, s.weights, s.moments, progress);
  for (std::future<void>& f : running) f.get();
}

}  // namespace

Sums sums_on_threads(std::span<const double> values, const Frame& frame, const Setup& setup, unsigned threads,
                     bootstrap::Progress* progress) {
  Sums s = empty_sums(frame, setup);
  const Rows rows = prepare_rows(values, {}, 0, frame, setup, s);
  add_on_threads(rows, setup, threads, s, progress);
  return s;
}

std::vector<double> present_second_halves(std::span<const double> differences, std::span<const double> second) {
  if (differences.size() != second.size()) {
    throw Error("the differences number " + std::to_string(differences.size()) + " but the second halves " +
                std::to_string(second.size()));
  }
  std::vector<double> y(second.begin(), second.end());
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (std::isnan(differences[i])) y[i] = std::nan("");
  }
  return y;
}

Sums second_half_sums(std::span<const double> differences, std::span<const double> second,
                      std::span<const std::uint64_t> keys, std::uint64_t first_position,
                      const Frame& differences_frame, const Frame& second_frame, const Setup& setup,
                      unsigned threads, bootstrap::Progress* progress) {
  const std::vector<double> y = present_second_halves(differences, second);
  if (!keys.empty() && keys.size() != y.size()) {
    throw Error("the keys number " + std::to_string(keys.size()) + " but the pairs " + std::to_string(y.size()));
  }
  const auto scaled = [](double v, const Frame& f) {  // as prepare_rows centres and scales
    const double factor = std::ldexp(1.0, -f.scale);
    return v * factor - f.pivot * factor;
  };
  const Setup keyed{setup.seed, setup.replications, 0};  // the differences' counts
  Sums s = empty_sums(second_frame, keyed);
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (std::isnan(y[i]) && !std::isnan(differences[i])) {
      throw Error("pair " + std::to_string(i + 1) + " of the part has a difference but no second half");
    }
    if (std::isnan(y[i])) continue;
    if (std::isinf(y[i])) {
      throw Error("sample 2 holds a value that is not a finite number, at position " + std::to_string(i + 1) +
                  " of its part");
    }
    const double e = scaled(differences[i], differences_frame), v = scaled(y[i], second_frame);
    const double terms[] = {e * v, e * e * v, e * v * v};
    for (std::size_t k = 0; k < 3; ++k) {
      const Split t = split(terms[k]);
      s.cross[2 * k] += t.high, s.cross[2 * k + 1] += t.low;
    }
  }
  const Rows rows = prepare_rows(y, keys, first_position, second_frame, keyed, s);
  add_on_threads(rows, keyed, threads, s, progress);
  s.setup.sample = 1;
  return s;
}

void merge(Sums& into, const Sums& from) {
  if (!(into.frame == from.frame) || !(into.setup == from.setup) || into.weights.size() != from.weights.size() ||
      into.moments.size() != from.moments.size()) {
    throw Error("sums of different samples, frames, seeds or replications cannot be added");
  }
  into.rows += from.rows;
  for (std::size_t k = 0; k < into.powers.size(); ++k) into.powers[k] += from.powers[k];
  for (std::size_t k = 0; k < into.cross.size(); ++k) into.cross[k] += from.cross[k];
  for (std::size_t b = 0; b < into.weights.size(); ++b) into.weights[b] += from.weights[b];
  for (std::size_t k = 0; k < into.moments.size(); ++k) into.moments[k] += from.moments[k];
}

}  // namespace diffboot::poisson::engine
