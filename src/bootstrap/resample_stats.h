#pragma once
// Statistics of bootstrap resamples of one fixed sample. The median and the
// MAD of a resample are order statistics of values of the sample, so they are
// read off counts over the sample sorted once, in linear time and without
// reordering anything; they are bit-identical to med_mad on the resample.
//
// Samples of more than largest_single_deviate_resample values, all finite
// and not all equal, are resampled by rank: each draw picks a position in the
// sorted sample, so that a draw is one count of a byte and nothing else, and
// the mean and standard deviation come from the counts (`counted_moments`).
// Other samples draw positions in the written order and sum the resample in
// draw order, as ave_var does.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "numeric/huge_pages.h"
#include "numeric/random.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {

struct ResampleStats {
  double ave, std, med, mad;  // std is the square root of the ave_var variance
};

// What a draw forms besides the resample's mean; what it does not form is 0.
// Without `order` a sample in the written order is neither counted nor
// ranked, and below(), quantile() and companion_mean() have nothing to read.
struct Wanted {
  bool sd = true;     // the standard deviation
  bool order = true;  // the counts and the median
  bool mad = true;    // the MAD (with order)
};

// The mean and the standard deviation of the resample that holds sorted[r]
// c_r = below[r + 1] − below[r] times (cumulative counts, n = below.back()
// values in all): the mean's sum Σ c_r·sorted[r] and the variance's sums
// Σ c_r·d·d and Σ c_r·d over d = sorted[r] − mean (c_r·d formed first) each
// in four running sums, rank r going to sum r mod 4, which are added as
// (s0 + s1) + (s2 + s3); then the corrected two-pass variance,
// (Σ c·d·d − (Σ c·d)²/n)/(n − 1), as ave_var forms it. Sums that overflow
// although the values are finite are formed again on the values times a
// power of two and scaled back (exact). All values must be finite, n ≥ 2.
numeric::MeanSd counted_moments(std::span<const double> sorted, std::span<const std::uint32_t> below, bool spread);

// Writes below[r] = the draws of ranks before r (r = 0..m, m = narrow.size())
// from the draws' counts modulo 256, `narrow`; where a count reached 256
// (the narrow counts then add up to less than ranks.size()) it counts the
// drawn ranks themselves.
void cumulative_counts(std::span<const std::uint8_t> narrow, std::span<const std::uint32_t> ranks,
                       std::span<std::uint32_t> below);

class ResampleCounter {
 public:
  // Prepares for resamples of x, which must outlive the counter. Copies share
  // the sample's sorted order (made once) and draw on their own.
  explicit ResampleCounter(std::span<const double> x);

  // Draws one resample of x (consuming resample_deviates(x.size()) deviates)
  // and returns its mean and what `wanted` asks of its standard deviation,
  // median and MAD (the others 0), each with the bits of the literal route.
  ResampleStats draw(numeric::UniformState& g, Wanted wanted = {});

  // Draws a resample of a and then one of b, as a.draw(g, wanted) and then
  // b.draw(g, wanted) do, to their bits; samples in the written order that
  // fit the caches have their sums, chains of additions in draw order, run
  // side by side.
  static std::pair<ResampleStats, ResampleStats> draw_both(ResampleCounter& a, ResampleCounter& b,
                                                           numeric::UniformState& g, Wanted wanted = {});

  // Replication k's statistics, handed on by draw_replications.
  using Drawn = std::function<void(std::size_t k, const ResampleStats& a, const ResampleStats& b)>;

  // Draws replications first..last − 1, each a resample of a and then one of
  // b, to the bits of as many calls of draw_both(a, b, g, wanted). Where
  // both samples' sums are safe from overflow and fit the core's cache, each
  // replication's variance sums run beside the next one's gathering, two
  // chains of additions that do not wait for each other; so each
  // replication comes in two steps: counted(k, ...) while a and b hold its
  // resamples (counts, quantiles), its standard deviations not yet formed
  // (0), and spread(k, ...) with them, after counted(k + 1).
  static void draw_replications(ResampleCounter& a, ResampleCounter& b, numeric::UniformState& g, Wanted wanted,
                                std::size_t first, std::size_t last, const Drawn& counted, const Drawn& spread);

  // The last resample drawn, in draw order (empty before the first draw).
  std::span<const double> resample();

  // The p-quantile (0 < p < 1) of the last resample, by the linear
  // interpolation of its order statistics (numeric::quantile_of_ranks): read
  // off the counts where the sample is counted (the draw wanted its order),
  // else by selection in a copy of the resample, as the median is.
  double quantile(double p);

