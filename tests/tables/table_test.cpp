// Tables: RFC 4180 cells, the delimiter guessed from the header line, decimal
// commas with semicolons, missing cells, and the messages of what cannot be
// used.
#include "tables/table.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/console_capture.h"

namespace diffboot::tables {
namespace {

std::string error_of(const std::function<void()>& body) {
  try {
    body();
  } catch (const TableError& e) {
    return e.what();
  }
  return "no error";
}

TEST(TableTest, CellsDelimitersAndMissingValues) {
  // Columns: the file's bytes, the column asked for, its values, its missing cells.
  struct Case {
    const char* text;
    const char* column;
    std::vector<double> values;
    std::int64_t missing;
  };
  const Case cases[] = {
      {"a,b\n1,2\n3,4\n", "b", {2, 4}, 0},
      {"\xEF\xBB\xBF" "a,b\r\n1,2\r\n,4\r\n", "a", {1}, 1},
      {"a\tb\n1.5\t2\nNA\t3\n", "1", {1.5}, 1},
      {"x;y\n1,5;2\nnull;3,25\n", "y", {2, 3.25}, 0},
      {"x;y\n1,5;2\nnull;3,25\n", "x", {1.5}, 1},
      {"\"name, with comma\",\"line\nbreak\"\n1,2\n\"3\",nan\n", "name, with comma", {1, 3}, 0},
      {"\"name, with comma\",\"line\nbreak\"\n1,2\n\"3\",nan\n", "line\nbreak", {2}, 1},
      {"a,b\n1\n2,5\n", "b", {5}, 1},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    testing::write_file("t.csv", c.text);
    TableReader t("t.csv");
    const ColumnValues v = column_values(t, {column_of(t.table(), c.column)})[0];
    EXPECT_EQ(v.values, c.values) << c.text;
    EXPECT_EQ(v.missing, c.missing) << c.text;
  }
}

TEST(TableTest, RowsAcrossReadingBlocks) {
  // Rows of two lines each, over several of the reader's 64 KiB blocks, so
  // that rows and quoted cells are cut at the blocks' ends; the last row's
  // line must still be counted right.
  testing::TempDir dir;
  std::string text = "n,note\n";
  const int rows = 20000;
  for (int i = 0; i < rows; ++i) text += std::to_string(i) + ",\"two\nlines\"\n";
  testing::write_file("t.csv", text + "x,\"\"\n");
  TableReader reader("t.csv");
  std::vector<double> expected(rows);
  for (int i = 0; i < rows; ++i) expected[i] = i;
  std::vector<double> values;
  EXPECT_EQ(error_of([&] { values = column_values(reader, {0})[0].values; }),
            "the table \"t.csv\", line 40002, column \"n\": \"x\" is not a number");
  testing::write_file("t.csv", text);
  TableReader again("t.csv");
  EXPECT_EQ(column_values(again, {0})[0].values, expected);
}

TEST(TableTest, DelimiterGiven) {
  testing::TempDir dir;
  testing::write_file("t.csv", "a,b;c\n1,5;2\n");
  TableReader t("t.csv", ';');
  EXPECT_EQ(t.table().header, (std::vector<std::string>{"a,b", "c"}));
  EXPECT_EQ(column_values(t, {column_of(t.table(), "a,b")})[0].values, std::vector<double>{1.5});
  EXPECT_EQ(TableReader("t.csv").table().header.size(), 2u) << "guessed: the comma, one of each";
}

TEST(TableTest, WhatCannotBeUsed) {
  testing::TempDir dir;
  testing::write_file("t.csv", "a,\"b\nc\"\n1,2\n3,x1\n");
  TableReader reader("t.csv");
  const Table& t = reader.table();
  EXPECT_EQ(error_of([&] { column_values(reader, {0, column_of(t, "b\nc")}); }),
            "the table \"t.csv\", line 4, column \"b\nc\": \"x1\" is not a number")
      << "the header's quoted line break counts";
  EXPECT_EQ(error_of([&] { column_of(t, "z"); }), "the table \"t.csv\" has no column \"z\" (its columns: a, b\nc)");
  EXPECT_EQ(error_of([&] { column_of(t, "3"); }), "the table \"t.csv\" has no column \"3\" (its columns: a, b\nc)");
  EXPECT_EQ(error_of([] { TableReader("missing.csv"); }), "cannot read the table \"missing.csv\": No such file or directory");
  testing::write_file("empty.csv", "");
  EXPECT_EQ(error_of([] { TableReader("empty.csv"); }), "the table \"empty.csv\" has no header line");
}

}  // namespace
}  // namespace diffboot::tables
