#include "support/pixels.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace diffboot::testing {

bool on_path(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string output_of(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    pclose(p);
  }
  return out;
}

std::size_t colour_pixels(const std::string& ppm, unsigned rgb, int tolerance) {
  std::istringstream in(ppm);
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255) return 0;
  const std::string pixels = ppm.substr(static_cast<std::size_t>(in.tellg()));
  const int want[3] = {static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF)};
  std::size_t count = 0;
  for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) {
    bool near = true;
    for (int c = 0; c < 3 && near; ++c) near = std::abs(static_cast<unsigned char>(pixels[i + c]) - want[c]) <= tolerance;
    count += near;
  }
  return count;
}

bool has_colour(const std::string& ppm, unsigned rgb, int tolerance) { return colour_pixels(ppm, rgb, tolerance) > 0; }

}  // namespace diffboot::testing
