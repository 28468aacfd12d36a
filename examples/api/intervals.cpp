// Reads two files of one number per line ("#" lines at the top are
// skipped), compares them as an unpaired
// experiment (or paired with -p) and prints each measure's estimate and its
// 95% Student's t and BCa intervals.
#include <diffboot/diffboot.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<double> read_values(const char* name) {
  std::ifstream in(name);
  std::vector<double> values;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    char* end = nullptr;
    const double v = std::strtod(line.c_str(), &end);
    if (end == line.c_str()) break;  // a line without a number ends the data
    values.push_back(v);
  }
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  const bool paired = argc == 4 && std::string(argv[1]) == "-p";
  if (argc != 3 && !paired) {
    std::fprintf(stderr, "usage: intervals [-p] x.txt y.txt\n");
    return 2;
  }
  const std::vector<double> x = read_values(argv[argc - 2]), y = read_values(argv[argc - 1]);
  diffboot::Options options;
  options.experiment = paired ? diffboot::Experiment::paired : diffboot::Experiment::unpaired;
  try {
    const diffboot::Results results = diffboot::analyse(x, y, options);
    std::printf("n_x = %lld, n_y = %lld, B = %lld\n", static_cast<long long>(results.n_x),
                static_cast<long long>(results.n_y), static_cast<long long>(results.options.replications));
    for (const diffboot::MeasureResult& m : results.measures) {
      std::printf("%s = %.6g  t [%.6g, %.6g]  BCa [%.6g, %.6g]\n", m.name.c_str(), m.estimate, m.t_lower, m.t_upper,
                  m.bca_lower, m.bca_upper);
    }
  } catch (const diffboot::Error& e) {
    std::fprintf(stderr, "intervals: %s\n", e.what());
    return 1;
  }
  return 0;
}
