#pragma once
// The console dialogue: banner, file names, experiment type and alpha.
// Answers are read one line each from standard input; the end of input at any
// question is a fatal input error (exit status 255).

#include <cstdint>

#include "app/run_values.h"

namespace diffboot::app {

// Answers allowed per question before "OK - terminates".
inline constexpr int max_attempts = 5;

// Writes the 28-line banner.
void show_banner();

// Asks for the two sample file names: the report's filename_x and
// filename_y (79 characters, blank-padded or cut) and the paths opened (the
// names without blanks around them).
SampleNames ask_filenames();

// With n_x = n_y asks paired [p] or unpaired [u] (first character of the
// answer, exact lower case); five wrong answers write "OK - terminates" and
// stop the run. With n_x != n_y asks nothing: the run is unpaired.
Experiment ask_experiment_type(std::int32_t n_x, std::int32_t n_y);

// Asks for alpha until it equals one of alpha_levels exactly; five wrong
// answers (other values, words, null values) write "OK - terminates" and
// stop the run. The end of input is a fatal input error. When standard error
// is a terminal, a valid answer is explained there ("alpha 0.05: 90%
// intervals, 5% beyond each bound").
double ask_alpha();

}  // namespace diffboot::app
