// Batch runs: seeds and replications, names opened as given, csv and json
// that read back as the very doubles of the run.
#include "app/batch.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/run.h"
#include "app/run_values.h"
#include "numeric/summaries.h"
#include "support/console_capture.h"
#include "support/program.h"
#include "support/samples.h"

namespace diffboot::app {
namespace {

using Args = std::vector<std::string>;

using testing::bits_of_text;
using testing::split;
using testing::write_sample;

class BatchTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  testing::ScopedEnv path_{"PATH", dir_.path().c_str()};
};

// Runs the command line `args` as a batch run on one thread, what it found
// into `s`; the options must parse.
int run_on(const Args& args, FinishedRun& s) {
  const ParsedCommandLine parsed = parse_command_line(args);
  EXPECT_TRUE(parsed.options) << parsed.err;
  return parsed.options ? run_batch(*parsed.options, 1, &s) : parsed.status;
}

TEST_F(BatchTest, SeedAndReplications) {
  write_sample("x.txt", testing::shaped_sample("skewed", 20, 12));
  write_sample("y.txt", testing::shaped_sample("skewed", 16, 13));
  auto csv = [](const Args& options) {
    Args args(options);
    args.insert(args.end(), {"-f", "csv", "--no-files", "x.txt", "y.txt"});
    testing::ConsoleCapture capture;
    FinishedRun s;
    EXPECT_EQ(run_on(args, s), 0) << capture.err();
    return std::pair{capture.out(), s.measures.at(0).replicates};
  };
  const auto fixed = csv({});
  EXPECT_EQ(csv({"-B", "1999"}), fixed) << "-B 1999 is the default";
  EXPECT_EQ(csv({"-s", "286761062"}), fixed) << "the fixed seed, given";
  const auto one = csv({"-s", "1"}), two = csv({"-s", "2"});
  EXPECT_NE(one.second, two.second) << "two seeds draw different replicates";
  EXPECT_NE(one.first, two.first);
  EXPECT_NE(one.first.find(",1,0,0,x.txt,y.txt\n"), std::string::npos) << "the seed is reported";
  const auto small = csv({"-B", "99"});
  EXPECT_EQ(small.second.size(), 99u);
  EXPECT_NE(small.first.find(",99,20,16,unpaired,"), std::string::npos);
}

// Each measure's values in the columns of the csv and the keys of the json.
const std::pair<const char*, double bootstrap::Result::*> fields[] = {
    {"estimate", &bootstrap::Result::estimate},
    {"se", &bootstrap::Result::se},
    {"bias", &bootstrap::Result::bias},
    {"t_lower", &bootstrap::Result::t_lower},
    {"t_upper", &bootstrap::Result::t_upper},
    {"bca_lower", &bootstrap::Result::bca_lower},
    {"bca_upper", &bootstrap::Result::bca_upper},
    {"percentile_lower", &bootstrap::Result::percentile_lower},
    {"percentile_upper", &bootstrap::Result::percentile_upper},
    {"basic_lower", &bootstrap::Result::basic_lower},
    {"basic_upper", &bootstrap::Result::basic_upper},
    {"z0", &bootstrap::Result::z0},
    {"acceleration", &bootstrap::Result::acceleration},
};

const bootstrap::Result& result_named(const FinishedRun& s, const std::string& name) {
  for (const MeasureOfRun& m : measures_of(s.measures)) {
    if (m.name == name) return m.run->result;
  }
  ADD_FAILURE() << "no measure " << name;
  return s.measures.at(0).result;
}

TEST_F(BatchTest, SampleNamesAreOpenedAsGiven) {
  // "pa" and "pa " are two files; " pb" begins with a blank.
  write_sample("pa", {1, 2, 3});
  write_sample("pa ", {1, 2, 3, 4});
  write_sample(" pb", {5, 6, 7, 8, 9});
  testing::ConsoleCapture capture;
  FinishedRun s;
  ASSERT_EQ(run_on(Args{"-u", "--no-files", "pa ", " pb"}, s), 0) << capture.err();
  EXPECT_EQ(s.samples.counts.n_x, 4);
  EXPECT_EQ(s.samples.counts.n_y, 5);
}

TEST_F(BatchTest, TablesGiveTheResultsOfOneColumnFiles) {
  // The same values as one-column files, as two columns of a table (with a
  // missing cell whose pair -p leaves out), and as a column of two tables.
  const std::vector<double> x = testing::shaped_sample("random", 12, 51), y = testing::shaped_sample("skewed", 12, 52);
  write_sample("x.txt", x);
  write_sample("y.txt", y);
  std::ostringstream wide, tx, ty;
  wide.precision(17), tx.precision(17), ty.precision(17);
  wide << "\"first, x\",y\n";
  tx << "v\n";
  ty << "v\n";
  for (std::size_t i = 0; i < 12; ++i) {
    wide << x[i] << "," << y[i] << "\n";
    tx << x[i] << "\n";
    ty << y[i] << "\n";
  }
  wide << "NA,3\n";
  testing::write_file("wide.csv", wide.str());
  testing::write_file("tx.csv", tx.str());
  testing::write_file("ty.csv", ty.str());
  const auto csv = [](const Args& args) {
    testing::ConsoleCapture capture;
    FinishedRun s;
    EXPECT_EQ(run_on(args, s), 0) << capture.err();
    // Each row up to the seed: the counts and names that follow differ.
    std::string rows;
    for (const std::string& line : split(capture.out(), '\n')) {
      const std::vector<std::string> cells = split(line, ',');
      for (std::size_t k = 0; k < 21 && k < cells.size(); ++k) rows += cells[k] + (k < 20 ? "," : "\n");
    }
    return rows;
  };
  // Long form: the pairs by id, rows shuffled and one id in one group only.
  std::ostringstream by_id, by_group;
  by_id.precision(17), by_group.precision(17);
  by_id << "id,feed,weight\n";
  by_group << "feed,weight\n";
  for (std::size_t i = 0; i < 12; ++i) {
    by_id << i << ",b," << y[i] << "\n";
    by_group << "a," << x[i] << "\nb," << y[i] << "\n";
  }
  for (std::size_t i = 12; i-- > 0;) by_id << i << ",a," << x[i] << "\n";
  by_id << "99,a,5\n";
  testing::write_file("by_id.csv", by_id.str());
  testing::write_file("by_group.csv", by_group.str());
  for (const char* type : {"-p", "-u"}) {
    const std::string files = csv(Args{type, "-f", "csv", "x.txt", "y.txt"});
    EXPECT_EQ(csv(Args{type, "-f", "csv", "-c", "v", "tx.csv", "ty.csv"}), files) << type;
    EXPECT_EQ(csv(Args{type, "-f", "csv", "--table", "by_group.csv", "--by", "feed", "a", "b"}), files) << type;
    if (std::string(type) == "-p") {
      EXPECT_EQ(csv(Args{type, "-f", "csv", "--table", "wide.csv", "first, x", "2"}), files);
      EXPECT_EQ(csv(Args{type, "-f", "csv", "--table", "by_id.csv", "--by", "feed", "--value", "weight", "--id", "id",
                         "a", "b"}),
                files);
    }
  }
  testing::write_file("twice.csv", "id,g,v\n1,a,2\n1,a,3\n1,b,4\n");
  testing::ConsoleCapture capture;
  EXPECT_EQ(run_command_line(Args{"-p", "--table", "twice.csv", "--by", "g", "--value", "v", "--id", "id", "a", "b"}, 1),
            1);
  EXPECT_EQ(capture.err(), "diffboot: the table \"twice.csv\" has the id \"1\" twice in the group \"a\" (lines 2 and 3)\n");
  // Groups of unequal size pair only by id: padding them would count rows
  // that were never there as missing.
  testing::write_file("unequal.csv", "g,v\na,1\na,2\na,3\na,4\na,5\nb,6\nb,7\nb,8\n");
  testing::ConsoleCapture unequal;
  EXPECT_EQ(run_command_line(Args{"-p", "--table", "unequal.csv", "--by", "g", "--value", "v", "a", "b"}, 1), 1);
  EXPECT_EQ(unequal.err(), "diffboot: the groups \"a\" and \"b\" have 5 and 3 rows: pair them by id (--id COLUMN)\n");
}

TEST_F(BatchTest, WhatTablesLeaveOutIsSaid) {
  // Standard error says what was left out, csv and json count it, and groups
  // are found by value or listed. Columns: arguments, status, standard error,
  // what standard output holds (empty: nothing to check).
  testing::write_file("w.csv", "x,y\n1,2\nNA,3\n4,\n,\n5,6\n7,9\n8,8\n");
  testing::write_file("g.csv", "\"g, h\",v,id\n1,1,a\n1,2,b\n1,3,\n1,4,c\n2,5,a\n2,NA,b\n2,7,c\n2,8,d\n");
  struct Case {
    Args args;
    int status;
    std::string err, out;
  };
  const Case cases[] = {
      {{"-p", "-f", "csv", "--table", "w.csv", "x", "y"}, 0,
       " pairs: 3 of 7 left out (x missing in 2, y in 2, both in 1)\n", ",2,2,3,w.csv: x,w.csv: y\n"},
      {{"-p", "-f", "json", "--table", "g.csv", "--by", "g, h", "--value", "v", "--id", "id", "1", "2.0"}, 0,
       " pairs: 3 of 5 left out (1 missing in 1, 2.0 in 1, no id in 1)\n", "\"pairs_dropped\": 3"},
      {{"-u", "--table", "w.csv", "--by", "x", "--value", "y", "1", "3"}, 1,
       "diffboot: the table \"w.csv\" has no group \"3\" in column \"x\" (its groups: , 1, 4, 5, 7, 8, NA)\n", ""},
      {{"-u", "--table", "g.csv", "--by", "g, h", "--value", "v", "2", "2.0"}, 1,
       "diffboot: \"2\" and \"2.0\" name the same group: compare two groups\n", ""},
      {{"-u", "-f", "csv", "--table", "g.csv", "--by", "g, h", "--value", "v", "1", "2"}, 0,
       " x2: 1 missing value skipped (first at line 7)\n", ",0,1,\"g.csv: g, h = 1\",\"g.csv: g, h = 2\"\n"},
  };
  for (const Case& c : cases) {
    testing::ConsoleCapture capture;
    EXPECT_EQ(run_command_line(c.args, 1), c.status) << c.args[3];
    EXPECT_EQ(capture.err(), c.err) << c.args[3];
    if (!c.out.empty()) {
      EXPECT_NE(capture.out().find(c.out), std::string::npos) << capture.out();
    }
  }
}

TEST_F(BatchTest, HistogramKeysNameTheSamplesOfTablesAndLabels) {
  // Plain files keep the keys Sample 1 and Sample 2; tables and --labels
  // name the samples, as gnuplot text.
  write_sample("x.txt", {1, 2, 3, 4});
  write_sample("y.txt", {2, 3, 4, 6});
  testing::write_file("t.csv", "g,v\na,1\na,2\na,3\nb,4\nb,5\nb,7\n");
  const auto keys = [](const Args& args) {
    testing::ConsoleCapture capture;
    EXPECT_EQ(run_command_line(args, 1), 0) << capture.err();
    const std::vector<std::string> lines = split(testing::read_file("2.tmp"), '\n');
    return lines.at(5) + "|" + lines.at(6);
  };
  EXPECT_EQ(keys({"-u", "-C", ".", "x.txt", "y.txt"}),
            " plot '1a.tmp' title 'Sample 1' w l lt    7,\\\r|'1b.tmp' title 'Sample 2' w l lt    5\r");
  EXPECT_EQ(keys({"-u", "-C", ".", "--table", "t.csv", "--by", "g", "a", "b"}),
            " plot '1a.tmp' title 'a' noenhanced w l lt    7,\\\r|'1b.tmp' title 'b' noenhanced w l lt    5\r");
  EXPECT_EQ(keys({"-u", "-C", ".", "--labels", "it's,`y`", "x.txt", "y.txt"}),
            " plot '1a.tmp' title 'it' . \"\\047\" . 's' noenhanced w l lt    7,\\\r|'1b.tmp' title '`y`' noenhanced w l lt    5\r");
}

TEST_F(BatchTest, CsvReadsBackBitForBit) {
  write_sample("x.txt", testing::shaped_sample("skewed", 23, 8));
  write_sample("y.txt", testing::shaped_sample("random", 17, 9));
  testing::write_file("y.txt", "NA\n" + testing::read_file("y.txt") + "null\nNaN\n");
  testing::ConsoleCapture capture;
  FinishedRun s;
  ASSERT_EQ(run_on(Args{"-f", "csv", "-l", "90", "x.txt", "y.txt"}, s), 0);
  EXPECT_EQ(capture.err(), " x2: 3 missing values skipped (first at line 1: \"NA\")\n") << "batch messages end in LF";
  const std::vector<std::string> lines = split(capture.out(), '\n');
  ASSERT_EQ(lines.size(), 5u);
  const std::vector<std::string> header = split(lines[0], ',');
  EXPECT_EQ(lines[0],
            "measure,estimate,se,bias,t_lower,t_upper,bca_lower,bca_upper,percentile_lower,percentile_upper,"
            "basic_lower,basic_upper,z0,acceleration,alpha,level,B,n_x,n_y,experiment,seed,missing_x,missing_y,sample1,"
            "sample2");
  for (std::size_t row = 1; row < lines.size(); ++row) {
    const std::vector<std::string> cells = split(lines[row], ',');
    ASSERT_EQ(cells.size(), header.size());
    const bootstrap::Result& r = result_named(s, cells[0]);
    for (std::size_t k = 0; k < std::size(fields); ++k) {
      EXPECT_EQ(bits_of_text(cells[k + 1]), testing::bits(r.*fields[k].second)) << cells[0] << " " << fields[k].first;
    }
    EXPECT_EQ(std::vector<std::string>(cells.begin() + 14, cells.end()),
              (std::vector<std::string>{"0.05", "0.9", "1999", "23", "17", "unpaired", "286761062", "0", "3", "x.txt", "y.txt"}));
  }
}

TEST_F(BatchTest, JsonReadsBackBitForBit) {
  write_sample("x.txt", testing::shaped_sample("random", 15, 10));
  write_sample("y.txt", testing::shaped_sample("random", 15, 11));
  testing::ConsoleCapture capture;
  FinishedRun s;
  ASSERT_EQ(run_on(Args{"-f", "json", "-p", "x.txt", "y.txt"}, s), 0);
  const nlohmann::json j = nlohmann::json::parse(capture.out());
  EXPECT_EQ(j["program"], "diffboot");
  EXPECT_EQ(j["version"], program_version());
  EXPECT_EQ(j["inputs"]["sample1"], "x.txt");
  EXPECT_EQ(j["inputs"]["experiment"], "paired");
  EXPECT_EQ(j["inputs"]["n_x"], 15);
  EXPECT_EQ(j["inputs"]["missing_x"], 0);
  EXPECT_EQ(j["inputs"]["B"], 1999);
  EXPECT_EQ(j["inputs"]["level"].get<double>(), 0.95);
  EXPECT_EQ(testing::bits(j["samples"]["x"]["median"].get<double>()), testing::bits(s.samples.summaries.x.med));
  EXPECT_EQ(testing::bits(j["samples"]["y"]["mad"].get<double>()), testing::bits(s.samples.summaries.y.mad));
  ASSERT_EQ(j["measures"].size(), 2u);
  for (const nlohmann::json& m : j["measures"]) {
    const bootstrap::Result& r = result_named(s, m["measure"]);
    for (const auto& [key, field] : fields) {
      EXPECT_EQ(testing::bits(m[key].get<double>()), testing::bits(r.*field)) << m["measure"] << " " << key;
    }
  }
}

TEST_F(BatchTest, MeasuresPValuesAndReplicates) {
  // The measures asked for, in order, with their p-values; the replicates
  // file: a column each in replication order, whose means minus the
  // estimates are the reported biases, to the bit.
  write_sample("x.txt", testing::shaped_sample("skewed", 14, 21));
  write_sample("y.txt", testing::shaped_sample("random", 11, 22));
  testing::ConsoleCapture capture;
  FinishedRun s;
  ASSERT_EQ(run_on(Args{"-f", "json", "-B", "199", "--measures", "g,d_MED,delta", "--p-values", "--permutations", "999",
                        "--replicates", "r.csv", "x.txt", "y.txt"},
                   s),
            0)
      << capture.err();
  const nlohmann::json j = nlohmann::json::parse(capture.out());
  EXPECT_EQ(j["inputs"]["permutations"], 999);
  const std::vector<std::string> lines = split(testing::read_file("r.csv"), '\n');
  ASSERT_EQ(lines.size(), 200u);
  EXPECT_EQ(lines[0], "d_MED,g,delta") << "the report's order";
  ASSERT_EQ(j["measures"].size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    const nlohmann::json& m = j["measures"][k];
    EXPECT_EQ(m["measure"], split(lines[0], ',')[k]);
    EXPECT_GT(m["p_permutation"].get<double>(), 0.0);
    EXPECT_EQ(m["p_t"], nullptr) << "a t-test for the mean measures only";
    std::vector<double> column;
    for (std::size_t row = 1; row < lines.size(); ++row) column.push_back(std::stod(split(lines[row], ',')[k]));
    EXPECT_EQ(testing::bits(numeric::mean_and_sd(column).ave - m["estimate"].get<double>()),
              testing::bits(m["bias"].get<double>()))
        << m["measure"];
  }
}

// The text report gives the lift in percent; csv and json as a fraction.
TEST_F(BatchTest, LiftInPercentInTheTextReport) {
  write_sample("x.txt", {10, 15, 20, 15});
  write_sample("y.txt", {8, 12, 16, 12});
  for (const char* format : {"text", "csv"}) {
    testing::ConsoleCapture capture;
    FinishedRun s;
    ASSERT_EQ(run_on(Args{"-u", "-f", format, "-B", "199", "--measures", "lift", "x.txt", "y.txt"}, s), 0) << capture.err();
    const std::string expected = format == std::string("text") ? "lift% =      2.5000E+01" : "lift,0.25,";
    EXPECT_NE(capture.out().find(expected), std::string::npos) << capture.out();
  }
}

// The text report's rows are the measures asked for, no others: a measure
// not asked for is not formed, and a row of it would read NaN.
TEST_F(BatchTest, TextReportRowsAreTheMeasuresAsked) {
  // 30 values a sample, as the Poisson bootstrap needs, none tied.
  std::vector<double> x, y;
  for (int i = 0; i < 30; ++i) x.push_back(10 + i % 7 + i * 0.37), y.push_back(8 + (i * i) % 5 + i * 0.21);
  write_sample("x.txt", x);
  write_sample("y.txt", y);
  const struct {
    Args args;
    std::vector<std::string> rows;
  } cases[] = {
      {{"-u"}, {"d_AVE = ", "d_MED = ", "d_STD = ", "d_MAD = "}},
      {{"-u", "--measures", "lift"}, {"lift% = "}},
      {{"-u", "--measures", "g,d_MED"}, {"d_MED = ", "g     = "}},
      {{"-p", "--measures", "MED_d", "--quantiles", "0.5"}, {"MED_d = "}},
      {{"-p", "--measures", "Q50_d", "--quantiles", "0.5"}, {"Q50_d = "}},
      {{"-u", "--measures", "d_Q90", "--quantiles", "0.1,0.9"}, {"d_Q90 = "}},
      {{"-u", "--quantiles", "0.9"}, {"d_AVE = ", "d_MED = ", "d_STD = ", "d_MAD = ", "d_Q90 = "}},
      {{"-p", "--measures", "all"}, {"AVE_d = ", "MED_d = ", "g     = ", "lift% = "}},
      {{"-u", "--poisson", "--measures", "d_STD"}, {"d_STD = "}},
  };
  for (const auto& c : cases) {
    Args args(c.args);
    args.insert(args.end(), {"-B", "99", "x.txt", "y.txt"});
    testing::ConsoleCapture capture;
    ASSERT_EQ(run_command_line(args, 1), 0) << capture.err();
    std::vector<std::string> rows;
    for (const std::string& line : split(capture.out(), '\n')) {
      if (line.size() > 8 && line.find(" =     ") == 5) rows.push_back(line.substr(0, 8));
    }
    EXPECT_EQ(rows, c.rows) << c.args.back();
    EXPECT_EQ(capture.out().find("NaN"), std::string::npos) << capture.out();
  }
}

TEST_F(BatchTest, MeasuresOfTheOtherTypeAndReplicatesThatCannotBeWritten) {
  write_sample("x.txt", {1, 2, 3, 4});
  write_sample("y.txt", {2, 5, 3, 4});
  {
    testing::ConsoleCapture capture;
    EXPECT_EQ(run_command_line(Args{"-p", "--measures", "g,delta", "x.txt", "y.txt"}, 1), 2);
    EXPECT_EQ(capture.err(), "diffboot: --measures: delta is not a measure of a paired experiment\n"
                             "Try 'diffboot --help'.\n");
  }
  testing::ConsoleCapture capture;
  EXPECT_EQ(run_command_line(Args{"-u", "-f", "csv", "--replicates", "no/r.csv", "x.txt", "y.txt"}, 1), 1);
  EXPECT_EQ(capture.err().substr(0, 50), "diffboot: cannot write the replicates \"no/r.csv\": ");
  EXPECT_EQ(split(capture.out(), '\n').size(), 5u) << "the results are printed first";
}

// Output names as the built program meets them: what each run ends with,
// what must stand at a name afterwards, and never a temporary file left.
TEST_F(BatchTest, OutputNames) {
  struct Row {
    const char* name;
    std::string setup;    // shell commands run first in the directory
    std::string prefix;   // shell commands in the program's own shell
    std::string args;     // before the sample names
    int status;
    std::string err;      // prefix of standard error
    std::string check;    // a shell test that must hold afterwards
  };
  const testing::ScopedEnv path("PATH", "/usr/bin:/bin");  // the shell's tools and gnuplot
  const std::string earlier = "printf earlier > r.csv";
  const Row rows[] = {
      {"character device", "mknod n c 1 3 && mknod n.svg c 1 3", "", "--replicates n --figure n.svg", 0, "",
       "test -c n && test -c n.svg && test -f n.svg.gp"},
      {"/dev/null", "", "", "--replicates /dev/null", 0, "", "test -c /dev/null"},
      {"/dev/stdout", "", "", "-f json --replicates /dev/stdout", 0, "",
       "grep -q '^d_AVE,d_MED,d_STD,d_MAD$' stdout.txt && test -L /dev/stdout"},
      {"a descriptor of the run", "", "exec 3>r3.csv;", "--replicates /dev/fd/3", 0, "", "test $(wc -l < r3.csv) = 100"},
      {"a socket", "/usr/bin/python3 -c \"import socket; socket.socket(socket.AF_UNIX).bind('s')\"", "",
       "--replicates s", 1, "diffboot: cannot write the replicates \"s\": cannot write \"s\": it is a socket", "test -S s"},
      {"a name of 250 bytes", "", "", "--replicates " + std::string(246, 'r') + ".csv", 0, "",
       "test -s " + std::string(246, 'r') + ".csv"},
      {"file size limit", earlier, "ulimit -f 4;", "--replicates r.csv", 1, "diffboot: cannot write the replicates \"r.csv\"",
       "test \"$(cat r.csv)\" = earlier"},
      {"the report file", "", "", "-C . --replicates diffboot.dat", 2,
       "diffboot: the report file \"./diffboot.dat\" of -C and --replicates \"diffboot.dat\" name one file", "! test -e 1a.tmp"},
      {"the figure", "", "", "--replicates ./f.svg --figure f.svg", 2,
       "diffboot: --figure \"f.svg\" and --replicates \"./f.svg\" name one file", "! test -e f.svg"},
      {"the plot script through a link", "mkdir d && ln -s d e", "", "-C d --replicates e/2.tmp", 2,
       "diffboot: the plot file \"d/2.tmp\" of -C and --replicates \"e/2.tmp\" name one file", "true"},
      {"control bytes in a message", "", "", "-f \"$(printf 'a\\033]0;T\\007\\nb')\"", 2,
       "diffboot: --format \"a\\x1B]0;T\\x07\\nb\" is not one of", "true"},
  };
  for (const Row& row : rows) {
    if (row.setup.starts_with("mknod") && geteuid() != 0) continue;  // only root makes devices
    testing::TempDir dir;
    write_sample("x.txt", {1, 2, 3, 4, 5});
    write_sample("y.txt", {2, 5, 3, 4, 6});
    if (!row.setup.empty()) {
      ASSERT_EQ(std::system(row.setup.c_str()), 0) << row.name;
    }
    testing::Launch launch;
    launch.arguments = "-u -B 99 " + row.args + " x.txt y.txt";
    launch.input = "/dev/null";
    launch.shell_prefix = row.prefix;
    launch.path = "/usr/bin:/bin";
    const testing::Outcome outcome = testing::run_built_program(launch);
    EXPECT_EQ(outcome.status, row.status) << row.name << ": " << outcome.err;
    EXPECT_EQ(outcome.err.substr(0, row.err.size()), row.err) << row.name;
    EXPECT_EQ(std::system(row.check.c_str()), 0) << row.name << ": " << row.check;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      EXPECT_NE(entry.path().filename().string()[0], '.') << row.name << ": temporary file left: " << entry.path();
    }
  }
}

