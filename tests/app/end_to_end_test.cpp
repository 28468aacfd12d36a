// The built program run as a user runs it: answers piped on standard input
// in an empty working directory, no plotting program on PATH, TABSIZE unset.
// Standard output, the exit status and every file left behind are compared
// byte for byte with the golden runs in tests/golden.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/console_capture.h"
#include "support/pixels.h"
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
  // Standard error is given where the run ends with a stop text; elsewhere
  // it may hold warnings (such as missing values skipped).
  if (fs::exists(expected / "stderr_stop_text")) {
    EXPECT_EQ(outcome.err, testing::read_file(expected / "stderr_stop_text"));
  }
  for (const char* file : {"diffboot.dat", "1a.tmp", "1b.tmp", "2.tmp"}) {
    if (fs::exists(expected / file)) {
      EXPECT_EQ(testing::read_file(file), testing::read_file(expected / file)) << file;
    } else {
      EXPECT_FALSE(fs::exists(file)) << file << " must not be created";
    }
  }
}

// The same files and answers as a batch run: the dialogue's report block on
// standard output and the same four files, byte for byte.
TEST_P(GoldenTest, BatchRunWritesTheSameBytes) {
  const fs::path golden = fs::path(GOLDEN_DIR) / GetParam();
  const fs::path expected = golden / "expected";
  if (testing::read_file(expected / "exit_status") != "0\n") GTEST_SKIP() << "no report to compare";
  testing::TempDir dir;
  for (const auto& entry : fs::directory_iterator(golden / "input")) fs::copy(entry.path(), entry.path().filename());
  std::vector<std::string> answers;
  std::istringstream in(testing::read_file("answers.txt"));
  for (std::string line; std::getline(in, line);) answers.push_back(line);
  const bool paired = answers.size() == 4 && answers[2] == "p";
  testing::Launch launch;
  launch.arguments = (answers.size() == 4 ? (paired ? "-p" : "-u") : std::string()) + " -C . -a " + answers.back() +
                     " " + answers[0] + " " + answers[1];
  const Outcome outcome = testing::run_built_program(launch);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  const auto expected_lines = testing::records(testing::read_file(expected / "stdout"));
  const std::size_t block = paired ? 16 : 18;
  EXPECT_EQ(testing::records(outcome.out),
            std::vector<std::string>(expected_lines.end() - static_cast<std::ptrdiff_t>(block), expected_lines.end()));
  for (const char* file : {"diffboot.dat", "1a.tmp", "1b.tmp", "2.tmp"}) {
    EXPECT_EQ(testing::read_file(file), testing::read_file(expected / file)) << file;
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
      {"x.txt\ny.txt\n7\n7\n7\n7\n7\n", 1, " OK - terminates"},
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

namespace diffboot {
namespace {

// Starts the built program in the background in the current directory, with
// `answers` on standard input and no plotting program; returns its process id.
pid_t start_program(const std::string& answers, const std::string& out) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(answers.c_str(), O_RDONLY);
    const int sink = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, STDIN_FILENO);
    dup2(sink, STDOUT_FILENO);
    dup2(sink, STDERR_FILENO);
    setenv("PATH", "/nonexistent", 1);
    execl(DIFFBOOT_EXE, DIFFBOOT_EXE, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int wait_status(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits until `file` holds `text`; false, with the program ended, when the
// program ends first or has not written it within a minute.
bool wait_for_output(pid_t pid, const std::string& file, const std::string& text) {
  for (int waited = 0; testing::read_file(file).find(text) == std::string::npos; ++waited) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return false;
    if (waited == 60000) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
    usleep(1000);
  }
  return true;
}

std::vector<std::string> leftover_temporaries() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) {
    if (entry.path().filename().string()[0] == '.') names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(EndToEndTest, ConcurrentRunsLeaveOneRunsReport) {
  testing::TempDir dir;
  testing::write_file("a1.txt", "1\n2\n3\n4\n5\n6\n7\n8\n");
  testing::write_file("a2.txt", "2\n4\n3\n8\n1\n");
  testing::write_file("b1.txt", "10\n12\n9\n14\n");
  testing::write_file("b2.txt", "1\n3\n2\n");
  testing::write_file("a.ans", "a1.txt\na2.txt\n0.05\n");
  testing::write_file("b.ans", "b1.txt\nb2.txt\n0.1\n");
  std::string expected_a, expected_b;
  for (auto [answers, expected] : {std::pair{"a.ans", &expected_a}, std::pair{"b.ans", &expected_b}}) {
    ASSERT_EQ(wait_status(start_program(answers, "out.txt")), 0);
    *expected = testing::read_file("diffboot.dat");
  }
  ASSERT_NE(expected_a, expected_b);
  for (int i = 0; i < 200; ++i) {
    const pid_t a = start_program("a.ans", "out_a.txt");
    const pid_t b = start_program("b.ans", "out_b.txt");
    ASSERT_EQ(wait_status(a), 0);
    ASSERT_EQ(wait_status(b), 0);
    const std::string report = testing::read_file("diffboot.dat");
    ASSERT_TRUE(report == expected_a || report == expected_b) << "pair " << i << " mixed the two runs' reports";
  }
  EXPECT_EQ(leftover_temporaries(), std::vector<std::string>{});
}

TEST(EndToEndTest, TerminationBeforeTheReportKeepsTheEarlierReport) {
  testing::TempDir dir;
  testing::write_file("x.txt", "1\n2\n3\n4\n5\n");
  testing::write_file("y.txt", "3\n1\n4\n1\n5\n9\n");
  testing::write_file("diffboot.dat", "earlier report\r\n");
  // The answers come through a pipe that gives no alpha: the run waits at
  // that question until the signal ends it.
  ASSERT_EQ(mkfifo("answers.fifo", 0600), 0);
  const pid_t pid = start_program("answers.fifo", "out.txt");
  const int answers = open("answers.fifo", O_WRONLY);
  ASSERT_EQ(write(answers, "x.txt\ny.txt\n", 12), 12);
  const bool asked = wait_for_output(pid, "out.txt", "alpha:");
  if (asked) kill(pid, SIGTERM);
  close(answers);
  ASSERT_TRUE(asked) << testing::read_file("out.txt");
  EXPECT_EQ(wait_status(pid), 128 + SIGTERM);
  EXPECT_EQ(testing::read_file("diffboot.dat"), "earlier report\r\n");
  EXPECT_EQ(leftover_temporaries(), std::vector<std::string>{});
}

TEST(EndToEndTest, SampleThroughProcessSubstitutionReportsAsTheFile) {
  testing::TempDir dir;
  testing::write_file("x.txt", "# pH\n7.1\n6.8\n7.4\n7.0\n6.9\n7.3\n");
  testing::write_file("y.txt", "6.2\n6.6\n6.1\n6.9\n6.4\n");
  testing::write_file("answers.txt", "x.txt\ny.txt\n0.05\n");
  ASSERT_EQ(testing::run_built_program().status, 0);
  const std::vector<std::string> from_file = testing::records(testing::read_file("diffboot.dat"));
  const std::string command = "bash -c 'exec 3< <(cat x.txt); printf \"/dev/fd/3\\ny.txt\\n0.05\\n\" | "
                              "PATH=/nonexistent " + std::string(DIFFBOOT_EXE) + " > stdout.txt 2> stderr.txt'";
  ASSERT_EQ(std::system(command.c_str()), 0) << testing::read_file("stderr.txt");
  const std::vector<std::string> from_pipe = testing::records(testing::read_file("diffboot.dat"));
  ASSERT_EQ(from_pipe.size(), from_file.size());
  EXPECT_EQ(from_pipe[0].substr(0, 23), "Sample 1 (x): /dev/fd/3");
  EXPECT_EQ(std::vector<std::string>(from_pipe.begin() + 1, from_pipe.end()),
            std::vector<std::string>(from_file.begin() + 1, from_file.end()));
}

}  // namespace
}  // namespace diffboot

namespace diffboot {
namespace {

TEST(EndToEndTest, TabCompletesAFileNameTypedAtATerminal) {
  if (!testing::on_path("script")) GTEST_SKIP() << "script (bsdutils) is not installed";
  testing::TempDir dir;
  testing::write_file("long_sample_name.txt", "1\n2\n3\n4\n5\n6\n");
  testing::write_file("y.txt", "2\n4\n3\n8\n");
  testing::write_file("keys.txt", "long\t\ny.txt\n0.05\n");
  testing::Launch launch;
  launch.input = "keys.txt";
  launch.terminal = true;
  launch.typed = true;
  const testing::Outcome outcome = testing::run_built_program(launch);
  EXPECT_EQ(outcome.status, 0) << outcome.out;
  const std::vector<std::string> report = testing::records(testing::read_file("diffboot.dat"));
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report[0].substr(0, 34), "Sample 1 (x): long_sample_name.txt");
  EXPECT_EQ(report[1], "n_x =          6") << "the completed name's file was read";
}

}  // namespace
}  // namespace diffboot

namespace diffboot {
namespace {

}  // namespace
}  // namespace diffboot
