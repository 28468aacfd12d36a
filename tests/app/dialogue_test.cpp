// The console questions through in-memory streams: what is shown, which
// answers are taken, and the five-attempt limit.
#include "app/dialogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/run_values.h"
#include "support/console_capture.h"
#include "support/terminal.h"

namespace diffboot::app {
namespace {

const std::string type_question =
    " \r\ntwo samples -   paired                      [p]\r\n            - unpaired                      [u]\r\n";
const std::string alpha_question = " \r\nalpha:          [.010, .025, .050, .100]\r\n";

std::string times(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(DialogueTest, BannerLineLengths) {
  testing::ConsoleCapture capture;
  show_banner();
  const auto lines = testing::records(capture.out());
  ASSERT_EQ(lines.size(), 28u);
  for (std::size_t i = 0; i < 28; ++i) {
    const std::size_t expected = i < 10 ? 1 : (i == 12 ? 45 : (i == 20 ? 70 : 79));
    EXPECT_EQ(lines[i].size(), expected) << "line " << i + 1;
    EXPECT_EQ(lines[i][0], i == 10 || i == 14 || i == 26 ? '=' : ' ') << "line " << i + 1;
  }
  EXPECT_EQ(lines[12].substr(0, 10), " DIFFBOOT:");
}

TEST(DialogueTest, FileNamesArePaddedOrCut) {
  const std::string long_name(100, 'a');
  testing::ConsoleCapture capture("x.txt\n " + long_name + "\n");
  const SampleNames s = ask_filenames();
  EXPECT_EQ(s.filename_x, "x.txt" + std::string(74, ' '));
  EXPECT_EQ(s.filename_y, " " + std::string(78, 'a'));
  EXPECT_EQ(s.path_x, "x.txt");
  EXPECT_EQ(s.path_y, std::string(78, 'a')) << "the blanks around a name are not part of it";
  EXPECT_EQ(capture.out(),
            " \r\nsample 1 (x):                 [path + filename]\r\n \r\nsample 2 (y):                 [path + filename]\r\n");
}

TEST(DialogueTest, ExperimentType) {
  struct Case {
    std::int32_t n_x, n_y;
    const char* answers;
    Experiment type;
    int questions;
  };
  const Case cases[] = {
      {5, 5, "p\n", Experiment::paired, 1},
      {5, 5, "paired\n", Experiment::paired, 1},
      {5, 5, "u\n", Experiment::unpaired, 1},
      {5, 5, "P\n p\nx\n\nu\n", Experiment::unpaired, 5},
      {5, 6, "p\n", Experiment::unpaired, 0},
  };
  for (const auto& c : cases) {
    testing::ConsoleCapture capture(c.answers);
    EXPECT_EQ(ask_experiment_type(c.n_x, c.n_y), c.type) << c.answers;
    EXPECT_EQ(capture.out(), times(type_question, c.questions));
  }
}

TEST(DialogueTest, FiveWrongTypesTerminate) {
  testing::ConsoleCapture capture("P\nq\nU\n\n u\np\n");
  const app::RunEnd end = testing::run_end_of([&] { ask_experiment_type(3, 3); });
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(capture.out(), times(type_question, 5) + " OK - terminates\r\n");
}

TEST(DialogueTest, Alpha) {
  struct Case {
    const char* answers;
    double alpha;
    int questions;
  };
  const Case cases[] = {
      {"0.05\n", 0.05, 1},     {".05\n", 0.05, 1},       {"5E-2\n", 0.05, 1},  {"0.050\n", 0.05, 1},
      {"0.01\n", 0.01, 1},     {"0.025\n", 0.025, 1},    {"0.1\n", 0.1, 1},    {"1.0D-1\n", 0.1, 1},
      {"0.06\n0.0501\n/\n,\n0.1\n", 0.1, 5},             {"\n\n0.05\n", 0.05, 1},
  };
  for (const auto& c : cases) {
    testing::ConsoleCapture capture(c.answers);
    EXPECT_EQ(ask_alpha(), c.alpha) << c.answers;
    EXPECT_EQ(capture.out(), times(alpha_question, c.questions)) << c.answers;
  }
}

TEST(DialogueTest, AlphaIsExplainedAtATerminal) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.01\n", "alpha 0.01: 98% intervals, 1% beyond each bound\r\n"},
      {".025\n", "alpha 0.025: 95% intervals, 2.5% beyond each bound\r\n"},
      {"5E-2\n", "alpha 0.05: 90% intervals, 5% beyond each bound\r\n"},
      {"0.1\n", "alpha 0.1: 80% intervals, 10% beyond each bound\r\n"},
  };
  const testing::PseudoTerminal terminal;
  for (const auto& [answer, meaning] : cases) {
    testing::ConsoleCapture capture(answer);
    {
      const testing::Redirected error_on_terminal(STDERR_FILENO, terminal.slave());
      ask_alpha();
    }
    EXPECT_EQ(capture.err(), meaning);
  }
  testing::ConsoleCapture capture("0.05\n");
  ask_alpha();
  EXPECT_EQ(capture.err(), "") << "nobody to tell when standard error is not a terminal";
}

TEST(DialogueTest, AlphaGivesUpOrFails) {
  {
    testing::ConsoleCapture capture("1\n2\n3\n4\n5\n0.05\n");
    const app::RunEnd end = testing::run_end_of([&] { ask_alpha(); });
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(capture.out(), times(alpha_question, 5) + " OK - terminates\r\n");
  }
  {
    testing::ConsoleCapture capture("95%\n/\n0.05\n");
    EXPECT_EQ(ask_alpha(), 0.05) << "a word and a null value are wrong answers, asked again";
    EXPECT_EQ(capture.out(), times(alpha_question, 3));
  }
  {
    testing::ConsoleCapture capture("abc\n");
    const app::RunEnd end = testing::run_end_of([&] { ask_alpha(); });
    EXPECT_EQ(end.status, 255);
    EXPECT_EQ(end.error_text, "Input error: end of standard input where a number was expected\r\n");
  }
}

}  // namespace
}  // namespace diffboot::app
