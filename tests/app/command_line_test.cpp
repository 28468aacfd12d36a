// The command line: each option, each usage error by its exact text, and the
// exit status of each way a batch run ends.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "app/batch.h"
#include "support/console_capture.h"

namespace diffboot::app {
namespace {

using Args = std::vector<std::string>;

std::string usage(const std::string& problem) { return "diffboot: " + problem + "\nTry 'diffboot --help'.\n"; }

TEST(CommandLineTest, UsageErrors) {
  struct Case {
    Args args;
    std::string problem;
  };
  const Case cases[] = {
      {{"x.txt"}, "SAMPLE2 is required"},
      {{"x.txt", "y.txt", "z.txt"}, "3 samples named (\"x.txt\", \"y.txt\", \"z.txt\"), but two are compared"},
      {{"--", "-u", "x", "y"}, "3 samples named (\"-u\", \"x\", \"y\"), but two are compared"},
      {{"--bogus", "x.txt", "y.txt"}, "The following argument was not expected: --bogus"},
      {{"-a", "", "x", "y"}, "--alpha needs a value"},
      {{"-l", "", "x", "y"}, "--level needs a value"},
      {{"-f", "", "x", "y"}, "--format needs a value"},
      {{"-s", "", "x", "y"}, "--seed needs a value"},
      {{"-B", "", "x", "y"}, "--replications needs a value"},
      {{"-C", "", "x", "y"}, "--directory needs a value"},
      {{"--figure", "", "x", "y"}, "--figure needs a value"},
      {{"--by", "g", "x", "y"}, "--by picks rows of a table: it goes with --table FILE"},
      {{"--table", "t", "--id", "i", "x", "y"}, "--value and --id go with --by COLUMN"},
      {{"--table", "t", "--by", "g", "--id", "i", "x", "y"}, "--id pairs rows: it goes with --paired"},
      {{"--table", "t", "-c", "v", "x", "y"}, "--table and --column name columns in two ways: give one"},
      {{"--table", "t", "--delimiter", "|", "x", "y"}, "--delimiter \"|\" is not one of comma, tab, semicolon, space"},
      {{"--delimiter", "tab", "x", "y"}, "--delimiter goes with --table or --column"},
      {{"--table", "t", "--delimiter", "comma", "--decimal-comma", "x", "y"}, "--decimal-comma reads commas in values: cells separated by commas cannot hold them"},
      {{"--labels", "one", "x", "y"}, "--labels \"one\" is not two names A,B"},
      {{"--labels", ",", "x", "y"}, "--labels \",\" is not two names A,B"},
      {{"--labels", "a,", "x", "y"}, "--labels \"a,\" is not two names A,B"},
      {{"--labels", ",b", "x", "y"}, "--labels \",b\" is not two names A,B"},
      {{"--poisson", "--acceleration", "samples", "x", "y"},
       "--acceleration is not part of the Poisson bootstrap (--poisson), whose BCa acceleration is its own"},
      {{"--quantiles", "0.9999999999999999", "x", "y"},
       "--quantiles: quantile 0.9999999999999999 cannot be named: its percent, written out in 15 characters, rounds to 100"},
      {{"--figure", "f.svg", "--figure-size", "7", "x", "y"},
       "--figure-size \"7\" is not a width and height W,H in inches from 2 to 40"},
      {{"--figure", "f.svg", "--figure-size", "1,5", "x", "y"},
       "--figure-size \"1,5\" is not a width and height W,H in inches from 2 to 40"},
      {{"--figure-size", "7,5", "x", "y"}, "--figure-size goes with --figure FILE"},
      {{"--unit", "g", "x", "y"}, "--unit goes with --figure FILE"},
      {{"--log", "x", "y"}, "--log goes with --figure FILE"},
      {{"--measures", "d_AVE,cohen", "x", "y"},
       "--measures \"d_AVE,cohen\" is not a list of d_AVE, d_MED, d_STD, d_MAD, g, delta (unpaired), AVE_d, MED_d, g "
       "(paired), lift, all"},
      {{"--quantiles", "0.9,x", "x", "y"}, "--quantiles \"0.9,x\": \"x\" is not a number"},
      {{"--quantiles", "0.9,", "x", "y"}, "--quantiles \"0.9,\": \"\" is not a number"},
      {{"--quantiles", "90", "x", "y"}, "--quantiles: quantile 90 is not a probability strictly between 0 and 1"},
      {{"--quantiles", "0.9", "--poisson", "x", "y"},
       "--quantiles are not part of the Poisson bootstrap (--poisson), which weighs sums"},
      {{"--quantiles", "0.9", "--measures", "d_Q10", "x", "y"},
       "--measures \"d_Q10\" is not a list of d_AVE, d_MED, d_STD, d_MAD, g, delta (unpaired), AVE_d, MED_d, g "
       "(paired), lift, all and the names of the quantiles asked for"},
      {{"--quantiles", "", "x", "y"}, "--quantiles needs a value"},
      {{"--permutations", "999", "x", "y"}, "--permutations goes with --p-values"},
      {{"--p-values", "--permutations", "50", "x", "y"}, "--permutations \"50\" is not a whole number from 99 to 1000000"},
      {{"--acceleration", "pooled", "x", "y"}, "--acceleration \"pooled\" is not grid or samples"},
      {{"-a"}, "--alpha: 1 required A missing"},
      {{"-a", "0.26", "x", "y"}, "--alpha \"0.26\" is not a number from 0.0005 to 0.25"},
      {{"-a", "0.0004", "x", "y"}, "--alpha \"0.0004\" is not a number from 0.0005 to 0.25"},
      {{"-a", "abc", "x", "y"}, "--alpha \"abc\" is not a number from 0.0005 to 0.25"},
      {{"-l", "99.95", "x", "y"},
       "--level \"99.95\" is not a level from 0.5 to 0.999 (default 0.95); also 50 to 99.9, 95 or 95%"},
      {{"-l", "0.95%", "x", "y"},
       "--level \"0.95%\" is not a level from 0.5 to 0.999 (default 0.95); also 50 to 99.9, 95 or 95%"},
      {{"-l", "1", "x", "y"}, "--level \"1\" is not a level from 0.5 to 0.999 (default 0.95); also 50 to 99.9, 95 or 95%"},
      {{"-a", ".05", "-l", "95", "x", "y"}, "--alpha .05 and --level 95 disagree (the level is 1 - 2*alpha)"},
      {{"-f", "xml", "x", "y"}, "--format \"xml\" is not one of text, csv, json"},
      {{"-C", "no/such/dir", "x", "y"}, "--directory \"no/such/dir\" is not an existing directory"},
      {{"--show", "x", "y"}, "--show needs the plot files: name their directory with -C DIR"},
      {{"-C", ".", "--no-files", "--show", "x", "y"}, "--show needs the plot files: name their directory with -C DIR"},
      {{"-p", "-u", "x", "y"}, "--paired excludes --unpaired"},
      {{"-s", "0", "x", "y"}, "--seed \"0\" is not a whole number from 1 to 2147483647"},
      {{"--seed", "2147483648", "x", "y"}, "--seed \"2147483648\" is not a whole number from 1 to 2147483647"},
      {{"-s", "-5", "x", "y"}, "--seed \"-5\" is not a whole number from 1 to 2147483647"},
      {{"-B", "98", "x", "y"}, "--replications \"98\" is not a whole number from 99 to 1000000"},
      {{"--replications", "1000001", "x", "y"}, "--replications \"1000001\" is not a whole number from 99 to 1000000"},
      {{"-B", "1e3", "x", "y"}, "--replications \"1e3\" is not a whole number from 99 to 1000000"},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = parse_command_line(c.args);
    EXPECT_FALSE(parsed.options) << c.problem;
    EXPECT_EQ(parsed.status, 2) << c.problem;
    EXPECT_EQ(parsed.out, "") << c.problem;
    EXPECT_EQ(parsed.err, usage(c.problem));
  }
}

TEST(CommandLineTest, Options) {
  struct Case {
    Args args;
    double alpha;
    std::optional<Experiment> experiment;
    OutputFormat format;
    double level = 0.0;  // 0: not checked
  };
  const Case cases[] = {
      {{"x", "y"}, 0.025, std::nullopt, OutputFormat::text, 0.95},
      {{"-l", "0.99", "x", "y"}, 0.005, std::nullopt, OutputFormat::text, 0.99},
      {{"-l", "99.9%", "x", "y"}, 0.0005, std::nullopt, OutputFormat::text, 0.999},
      {{"-l", "50", "x", "y"}, 0.25, std::nullopt, OutputFormat::text, 0.5},
      {{"-a", "0.0005", "--level", "99.9", "x", "y"}, 0.0005, std::nullopt, OutputFormat::text, 0.999},
      {{"-a", "0.123", "x", "y"}, 0.123, std::nullopt, OutputFormat::text, 0.754},
      {{"-a", "5E-2", "x", "y"}, 0.05, std::nullopt, OutputFormat::text},
      {{"--alpha=.1", "x", "y"}, 0.1, std::nullopt, OutputFormat::text},
      {{"-l", "95%", "x", "y"}, 0.025, std::nullopt, OutputFormat::text},
      {{"-l", "0.8", "x", "y"}, 0.1, std::nullopt, OutputFormat::text, 0.8},
      {{"--level", "98", "-a", "0.01", "x", "y"}, 0.01, std::nullopt, OutputFormat::text},
      {{"-p", "-f", "csv", "x", "y"}, 0.025, Experiment::paired, OutputFormat::csv},
      {{"--unpaired", "--format", "json", "x", "y"}, 0.025, Experiment::unpaired, OutputFormat::json},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = parse_command_line(c.args);
    ASSERT_TRUE(parsed.options) << parsed.err;
    EXPECT_EQ(parsed.options->alpha, c.alpha) << c.args[0];
    if (c.level != 0.0) {
      EXPECT_EQ(parsed.options->level, c.level) << c.args[0] << " " << c.args[1];
    }
    EXPECT_EQ(parsed.options->experiment, c.experiment) << c.args[0];
    EXPECT_EQ(parsed.options->format, c.format) << c.args[0];
    EXPECT_EQ(parsed.options->sample1, "x");
    EXPECT_EQ(parsed.options->sample2, "y");
  }
  const ParsedCommandLine files = parse_command_line(Args{"-C", ".", "--no-files", "--", "-x.txt", "y"});
  ASSERT_TRUE(files.options) << files.err;
  EXPECT_EQ(files.options->directory, ".");
  EXPECT_FALSE(files.options->write_files);
  EXPECT_FALSE(files.options->show_plot);
  EXPECT_EQ(files.options->sample1, "-x.txt") << "-- ends the options";
  EXPECT_TRUE(parse_command_line(Args{"-C", ".", "--show", "x", "y"}).options->show_plot);
  EXPECT_EQ(parse_command_line(Args{"--labels", "control,treated", "x", "y"}).options->labels,
            (std::pair<std::string, std::string>{"control", "treated"}));
  const ParsedCommandLine monte_carlo = parse_command_line(Args{"-s", "2147483647", "-B", "99", "x", "y"});
  ASSERT_TRUE(monte_carlo.options) << monte_carlo.err;
  EXPECT_EQ(monte_carlo.options->seed, 2147483647);
  EXPECT_EQ(monte_carlo.options->replications, 99);
  EXPECT_EQ(files.options->seed, 286761062) << "the fixed seed as --seed takes it";
  EXPECT_EQ(files.options->replications, 1999);
}

// Every option --help lists with a value refuses an empty one: the help
// and the parsing come from one table, so none can be left out of either.
TEST(CommandLineTest, EveryValuedOptionInTheHelpNeedsAValue) {
  const std::string help = parse_command_line(Args{"--help"}).out;
  std::vector<std::string> valued;
  for (std::size_t at = help.find("\n  "); at != std::string::npos; at = help.find("\n  ", at + 1)) {
    const std::size_t dashes = help.find("--", at);
    if (dashes != at + 3 && dashes != at + 6) continue;  // "  --name" or "  -a,--name"
    const std::size_t end = help.find(' ', dashes);
    const std::string next = help.substr(end + 1, help.find_first_of(" \n", end + 1) - end - 1);  // "A", "LIST"
    if (!next.empty() && std::isupper(static_cast<unsigned char>(next[0])) && next != "Excludes:") {
      valued.push_back(help.substr(dashes, end - dashes));
    }
  }
  EXPECT_EQ(valued.size(), 23u);
  for (const std::string& name : valued) {
    const ParsedCommandLine parsed = parse_command_line(Args{name, "", "x", "y"});
    EXPECT_EQ(parsed.err, usage(name + " needs a value")) << name;
  }
}

// Options take effect whatever their order on the command line: --measures
// reads the quantiles and the experiment, --no-files overrides -C.
TEST(CommandLineTest, OrderOfOptionsDoesNotMatter) {
  const struct {
    Args args;
    std::vector<std::string> measures;
    bool write_files;
  } cases[] = {
      {{"--measures", "Q90_d", "--quantiles", "0.9", "-p", "x", "y"}, {"Q90_d"}, false},
      {{"-p", "--quantiles", "0.9", "--measures", "Q90_d", "x", "y"}, {"Q90_d"}, false},
      {{"--measures", "all", "-p", "x", "y"}, {"AVE_d", "MED_d", "g", "lift"}, false},
      {{"--no-files", "-C", ".", "x", "y"}, {}, false},
      {{"-C", ".", "--no-files", "x", "y"}, {}, false},
      {{"-C", ".", "x", "y"}, {}, true},
  };
  for (const auto& c : cases) {
    const ParsedCommandLine parsed = parse_command_line(c.args);
    ASSERT_TRUE(parsed.options) << parsed.err;
    EXPECT_EQ(parsed.options->measures, c.measures) << c.args[0];
    EXPECT_EQ(parsed.options->write_files, c.write_files) << c.args[0];
  }
}

TEST(CommandLineTest, HelpAndVersion) {
  for (const char* flag : {"-V", "--version"}) {
    const ParsedCommandLine parsed = parse_command_line(Args{flag});
    EXPECT_EQ(parsed.status, 0);
    EXPECT_EQ(parsed.out, std::string("diffboot ") + program_version() + "\n");
  }
  const ParsedCommandLine help = parse_command_line(Args{"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* text : {"Usage: diffboot [OPTIONS] SAMPLE1 SAMPLE2", "--paired", "--unpaired", "--alpha", "--level",
                           "--format", "--directory", "--no-files", "--show", "unpaired: mad(x) - mad(y)",
                           "d = x - y", "level 1 - 2*alpha", "BCa", "percentile", "basic", "Exit status"}) {
    EXPECT_NE(help.out.find(text), std::string::npos) << text;
  }
}

// Batch runs in-process: the status and standard error of each way one ends.
TEST(CommandLineTest, WaysABatchRunEnds) {
  struct Case {
    Args args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"x.txt", "y.txt"}, 0, ""},
      {{"-p", "x.txt", "y.txt"}, 2, usage("--paired needs samples of equal size, but sample 1 has 6 values and sample 2 has 4")},
      {{"x.txt", "x.txt"}, 2, usage("both samples have 6 values: say --paired or --unpaired (pairing is a property of the design)")},
      {{"x.txt", "missing.txt"}, 1, "diffboot: cannot read sample 2 \"missing.txt\": No such file or directory\n"},
      {{"-u", "one.txt", "y.txt"}, 1, " Too few values for an unpaired experiment: each sample needs at least 3 - terminate\n"},
      {{"-u", "--figure", "f.svg", "f.svg.dat", "y.txt"}, 1,
       " x1: data file would be overwritten by the output file f.svg.dat - terminate\n"},
      {{"--help"}, 0, ""},
      {{"--bogus", "x.txt", "y.txt"}, 2, usage("The following argument was not expected: --bogus")},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    testing::write_file("x.txt", "1\n2\n3\n4\n5\n6\n");
    testing::write_file("y.txt", "2\n4\n3\n8\n");
    testing::write_file("one.txt", "4\n");
    testing::write_file("f.svg.dat", "4\n5\n6\n");
    testing::ConsoleCapture capture;
    EXPECT_EQ(run_command_line(c.args, 1), c.status) << c.args[0];
    EXPECT_EQ(capture.err(), c.err) << c.args[0];
    if (c.status != 0) {
      EXPECT_EQ(capture.out(), "") << "standard output holds results only";
      EXPECT_FALSE(std::filesystem::exists("diffboot.dat"));
    }
    EXPECT_EQ(testing::read_file("f.svg.dat"), "4\n5\n6\n") << "a sample is never an output";
  }
}

TEST(CommandLineTest, OutputDirectoryAndNoFiles) {
  testing::TempDir dir;
  testing::write_file("x.txt", "1\n2\n3\n4\n5\n6\n");
  testing::write_file("y.txt", "2\n4\n3\n8\n");
  std::filesystem::create_directory("out");
  testing::ConsoleCapture capture;
  ASSERT_EQ(run_command_line(Args{"-C", "out", "x.txt", "y.txt"}, 1), 0);
  for (const char* file : {"diffboot.dat", "1a.tmp", "1b.tmp", "2.tmp"}) {
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path("out") / file)) << file;
    EXPECT_FALSE(std::filesystem::exists(file)) << file;
  }
  // Without -C, or with --no-files, the working directory stays as it was.
  for (const Args& args : {Args{"-f", "csv", "x.txt", "y.txt"}, Args{"-C", ".", "--no-files", "x.txt", "y.txt"}}) {
    ASSERT_EQ(run_command_line(args, 1), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 3)
        << "x.txt, y.txt and out only";
  }
}

}  // namespace
}  // namespace diffboot::app
