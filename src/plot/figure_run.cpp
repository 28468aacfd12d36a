#include "plot/figure_run.h"

#include <filesystem>

namespace diffboot::plot {

std::pair<std::string, std::string> sample_labels(const std::string& label_x, const std::string& label_y,
                                                  const std::string& path_x, const std::string& path_y,
                                                  bool from_table) {
  const auto stem = [](const std::string& path) { return std::filesystem::path(path).stem().string(); };
  if (label_x == path_x && label_y == path_y && !from_table && stem(label_x) != stem(label_y) &&
      !stem(label_x).empty() && !stem(label_y).empty()) {
    return {stem(label_x), stem(label_y)};
  }
  return {label_x, label_y};
}

std::string draw_checked(const Figure& f) {
  const std::string problem = figure_problem(f).value_or("");
  return problem.empty() ? draw_figure(f) : problem;
}

}  // namespace diffboot::plot
