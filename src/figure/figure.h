#pragma once
// A figure of a run worth keeping, an estimation plot: above, every value
// of the two samples (a line per pair in a paired run) with each sample's
// mean ± SD and median, and a legend of the marks; below, the measures in
// the data's units on one axis of differences and each unitless one (g,
// delta, lift) on an axis of its own, each with its replicates' density, its
// estimate, its BCa interval (thick) and its Student's t interval (thin),
// and their numbers. What is described here is laid out as data
// (figure_model.h); painters draw that.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace diffboot::figure {

enum class FigureFormat { svg, png, pdf };

// The format a figure's file name asks for by its extension (.svg, .png,
// .pdf, in any case); nothing for any other name.
std::optional<FigureFormat> figure_format(std::string_view file);

// Above this many values a sample is drawn as its density (a half violin)
// rather than as points; above this many pairs a paired run shows its
// differences instead of a line per pair.
inline constexpr std::size_t most_points = 2000;
inline constexpr std::size_t most_pair_lines = 500;

// A sample as the figure shows it.
struct FigureSample {
  std::string_view label;          // the file, the table's column or group, or --labels
  std::span<const double> values;  // as read: a paired run's pairs by position
  double mean, sd, median;
  // The cluster bootstrap: each value's cluster, numbered from 0 in the
  // sample; the sample is then drawn as one disc per cluster (its mean).
  std::span<const std::uint32_t> clusters = {};
};

// A measure's row in an effect panel: the panel of differences in the
// data's units, or the panel of its own scale (effect_scale.h) when its
// name is a unitless measure's.
struct FigureMeasure {
  std::string_view words;          // such as "difference of means"
  std::string_view name;           // such as "d_AVE"
  double estimate, t_lower, t_upper, bca_lower, bca_upper;
  std::span<const double> replicates;
};

struct Figure {
  std::string file;                // the figure; its script is file + ".gp", its data file + ".dat"
  FigureFormat format;
  bool paired = false;
  double level_percent = 95;       // the intervals' level in percent (99.9)
  std::int32_t replications = 0;   // B
  FigureSample x, y;
  std::vector<FigureMeasure> measures;
  double width = 7.0, height = 5.0;  // inches; a png has 200 pixels an inch
  std::string value_name = "value";  // what the values are: a table's value column, else "value"
  std::string unit = {};             // --unit: the values' unit, empty for none
  bool log_scale = false;            // --log: the data axis logarithmic (every value positive)
  // Binary outcomes: each sample's successes of its trials, shown as its
  // proportion with Wilson's 95% interval in place of its values.
  struct Counts {
    std::int64_t successes, trials;
  };
  std::optional<std::array<Counts, 2>> proportions = {};
  std::string cluster_name = {};  // what the clusters are (--cluster's column), with FigureSample::clusters
};

// Several groups in one figure: every group's values above (the control or
// first group leftmost), and below, each comparison's difference in one
// measure under its group, on one axis. A group's values are those of the
// first comparison it is in (a paired comparison's: the pairs it kept), and
// a paired comparison draws a line per pair between its two groups.
struct GroupComparison {
  std::size_t x, y;                       // the groups compared, x − y, by position in GroupsFigure::groups
  std::span<const double> values_x, values_y;  // as analysed; paired: the pairs by position
  std::optional<FigureMeasure> measure;   // none where the comparison stopped
};

struct GroupsFigure {
  std::string file;
  FigureFormat format = FigureFormat::svg;
  bool paired = false;
  bool sequential = false;           // each group against the one before it; else against the first
  double level_percent = 95;
  std::int32_t replications = 0;
  std::vector<std::string> groups;   // their names
  std::vector<GroupComparison> comparisons;
  double width = 7.0, height = 5.0;
  std::string value_name = "value";
  std::string unit = {};
};

// Why `f` cannot be drawn as asked (a log axis with a value that is not
// positive), or nothing.
std::optional<std::string> figure_problem(const Figure& f);

// The title: "horsebean − linseed (unpaired): 95% intervals, B = 1999", long
// labels shortened in the middle.
std::string figure_title(const Figure& f);

}  // namespace diffboot::figure
