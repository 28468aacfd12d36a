// The R package's door to the library: R's vectors and a frame's columns
// handed over as they are, the options read by the library's rules, the run
// on a worker thread while R's thread looks for an interrupt, and the
// results as R lists. No R API is called off R's thread; the R side only
// turns what users give into vectors and what comes back into a "diffboot"
// object.
#include <Rcpp.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diffboot/diffboot.h"
#include "diffboot/figure.h"
#include "diffboot/frames.h"
#include "diffboot/groups.h"
#include "diffboot/rules.h"
#include "diffboot/watch.h"

namespace {

// Thrown by the watcher when the user has interrupted R.
struct Interrupted {};

void check_interrupt(void*) { R_CheckUserInterrupt(); }

// Whether the user has asked R to stop (Ctrl-C); R_ToplevelExec keeps the
// interrupt's long jump from leaving this frame.
bool interrupt_pending() { return R_ToplevelExec(check_interrupt, nullptr) == FALSE; }

// A long run on a worker thread, cancelled when R is interrupted; the
// interrupt is raised again once the worker has ended. Short runs stay on
// this thread.
diffboot::Results watched_run(double work, const std::function<diffboot::Results(diffboot::Control&)>& run) {
  if (work < diffboot::watched_work) {
    diffboot::Control control;
    return run(control);
  }
  try {
    return diffboot::watched(run, [](double) {
      if (interrupt_pending()) throw Interrupted{};
    });
  } catch (const Interrupted&) {
    throw Rcpp::internal::InterruptedException();
  }
}

std::span<const double> span_of(const Rcpp::NumericVector& v) {
  return {REAL(v), static_cast<std::size_t>(v.size())};
}

// A frame's column as R holds it, a double vector (NaN and NA missing) or a
// character vector (NA missing), and the storage the library's view points into.
struct ColumnHolder {
  std::vector<std::string> texts;
  std::vector<std::uint8_t> missing;
  diffboot::Column column;
};

ColumnHolder column_of(const std::string& name, SEXP cells) {
  ColumnHolder h;
  h.column.name = name;
  if (TYPEOF(cells) == REALSXP) {
    h.column.numbers = {REAL(cells), static_cast<std::size_t>(XLENGTH(cells))};
  } else if (TYPEOF(cells) == STRSXP) {
    const R_xlen_t n = XLENGTH(cells);
    h.texts.reserve(static_cast<std::size_t>(n));
    h.missing.reserve(static_cast<std::size_t>(n));
    for (R_xlen_t i = 0; i < n; ++i) {
      const SEXP cell = STRING_ELT(cells, i);
      h.missing.push_back(cell == NA_STRING ? 1 : 0);
      h.texts.emplace_back(cell == NA_STRING ? "" : Rf_translateCharUTF8(cell));
    }
    h.column.texts = h.texts, h.column.missing = h.missing, h.column.is_text = true;
  } else if (cells != R_NilValue) {
    Rcpp::stop("the column \"%s\" is neither numbers nor texts", name);
  }
  return h;
}

Rcpp::List samples_list(const diffboot::FrameSamples& s) {
  return Rcpp::List::create(
      Rcpp::Named("x") = s.x, Rcpp::Named("y") = s.y,
      Rcpp::Named("counts") = Rcpp::NumericVector::create(static_cast<double>(s.missing_x),
                                                          static_cast<double>(s.missing_y),
                                                          static_cast<double>(s.pairs_dropped)),
      Rcpp::Named("notes") = s.notes);
}

Rcpp::List error_list(const diffboot::Error& e) { return Rcpp::List::create(Rcpp::Named("error") = std::string(e.what())); }

diffboot::Experiment experiment_of(bool paired) {
  return paired ? diffboot::Experiment::paired : diffboot::Experiment::unpaired;
}

// The options as the user gave them (R has made sure of their types), read
// by the library's rules; the interval level comes back in `level`.
diffboot::Options options_of(const Rcpp::List& s, double& level) {
  diffboot::Options o;
  o.experiment = experiment_of(Rcpp::as<bool>(s["paired"]));
  const SEXP conf = s["level"];
  const diffboot::Level l = TYPEOF(conf) == STRSXP ? diffboot::level_from_text(Rf_translateCharUTF8(STRING_ELT(conf, 0)))
                                                   : diffboot::level_from_number(Rf_asReal(conf));
  o.alpha = l.alpha, level = l.level;
  namespace limits = diffboot::limits;
  o.replications = diffboot::whole_number(Rcpp::as<double>(s["R"]), "R", limits::min_replications, limits::max_replications);
  if (!Rf_isNull(s["seed"])) {
    o.seed = static_cast<std::int32_t>(diffboot::whole_number(Rcpp::as<double>(s["seed"]), "seed", 1, limits::largest_seed));
  }
  const double permutations = Rcpp::as<double>(s["permutations"]);
  if (permutations != 0) {
    o.permutations = static_cast<std::int32_t>(
        diffboot::whole_number(permutations, "permutations", limits::min_permutations, limits::max_permutations));
  }
  if (!Rf_isNull(s["threads"])) {
    o.threads = static_cast<unsigned>(diffboot::whole_number(Rcpp::as<double>(s["threads"]), "threads", 1, INT32_MAX));
  }
  o.measures = Rcpp::as<std::vector<std::string>>(s["measures"]);
  o.quantiles = Rcpp::as<std::vector<double>>(s["quantiles"]);
  o.keep_replicates = Rcpp::as<bool>(s["replicates"]);
  o.acceleration = diffboot::acceleration_from_text(Rcpp::as<std::string>(s["acceleration"]));
  o.missing = diffboot::Missing::skip;
  o.proportions = Rcpp::as<bool>(s["proportions"]);
  if (s.containsElementNamed("clusters") && !Rf_isNull(s["clusters"])) {  // a frame's keys, from .frame_clusters
    const Rcpp::List keys = s["clusters"];
    o.clusters = {Rcpp::as<std::vector<std::string>>(keys["x"]), Rcpp::as<std::vector<std::string>>(keys["y"])};
  }
  return o;
}

// Every measure's notes on its numbers, as the program says them on standard error.
std::vector<std::string> notes_of(const diffboot::Results& r) {
  std::vector<std::string> out;
  for (const diffboot::MeasureResult& m : r.measures) out.insert(out.end(), m.notes.begin(), m.notes.end());
  return out;
}

// The measures as columns; `holm`: with each measure's p_holm (several groups).
Rcpp::List measures_list(const diffboot::Results& r, bool holm) {
  const std::size_t n = r.measures.size();
  Rcpp::CharacterVector name(n);
  std::vector<std::vector<double>> columns(15, std::vector<double>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const diffboot::MeasureResult& m = r.measures[i];
    name[i] = m.name;
    const double values[15] = {m.estimate,         m.se,          m.bias,        m.t_lower,   m.t_upper,
                               m.bca_lower,        m.bca_upper,   m.percentile_lower, m.percentile_upper,
                               m.basic_lower,      m.basic_upper, m.z0,          m.acceleration,
                               m.p_permutation,    m.p_t};
    for (std::size_t k = 0; k < 15; ++k) columns[k][i] = values[k];
  }
  Rcpp::List out = Rcpp::List::create(Rcpp::Named("measure") = name);
  const char* const fields[15] = {"estimate",         "se",          "bias",      "t_lower",          "t_upper",
                                  "bca_lower",        "bca_upper",   "percentile_lower", "percentile_upper",
                                  "basic_lower",      "basic_upper", "z0",        "acceleration",
                                  "p_permutation",    "p_t"};
  for (std::size_t k = 0; k < 15; ++k) out[fields[k]] = Rcpp::wrap(columns[k]);
  if (holm) {
    std::vector<double> p_holm(n);
    for (std::size_t i = 0; i < n; ++i) p_holm[i] = r.measures[i].p_holm;
    out["p_holm"] = p_holm;
  }
  return out;
}

// Whether each measure is printed in percent for people (lift), by the library's rule.
Rcpp::LogicalVector percent_of(const diffboot::Results& r) {
  Rcpp::LogicalVector out(r.measures.size());
  for (std::size_t i = 0; i < r.measures.size(); ++i) {
    const std::optional<diffboot::MeasureFacts> facts = diffboot::measure_facts(r.measures[i].name);
    out[static_cast<R_xlen_t>(i)] = facts && facts->percent;
  }
  return out;
}

// The kept replicates as a B x measures matrix, a column per measure in replication order.
SEXP replicates_matrix(const diffboot::Results& r) {
  if (r.measures.empty() || r.measures.front().replicates.empty()) return R_NilValue;
  const std::size_t b = r.measures.front().replicates.size();
  Rcpp::NumericMatrix out(static_cast<int>(b), static_cast<int>(r.measures.size()));
  Rcpp::CharacterVector names(r.measures.size());
  for (std::size_t j = 0; j < r.measures.size(); ++j) {
    std::copy(r.measures[j].replicates.begin(), r.measures[j].replicates.end(), out.column(static_cast<int>(j)).begin());
    names[j] = r.measures[j].name;
  }
  Rcpp::colnames(out) = names;
  return out;
}

// A run's results as the R side makes its object of them.
Rcpp::List results_list(const diffboot::Results& r, double level, bool holm) {
  return Rcpp::List::create(
      Rcpp::Named("n_x") = static_cast<double>(r.n_x), Rcpp::Named("n_y") = static_cast<double>(r.n_y),
      Rcpp::Named("missing_x") = static_cast<double>(r.missing_x),
      Rcpp::Named("missing_y") = static_cast<double>(r.missing_y),
      Rcpp::Named("pairs_dropped") = static_cast<double>(r.pairs_dropped),
      Rcpp::Named("alpha") = r.options.alpha, Rcpp::Named("level") = level,
      Rcpp::Named("R") = static_cast<double>(r.options.replications),
      Rcpp::Named("seed") = static_cast<double>(r.options.seed.value_or(diffboot::limits::fixed_seed)),
      Rcpp::Named("permutations") = static_cast<double>(r.options.permutations),
      Rcpp::Named("measures") = measures_list(r, holm), Rcpp::Named("replicates") = replicates_matrix(r),
      Rcpp::Named("notes") = notes_of(r),
      Rcpp::Named("percent") = percent_of(r),
      Rcpp::Named("test") = diffboot::test_name(r.options.experiment, r.options.proportions),
      Rcpp::Named("clusters") = Rcpp::NumericVector::create(
          static_cast<double>(r.clusters_x), static_cast<double>(r.clusters_y),
          static_cast<double>(r.no_cluster_x), static_cast<double>(r.no_cluster_y)));
}

}  // namespace

