// The Python module over the library: Options and Results as classes, the
// library's Error as diffboot.Error, spans over the callers' float64
// buffers (no copy), frames' columns handed to the library's table rules,
// and every long run watched for Ctrl-C with the GIL released.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <bit>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diffboot/diffboot.h"
#include "diffboot/figure.h"
#include "diffboot/frames.h"
#include "diffboot/groups.h"
#include "diffboot/poisson.h"
#include "diffboot/rules.h"
#include "diffboot/watch.h"

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

// The run `analyse(control)` of `work` units: short ones on this thread
// without the GIL; long ones watched, this thread taking the GIL every tenth
// of a second to look for signals (KeyboardInterrupt cancels the run and is
// raised once it has ended) and to report progress.
template <class Analyse>
diffboot::Results watched(double work, const Analyse& analyse, const std::function<void(double)>& progress) {
  const py::gil_scoped_release released;
  if (work < diffboot::watched_work) return analyse(nullptr);
  return diffboot::watched([&](diffboot::Control& control) { return analyse(&control); },
                           [&](double fraction) {
                             const py::gil_scoped_acquire held;
                             if (PyErr_CheckSignals() != 0) throw py::error_already_set();
                             if (progress) progress(fraction);
                           });
}

diffboot::Results run(std::span<const double> x, std::span<const double> y, const diffboot::Options& o,
                      const std::function<void(double)>& progress) {
  const auto analyse = [&](diffboot::Control* control) {
    return control != nullptr ? diffboot::analyse(x, y, o, *control) : diffboot::analyse(x, y, o);
  };
  return watched(diffboot::work_of(x.size(), y.size(), o), analyse, progress);
}

diffboot::Results analyse(const py::buffer& x, const py::buffer& y, const diffboot::Options& o,
                          const std::function<void(double)>& progress) {
  const py::buffer_info bx = x.request(), by = y.request();
  return run(values_of(bx, "x"), values_of(by, "y"), o, progress);
}

diffboot::Results poisson_analyse(const py::buffer& x, const py::buffer& y, const diffboot::Options& o,
                                  const std::function<void(double)>& progress) {
  const py::buffer_info bx = x.request(), by = y.request();
  const std::span<const double> xs = values_of(bx, "x"), ys = values_of(by, "y");
  const auto analyse = [&](diffboot::Control* control) {
    return control != nullptr ? diffboot::poisson::analyse(xs, ys, o, *control) : diffboot::poisson::analyse(xs, ys, o);
  };
  // A row of a replicate (a pass each for a paired lift's two halves).
  const double work = static_cast<double>(xs.size() + ys.size()) * static_cast<double>(o.replications);
  return watched(work, analyse, progress);
}

// A frame's column as the library takes it, with the storage it points into.
struct ColumnHolder {
  std::vector<double> numbers;
  std::vector<std::string> texts;
  std::vector<std::uint8_t> missing;
  diffboot::Column column;
};

// `cells` is a float64 array (NaN missing) or a list of texts; `missing`
// a mask of the cells or None.
ColumnHolder column_of(const std::string& name, const py::object& cells, const py::object& missing) {
  ColumnHolder h;
  if (py::isinstance<py::list>(cells)) {
    h.texts = cells.cast<std::vector<std::string>>();
    h.column.is_text = true;
  } else if (!cells.is_none()) {
    const auto a = cells.cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
    h.numbers.assign(a.data(), a.data() + a.size());
  }
  if (!missing.is_none()) {
    const auto m = missing.cast<py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>>();
    h.missing.assign(m.data(), m.data() + m.size());
  }
  h.column.name = name;
  h.column.numbers = h.numbers, h.column.texts = h.texts, h.column.missing = h.missing;
  return h;
}

diffboot::Experiment experiment_of(bool paired) { return paired ? diffboot::Experiment::paired : diffboot::Experiment::unpaired; }

