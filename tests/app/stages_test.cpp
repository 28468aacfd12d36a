// Stages whose work is not visible in a report line by line: the size
// check, and the names and counts the samples are found with.
#include "app/stages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/run_values.h"
#include "support/console_capture.h"

namespace diffboot::app {
namespace {

TEST(StagesTest, CountBeyondThirtyTwoBitsCannotBeAllocated) {
  const std::int64_t largest = std::numeric_limits<std::int32_t>::max();
  testing::ConsoleCapture capture;
  EXPECT_EQ(sample_size(largest, "x: space requested not possible - terminate"), largest);
  const app::RunEnd end =
      testing::run_end_of([&] { sample_size(largest + 1, "y: space requested not possible - terminate"); });
  EXPECT_EQ(end.error_text, "");
  EXPECT_EQ(capture.out(), " y: space requested not possible - terminate\r\n");
}

// The samples a run finds, then reads: how a header line, --labels and a
// table name them, and what each leaves out.
TEST(StagesTest, SamplesAreFoundThenReadAsValues) {
  testing::TempDir dir;
  testing::write_file("x.txt", "weight\n1\nNA\n2\n3\n");
  testing::write_file("y.txt", "4\n5\n6\n7\n");
  testing::write_file("t.csv", "g,v\na,1\na,NA\na,3\nb,4\nb,5\nb,6\n");
  const SampleNames files{name_field("x.txt"), name_field("y.txt"), "x.txt", "y.txt", "x.txt", "y.txt", "x.txt", "y.txt", {}, false};
  RunConfig labelled;
  labelled.labels = std::pair<std::string, std::string>{"before", "after"};
  const tables::SampleSource table{"t.csv", "a", "b", "", "g", "v", "", std::nullopt, false, false};
  const struct {
    const char* what;
    SampleSource source;
    RunConfig config;
    std::string label_x, label_y;
    bool labelled_histograms;
    std::vector<double> x;
    std::int64_t missing_x;
  } cases[] = {
      {"files: the header names sample 1", {files, std::nullopt, false}, {}, "weight", "y.txt", false, {1, 2, 3}, 1},
      {"files with --labels", {files, std::nullopt, false}, labelled, "before", "after", true, {1, 2, 3}, 1},
      {"a table's groups", {files, table, false}, {}, "a", "b", true, {1, 3}, 1},
  };
  for (const auto& c : cases) {
    testing::ConsoleCapture capture;
    FoundSamples found = find_samples(c.source, c.config);
    EXPECT_EQ(found.names.label_x, c.label_x) << c.what;
    EXPECT_EQ(found.names.label_y, c.label_y) << c.what;
    EXPECT_EQ(found.names.labelled_histograms, c.labelled_histograms) << c.what;
    const Samples samples = read_samples(c.source, std::move(found));
    EXPECT_EQ(samples.x, c.x) << c.what;
    EXPECT_EQ(samples.counts.n_x, static_cast<std::int32_t>(c.x.size())) << c.what;
    EXPECT_EQ(samples.counts.missing_x, c.missing_x) << c.what;
    EXPECT_EQ(samples.summaries.x.ave, 2.0) << c.what;
  }
}

}  // namespace
}  // namespace diffboot::app
