#include "figure/figure.h"

#include <cctype>

namespace diffboot::figure {

std::optional<FigureFormat> figure_format(std::string_view file) {
  const auto dot = file.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string ext(file.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "svg") return FigureFormat::svg;
  if (ext == "png") return FigureFormat::png;
  if (ext == "pdf") return FigureFormat::pdf;
  return std::nullopt;
}

}  // namespace diffboot::figure
