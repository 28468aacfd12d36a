// The figure with the real gnuplot against hostile names and interruptions:
// no name runs a command, the figure is named exactly as asked or not at
// all, and a run that ends early leaves the earlier figure as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/console_capture.h"
#include "support/pixels.h"
#include "support/program.h"

namespace diffboot::plot {
namespace {

namespace fs = std::filesystem;

const std::string drawn_message = "diffboot: cannot draw the figure";

class FigureSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::on_path("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    gnuplot_ = testing::output_of("command -v gnuplot");
    gnuplot_.erase(gnuplot_.find_last_not_of('\n') + 1);
    path_ = fs::path(gnuplot_).parent_path().string() + ":/usr/bin:/bin";
    testing::write_file("x.txt", "4.1\n5.2\n3.9\n6.3\n5.5\n4.8\n5.0\n6.1\n");
    testing::write_file("y.txt", "3.2\n4.4\n3.1\n5.0\n4.1\n3.9\n4.6\n");
  }

  testing::Outcome run(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"-u", "-B", "99"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return testing::wait_for_program(testing::start_built_program(all, path_));
  }

  // Nothing ran a command and no temporary file of the run is left.
  void expect_clean(const std::string& what) {
    EXPECT_FALSE(fs::exists("P")) << what << ": a command ran";
    for (const auto& entry : fs::recursive_directory_iterator(".")) {
      EXPECT_EQ(entry.path().filename().string().rfind(".diffboot", 0), std::string::npos)
          << what << ": left " << entry.path();
    }
  }

  testing::TempDir dir_;
  std::string gnuplot_, path_;
};

TEST_F(FigureSafety, NamesAreNeverCommands) {
  const std::string names[] = {
      "|touch P;cat>x.svg", "<touch P;echo .svg", "a`touch P`b.svg", "a$(touch P)b.svg", "a;touch P;b.svg",
      "q'uo\"te.svg",       "a@b{x}.svg",         "new\nline.svg",   "tab\there.svg",    "bad\xff\xfe.svg",
  };
  for (const std::string& name : names) {
    const testing::Outcome outcome = run({"--figure", name, "x.txt", "y.txt"});
    ASSERT_EQ(outcome.status, 0) << name << outcome.err;
    struct stat info {};
    EXPECT_EQ(lstat(name.c_str(), &info), 0) << name << ": the figure under exactly its name";
    EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_size > 0) << name;
    for (const char* end : {".gp", ".dat"}) EXPECT_TRUE(fs::exists(name + end)) << name << end;
    expect_clean(name);
  }
  // An option-like name is a name, and a name in a directory that looks hostile.
  fs::create_directory("d`touch P`");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--figure=-x.svg", "x.txt", "y.txt"},
        std::vector<std::string>{"--figure", "d`touch P`/f.pdf", "x.txt", "y.txt"},
        std::vector<std::string>{"-C", "d`touch P`", "--show", "x.txt", "y.txt"}}) {
    EXPECT_EQ(run(args).status, 0) << args[0];
    expect_clean(args[0]);
  }
  EXPECT_GT(fs::file_size("-x.svg"), 0u);
  EXPECT_GT(fs::file_size("d`touch P`/f.pdf"), 0u);
}

TEST_F(FigureSafety, SampleNamesAreTitlesOnly) {
  const std::string sample = "s`touch P`$(touch P)'\"@{x}\n\xff.txt";
  fs::copy_file("x.txt", sample);
  ASSERT_EQ(run({"--figure", "fig.svg", sample, "y.txt"}).status, 0);
  expect_clean("sample name");
  const std::string svg = testing::read_file("fig.svg"), data = testing::read_file("fig.svg.dat");
  EXPECT_NE(svg.find("s`touch P`$"), std::string::npos) << "the name shown as text (its middle left out)";
  EXPECT_NE(svg.find("\\n\\xFF − y"), std::string::npos) << "control and non-UTF-8 bytes shown visibly";
  EXPECT_EQ(data.find('\r'), std::string::npos);
  EXPECT_EQ(data.find("\n\xff"), std::string::npos) << "the data file holds no raw name bytes";
  EXPECT_NE(data.find("\\n\\xFF − y (unpaired)"), std::string::npos)
      << data.substr(0, 200);
}

