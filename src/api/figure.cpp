// The figure of a run laid out by the figure library and handed over in the
// public kinds.
#include "diffboot/figure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "analysis/settings.h"
#include "diffboot/rules.h"
#include "figure/figure_model.h"
#include "numeric/summaries.h"

namespace diffboot {
namespace {

// The values the run analysed: a paired run's pairs without a missing half,
// an unpaired run's values without the missing ones.
std::pair<std::vector<double>, std::vector<double>> analysed(std::span<const double> x, std::span<const double> y,
                                                             bool paired) {
  std::vector<double> kept_x, kept_y;
  if (paired) {
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
      if (!std::isnan(x[i]) && !std::isnan(y[i])) kept_x.push_back(x[i]), kept_y.push_back(y[i]);
    }
    return {kept_x, kept_y};
  }
  for (double v : x) if (!std::isnan(v)) kept_x.push_back(v);
  for (double v : y) if (!std::isnan(v)) kept_y.push_back(v);
  return {kept_x, kept_y};
}

std::vector<FigureTick> ticks_of(const std::vector<figure::Tick>& ticks) {
  std::vector<FigureTick> out;
  for (const figure::Tick& t : ticks) out.push_back({t.at, t.label});
  return out;
}

FigureAxis axis_of(const figure::ModelAxis& a) { return {a.low, a.high, a.log_scale, ticks_of(a.ticks), a.title}; }

FigureMark mark_of(const figure::Mark& m) {
  const MarkKind kind = m.kind == figure::MarkKind::discs ? MarkKind::discs
                        : m.kind == figure::MarkKind::lines ? MarkKind::lines
                                                            : MarkKind::area;
  return {m.role, m.what, kind, m.x, m.y, m.diameter, m.breaks, m.colour, m.width, m.opacity, m.second_axis};
}

FigurePanel panel_of(const figure::Panel& p) {
  FigurePanel out{p.samples, p.box.left, p.box.right, p.box.bottom, p.box.top, axis_of(p.x), axis_of(p.y),
                  std::nullopt, ticks_of(p.categories), {}, {}, p.zero_line, p.upright};
  if (p.y2) out.y2 = axis_of(*p.y2);
  for (const figure::Mark& m : p.marks) out.marks.push_back(mark_of(m));
  for (const figure::ModelText& t : p.texts) out.texts.push_back({t.text, t.x, t.y, t.colour});
  return out;
}

const char* legend_kind(figure::LegendKind k) {
  switch (k) {
    case figure::LegendKind::mean_sd: return "mean_sd";
    case figure::LegendKind::median: return "median";
    case figure::LegendKind::bca: return "bca";
    case figure::LegendKind::t: return "t";
  }
  return "";
}

void check_size(const FigureOptions& options) {
  if (!(options.width >= 1.0 && options.width <= 40.0 && options.height >= 1.0 && options.height <= 40.0)) {
    throw Error("a figure's width and height are 1 to 40 inches each");
  }
}

// The model in the public kinds, once every panel has room.
FigureLayout layout_of(const figure::FigureModel& m, const FigureOptions& options, std::size_t measures) {
  for (const figure::Panel& p : m.panels) {
    if (!(p.box.width() > 0.0 && p.box.height() > 0.0)) {
      char size[64];
      std::snprintf(size, sizeof size, "%g x %g inches", options.width, options.height);
      throw Error(std::string("a figure of ") + size + " has no room for " + std::to_string(measures) +
                  " measures: make it larger");
    }
  }
  FigureLayout out{m.width, m.height, m.font, m.title, {}, {}, m.bca_thickness, m.line, m.ch};
  for (const figure::Panel& p : m.panels) out.panels.push_back(panel_of(p));
  for (const figure::LegendEntry& e : m.legend) out.legend.push_back({legend_kind(e.kind), e.text, e.left, e.right, e.y, e.text_x});
  return out;
}

void check_replicates(const Results& results) {
  for (const MeasureResult& m : results.measures) {
    if (m.replicates.empty() && results.options.replications > 0) {
      throw Error("the figure needs the measures' replicates: run with keep_replicates");
    }
  }
}

std::string words_of(const std::string& name) {
  const std::optional<MeasureFacts> facts = measure_facts(name);
  return facts ? facts->words : name;
}

}  // namespace

