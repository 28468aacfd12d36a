#pragma once
// Test support: what a shell command prints, and the colours of a picture.
#include <cstddef>
#include <string>

namespace diffboot::testing {

// Whether `program` is found on PATH.
bool on_path(const std::string& program);

// What a shell command writes to standard output; empty when it cannot run.
std::string output_of(const std::string& command);

// Whether a binary PPM (P6, maxval 255) holds a pixel within `tolerance` of
// the colour rgb in each channel.
bool has_colour(const std::string& ppm, unsigned rgb, int tolerance = 0);

// The pixels of a binary PPM within `tolerance` of the colour rgb in each channel.
std::size_t colour_pixels(const std::string& ppm, unsigned rgb, int tolerance = 0);

}  // namespace diffboot::testing
