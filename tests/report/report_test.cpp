// The report: record shapes, result records and the file's open failure.
#include "report/report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "staging/staging.h"
#include "support/console_capture.h"

namespace diffboot::report {
namespace {

const std::string name_x = "x.txt" + std::string(74, ' ');
const std::string name_y = "y.txt" + std::string(74, ' ');

const bootstrap::Result example{1.5, 0.25, 2.75, 0.3, 2.8};
const bootstrap::Result not_computed{-999.0, 0, 0, 0, 0};

Report sample_report(Experiment type, double alpha) {
  Report r{name_x, name_y, 25, 7, type, alpha, 1999, {}};
  if (type == Experiment::unpaired) {
    for (const char* label : {"d_AVE = ", "d_MED = ", "d_STD = ", "d_MAD = "}) r.rows.push_back({label, &example});
  } else {
    for (const char* label : {"AVE_d = ", "MED_d = "}) r.rows.push_back({label, &not_computed});
  }
  return r;
}

TEST(ReportTest, FileRecords) {
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  write_report(ReportMode::file, sample_report(Experiment::unpaired, 0.05), "diffboot.dat");
  staging::commit_text_files();
  const auto lines = testing::records(testing::read_file("diffboot.dat"));
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0].size(), 93u);
  EXPECT_EQ(lines[1], "n_x =         25");
  EXPECT_EQ(lines[2], " ");
  EXPECT_EQ(lines[6], "Experiment type: unpaired");
  EXPECT_EQ(lines[8], "(1-2*alpha) Bootstrap confidence intervals (alpha = 0.050, B =     1999)");
  EXPECT_EQ(lines[9], std::string(79, ' '));
  EXPECT_EQ(lines[10], std::string(27, ' ') + "Student's t                 BCa                     ");
  EXPECT_EQ(lines[11], std::string(72, ' '));
  EXPECT_EQ(lines[12], std::string(27, ' ') + "lower bound  upper bound    lower bound  upper bound");
  EXPECT_EQ(lines[13], std::string(89, ' '));
  EXPECT_EQ(lines[14], "d_AVE =      1.5000E+00     2.5000E-01   2.7500E+00     3.0000E-01   2.8000E+00");
  EXPECT_EQ(capture.out(), "");
}

TEST(ReportTest, PairedReportAndAlphaLevels) {
  const std::pair<double, const char*> levels[] = {{0.01, "0.010"}, {0.025, "0.025"}, {0.05, "0.050"}, {0.1, "0.100"}};
  for (const auto& [alpha, text] : levels) {
    testing::ConsoleCapture capture;
    write_report(ReportMode::console, sample_report(Experiment::paired, alpha), "diffboot.dat");
    const auto lines = testing::records(capture.out());
    ASSERT_EQ(lines.size(), 26u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)], " ");
    EXPECT_EQ(lines[16], "Experiment type:   paired");
    EXPECT_EQ(lines[18], std::string("(1-2*alpha) Bootstrap confidence intervals (alpha = ") + text + ", B =     1999)");
    EXPECT_EQ(lines[24].substr(0, 23), "AVE_d =     -9.9900E+02");
  }
}

TEST(ReportTest, ReportFileThatCannotBeOpened) {
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  std::filesystem::create_directory("diffboot.dat");
  const app::RunEnd end = testing::run_end_of([] { write_report(ReportMode::file, sample_report(Experiment::unpaired, 0.05), "diffboot.dat"); });
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(capture.out(), " Error during output data file opening (subroutine info2) - terminate\r\n");
  EXPECT_TRUE(std::filesystem::is_directory("diffboot.dat"));
}

}  // namespace
}  // namespace diffboot::report
