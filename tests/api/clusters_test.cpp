// The library's cluster bootstrap (Options::clusters): keys of one value
// each give the plain run, and the input it refuses, in its words.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "diffboot/diffboot.h"

namespace diffboot {
namespace {

std::vector<double> values(std::size_t n, double shift) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = shift + static_cast<double>((i * 7919) % 23) / 4.0;
  return v;
}

std::vector<std::string> keys(std::size_t n, const std::string& prefix, std::size_t per_cluster) {
  std::vector<std::string> k(n);
  for (std::size_t i = 0; i < n; ++i) k[i] = prefix + std::to_string(i / per_cluster);
  return k;
}

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void expect_same(const Results& a, const Results& b) {
  ASSERT_EQ(a.measures.size(), b.measures.size());
  for (std::size_t k = 0; k < a.measures.size(); ++k) {
    const MeasureResult &p = a.measures[k], &q = b.measures[k];
    EXPECT_EQ(p.name, q.name);
    for (double MeasureResult::*f : {&MeasureResult::estimate, &MeasureResult::se, &MeasureResult::bias,
                                     &MeasureResult::t_lower, &MeasureResult::t_upper, &MeasureResult::bca_lower,
                                     &MeasureResult::bca_upper, &MeasureResult::percentile_lower,
                                     &MeasureResult::percentile_upper, &MeasureResult::z0, &MeasureResult::acceleration}) {
      EXPECT_TRUE(same(p.*f, q.*f)) << p.name << ": " << p.*f << " " << q.*f;
    }
  }
}

TEST(ClustersApiTest, KeysOfOneValueEachGiveThePlainRun) {
  const std::vector<double> x = values(40, 1.0), y = values(35, 0.5);
  for (const std::vector<std::string>& measures : {std::vector<std::string>{}, std::vector<std::string>{"all"}}) {
    Options plain;
    plain.replications = 499, plain.measures = measures, plain.threads = 2;
    Options clustered = plain;
    clustered.clusters = {keys(40, "a", 1), keys(35, "b", 1)};
    const Results r = analyse(x, y, clustered);
    expect_same(analyse(x, y, plain), r);
    EXPECT_EQ(r.clusters_x, 40);
    EXPECT_EQ(r.clusters_y, 35);
  }
}

TEST(ClustersApiTest, ThreadsChangeNoBit) {
  const std::vector<double> x = values(60, 1.0), y = values(50, 0.0);
  Options one;
  one.replications = 299, one.threads = 1, one.measures = {"all"}, one.quantiles = {0.9};
  one.clusters = {keys(60, "a", 4), keys(50, "b", 3)};
  Options four = one;
  four.threads = 4;
  const Results r = analyse(x, y, one);
  expect_same(r, analyse(x, y, four));
  EXPECT_EQ(r.clusters_x, 15);
  EXPECT_EQ(r.clusters_y, 17);
  EXPECT_EQ(r.n_x, 60);
}

TEST(ClustersApiTest, RefusedInput) {
  const std::vector<double> x = values(9, 1.0), y = values(8, 0.0);
  struct Case {
    const char* what;
    std::vector<std::string> kx, ky;
    Experiment experiment;
    std::int32_t permutations;
    Missing missing;
    const char* message;
  };
  const std::vector<std::string> kx = keys(9, "a", 3), ky = keys(8, "b", 2);
  std::vector<std::string> shared = ky, keyless = kx, two = keys(9, "a", 5);
  shared[5] = "a1";
  keyless[4] = "";
  const Case cases[] = {
      {"a key in both samples", kx, shared, Experiment::unpaired, 0, Missing::error,
       "the cluster \"a1\" has values in both sample 1 and sample 2: each cluster is one unit, randomised to one arm"},
      {"two clusters", two, ky, Experiment::unpaired, 0, Missing::error,
       "sample 1 has 2 clusters: the cluster bootstrap needs at least 3 in each sample"},
      {"an empty key", keyless, ky, Experiment::unpaired, 0, Missing::error,
       "sample 1 has a value without a cluster (an empty key) at position 5; Missing::skip leaves such values out"},
      {"paired", kx, keys(9, "b", 3), Experiment::paired, 0, Missing::error,
       "clusters go with an unpaired experiment: in a paired one the pair is the unit resampled"},
      {"keys short of the values", kx, keys(7, "b", 2), Experiment::unpaired, 0, Missing::error,
       "the clusters: 9 and 7 keys for samples of 9 and 8 values (one for each value)"},
      {"p-values", kx, ky, Experiment::unpaired, 99, Missing::error,
       "permutation p-values move values one at a time, not clusters: they are not given with clusters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Options o;
    o.replications = 99, o.experiment = c.experiment, o.permutations = c.permutations, o.missing = c.missing;
    o.clusters = {c.kx, c.ky};
    try {
      analyse(x, c.experiment == Experiment::paired ? values(9, 0.0) : y, o);
      ADD_FAILURE() << "not refused";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(ClustersApiTest, ValuesWithoutAKeyLeftOutAndCounted) {
  std::vector<double> x = values(12, 1.0);
  const std::vector<double> y = values(8, 0.0);
  std::vector<std::string> kx = keys(12, "a", 3);
  kx[2] = kx[7] = "";
  x[10] = std::nan("");
  Options o;
  o.replications = 99, o.missing = Missing::skip;
  o.clusters = {kx, keys(8, "b", 2)};
  const Results r = analyse(x, y, o);
  EXPECT_EQ(r.n_x, 9);
  EXPECT_EQ(r.no_cluster_x, 2);
  EXPECT_EQ(r.missing_x, 1);
  EXPECT_EQ(r.clusters_x, 4);
}

}  // namespace
}  // namespace diffboot
