// Whole runs in-process: the three ways a run ends, and what each leaves.
#include "app/run.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <cstdlib>
#include <cmath>
#include <filesystem>

#include "app/run_values.h"
#include "numeric/errors.h"
#include "staging/staging.h"
#include "text/units.h"
#include "text/writer.h"
#include "support/console_capture.h"
#include "support/program.h"
#include "support/samples.h"

namespace diffboot::app {
namespace {

// A temporary working directory whose PATH holds no plotting program.
class RunTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  testing::ScopedEnv path_{"PATH", dir_.path().c_str()};
};

TEST_F(RunTest, LibraryFailureEndsWithItsRecordAndStopText) {
  testing::ConsoleCapture capture;
  EXPECT_EQ(run_to_end([] { numeric::throw_numeric_error("sort: NSTACK too small"); }), 1);
  EXPECT_EQ(capture.out(), " nrerror: sort: NSTACK too small\r\n");
  EXPECT_EQ(capture.err(), "program terminated by nrerror\r\n");
}

TEST_F(RunTest, NormalEnd) {
  testing::write_file("x.txt", "1\n2\n3\n4\n5\n6\n");
  testing::write_file("y.txt", "2\n4\n3\n8\n");
  testing::ConsoleCapture capture("x.txt\ny.txt\n0.1\n");
  FinishedRun s;
  EXPECT_EQ(run_dialogue(1, &s), 0);
  const auto lines = testing::records(capture.out());
  EXPECT_EQ(lines.back().substr(0, 8), "d_MAD = ");
  EXPECT_EQ(capture.err(), "");
  const auto report = testing::records(testing::read_file("diffboot.dat"));
  EXPECT_EQ(report[6], "Experiment type: unpaired");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 18, lines.end()),
            std::vector<std::string>(report.begin(), report.begin() + 18))
      << "the console lists what the file holds";
  EXPECT_EQ(measures_of(s.measures).size(), 4u) << "the unpaired measures only";
}

TEST_F(RunTest, EndOfInputAtEachQuestionIsFatal) {
  testing::write_file("x.txt", "1\n2\n3\n");
  testing::write_file("y.txt", "1\n5\n2\n");
  for (const char* answers : {"", "x.txt\n", "x.txt\ny.txt\n", "x.txt\ny.txt\np\n"}) {
    testing::ConsoleCapture capture(answers);
    EXPECT_EQ(run_program(1), 255) << answers;
    EXPECT_EQ(capture.err().substr(0, 19), "Input error: end of") << answers;
    EXPECT_FALSE(std::filesystem::exists("diffboot.dat"));
  }
}

TEST_F(RunTest, StopKeepsAnEarlierReport) {
  testing::write_file("diffboot.dat", "earlier report\r\n");
  testing::write_file("x.txt", "1\n2\n");
  testing::ConsoleCapture capture("x.txt\nmissing.txt\n");
  EXPECT_EQ(run_program(1), 1);
  EXPECT_EQ(testing::records(capture.out()).back(), " x2: Error during data file opening - terminate");
  EXPECT_EQ(testing::read_file("diffboot.dat"), "earlier report\r\n");
  EXPECT_EQ(capture.err(), "");
}

TEST_F(RunTest, SampleWithoutValuesStopsAfterTheCount) {
  testing::write_file("x.txt", "1\n2\n");
  testing::write_file("y.txt", "#only a header\n\n");
  testing::ConsoleCapture capture("x.txt\n y.txt\n");
  EXPECT_EQ(run_program(1), 1);
  EXPECT_EQ(testing::records(capture.out()).back(), " x2: no values in \"y.txt\" - terminate");
  EXPECT_EQ(capture.err(), "");
}

TEST_F(RunTest, FailedWriteOfTheReportKeepsTheEarlierOne) {
  testing::write_file("x.txt", "1\n2\n3\n4\n");
  testing::write_file("y.txt", "2\n5\n3\n");
  testing::write_file("diffboot.dat", "earlier report\r\n");
  testing::ConsoleCapture capture("x.txt\ny.txt\n0.05\n");
  // Files may grow to 1000 bytes: the plot files fit, the report does not.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  const int status = run_program(1);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(status, 255);
  EXPECT_EQ(capture.err().rfind("Output error: cannot write file \"diffboot.dat\"", 0), 0u) << capture.err();
  EXPECT_EQ(testing::read_file("diffboot.dat"), "earlier report\r\n");
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << "temporary file left: " << entry.path();
  }
}

TEST_F(RunTest, OutputThatCannotTakeItsNameIsFatal) {
  // The output is written whole, then its name becomes a directory that a
  // rename cannot replace: the run ends as a fatal output error.
  testing::ConsoleCapture capture;
  const int status = run_to_end([] {
    ASSERT_EQ(text::open_text_file(3, "out.dat", text::FileMode::replace), text::open_ok);
    text::write_list(3, {"content"});
    text::close_text_file(3);
    std::filesystem::create_directories("out.dat/inside");
    staging::commit_text_files();
  });
  EXPECT_EQ(status, 255);
  EXPECT_EQ(capture.err().rfind("Output error: cannot write file \"out.dat\"", 0), 0u) << capture.err();
  EXPECT_TRUE(std::filesystem::is_directory("out.dat/inside"));
}

TEST_F(RunTest, PairedRunReportsPairedMeasures) {
  testing::write_file("x.txt", "1.5\n2.25\n3\n4.75\n");
  testing::write_file("y.txt", "1\n2\n2.5\n3\n");
  testing::ConsoleCapture capture("x.txt\ny.txt\np\n.025\n");
  FinishedRun s;
  EXPECT_EQ(run_dialogue(1, &s), 0);
  const auto lines = testing::records(capture.out());
  EXPECT_EQ(lines[lines.size() - 2].substr(0, 8), "AVE_d = ");
  EXPECT_EQ(lines.back().substr(0, 8), "MED_d = ");
  EXPECT_EQ(measures_of(s.measures).size(), 2u) << "the paired measures only";
  EXPECT_EQ(s.config.experiment, Experiment::paired);
  EXPECT_EQ(s.config.alpha, 0.025) << "the answers settle the run";
  EXPECT_EQ(s.measures.at(1).result.estimate, 0.5) << "MED_d";
}

}  // namespace
}  // namespace diffboot::app

namespace diffboot::app {
namespace {

// Console output and report of one run with `threads` threads.
std::pair<std::string, std::string> outputs_with(unsigned threads, const std::string& answers) {
  testing::ConsoleCapture capture(answers);
  EXPECT_EQ(run_program(threads), 0);
  return {capture.out(), testing::read_file("diffboot.dat")};
}

TEST_F(RunTest, ThreadCountNeverChangesTheOutput) {
  for (const char* shape : {"random", "tied", "skewed"}) {
    std::string x, y;
    for (double v : testing::shaped_sample(shape, 150, 11)) x += std::to_string(v) + "\n";
    for (double v : testing::shaped_sample(shape, 110, 12)) y += std::to_string(v) + "\n";
    testing::write_file("x.txt", x);
    testing::write_file("y.txt", y);
    EXPECT_EQ(outputs_with(1, "x.txt\ny.txt\n0.05\n"), outputs_with(2, "x.txt\ny.txt\n0.05\n")) << shape;
  }
}

}  // namespace
}  // namespace diffboot::app