// The analysis of x and y with the options of `settings`: x and y as given
// (NaN missing, counted by the library), or the samples a frame gave, whose
// counts of what it left out (`counts`: missing x, missing y, pairs dropped)
// are the result's. A list with the library's message in `error` when it
// refuses them.
// [[Rcpp::export(name = ".analyse", rng = false)]]
Rcpp::List analyse(Rcpp::NumericVector x, Rcpp::NumericVector y, Rcpp::Nullable<Rcpp::NumericVector> counts,
                   Rcpp::List settings) {
  diffboot::Results r;
  double level = 0;
  try {
    const diffboot::Options o = options_of(settings, level);
    const double work = diffboot::work_of(static_cast<std::size_t>(x.size()), static_cast<std::size_t>(y.size()), o);
    if (counts.isNull()) {
      r = watched_run(work, [&](diffboot::Control& c) { return diffboot::analyse(span_of(x), span_of(y), o, c); });
    } else {
      const Rcpp::NumericVector k(counts.get());
      diffboot::FrameSamples s;
      s.x.assign(x.begin(), x.end()), s.y.assign(y.begin(), y.end());
      s.missing_x = static_cast<std::int64_t>(k[0]), s.missing_y = static_cast<std::int64_t>(k[1]);
      s.pairs_dropped = static_cast<std::int64_t>(k[2]);
      r = watched_run(work, [&](diffboot::Control& c) { return diffboot::analyse(s, o, c); });
    }
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
  return results_list(r, level, false);
}

// Proportions by their counts: `x` and `y` each (successes, trials), or
// with `y` NULL `x` the paired table (both, x_only, y_only, neither). A
// replicate costs O(1): no watch.
// [[Rcpp::export(name = ".analyse_counts", rng = false)]]
Rcpp::List analyse_counts(Rcpp::NumericVector x, Rcpp::Nullable<Rcpp::NumericVector> y, Rcpp::List settings) {
  diffboot::Results r;
  double level = 0;
  try {
    const diffboot::Options o = options_of(settings, level);
    if (y.isNull()) {
      r = diffboot::analyse_counts(diffboot::PairedTable{x[0], x[1], x[2], x[3]}, o);
    } else {
      const Rcpp::NumericVector b(y.get());
      r = diffboot::analyse_counts(diffboot::Counts{x[0], x[1]}, diffboot::Counts{b[0], b[1]}, o);
    }
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
  return results_list(r, level, false);
}

// Two columns of a frame (paired: the rows are the pairs), each a double or
// a character vector, as the library reads a table's columns.
// With `proportions` the values are 0/1 outcomes (texts TRUE/FALSE, yes/no too).
// [[Rcpp::export(name = ".frame_columns", rng = false)]]
Rcpp::List frame_columns(std::string a_name, SEXP a, std::string b_name, SEXP b, bool paired, bool proportions) {
  try {
    const ColumnHolder x = column_of(a_name, a), y = column_of(b_name, b);
    return samples_list(diffboot::frame_columns(x.column, y.column, experiment_of(paired), proportions));
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
}

// The rows of two groups of a long frame, paired by id when `id` is not
// NULL, as the library reads a long table.
// [[Rcpp::export(name = ".frame_groups", rng = false)]]
Rcpp::List frame_groups(std::string by_name, SEXP by, std::string value_name, SEXP value, std::string id_name, SEXP id,
                        std::vector<std::string> groups, bool paired, bool proportions) {
  try {
    const ColumnHolder g = column_of(by_name, by), v = column_of(value_name, value), i = column_of(id_name, id);
    return samples_list(diffboot::frame_groups(g.column, v.column, i.column, {groups.at(0), groups.at(1)},
                                               experiment_of(paired), proportions));
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
}

// The cluster keys of .frame_groups' values (unpaired), as the library reads
// them from the column `cluster`: list(x =, y =) of texts, "" missing.
// [[Rcpp::export(name = ".frame_clusters", rng = false)]]
Rcpp::List frame_clusters(std::string by_name, SEXP by, std::string value_name, SEXP value, std::string cluster_name,
                          SEXP cluster, std::vector<std::string> groups, bool paired) {
  try {
    const ColumnHolder g = column_of(by_name, by), v = column_of(value_name, value), c = column_of(cluster_name, cluster);
    diffboot::Clusters keys =
        diffboot::frame_clusters(g.column, v.column, c.column, {groups.at(0), groups.at(1)}, experiment_of(paired));
    return Rcpp::List::create(Rcpp::Named("x") = keys.x, Rcpp::Named("y") = keys.y);
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
}

// Several groups of a long frame (`groups` as the library matches them),
// each against the first (design "control") or each against the one before
// it ("sequential"), paired by `id` when it is not NULL: a list a
// comparison, its name, its groups' places (from 1), why it stopped ("" when
// it did not) and its results.
// [[Rcpp::export(name = ".analyse_groups", rng = false)]]
Rcpp::List analyse_groups(std::string by_name, SEXP by, std::string value_name, SEXP value, std::string id_name, SEXP id,
                          std::vector<std::string> groups, std::string design, Rcpp::List settings) {
  std::vector<diffboot::Comparison> comparisons;
  double level = 0;
  try {
    const diffboot::Options o = options_of(settings, level);
    const ColumnHolder g = column_of(by_name, by), v = column_of(value_name, value), i = column_of(id_name, id);
    const diffboot::Design d = design == "sequential" ? diffboot::Design::sequential : diffboot::Design::control;
    comparisons = diffboot::analyse_groups(g.column, v.column, i.column, groups, d, o);
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
  Rcpp::List out(comparisons.size());
  for (std::size_t k = 0; k < comparisons.size(); ++k) {
    const diffboot::Comparison& c = comparisons[k];
    out[static_cast<R_xlen_t>(k)] = Rcpp::List::create(
        Rcpp::Named("name") = c.name, Rcpp::Named("x") = static_cast<double>(c.x + 1),
        Rcpp::Named("y") = static_cast<double>(c.y + 1), Rcpp::Named("stopped") = c.stopped,
        Rcpp::Named("results") = results_list(c.results, level, true));
  }
  return Rcpp::List::create(Rcpp::Named("comparisons") = out);
}

namespace {

Rcpp::List ticks_list(const std::vector<diffboot::FigureTick>& ticks) {
  std::vector<double> at;
  std::vector<std::string> label;
  for (const diffboot::FigureTick& t : ticks) at.push_back(t.at), label.push_back(t.label);
  return Rcpp::List::create(Rcpp::Named("at") = at, Rcpp::Named("label") = label);
}

SEXP axis_list(const std::optional<diffboot::FigureAxis>& a) {
  if (!a) return R_NilValue;
  return Rcpp::List::create(Rcpp::Named("low") = a->low, Rcpp::Named("high") = a->high,
                            Rcpp::Named("log") = a->log_scale, Rcpp::Named("ticks") = ticks_list(a->ticks),
                            Rcpp::Named("title") = a->title);
}

Rcpp::List mark_list(const diffboot::FigureMark& m) {
  const char* kind = m.kind == diffboot::MarkKind::discs ? "discs" : m.kind == diffboot::MarkKind::lines ? "lines" : "area";
  std::vector<double> breaks(m.breaks.begin(), m.breaks.end());
  return Rcpp::List::create(Rcpp::Named("role") = m.role, Rcpp::Named("kind") = kind, Rcpp::Named("x") = m.x,
                            Rcpp::Named("y") = m.y, Rcpp::Named("diameter") = m.diameter, Rcpp::Named("breaks") = breaks,
                            Rcpp::Named("colour") = m.colour, Rcpp::Named("width") = m.width,
                            Rcpp::Named("opacity") = m.opacity, Rcpp::Named("second_axis") = m.second_axis);
}

Rcpp::List panel_list(const diffboot::FigurePanel& p) {
  Rcpp::List marks(p.marks.size());
  for (std::size_t k = 0; k < p.marks.size(); ++k) marks[static_cast<R_xlen_t>(k)] = mark_list(p.marks[k]);
  std::vector<std::string> text, colour;
  std::vector<double> x, y;
  for (const diffboot::FigureText& t : p.texts) text.push_back(t.text), colour.push_back(t.colour), x.push_back(t.x), y.push_back(t.y);
  return Rcpp::List::create(
      Rcpp::Named("samples") = p.samples,
      Rcpp::Named("box") = std::vector<double>{p.left, p.right, p.bottom, p.top}, Rcpp::Named("x") = axis_list(p.x),
      Rcpp::Named("y") = axis_list(p.y), Rcpp::Named("y2") = axis_list(p.y2),
      Rcpp::Named("categories") = ticks_list(p.categories), Rcpp::Named("marks") = marks,
      Rcpp::Named("texts") = Rcpp::List::create(Rcpp::Named("text") = text, Rcpp::Named("x") = x, Rcpp::Named("y") = y,
                                                Rcpp::Named("colour") = colour),
      Rcpp::Named("zero_line") = p.zero_line, Rcpp::Named("upright") = p.upright);
}

// The layout as R lists.
Rcpp::List layout_list(const diffboot::FigureLayout& l) {
  Rcpp::List panels(l.panels.size());
  for (std::size_t k = 0; k < l.panels.size(); ++k) panels[static_cast<R_xlen_t>(k)] = panel_list(l.panels[k]);
  std::vector<std::string> kind, text;
  std::vector<double> left, right, at, text_x;
  for (const diffboot::FigureLegendEntry& e : l.legend) {
    kind.push_back(e.kind), text.push_back(e.text), left.push_back(e.left), right.push_back(e.right);
    at.push_back(e.y), text_x.push_back(e.text_x);
  }
  return Rcpp::List::create(
      Rcpp::Named("width") = l.width, Rcpp::Named("height") = l.height, Rcpp::Named("font") = l.font,
      Rcpp::Named("title") = l.title, Rcpp::Named("panels") = panels,
      Rcpp::Named("legend") = Rcpp::DataFrame::create(Rcpp::Named("kind") = kind, Rcpp::Named("text") = text,
                                                       Rcpp::Named("left") = left, Rcpp::Named("right") = right,
                                                       Rcpp::Named("y") = at, Rcpp::Named("text_x") = text_x,
                                                       Rcpp::Named("stringsAsFactors") = false),
      Rcpp::Named("bca_thickness") = l.bca_thickness, Rcpp::Named("line") = l.line, Rcpp::Named("ch") = l.ch);
}

}  // namespace

// The figure of the run of x and y with the options of `settings`, as the
// library lays it out (the run again, keeping its replicates: the same
// numbers); `figure` holds the size, labels, value name, unit and scale.
// [[Rcpp::export(name = ".figure_layout", rng = false)]]
Rcpp::List figure_layout(Rcpp::NumericVector x, Rcpp::NumericVector y, Rcpp::List settings, Rcpp::List figure) {
  try {
    double level = 0;
    diffboot::Options o = options_of(settings, level);
    o.keep_replicates = true;
    const double work = diffboot::work_of(static_cast<std::size_t>(x.size()), static_cast<std::size_t>(y.size()), o);
    const diffboot::Results r =
        watched_run(work, [&](diffboot::Control& c) { return diffboot::analyse(span_of(x), span_of(y), o, c); });
    diffboot::FigureOptions f;
    const std::vector<double> size = Rcpp::as<std::vector<double>>(figure["size"]);
    f.width = size.at(0), f.height = size.at(1);
    const std::vector<std::string> labels = Rcpp::as<std::vector<std::string>>(figure["labels"]);
    f.label_x = labels.at(0), f.label_y = labels.at(1);
    f.value_name = Rcpp::as<std::string>(figure["value_name"]);
    f.unit = Rcpp::as<std::string>(figure["unit"]);
    f.log_scale = Rcpp::as<bool>(figure["log"]);
    return layout_list(diffboot::figure_layout(span_of(x), span_of(y), r, f));
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
}

namespace {

// A figure's options from R's list: size, value name, unit (and labels and log scale where given).
diffboot::FigureOptions figure_options(const Rcpp::List& figure) {
  diffboot::FigureOptions f;
  const std::vector<double> size = Rcpp::as<std::vector<double>>(figure["size"]);
  f.width = size.at(0), f.height = size.at(1);
  f.value_name = Rcpp::as<std::string>(figure["value_name"]);
  f.unit = Rcpp::as<std::string>(figure["unit"]);
  return f;
}

}  // namespace

// The figure of several groups: `comparisons` a list of list(x, y, values_x,
// values_y, stopped), x and y the groups' places (from 1); each comparison
// that did not stop run again with `settings`, keeping its replicates.
// [[Rcpp::export(name = ".groups_figure_layout", rng = false)]]
Rcpp::List groups_figure_layout(std::vector<std::string> groups, Rcpp::List comparisons, bool sequential,
                                Rcpp::List settings, Rcpp::List figure) {
  try {
    double level = 0;
    diffboot::Options o = options_of(settings, level);
    o.keep_replicates = true;
    std::vector<Rcpp::NumericVector> values;  // kept alive for the spans
    std::vector<diffboot::Results> results;
    values.reserve(2 * static_cast<std::size_t>(comparisons.size()));
    results.reserve(static_cast<std::size_t>(comparisons.size()));
    std::vector<diffboot::FigureComparison> c;
    for (R_xlen_t k = 0; k < comparisons.size(); ++k) {
      const Rcpp::List item = comparisons[k];
      values.push_back(item["values_x"]), values.push_back(item["values_y"]);
      const Rcpp::NumericVector& x = values[values.size() - 2];
      const Rcpp::NumericVector& y = values.back();
      const diffboot::Results* r = nullptr;
      if (!Rcpp::as<bool>(item["stopped"])) {
        const double work = diffboot::work_of(static_cast<std::size_t>(x.size()), static_cast<std::size_t>(y.size()), o);
        r = &results.emplace_back(
            watched_run(work, [&](diffboot::Control& control) { return diffboot::analyse(span_of(x), span_of(y), o, control); }));
      }
      c.push_back({static_cast<std::size_t>(Rcpp::as<double>(item["x"])) - 1,
                   static_cast<std::size_t>(Rcpp::as<double>(item["y"])) - 1, span_of(x), span_of(y), r});
    }
    return layout_list(diffboot::groups_figure_layout(
        groups, c, sequential ? diffboot::Design::sequential : diffboot::Design::control, figure_options(figure)));
  } catch (const diffboot::Error& e) {
    return error_list(e);
  }
}

