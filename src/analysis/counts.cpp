#include "analysis/counts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <tuple>

#include "bootstrap/acceleration.h"
#include "bootstrap/bootstrap.h"
#include "bootstrap/effect_sizes.h"
#include "analysis/notes.h"
#include "numbers/free_form.h"
#include "numeric/random.h"

namespace diffboot::analysis {
namespace {

using bootstrap::Repeated;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
const double largest_count = static_cast<double>(numeric::largest_binomial_trials);

std::string number_text(double v) {
  char text[40];
  return {text, std::to_chars(text, text + sizeof text, v).ptr};
}

// What keeps v from being a count: "12.5 is not a whole number from 0 to 2^53".
std::optional<std::string> not_a_count(double v) {
  if (v >= 0.0 && v <= largest_count && v == std::trunc(v)) return std::nullopt;
  return number_text(v) + " is not a whole number from 0 to 2^53 (9007199254740992)";
}

// The runs' bootstrap::Measure of each chosen run, its t quantile by its kind.
bootstrap::Measure measure_of(MeasureRun& run, double t_quantile) {
  return bootstrap::Measure{run.result, t_quantile, run.replicates, run.in_order, info(run.kind).range, run.chosen};
}

MeasureRun* run_of(std::vector<MeasureRun>& runs, MeasureKind kind) {
  const auto found = std::ranges::find(runs, kind, &MeasureRun::kind);
  return found == runs.end() || !found->chosen ? nullptr : &*found;
}

// The intervals of a run whose estimate and replicates are set, as the
// rows' bootstrap forms them; none where it has no estimate (a lift over
// p_y = 0).
void intervals(MeasureRun& run, double t_quantile, double acc, double alpha) {
  bootstrap::Measure m = measure_of(run, t_quantile);
  bootstrap::measure_intervals(m, acc, alpha);
  if (!std::isfinite(run.result.estimate)) bootstrap::without_intervals(run.result);
}

// The runs nobody asked for (the standard measures whose slots the
// difference of proportions shares): NaN throughout.
void not_formed(std::vector<MeasureRun>& runs) {
  for (MeasureRun& run : runs) {
    if (run.chosen) continue;
    std::fill(run.replicates.begin(), run.replicates.end(), nan);
    run.result.estimate = nan;
    bootstrap::without_intervals(run.result);
  }
}

// The notes on every chosen run, as run_bootstrap gives them for 0/1 values.
// `y`: the summary of sample 2 (paired: of the pairs' second halves) of n_y values.
void notes(std::vector<MeasureRun>& runs, const std::string& samples, const numeric::SampleSummary& y, std::int64_t n_y,
           const Settings& settings) {
  for (MeasureRun& run : runs) {
    if (!run.chosen) continue;
    if (run.kind == MeasureKind::lift && !std::isfinite(run.result.estimate)) {
      run.result.estimate = nan;
      run.notes.push_back("lift: not defined, as the mean of sample 2 is 0");
      continue;
    }
    notes_on_replicates(run, samples, run.kind == MeasureKind::lift ? "resamples of sample 2 whose mean is 0"
                                                                     : "constant resamples",
                        settings.alpha);
  }
  if (MeasureRun* lift = run_of(runs, MeasureKind::lift); lift != nullptr && std::isfinite(lift->result.estimate)) {
    for (std::string& note : lift_notes(y.ave, y.std, static_cast<std::size_t>(n_y))) lift->notes.push_back(std::move(note));
  }
}

// The test beside the permutation test, on the first run, with its note;
// the permutation p-values not given, with theirs.
void p_values(std::vector<MeasureRun>& runs, double p, const Settings& settings) {
  if (settings.permutations == 0) return;
  runs[0].p_t = p;
  if (std::isnan(p)) {
    runs[0].notes.push_back(runs[0].name + ": " + std::string(test_name(true, settings.experiment)) +
                            " is not given: " +
                            (settings.experiment == Experiment::paired ? "no pair's two values differ"
                                                                       : "the values are all 0 or all 1"));
  }
  for (MeasureRun& run : runs) {
    if (run.chosen) run.notes.push_back(run.name + ": p_permutation is not given for counts (the rows' test)");
  }
}

// The jackknife deviations m - u_i of the mean of k ones among n values
// (u_i the mean without value i): (n - k) / (n (n - 1)) for each one,
// -k / (n (n - 1)) for each zero.
std::array<Repeated, 2> mean_deviations(double k, double n) {
  const double scale = n * (n - 1.0);
  return {{{(n - k) / scale, k}, {-k / scale, n - k}}};
}

// The acceleration of the difference of proportions: the grid of a value
// left out of each sample (deviations a_i - b_j), or the two-sample formula.
double difference_acceleration(double kx, double nx, double ky, double ny, Acceleration method) {
  const std::array<Repeated, 2> a = mean_deviations(kx, nx), b = mean_deviations(ky, ny);
  if (method == Acceleration::samples) {
    // The formula of the leave-one-out means: U_i = (n_x - 1) a_i, W_j = -(n_y - 1) b_j.
    long double squares = 0.0L, cubes = 0.0L;
    for (const auto& [part, n, sign] : {std::tuple{a, nx, 1.0L}, std::tuple{b, ny, -1.0L}}) {
      if (part[0].count == 0.0 || part[1].count == 0.0) continue;  // one value throughout: flat
      const long double f = (n - 1.0L) / n;
      for (const Repeated& r : part) {
        const long double d = r.value;
        squares += f * f * r.count * d * d;
        cubes += sign * f * f * f * r.count * d * d * d;
      }
    }
    return squares == 0.0L ? 0.0 : static_cast<double>(cubes / (6.0L * std::pow(squares, 1.5L)));
  }
  std::vector<Repeated> grid;
  for (const Repeated& i : a) {
    for (const Repeated& j : b) grid.push_back({i.value - j.value, i.count * j.count});
  }
  return bootstrap::acceleration_of_deviations(grid);
}

// The acceleration of a measure f(p_x, p_y) of two samples from its
// jackknife values, each sample's ones and zeros left out in turn: pooled
// (grid) or by the two-sample formula.
template <typename F>
double pooled_acceleration(const F& f, double kx, double nx, double ky, double ny, Acceleration method) {
  const double px = kx / nx, py = ky / ny;
  const std::array<Repeated, 2> x{{{f((kx - 1.0) / (nx - 1.0), py), kx}, {f(kx / (nx - 1.0), py), nx - kx}}};
  const std::array<Repeated, 2> y{{{f(px, (ky - 1.0) / (ny - 1.0)), ky}, {f(px, ky / (ny - 1.0)), ny - ky}}};
  if (method == Acceleration::samples) return bootstrap::two_sample_acceleration_of_repeated(x, y);
  const std::array<Repeated, 4> pooled{x[0], x[1], y[0], y[1]};
  return bootstrap::acceleration_of_repeated(pooled);
}

}  // namespace

std::variant<Counts, std::string> counts_of(double successes, double trials, std::string_view sample) {
  const std::string name(sample);
  if (const std::optional<std::string> p = not_a_count(successes)) return name + ": successes " + *p;
  if (const std::optional<std::string> p = not_a_count(trials)) return name + ": trials " + *p;
  if (trials == 0.0) return name + ": no trials (0 trials)";
  if (successes > trials) {
    return name + ": " + number_text(successes) + " successes of " + number_text(trials) + " trials, more than the trials";
  }
  return Counts{static_cast<std::int64_t>(successes), static_cast<std::int64_t>(trials)};
}

std::variant<PairedCounts, std::string> paired_counts_of(const std::array<double, 4>& cells) {
  static constexpr const char* names[] = {"both", "x_only", "y_only", "neither"};
  double total = 0.0;
  for (std::size_t k = 0; k < 4; ++k) {
    if (const std::optional<std::string> p = not_a_count(cells[k])) return std::string("the pairs' ") + names[k] + " " + *p;
    total += cells[k];
  }
  if (total > largest_count) return "the pairs' table holds " + number_text(total) + " pairs, more than 2^53";
  if (total == 0.0) return std::string("the pairs' table holds no pairs");
  return PairedCounts{static_cast<std::int64_t>(cells[0]), static_cast<std::int64_t>(cells[1]),
                      static_cast<std::int64_t>(cells[2]), static_cast<std::int64_t>(cells[3])};
}

std::variant<std::vector<double>, std::string> count_numbers(std::string_view text) {
  std::vector<double> out;
  std::size_t begin = 0;
  while (true) {
    const std::size_t slash = text.find('/', begin);
    const std::string_view item = text.substr(begin, slash == std::string_view::npos ? text.npos : slash - begin);
    const numbers::FreeFormField field = numbers::parse_free_form(item, true);
    if (item.empty() || field.kind != numbers::FreeForm::value || field.text.size() != item.size()) {
      // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on "literal" + std::string&&.
      return std::string("\"").append(item).append("\" is not a number");
    }
    out.push_back(field.value);
    if (slash == std::string_view::npos) return out;
    begin = slash + 1;
  }
}

numeric::SampleSummary summary_of_counts(std::int64_t k, std::int64_t n) {
  const auto dk = static_cast<double>(k), dn = static_cast<double>(n);
  numeric::SampleSummary s{};
  s.ave = dk / dn;
  s.std = n > 1 ? std::sqrt(dk * (dn - dk) / (dn * (dn - 1.0))) : nan;
  s.min = k < n ? 0.0 : 1.0;
  s.max = k > 0 ? 1.0 : 0.0;
  // The median of k ones among n: 1 where they are more than half, 0.5
  // where exactly half; every deviation from it is then 0.5, else most are 0.
  s.med = 2 * k > n ? 1.0 : 2 * k == n ? 0.5 : 0.0;
  s.mad = 2 * k == n ? 0.5 * 1.4826 : 0.0;
  return s;
}

std::optional<std::string> counts_problem(std::int64_t n_x, std::int64_t n_y, const Settings& settings) {
  Settings s = settings;
  s.quantiles.clear();
  // The sizes' rules as for rows, without the sizes' own range.
  const auto clipped = [](std::int64_t n) { return static_cast<std::size_t>(std::min<std::int64_t>(n, 1000)); };
  return problem(clipped(n_x), clipped(n_y), s);
}

std::vector<MeasureRun> bootstrap_counts(const Counts& x, const Counts& y, const Settings& asked) {
  Settings settings = asked;
  settings.proportions = true;
  std::vector<MeasureRun> runs = runs_of_measures(settings);
  const double kx = static_cast<double>(x.successes), nx = static_cast<double>(x.trials);
  const double ky = static_cast<double>(y.successes), ny = static_cast<double>(y.trials);
  const double px = kx / nx, py = ky / ny;
  MeasureRun* lift = run_of(runs, MeasureKind::lift);
  MeasureRun* h = run_of(runs, MeasureKind::h);
  runs[0].result.estimate = px - py;
  if (lift != nullptr) lift->result.estimate = bootstrap::lift(px, py);
  if (h != nullptr) h->result.estimate = bootstrap::cohens_h(px, py);
  numeric::UniformState g;
  g.initial_seed = -settings.seed;
  numeric::init_uniform(g);
  const numeric::BinomialDrawer draw_x(x.trials, px), draw_y(y.trials, py);
  for (std::size_t i = 0; i < runs[0].replicates.size(); ++i) {
    const double rx = static_cast<double>(draw_x.draw(g)) / nx;
    const double ry = static_cast<double>(draw_y.draw(g)) / ny;
    runs[0].replicates[i] = rx - ry;
    if (lift != nullptr) lift->replicates[i] = bootstrap::lift(rx, ry);
    if (h != nullptr) h->replicates[i] = bootstrap::cohens_h(rx, ry);
  }
  not_formed(runs);
  const double t = t_quantiles(settings.alpha, x.trials, y.trials).means;
  if (runs[0].chosen) {
    intervals(runs[0], t, difference_acceleration(kx, nx, ky, ny, settings.acceleration), settings.alpha);
  }
  if (lift != nullptr) {
    const double acc = pooled_acceleration([](double a, double b) { return bootstrap::lift(a, b); }, kx, nx, ky, ny,
                                           settings.acceleration);
    MeasureRun& run = *lift;
    bootstrap::Measure m = measure_of(run, t);
    m.range = bootstrap::lift_range_of(kx < nx ? 0.0 : 1.0, ky < ny ? 0.0 : 1.0);
    bootstrap::measure_intervals(m, acc, settings.alpha);
    if (!std::isfinite(run.result.estimate)) bootstrap::without_intervals(run.result);
  }
  if (h != nullptr) {
    intervals(*h, t,
              pooled_acceleration([](double a, double b) { return bootstrap::cohens_h(a, b); }, kx, nx, ky, ny,
                                  settings.acceleration),
              settings.alpha);
  }
  notes(runs, "the samples' sizes (" + std::to_string(x.trials) + " and " + std::to_string(y.trials) + " values)",
        summary_of_counts(y.successes, y.trials), y.trials, settings);
  p_values(runs, z_test_p(kx, nx, ky, ny), settings);
  return runs;
}

std::vector<MeasureRun> bootstrap_paired_counts(const PairedCounts& table, const Settings& asked) {
  Settings settings = asked;
  settings.proportions = true;
  std::vector<MeasureRun> runs = runs_of_measures(settings);
  const double a = static_cast<double>(table.both), b = static_cast<double>(table.x_only);
  const double c = static_cast<double>(table.y_only), d = static_cast<double>(table.neither);
  const double n = a + b + c + d;
  MeasureRun* lift = run_of(runs, MeasureKind::lift);
  MeasureRun* h = run_of(runs, MeasureKind::h);
  runs[0].result.estimate = (b - c) / n;
  if (lift != nullptr) lift->result.estimate = ((b - c) / n) / ((a + c) / n);
  if (h != nullptr) h->result.estimate = bootstrap::cohens_h((a + b) / n, (a + c) / n);
  numeric::UniformState g;
  g.initial_seed = -settings.seed;
  numeric::init_uniform(g);
  for (std::size_t i = 0; i < runs[0].replicates.size(); ++i) {
    const PairedCounts r = numeric::paired_counts_draw(g, table);
    const auto both = static_cast<double>(r.both), x_only = static_cast<double>(r.x_only);
    const auto y_only = static_cast<double>(r.y_only);
    const double mean_d = (x_only - y_only) / n, mean_y = (both + y_only) / n;
    runs[0].replicates[i] = mean_d;
    if (lift != nullptr) lift->replicates[i] = mean_d / mean_y;
    if (h != nullptr) h->replicates[i] = bootstrap::cohens_h((both + x_only) / n, mean_y);
  }
  not_formed(runs);
  const double t = t_quantiles(settings.alpha, table.both + table.x_only + table.y_only + table.neither, 0).paired;
  // The pairs by kind: (x, y) = (1, 1), (1, 0), (0, 1), (0, 0), each as often as its cell.
  const std::array<double, 4> xs{1.0, 1.0, 0.0, 0.0}, ys{1.0, 0.0, 1.0, 0.0}, cells{a, b, c, d};
  const double sum_d = b - c, sum_x = a + b, sum_y = a + c;
  if (runs[0].chosen) {
    std::vector<Repeated> deviations;  // m - u_i = (n d_i - S) / (n (n - 1))
    for (std::size_t k = 0; k < 4; ++k) deviations.push_back({(n * (xs[k] - ys[k]) - sum_d) / (n * (n - 1.0)), cells[k]});
    intervals(runs[0], t, bootstrap::acceleration_of_deviations(deviations), settings.alpha);
  }
  const auto left_out = [&](const auto& f) {
    std::vector<Repeated> jack;
    for (std::size_t k = 0; k < 4; ++k) jack.push_back({f(xs[k], ys[k]), cells[k]});
    return bootstrap::acceleration_of_repeated(jack);
  };
  if (lift != nullptr) {
    const double acc = left_out([&](double xi, double yi) { return (sum_d - (xi - yi)) / (sum_y - yi); });
    bootstrap::Measure m = measure_of(*lift, t);
    m.range = bootstrap::lift_range_of(0.0, a + c < n ? 0.0 : 1.0);
    bootstrap::measure_intervals(m, acc, settings.alpha);
    if (!std::isfinite(lift->result.estimate)) bootstrap::without_intervals(lift->result);
  }
  if (h != nullptr) {
    const double acc = left_out(
        [&](double xi, double yi) { return bootstrap::cohens_h((sum_x - xi) / (n - 1.0), (sum_y - yi) / (n - 1.0)); });
    intervals(*h, t, acc, settings.alpha);
  }
  notes(runs, "the " + std::to_string(total(table)) + " pairs", summary_of_counts(table.both + table.y_only, total(table)),
        total(table), settings);
  p_values(runs, mcnemar_p(b, c), settings);
  return runs;
}

}  // namespace diffboot::analysis
