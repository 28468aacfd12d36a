// Frames as doors hand them over, read by the tables' rules.
#include "diffboot/frames.h"

#include "tables/frames.h"
#include "tables/long_form.h"
#include "tables/table.h"

namespace diffboot {
namespace {

tables::FrameColumn internal(const Column& c, bool outcomes = false) {
  return {c.name, c.numbers, c.texts, c.missing, c.is_text, outcomes};
}

FrameSamples samples_of(tables::TwoSamples s) {
  FrameSamples out;
  out.x = std::move(s.x), out.y = std::move(s.y);
  out.labels = {std::move(s.label_x), std::move(s.label_y)};
  out.missing_x = s.missing_x, out.missing_y = s.missing_y, out.pairs_dropped = s.pairs_dropped;
  out.notes = std::move(s.notes);
  return out;
}

template <class Read>
FrameSamples read(const Read& r) {
  try {
    return samples_of(r());
  } catch (const tables::TableError& e) {
    throw Error(e.what());
  }
}

Results with_counts(Results r, const FrameSamples& s) {
  r.missing_x = s.missing_x, r.missing_y = s.missing_y;
  r.pairs_dropped = r.options.experiment == Experiment::paired ? s.pairs_dropped : 0;
  return r;
}

}  // namespace

FrameSamples frame_columns(const Column& a, const Column& b, Experiment e, bool proportions) {
  return read([&] {
    return tables::frame_columns(internal(a, proportions), internal(b, proportions), e == Experiment::paired);
  });
}

FrameSamples frame_groups(const Column& by, const Column& value, const Column& id, const std::array<std::string, 2>& groups,
                          Experiment e, bool proportions) {
  return read([&] {
    return tables::frame_groups(internal(by), internal(value, proportions), internal(id), groups, e == Experiment::paired);
  });
}

Results analyse(const FrameSamples& s, const Options& options) { return with_counts(analyse(s.x, s.y, options), s); }

Results analyse(const FrameSamples& s, const Options& options, Control& control) {
  return with_counts(analyse(s.x, s.y, options, control), s);
}

Clusters frame_clusters(const Column& by, const Column& value, const Column& cluster,
                        const std::array<std::string, 2>& groups, Experiment e) {
  if (e == Experiment::paired) {
    throw Error("clusters go with an unpaired experiment: in a paired one the pair is the unit resampled");
  }
  const tables::FrameColumn b{by.name, by.numbers, by.texts, by.missing, by.is_text};
  const tables::FrameColumn v{value.name, value.numbers, value.texts, value.missing, value.is_text};
  const tables::FrameColumn c{cluster.name, cluster.numbers, cluster.texts, cluster.missing, cluster.is_text};
  if (v.size() != b.size() || c.size() != b.size() || (!c.missing.empty() && c.missing.size() != c.size())) {
    throw Error("the column \"" + cluster.name + "\" has " + std::to_string(c.size()) + " rows, not " +
                std::to_string(b.size()) + " as the others");
  }
  Clusters out;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (b.missing_at(i) || v.missing_at(i)) continue;  // not a value of either sample
    const std::string group = b.key(i);
    for (std::size_t k = 0; k < 2; ++k) {
      if (tables::same_group(group, groups[k])) (k == 0 ? out.x : out.y).push_back(c.key(i));
    }
  }
  return out;
}

}  // namespace diffboot
