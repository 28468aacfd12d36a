// Runs of several groups (--control, --sequential): each comparison is the
// run of its two samples bit for bit, a comparison of too few pairs stops
// alone, and bad lists of groups stop before anything is computed.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/groups.h"
#include "app/batch.h"
#include "support/console_capture.h"
#include "support/program.h"
#include "support/samples.h"

namespace diffboot::app {
namespace {

using Args = std::vector<std::string>;

struct Ran {
  int status;
  std::string out, err;
};

Ran run(const Args& args) {
  testing::ConsoleCapture capture;
  const int status = run_command_line(args, 1);
  return {status, capture.out(), capture.err()};
}

Args joined(Args a, const Args& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class GroupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Repeated measures: ids 1-7 at t0, some missing at t1 and t2, rows in
    // no order, one value missing.
    testing::write_file("rm.csv",
                        "id,time,value\n1,t0,5.1\n2,t0,4.7\n3,t0,6.2\n4,t0,5.5\n5,t0,4.9\n6,t0,6.0\n7,t0,5.2\n"
                        "3,t1,6.9\n1,t1,5.8\n2,t1,5.0\n5,t1,5.9\n6,t1,6.1\n7,t1,NA\n4,t2,7.0\n1,t2,6.4\n2,t2,5.3\n"
                        "3,t2,7.4\n6,t2,6.6\n8,t2,6.0\n");
    testing::write_sample("c.txt", testing::shaped_sample("skewed", 11, 3));
    testing::write_sample("a.txt", testing::shaped_sample("random", 9, 4));
    testing::write_sample("b.txt", testing::shaped_sample("random", 13, 5));
  }
  testing::TempDir dir_;
};

TEST_F(GroupsTest, EachComparisonIsTheRunOfItsTwoSamples) {
  // Each comparison's json is that of the two-sample run, its comparison
  // and p_holm keys aside; p_holm is Holm's adjustment of p_permutation.
  struct Case {
    Args options;     // shared by the run of groups and the two-sample runs
    Args design;      // --control G0 G1 ... or --sequential G0 G1 ...
    std::vector<std::pair<std::string, std::string>> pairs;  // each comparison's x and y
  };
  const Args long_form = {"--table", "rm.csv", "--by", "time", "--value", "value"};
  const Case cases[] = {
      {joined({"-u"}, long_form), {"--control", "t0", "t1", "t2"}, {{"t1", "t0"}, {"t2", "t0"}}},
      {joined({"-p", "--id", "id"}, long_form), {"--control", "t0", "t2", "t1"}, {{"t2", "t0"}, {"t1", "t0"}}},
      {joined({"-p", "--id", "id", "--measures", "all"}, long_form), {"--sequential", "t0", "t1", "t2"},
       {{"t1", "t0"}, {"t2", "t1"}}},
      {{"-u", "-s", "77"}, {"--sequential", "c.txt", "a.txt", "b.txt"}, {{"a.txt", "c.txt"}, {"b.txt", "a.txt"}}},
  };
  const Args common = {"-f", "json", "-B", "199", "--p-values", "--permutations", "199"};
  for (const Case& c : cases) {
    const Ran groups = run(joined(joined(c.options, common), c.design));
    ASSERT_EQ(groups.status, 0) << groups.err;
    const nlohmann::json all = nlohmann::json::parse(groups.out);
    EXPECT_EQ(all["design"], c.design[0].substr(2));
    ASSERT_EQ(all["comparisons"].size(), c.pairs.size());
    std::vector<std::vector<double>> p(all["comparisons"][0]["measures"].size());
    for (std::size_t k = 0; k < c.pairs.size(); ++k) {
      nlohmann::json got = all["comparisons"][k];
      const auto& [x, y] = c.pairs[k];
      EXPECT_EQ(got["comparison"], x + " - " + y);
      got.erase("comparison");
      for (std::size_t i = 0; i < got["measures"].size(); ++i) {
        p[i].push_back(got["measures"][i]["p_permutation"]);
        got["measures"][i].erase("p_holm");
      }
      const Ran alone = run(joined(joined(c.options, common), {x, y}));
      ASSERT_EQ(alone.status, 0) << alone.err;
      EXPECT_EQ(got, nlohmann::json::parse(alone.out)) << x << " - " << y;
    }
    for (std::size_t i = 0; i < p.size(); ++i) {
      const std::vector<double> adjusted = analysis::holm(p[i]);
      for (std::size_t k = 0; k < c.pairs.size(); ++k) {
        EXPECT_EQ(all["comparisons"][k]["measures"][i]["p_holm"].get<double>(), adjusted[k]);
      }
    }
  }
}

TEST_F(GroupsTest, CsvAndTextNameEachComparison) {
  const Args run_of = {"-p", "--id", "id", "-B", "199", "--table", "rm.csv", "--by", "time", "--value", "value",
                       "--sequential", "t0", "t1", "t2"};
  const Ran csv = run(joined(run_of, {"-f", "csv"}));
  ASSERT_EQ(csv.status, 0) << csv.err;
  const std::vector<std::string> lines = testing::split(csv.out, '\n');
  ASSERT_EQ(lines.size(), 5u);  // the header, two measures of two comparisons
  EXPECT_TRUE(lines[0].starts_with("comparison,measure,estimate,")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("t1 - t0,AVE_d,")) << lines[1];
  EXPECT_TRUE(lines[4].starts_with("t2 - t1,MED_d,")) << lines[4];
  // Standard error says what each comparison left out, under its name.
  EXPECT_NE(csv.err.find("t1 - t0: pairs: 2 of 7 left out (t1 missing in 2)\n"), std::string::npos) << csv.err;

  const Ran text = run(run_of);
  ASSERT_EQ(text.status, 0) << text.err;
  const std::size_t first = text.out.find("t1 - t0\r\n"), second = text.out.find("t2 - t1\r\n");
  ASSERT_NE(first, std::string::npos) << text.out;
  ASSERT_NE(second, std::string::npos) << text.out;
  EXPECT_LT(text.out.find("Sample 1 (x): rm.csv: time = t1"), second);
  EXPECT_GT(text.out.find("Sample 1 (x): rm.csv: time = t2"), second);
}

TEST_F(GroupsTest, AComparisonOfTooFewPairsStopsAlone) {
  testing::write_file("few.csv", "id,time,value\n1,t1,1\n2,t1,2\n3,t1,3\n1,t2,4\n2,t2,5\n3,t2,6\n1,t3,4\n9,t3,5\n");
  const Args run_of = {"-p", "--id", "id", "-B", "199", "--table", "few.csv", "--by", "time", "--value", "value",
                       "--control", "t1", "t2", "t3", "-f", "json"};
  const Ran r = run(run_of);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("t3 - t1: Too few values for a paired experiment: at least 2 pairs are needed - terminate\n"),
            std::string::npos)
      << r.err;
  const nlohmann::json all = nlohmann::json::parse(r.out);
  EXPECT_EQ(all["comparisons"][0]["comparison"], "t2 - t1");
  EXPECT_EQ(all["comparisons"][0]["measures"].size(), 2u);
  EXPECT_EQ(all["comparisons"][1],
            (nlohmann::json{{"comparison", "t3 - t1"},
                            {"stopped", "Too few values for a paired experiment: at least 2 pairs are needed"}}));
}

