#pragma once
// The standardised and ordinal effect sizes: Hedges' g (the difference of
// means over the pooled standard deviation, or the mean difference over the
// differences' standard deviation, times the exact small-sample correction
// J; Hedges, J. Educ. Stat. 6 (1981) 107, eq. 6e) and Cliff's delta
// (P(X > Y) − P(X < Y) over all pairs; Cliff, Psychol. Bull. 114 (1993) 494),
// and the lift (the relative difference of means), with the jackknife values
// of each for its BCa acceleration.
#include <cstdint>
#include <span>
#include <vector>

namespace diffboot::bootstrap {

// J(m) = Γ(m/2) / (√(m/2) Γ((m − 1)/2)), m > 1 degrees of freedom.
double hedges_correction(double m);

// The pooled standard deviation of two samples: the square root of
// ((n_x − 1) sd_x² + (n_y − 1) sd_y²) / (n_x + n_y − 2).
double pooled_sd(double sd_x, std::size_t n_x, double sd_y, std::size_t n_y);

// Hedges' g of two samples from their means, standard deviations (divisor
// n − 1) and sizes: (mean_x − mean_y) / s_p · J(n_x + n_y − 2), s_p² the
// pooled variance with divisor n_x + n_y − 2.
double hedges_g(double mean_x, double sd_x, std::size_t n_x, double mean_y, double sd_y, std::size_t n_y);

// Hedges' g of paired differences: mean / sd · J(n − 1).
double hedges_g_paired(double mean, double sd, std::size_t n);

// The jackknife values of the unpaired g: x without each of its values in
// turn, then y without each of its values.
std::vector<double> hedges_g_jackknife(std::span<const double> x, std::span<const double> y);

// The jackknife values of the paired g: the differences without each one.
std::vector<double> hedges_g_paired_jackknife(std::span<const double> d);

// The lift of x over y from their means: (mean_x − mean_y) / mean_y, which is
// mean_x / mean_y − 1 without the cancellation of the subtracted 1; not a
// finite number where mean_y is 0.
double lift(double mean_x, double mean_y);

// The jackknife values of the unpaired lift: x without each of its values in
// turn, then y without each of its values.
std::vector<double> lift_jackknife(std::span<const double> x, std::span<const double> y);

// The jackknife values of the paired lift: the pairs without each one, from
// their differences d = x − y and their second halves y.
std::vector<double> lift_paired_jackknife(std::span<const double> d, std::span<const double> y);

// Cohen's h of two proportions, 2 asin(sqrt(p_x)) - 2 asin(sqrt(p_y))
// (Cohen 1988, sec. 6.2), each proportion taken within [0, 1] first (a
// mean of 0/1 values formed by sums may round a hair beyond); NaN for NaN.
double cohens_h(double p_x, double p_y);

// The jackknife values of the unpaired h: x without each of its values in
// turn, then y without each of its values (as lift_jackknife).
std::vector<double> cohens_h_jackknife(std::span<const double> x, std::span<const double> y);

// The jackknife values of the paired h: the pairs without each one, from
// their first halves x and second halves y.
std::vector<double> cohens_h_paired_jackknife(std::span<const double> x, std::span<const double> y);

// Cliff's delta of two sorted samples, value i counted below[i + 1] − below[i]
// times (cumulative counts, below[0] = 0; an empty `below` counts each once):
// exact for ties, O(n_x + n_y).
double cliffs_delta(std::span<const double> sorted_x, std::span<const std::uint32_t> below_x,
                    std::span<const double> sorted_y, std::span<const std::uint32_t> below_y);

// Where the values of one sorted sample stand among those of another: for
// each value sorted_x[i], the number of values of sorted_y below it and up to
// it. Made once for two samples, it gives Cliff's delta of any of their
// resamples without a comparison.
struct DeltaPlaces {
  std::vector<std::uint32_t> below, up_to;
};
DeltaPlaces delta_places(std::span<const double> sorted_x, std::span<const double> sorted_y);

// Cliff's delta of resamples of the two sorted samples of `places`, from their
// cumulative counts (as above, neither empty): the same number, in O(n_x).
double cliffs_delta(const DeltaPlaces& places, std::span<const std::uint32_t> below_x,
                    std::span<const std::uint32_t> below_y);

// Cliff's delta of two samples in any order, O(n log n).
double cliffs_delta(std::span<const double> x, std::span<const double> y);

// The jackknife values of Cliff's delta: x without each of its values in
// turn, then y without each of its values.
std::vector<double> cliffs_delta_jackknife(std::span<const double> x, std::span<const double> y);

}  // namespace diffboot::bootstrap
