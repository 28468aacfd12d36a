// The plotting program as a stand-in script on PATH: what it is given, and
// that the run goes on without it.
#include "plot/plot_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/console_capture.h"

namespace diffboot::plot {
namespace {

// Sets PATH for its lifetime.
class PathSetting {
 public:
  explicit PathSetting(const std::string& path) : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    setenv("PATH", path.c_str(), 1);
  }
  ~PathSetting() { setenv("PATH", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

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
  PathSetting path(bin.string() + ":/usr/bin:/bin");
  EXPECT_EQ(run_plot_program(), 3);
  EXPECT_EQ(testing::read_file("seen.txt"), "args:1:2.tmp\n" + dir.path().string() + "\neof\n");
}

TEST(PlotProgramTest, MissingProgramIsNotAnError) {
  testing::TempDir dir;
  PathSetting path(dir.path().string());
  EXPECT_EQ(run_plot_program(), -1);
}

}  // namespace
}  // namespace diffboot::plot