diffboot::FrameSamples frame_columns(const std::string& a, const py::object& a_cells, const py::object& a_missing,
                                     const std::string& b, const py::object& b_cells, const py::object& b_missing,
                                     bool paired, bool proportions) {
  const ColumnHolder x = column_of(a, a_cells, a_missing), y = column_of(b, b_cells, b_missing);
  return diffboot::frame_columns(x.column, y.column, experiment_of(paired), proportions);
}

diffboot::FrameSamples frame_groups(const std::string& by, const py::object& by_cells, const py::object& by_missing,
                                    const std::string& value, const py::object& value_cells,
                                    const py::object& value_missing, const std::string& id, const py::object& id_cells,
                                    const py::object& id_missing, const std::array<std::string, 2>& groups, bool paired,
                                    bool proportions) {
  const ColumnHolder b = column_of(by, by_cells, by_missing), v = column_of(value, value_cells, value_missing),
                     i = column_of(id, id_cells, id_missing);
  return diffboot::frame_groups(b.column, v.column, i.column, groups, experiment_of(paired), proportions);
}

// The cluster keys of frame_groups' values, as two lists of texts.
std::pair<std::vector<std::string>, std::vector<std::string>> frame_clusters(
    const std::string& by, const py::object& by_cells, const py::object& by_missing, const std::string& value,
    const py::object& value_cells, const py::object& value_missing, const std::string& cluster,
    const py::object& cluster_cells, const py::object& cluster_missing, const std::array<std::string, 2>& groups,
    bool paired) {
  const ColumnHolder b = column_of(by, by_cells, by_missing), v = column_of(value, value_cells, value_missing),
                     c = column_of(cluster, cluster_cells, cluster_missing);
  diffboot::Clusters keys = diffboot::frame_clusters(b.column, v.column, c.column, groups, experiment_of(paired));
  return {std::move(keys.x), std::move(keys.y)};
}

diffboot::Results analyse_samples(const diffboot::FrameSamples& s, const diffboot::Options& o,
                                  const std::function<void(double)>& progress) {
  const auto analyse = [&](diffboot::Control* control) {
    return control != nullptr ? diffboot::analyse(s, o, *control) : diffboot::analyse(s, o);
  };
  return watched(diffboot::work_of(s.x.size(), s.y.size(), o), analyse, progress);
}

// Several groups, each a name and a float64 buffer, compared by the design
// without the GIL.
std::vector<diffboot::Comparison> analyse_groups(const std::vector<std::pair<std::string, py::buffer>>& named,
                                                 diffboot::Design design, const diffboot::Options& o) {
  std::vector<py::buffer_info> buffers;
  buffers.reserve(named.size());
  std::vector<diffboot::Group> groups;
  for (const auto& [name, values] : named) {
    buffers.push_back(values.request());
    groups.push_back({name, values_of(buffers.back(), name.c_str())});
  }
  const py::gil_scoped_release released;
  return diffboot::analyse_groups(groups, design, o);
}

// The groups `groups` of a frame's long form, paired by `id` when it has cells.
std::vector<diffboot::Comparison> frame_analyse_groups(
    const std::string& by, const py::object& by_cells, const py::object& by_missing, const std::string& value,
    const py::object& value_cells, const py::object& value_missing, const std::string& id, const py::object& id_cells,
    const py::object& id_missing, const std::vector<std::string>& groups, diffboot::Design design,
    const diffboot::Options& o) {
  const ColumnHolder b = column_of(by, by_cells, by_missing), v = column_of(value, value_cells, value_missing),
                     i = column_of(id, id_cells, id_missing);
  const py::gil_scoped_release released;
  return diffboot::analyse_groups(b.column, v.column, i.column, groups, design, o);
}

// Proportions by their counts: two samples' (successes, trials), or the
// paired table's four cells; a replicate costs O(1), so no watch.
diffboot::Results analyse_counts(const diffboot::Counts& x, const diffboot::Counts& y, const diffboot::Options& o) {
  const py::gil_scoped_release released;
  return diffboot::analyse_counts(x, y, o);
}

