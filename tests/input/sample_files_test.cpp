// Sample files: header lines, the count pass and its end of data, the
// reading pass and the open failures.
#include "input/sample_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include <filesystem>
#include <vector>

#include "support/console_capture.h"

namespace diffboot::input {
namespace {

using testing::ConsoleCapture;
using testing::TempDir;
using testing::write_file;

struct CountCase {
  const char* content;
  std::int64_t n;
  std::vector<double> values;
};

TEST(SampleFilesTest, CountsAndValues) {
  const CountCase cases[] = {
      {"# a\n#b\n#\n1\n2\n3\n4\n5\n", 5, {1, 2, 3, 4, 5}},
      {"1.5 2.5\n1.5,2.5\n", 2, {1.5, 1.5}},
      {"1\n\n\n2\n\n", 2, {1, 2}},
      {"1\n2\nword\n3\n", 2, {1, 2}},
      {"1\n# note\n2\n", 1, {1}},
      {"\n# late header\n1\n", 0, {}},
      {"# only\n\n\n", 0, {}},
      {"1\n/\n,\n4\n", 1, {1}},                         // a null value ends the data
      {",3.2\n1\n", 0, {}},
      {"\xEF\xBB\xBF# exported\n1\n2\n", 2, {1, 2}},      // byte-order mark skipped
      {"\xEF\xBB\xBF" "5\n", 1, {5}},
      {"#h\r\n2.5\r\n-1D2\r\n", 2, {2.5, -100}},
      {"7", 1, {7}},
      {"1\n1e400\n2\n", 1, {1}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ConsoleCapture capture;
    write_file("x.txt", c.content);
    write_file("y.txt", "0\n");
    const SampleCounts counts = count_samples("x.txt", "y.txt");
    EXPECT_EQ(counts.n_x, c.n) << c.content;
    EXPECT_EQ(counts.n_y, 1);
    std::vector<double> x(static_cast<std::size_t>(counts.n_x), -999.0);
    std::vector<double> y(1, -999.0);
    read_samples("x.txt", x, "y.txt", y);
    EXPECT_EQ(x, c.values) << c.content;
    EXPECT_EQ(capture.out(), "");
  }
}

TEST(SampleFilesTest, HeaderItemAndMissingValues) {
  TempDir dir;
  ConsoleCapture capture;
  write_file("x.txt", "# from the lab\nweight in g\n1\nNA\n2\n");
  write_file("y.txt", "3\nnull\n4\n");
  const SampleCounts counts = count_samples("x.txt", "y.txt");
  EXPECT_EQ(counts.header_x, "weight") << "the header's first item";
  EXPECT_EQ(counts.header_y, "");
  EXPECT_EQ(counts.missing_x, 1);
  EXPECT_EQ(counts.missing_y, 1);
}

TEST(SampleFilesTest, DecimalCommasAreReadWhenAskedFor) {
  // "1.5,2.5" and "1, 5" keep the free-form reading (a value, then the rest
  // of the line); "-3,25" is a decimal comma: read as such when asked for.
  TempDir dir;
  ConsoleCapture capture;
  write_file("x.txt", "# Gewicht\n1,5\n2\n-3,25\n");
  write_file("y.txt", "4\n5\n");
  const SampleCounts counts = count_samples("x.txt", "y.txt", {true});
  std::vector<double> x(3), y(2);
  read_samples("x.txt", x, "y.txt", y, {true});
  EXPECT_EQ(counts.n_x, 3);
  EXPECT_EQ(x, (std::vector<double>{1.5, 2, -3.25}));
  EXPECT_EQ(capture.err(), "");
  write_file("x.txt", "2\n3\n");
  write_file("y.txt", "1.5,2.5\n1, 5\n");
  std::vector<double> plain(2), other(2);
  EXPECT_EQ(count_samples("y.txt", "x.txt").n_x, 2) << "without decimal commas the plain reading stands";
  read_samples("y.txt", plain, "x.txt", other);
  EXPECT_EQ(plain, (std::vector<double>{1.5, 1}));
}

TEST(SampleFilesTest, FirstLinesThatAreNoHeader) {
  // Only a first line that begins with a word is a header; any other line
  // without a number ends the data, said on standard error when numbers
  // follow it or it begins as a number; with decimal commas a number of two
  // separators stops the run. Columns: sample 1, decimal commas, n (-1: the
  // run stops), standard error or the stop's console line.
  struct Case {
    const char* content;
    bool decimal_comma;
    std::int64_t n;
    const char* said;
  };
  const Case cases[] = {
      {"\"weight\"\n1\n2\n", false, 2, ""},
      {"\xC3\x96lgehalt\n1\n2\n", false, 2, ""},
      {"\xC2\xB5g\n1\n2\n", false, 2, ""},
      {"1e400\n1\n2\n", false, 0, " x1: the data end at line 1 (\"1e400\"); 2 later lines begin with a number and are not read\r\n"},
      {"12abc\n1\n2\n", false, 0, " x1: the data end at line 1 (\"12abc\"); 2 later lines begin with a number and are not read\r\n"},
      {"$5\n1\n2\n", false, 0, " x1: the data end at line 1 (\"$5\"); 2 later lines begin with a number and are not read\r\n"},
      {"\xE2\x88\x92" "5\n1\n", false, 0, " x1: the data end at line 1 (\"\xE2\x88\x92" "5\"); 1 later line begins with a number and is not read\r\n"},
      {"1\n2\n1e400\n", false, 2, " x1: the data end at line 3 (\"1e400\"), which is not a number that can be read\r\n"},
      {"1\n2\n-.5x\ntotal\n", false, 2, " x1: the data end at line 3 (\"-.5x\"), which is not a number that can be read\r\n"},
      {"1\n2\ntotal\n", false, 2, ""},
      {"weight\n12abc\n", false, 0, ""},  // a word without a number after it: the data end there, as before
      {"1,5\n2,5\n1.234,5\n", true, -1, " x1: \"x.txt\", line 3: a number with more than one point or comma (such as 1.234,5) cannot be read with --decimal-comma; write it without thousands separators (1234,5) - terminate\r\n"},
      {"1.234,5\n1,5\n2,5\n", true, -1, " x1: \"x.txt\", line 1: a number with more than one point or comma (such as 1.234,5) cannot be read with --decimal-comma; write it without thousands separators (1234,5) - terminate\r\n"},
      {"Gewicht, in g\n1,5\n1.5\n", true, 2, ""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ConsoleCapture capture;
    write_file("x.txt", c.content);
    write_file("y.txt", "0\n");
    if (c.n < 0) {
      EXPECT_EQ(testing::run_end_of([&] { count_samples("x.txt", "y.txt", {c.decimal_comma}); }).status, 1) << c.content;
      EXPECT_EQ(capture.out(), c.said) << c.content;
      continue;
    }
    EXPECT_EQ(count_samples("x.txt", "y.txt", {c.decimal_comma}).n_x, c.n) << c.content;
    EXPECT_EQ(capture.err(), c.said) << c.content;
  }
}

TEST(SampleFilesTest, LineLongerThanTheRecordLimit) {
  TempDir dir;
  ConsoleCapture capture;
  const std::string filler(20 << 20, '9');
  write_file("x.txt", "1\n2.5 " + filler + "\n3\n" + filler + "\n4\n");
  write_file("y.txt", "1\n");
  const SampleCounts counts = count_samples("x.txt", "y.txt");
  EXPECT_EQ(counts.n_x, 3) << "a value before the cut is read; a number cut off ends the data";
  EXPECT_EQ(capture.err(), " x1: the data end at line 4 (\"" + std::string(60, '9') +
                               "...\"); 1 later line begins with a number and is not read\r\n")
      << "the line is named by its first 60 bytes";
  std::vector<double> x(3), y(1);
  read_samples("x.txt", x, "y.txt", y);
  EXPECT_EQ(x, (std::vector<double>{1, 2.5, 3}));
}

TEST(SampleFilesTest, PipeIsReadOnceForBothPasses) {
  TempDir dir;
  ConsoleCapture capture;
  ASSERT_EQ(mkfifo("x.fifo", 0600), 0);
  std::thread writer([] { write_file("x.fifo", "# from a pipe\n4\n5\n6\n"); });
  write_file("y.txt", "1\n");
  const SampleCounts counts = count_samples("x.fifo", "y.txt");
  writer.join();
  ASSERT_EQ(counts.n_x, 3);
  std::vector<double> x(3), y(1);
  read_samples("x.fifo", x, "y.txt", y);
  EXPECT_EQ(x, (std::vector<double>{4, 5, 6}));
}

TEST(SampleFilesTest, SampleThatIsAnOutputFile) {
  TempDir dir;
  ConsoleCapture capture;
  write_file("x.txt", "1\n");
  write_file("y.txt", "2\n");
  std::filesystem::create_hard_link("y.txt", "out.dat");
  const std::string outputs[] = {"none.dat", "out.dat"};
  stop_if_output("x.txt", "y.txt", std::span<const std::string>(outputs, 1));
  const app::RunEnd end = testing::run_end_of([&] { stop_if_output("x.txt", "y.txt", outputs); });
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(capture.out(), " x2: data file would be overwritten by the output file out.dat - terminate\r\n");
}

TEST(SampleFilesTest, FilesThatDoNotOpen) {
  struct Case {
    bool x_exists, y_exists;
    const char* message;
  };
  const Case cases[] = {
      {false, true, " x1: Error during data file opening - terminate\r\n"},
      {true, false, " x2: Error during data file opening - terminate\r\n"},
      {false, false, " x1: Error during data file opening - terminate\r\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ConsoleCapture capture;
    if (c.x_exists) write_file("x.txt", "1\n");
    if (c.y_exists) write_file("y.txt", "1\n");
    const app::RunEnd end = testing::run_end_of([] { count_samples("x.txt", "y.txt"); });
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(capture.out(), c.message);
  }
}

TEST(SampleFilesTest, DirectoryAndEmptyNamesDoNotOpen) {
  TempDir dir;
  ConsoleCapture capture;
  std::filesystem::create_directory("d");
  write_file("y.txt", "1\n");
  testing::run_end_of([] { count_samples("d", "y.txt"); });
  testing::run_end_of([] { count_samples("y.txt", "    "); });
  EXPECT_EQ(capture.out(),
            " x1: Error during data file opening - terminate\r\n x2: Error during data file opening - terminate\r\n");
}

TEST(SampleFilesTest, FileEndingInItsHeaderIsFatal) {
  for (const char* content : {"", "# a\n# b\n"}) {
    TempDir dir;
    ConsoleCapture capture;
    write_file("x.txt", content);
    write_file("y.txt", "1\n");
    const app::RunEnd end = testing::run_end_of([] { count_samples("x.txt", "y.txt"); });
    EXPECT_EQ(end.status, 255);
    EXPECT_EQ(end.error_text, "Input error: end of file \"x.txt\" where a line was expected\r\n");
  }
}

TEST(SampleFilesTest, FileShortenedBetweenThePassesIsFatal) {
  TempDir dir;
  ConsoleCapture capture;
  write_file("x.txt", "1\n2\n");
  write_file("y.txt", "1\n");
  std::vector<double> x(3), y(1);
  const app::RunEnd end = testing::run_end_of([&] { read_samples("x.txt", x, "y.txt", y); });
  EXPECT_EQ(end.status, 255);
}

}  // namespace
}  // namespace diffboot::input

namespace diffboot::input {
namespace {

TEST(SampleFilesTest, MillionLineFile) {
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  std::string content;
  for (int i = 0; i < 1000000; ++i) content += std::to_string(i % 1000) + ".5\n";
  testing::write_file("x.txt", content);
  testing::write_file("y.txt", "1\n");
  const SampleCounts counts = count_samples("x.txt", "y.txt");
  ASSERT_EQ(counts.n_x, 1000000);
  std::vector<double> x(1000000), y(1);
  read_samples("x.txt", x, "y.txt", y);
  EXPECT_EQ(x.front(), 0.5);
  EXPECT_EQ(x.back(), 999.5);
}

}  // namespace
}  // namespace diffboot::input
