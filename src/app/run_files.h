#pragma once
// The names of the files a run writes in its output directory.
#include <string>
#include <string_view>
#include <vector>

namespace diffboot::app {

inline constexpr std::string_view report_file = "diffboot.dat";   // the report and the histogram sections
inline constexpr std::string_view sample1_plot_file = "1a.tmp";   // corner points of sample 1's histogram
inline constexpr std::string_view sample2_plot_file = "1b.tmp";   // corner points of sample 2's histogram
inline constexpr std::string_view plot_script_file = "2.tmp";     // the plot script that draws both

// The path of output file `name` in `directory` (the working directory when empty).
inline std::string output_path(const std::string& directory, std::string_view name) {
  return directory.empty() ? std::string(name) : directory + "/" + std::string(name);
}

// An output file of a run: how the user named it, and its path.
struct RunOutput {
  std::string what;  // such as "--replicates \"r.csv\"" or "the report file \"./diffboot.dat\" of -C"
  std::string path;
};

// Every file a run writes: the report and plot files in `directory` when
// `write_files`, the figure with its script and data, the replicates file.
inline std::vector<RunOutput> run_outputs(bool write_files, const std::string& directory, const std::string& figure,
                                          const std::string& replicates) {
  std::vector<RunOutput> outputs;
  if (write_files) {
    for (std::string_view file : {report_file, sample1_plot_file, sample2_plot_file, plot_script_file}) {
      const std::string path = output_path(directory, file);
      outputs.push_back({(file == report_file ? "the report file \"" : "the plot file \"") + path + "\" of -C", path});
    }
  }
  if (!figure.empty()) {
    outputs.push_back({"--figure \"" + figure + "\"", figure});
    outputs.push_back({"the figure's script \"" + figure + ".gp\"", figure + ".gp"});
    outputs.push_back({"the figure's data \"" + figure + ".dat\"", figure + ".dat"});
  }
  if (!replicates.empty()) outputs.push_back({"--replicates \"" + replicates + "\"", replicates});
  return outputs;
}

}  // namespace diffboot::app
