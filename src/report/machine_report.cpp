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

}  // namespace

std::string shortest(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return {text, end};
}

std::string results_csv(const MachineReport& r) {
  std::string out = "measure";
  for (const Column& c : result_columns) out += std::string(",") + c.name;
  out += ",alpha,level,B,n_x,n_y,experiment,seed,missing_x,missing_y";
  if (r.permutations > 0) out += ",p_permutation,p_t,permutations";
  out += r.method.empty() ? "\n" : ",method\n";
  for (const MeasureRow& m : r.measures) {
    out += m.name;
    for (const Column& c : result_columns) out += "," + shortest(m.result->*c.field);
    out += "," + shortest(r.alpha) + "," + shortest(r.level) + "," + std::to_string(r.replications) + "," +
           std::to_string(r.n_x) + "," + std::to_string(r.n_y) + "," + std::string(r.experiment) + "," +
           std::to_string(r.seed) + "," + std::to_string(r.missing_x) + "," + std::to_string(r.missing_y);
    if (r.permutations > 0) {
      out += "," + shortest(m.p_permutation) + "," + shortest(m.p_t) + "," + std::to_string(r.permutations);
    }
    if (!r.method.empty()) out += "," + std::string(r.method);
    out += "\n";
  }
  return out;
}

std::string results_json(const MachineReport& r) {
  nlohmann::json measures = nlohmann::json::array();
  for (const MeasureRow& m : r.measures) {
    nlohmann::json row = {{"measure", m.name}};
    for (const Column& c : result_columns) row[c.name] = number(m.result->*c.field);
    if (r.permutations > 0) row["p_permutation"] = number(m.p_permutation), row["p_t"] = number(m.p_t);
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
  if (!r.method.empty()) j["inputs"]["method"] = r.method;
  return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace diffboot::report
