#pragma once
// The cluster bootstrap of an unpaired experiment (Davison and Hinkley 1997,
// sec. 3.8; Field and Welsh, JRSS B 69 (2007) 369): the values of a sample
// come in clusters (a user's sessions, an order's items), and the clusters,
// not the values, are what was drawn at random. A replication draws each
// sample's clusters with replacement, as many as it has, and forms every
// measure on the values of the clusters drawn: the mean is the mean of those
// values (a ratio of sums), the median theirs, and so on. The BCa
// acceleration comes from the jackknife that leaves out one cluster at a time.
//
// The draws are those of the plain bootstrap with clusters for values:
// replication k draws m_x positions among sample 1's m_x clusters, then m_y
// among sample 2's, from the same stream with the same calls as a plain run
// of m_x and m_y values. A sample whose clusters each hold one value is thus
// resampled as the plain run resamples it, replicate for replicate.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "bootstrap/bootstrap.h"
#include "bootstrap/leave_one_out.h"

namespace diffboot::bootstrap {

// A sample and the cluster of each of its values: cluster[i] in [0, m), m
// the number of clusters, every one of them holding a value.
struct ClusteredSample {
  std::span<const double> values;
  std::span<const std::uint32_t> cluster;
};

// The number of clusters of `s` (one more than its largest cluster number).
std::size_t cluster_count(const ClusteredSample& s);

// Whether every cluster of `s` holds exactly one value (the values are not read).
bool one_value_each(const ClusteredSample& s);

// The statistics of the sample without each cluster in turn: column u holds
// the mean, the standard deviation (divisor n − 1, n the values left), the
// median and the scaled MAD of the values outside cluster u. Means and
// standard deviations by accurate sums (the sample's less the cluster's,
// each rounded once, as leave_one_out_by_algebra forms them); the order
// statistics read off the sample sorted once, skipping the cluster's values.
// A negative zero is read as +0. Every cluster must leave two values.
LeaveOneOut leave_one_cluster_out(const ClusteredSample& s, Spread spread);

// The p-quantile (numeric::quantile_of_ranks) of the sample without each
// cluster in turn.
std::vector<double> leave_one_cluster_out_quantiles(const ClusteredSample& s, double p);

// The jackknife values of Hedges' g, Cliff's delta and the lift with one
// cluster left out: x without each of its clusters in turn, then y without
// each of its clusters.
std::vector<double> hedges_g_cluster_jackknife(const ClusteredSample& x, const ClusteredSample& y);
std::vector<double> cliffs_delta_cluster_jackknife(const ClusteredSample& x, const ClusteredSample& y);
std::vector<double> lift_cluster_jackknife(const ClusteredSample& x, const ClusteredSample& y);

// The cluster bootstrap of an unpaired run: measures d_AVE, d_MED, d_STD,
// d_MAD as bootstrap_unpaired fills them (estimates set by the caller, but
// for the quantile measures' estimates, set here), the effect sizes with
// them. g of a replicate takes the replicate's numbers of values. The
// acceleration: of the differences over the m_x·m_y grid of a cluster left
// out of each sample (by algebra beyond largest_written_grid clusters'
// pairs, as the plain grid) or by the two-sample formula; of g, delta and
// the lift from their cluster jackknife values pooled (grid) or by the
// two-sample formula. With `threads` > 1 the replications run in blocks,
// the same bits as from one thread. Each sample needs two clusters at
// least (the caller asks for more).
void bootstrap_clusters(const ClusteredSample& x1, const ClusteredSample& x2, std::array<Measure, 4>& measures,
                        double alpha, numeric::UniformState& g, unsigned threads, Progress* progress = nullptr,
                        const EffectSizes& effect_sizes = {}, JackknifeSums sums = JackknifeSums::by_size,
                        AccelerationMethod method = AccelerationMethod::grid);

// The units of work `progress` counts are those of work_units() for a plain
// run of m_x and m_y values: m_x + m_y a replication, and the grid's pairs.

}  // namespace diffboot::bootstrap