TEST_F(BatchTest, JsonEscapesAnyFileName) {
  const std::string name = "odd \"name\"\\\t\x01\xff.txt";
  write_sample(name, {1, 2, 3, 4});
  write_sample("y.txt", {2, 5, 3});
  testing::ConsoleCapture capture;
  ASSERT_EQ(run_command_line(Args{"-f", "json", "--no-files", name, "y.txt"}, 1), 0);
  const nlohmann::json j = nlohmann::json::parse(capture.out());
  EXPECT_EQ(j["inputs"]["sample1"], "odd \"name\"\\\t\x01\xEF\xBF\xBD.txt") << "a byte that is not UTF-8 becomes U+FFFD";
  EXPECT_TRUE(j["measures"][2]["acceleration"].is_number());
}

TEST_F(BatchTest, NotesNameOnlyTheMeasuresReported) {
  // Equal pairs: AVE_d (always run, not asked for) has no spread and no
  // t-test; only g, the measure asked for, may be spoken of.
  write_sample("x.txt", {1, 2, 3});
  write_sample("y.txt", {1, 2, 3});
  testing::ConsoleCapture capture;
  EXPECT_EQ(run_command_line(Args{"-p", "--p-values", "--measures", "g", "-f", "csv", "x.txt", "y.txt"}, 1), 0);
  EXPECT_EQ(capture.err().find("AVE_d"), std::string::npos) << capture.err();
  EXPECT_NE(capture.err().find("g: "), std::string::npos) << capture.err();
}

