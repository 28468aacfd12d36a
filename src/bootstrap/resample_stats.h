#pragma once
// Statistics of bootstrap resamples of one fixed sample. The median and the
// MAD of a resample are order statistics of values of the sample, so they are
// read off counts over the sample sorted once, in linear time and without
// reordering anything; they are bit-identical to med_mad on the resample.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "numeric/huge_pages.h"
#include "numeric/random.h"

namespace diffboot::bootstrap {

struct ResampleStats {
  double ave, std, med, mad;  // std is the square root of the ave_var variance
};

class ResampleCounter {
 public:
  // Prepares for resamples of x, which must outlive the counter. Copies share
  // the sample's sorted order (made once) and draw on their own.
  explicit ResampleCounter(std::span<const double> x);

  // Draws one resample of x into out (as `resample` does, consuming x.size()
  // deviates) and returns its mean, standard deviation, median and MAD
  // (without `spread`, a sample with a plain order leaves the standard
  // deviation and the MAD at 0).
  ResampleStats draw(numeric::UniformState& g, std::span<double> out, bool spread = true);

  // The sample sorted and how often the last resample drew each of its
  // values; both empty for a sample without a plain order (NaN or −0), whose
  // resamples must be sorted instead.
  std::span<const double> sorted() const {
    return counted_ ? std::span<const double>(order_->sorted) : std::span<const double>();
  }
  std::span<const std::uint32_t> counts() const {
    return counted_ ? std::span<const std::uint32_t>(count_) : std::span<const std::uint32_t>();
  }

 private:
  // From this size on a resample's scattered reads are asked for ahead, this
  // many draws before they are needed.
  static constexpr std::size_t prefetched_size = std::size_t{1} << 17;
  static constexpr std::size_t prefetch_distance = 32;

  double gather_and_count(std::span<double> out);
  double kth_value(std::size_t k) const;
  double kth_deviation(double med, std::size_t k) const;

  // A value of x with its rank: the two reads of a draw in one cache line
  // (mostly), packed into 12 bytes so that more of them stay in the caches.
  struct [[gnu::packed]] Entry {
    double value;
    std::uint32_t rank;  // its position in `sorted`
  };
  struct Order {
    numeric::LargeArray<double> sorted;
    numeric::LargeArray<Entry> entries;  // by position in x
  };

  std::span<const double> x_;
  numeric::PositionDrawer positions_;
  std::shared_ptr<const Order> order_;
  numeric::LargeArray<std::uint32_t> drawn_;  // positions drawn for the current resample
  numeric::LargeArray<std::uint32_t> count_;  // draws of each sorted position
  numeric::LargeArray<std::uint32_t> below_;  // below_[r]: draws of sorted positions before r
  std::vector<double> work_;          // for samples without a sorted order
  bool counted_;                      // false: NaN or -0.0 present, use med_mad
};

}  // namespace diffboot::bootstrap
