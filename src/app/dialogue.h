#pragma once
// The console dialogue: banner, file names, experiment type and alpha.
// Answers are read one line each from standard input; the end of input at any
// question is a fatal input error (exit status 255).

namespace diffboot::app {

struct State;

// Answers allowed per question before "OK - terminates".
inline constexpr int max_attempts = 5;

// Writes the 28-line banner.
void show_banner();

// Asks for the two sample file names into filename_x and filename_y (79
// characters, blank-padded or cut).
void ask_filenames(State& s);

// With n_x = n_y asks paired [p] or unpaired [u] (first character of the
// answer, exact lower case); five wrong answers write "OK - terminates" and
// stop the run. With n_x != n_y asks nothing: the run is unpaired.
void ask_experiment_type(State& s);

// Asks for alpha until it equals one of alpha_levels exactly; five wrong
// answers (other values, words, null values) write "OK - terminates" and
// stop the run. The end of input is a fatal input error. When standard error
// is a terminal, a valid answer is explained there ("alpha 0.05: 90%
// intervals, 5% beyond each bound").
void ask_alpha(State& s);

}  // namespace diffboot::app
