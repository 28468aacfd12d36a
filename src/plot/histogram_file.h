#pragma once
// Histogram data as text: the plot data files of the two samples, the
// histogram sections at the end of the report file, and the plot script.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace diffboot::plot {

// Destination of write_histogram.
enum class HistogramTarget : std::int32_t { sample1_plot = 1, sample2_plot = 2, report = 3 };

// Writes four corner records "(12x,2(es11.4,4x))" per class (bounds[i], 0),
// (bounds[i], counts[i]), (bounds[i+1], counts[i]), (bounds[i+1], 0) to the
// file `path`: replacing it for a sample's plot data, or appended to the
// report file after a header of four records holding the class number and
// `label`. A file that does not open writes two console records naming the
// type and stops the run.
void write_histogram(HistogramTarget type, std::string_view path, std::span<const double> bounds,
                        std::span<const double> counts, std::string_view label);

// Writes the 8-record plot script to `path`; it draws the files named
// `sample1_data` and `sample2_data` (as the script names them) under the keys
// `titles` (as literal text, unless they are the default ones) and waits
// for a key or mouse click. A file that does not open writes "Error during
// plot file opening - terminate" and stops the run.
inline const std::array<std::string, 2> default_titles = {"Sample 1", "Sample 2"};
void write_plot_script(std::string_view path, std::string_view sample1_data, std::string_view sample2_data,
                       const std::array<std::string, 2>& titles = default_titles);

}  // namespace diffboot::plot
