// The engine of the web page: the library's analysis, table reading and
// figure layout behind three functions the page's worker calls. Requests and
// answers are json texts; a stop is an answer {"stop": message} with the
// program's message, never an exception across the boundary.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "diffboot/diffboot.h"
#include "diffboot/figure.h"
#include "diffboot/frames.h"
#include "diffboot/rules.h"
#include "diffboot/summary.h"
#include "diffboot/tables.h"
#include "diffboot/watch.h"

namespace {

using nlohmann::json;
using namespace diffboot;

json number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

// The options a request names, checked by the library's rules.
Options options_of(const json& o, Experiment experiment) {
  Options out;
  out.experiment = experiment;
  if (o.contains("level") && !o["level"].is_null()) {
    const Level level = o["level"].is_string() ? level_from_text(o["level"].get<std::string>())
                                               : level_from_number(o["level"].get<double>());
    out.alpha = level.alpha;
  }
  if (o.contains("replications") && !o["replications"].is_null()) {
    out.replications = whole_number(o["replications"].get<double>(), "replications", limits::min_replications,
                                    limits::max_replications);
  }
  if (o.contains("seed") && !o["seed"].is_null()) {
    out.seed = static_cast<std::int32_t>(whole_number(o["seed"].get<double>(), "seed", 1, limits::largest_seed));
  }
  if (o.contains("permutations") && !o["permutations"].is_null() && o["permutations"].get<double>() != 0) {
    out.permutations = static_cast<std::int32_t>(whole_number(o["permutations"].get<double>(), "permutations",
                                                              limits::min_permutations, limits::max_permutations));
  }
  if (o.contains("measures") && !o["measures"].is_null()) {
    out.measures = o["measures"].is_string() ? std::vector<std::string>{o["measures"].get<std::string>()}
                                             : o["measures"].get<std::vector<std::string>>();
  }
  if (o.contains("quantiles") && !o["quantiles"].is_null()) out.quantiles = o["quantiles"].get<std::vector<double>>();
  if (o.contains("acceleration") && !o["acceleration"].is_null()) {
    out.acceleration = acceleration_from_text(o["acceleration"].get<std::string>());
  }
  out.threads = 1;  // a worker has one thread
  out.keep_replicates = true;  // the figure draws them
  out.missing = Missing::skip;
  return out;
}

json facts(std::span<const double> v) {
  const SampleSummary s = sample_summary(v);
  return {{"mean", number(s.mean)}, {"sd", number(s.sd)}, {"median", number(s.median)},
          {"mad", number(s.mad)},   {"min", number(s.min)}, {"max", number(s.max)}};
}

// The values a run analysed: missing ones left out (paired: the pair).
std::array<std::vector<double>, 2> present(std::span<const double> x, std::span<const double> y, bool paired) {
  std::array<std::vector<double>, 2> out;
  for (std::size_t i = 0; i < x.size() || i < y.size(); ++i) {
    const bool has_x = i < x.size() && !std::isnan(x[i]), has_y = i < y.size() && !std::isnan(y[i]);
    if (paired && !(has_x && has_y)) continue;
    if (has_x) out[0].push_back(x[i]);
    if (has_y) out[1].push_back(y[i]);
  }
  return out;
}

// The document the program's -f json prints for a run.
json document(const Results& r, std::span<const double> x, std::span<const double> y, const std::string& name_x,
              const std::string& name_y) {
  const Options& o = r.options;
  const bool paired = o.experiment == Experiment::paired;
  json measures = json::array();
  for (const MeasureResult& m : r.measures) {
    json row = {{"measure", m.name},
                {"estimate", number(m.estimate)},
                {"se", number(m.se)},
                {"bias", number(m.bias)},
                {"t_lower", number(m.t_lower)},
                {"t_upper", number(m.t_upper)},
                {"bca_lower", number(m.bca_lower)},
                {"bca_upper", number(m.bca_upper)},
                {"percentile_lower", number(m.percentile_lower)},
                {"percentile_upper", number(m.percentile_upper)},
                {"basic_lower", number(m.basic_lower)},
                {"basic_upper", number(m.basic_upper)},
                {"z0", number(m.z0)},
                {"acceleration", number(m.acceleration)}};
    if (o.permutations > 0) row["p_permutation"] = number(m.p_permutation), row["p_t"] = number(m.p_t);
    measures.push_back(row);
  }
  const auto values = present(x, y, paired);
  json j = {{"program", "diffboot"},
            {"version", DIFFBOOT_VERSION},
            {"inputs",
             {{"sample1", name_x},
              {"sample2", name_y},
              {"n_x", r.n_x},
              {"n_y", r.n_y},
              {"missing_x", r.missing_x},
              {"missing_y", r.missing_y},
              {"experiment", paired ? "paired" : "unpaired"},
              {"alpha", o.alpha},
              {"level", 1 - 2 * o.alpha},
              {"B", o.replications},
              {"seed", o.seed.value_or(limits::fixed_seed)}}},
            {"samples", {{"x", facts(values[0])}, {"y", facts(values[1])}}},
            {"measures", measures}};
  if (o.permutations > 0) j["inputs"]["permutations"] = o.permutations;
  if (paired) j["inputs"]["pairs_dropped"] = r.pairs_dropped;
  return j;
}

json axis(const FigureAxis& a) {
  json ticks = json::array();
  for (const FigureTick& t : a.ticks) ticks.push_back({{"at", t.at}, {"label", t.label}});
  return {{"low", a.low}, {"high", a.high}, {"log", a.log_scale}, {"ticks", ticks}, {"title", a.title}};
}

json finite_list(const std::vector<double>& v) {
  json out = json::array();
  for (double d : v) out.push_back(number(d));
  return out;
}

json figure(const FigureLayout& f) {
  json panels = json::array();
  for (const FigurePanel& p : f.panels) {
    json marks = json::array(), texts = json::array(), categories = json::array();
    for (const FigureMark& m : p.marks) {
      marks.push_back({{"role", m.role}, {"what", m.what},
                       {"kind", m.kind == MarkKind::discs ? "discs" : m.kind == MarkKind::lines ? "lines" : "area"},
                       {"x", finite_list(m.x)}, {"y", finite_list(m.y)}, {"diameter", m.diameter},
                       {"breaks", m.breaks}, {"colour", m.colour}, {"width", m.width}, {"opacity", m.opacity},
                       {"second_axis", m.second_axis}});
    }
    for (const FigureText& t : p.texts) texts.push_back({{"text", t.text}, {"x", t.x}, {"y", t.y}, {"colour", t.colour}});
    for (const FigureTick& t : p.categories) categories.push_back({{"at", t.at}, {"label", t.label}});
    json panel = {{"samples", p.samples}, {"left", p.left}, {"right", p.right}, {"bottom", p.bottom}, {"top", p.top},
                  {"x", axis(p.x)}, {"y", axis(p.y)}, {"categories", categories}, {"marks", marks},
                  {"texts", texts}, {"zero_line", p.zero_line}, {"upright", p.upright}};
    if (p.y2) panel["y2"] = axis(*p.y2);
    panels.push_back(panel);
  }
  json legend = json::array();
  for (const FigureLegendEntry& e : f.legend) {
    legend.push_back({{"kind", e.kind}, {"text", e.text}, {"left", e.left}, {"right", e.right}, {"y", e.y},
                      {"text_x", e.text_x}});
  }
  return {{"width", f.width}, {"height", f.height}, {"font", f.font}, {"title", f.title}, {"panels", panels},
          {"legend", legend}, {"bca_thickness", f.bca_thickness}, {"line", f.line}, {"ch", f.ch}};
}

std::string stop(const std::string& message) { return json{{"stop", message}}.dump(); }

// A run: the samples of a table (request.table) or the values given, the
// analysis, and what the page shows of it.
std::string run_of(const json& request, std::vector<double> x, std::vector<double> y) {
  const json& o = request.value("options", json::object());
  const Experiment experiment = o.value("paired", false) ? Experiment::paired : Experiment::unpaired;
  std::string name_x = request.value("name_x", "x"), name_y = request.value("name_y", "y");
  std::string notes, value_name = "value";
  std::array<std::string, 2> labels = {name_x, name_y};
  Results results;
  const Options options = options_of(o, experiment);
  if (request.contains("table")) {
    const json& t = request["table"];
    TableSource source{t.value("path", ""), t.value("sample1", ""), t.value("sample2", ""), t.value("by", ""),
                       t.value("value", ""), t.value("id", ""), experiment, t.value("decimal_comma", false)};
    TableSamples s = table_samples(source);
    name_x = s.name_x, name_y = s.name_y, labels = s.samples.labels, notes = s.samples.notes;
    if (!s.value_name.empty()) value_name = s.value_name;
    results = analyse(s.samples, options);
    x = std::move(s.samples.x), y = std::move(s.samples.y);
  } else {
    results = analyse(x, y, options);
  }
  json out = {{"document", document(results, x, y, name_x, name_y)}, {"labels", labels}};
  json measure_notes = json::array(), replicates = json::object();
  for (const MeasureResult& m : results.measures) {
    for (const std::string& line : m.notes) measure_notes.push_back(m.name + ": " + line);
  }
  out["notes"] = notes;
  out["measure_notes"] = measure_notes;
  if (request.value("replicates", false)) {
    for (const MeasureResult& m : results.measures) replicates[m.name] = finite_list(m.replicates);
    out["replicates"] = replicates;
  }
  if (request.value("figure", false)) {
    FigureOptions f;
    f.label_x = labels[0], f.label_y = labels[1], f.value_name = value_name;
    try {
      out["figure"] = figure(figure_layout(x, y, results, f));
    } catch (const Error& e) {
      out["figure_stop"] = e.what();
    }
  }
  return out.dump();
}

std::string run(const std::string& request_text, const emscripten::val& x, const emscripten::val& y) {
  try {
    const json request = json::parse(request_text);
    return run_of(request, emscripten::convertJSArrayToNumberVector<double>(x),
                  emscripten::convertJSArrayToNumberVector<double>(y));
  } catch (const Error& e) {
    return stop(e.what());
  } catch (const json::exception& e) {
    return stop(std::string("bad request: ") + e.what());
  } catch (const std::exception& e) {
    return stop(e.what());
  }
}

// What the page shows of a table for the choice of columns and groups: its
// header, rows, each column's first distinct cells (missing ones left out)
// and whether it holds text.
std::string cells(const std::string& path, bool decimal_comma) {
  constexpr std::size_t most_shown = 500;
  try {
    const TableCells t = table_cells(path, decimal_comma);
    json distinct = json::array(), textual = json::array();
    for (const std::vector<std::string>& column : t.columns) {
      std::vector<std::string> seen;
      bool text = false;
      for (const std::string& cell : column) {
        std::string lower = cell;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (cell.empty() || lower == "na" || lower == "nan" || lower == "null") continue;
        char* end = nullptr;
        std::strtod(cell.c_str(), &end);
        text = text || end != cell.c_str() + cell.size();
        if (seen.size() < most_shown && std::find(seen.begin(), seen.end(), cell) == seen.end()) seen.push_back(cell);
      }
      distinct.push_back(seen);
      textual.push_back(text);
    }
    const std::size_t rows = t.columns.empty() ? 0 : t.columns[0].size();
    return json{{"header", t.header}, {"rows", rows}, {"distinct", distinct}, {"textual", textual}}.dump(
        -1, ' ', false, json::error_handler_t::replace);
  } catch (const std::exception& e) {
    return stop(e.what());
  }
}

// The work of a run, for the page's estimate of its progress.
double work(double n_x, double n_y, const std::string& options_text) {
  try {
    const json o = json::parse(options_text);
    Options options = options_of(o, o.value("paired", false) ? Experiment::paired : Experiment::unpaired);
    return work_of(static_cast<std::size_t>(n_x), static_cast<std::size_t>(n_y), options);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

EMSCRIPTEN_BINDINGS(diffboot_engine) {
  emscripten::function("run", &run);
  emscripten::function("cells", &cells);
  emscripten::function("work", &work);
}
