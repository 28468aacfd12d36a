// The built program run as a user runs it: answers piped on standard input
// in an empty working directory, no plotting program on PATH, TABSIZE unset.
// Standard output, the exit status and every file left behind are compared
// byte for byte with the golden runs in tests/golden.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/console_capture.h"
#include "support/program.h"

namespace diffboot {
namespace {

namespace fs = std::filesystem;

using testing::Outcome;

Outcome run_program_in_cwd() { return testing::run_built_program(); }

// Banner lines whose wording is free: only their length and leading blank count.
bool free_line(std::size_t index) { return (index >= 16 && index <= 18) || (index >= 20 && index <= 22) || index == 24; }

void expect_same_console(const std::string& got, const std::string& expected) {
  const auto a = testing::records(got);
  const auto b = testing::records(expected);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (free_line(i)) {
      EXPECT_EQ(a[i].size(), b[i].size()) << "line " << i + 1;
      EXPECT_EQ(a[i][0], ' ') << "line " << i + 1;
    } else {
      EXPECT_EQ(a[i], b[i]) << "line " << i + 1;
    }
  }
}

std::vector<std::string> golden_cases() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(GOLDEN_DIR)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, MatchesByteForByte) {
  const fs::path golden = fs::path(GOLDEN_DIR) / GetParam();
  testing::TempDir dir;
  for (const auto& entry : fs::directory_iterator(golden / "input")) fs::copy(entry.path(), entry.path().filename());
  const Outcome outcome = run_program_in_cwd();
  const fs::path expected = golden / "expected";
  EXPECT_EQ(outcome.status, std::stoi(testing::read_file(expected / "exit_status")));
  expect_same_console(outcome.out, testing::read_file(expected / "stdout"));
  const std::string stop_text = fs::exists(expected / "stderr_stop_text") ? testing::read_file(expected / "stderr_stop_text") : "";
  EXPECT_EQ(outcome.err, stop_text);
  for (const char* file : {"diffboot.dat", "1a.tmp", "1b.tmp", "2.tmp"}) {
    if (fs::exists(expected / file)) {
      EXPECT_EQ(testing::read_file(file), testing::read_file(expected / file)) << file;
    } else {
      EXPECT_FALSE(fs::exists(file)) << file << " must not be created";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTest, ::testing::ValuesIn(golden_cases()),
                         [](const auto& info) { return info.param; });

TEST(EndToEndTest, ConsoleBeforeTheSamplesAreRead) {
  testing::TempDir dir;
  testing::write_file("answers.txt", "x.txt\n");
  const Outcome outcome = run_program_in_cwd();
  EXPECT_EQ(outcome.status, 255) << "end of input at the second file name";
  const auto lines = testing::records(outcome.out);
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[28], " ");
  EXPECT_EQ(lines[29], "sample 1 (x):                 [path + filename]");
  EXPECT_EQ(lines[31], "sample 2 (y):                 [path + filename]");
  EXPECT_EQ(outcome.err, "Input error: end of standard input where a line was expected\r\n");
}

TEST(EndToEndTest, WaysOfEnding) {
  struct Case {
    const char* answers;
    int status;
    const char* last_line;
  };
  const Case cases[] = {
      {"x.txt\ny.txt\n0.05\n", 0, "d_MAD = "},
      {"x.txt\ny.txt\n7\n7\n7\n7\n7\n", 0, " OK - terminates"},
      {"x.txt\ny.txt\nabc\n", 255, "alpha:          [.010, .025, .050, .100]"},
      {"", 255, "sample 1 (x):                 [path + filename]"},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    testing::write_file("x.txt", "1\n2\n3\n4\n5\n");
    testing::write_file("y.txt", "3\n1\n4\n1\n5\n9\n");
    testing::write_file("answers.txt", c.answers);
    const Outcome outcome = run_program_in_cwd();
    EXPECT_EQ(outcome.status, c.status) << c.answers;
    const auto lines = testing::records(outcome.out);
    EXPECT_EQ(lines.back().substr(0, std::string(c.last_line).size()), c.last_line) << c.answers;
  }
}

}  // namespace
}  // namespace diffboot