TEST_F(GroupsTest, BadGroupsStopBeforeAnythingIsComputed) {
  testing::write_file("bad.csv", "g,v\na,1\na,2\na,3\nb,4\nb,5\nb,6\nb,8\nc,x\n");
  const Args table = {"-u", "--table", "bad.csv", "--by", "g", "--value", "v"};
  const std::string usage = "\nTry 'diffboot --help'.\n";
  struct Case {
    Args args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {joined(table, {"--control", "a", "d", "b"}), 1,
       "diffboot: the table \"bad.csv\" has no group \"d\" in column \"g\" (its groups: a, b, c)\n"},
      {joined(table, {"--control", "a", "b", "b"}), 2, "diffboot: the group \"b\" is named twice: name each group once" + usage},
      {joined(table, {"--control", "a", "b", "a"}), 2,
       "diffboot: the control \"a\" is among the groups compared with it (\"a\")" + usage},
      {joined(table, {"--sequential", "a"}), 2, "diffboot: 1 group named (\"a\"), but a comparison needs two" + usage},
      {joined(table, {"--control", "a"}), 2, "diffboot: 1 group named (\"a\"), but a comparison needs two" + usage},
      {joined(table, {"--control", "a", "--sequential", "b"}), 2,
       "diffboot: --control and --sequential are two designs: give one" + usage},
      {joined(table, {"-C", ".", "--control", "a", "b"}), 2,
       "diffboot: --directory is for a run of two samples, not for the comparisons of --control" + usage},
      // The bad cell of the last group stops the run before the first comparison is computed.
      {joined(table, {"--sequential", "a", "b", "c"}), 1,
       "diffboot: the table \"bad.csv\", line 9, column \"v\": \"x\" is not a number\n"},
  };
  for (const Case& c : cases) {
    const Ran r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "") << c.err;
  }
}

}  // namespace
}  // namespace diffboot::app
