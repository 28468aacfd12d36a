#pragma once
// Histogram data as text: the plot data files 1a.tmp and 1b.tmp, the
// histogram sections at the end of the report file, and the plot script 2.tmp.
#include <cstdint>
#include <span>
#include <string_view>

namespace diffboot::plot {

// Destination of writehistogramdata.
enum class HistogramTarget : std::int32_t { sample1_plot = 1, sample2_plot = 2, report = 3 };

// Writes four corner records "(12x,2(es11.4,4x))" per class (bounds[i], 0),
// (bounds[i], counts[i]), (bounds[i+1], counts[i]), (bounds[i+1], 0): to
// 1a.tmp or 1b.tmp (replaced), or appended to diffboot.dat after a header of
// four records holding the class number and `label`. A file that does not
// open writes two console records naming the type and stops the run.
void writehistogramdata(HistogramTarget type, std::span<const double> bounds, std::span<const double> counts,
                        std::string_view label);

// Writes the 8-record plot script 2.tmp, which draws 1a.tmp and 1b.tmp and
// waits for a key or mouse click. A file that does not open writes
// "Error during plot file opening - terminate" and stops the run.
void write_plot_script();

}  // namespace diffboot::plot
