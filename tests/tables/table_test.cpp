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

TEST(TableTest, ReadStrictlyOrRefused) {
  // Each table, read whole for the columns asked for, stops with its message.
  struct Case {
    std::string text;
    std::vector<std::string> columns;
    const char* error;
  };
  std::string wide_header;
  for (int i = 1; i <= 25; ++i) wide_header += (i > 1 ? ",c" : "c") + std::to_string(i);
  const Case cases[] = {
      {"a,b,h\n1,2,3\n6,12,\"5\" tall\n7,8,9\n", {"a"}, "the table \"t.csv\", line 3: a quote stands inside a cell, or a quoted cell is not closed"},
      {"a,b\n1,2\n\"oops,3\n4,5\n", {"a"}, "the table \"t.csv\", line 3: a quote stands inside a cell, or a quoted cell is not closed"},
      {"x\n1,9\n2\n", {"x"}, "the table \"t.csv\", line 2 has more cells than the header (1), line 3 not: only a header one cell short of every row marks row names"},
      {"a,b\n1,234,5\n2,7\n", {"a"}, "the table \"t.csv\", line 2 has more cells than the header (2), line 3 not: only a header one cell short of every row marks row names"},
      {"len\tdose\n1\t4.2\t0.5\n\n2\t11.5\n", {"len"}, "the table \"t.csv\", line 2 has more cells than the header (2), line 4 not: only a header one cell short of every row marks row names"},
      {"a\tb\n1\t2\n3\t4\t5\n", {"a"}, "the table \"t.csv\", line 3 has more cells than the header (2)"},
      {"a,b\n\n1,2\n\n3,x\n", {"a", "b"}, "the table \"t.csv\", line 5, column \"b\": \"x\" is not a number"},
      {"a,b\n1,1e400\n", {"b"}, "the table \"t.csv\", line 2, column \"b\": \"1e400\" is out of range (beyond the largest double)"},
      {"a,a,b\n1,2,3\n", {"a"}, "the table \"t.csv\" has two columns named \"a\""},
      {wide_header + "\n", {"z"}, "the table \"t.csv\" has no column \"z\" (its columns: c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12, c13, c14, c15, c16, c17, c18, c19, c20, ...)"},
      {std::string("a,") + std::string(70, 'b') + "\n", {"z"}, "the table \"t.csv\" has no column \"z\" (its columns: a, bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb...)"},
      {std::string("\xFF\xFE" "a\0,\0b\0", 9), {"a"}, "\"t.csv\" is UTF-16 text; save it as UTF-8 (iconv -f UTF-16 -t UTF-8) and try again"},
      {"a,b\n" + std::string((1 << 24) + 10, '1') + "\n", {"a"}, "the table \"t.csv\", line 2 is longer than 16 MiB"},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    testing::write_file("t.csv", c.text);
    EXPECT_EQ(error_of([&] {
                TableReader reader("t.csv");
                std::vector<std::size_t> columns;
                for (const std::string& name : c.columns) columns.push_back(column_of(reader.table(), name));
                column_values(reader, columns);
              }),
              c.error)
        << c.text.substr(0, 40);
  }
}

TEST(TableTest, UnquotedRowNamesHoldForEveryRow) {
  // Row names known by the rows' width alone bind the rows beyond the first
  // block read: a row one cell shorter there would shift its values.
  testing::TempDir dir;
  std::string text = "len\tdose\n";
  for (int i = 1; i <= 10000; ++i) text += std::to_string(i) + "\t" + std::to_string(i) + ".5\t1\n";
  testing::write_file("t.tsv", text + "4.2\t1\n");
  TableReader reader("t.tsv");
  EXPECT_TRUE(reader.table().row_names);
  EXPECT_EQ(error_of([&] { column_values(reader, {0}); }),
            "the table \"t.tsv\", line 10002 has 2 cells where the rows above it have 3 (row names, then the "
            "header's 2 columns)");
}

TEST(TableTest, RowNamesAndBlankSeparatedTables) {
  // R's exports: write.csv's "" column and write.table's shorter header are
  // row names, not values; blanks separate when the header holds no other
  // delimiter; a trailing empty cell is allowed. Columns: text, header,
  // first column's values.
  struct Case {
    const char* text;
    std::vector<std::string> header;
    std::vector<double> first;
  };
  const Case cases[] = {
      {"\"\",\"Ozone\",\"Wind\"\n\"1\",41,7.4\n\"2\",NA,8\n", {"Ozone", "Wind"}, {41}},
      {"\"len\"\t\"supp\"\n\"1\"\t4.2\t\"VC\"\n", {"len", "supp"}, {4.2}},
      {"\"len\" \"dose\"\n\"1\" 4.2 0.5\n\"2\" 11.5 0.5\n", {"len", "dose"}, {4.2, 11.5}},
      {"a,b\n1,2,\n3,4\n", {"a", "b"}, {1, 3}},
      {"len\tsupp\tdose\n1\t4.2\tVC\t0.5\n2\t11.5\tVC\t0.5\n", {"len", "supp", "dose"}, {4.2, 11.5}},
      {"len supp dose\n1 4.2 VC 0.5\n2 11.5 VC 0.5\n", {"len", "supp", "dose"}, {4.2, 11.5}},
      {"Ozone,Wind\n1,41,7.4\n2,NA,8,\n", {"Ozone", "Wind"}, {41}},
      {"x\n1,9\n", {"x"}, {9}},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    testing::write_file("t.csv", c.text);
    TableReader reader("t.csv");
    EXPECT_EQ(reader.table().header, c.header) << c.text;
    EXPECT_EQ(column_values(reader, {column_of(reader.table(), "1")})[0].values, c.first) << c.text;
  }
}

}  // namespace
}  // namespace diffboot::tables
