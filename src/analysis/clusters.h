#pragma once
// The clusters of an unpaired experiment's values, named by keys (a user's
// id, an order's number): the values of one key form one cluster, the unit
// the cluster bootstrap draws. Keys are numbered per sample in the order of
// their first value; a value without a key is left out and counted.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace diffboot::analysis {

// The fewest clusters of each sample: the leave-one-cluster-out jackknife
// needs two left, and two clusters give a resample of one cluster in four.
inline constexpr std::int64_t min_clusters = 3;

// Two samples' values with their clusters numbered (bootstrap::ClusteredSample).
struct NumberedClusters {
  std::vector<double> x, y;                     // the values that have a key
  std::vector<std::uint32_t> cluster_x, cluster_y;
  std::int64_t clusters_x = 0, clusters_y = 0;  // the clusters of each sample
  std::int64_t keyless_x = 0, keyless_y = 0;    // values left out for want of a key
  std::int64_t first_keyless_x = 0, first_keyless_y = 0;  // the position (from 1) of the first of them
};

// Why keys cannot be a run's clusters, as a message.
class ClusterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Numbers the clusters of x (keys_x[i] the key of x[i]; empty: none) and y.
// A key of both samples is refused, as are samples of fewer than
// min_clusters clusters: the message names the sample as `name_x` or
// `name_y` ("sample 1", or a group) and is thrown as ClusterError.
NumberedClusters number_clusters(std::span<const double> x, std::span<const std::string> keys_x,
                                 std::span<const double> y, std::span<const std::string> keys_y,
                                 const std::string& name_x, const std::string& name_y);

}  // namespace diffboot::analysis