diffboot::Results analyse_table(const diffboot::PairedTable& table, const diffboot::Options& o) {
  const py::gil_scoped_release released;
  return diffboot::analyse_counts(table, o);
}

py::array_t<double> array_of(const std::vector<double>& v) {
  return py::array_t<double>(static_cast<py::ssize_t>(v.size()), v.data());
}

namespace poisson = diffboot::poisson;

// The Poisson bootstrap's pieces travel between processes pickled: a
// summary, a frame, and sums as their numbers and numpy arrays.
py::tuple sums_state(const poisson::Sums& s) {
  return py::make_tuple(s.frame, s.setup.seed, s.setup.replications, s.setup.sample, s.rows,
                        py::array_t<double>(12, s.powers.data()),
                        py::array_t<std::int64_t>(static_cast<py::ssize_t>(s.weights.size()), s.weights.data()),
                        py::array_t<double>(static_cast<py::ssize_t>(s.moments.size()), s.moments.data()),
                        py::array_t<double>(6, s.cross.data()));
}

poisson::Sums sums_from_state(const py::tuple& t) {
  if (t.size() != 9) throw py::type_error("not the Poisson sums of a part");
  poisson::Sums s;
  s.frame = t[0].cast<poisson::Frame>();
  s.setup = {t[1].cast<std::int32_t>(), t[2].cast<std::int64_t>(), t[3].cast<int>()};
  s.rows = t[4].cast<std::int64_t>();
  const auto powers = t[5].cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  const auto weights = t[6].cast<py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>>();
  const auto moments = t[7].cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  const auto cross = t[8].cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  if (powers.size() != 12 || moments.size() != 4 * weights.size() || cross.size() != 6) {
    throw py::type_error("not the Poisson sums of a part");
  }
  std::copy(powers.data(), powers.data() + 12, s.powers.begin());
  std::copy(cross.data(), cross.data() + 6, s.cross.begin());
  s.weights.assign(weights.data(), weights.data() + weights.size());
  s.moments.assign(moments.data(), moments.data() + moments.size());
  return s;
}

using Keys = std::optional<py::array_t<std::uint64_t, py::array::c_style>>;

std::span<const std::uint64_t> keys_of(const Keys& keys) {
  return keys ? std::span<const std::uint64_t>(keys->data(), static_cast<std::size_t>(keys->size()))
              : std::span<const std::uint64_t>();
}

poisson::Summary poisson_summary(const py::buffer& values, int sample) {
  const py::buffer_info b = values.request();
  const std::span<const double> v = values_of(b, "values");
  const py::gil_scoped_release released;
  return poisson::summarise(v, sample);
}

poisson::Sums poisson_sums(const py::buffer& values, const Keys& keys, std::uint64_t first_position,
                           const poisson::Frame& frame, std::int32_t seed, std::int64_t replications, int sample) {
  const py::buffer_info b = values.request();
  const std::span<const double> v = values_of(b, "values");
  const poisson::Setup setup{seed, replications, sample};
  const py::gil_scoped_release released;
  return keys ? poisson::partition_sums(v, keys_of(keys), frame, setup)
              : poisson::partition_sums(v, first_position, frame, setup);
}

// A paired lift's pieces: the summary and the sums of the pairs' second
// halves of a part, keyed as its differences are.
poisson::Summary poisson_second_summary(const py::buffer& differences, const py::buffer& second) {
  const py::buffer_info bd = differences.request(), bs = second.request();
  const std::span<const double> d = values_of(bd, "differences"), y = values_of(bs, "second");
  const py::gil_scoped_release released;
  return poisson::summarise_second_halves(d, y);
}

