// A sample's summary, as the program's reports compute it.
#include "diffboot/summary.h"

#include "numeric/summaries.h"

namespace diffboot {

SampleSummary sample_summary(std::span<const double> values) {
  const numeric::SampleSummary s = numeric::summarize(values);
  return {s.ave, s.std, s.med, s.mad, s.min, s.max};
}

}  // namespace diffboot
