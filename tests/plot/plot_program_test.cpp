// The plotting program as a stand-in script on PATH: what it is given, and
// that the run goes on without it.
#include "plot/plot_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/console_capture.h"
#include "support/program.h"

namespace diffboot::plot {
namespace {

TEST(PlotProgramTest, StandInSeesItsArgumentDirectoryAndEmptyInput) {
  testing::TempDir dir;
  const auto bin = dir.path() / "bin";
  std::filesystem::create_directory(bin);
  testing::write_file(bin / "gnuplot",
                      "#!/bin/sh\n"
                      "echo \"args:$#:$1\" > seen.txt\n"
                      "pwd >> seen.txt\n"
                      "if read line; then echo input >> seen.txt; else echo eof >> seen.txt; fi\n"
                      "exit 3\n");
  std::filesystem::permissions(bin / "gnuplot", std::filesystem::perms::owner_all);
  const std::string path_list = bin.string() + ":/usr/bin:/bin";
  testing::ScopedEnv path("PATH", path_list.c_str());
  EXPECT_EQ(describe(run_plot_program("", "2.tmp")), "gnuplot ended with status 3");
  EXPECT_EQ(testing::read_file("seen.txt"), "args:1:2.tmp\n" + dir.path().string() + "\neof\n");
}

TEST(PlotProgramTest, MissingProgramIsNotAnError) {
  testing::TempDir dir;
  testing::ScopedEnv path("PATH", dir.path().c_str());
  EXPECT_EQ(describe(run_plot_program("", "2.tmp")), "gnuplot was not found");
}

}  // namespace
}  // namespace diffboot::plot

namespace diffboot::plot {
namespace {

// Runs the built program with a stand-in gnuplot that records what it finds
// when it starts: the three plot files, whether the program still holds any
// of them open, and the GNUTERM it was given.
class StandInRun : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::write_file("x.txt", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n");
    testing::write_file("y.txt", "3\n1\n4\n1\n5\n9\n2\n6\n");
    testing::write_file("answers.txt", "x.txt\ny.txt\n0.05\n");
    std::filesystem::create_directory("bin");
    testing::write_file("bin/gnuplot",
                        "#!/bin/sh\n"
                        "cp 1a.tmp seen1a; cp 1b.tmp seen1b; cp 2.tmp seen2\n"
                        "ls -l /proc/$PPID/fd | grep -cE '/(1a|1b|2)[.]tmp$' > open_files\n"
                        "echo \"${GNUTERM-unset}\" > gnuterm\n");
    std::filesystem::permissions("bin/gnuplot", std::filesystem::perms::owner_all);
  }

  // Runs the program; `terminal` gives it a terminal as standard output,
  // `typed` as standard input too.
  int run(const std::string& env, bool terminal, bool typed = false) {
    testing::Launch launch;
    launch.env = "-u DISPLAY -u WAYLAND_DISPLAY -u GNUTERM " + env;
    launch.path = "bin:/usr/bin:/bin";
    launch.terminal = terminal;
    launch.typed = typed;
    outcome_ = testing::run_built_program(launch);
    return outcome_.status;
  }

  testing::Outcome outcome_{};

  testing::TempDir dir_;
};

TEST_F(StandInRun, FilesAreCompleteAndClosedWhenItStarts) {
  EXPECT_EQ(run("DISPLAY=:0", false), 0);
  EXPECT_EQ(testing::read_file("seen1a"), testing::read_file("1a.tmp"));
  EXPECT_EQ(testing::read_file("seen1b"), testing::read_file("1b.tmp"));
  EXPECT_EQ(testing::read_file("seen2"), testing::read_file("2.tmp"));
  EXPECT_EQ(testing::records(testing::read_file("2.tmp")).size(), 8u);
  EXPECT_EQ(testing::read_file("open_files"), "0\n");
  EXPECT_EQ(testing::read_file("gnuterm"), "unset\n") << "with a display the environment is passed unchanged";
}

TEST_F(StandInRun, TextPlotWithoutADisplay) {
  EXPECT_EQ(run("", true), 0);
  EXPECT_EQ(testing::read_file("gnuterm"), "dumb\n");
  EXPECT_EQ(run("GNUTERM=png", true), 0);
  EXPECT_EQ(testing::read_file("gnuterm"), "png\n") << "the user's choice stands";
  std::filesystem::remove("gnuterm");
  EXPECT_EQ(run("", false), 0);
  EXPECT_FALSE(std::filesystem::exists("gnuterm")) << "no display and no terminal: nothing could be shown";
  EXPECT_EQ(outcome_.err, "");
}

TEST_F(StandInRun, TypedAnswersAreToldWhichKeyGoesOn) {
  // (The answers typed with the file names reach the terminal while the plot
  // program runs and are discarded when it returns: the run's status is not
  // the point here.)
  const std::string message = "The histograms are in the plot window: press Enter there to go on.";
  run("DISPLAY=:0", true, true);
  EXPECT_NE(outcome_.out.find(message), std::string::npos) << outcome_.out;
  EXPECT_EQ(run("DISPLAY=:0", false), 0);
  EXPECT_EQ(outcome_.err, "") << "answers piped: nobody to tell";
  EXPECT_EQ(testing::read_file("gnuterm"), "unset\n") << "the window is still shown";
}

}  // namespace
}  // namespace diffboot::plot
