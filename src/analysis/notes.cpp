#include "analysis/notes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/settings.h"
#include "bootstrap/bca.h"
#include "numeric/distributions.h"

namespace diffboot::analysis {
namespace {

// Three significant digits: "-5.5", "0.0913", "1.2e+03".
std::string three_digits(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
    out += items[i];
  }
  return out;
}

}  // namespace

std::vector<std::string> lift_notes(double mean, double sd, std::size_t n) {
  std::vector<std::string> notes;
  if (!(mean != 0.0) || !std::isfinite(mean)) return notes;
  if (mean < 0.0) {
    notes.push_back("lift: the mean of sample 2 is negative (" + three_digits(mean) +
                    "), so the lift's sign reads reversed: a mean of sample 1 above it gives a negative lift");
  }
  const double se = sd / std::sqrt(static_cast<double>(n));
  if (std::fabs(mean) < 2.0 * se) {
    notes.push_back("lift: the mean of sample 2 (" + three_digits(mean) + ") lies within two standard errors (" +
                    three_digits(2.0 * se) + ") of 0, so the lift is unstable: its replicates and bounds swing "
                    "with the resamples whose mean of sample 2 comes near 0");
  }
  return notes;
}

std::optional<std::string> extreme_level_note(std::string_view name, const bootstrap::Result& r, double alpha,
                                              std::size_t replications) {
  for (double bound : {r.bca_lower, r.bca_upper, r.percentile_lower, r.percentile_upper}) {
    if (!std::isfinite(bound)) return std::nullopt;
  }
  const double z_alpha = numeric::norm_quantile(alpha);
  const bootstrap::Levels bca = bootstrap::bca_levels(r.z0, r.acceleration, z_alpha);
  const bootstrap::Levels plain = bootstrap::bca_levels(0.0, 0.0, z_alpha);
  const struct {
    const char* bound;
    double level;
  } levels[] = {{"BCa lower", bca.lower}, {"BCa upper", bca.upper}, {"percentile lower", plain.lower},
                {"percentile upper", plain.upper}};
  std::vector<std::string> beyond;
  double needed = 0.0;
  for (const auto& l : levels) {
    if (!bootstrap::beyond_replicates(l.level, replications)) continue;
    beyond.emplace_back(l.bound);
    needed = std::max(needed, bootstrap::replications_reaching(l.level));
  }
  if (beyond.empty()) return std::nullopt;
  const std::string b = std::to_string(replications);
  const std::string need =
      needed <= static_cast<double>(max_replications)
          ? "their levels need B = " + std::to_string(static_cast<std::int64_t>(needed)) + " or more"
          : "their levels lie beyond what " + std::to_string(max_replications) + " replications reach";
  return std::string(name) + ": the " + listed(beyond) + (beyond.size() == 1 ? " bound is" : " bounds are") +
         " the smallest or largest of the " + b + " replicates, whatever the level: " + need;
}

}  // namespace diffboot::analysis
