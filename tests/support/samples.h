#pragma once
// Test support: samples of named shapes and the bits of a double.
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace diffboot::testing {

// The 64 bits of a double: equal bits, not merely equal values.
inline std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// from, from + 1, ..., n values.
std::vector<double> counting(double from, std::size_t n);

// n values of a shape, drawn from a generator seeded with `seed`:
// "random" normal(10, 3); "tied" the four values -0.1, 0, 0.1, 0.2;
// "skewed" lognormal(0, 2); "signed zeros" +0 and -0; "nan" 1 with one NaN
// in five; "ascending"; "descending"; "equal" all 4.25; "few values" 0, 1, 2;
// "organ pipe" rising then falling; "huge" 1.6e308 and 1.7e308.
std::vector<double> shaped_sample(std::string_view shape, std::size_t n, std::uint64_t seed);

// Writes `values` to the file `name`, one a line, with 17 significant digits
// (each reads back as the same double).
void write_sample(const std::string& name, const std::vector<double>& values);

// The 64 bits of a number as the csv writes it ("NaN", "-Inf", shortest digits).
std::uint64_t bits_of_text(const std::string& text);

// `line` cut at every `separator`.
std::vector<std::string> split(const std::string& line, char separator);

}  // namespace diffboot::testing