TEST_F(BatchTest, PoissonRunsRefuseWhatItCannotGive) {
  std::vector<double> many(40), few(29);
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = 1.0 + static_cast<double>(i * i % 17);
  std::copy_n(many.begin(), few.size(), few.begin());
  write_sample("x.txt", many);
  write_sample("y.txt", many);
  write_sample("few.txt", few);
  const struct {
    Args args;
    const char* message;
  } cases[] = {
      {{"--poisson", "-u", "--measures", "d_AVE,d_MED", "x.txt", "y.txt"},
       "--measures: d_MED needs order statistics across the parts of a sample, which the Poisson bootstrap does not "
       "form: it gives d_AVE, d_STD, g and lift"},
      {{"--poisson", "-p", "--measures", "d_STD", "x.txt", "y.txt"},
       "--measures: d_STD is not a measure of the Poisson bootstrap of a paired experiment"},
      {{"--poisson", "-u", "--p-values", "x.txt", "y.txt"}, "--p-values are not part of the Poisson bootstrap (--poisson)"},
      {{"--poisson", "x.txt", "few.txt"}, "--poisson needs at least 30 values in each sample"},
  };
  for (const auto& c : cases) {
    testing::ConsoleCapture capture;
    EXPECT_EQ(run_command_line(c.args, 1), 2);
    EXPECT_EQ(capture.err(), std::string("diffboot: ") + c.message + "\nTry 'diffboot --help'.\n");
  }
}

