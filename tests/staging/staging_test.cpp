#include "staging/staging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>

#include "staging/staged_output.h"
#include "support/console_capture.h"

namespace diffboot::staging {
namespace {

// A signal taken by a thread that stages nothing removes the uncommitted
// files and the recorded temporaries of the runs in every other thread.
TEST(StagingTest, ASignalRemovesTheStagedFilesOfEveryRun) {
  const testing::TempDir dir;
  const pid_t pid = fork();
  if (pid == 0) {
    remove_staged_files_on_signals();
    std::latch staged(2), never(1);
    const auto run = [&](const char* name) {
      StagedFiles files;
      const StagingScope scope(files);
      std::FILE* f = open_staged(name);
      if (f == nullptr || std::fputs("pending\n", f) < 0 || std::fflush(f) != 0) _exit(1);
      std::string temp = "./.diffboot-XXXXXX";  // a file made and recorded in one step
      bool no_room = false;
      if (make_temporary(temp, no_room) < 0) _exit(1);
      staged.count_down();
      never.wait();
    };
    std::thread(run, "a.txt").detach();
    std::thread(run, "b.txt").detach();
    staged.wait();
    raise(SIGTERM);
    _exit(2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Every way an output file is made gives it the mode an ordinary open would:
// 0666 less the umask (a temporary is made 0600 and must not stay so).
TEST(StagingTest, FilesTakeTheUmasksMode) {
  const testing::TempDir dir;
  const mode_t previous = umask(027);
  StagedFiles files;
  {
    const StagingScope scope(files);
    std::FILE* f = open_staged("staged.txt");
    ASSERT_NE(f, nullptr);
    std::fputs("staged\n", f);
    std::fclose(f);
    commit_text_files();
  }
  const std::string written = write_whole_file("whole.txt", "whole\n");
  umask(previous);
  EXPECT_EQ(written, "");
  for (const char* name : {"staged.txt", "whole.txt"}) {
    struct stat info {};
    ASSERT_EQ(stat(name, &info), 0) << name;
    EXPECT_EQ(info.st_mode & 0777, 0640u) << name;
  }
}

}  // namespace
}  // namespace diffboot::staging