FigureLayout groups_figure_layout(std::span<const std::string> groups, std::span<const FigureComparison> comparisons,
                                  Design design, const FigureOptions& options) {
  check_size(options);
  figure::GroupsFigure f;
  f.sequential = design == Design::sequential;
  f.groups.assign(groups.begin(), groups.end());
  std::vector<std::string> words;
  words.reserve(comparisons.size());  // the figure's words point into them
  for (const FigureComparison& c : comparisons) {
    if (c.x >= groups.size() || c.y >= groups.size()) throw Error("a comparison names a group that is not among the groups");
    figure::GroupComparison g{c.x, c.y, c.values_x, c.values_y, std::nullopt};
    if (c.results != nullptr && !c.results->measures.empty()) {
      const Results& r = *c.results;
      check_replicates(r);
      f.paired = r.options.experiment == Experiment::paired;
      f.level_percent = analysis::decimal15(analysis::level_of_alpha(r.options.alpha) * 100);
      f.replications = static_cast<std::int32_t>(r.options.replications);
      const MeasureResult& m = r.measures.front();
      words.push_back(words_of(m.name));
      g.measure = figure::FigureMeasure{words.back(), m.name, m.estimate, m.t_lower, m.t_upper, m.bca_lower, m.bca_upper,
                                        m.replicates};
    }
    f.comparisons.push_back(g);
  }
  f.width = options.width, f.height = options.height;
  f.value_name = options.value_name, f.unit = options.unit;
  if (options.log_scale) throw Error("a figure of several groups has no log axis");
  return layout_of(figure::groups_model(f), options, 1);
}

FigureLayout figure_layout(std::span<const double> x, std::span<const double> y, const Results& results,
                           const FigureOptions& options) {
  check_size(options);
  const bool paired = results.options.experiment == Experiment::paired;
  const auto [kept_x, kept_y] = analysed(x, y, paired);
  const auto summary = [](std::string_view label, const std::vector<double>& values) {
    if (values.empty()) return figure::FigureSample{label, values, NAN, NAN, NAN};
    const numeric::SampleSummary s = numeric::summarize(values);
    return figure::FigureSample{label, values, s.ave, s.std, s.med};
  };
  figure::Figure f{"", figure::FigureFormat::svg, paired,
                   analysis::decimal15(analysis::level_of_alpha(results.options.alpha) * 100),
                   static_cast<std::int32_t>(results.options.replications), summary(options.label_x, kept_x),
                   summary(options.label_y, kept_y), {}};
  f.width = options.width, f.height = options.height;
  f.value_name = options.value_name, f.unit = options.unit, f.log_scale = options.log_scale;
  if (results.options.proportions) {  // each sample's ones of its values (a paired run's: the two margins)
    const auto counts = [](const std::vector<double>& v) {
      return figure::Figure::Counts{std::count(v.begin(), v.end(), 1.0), static_cast<std::int64_t>(v.size())};
    };
    f.proportions = std::array{counts(kept_x), counts(kept_y)};
  }
  // The cluster bootstrap: each analysed value's cluster, numbered in the order they come.
  std::array<std::vector<std::uint32_t>, 2> numbers;
  const std::vector<std::string>* keys[] = {&results.options.clusters.x, &results.options.clusters.y};
  const std::vector<double>* kept[] = {&kept_x, &kept_y};
  if (!keys[0]->empty() && keys[0]->size() == x.size() && keys[1]->size() == y.size()) {
    const std::span<const double> given[] = {x, y};
    for (std::size_t k = 0; k < 2; ++k) {
      std::map<std::string, std::uint32_t> number;
      for (std::size_t i = 0; i < given[k].size(); ++i) {
        if (std::isnan(given[k][i]) || (*keys[k])[i].empty()) continue;
        numbers[k].push_back(number.try_emplace((*keys[k])[i], static_cast<std::uint32_t>(number.size())).first->second);
      }
    }
    if (numbers[0].size() == kept[0]->size() && numbers[1].size() == kept[1]->size()) {
      f.x.clusters = numbers[0], f.y.clusters = numbers[1];
      f.cluster_name = options.cluster_name;
    }
  }
  std::vector<std::string> words;  // the figure's words point into them
  for (const MeasureResult& m : results.measures) words.push_back(words_of(m.name));
  check_replicates(results);
  for (std::size_t k = 0; k < results.measures.size(); ++k) {
    const MeasureResult& m = results.measures[k];
    f.measures.push_back({words[k], m.name, m.estimate, m.t_lower, m.t_upper, m.bca_lower, m.bca_upper, m.replicates});
  }
  if (const std::optional<std::string> problem = figure::figure_problem(f)) throw Error(*problem);
  return layout_of(figure::figure_model(f), options, results.measures.size());
}

}  // namespace diffboot
