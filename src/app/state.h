#pragma once
// The program state: everything one run's stages hand to each other. Every
// real starts at -999.0, every integer at -999, every array is filled with
// -999.0 when allocated; nothing tests these markers, they only make an unset
// value visible in the report.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bootstrap/result.h"
#include "numeric/random.h"

namespace diffboot::app {

inline constexpr double unset = bootstrap::unset;
inline constexpr std::int32_t unset_count = -999;
inline constexpr std::size_t filename_length = 79;
// Bootstrap replications of a run; every divisor B and B + 1 of the intervals
// is derived from the number of replicates held.
inline constexpr std::int32_t replications = 1999;

using Replicates = std::vector<double>;

struct State {
  std::string filename_x = std::string(filename_length, ' ');
  std::string filename_y = std::string(filename_length, ' ');
  std::string path_x, path_y;  // the sample files as opened: the dialogue's names trimmed, the command line's as given
  std::int32_t n_x = unset_count, n_y = unset_count;
  double ave_x = unset, std_x = unset, min_x = unset, max_x = unset, med_x = unset, mad_x = unset;
  double ave_y = unset, std_y = unset, min_y = unset, max_y = unset, med_y = unset, mad_y = unset;
  std::int32_t nclass_x = unset_count, nclass_y = unset_count;
  char experiment_type = 'u';
  double alpha = unset;
  double tquant_n2 = unset, tquant_n4 = unset, tquant_x1 = unset;

  std::int32_t B = replications;
  // The generator is seeded from -seed; the default draws the fixed stream.
  std::int32_t seed = -numeric::fixed_seed;

  // Result groups (estimate, Student's t bounds, BCa bounds, ...), such as d_MAD.bca_upper.
  bootstrap::Result AVE_d, MED_d, d_AVE, d_MED, d_STD, d_MAD;

  std::vector<double> x1, x1_resample, x2, x2_resample, x3, x3_resample;
  std::vector<double> x1histclass, x2histclass, nx1class, nx2class;

  Replicates AVE_d_boot = filled(B), MED_d_boot = filled(B);
  Replicates d_AVE_boot = filled(B), d_MED_boot = filled(B), d_STD_boot = filled(B), d_MAD_boot = filled(B);

  numeric::UniformState generator;
  unsigned threads = 1;  // threads the computation may use; the results never depend on it

  // How the run meets the outside world (the dialogue: all files in the
  // working directory, the histograms shown).
  std::string output_directory;  // where the output files go; the working directory when empty
  bool write_files = true;       // the plot files and the report file
  bool show_plot = true;         // start the plotting program and wait for it
  std::string figure;            // the figure file of the run, empty for none

  static Replicates filled(std::int32_t count) { return Replicates(static_cast<std::size_t>(count), unset); }
};

// One effect measure of the run as the state holds it.
struct MeasureOfRun {
  std::string_view name;          // "d_AVE", "AVE_d", ...
  std::string_view label;         // its report label, such as "d_AVE = "
  std::string_view definition;    // such as "d_MED = median(x) − median(y)"
  const bootstrap::Result* result;
  const Replicates* replicates;
};

// The measures of the run's experiment type, in report order: AVE_d, MED_d
// when paired ('p'); d_AVE, d_MED, d_STD, d_MAD when unpaired ('u'); none
// for any other type.
std::vector<MeasureOfRun> measures_of(const State& s);

// The state of the current run.
State& state();

// Starts a new run: every variable back to its initial value, computing with
// `threads` threads.
void reset_state(unsigned threads = 1);

// Sets the number of replications B of the run: the six replicate arrays
// get B values of -999.0.
void set_replications(State& s, std::int32_t B);

}  // namespace diffboot::app
