#include "report/machine_report.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

namespace diffboot::report {
namespace {

using bootstrap::Result;

// The csv columns of a measure after its name, in order, with their values.
struct Column {
  const char* name;
  double Result::*field;
};

constexpr Column result_columns[] = {
    {"estimate", &Result::estimate},
    {"se", &Result::se},
    {"bias", &Result::bias},
    {"t_lower", &Result::t_lower},
    {"t_upper", &Result::t_upper},
    {"bca_lower", &Result::bca_lower},
    {"bca_upper", &Result::bca_upper},
    {"percentile_lower", &Result::percentile_lower},
    {"percentile_upper", &Result::percentile_upper},
    {"basic_lower", &Result::basic_lower},
    {"basic_upper", &Result::basic_upper},
    {"z0", &Result::z0},
    {"acceleration", &Result::acceleration},
};

nlohmann::json number(double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr); }

nlohmann::json facts(const SampleFacts& f) {
  return {{"mean", number(f.ave)}, {"sd", number(f.std)},   {"median", number(f.med)},
          {"mad", number(f.mad)},  {"min", number(f.min)}, {"max", number(f.max)}};
}

// A csv cell: quoted, its quotes doubled, when it holds a delimiter, quote or line end.
std::string csv_cell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

std::string shortest(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return {text, end};
}

std::string results_csv(const MachineReport& r) {
  std::string out = r.comparison.empty() ? "measure" : "comparison,measure";
  for (const Column& c : result_columns) out += std::string(",") + c.name;
  const bool paired = r.experiment == "paired";
  out += ",alpha,level,B,n_x,n_y,experiment,seed,missing_x,missing_y";
  if (paired) out += ",pairs_dropped";
  if (r.permutations > 0) out += ",p_permutation," + std::string(r.test) + ",permutations";
  if (r.permutations > 0 && r.holm) out += ",p_holm";
  if (!r.method.empty()) out += ",method";
  if (!r.cluster.empty()) out += ",cluster,clusters_x,clusters_y,no_cluster_x,no_cluster_y";
  out += ",sample1,sample2\n";
  // Each cell appended after its comma: GCC 12 at -O3 warns (-Wrestrict) on
  // "," + std::string&&.
  const auto cell = [&out](const std::string& value) { out.append(",").append(value); };
  for (const MeasureRow& m : r.measures) {
    if (!r.comparison.empty()) out.append(csv_cell(r.comparison)).append(",");
    out += m.name;
    for (const Column& c : result_columns) cell(shortest(m.result->*c.field));
    for (const std::string& value : {shortest(r.alpha), shortest(r.level), std::to_string(r.replications),
                                     std::to_string(r.n_x), std::to_string(r.n_y), std::string(r.experiment),
                                     std::to_string(r.seed), std::to_string(r.missing_x), std::to_string(r.missing_y)}) {
      cell(value);
    }
    if (paired) cell(std::to_string(r.pairs_dropped));
    if (r.permutations > 0) {
      for (const std::string& value : {shortest(m.p_permutation), shortest(m.p_t), std::to_string(r.permutations)}) {
        cell(value);
      }
      if (r.holm) cell(shortest(m.p_holm));
    }
    if (!r.method.empty()) cell(std::string(r.method));
    if (!r.cluster.empty()) {
      cell(csv_cell(r.cluster));
      for (std::int64_t v : {r.clusters_x, r.clusters_y, r.no_cluster_x, r.no_cluster_y}) cell(std::to_string(v));
    }
    cell(csv_cell(r.sample1));
    cell(csv_cell(r.sample2));
    out += "\n";
  }
  return out;
}

namespace {

nlohmann::json json_of(const MachineReport& r) {
  nlohmann::json measures = nlohmann::json::array();
  for (const MeasureRow& m : r.measures) {
    nlohmann::json row = {{"measure", m.name}};
    for (const Column& c : result_columns) row[c.name] = number(m.result->*c.field);
    if (r.permutations > 0) row["p_permutation"] = number(m.p_permutation), row[std::string(r.test)] = number(m.p_t);
    if (r.permutations > 0 && r.holm) row["p_holm"] = number(m.p_holm);
    measures.push_back(row);
  }
  nlohmann::json j = {
      {"program", "diffboot"},
      {"version", r.version},
      {"inputs",
       {{"sample1", r.sample1},
        {"sample2", r.sample2},
        {"n_x", r.n_x},
        {"n_y", r.n_y},
        {"missing_x", r.missing_x},
        {"missing_y", r.missing_y},
        {"experiment", r.experiment},
        {"alpha", r.alpha},
        {"level", r.level},
        {"B", r.replications},
        {"seed", r.seed}}},
      {"samples", {{"x", facts(r.x)}, {"y", facts(r.y)}}},
      {"measures", measures},
  };
  if (r.permutations > 0) j["inputs"]["permutations"] = r.permutations;
  if (r.proportions) {
    j["inputs"]["proportions"] = true;
    if (r.counts) j["inputs"]["counts"] = true;
    const auto n = [](std::int64_t v) { return static_cast<double>(v); };
    j["samples"]["x"]["successes"] = r.successes_x, j["samples"]["x"]["proportion"] = n(r.successes_x) / n(r.n_x);
    j["samples"]["y"]["successes"] = r.successes_y, j["samples"]["y"]["proportion"] = n(r.successes_y) / n(r.n_y);
  }
  if (r.experiment == "paired") j["inputs"]["pairs_dropped"] = r.pairs_dropped;
  if (!r.method.empty()) j["inputs"]["method"] = r.method;
  if (!r.comparison.empty()) j["comparison"] = r.comparison;
  if (!r.cluster.empty()) {
    j["inputs"]["cluster"] = r.cluster;
    j["inputs"]["clusters_x"] = r.clusters_x, j["inputs"]["clusters_y"] = r.clusters_y;
    j["inputs"]["no_cluster_x"] = r.no_cluster_x, j["inputs"]["no_cluster_y"] = r.no_cluster_y;
  }
  return j;
}

std::string dumped(const nlohmann::json& j) { return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"; }

}  // namespace

std::string results_json(const MachineReport& r) { return dumped(json_of(r)); }

std::string comparisons_csv(std::span<const ComparisonReport> comparisons) {
  std::string out;
  for (const ComparisonReport& c : comparisons) {
    if (c.report == nullptr) continue;
    const std::string csv = results_csv(*c.report);
    out += out.empty() ? csv : csv.substr(csv.find('\n') + 1);
  }
  return out;
}

std::string comparisons_json(std::string_view version, std::string_view design, std::span<const std::string> groups,
                             std::span<const ComparisonReport> comparisons) {
  nlohmann::json all = nlohmann::json::array();
  for (const ComparisonReport& c : comparisons) {
    all.push_back(c.report != nullptr ? json_of(*c.report)
                                      : nlohmann::json{{"comparison", c.comparison}, {"stopped", c.stopped}});
  }
  return dumped({{"program", "diffboot"},
                 {"version", version},
                 {"design", design},
                 {"groups", groups},
                 {"comparisons", all}});
}

}  // namespace diffboot::report
