// The R package's door to the library: spans over R's double vectors (no
// copy), the run on a worker thread while R's thread looks for an interrupt
// every tenth of a second, and the results as R lists. No R API is called
// off R's thread; the R side turns what users give into double vectors and
// what comes back into a "diffboot" object.
#include <Rcpp.h>

#include <chrono>
#include <future>
#include <span>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/settings.h"
#include "diffboot/diffboot.h"

namespace {

void check_interrupt(void*) { R_CheckUserInterrupt(); }

// Whether the user has asked R to stop (Ctrl-C); R_ToplevelExec keeps the
// interrupt's long jump from leaving this frame.
bool interrupt_pending() { return R_ToplevelExec(check_interrupt, nullptr) == FALSE; }

// The run on a worker thread, cancelled through its Control when R is
// interrupted; the interrupt is raised again once the worker has ended.
diffboot::Results watched_run(std::span<const double> x, std::span<const double> y, const diffboot::Options& o) {
  diffboot::Control control;
  std::future<diffboot::Results> run =
      std::async(std::launch::async, [&] { return diffboot::analyse(x, y, o, control); });
  while (run.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    if (interrupt_pending()) {
      control.cancel();
      run.wait();
      try {
        run.get();
      } catch (...) {
      }
      throw Rcpp::internal::InterruptedException();
    }
  }
  return run.get();
}

Rcpp::List measures_list(const diffboot::Results& r) {
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

}  // namespace

// The analysis of x and y (doubles, NaN missing) with the library's options;
// a list with the error's message in `error` when the library refuses them.
// [[Rcpp::export(name = ".analyse", rng = false)]]
Rcpp::List analyse(Rcpp::NumericVector x, Rcpp::NumericVector y, bool paired, double alpha, int replications,
                   int seed, Rcpp::CharacterVector measures, int permutations, bool replicates, int threads,
                   Rcpp::NumericVector quantiles) {
  diffboot::Options o;
  o.quantiles.assign(quantiles.begin(), quantiles.end());
  o.experiment = paired ? diffboot::Experiment::paired : diffboot::Experiment::unpaired;
  o.alpha = alpha, o.replications = replications, o.seed = seed, o.threads = static_cast<unsigned>(threads);
  for (R_xlen_t i = 0; i < measures.size(); ++i) o.measures.emplace_back(measures[i]);
  o.permutations = permutations, o.keep_replicates = replicates, o.missing = diffboot::Missing::skip;
  const std::span<const double> xs(REAL(x), static_cast<std::size_t>(x.size()));
  const std::span<const double> ys(REAL(y), static_cast<std::size_t>(y.size()));
  diffboot::Results r;
  try {
    r = watched_run(xs, ys, o);
  } catch (const diffboot::Error& e) {
    return Rcpp::List::create(Rcpp::Named("error") = std::string(e.what()));
  }
  return Rcpp::List::create(
      Rcpp::Named("n_x") = static_cast<double>(r.n_x), Rcpp::Named("n_y") = static_cast<double>(r.n_y),
      Rcpp::Named("missing_x") = static_cast<double>(r.missing_x),
      Rcpp::Named("missing_y") = static_cast<double>(r.missing_y),
      Rcpp::Named("pairs_dropped") = static_cast<double>(r.pairs_dropped), Rcpp::Named("measures") = measures_list(r),
      Rcpp::Named("replicates") = replicates_matrix(r));
}

// What the library admits: the levels (alpha, level, percent) in the command
// line's order, the default level, the seeds, the ranges of B and of the
// permutations, and each experiment's measures.
// [[Rcpp::export(name = ".limits", rng = false)]]
Rcpp::List limits() {
  namespace a = diffboot::analysis;
  const auto names = [](a::Experiment e) {
    std::vector<std::string> all;
    for (std::string_view n : a::all_measure_names(e)) all.emplace_back(n);
    return all;
  };
  return Rcpp::List::create(
      Rcpp::Named("alpha") = std::vector<double>(a::alpha_levels.begin(), a::alpha_levels.end()),
      Rcpp::Named("level") = std::vector<double>(a::interval_levels.begin(), a::interval_levels.end()),
      Rcpp::Named("percent") = std::vector<double>(a::interval_percents.begin(), a::interval_percents.end()),
      Rcpp::Named("default_level") = static_cast<int>(a::default_level) + 1, Rcpp::Named("fixed_seed") = a::fixed_seed,
      Rcpp::Named("largest_seed") = a::largest_seed,
      Rcpp::Named("replications") = Rcpp::IntegerVector::create(a::min_replications, a::max_replications),
      Rcpp::Named("permutations") = Rcpp::IntegerVector::create(a::min_permutations, a::max_permutations),
      Rcpp::Named("paired") = names(a::Experiment::paired),
      Rcpp::Named("unpaired") = names(a::Experiment::unpaired));
}
