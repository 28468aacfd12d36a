#pragma once
// A sample's summary as the program's reports give it (its json's samples):
// mean, standard deviation (divisor n - 1), median, MAD (scaled by 1.4826)
// and extremes, the same bits.
#include <span>

namespace diffboot {

struct SampleSummary {
  double mean, sd, median, mad, min, max;
};

// Of the values analysed (no NaN among them).
SampleSummary sample_summary(std::span<const double> values);

}  // namespace diffboot