TEST_F(FigureSafety, LinksAndPipesAtTheNameAreReplaced) {
  testing::write_file("victim.txt", "keep me\n");
  fs::create_symlink("victim.txt", "link.svg");
  ASSERT_EQ(mkfifo("pipe.svg", 0644), 0);
  for (const char* name : {"link.svg", "pipe.svg"}) {
    EXPECT_EQ(run({"--figure", name, "x.txt", "y.txt"}).status, 0) << name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name))) << name;
  }
  EXPECT_EQ(testing::read_file("victim.txt"), "keep me\n") << "not written through";
}

// A stand-in gnuplot that draws with the real one and then waits, so that the
// run can be ended at a known point: after drawing, before the names.
TEST_F(FigureSafety, EndedWhileDrawingKeepsTheEarlierFigure) {
  fs::create_directory("bin");
  testing::write_file("bin/gnuplot", "#!/bin/sh\n\"" + gnuplot_ + "\" \"$@\"\ntouch drawn\n"
                                     "while [ ! -e go ] && [ -e drawn ]; do sleep 0.01; done\n");
  fs::permissions("bin/gnuplot", fs::perms::owner_all);
  path_ = (fs::current_path() / "bin").string() + ":" + path_;
  for (int signal : {SIGINT, SIGKILL}) {
    for (const char* file : {"fig.png", "fig.png.gp", "fig.png.dat"}) testing::write_file(file, "earlier\n");
    fs::remove("go");
    const pid_t pid = testing::start_built_program({"-u", "-B", "99", "--figure", "fig.png", "x.txt",
                                                    "y.txt"},
                                                   path_);
    int status = 0;
    while (!fs::exists("drawn")) {
      ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the run ended before it drew: " << testing::read_file("run.err");
      usleep(10000);
    }
    kill(pid, signal);
    const testing::Outcome outcome = testing::wait_for_program(pid);
    EXPECT_EQ(outcome.status, -1) << signal;
    testing::write_file("go", "");
    fs::remove("drawn");
    for (const char* file : {"fig.png", "fig.png.gp", "fig.png.dat"}) {
      EXPECT_EQ(testing::read_file(file), "earlier\n") << file << " after signal " << signal;
    }
    expect_clean("signal " + std::to_string(signal));
  }
}

TEST_F(FigureSafety, ConcurrentRunsLeaveOneRunsFigure) {
  constexpr int runs = 50;
  std::vector<pid_t> pids;
  for (int k = 0; k < runs; ++k) {
    const std::string sample = "x" + std::to_string(k) + ".txt";
    fs::copy_file("x.txt", sample);
    pids.push_back(testing::start_built_program({"-u", "-B", "99", "--figure", "fig.svg", sample, "y.txt"},
                                                path_, "run" + std::to_string(k)));
  }
  for (int k = 0; k < runs; ++k) EXPECT_EQ(testing::wait_for_program(pids[k], "run" + std::to_string(k)).status, 0);
  const std::string data = testing::read_file("fig.svg.dat");
  const std::string sample = data.substr(2, data.find(' ', 2) - 2);
  EXPECT_NE(testing::read_file("fig.svg.gp").find("set multiplot title '" + sample + " "), std::string::npos) << sample;
  EXPECT_NE(testing::read_file("fig.svg").find(sample + " − y ("), std::string::npos) << sample;
  expect_clean("concurrent runs");
}

TEST_F(FigureSafety, FileSizeLimitIsReported) {
  testing::Launch launch;
  launch.arguments = "-u --figure fig.png x.txt y.txt";
  launch.path = path_;
  launch.input = "/dev/null";
  launch.shell_prefix = "ulimit -f 80;";  // room for the data (32 kB), not the figure (98 kB)
  const testing::Outcome outcome = testing::run_built_program(launch);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, drawn_message + " \"fig.png\": gnuplot was killed by signal 25 (File size limit exceeded)\n");
  EXPECT_FALSE(fs::exists("fig.png"));
  expect_clean("ulimit");
}

}  // namespace
}  // namespace diffboot::plot
