// The Python module over the library: spans over the callers' float64
// buffers (no copy), the run with the GIL released, and a stop on Ctrl-C.
// The package's __init__.py turns what callers give into such buffers and
// what comes back into its Result.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <future>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/settings.h"
#include "diffboot/diffboot.h"

namespace py = pybind11;

namespace {

// A one-dimensional contiguous float64 buffer as a span over its memory.
std::span<const double> values_of(const py::buffer_info& b, const char* name) {
  if (b.ndim != 1 || b.format != py::format_descriptor<double>::format() ||
      (b.shape[0] > 1 && b.strides[0] != static_cast<py::ssize_t>(sizeof(double)))) {
    throw py::type_error(std::string(name) + " must be a one-dimensional contiguous float64 buffer");
  }
  return {static_cast<const double*>(b.ptr), static_cast<std::size_t>(b.shape[0])};
}

// Runs with this much work or more go to a worker thread while the calling
// thread looks for Ctrl-C and shows progress; shorter ones (some
// milliseconds) run on the calling thread.
constexpr double watched_work = 1e7;

double work_of(std::size_t n_x, std::size_t n_y, const diffboot::Options& o) {
  const double n = static_cast<double>(n_x + n_y);
  return n * static_cast<double>(o.replications) + 2.0 * static_cast<double>(n_x) * static_cast<double>(n_y) +
         n * static_cast<double>(o.permutations);
}

// The run, on a worker thread when long: every tenth of a second the
// calling thread takes the GIL to look for signals (KeyboardInterrupt
// cancels the run and is raised once it has ended) and to report progress.
diffboot::Results watched_run(std::span<const double> x, std::span<const double> y, const diffboot::Options& o,
                              const std::function<void(double)>& progress) {
  if (work_of(x.size(), y.size(), o) < watched_work) {
    const py::gil_scoped_release released;
    return diffboot::analyse(x, y, o);
  }
  diffboot::Control control;
  std::future<diffboot::Results> run =
      std::async(std::launch::async, [&] { return diffboot::analyse(x, y, o, control); });
  const auto finish = [&] {
    const py::gil_scoped_release released;
    run.wait();
  };
  for (;;) {
    {
      const py::gil_scoped_release released;
      if (run.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready) break;
    }
    if (PyErr_CheckSignals() != 0) {
      control.cancel();
      finish();
      try {
        run.get();
      } catch (const diffboot::Cancelled&) {
      } catch (...) {
      }
      throw py::error_already_set();
    }
    if (progress) {
      try {
        progress(control.fraction());
      } catch (...) {
        control.cancel();
        finish();
        throw;
      }
    }
  }
  return run.get();
}

py::dict result_dict(const diffboot::Results& r) {
  py::list measures;
  for (const diffboot::MeasureResult& m : r.measures) {
    py::dict d;
    d["name"] = m.name;
    d["estimate"] = m.estimate, d["se"] = m.se, d["bias"] = m.bias;
    d["t_lower"] = m.t_lower, d["t_upper"] = m.t_upper;
    d["bca_lower"] = m.bca_lower, d["bca_upper"] = m.bca_upper;
    d["percentile_lower"] = m.percentile_lower, d["percentile_upper"] = m.percentile_upper;
    d["basic_lower"] = m.basic_lower, d["basic_upper"] = m.basic_upper;
    d["z0"] = m.z0, d["acceleration"] = m.acceleration;
    d["p_permutation"] = m.p_permutation, d["p_t"] = m.p_t;
    d["replicates"] = m.replicates.empty() ? py::object(py::none())
                                           : py::object(py::array_t<double>(static_cast<py::ssize_t>(m.replicates.size()),
                                                                            m.replicates.data()));
    measures.append(d);
  }
  py::dict out;
  out["n_x"] = r.n_x, out["n_y"] = r.n_y, out["missing_x"] = r.missing_x, out["missing_y"] = r.missing_y;
  out["pairs_dropped"] = r.pairs_dropped;
  out["measures"] = measures;
  return out;
}

py::dict analyse(const py::buffer& x, const py::buffer& y, bool paired, double alpha, std::int64_t replications,
                 std::optional<std::int32_t> seed, unsigned threads, std::vector<std::string> measures,
                 std::int32_t permutations, bool replicates, const std::function<void(double)>& progress) {
  const py::buffer_info bx = x.request(), by = y.request();
  diffboot::Options o;
  o.experiment = paired ? diffboot::Experiment::paired : diffboot::Experiment::unpaired;
  o.alpha = alpha, o.replications = replications, o.seed = seed, o.threads = threads;
  o.measures = std::move(measures), o.permutations = permutations, o.keep_replicates = replicates;
  o.missing = diffboot::Missing::skip;
  try {
    return result_dict(watched_run(values_of(bx, "x"), values_of(by, "y"), o, progress));
  } catch (const diffboot::Error& e) {
    PyErr_SetString(py::module_::import("diffboot").attr("Error").ptr(), e.what());
    throw py::error_already_set();
  }
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The diffboot library's analyse(), for the diffboot package.";
  m.def("analyse", &analyse, py::arg("x"), py::arg("y"), py::arg("paired"), py::arg("alpha"), py::arg("replications"),
        py::arg("seed"), py::arg("threads"), py::arg("measures"), py::arg("permutations"), py::arg("replicates"),
        py::arg("progress"));
  py::list levels;
  for (std::size_t k = 0; k < diffboot::analysis::alpha_levels.size(); ++k) {
    levels.append(py::make_tuple(diffboot::analysis::alpha_levels[k], diffboot::analysis::interval_levels[k],
                                 diffboot::analysis::interval_percents[k]));
  }
  m.attr("levels") = levels;  // (alpha, level, percent), in the command line's order
  m.attr("default_level") = diffboot::analysis::default_level;
  m.attr("fixed_seed") = diffboot::analysis::fixed_seed;
  m.attr("largest_seed") = diffboot::analysis::largest_seed;
  m.attr("replications_range") = py::make_tuple(diffboot::analysis::min_replications, diffboot::analysis::max_replications);
  m.attr("permutations_range") = py::make_tuple(diffboot::analysis::min_permutations, diffboot::analysis::max_permutations);
  py::dict names;
  for (const auto e : {diffboot::Experiment::paired, diffboot::Experiment::unpaired}) {
    std::vector<std::string> all;
    for (std::string_view n : diffboot::analysis::all_measure_names(e)) all.emplace_back(n);
    names[e == diffboot::Experiment::paired ? "paired" : "unpaired"] = all;
  }
  m.attr("measure_names") = names;  // every measure an experiment can be asked for
}