poisson::Sums poisson_second_sums(const py::buffer& differences, const py::buffer& second, const Keys& keys,
                                  std::uint64_t first_position, const poisson::Frame& differences_frame,
                                  const poisson::Frame& second_frame, std::int32_t seed, std::int64_t replications) {
  const py::buffer_info bd = differences.request(), bs = second.request();
  const std::span<const double> d = values_of(bd, "differences"), y = values_of(bs, "second");
  const poisson::Setup setup{seed, replications, 0};
  const py::gil_scoped_release released;
  return keys ? poisson::second_half_sums(d, y, keys_of(keys), differences_frame, second_frame, setup)
              : poisson::second_half_sums(d, y, first_position, differences_frame, second_frame, setup);
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The diffboot library for the diffboot package: its classes, rules and runs.";
  py::register_exception<diffboot::Error>(m, "Error", PyExc_ValueError);
  py::register_exception<diffboot::Cancelled>(m, "Cancelled", PyExc_RuntimeError);

  py::enum_<diffboot::Experiment>(m, "Experiment")
      .value("paired", diffboot::Experiment::paired)
      .value("unpaired", diffboot::Experiment::unpaired);
  py::enum_<diffboot::Missing>(m, "Missing").value("error", diffboot::Missing::error).value("skip", diffboot::Missing::skip);
  py::enum_<diffboot::Acceleration>(m, "Acceleration")
      .value("grid", diffboot::Acceleration::grid)
      .value("samples", diffboot::Acceleration::samples);
  py::enum_<diffboot::Method>(m, "Method").value("bootstrap", diffboot::Method::bootstrap).value("poisson", diffboot::Method::poisson);

  py::class_<diffboot::Options>(m, "Options")
      .def(py::init<>())
      .def_readwrite("experiment", &diffboot::Options::experiment)
      .def_readwrite("alpha", &diffboot::Options::alpha)
      .def_readwrite("replications", &diffboot::Options::replications)
      .def_readwrite("seed", &diffboot::Options::seed)
      .def_readwrite("threads", &diffboot::Options::threads)
      .def_readwrite("measures", &diffboot::Options::measures)
      .def_readwrite("permutations", &diffboot::Options::permutations)
      .def_readwrite("keep_replicates", &diffboot::Options::keep_replicates)
      .def_readwrite("missing", &diffboot::Options::missing)
      .def_readwrite("acceleration", &diffboot::Options::acceleration)
      .def_readwrite("quantiles", &diffboot::Options::quantiles)
      .def_readwrite("proportions", &diffboot::Options::proportions)
      .def_property(
          "clusters", [](const diffboot::Options& o) { return std::pair(o.clusters.x, o.clusters.y); },
          [](diffboot::Options& o, std::pair<std::vector<std::string>, std::vector<std::string>> keys) {
            o.clusters = {std::move(keys.first), std::move(keys.second)};
          });

  py::class_<diffboot::Counts>(m, "Counts")
      .def(py::init([](double successes, double trials) { return diffboot::Counts{successes, trials}; }),
           py::arg("successes"), py::arg("trials"));
  py::class_<diffboot::PairedTable>(m, "PairedTable")
      .def(py::init([](double both, double x_only, double y_only, double neither) {
             return diffboot::PairedTable{both, x_only, y_only, neither};
           }),
           py::arg("both"), py::arg("x_only"), py::arg("y_only"), py::arg("neither"));

  py::class_<diffboot::MeasureResult>(m, "MeasureResult", "One measure's estimate, intervals and bootstrap quantities.")
      .def_readonly("name", &diffboot::MeasureResult::name)
      .def_readonly("estimate", &diffboot::MeasureResult::estimate)
      .def_readonly("se", &diffboot::MeasureResult::se)
      .def_readonly("bias", &diffboot::MeasureResult::bias)
      .def_readonly("t_lower", &diffboot::MeasureResult::t_lower)
      .def_readonly("t_upper", &diffboot::MeasureResult::t_upper)
      .def_readonly("bca_lower", &diffboot::MeasureResult::bca_lower)
      .def_readonly("bca_upper", &diffboot::MeasureResult::bca_upper)
      .def_readonly("percentile_lower", &diffboot::MeasureResult::percentile_lower)
      .def_readonly("percentile_upper", &diffboot::MeasureResult::percentile_upper)
      .def_readonly("basic_lower", &diffboot::MeasureResult::basic_lower)
      .def_readonly("basic_upper", &diffboot::MeasureResult::basic_upper)
      .def_readonly("z0", &diffboot::MeasureResult::z0)
      .def_readonly("acceleration", &diffboot::MeasureResult::acceleration)
      .def_readonly("p_permutation", &diffboot::MeasureResult::p_permutation)
      .def_readonly("p_t", &diffboot::MeasureResult::p_t)
      .def_readonly("p_holm", &diffboot::MeasureResult::p_holm)
      .def_readonly("notes", &diffboot::MeasureResult::notes)
      .def_property_readonly("replicates", [](const diffboot::MeasureResult& r) -> py::object {
        return r.replicates.empty() ? py::object(py::none()) : py::object(array_of(r.replicates));
      });

  py::class_<diffboot::Results>(m, "Results")
      .def_readonly("options", &diffboot::Results::options)
      .def_readonly("n_x", &diffboot::Results::n_x)
      .def_readonly("n_y", &diffboot::Results::n_y)
      .def_readonly("measures", &diffboot::Results::measures)
      .def_readonly("missing_x", &diffboot::Results::missing_x)
      .def_readonly("missing_y", &diffboot::Results::missing_y)
      .def_readonly("pairs_dropped", &diffboot::Results::pairs_dropped)
      .def_readonly("clusters_x", &diffboot::Results::clusters_x)
      .def_readonly("clusters_y", &diffboot::Results::clusters_y)
      .def_readonly("no_cluster_x", &diffboot::Results::no_cluster_x)
      .def_readonly("no_cluster_y", &diffboot::Results::no_cluster_y);

  py::enum_<diffboot::Design>(m, "Design")
      .value("control", diffboot::Design::control)
      .value("sequential", diffboot::Design::sequential);
  py::class_<diffboot::Comparison>(m, "Comparison", "One comparison of several groups: group x less group y.")
      .def_readonly("name", &diffboot::Comparison::name)
      .def_readonly("x", &diffboot::Comparison::x)
      .def_readonly("y", &diffboot::Comparison::y)
      .def_readonly("results", &diffboot::Comparison::results)
      .def_readonly("stopped", &diffboot::Comparison::stopped);

  py::class_<diffboot::FrameSamples>(m, "FrameSamples")
      .def_property_readonly("x", [](const diffboot::FrameSamples& s) { return array_of(s.x); })
      .def_property_readonly("y", [](const diffboot::FrameSamples& s) { return array_of(s.y); })
      .def_readonly("labels", &diffboot::FrameSamples::labels)
      .def_readonly("missing_x", &diffboot::FrameSamples::missing_x)
      .def_readonly("missing_y", &diffboot::FrameSamples::missing_y)
      .def_readonly("pairs_dropped", &diffboot::FrameSamples::pairs_dropped)
      .def_readonly("notes", &diffboot::FrameSamples::notes);

  py::class_<diffboot::MeasureFacts>(m, "MeasureFacts")
      .def_readonly("name", &diffboot::MeasureFacts::name)
      .def_readonly("words", &diffboot::MeasureFacts::words)
      .def_readonly("data_units", &diffboot::MeasureFacts::data_units)
      .def_readonly("low", &diffboot::MeasureFacts::low)
      .def_readonly("high", &diffboot::MeasureFacts::high)
      .def_readonly("paired", &diffboot::MeasureFacts::paired)
      .def_readonly("unpaired", &diffboot::MeasureFacts::unpaired)
      .def_readonly("poisson", &diffboot::MeasureFacts::poisson)
      .def_readonly("percent", &diffboot::MeasureFacts::percent);

  py::class_<diffboot::Level>(m, "Level").def_readonly("alpha", &diffboot::Level::alpha).def_readonly("level", &diffboot::Level::level);

  m.def("analyse", &analyse, py::arg("x"), py::arg("y"), py::arg("options"), py::arg("progress"));
  m.def("poisson_analyse", &poisson_analyse, py::arg("x"), py::arg("y"), py::arg("options"), py::arg("progress"));
  m.def("frame_columns", &frame_columns, py::arg("a"), py::arg("a_cells"), py::arg("a_missing"), py::arg("b"),
        py::arg("b_cells"), py::arg("b_missing"), py::arg("paired"), py::arg("proportions") = false);
  m.def("frame_groups", &frame_groups, py::arg("by"), py::arg("by_cells"), py::arg("by_missing"), py::arg("value"),
        py::arg("value_cells"), py::arg("value_missing"), py::arg("id"), py::arg("id_cells"), py::arg("id_missing"),
        py::arg("groups"), py::arg("paired"), py::arg("proportions") = false);
  m.def("frame_clusters", &frame_clusters);
  m.def("analyse_samples", &analyse_samples, py::arg("samples"), py::arg("options"), py::arg("progress"));
  m.def("analyse_groups", &analyse_groups, py::arg("groups"), py::arg("design"), py::arg("options"));
  m.def("frame_analyse_groups", &frame_analyse_groups);
  m.def("analyse_counts", &analyse_counts, py::arg("x"), py::arg("y"), py::arg("options"));
  m.def("analyse_table", &analyse_table, py::arg("table"), py::arg("options"));
  m.def("test_name", &diffboot::test_name, py::arg("experiment"), py::arg("proportions"));
  m.def("level_from_text", &diffboot::level_from_text);
  m.def("level_from_number", &diffboot::level_from_number);
  m.def("acceleration_from_text", &diffboot::acceleration_from_text);
  m.def("whole_number", &diffboot::whole_number, py::arg("value"), py::arg("name"), py::arg("low"), py::arg("high"));
  m.def("measure_catalogue", &diffboot::measure_catalogue);
  m.def("measure_facts", &diffboot::measure_facts);
  m.def("measure_names", &diffboot::measure_names, py::arg("experiment"), py::arg("method") = diffboot::Method::bootstrap);
  m.def("quantile_name", &diffboot::quantile_name);

  py::class_<poisson::Summary>(m, "PoissonSummary", "The first pass over a part: its values counted and added up.")
      .def_readonly("n", &poisson::Summary::n)
      .def_readonly("missing", &poisson::Summary::missing)
      .def("merged", [](poisson::Summary a, const poisson::Summary& b) { return poisson::merge(a, b), a; })
      .def("frame", [](const poisson::Summary& s) { return poisson::frame_of(s); })
      .def(py::pickle([](const poisson::Summary& s) { return py::make_tuple(s.n, s.missing, s.sum, s.sum_errors, s.min, s.max); },
                      [](const py::tuple& t) {
                        return poisson::Summary{t[0].cast<std::int64_t>(), t[1].cast<std::int64_t>(), t[2].cast<double>(),
                                                t[3].cast<double>(), t[4].cast<double>(), t[5].cast<double>()};
                      }));
  py::class_<poisson::Frame>(m, "PoissonFrame", "How every part of a sample centres and scales its values.")
      .def_readonly("n", &poisson::Frame::n)
      .def(py::pickle([](const poisson::Frame& f) { return py::make_tuple(f.pivot, f.scale, f.n, f.missing, f.min, f.max); },
                      [](const py::tuple& t) {
                        return poisson::Frame{t[0].cast<double>(), t[1].cast<int>(), t[2].cast<std::int64_t>(),
                                              t[3].cast<std::int64_t>(), t[4].cast<double>(), t[5].cast<double>()};
                      }));
  py::class_<poisson::Sums>(m, "PoissonSums", "The weighted sums of some rows of one sample.")
      .def("merged", [](poisson::Sums a, const poisson::Sums& b) { return poisson::merge(a, b), a; })
      .def(py::pickle(&sums_state, &sums_from_state));
  m.def("poisson_summary", &poisson_summary, py::arg("values"), py::arg("sample"));
  m.def("poisson_sums", &poisson_sums, py::arg("values"), py::arg("keys"), py::arg("first_position"), py::arg("frame"),
        py::arg("seed"), py::arg("replications"), py::arg("sample"));
  m.def("poisson_second_summary", &poisson_second_summary, py::arg("differences"), py::arg("second"));
  m.def("poisson_second_sums", &poisson_second_sums, py::arg("differences"), py::arg("second"), py::arg("keys"),
        py::arg("first_position"), py::arg("differences_frame"), py::arg("second_frame"), py::arg("seed"),
        py::arg("replications"));
  m.def("poisson_results", [](const poisson::Sums& x, const std::optional<poisson::Sums>& y, const diffboot::Options& o) {
    return poisson::results(x, y ? *y : x, o);
  }, py::arg("x"), py::arg("y"), py::arg("options"));
  m.attr("poisson_min_size") = diffboot::poisson::min_size;

  // The figure as the library lays it out, for plot.py to paint.
  using diffboot::FigureAxis, diffboot::FigureMark, diffboot::FigurePanel, diffboot::FigureLayout;
  py::class_<diffboot::FigureOptions>(m, "FigureOptions")
      .def(py::init<>())
      .def_readwrite("width", &diffboot::FigureOptions::width)
      .def_readwrite("height", &diffboot::FigureOptions::height)
      .def_readwrite("label_x", &diffboot::FigureOptions::label_x)
      .def_readwrite("label_y", &diffboot::FigureOptions::label_y)
      .def_readwrite("value_name", &diffboot::FigureOptions::value_name)
      .def_readwrite("unit", &diffboot::FigureOptions::unit)
      .def_readwrite("log_scale", &diffboot::FigureOptions::log_scale)
      .def_readwrite("cluster_name", &diffboot::FigureOptions::cluster_name);
  py::class_<diffboot::FigureTick>(m, "FigureTick")
      .def_readonly("at", &diffboot::FigureTick::at)
      .def_readonly("label", &diffboot::FigureTick::label);
  py::class_<FigureAxis>(m, "FigureAxis")
      .def_readonly("low", &FigureAxis::low)
      .def_readonly("high", &FigureAxis::high)
      .def_readonly("log_scale", &FigureAxis::log_scale)
      .def_readonly("ticks", &FigureAxis::ticks)
      .def_readonly("title", &FigureAxis::title);
  py::enum_<diffboot::MarkKind>(m, "MarkKind")
      .value("discs", diffboot::MarkKind::discs)
      .value("lines", diffboot::MarkKind::lines)
      .value("area", diffboot::MarkKind::area);
  py::class_<FigureMark>(m, "FigureMark")
      .def_readonly("role", &FigureMark::role)
      .def_readonly("what", &FigureMark::what)
      .def_readonly("kind", &FigureMark::kind)
      .def_property_readonly("x", [](const FigureMark& k) { return array_of(k.x); })
      .def_property_readonly("y", [](const FigureMark& k) { return array_of(k.y); })
      .def_property_readonly("diameter", [](const FigureMark& k) { return array_of(k.diameter); })
      .def_readonly("breaks", &FigureMark::breaks)
      .def_readonly("colour", &FigureMark::colour)
      .def_readonly("width", &FigureMark::width)
      .def_readonly("opacity", &FigureMark::opacity)
      .def_readonly("second_axis", &FigureMark::second_axis);
  py::class_<diffboot::FigureText>(m, "FigureText")
      .def_readonly("text", &diffboot::FigureText::text)
      .def_readonly("x", &diffboot::FigureText::x)
      .def_readonly("y", &diffboot::FigureText::y)
      .def_readonly("colour", &diffboot::FigureText::colour);
  py::class_<FigurePanel>(m, "FigurePanel")
      .def_readonly("samples", &FigurePanel::samples)
      .def_readonly("left", &FigurePanel::left)
      .def_readonly("right", &FigurePanel::right)
      .def_readonly("bottom", &FigurePanel::bottom)
      .def_readonly("top", &FigurePanel::top)
      .def_readonly("x", &FigurePanel::x)
      .def_readonly("y", &FigurePanel::y)
      .def_readonly("y2", &FigurePanel::y2)
      .def_readonly("categories", &FigurePanel::categories)
      .def_readonly("marks", &FigurePanel::marks)
      .def_readonly("texts", &FigurePanel::texts)
      .def_readonly("zero_line", &FigurePanel::zero_line)
      .def_readonly("upright", &FigurePanel::upright);
  py::class_<diffboot::FigureLegendEntry>(m, "FigureLegendEntry")
      .def_readonly("kind", &diffboot::FigureLegendEntry::kind)
      .def_readonly("text", &diffboot::FigureLegendEntry::text)
      .def_readonly("left", &diffboot::FigureLegendEntry::left)
      .def_readonly("right", &diffboot::FigureLegendEntry::right)
      .def_readonly("y", &diffboot::FigureLegendEntry::y)
      .def_readonly("text_x", &diffboot::FigureLegendEntry::text_x);
  py::class_<FigureLayout>(m, "FigureLayout")
      .def_readonly("width", &FigureLayout::width)
      .def_readonly("height", &FigureLayout::height)
      .def_readonly("font", &FigureLayout::font)
      .def_readonly("title", &FigureLayout::title)
      .def_readonly("panels", &FigureLayout::panels)
      .def_readonly("legend", &FigureLayout::legend)
      .def_readonly("bca_thickness", &FigureLayout::bca_thickness)
      .def_readonly("line", &FigureLayout::line)
      .def_readonly("ch", &FigureLayout::ch);
  m.def("figure_layout", [](const py::array_t<double, py::array::c_style | py::array::forcecast>& x,
                            const py::array_t<double, py::array::c_style | py::array::forcecast>& y,
                            const diffboot::Results& r, const diffboot::FigureOptions& o) {
    return diffboot::figure_layout({x.data(), static_cast<std::size_t>(x.size())},
                                   {y.data(), static_cast<std::size_t>(y.size())}, r, o);
  }, py::arg("x"), py::arg("y"), py::arg("results"), py::arg("options"));

  // Several groups: (x, y, values_x, values_y, results or None) a comparison.
  m.def("groups_figure_layout", [](const std::vector<std::string>& groups, const py::list& comparisons,
                                   diffboot::Design design, const diffboot::FigureOptions& o) {
    std::vector<std::vector<double>> values;  // the spans below point into them
    std::vector<diffboot::Results> results;
    values.reserve(2 * comparisons.size()), results.reserve(comparisons.size());
    std::vector<diffboot::FigureComparison> c;
    for (const py::handle item : comparisons) {
      const py::tuple t = py::reinterpret_borrow<py::tuple>(item);
      values.push_back(t[2].cast<std::vector<double>>()), values.push_back(t[3].cast<std::vector<double>>());
      const diffboot::Results* r = nullptr;
      if (!t[4].is_none()) r = &results.emplace_back(t[4].cast<diffboot::Results>());
      c.push_back({t[0].cast<std::size_t>(), t[1].cast<std::size_t>(), values[values.size() - 2], values.back(), r});
    }
    return diffboot::groups_figure_layout(groups, c, design, o);
  }, py::arg("groups"), py::arg("comparisons"), py::arg("design"), py::arg("options"));

  m.attr("version") = DIFFBOOT_VERSION;
  namespace l = diffboot::limits;
  m.attr("default_level") = l::default_level;
  m.attr("default_replications") = l::default_replications;
  m.attr("fixed_seed") = l::fixed_seed;
  m.attr("largest_seed") = l::largest_seed;
  m.attr("replications_range") = py::make_tuple(l::min_replications, l::max_replications);
  m.attr("permutations_range") = py::make_tuple(l::min_permutations, l::max_permutations);
  m.attr("default_permutations") = l::default_permutations;
}