  // The mean of the values that go with the last resample's draws: a draw of
  // sorted()[r] takes by_rank[r] where the draws are counted (summed by
  // rank), a draw of x[i] takes by_position[i] where they are not (summed in
  // draw order; see positions_by_rank).
  double companion_mean(std::span<const double> by_rank, std::span<const double> by_position) const;

  // The positions in x of sorted()'s values, x[p[r]] == sorted()[r], each
  // once; empty where sorted() is.
  std::vector<std::uint32_t> positions_by_rank() const;

  // Whether draws pick positions in the sorted sample rather than in x.
  bool by_rank() const { return by_rank_; }

  // The sample sorted and how often the last resample drew each of its
  // values, as cumulative counts (below()[r]: draws of sorted positions
  // before r); both empty for a sample without a plain order (NaN or −0),
  // whose resamples must be sorted instead, the counts also before a draw
  // and after one that did not want its order.
  std::span<const double> sorted() const {
    return counted_ ? std::span<const double>(order_->sorted) : std::span<const double>();
  }
  std::span<const std::uint32_t> below() const {
    return counts_current_ ? std::span<const std::uint32_t>(below_) : std::span<const std::uint32_t>();
  }

 private:
  // From this size on a resample's scattered reads are asked for ahead, this
  // many draws before they are needed.
  static constexpr std::size_t prefetched_size = std::size_t{1} << 17;
  static constexpr std::size_t prefetch_distance = 32;
  // The largest samples whose variance sums run one replication behind: the
  // second resample buffer must stay in the core's cache with the rest
  // (measured: 9% less time at 10^4 values a sample, more from 3·10^4 on).
  static constexpr std::size_t largest_pipelined = std::size_t{1} << 14;

  bool gathers_in_cache() const;
  static void means_in_pairs(ResampleCounter& a, ResampleCounter& b, numeric::UniformState& g, std::size_t first,
                             std::size_t last, const Drawn& counted, const Drawn& spread);
  static void gather_beside_variance(ResampleCounter& a, ResampleCounter& b, bool counting, ResampleStats& before_a,
                                     ResampleStats& before_b, ResampleStats& a_now, ResampleStats& b_now);
  // Draws the next resample's positions and, where its draws are to be
  // counted, clears the counts.
  void draw_positions(numeric::UniformState& g, bool counting);
  // The i-th draw of a resample in the written order: its value, written to
  // the resample and counted at its position (settled() takes the counts
  // to the ranks).
  double gather(std::size_t i) {
    const std::uint32_t p = drawn_[i];
    resample_[i] = x_[p];
    ++count_[p];
    return resample_[i];
  }
  // The same without its count, for draws that do not want the order.
  double gather_value(std::size_t i) {
    resample_[i] = x_[drawn_[i]];
    return resample_[i];
  }
  ResampleStats settled(ResampleStats s, Wanted wanted);
  ResampleStats with_order_statistics(ResampleStats s, Wanted wanted) const;
  double gather_and_count();
  void count_ranks();
  double kth_value(std::size_t k) const;
  double kth_deviation(double med, std::size_t k) const;

  struct Order {
    numeric::LargeArray<double> sorted;
    numeric::LargeArray<std::uint32_t> position;  // by rank: x[position[r]] == sorted[r]; empty when drawn by rank
  };

  std::span<const double> x_;
  numeric::PositionDrawer positions_;
  std::shared_ptr<const Order> order_;
  numeric::LargeArray<std::uint32_t> drawn_;         // positions drawn for the current resample
  numeric::LargeArray<std::uint32_t> next_drawn_;    // means_in_pairs: the second replication's
  numeric::LargeArray<std::uint32_t> count_;         // draws of each position of x (written order)
  numeric::LargeArray<std::uint8_t> narrow_count_;   // the same modulo 256 (by rank)
  numeric::LargeArray<std::uint32_t> below_;  // below_[r]: draws of sorted positions before r
  std::vector<double> resample_;      // the resample in draw order (by rank: written when asked for)
  std::vector<double> previous_;      // draw_replications: the replication before, its variance pending
  std::vector<double> work_;          // for samples without a sorted order
  bool counted_;                      // false: NaN or -0.0 present, use med_mad
  bool by_rank_;                      // drawn_ holds sorted positions
  bool sums_fit_;                     // |values| below 2^400: no sum of a resample of 2^17 overflows
  bool resample_written_ = false;
  bool counts_current_ = false;       // below_ holds the last resample's counts
};

}  // namespace diffboot::bootstrap
