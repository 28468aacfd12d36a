#include "diffboot/rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/analysis.h"
#include "analysis/measure.h"
#include "analysis/settings.h"
#include "numbers/free_form.h"
#include "poisson/results.h"

namespace diffboot {
namespace {

namespace a = diffboot::analysis;

static_assert(limits::default_replications == a::default_replications && limits::min_replications == a::min_replications &&
              limits::max_replications == a::max_replications);
static_assert(limits::default_permutations == a::default_permutations && limits::min_permutations == a::min_permutations &&
              limits::max_permutations == a::max_permutations);
static_assert(limits::fixed_seed == a::fixed_seed && limits::largest_seed == a::largest_seed);
static_assert(limits::min_level == a::min_level && limits::max_level == a::max_level &&
              limits::default_level == a::interval_levels[a::default_level]);
static_assert(limits::min_alpha == a::min_alpha && limits::max_alpha == a::max_alpha);
static_assert(limits::max_quantiles == a::max_quantiles);

a::Experiment internal(Experiment e) { return e == Experiment::paired ? a::Experiment::paired : a::Experiment::unpaired; }

// The shortest text of a number that reads back as it, as the help shows levels.
std::string number_text(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", v);
  return text;
}

// `written` is a user's text, shown in quotes, or a number's text.
[[noreturn]] void bad_level(std::string_view written, bool text) {
  std::string message = "level ";
  if (text) message += '"';
  message += written;
  if (text) message += '"';
  message += " is not a level from ";
  message += level_choices();
  throw Error(message);
}

// The percent in a quantile measure's name: "90" of d_Q90 and Q90_d.
std::string_view quantile_percent(std::string_view name) {
  return name.starts_with("d_Q") ? name.substr(3) : name.substr(1, name.size() - 3);
}

bool quantile_like(std::string_view name) {
  return (name.starts_with("d_Q") && name.size() > 3) || (name.starts_with("Q") && name.ends_with("_d") && name.size() > 3);
}

MeasureFacts facts_of(const a::MeasureInfo& m) {
  const bool poisson = std::ranges::find(poisson::engine::measure_names(a::Experiment::unpaired), m.name) !=
                           poisson::engine::measure_names(a::Experiment::unpaired).end() ||
                       std::ranges::find(poisson::engine::measure_names(a::Experiment::paired), m.name) !=
                           poisson::engine::measure_names(a::Experiment::paired).end();
  return {std::string(m.name), std::string(m.words), m.data_units, m.range.lower, m.range.upper, m.paired, m.unpaired,
          poisson,           m.kind == a::MeasureKind::lift};
}

}  // namespace

std::string level_choices() {
  const auto percent = [](double v) { return number_text(a::decimal15(v * 100.0)); };
  return number_text(limits::min_level) + " to " + number_text(limits::max_level) + " (default " +
         number_text(limits::default_level) + "); also " + percent(limits::min_level) + " to " +
         percent(limits::max_level) + ", " + percent(limits::default_level) + " or " + percent(limits::default_level) +
         "%";
}

Level level_from_number(double value) {
  double v = value;
  if (v > 1.0) v = a::decimal15(v / 100.0);
  if (!(v >= limits::min_level && v <= limits::max_level)) bad_level(number_text(value), false);
  return {a::alpha_of_level(v), v};
}

Level level_from_text(std::string_view written) {
  std::string_view text = written;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  const bool percent = !text.empty() && text.back() == '%';
  if (percent) text.remove_suffix(1);
  const numbers::FreeFormField field = numbers::parse_free_form(text, true);
  if (field.kind != numbers::FreeForm::value || field.text.size() != text.size()) bad_level(written, true);
  double v = field.value;
  if (percent || v > 1.0) v = a::decimal15(v / 100.0);
  if (!(v >= limits::min_level && v <= limits::max_level)) bad_level(written, true);
  return {a::alpha_of_level(v), v};
}

std::int64_t whole_number(double value, std::string_view name, std::int64_t low, std::int64_t high) {
  if (!(value >= static_cast<double>(low) && value <= static_cast<double>(high)) || value != std::trunc(value)) {
    throw Error(std::string(name) + " " + number_text(value) + " is not a whole number from " + std::to_string(low) +
                " to " + std::to_string(high));
  }
  return static_cast<std::int64_t>(value);
}

Acceleration acceleration_from_text(std::string_view text) {
  if (text == "grid") return Acceleration::grid;
  if (text == "samples") return Acceleration::samples;
  throw Error("acceleration \"" + std::string(text) + "\" is not grid or samples");
}

std::vector<MeasureFacts> measure_catalogue() {
  std::vector<MeasureFacts> out;
  for (int k = 0; k <= static_cast<int>(a::MeasureKind::d_Q); ++k) out.push_back(facts_of(a::info(static_cast<a::MeasureKind>(k))));
  return out;
}

std::optional<MeasureFacts> measure_facts(std::string_view name) {
  if (const std::optional<a::MeasureKind> kind = a::measure_named(name)) return facts_of(a::info(*kind));
  if (!quantile_like(name)) return std::nullopt;
  const bool paired = !name.starts_with("d_Q");
  MeasureFacts f = facts_of(a::info(paired ? a::MeasureKind::Q_d : a::MeasureKind::d_Q));
  const std::string percent(quantile_percent(name));
  f.name = std::string(name);
  f.words = paired ? percent + "% quantile of differences" : "difference of " + percent + "% quantiles";
  return f;
}

std::vector<std::string> measure_names(Experiment e, Method method) {
  std::vector<std::string> out;
  if (method == Method::poisson) {
    for (std::string_view n : poisson::engine::measure_names(internal(e))) out.emplace_back(n);
    return out;
  }
  for (std::string_view n : a::all_measure_names(internal(e))) out.emplace_back(n);
  return out;
}

std::string quantile_name(double p, Experiment e) { return a::quantile_name(p, internal(e)); }

std::string test_name(Experiment e, bool proportions) { return std::string(a::test_name(proportions, internal(e))); }

}  // namespace diffboot
