#include "support/console_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "app/run.h"
#include "text/units.h"

namespace diffboot::testing {

ConsoleCapture::ConsoleCapture(const std::string& answers)
    : in_(answers), previous_(text::redirect_console({&in_, &out_, &err_})) {}

ConsoleCapture::~ConsoleCapture() {
  text::close_all_files();
  text::redirect_console(previous_);
}

TempDir::TempDir() : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "diffboot-test-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
  std::filesystem::current_path(path_);
}

TempDir::~TempDir() {
  std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::filesystem::path& name, const std::string& content) {
  std::ofstream(name, std::ios::binary) << content;
}

std::string read_file(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

app::RunEnd run_end_of(const std::function<void()>& body) {
  try {
    body();
  } catch (...) {
    return app::current_run_end();
  }
  ADD_FAILURE() << "the run did not end";
  return {-1, {}};
}

std::vector<std::string> records(const std::string& bytes) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    out.push_back(bytes.substr(start, end - start));
  }
  EXPECT_EQ(start, bytes.size()) << "output does not end in CR LF";
  return out;
}

}  // namespace diffboot::testing
