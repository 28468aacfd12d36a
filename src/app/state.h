#pragma once
// The program state: everything one run's stages hand to each other. Every
// real starts at -999.0, every integer at -999, every array is filled with
// -999.0 when allocated; nothing tests these markers, they only make an unset
// value visible in the report.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bootstrap/bca.h"
#include "numeric/random.h"

namespace diffboot::app {

inline constexpr double unset = -999.0;
inline constexpr std::int32_t unset_count = -999;
inline constexpr std::size_t filename_length = 79;
inline constexpr int B = bootstrap::B;

using Replicates = std::array<double, B>;

struct State {
  std::string filename_x = std::string(filename_length, ' ');
  std::string filename_y = std::string(filename_length, ' ');
  std::int32_t n_x = unset_count, n_y = unset_count;
  double ave_x = unset, std_x = unset, min_x = unset, max_x = unset, med_x = unset, mad_x = unset;
  double ave_y = unset, std_y = unset, min_y = unset, max_y = unset, med_y = unset, mad_y = unset;
  std::int32_t nclass_x = unset_count, nclass_y = unset_count;
  char experiment_type = 'u';
  double alpha = unset;
  double tquant_n2 = unset, tquant_n4 = unset, tquant_x1 = unset;

  // Result groups: estimate, Student's t bounds, BCa bounds.
  double AVE_d = unset, AVE_d_t_lower = unset, AVE_d_t_upper = unset, AVE_d_bca_lower = unset, AVE_d_bca_upper = unset;
  double MED_d = unset, MED_d_t_lower = unset, MED_d_t_upper = unset, MED_d_bca_lower = unset, MED_d_bca_upper = unset;
  double d_AVE = unset, d_AVE_t_lower = unset, d_AVE_t_upper = unset, d_AVE_bca_lower = unset, d_AVE_bca_upper = unset;
  double d_MED = unset, d_MED_t_lower = unset, d_MED_t_upper = unset, d_MED_bca_lower = unset, d_MED_bca_upper = unset;
  double d_STD = unset, d_STD_t_lower = unset, d_STD_t_upper = unset, d_STD_bca_lower = unset, d_STD_bca_upper = unset;
  double d_MAD = unset, d_MAD_t_lower = unset, d_MAD_t_upper = unset, d_MAD_bca_lower = unset, d_MAD_bca_upper = unset;

  std::vector<double> x1, x1_resample, x2, x2_resample, x3, x3_resample;
  std::vector<double> x1histclass, x2histclass, nx1class, nx2class;

  Replicates AVE_d_boot = filled(), MED_d_boot = filled();
  Replicates d_AVE_boot = filled(), d_MED_boot = filled(), d_STD_boot = filled(), d_MAD_boot = filled();

  numeric::UniformState generator;
  unsigned threads = 1;  // threads the computation may use; the results never depend on it

  static Replicates filled() {
    Replicates r;
    r.fill(unset);
    return r;
  }
};

// The state of the current run.
State& state();

// Starts a new run: every variable back to its initial value, computing with
// `threads` threads.
void reset_state(unsigned threads = 1);

}  // namespace diffboot::app
