// The histograms in a real gnuplot window on a virtual X display: the window
// appears while the program waits, both samples are drawn in their line
// colours, a key in the window lets the program go on, and the answers piped
// after the plot still reach it intact. Skipped, with the reason, where
// Xvfb, xdotool, ImageMagick's import or gnuplot is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sstream>
#include <thread>

#include "support/console_capture.h"
#include "support/pixels.h"

namespace diffboot::plot {
namespace {

namespace fs = std::filesystem;
using testing::has_colour;
using testing::on_path;
using testing::output_of;
using namespace std::chrono_literals;

// A free X display number: no socket and no lock file for it.
int free_display() {
  for (int n = 91; n < 200; ++n) {
    if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) && !fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) return n;
  }
  return -1;
}

pid_t spawn(const std::string& command) {
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits up to `limit` for the child to end; returns its exit status, or -1.
int wait_for(pid_t pid, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(100ms);
  }
  kill(-pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

TEST(RealWindowTest, HistogramsShownAndDismissedByAKey) {
  for (const char* tool : {"Xvfb", "xdotool", "import", "gnuplot"}) {
    if (!on_path(tool)) GTEST_SKIP() << tool << " is not installed; the real-window test needs Xvfb, xdotool, imagemagick and gnuplot-x11";
  }
  const int display = free_display();
  ASSERT_GT(display, 0);
  const std::string d = ":" + std::to_string(display);
  setenv("DISPLAY", d.c_str(), 1);
  const pid_t server = spawn("Xvfb " + d + " -screen 0 800x600x24 -nolisten tcp");
  for (int i = 0; i < 100 && !fs::exists("/tmp/.X11-unix/X" + std::to_string(display)); ++i) std::this_thread::sleep_for(100ms);

  testing::TempDir dir;
  const fs::path golden = fs::path(GOLDEN_DIR) / "p_10";
  for (const auto& entry : fs::directory_iterator(golden / "input")) fs::copy(entry.path(), entry.path().filename());
  const pid_t program = spawn(std::string(DIFFBOOT_EXE) + " < answers.txt > stdout.txt 2> stderr.txt");

  std::string window;
  for (int i = 0; i < 300 && window.empty(); ++i) {
    window = output_of("xdotool search --onlyvisible --name Gnuplot 2>/dev/null | head -n 1");
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_FALSE(window.empty()) << "no gnuplot window appeared";
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(waitpid(program, nullptr, WNOHANG), 0) << "the program must wait while the plot is open";
  EXPECT_EQ(std::system("import -window root -depth 8 shot.ppm"), 0);
  const std::string shot = testing::read_file("shot.ppm");
  EXPECT_TRUE(has_colour(shot, 0xE51E10)) << "sample 1 (line type 7) is not drawn";
  EXPECT_TRUE(has_colour(shot, 0xF0E442)) << "sample 2 (line type 5) is not drawn";

  window.erase(window.find_last_not_of('\n') + 1);
  // Enter, the key the program names (gnuplot keeps the space bar for raising its console).
  std::system(("xdotool mousemove --window " + window + " 200 200 2>/dev/null; sleep 0.3; xdotool key Return 2>/dev/null").c_str());
  EXPECT_EQ(wait_for(program, 60s), 0);
  EXPECT_EQ(testing::read_file("diffboot.dat"), testing::read_file(golden / "expected" / "diffboot.dat"));
  const std::string out = testing::read_file("stdout.txt");
  const std::string expected = testing::read_file(golden / "expected" / "stdout");
  EXPECT_EQ(out.substr(out.size() - 1000), expected.substr(expected.size() - 1000)) << "answers after the plot were lost";

  kill(-server, SIGTERM);
  wait_for(server, 10s);
  unsetenv("DISPLAY");
}

}  // namespace
}  // namespace diffboot::plot