// Each run owns its units, console and staged files: two runs at once, each
// reading its samples and writing its report file, print what one run alone
// prints and leave no temporary file behind.
TEST_F(BatchTest, RunsInTwoThreadsAtOnce) {
  write_sample("x.txt", testing::shaped_sample("skewed", 20, 12));
  write_sample("y.txt", testing::shaped_sample("skewed", 16, 13));
  std::filesystem::create_directory("d1");
  std::filesystem::create_directory("d2");
  const auto run = [](const std::string& seed) {
    const std::string dir = "d" + seed;
    testing::ConsoleCapture capture;
    FinishedRun s;
    const int status =
        run_on({"-B", "199", "-s", seed, "-C", dir, "--replicates", dir + "/r.csv", "x.txt", "y.txt"}, s);
    return std::to_string(status) + "\n" + capture.out() + capture.err() + testing::read_file(dir + "/diffboot.dat") +
           testing::read_file(dir + "/r.csv");
  };
  const std::string one = run("1"), two = run("2");
  ASSERT_NE(one, two);
  for (int round = 0; round < 3; ++round) {
    std::string got_one, got_two;
    std::thread first([&] { got_one = run("1"); });
    std::thread second([&] { got_two = run("2"); });
    first.join();
    second.join();
    EXPECT_EQ(got_one, one);
    EXPECT_EQ(got_two, two);
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
    EXPECT_NE(entry.path().filename().string().rfind(".diffboot-", 0), 0u) << entry.path();
  }
}

}  // namespace
}  // namespace diffboot::app
