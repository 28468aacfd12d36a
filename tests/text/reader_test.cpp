// Reading answers and sample lines: free-form values, character fields,
// stepping back, line ends and the fatal end of a read without status.
#include "text/reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/run_end.h"
#include "support/console_capture.h"

namespace diffboot::text {
namespace {

using testing::ConsoleCapture;


TEST(ReaderTest, TabSizeFromTheEnvironment) {
  const std::pair<const char*, int> cases[] = {{nullptr, 8}, {"", 8}, {"4", 4}, {"0", 0}, {"-2", 8},
                                               {"x", 8},     {"3x", 8}, {"12", 12}, {"99999999999999", 1000000000}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(parse_tab_size(value), expected) << (value ? value : "unset");
}

TEST(ReaderTest, CharacterFields) {
  const std::string long_line(100, 'n');
  ConsoleCapture capture("abc\r\n" + long_line + "\n\n#  header\n\tx\n  lead\nlast");
  std::string field;
  read_chars(console, field, 79);
  EXPECT_EQ(field, "abc" + std::string(76, ' '));
  read_chars(console, field, 79);
  EXPECT_EQ(field, std::string(79, 'n'));
  read_chars(console, field, 1);
  EXPECT_EQ(field, " ");
  read_chars(console, field, 1);
  EXPECT_EQ(field, "#");
  read_chars(console, field, 10);
  EXPECT_EQ(field, std::string(8, ' ') + "x ");
  read_chars(console, field, 7);
  EXPECT_EQ(field, "  lead ");
  read_chars(console, field, 4);
  EXPECT_EQ(field, "last");
  const app::RunEnd end = testing::run_end_of([&] { read_chars(console, field, 1); });
  EXPECT_EQ(end.status, 255);
  EXPECT_EQ(end.error_text, "Input error: end of standard input where a line was expected\r\n");
}

TEST(ReaderTest, RealsWithStatus) {
  ConsoleCapture capture("\n   \n1.5 2.5\r\n/\n,\nword\n7");
  double v = -999.0;
  ReadStatus status = ReadStatus::ok;
  read_real(console, v, status);
  EXPECT_EQ(status, ReadStatus::ok);
  EXPECT_EQ(v, 1.5);
  read_real(console, v, status);
  EXPECT_EQ(status, ReadStatus::no_value);
  EXPECT_EQ(v, 1.5) << "a slash leaves the target unchanged";
  read_real(console, v, status);
  EXPECT_EQ(status, ReadStatus::no_value);
  EXPECT_EQ(v, 1.5) << "a null value leaves the target unchanged";
  read_real(console, v, status);
  EXPECT_EQ(status, ReadStatus::invalid);
  EXPECT_EQ(v, 1.5);
  read_real(console, v, status);
  EXPECT_EQ(status, ReadStatus::ok);
  EXPECT_EQ(v, 7.0) << "a last line without a line feed is a record";
  read_real(console, v, status);
  EXPECT_EQ(status, ReadStatus::end);
  EXPECT_EQ(v, 7.0);
}

TEST(ReaderTest, RealsWithoutStatusEndTheRun) {
  double v = 0.0;
  {
    ConsoleCapture capture("\n  abc def\n");
    const app::RunEnd end = testing::run_end_of([&] { read_real(console, v); });
    EXPECT_EQ(end.status, 255);
    EXPECT_EQ(end.error_text, "Input error: \"abc\" in record 2 of standard input is not a number\r\n");
  }
  {
    ConsoleCapture capture("\n");
    const app::RunEnd end = testing::run_end_of([&] { read_real(console, v); });
    EXPECT_EQ(end.error_text, "Input error: end of standard input where a number was expected\r\n");
  }
}

TEST(ReaderTest, BackspaceRereadsTheLastRecord) {
  testing::TempDir dir;
  ConsoleCapture capture;
  testing::write_file("f.txt", "# head\r\n  4.5 x\r\n6\n");
  ASSERT_EQ(open_text_file(1, "f.txt", FileMode::read), 0);
  backspace_record(1);  // before the first record: nothing happens
  std::string c;
  read_chars(1, c, 1);
  EXPECT_EQ(c, "#");
  read_chars(1, c, 1);
  EXPECT_EQ(c, " ");
  backspace_record(1);
  backspace_record(1);  // a second step back in a row does nothing more
  double v = 0.0;
  read_real(1, v);
  EXPECT_EQ(v, 4.5);
  read_real(1, v);
  EXPECT_EQ(v, 6.0);
  ReadStatus status = ReadStatus::ok;
  read_real(1, v, status);
  EXPECT_EQ(status, ReadStatus::end);
  const app::RunEnd end = testing::run_end_of([] { double w; read_real(1, w); });
  EXPECT_EQ(end.error_text, "Input error: end of file \"f.txt\" where a number was expected\r\n");
}

TEST(ReaderTest, LongLinesAndBinaryBytes) {
  testing::TempDir dir;
  ConsoleCapture capture;
  std::string content = std::string(100000, ' ') + "2.5\n" + "0." + std::string(99997, '0') + "1\n";
  content += std::string("\0\x01\xff", 3) + "\n";
  testing::write_file("f.txt", content);
  ASSERT_EQ(open_text_file(1, "f.txt", FileMode::read), 0);
  double v = 0.0;
  read_real(1, v);
  EXPECT_EQ(v, 2.5);
  read_real(1, v);
  EXPECT_EQ(v, 0.0) << "a value below the smallest double reads as zero";
  ReadStatus status = ReadStatus::ok;
  read_real(1, v, status);
  EXPECT_EQ(status, ReadStatus::invalid);
}

}  // namespace
}  // namespace diffboot::text
