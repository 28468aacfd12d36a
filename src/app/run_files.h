#pragma once
// The names of the files a run writes in its working directory.
#include <string_view>

namespace diffboot::app {

inline constexpr std::string_view report_file = "diffboot.dat";   // the report and the histogram sections
inline constexpr std::string_view sample1_plot_file = "1a.tmp";   // corner points of sample 1's histogram
inline constexpr std::string_view sample2_plot_file = "1b.tmp";   // corner points of sample 2's histogram
inline constexpr std::string_view plot_script_file = "2.tmp";     // the plot script that draws both

}  // namespace diffboot::app
