#include "support/samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <sstream>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>

#include "support/console_capture.h"

namespace diffboot::testing {

std::vector<double> counting(double from, std::size_t n) {
  std::vector<double> v(n);
  std::iota(v.begin(), v.end(), from);
  return v;
}

std::vector<double> shaped_sample(std::string_view shape, std::size_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    double& x = v[i];
    if (shape == "random") x = std::normal_distribution<double>(10, 3)(rng);
    else if (shape == "tied") x = static_cast<double>(rng() % 4) * 0.1 - 0.1;
    else if (shape == "skewed") x = std::exp(std::normal_distribution<double>(0, 2)(rng));
    else if (shape == "signed zeros") x = (rng() % 2) ? 0.0 : -0.0;
    else if (shape == "nan") x = (rng() % 5) ? 1.0 : std::nan("");
    else if (shape == "ascending") x = static_cast<double>(i);
    else if (shape == "descending") x = static_cast<double>(n - i);
    else if (shape == "equal") x = 4.25;
    else if (shape == "few values") x = static_cast<double>(rng() % 3);
    else if (shape == "huge") x = (rng() % 2) ? 1.7e308 : 1.6e308;
    else if (shape == "organ pipe") x = static_cast<double>(std::min(i, n - i));
    else throw std::invalid_argument("no sample shape " + std::string(shape));
  }
  return v;
}

void write_sample(const std::string& name, const std::vector<double>& values) {
  std::ostringstream text;
  text.precision(17);
  for (double x : values) text << x << "\n";
  write_file(name, text.str());
}

std::uint64_t bits_of_text(const std::string& text) {
  if (text == "NaN") return bits(std::nan(""));
  if (text == "Inf" || text == "-Inf") return bits(text[0] == '-' ? -HUGE_VAL : HUGE_VAL);
  double v = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  EXPECT_EQ(error, std::errc()) << text;
  EXPECT_EQ(end, text.data() + text.size()) << text;
  return bits(v);
}

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> out;
  std::string item;
  std::istringstream in(line);
  while (std::getline(in, item, separator)) out.push_back(item);
  return out;
}

}  // namespace diffboot::testing
