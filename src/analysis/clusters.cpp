#include "analysis/clusters.h"

#include <stdexcept>
#include <unordered_map>

namespace diffboot::analysis {
namespace {

// The first 60 bytes of a key, for a message.
std::string shown_key(const std::string& key) { return key.size() <= 60 ? key : key.substr(0, 60) + "..."; }

}  // namespace

NumberedClusters number_clusters(std::span<const double> x, std::span<const std::string> keys_x,
                                 std::span<const double> y, std::span<const std::string> keys_y,
                                 const std::string& name_x, const std::string& name_y) {
  if (keys_x.size() != x.size() || keys_y.size() != y.size()) {
    throw ClusterError("the clusters: " + std::to_string(keys_x.size()) + " and " + std::to_string(keys_y.size()) +
                       " keys for samples of " + std::to_string(x.size()) + " and " + std::to_string(y.size()) +
                       " values (one for each value)");
  }
  NumberedClusters out;
  std::unordered_map<std::string, std::uint32_t> number_x, number_y;
  const auto take = [](std::span<const double> v, std::span<const std::string> keys,
                       std::unordered_map<std::string, std::uint32_t>& number, std::vector<double>& values,
                       std::vector<std::uint32_t>& cluster, std::int64_t& keyless, std::int64_t& first_keyless) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (keys[i].empty()) {
        if (keyless++ == 0) first_keyless = static_cast<std::int64_t>(i) + 1;
        continue;
      }
      const auto [at, is_new] = number.try_emplace(keys[i], static_cast<std::uint32_t>(number.size()));
      values.push_back(v[i]);
      cluster.push_back(at->second);
    }
  };
  take(x, keys_x, number_x, out.x, out.cluster_x, out.keyless_x, out.first_keyless_x);
  take(y, keys_y, number_y, out.y, out.cluster_y, out.keyless_y, out.first_keyless_y);
  // The first key of sample 1 (in its order) that sample 2 has too.
  std::vector<const std::string*> by_number(number_x.size());
  for (const auto& [key, n] : number_x) by_number[n] = &key;
  for (const std::string* key : by_number) {
    if (number_y.contains(*key)) {
      throw ClusterError("the cluster \"" + shown_key(*key) + "\" has values in both " + name_x + " and " + name_y +
                         ": each cluster is one unit, randomised to one arm");
    }
  }
  out.clusters_x = static_cast<std::int64_t>(number_x.size());
  out.clusters_y = static_cast<std::int64_t>(number_y.size());
  for (const auto& [name, count] : {std::pair{&name_x, out.clusters_x}, std::pair{&name_y, out.clusters_y}}) {
    if (count < min_clusters) {
      throw ClusterError(*name + " has " + std::to_string(count) + (count == 1 ? " cluster" : " clusters") +
                         ": the cluster bootstrap needs at least " + std::to_string(min_clusters) + " in each sample");
    }
  }
  return out;
}

}  // namespace diffboot::analysis
