#pragma once
// A run's figure beyond its composition: how the samples' files are labelled
// and the drawing checked before it starts.
#include <string>
#include <utility>

#include "plot/figure.h"

namespace diffboot::plot {

// The samples' labels in a figure: a plain file (its label its path, not a
// table's) without its directory and extension, unless that would name both
// samples alike or either not at all; any other label as it is.
std::pair<std::string, std::string> sample_labels(const std::string& label_x, const std::string& label_y,
                                                  const std::string& path_x, const std::string& path_y,
                                                  bool from_table);

// Draws `f` when it can be drawn as asked: an empty string, or why not
// (figure_problem, then draw_figure's reason).
std::string draw_checked(const Figure& f);

}  // namespace diffboot::plot
