// The Python module over the library: spans over the callers' float64
// buffers (no copy), the run with the GIL released, and a stop on Ctrl-C.
// The package's __init__.py turns what callers give into such buffers and
// what comes back into its Result.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <bit>
#include <chrono>
#include <future>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/settings.h"
#include "diffboot/diffboot.h"
#include "diffboot/poisson.h"
#include "poisson/results.h"

namespace py = pybind11;

namespace {

// A one-dimensional contiguous float64 buffer as a span over its memory.
std::span<const double> values_of(const py::buffer_info& b, const char* name) {
  // Native doubles are "d", or "=d" as numpy gives arrays rebuilt from
  // their bytes (such as those a Dask worker receives).
  const bool doubles = b.format == py::format_descriptor<double>::format() || b.format == "=d" ||
                       (b.format == "<d" && std::endian::native == std::endian::little);
  if (b.ndim != 1 || !doubles ||
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

// The run of `work` units, `analyse(control)` (without one: not followed),
// on a worker thread when long: every tenth of a second the calling thread
// takes the GIL to look for signals (KeyboardInterrupt cancels the run and
// is raised once it has ended) and to report progress.
template <class Analyse>
diffboot::Results watched(double work, const Analyse& analyse, const std::function<void(double)>& progress) {
  if (work < watched_work) {
    const py::gil_scoped_release released;
    return analyse(nullptr);
  }
  diffboot::Control control;
  std::future<diffboot::Results> run = std::async(std::launch::async, [&] { return analyse(&control); });
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

diffboot::Results watched_run(std::span<const double> x, std::span<const double> y, const diffboot::Options& o,
                              const std::function<void(double)>& progress) {
  const auto analyse = [&](diffboot::Control* control) {
    return control != nullptr ? diffboot::analyse(x, y, o, *control) : diffboot::analyse(x, y, o);
  };
  return watched(work_of(x.size(), y.size(), o), analyse, progress);
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
                 std::int32_t permutations, bool replicates, const std::function<void(double)>& progress,
                 std::vector<double> quantiles) {
  const py::buffer_info bx = x.request(), by = y.request();
  diffboot::Options o;
  o.quantiles = std::move(quantiles);
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

// Runs f with the library's Error raised as diffboot.Error.
template <typename F>
auto raising(F&& f) {
  try {
    return f();
  } catch (const diffboot::Error& e) {
    PyErr_SetString(py::module_::import("diffboot").attr("Error").ptr(), e.what());
    throw py::error_already_set();
  }
}

diffboot::Options options_of(bool paired, double alpha, std::int64_t replications, std::optional<std::int32_t> seed,
                             unsigned threads, std::vector<std::string> measures, bool replicates) {
  diffboot::Options o;
  o.experiment = paired ? diffboot::Experiment::paired : diffboot::Experiment::unpaired;
  o.alpha = alpha, o.replications = replications, o.seed = seed, o.threads = threads;
  o.measures = std::move(measures), o.keep_replicates = replicates, o.missing = diffboot::Missing::skip;
  return o;
}

py::dict poisson_analyse(const py::buffer& x, const py::buffer& y, bool paired, double alpha, std::int64_t replications,
                         std::optional<std::int32_t> seed, unsigned threads, std::vector<std::string> measures,
                         bool replicates, const std::function<void(double)>& progress) {
  const py::buffer_info bx = x.request(), by = y.request();
  const diffboot::Options o = options_of(paired, alpha, replications, seed, threads, std::move(measures), replicates);
  const std::span<const double> xs = values_of(bx, "x"), ys = values_of(by, "y");
  const auto analyse = [&](diffboot::Control* control) {
    return control != nullptr ? diffboot::poisson::analyse(xs, ys, o, *control) : diffboot::poisson::analyse(xs, ys, o);
  };
  // A row of a replicate (a pass each for a paired lift's two halves).
  const double work = static_cast<double>(xs.size() + ys.size()) * static_cast<double>(o.replications);
  return result_dict(raising([&] { return watched(work, analyse, progress); }));
}

// The Poisson bootstrap's pieces travel between processes as tuples of
// numbers and numpy arrays: a summary (n, missing, sum, errors, min, max), a
// frame (pivot, scale, n, missing) and sums (frame, (seed, B, sample), rows,
// powers, weights, moments, cross).
using SummaryTuple = std::tuple<std::int64_t, std::int64_t, double, double, double, double>;
using FrameTuple = std::tuple<double, int, std::int64_t, std::int64_t>;
using SetupTuple = std::tuple<std::int32_t, std::int64_t, int>;

SummaryTuple summary_tuple(const diffboot::poisson::Summary& s) {
  return {s.n, s.missing, s.sum, s.sum_errors, s.min, s.max};
}
diffboot::poisson::Summary summary_of(const SummaryTuple& t) {
  const auto& [n, missing, sum, errors, min, max] = t;
  return {n, missing, sum, errors, min, max};
}
diffboot::poisson::Frame frame_of(const FrameTuple& t) { return {std::get<0>(t), std::get<1>(t), std::get<2>(t), std::get<3>(t)}; }

py::tuple sums_tuple(const diffboot::poisson::Sums& s) {
  const FrameTuple frame{s.frame.pivot, s.frame.scale, s.frame.n, s.frame.missing};
  const SetupTuple setup{s.setup.seed, s.setup.replications, s.setup.sample};
  return py::make_tuple(frame, setup, s.rows, py::array_t<double>(12, s.powers.data()),
                        py::array_t<std::int64_t>(static_cast<py::ssize_t>(s.weights.size()), s.weights.data()),
                        py::array_t<double>(static_cast<py::ssize_t>(s.moments.size()), s.moments.data()),
                        py::array_t<double>(6, s.cross.data()));
}

diffboot::poisson::Sums sums_of(const py::tuple& t) {
  if (t.size() != 7) throw py::type_error("not the Poisson sums of a part");
  diffboot::poisson::Sums s;
  s.frame = frame_of(t[0].cast<FrameTuple>());
  const auto [seed, replications, sample] = t[1].cast<SetupTuple>();
  s.setup = {seed, replications, sample};
  s.rows = t[2].cast<std::int64_t>();
  const auto powers = t[3].cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  const auto weights = t[4].cast<py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>>();
  const auto moments = t[5].cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  const auto cross = t[6].cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  if (powers.size() != 12 || moments.size() != 4 * weights.size() || cross.size() != 6) {
    throw py::type_error("not the Poisson sums of a part");
  }
  std::copy(powers.data(), powers.data() + 12, s.powers.begin());
  std::copy(cross.data(), cross.data() + 6, s.cross.begin());
  s.weights.assign(weights.data(), weights.data() + weights.size());
  s.moments.assign(moments.data(), moments.data() + moments.size());
  return s;
}

SummaryTuple poisson_summary(const py::buffer& values, int sample) {
  const py::buffer_info b = values.request();
  const std::span<const double> v = values_of(b, "values");
  return summary_tuple(raising([&] {
    const py::gil_scoped_release released;
    return diffboot::poisson::summarise(v, sample);
  }));
}

SummaryTuple poisson_merge_summaries(const SummaryTuple& a, const SummaryTuple& b) {
  diffboot::poisson::Summary s = summary_of(a);
  diffboot::poisson::merge(s, summary_of(b));
  return summary_tuple(s);
}

FrameTuple poisson_frame(const SummaryTuple& whole) {
  const diffboot::poisson::Frame f = diffboot::poisson::frame_of(summary_of(whole));
  return {f.pivot, f.scale, f.n, f.missing};
}

py::tuple poisson_sums(const py::buffer& values, const std::optional<py::array_t<std::uint64_t, py::array::c_style>>& keys,
                       std::uint64_t first_position, const FrameTuple& frame, std::int32_t seed,
                       std::int64_t replications, int sample) {
  const py::buffer_info b = values.request();
  const std::span<const double> v = values_of(b, "values");
  const diffboot::poisson::Setup setup{seed, replications, sample};
  const diffboot::poisson::Frame f = frame_of(frame);
  std::span<const std::uint64_t> k;
  if (keys) k = {keys->data(), static_cast<std::size_t>(keys->size())};
  return sums_tuple(raising([&] {
    const py::gil_scoped_release released;
    return keys ? diffboot::poisson::partition_sums(v, k, f, setup)
                : diffboot::poisson::partition_sums(v, first_position, f, setup);
  }));
}

// A paired lift's pieces: the summary and the sums of the pairs' second
// halves of a part, keyed as its differences are.
SummaryTuple poisson_second_summary(const py::buffer& differences, const py::buffer& second) {
  const py::buffer_info bd = differences.request(), bs = second.request();
  const std::span<const double> d = values_of(bd, "differences"), y = values_of(bs, "second");
  return summary_tuple(raising([&] {
    const py::gil_scoped_release released;
    return diffboot::poisson::summarise_second_halves(d, y);
  }));
}

py::tuple poisson_second_sums(const py::buffer& differences, const py::buffer& second,
                              const std::optional<py::array_t<std::uint64_t, py::array::c_style>>& keys,
                              std::uint64_t first_position, const FrameTuple& differences_frame,
                              const FrameTuple& second_frame, std::int32_t seed, std::int64_t replications) {
  const py::buffer_info bd = differences.request(), bs = second.request();
  const std::span<const double> d = values_of(bd, "differences"), y = values_of(bs, "second");
  const diffboot::poisson::Setup setup{seed, replications, 0};
  const diffboot::poisson::Frame fd = frame_of(differences_frame), fy = frame_of(second_frame);
  std::span<const std::uint64_t> k;
  if (keys) k = {keys->data(), static_cast<std::size_t>(keys->size())};
  return sums_tuple(raising([&] {
    const py::gil_scoped_release released;
    return keys ? diffboot::poisson::second_half_sums(d, y, k, fd, fy, setup)
                : diffboot::poisson::second_half_sums(d, y, first_position, fd, fy, setup);
  }));
}

py::tuple poisson_merge(const py::tuple& a, const py::tuple& b) {
  diffboot::poisson::Sums s = sums_of(a);
  raising([&] {
    diffboot::poisson::merge(s, sums_of(b));
    return 0;
  });
  return sums_tuple(s);
}

py::dict poisson_results(const py::tuple& x, const std::optional<py::tuple>& y, bool paired, double alpha,
                         std::int64_t replications, std::optional<std::int32_t> seed, std::vector<std::string> measures,
                         bool replicates) {
  const diffboot::Options o = options_of(paired, alpha, replications, seed, 0, std::move(measures), replicates);
  const diffboot::poisson::Sums sx = sums_of(x), sy = y ? sums_of(*y) : sx;
  return result_dict(raising([&] { return diffboot::poisson::results(sx, sy, o); }));
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The diffboot library's analyse(), for the diffboot package.";
  m.def("analyse", &analyse, py::arg("x"), py::arg("y"), py::arg("paired"), py::arg("alpha"), py::arg("replications"),
        py::arg("seed"), py::arg("threads"), py::arg("measures"), py::arg("permutations"), py::arg("replicates"),
        py::arg("progress"), py::arg("quantiles"));
  m.def("poisson_analyse", &poisson_analyse, py::arg("x"), py::arg("y"), py::arg("paired"), py::arg("alpha"),
        py::arg("replications"), py::arg("seed"), py::arg("threads"), py::arg("measures"), py::arg("replicates"),
        py::arg("progress"));
  m.def("poisson_summary", &poisson_summary, py::arg("values"), py::arg("sample"));
  m.def("poisson_merge_summaries", &poisson_merge_summaries);
  m.def("poisson_frame", &poisson_frame);
  m.def("poisson_sums", &poisson_sums, py::arg("values"), py::arg("keys"), py::arg("first_position"), py::arg("frame"),
        py::arg("seed"), py::arg("replications"), py::arg("sample"));
  m.def("poisson_second_summary", &poisson_second_summary, py::arg("differences"), py::arg("second"));
  m.def("poisson_second_sums", &poisson_second_sums, py::arg("differences"), py::arg("second"), py::arg("keys"),
        py::arg("first_position"), py::arg("differences_frame"), py::arg("second_frame"), py::arg("seed"),
        py::arg("replications"));
  m.def("poisson_merge", &poisson_merge);
  m.def("poisson_results", &poisson_results, py::arg("x"), py::arg("y"), py::arg("paired"), py::arg("alpha"),
        py::arg("replications"), py::arg("seed"), py::arg("measures"), py::arg("replicates"));
  m.attr("poisson_min_size") = diffboot::poisson::min_size;
  py::list levels;
  for (std::size_t k = 0; k < diffboot::analysis::alpha_levels.size(); ++k) {
    levels.append(py::make_tuple(diffboot::analysis::alpha_levels[k], diffboot::analysis::interval_levels[k],
                                 diffboot::analysis::interval_percents[k]));
  }
  m.attr("levels") = levels;  // (alpha, level, percent), in the command line's order
  m.attr("default_level") = diffboot::analysis::default_level;
  m.attr("level_range") = py::make_tuple(diffboot::analysis::min_level, diffboot::analysis::max_level);
  m.attr("fixed_seed") = diffboot::analysis::fixed_seed;
  m.attr("largest_seed") = diffboot::analysis::largest_seed;
  m.attr("replications_range") = py::make_tuple(diffboot::analysis::min_replications, diffboot::analysis::max_replications);
  m.attr("permutations_range") = py::make_tuple(diffboot::analysis::min_permutations, diffboot::analysis::max_permutations);
  py::dict names;
  for (const auto e : {diffboot::bootstrap::Experiment::paired, diffboot::bootstrap::Experiment::unpaired}) {
    std::vector<std::string> all;
    for (std::string_view n : diffboot::analysis::all_measure_names(e)) all.emplace_back(n);
    names[e == diffboot::bootstrap::Experiment::paired ? "paired" : "unpaired"] = all;
  }
  m.attr("measure_names") = names;  // every measure an experiment can be asked for
  py::dict poisson_names;
  for (const auto e : {diffboot::bootstrap::Experiment::paired, diffboot::bootstrap::Experiment::unpaired}) {
    std::vector<std::string> all;
    for (std::string_view n : diffboot::poisson::engine::measure_names(e)) all.emplace_back(n);
    poisson_names[e == diffboot::bootstrap::Experiment::paired ? "paired" : "unpaired"] = all;
  }
  m.attr("poisson_measure_names") = poisson_names;  // every measure of the Poisson bootstrap
}
