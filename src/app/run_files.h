#pragma once
// The names of the files a run writes in its output directory.
#include <string>
#include <string_view>

namespace diffboot::app {

inline constexpr std::string_view report_file = "diffboot.dat";   // the report and the histogram sections
inline constexpr std::string_view sample1_plot_file = "1a.tmp";   // corner points of sample 1's histogram
inline constexpr std::string_view sample2_plot_file = "1b.tmp";   // corner points of sample 2's histogram
inline constexpr std::string_view plot_script_file = "2.tmp";     // the plot script that draws both

// The path of output file `name` in `directory` (the working directory when empty).
inline std::string output_path(const std::string& directory, std::string_view name) {
  return directory.empty() ? std::string(name) : directory + "/" + std::string(name);
}

}  // namespace diffboot::app
