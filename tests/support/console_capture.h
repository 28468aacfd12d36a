#pragma once
// Test support: the console pointed at string streams, and a temporary
// working directory.
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

#include "app/run_end.h"
#include "text/units.h"

namespace diffboot::testing {

// Points the console at in-memory streams for its lifetime; `answers` is
// what standard input holds.
class ConsoleCapture {
 public:
  explicit ConsoleCapture(const std::string& answers = {});
  ~ConsoleCapture();
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }

 private:
  std::istringstream in_;
  std::ostringstream out_, err_;
  text::ConsoleStreams previous_;
};

// Creates an empty temporary directory and makes it the working directory
// for its lifetime.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_, previous_;
};

// Writes `content` to `name` as it stands.
void write_file(const std::filesystem::path& name, const std::string& content);
// The bytes of a file; empty when it does not exist.
std::string read_file(const std::filesystem::path& name);

// Runs `body` and returns the end of a run that what it throws makes (as the
// program would end); fails the test if it returns.
app::RunEnd run_end_of(const std::function<void()>& body);

// Console records of a capture: split at CR LF, which every record must end in.
std::vector<std::string> records(const std::string& bytes);

}  // namespace diffboot::testing
