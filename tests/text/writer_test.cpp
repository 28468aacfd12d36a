// Whole records: the formats the program uses, free-form records, files and
// the fatal end of a failed write.
#include "text/writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "app/run_end.h"
#include "staging/staging.h"
#include "support/console_capture.h"

namespace diffboot::text {
namespace {

using testing::ConsoleCapture;

std::string record_of(std::string_view format, std::initializer_list<Item> items) {
  ConsoleCapture capture;
  write_record(console, format, items);
  const std::string out = capture.out();
  EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
  return out.substr(0, out.size() - 2);
}

TEST(WriterTest, FormattedRecords) {
  EXPECT_EQ(record_of("(a,i8)", {"Histogram data with class number (Scott 1979): ", 7}),
            "Histogram data with class number (Scott 1979):        7");
  EXPECT_EQ(record_of("(4(a,f4.3),a)", {"alpha:          [", 0.01, ", ", 0.025, ", ", 0.05, ", ", 0.1, "]"}),
            "alpha:          [.010, .025, .050, .100]");
  EXPECT_EQ(record_of("(1x,a)", {"pause mouse key"}), " pause mouse key");
  EXPECT_EQ(record_of("((a))", {"abc "}), "abc ");
  EXPECT_EQ(record_of("(12x,2(es11.4,4x))", {1.0, 0.0}), "             1.0000E+00     0.0000E+00");
  EXPECT_EQ(record_of("(a,(4x,es11.4,2(4x,es11.4,2x,es11.4)))", {"d_AVE = ", 1.5, 0.25, 2.75, 0.3, 2.8}),
            "d_AVE =      1.5000E+00     2.5000E-01   2.7500E+00     3.0000E-01   2.8000E+00");
  EXPECT_EQ(record_of("(a,f5.3,a,a,i8,a)",
                      {"(1-2*alpha) Bootstrap confidence intervals (alpha = ", 0.05, ",", " B = ", 1999, ")"}),
            "(1-2*alpha) Bootstrap confidence intervals (alpha = 0.050, B =     1999)");
  EXPECT_EQ(record_of("(27x,a)", {"x"}), std::string(27, ' ') + "x");
  EXPECT_EQ(record_of("(a)  ", {std::string(79, ' ')}).size(), 79u);
  EXPECT_EQ(record_of("(A,I3)", {"n", 5}), "n  5");
}

TEST(WriterTest, TrailingSkipsAddNoBlanks) {
  EXPECT_EQ(record_of("(12x,2(es11.4,4x))", {-2.5, 20.0}).size(), 38u);
  EXPECT_EQ(record_of("(a,4x)", {"a"}), "a");
}

TEST(WriterTest, MalformedFormatsAreCallerDefects) {
  ConsoleCapture capture;
  for (const char* format : {"a", "(a", "(a))", "(q)", "(f4)", "(es11)", "(i)", "(0a)", "(e11.4)"}) {
    EXPECT_THROW(write_record(console, format, {"x"}), std::invalid_argument) << format;
  }
  EXPECT_THROW(write_record(console, "(i4)", {"x"}), std::invalid_argument);
  EXPECT_THROW(write_record(console, "(a)", {"x", "y"}), std::invalid_argument);
  EXPECT_EQ(capture.out(), "");
}

TEST(WriterTest, FreeFormRecords) {
  struct Case {
    std::initializer_list<ListItem> items;
    const char* expected;
  };
  const Case cases[] = {
      {{}, " \r\n"},
      {{"Error during plot file opening - terminate"}, " Error during plot file opening - terminate\r\n"},
      {{"type = ", 3}, " type =            3\r\n"},
      {{"nrerror: ", "sort: NSTACK too small"}, " nrerror: sort: NSTACK too small\r\n"},
      // Names from outside: no byte of theirs moves a terminal or ends the record.
      {{"x1: \"e\x1b]0;T\x07\r\nz\x7f\xc2\x9b\xff\" − é"}, " x1: \"e\\x1B]0;T\\x07\\r\\nz\\x7F\\xC2\\x9B\\xFF\" − é\r\n"},
  };
  for (const auto& c : cases) {
    ConsoleCapture capture;
    write_list(console, c.items);
    EXPECT_EQ(capture.out(), c.expected);
  }
}

TEST(WriterTest, FileModes) {
  testing::TempDir dir;
  ConsoleCapture capture;
  EXPECT_NE(open_text_file(1, "missing.txt", FileMode::append), 0);
  EXPECT_NE(open_text_file(1, "missing.txt", FileMode::read), 0);
  EXPECT_FALSE(std::filesystem::exists("missing.txt"));
  ASSERT_EQ(open_text_file(1, "out.txt", FileMode::replace), 0);
  EXPECT_NE(open_text_file(1, "other.txt", FileMode::replace), 0) << "unit 1 is in use";
  write_record(1, "(a)", {"first"});
  close_text_file(1);
  ASSERT_EQ(open_text_file(1, "out.txt", FileMode::append), 0);
  write_list(1, {"second"});
  close_text_file(1);
  EXPECT_FALSE(std::filesystem::exists("out.txt")) << "not in place before it is committed";
  staging::commit_text_files();
  EXPECT_EQ(testing::read_file("out.txt"), "first\r\n second\r\n");
  ASSERT_EQ(open_text_file(2, "out.txt", FileMode::replace), 0);
  close_text_file(2);
  staging::commit_text_files();
  EXPECT_EQ(testing::read_file("out.txt"), "");
  std::filesystem::create_directory("adir");
  EXPECT_NE(open_text_file(1, "adir", FileMode::replace), 0);
  EXPECT_NE(open_text_file(1, "adir", FileMode::read), 0);
  EXPECT_NE(open_text_file(1, "", FileMode::replace), 0);
}

TEST(WriterTest, FailedWriteIsFatalAndNamesTheFile) {
  ConsoleCapture capture;
  ASSERT_EQ(open_text_file(1, "/dev/full", FileMode::replace), 0);
  const app::RunEnd end = testing::run_end_of([] {
    for (int i = 0; i < 100000; ++i) write_record(1, "(a)", {"a record that fills the disk"});
    close_text_file(1);
  });
  EXPECT_EQ(end.status, 255);
  EXPECT_EQ(end.error_text, "Output error: cannot write file \"/dev/full\": No space left on device\r\n");
}

TEST(WriterTest, CloseAllReportsLostOutput) {
  ConsoleCapture capture;
  ASSERT_EQ(open_text_file(1, "/dev/full", FileMode::replace), 0);
  write_record(1, "(a)", {"pending"});
  EXPECT_EQ(close_all_files(), "Output error: cannot write file \"/dev/full\": No space left on device\r\n");
  EXPECT_FALSE(unit_is_open(1));
}

}  // namespace
}  // namespace diffboot::text
