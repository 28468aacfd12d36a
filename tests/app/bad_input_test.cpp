// Bad and odd inputs, run as a user would meet them: the built program with
// answers piped in, in a fresh working directory. Each row of the README's
// bad-input table is a row here: what the program writes last on the console,
// on standard error, its exit status, and which files it leaves.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/console_capture.h"
#include "support/program.h"

namespace diffboot {
namespace {

namespace fs = std::filesystem;

const std::string ten = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
const std::string twelve = "3\n1\n4\n1\n5\n9\n2\n6\n5\n3\n5\n8\n";

struct Row {
  const char* name;
  std::map<std::string, std::string> files;  // created in the working directory
  std::string answers;
  std::string env;                    // extra variables, such as "TABSIZE=0"
  int status;
  std::string last_line;              // prefix of the last console record
  std::string stderr_text;            // prefix of standard error ("" = empty)
  std::vector<std::string> absent;    // files the run must not leave
  std::string setup = {};             // shell commands run first in the directory
  std::string cwd = {};               // working directory when not the fresh one
  std::string shell_prefix = {};      // shell commands in the program's own shell, such as a ulimit
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const std::string report_last = "d_MAD = ";
const std::string all_files[] = {"diffboot.dat", "1a.tmp", "1b.tmp", "2.tmp"};

std::vector<Row> rows() {
  const std::string dat = "diffboot.dat";
  std::string many_zeros;
  for (int i = 0; i < 1000; ++i) many_zeros += "0\n";
  many_zeros += "1\n";
  return {
      {"missing sample 1", {{"y.txt", ten}}, "x.txt\ny.txt\n", "", 1, " x1: Error during data file opening - terminate", "", {all_files, all_files + 4}},
      {"missing sample 2", {{"x.txt", ten}}, "x.txt\ny.txt\n", "", 1, " x2: Error during data file opening - terminate", "", {all_files, all_files + 4}},
      {"both missing", {}, "x.txt\ny.txt\n", "", 1, " x1: Error during data file opening - terminate", "", {dat}},
      {"directory as a file name", {{"y.txt", ten}}, "d\ny.txt\n", "", 1, " x1: Error during data file opening - terminate", "", {dat}, "mkdir d"},
      {"unreadable file", {{"y.txt", ten}}, "/proc/self/mem\ny.txt\n", "", 255, "sample 2", "Input error: cannot read file \"/proc/self/mem\"", {dat}},
      {"NUL byte in a name", {{"x.txt", ten}, {"y.txt", ten}}, std::string("x.txt\0zz\ny.txt\n", 15), "", 1, " x1: Error during data file opening - terminate", "", {dat}},
      {"empty name", {{"y.txt", ten}}, "\ny.txt\n", "", 1, " x1: Error during data file opening - terminate", "", {dat}},
      {"name with blanks around it", {{"x.txt", ten}, {"y.txt", twelve}}, "   x.txt  \ny.txt\n0.05\n", "", 0, report_last, "", {}},
      {"name of 200 characters", {{"y.txt", ten}}, std::string(200, 'n') + "\ny.txt\n", "", 1, " x1: Error during data file opening - terminate", "", {dat}},
      {"empty file", {{"x.txt", ""}, {"y.txt", ten}}, "x.txt\ny.txt\n", "", 255, "sample 2", "Input error: end of file \"x.txt\" where a line was expected", {dat}},
      {"header lines only", {{"x.txt", "# a\n# b\n"}, {"y.txt", ten}}, "x.txt\ny.txt\n", "", 255, "sample 2", "Input error: end of file \"x.txt\"", {dat}},
      {"header then empty lines", {{"x.txt", "# a\n\n\n"}, {"y.txt", ten}}, "x.txt\ny.txt\n", "", 1, " x1: no values in \"x.txt\" - terminate", "", {dat, "1a.tmp"}},
      {"binary bytes", {{"x.txt", std::string("\x7f" "ELF\0\x01\xff\n\x02", 9)}, {"y.txt", ten}}, "x.txt\ny.txt\n", "", 1, " x1: no values in \"x.txt\" - terminate", "", {dat}},
      {"line of 10^5 characters", {{"x.txt", std::string(100000, ' ') + "7\n" + ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}},
      {"CR LF line ends", {{"x.txt", "#h\r\n1\r\n2\r\n3\r\n4\r\n5\r\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}},
      {"tabs around values", {{"x.txt", "\t1\t#\n\t\t2\n3\t4\n5\n6\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "d_MAD: the BCa upper bound is the smallest or largest of the 1999 replicates", {}},
      {"TABSIZE=0 keeps tabs", {{"x.txt", "\t1\n\t2\n"}, {"y.txt", ten}}, "x.txt\ny.txt\n", "TABSIZE=0", 1, " x1: no values in \"x.txt\" - terminate", "", {dat}},
      {"TABSIZE not a number", {{"x.txt", "\t1\n\t2\n\t3\n\t4\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "TABSIZE=wide", 0, report_last, "", {}},
      {"D exponents", {{"x.txt", "1.5D2\n-2d-1\n3Q0\n4.0D+00\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}},
      {"overflow ends the data", {{"x.txt", "1\n2\n3\n1e400\n4\n"}, {"y.txt", ten}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, " x1: the data end at line 4 (\"1e400\"); 1 later line begins with a number and is not read\r\n", {}},
      {"denormal values", {{"x.txt", "4.9e-324\n1e-310\n0\n2e-308\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}},
      {"a word ends the data", {{"x.txt", "1\n2\n3\nword\n4\n"}, {"y.txt", "5\n7\n6.5\n"}}, "x.txt\ny.txt\np\n0.05\n", "", 0, "MED_d = ", " x1: the data end at line 4 (\"word\"); 1 later line begins with a number and is not read\r\n", {}},
      {"end of input at sample 1", {}, "", "", 255, "sample 1", "Input error: end of standard input", {dat}},
      {"end of input at sample 2", {}, "x.txt\n", "", 255, "sample 2", "Input error: end of standard input", {dat}},
      {"end of input at the type", {{"x.txt", ten}, {"y.txt", ten}}, "x.txt\ny.txt\n", "", 255, "            - unpaired", "Input error: end of standard input", {dat}},
      {"end of input at alpha", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n", "", 255, "alpha:", "Input error: end of standard input", {dat}},
      {"a letter at alpha", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n95%\n", "", 255, "alpha:", "Input error: end of standard input where a number was expected", {dat}},
      {"five wrong types", {{"x.txt", ten}, {"y.txt", ten}}, "x.txt\ny.txt\nP\nU\n1\n\nx\n", "", 1, " OK - terminates", "", {dat}},
      {"five wrong alphas", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.5\n0.06\n/\n,\n1e-2000\n", "", 1, " OK - terminates", "", {dat}},
      {"unwritable working directory", {}, "", "", 1, " type =            1", "", {}, "", "/proc"},
      {"diffboot.dat is a directory", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 1, " Error during output data file opening (subroutine info2) - terminate", "", {}, "mkdir diffboot.dat"},
      {"1a.tmp is a directory", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 1, " type =            1", "", {dat, "2.tmp"}, "mkdir 1a.tmp"},
      {"2.tmp is a directory", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 1, " Error during plot file opening - terminate", "", {dat}, "mkdir 2.tmp"},
      // 1000 zeros and a one give 90 classes: 1a.tmp (14560 bytes) fits in 15360, the report (16106) does not.
      {"disk full while writing the report", {{"x.txt", many_zeros}, {"y.txt", ten}, {dat, "earlier\r\n"}}, "x.txt\ny.txt\n0.05\n", "", 255, report_last, "Output error: cannot write file \"diffboot.dat\": File too large", {}, {}, {}, "ulimit -f 30;"},
      {"plotting program crashes", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}, "printf '#!/bin/sh\\nkill -SEGV $$\\n' > bin/gnuplot; chmod +x bin/gnuplot"},
      {"plotting program cannot start", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}, "printf 'not a program' > bin/gnuplot"},
      {"constant samples", {{"x.txt", "3\n3\n3\n"}, {"y.txt", "1\n1\n1\n1\n"}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "d_AVE: every replicate equals the estimate, so its intervals have no width; that reflects the samples' sizes (3 and 4 values), not certainty\r\nd_MED: every", {}},
      {"heavily tied data", {{"x.txt", "1\n1\n1\n1\n1\n1\n1\n2\n"}, {"y.txt", "5\n5\n5\n5\n5\n5\n6\n"}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}},
      {"paired y = x + 1", {{"x.txt", ten}, {"y.txt", "2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n"}}, "x.txt\ny.txt\np\n0.05\n", "", 0, "MED_d = ", "AVE_d: every replicate equals the estimate, so its intervals have no width; that reflects the 10 pairs, not certainty\r\nMED_d: every", {}},
      {"standard deviations beyond the largest double", {{"x.txt", "1e308\n-1e308\n1.7e308\n-1.7e308\n5e307\n"}, {"y.txt", "1\n2\n3\n4\n"}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "d_STD: 11 of 1999 replicates are not finite numbers (values beyond the largest double); its intervals are not given\r\n", {}},
      {"sample of one value", {{"x.txt", "2.5\n"}, {"y.txt", ten}}, "x.txt\ny.txt\n", "", 1, " Too few values for an unpaired experiment: each sample needs at least 3 - terminate", "", {dat}},
      {"one pair", {{"x.txt", "1\n"}, {"y.txt", "2\n"}}, "x.txt\ny.txt\np\n", "", 1, " Too few values for a paired experiment: at least 2 pairs are needed - terminate", "", {dat}},
      {"a null value ends the data", {{"x.txt", "1\n2\n3\n,\n-999\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, " x1: the data end at line 4 (\",\"); 1 later line begins with a number and is not read\r\n", {}},
      {"byte-order mark", {{"x.txt", "\xEF\xBB\xBF" "1\n2\n3\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "d_MAD: the BCa upper bound is the smallest or largest of the 1999 replicates", {}},
      {"decimal commas", {{"x.txt", "1.5\n2,25\n3\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n", "", 1, " x1: \"x.txt\", line 2: \"2,25\" has a decimal comma: read it with --decimal-comma, or the file as a table with --table - terminate", "", {dat, "1a.tmp"}},
      {"paired files with missing values at different places", {{"x.txt", "1\n2\nNA\n4\n5\n6\n"}, {"y.txt", "10\n20\n30\n40\nNA\n60\n"}}, "x.txt\ny.txt\np\n", "", 1, " x1, x2: the missing values stand at different places in the two files' data, so their values cannot be paired by position; put the pairs in one table (--table FILE X Y -p), where a missing cell drops its pair - terminate", " x1: 1 missing value skipped (first at line 3: \"NA\")\r\n x2: 1 missing value skipped (first at line 5: \"NA\")\r\n", {dat}},
      {"paired files with missing values at the same places", {{"x.txt", "#h\n1\n2\nNA\n4\n"}, {"y.txt", "y\n10\n20\nNA\n40\n"}}, "x.txt\ny.txt\np\n0.05\n", "", 0, "MED_d = ", " x1: 1 missing value skipped (first at line 4: \"NA\")\r\n x2: 1 missing value skipped (first at line 4: \"NA\")\r\n", {}},
      {"a table as a sample", {{"t.csv", "\"\",\"Ozone\"\n\"1\",41\n"}, {"y.txt", twelve}}, "t.csv\ny.txt\n", "", 1, " x1: \"t.csv\" looks like a table: use --table FILE COLUMN1 COLUMN2 or --by - terminate", "", {dat, "1a.tmp"}},
      {"sample through a pipe", {{"y.txt", twelve}}, "s.fifo\ny.txt\n0.05\n", "", 0, report_last, "d_MAD: the BCa upper bound is the smallest or largest of the 1999 replicates", {}, "mkfifo s.fifo; (printf '1\\n2\\n3\\n' > s.fifo &)"},
      {"/dev/zero as a sample", {{"y.txt", ten}}, "/dev/zero\ny.txt\n", "", 1, " x1: \"/dev/zero\" is not a regular file and holds more than 1 GiB - terminate", "", {dat, "1a.tmp"}},
      {"an output name is a pipe", {{"x.txt", ten}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, "", {}, "mkfifo 2.tmp diffboot.dat"},
      {"missing values and a header", {{"x.txt", "weight\n1\nNA\n2\n nan 3\n3\n"}, {"y.txt", twelve}}, "x.txt\ny.txt\n0.05\n", "", 0, report_last, " x1: 2 missing values skipped (first at line 3: \"NA\")\r\n", {}},
      {"UTF-16 sample", {{"x.txt", std::string("\xFF\xFE" "1\0\n\0", 6)}, {"y.txt", ten}}, "x.txt\ny.txt\n", "", 1, " x1: \"x.txt\" is UTF-16 text; save it as UTF-8 (iconv -f UTF-16 -t UTF-8) and try again - terminate", "", {dat, "1a.tmp"}},
      {"a sample file is the report file", {{dat, ten}, {"y.txt", twelve}}, "diffboot.dat\ny.txt\n", "", 1, " x1: data file would be overwritten by the output file diffboot.dat - terminate", "", {"1a.tmp"}},
  };
}

class BadInputTest : public ::testing::TestWithParam<Row> {};

TEST_P(BadInputTest, EndsAsDescribed) {
  const Row& row = GetParam();
  testing::TempDir dir;
  const fs::path here = dir.path();
  fs::create_directory("bin");
  for (const auto& [name, content] : row.files) testing::write_file(name, content);
  if (!row.setup.empty()) {
    ASSERT_EQ(std::system(row.setup.c_str()), 0);
  }
  std::string answers = row.answers;
  if (!row.cwd.empty()) {  // sample files by absolute name, from a directory the run cannot write
    testing::write_file("x.txt", ten);
    testing::write_file("y.txt", twelve);
    answers = (here / "x.txt").string() + "\n" + (here / "y.txt").string() + "\n0.05\n";
  }
  testing::write_file("answers.txt", answers);
  testing::Launch launch;
  launch.env = row.env;
  launch.path = "bin";
  launch.directory = row.cwd;
  launch.shell_prefix = row.shell_prefix;
  const testing::Outcome outcome = testing::run_built_program(launch);
  EXPECT_EQ(outcome.status, row.status);
  const std::vector<std::string> lines = testing::records(outcome.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().substr(0, row.last_line.size()), row.last_line);
  const std::string& err = outcome.err;
  if (row.stderr_text.empty()) {
    EXPECT_EQ(err, "");
  } else {
    EXPECT_EQ(err.substr(0, row.stderr_text.size()), row.stderr_text);
    EXPECT_EQ(err.substr(err.size() - 2), "\r\n");
  }
  for (const std::string& file : row.absent) EXPECT_FALSE(fs::exists(file)) << file;
  for (const auto& [name, content] : row.files) {
    EXPECT_EQ(testing::read_file(name), content) << name << " changed";
  }
  for (const auto& entry : fs::directory_iterator(".")) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << "temporary file left: " << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTest, ::testing::ValuesIn(rows()), [](const auto& info) {
  std::string name;
  for (char c : std::string(info.param.name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

TEST(BadInputTest, EndlessStandardInputInBoundedMemory) {
  testing::TempDir dir;
  // The run from a child of its own, whose children are this run alone: the
  // peak is this run's, not that of the largest run the tests made before.
  const pid_t pid = fork();
  if (pid == 0) {
    testing::Launch launch;
    launch.input = "/dev/zero";
    const testing::Outcome outcome = testing::run_built_program(launch);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    testing::write_file("peak.txt", std::to_string(outcome.status) + " " + std::to_string(usage.ru_maxrss));
    _exit(0);
  }
  int raw = 0;
  ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  std::istringstream peak(testing::read_file("peak.txt"));
  long status = 0, kilobytes = 0;
  peak >> status >> kilobytes;
  EXPECT_EQ(status, 255);
  EXPECT_EQ(testing::read_file("stderr.txt"), "Input error: line 1 of standard input is longer than 1048576 characters\r\n");
  EXPECT_GT(kilobytes, 0);
  EXPECT_LT(kilobytes, 400 * 1024) << "peak resident kilobytes of the run";
}

TEST(BadInputTest, FullStandardOutput) {
  testing::TempDir dir;
  testing::write_file("answers.txt", "x.txt\n");
  const int raw = std::system((std::string(DIFFBOOT_EXE) + " < answers.txt > /dev/full 2> stderr.txt").c_str());
  EXPECT_EQ(WEXITSTATUS(raw), 255);
  EXPECT_EQ(testing::read_file("stderr.txt"), "Output error: cannot write standard output\r\n");
}

}  // namespace
}  // namespace diffboot

namespace diffboot {
namespace {

// A long table of sessions by user: `users_a` users in arm A, 4 in arm B.
std::string sessions(int users_a, const std::string& extra = "") {
  std::string t = "user,arm,revenue\n";
  for (int u = 0; u < users_a; ++u) t += "a" + std::to_string(u) + ",A," + std::to_string(u + 1) + "\na" + std::to_string(u) + ",A,2\n";
  for (int u = 0; u < 4; ++u) t += "b" + std::to_string(u) + ",B," + std::to_string(2 * u) + "\n";
  return t + extra;
}

TEST(BadInputTest, ClustersRefusedAsDescribed) {
  struct Case {
    const char* name;
    std::string table, arguments;
    int status;
    std::string err;  // how standard error begins
  };
  const std::string run = "--table s.csv --by arm --value revenue ";
  const Case cases[] = {
      {"two clusters in a sample", sessions(2), run + "--cluster user A B", 1,
       "diffboot: the group \"A\" has 2 clusters: the cluster bootstrap needs at least 3 in each sample\n"},
      {"a cluster in both samples", sessions(3, "a1,B,5\n"), run + "--cluster user A B", 1,
       "diffboot: the cluster \"a1\" has values in both the group \"A\" and the group \"B\": each cluster is one unit, "
       "randomised to one arm\n"},
      {"a cluster column that does not exist", sessions(3), run + "--cluster visitor A B", 1,
       "diffboot: the table \"s.csv\" has no column \"visitor\" (its columns: user, arm, revenue)\n"},
      {"with --paired", sessions(3), run + "--cluster user -p --id user A B", 2,
       "diffboot: --cluster with --paired: the pair is already the unit resampled (pair the rows with --id)\n"
       "Try 'diffboot --help'.\n"},
      {"without --by", sessions(3), "--table s.csv --cluster user arm revenue", 2,
       "diffboot: --cluster groups the rows of a long table: it goes with --table FILE --by COLUMN\nTry 'diffboot --help'.\n"},
      {"with --p-values", sessions(3), run + "--cluster user --p-values A B", 2,
       "diffboot: --p-values permute values one at a time, not clusters: they are not given with --cluster\n"
       "Try 'diffboot --help'.\n"},
      {"with --poisson", sessions(3), run + "--cluster user --poisson A B", 2,
       "diffboot: --cluster is not part of the Poisson bootstrap (--poisson)\nTry 'diffboot --help'.\n"},
      {"with --proportions", sessions(3), run + "--cluster user --proportions A B", 2,
       "diffboot: --cluster with --proportions: the cluster bootstrap does not form Cohen's h of the clusters "
       "drawn\nTry 'diffboot --help'.\n"},
      {"with --control", sessions(3), run + "--cluster user --control A B", 2,
       "diffboot: --cluster is for a run of two samples, not for the comparisons of --control\n"
       "Try 'diffboot --help'.\n"},
      {"rows without a cluster", sessions(3, ",B,7\nNA,B,8\n"), run + "--cluster user -f csv A B", 0,
       " x2: 2 rows without a cluster (user) left out (first at line 12)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    testing::write_file("s.csv", c.table);
    testing::write_file("answers.txt", "");
    testing::Launch launch;
    launch.arguments = c.arguments;
    const testing::Outcome outcome = testing::run_built_program(launch);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.err.substr(0, c.err.size()), c.err);  // notes on the numbers may follow
  }
}

}  // namespace
}  // namespace diffboot
