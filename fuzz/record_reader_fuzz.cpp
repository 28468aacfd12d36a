// Arbitrary bytes as both sample files: header skip, count pass and reading
// pass must end normally or with the system's own stop, never crash, and the
// reading pass must find exactly the values the count pass counted.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "input/sample_files.h"
#include "text/stops.h"
#include "text/units.h"

namespace {

const std::string& sample_path() {
  static const std::string path = "/tmp/diffboot-fuzz-sample-" + std::to_string(getpid()) + ".txt";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace diffboot;
  std::FILE* f = std::fopen(sample_path().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::istringstream in;
  std::ostringstream out, err;
  text::redirect_console({&in, &out, &err});
  try {
    const input::SampleCounts counts = input::count_samples(sample_path(), sample_path());
    if (counts.n_x != counts.n_y || counts.n_x < 0) __builtin_trap();
    std::vector<double> x(static_cast<std::size_t>(counts.n_x)), y(static_cast<std::size_t>(counts.n_y));
    input::read_samples(sample_path(), x, sample_path(), y);
    if (x.size() != y.size()) __builtin_trap();
  } catch (const text::Stopped&) {
    // the program's own stop, its message written
  } catch (const text::IoError&) {
    // a fatal input error, reported
  }
  text::close_all_files();
  return 0;
}
