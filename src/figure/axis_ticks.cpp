#include "figure/axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace diffboot::figure {
namespace {

constexpr std::size_t fewest = 4, most = 12;

// `v` as a tick label with the decimals a step of `step` needs.
std::string tick_label(double v, double step) {
  char text[40];
  const double size = std::max(std::fabs(v), step);
  if (size >= 1e6 || step < 1e-4) std::snprintf(text, sizeof text, "%g", v);
  else std::snprintf(text, sizeof text, "%.*f", std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9))), v);
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) out += *c == '-' ? std::string("\u2212") : std::string(1, *c);
  if (out.find_first_not_of("\u22120.", 0) == std::string::npos && out.rfind("\u2212", 0) == 0) out.erase(0, 3);
  return out;
}

// Multiples of `step` inside [low, high].
std::vector<Tick> linear(double low, double high, double step) {
  std::vector<Tick> ticks;
  const double first = std::ceil(low / step - 1e-9), last = std::floor(high / step + 1e-9);
  if (!(last - first < 1000.0)) return ticks;
  for (double k = first; k <= last; k += 1.0) ticks.push_back({k * step == 0.0 ? 0.0 : k * step, tick_label(k * step, step)});
  return ticks;
}

// The multiples of the powers of ten by `mantissas` inside [low, high],
// every `stride`-th decade.
std::vector<Tick> logarithmic(double low, double high, std::initializer_list<int> mantissas, int stride) {
  std::vector<Tick> ticks;
  const int from = static_cast<int>(std::floor(std::log10(low))), to = static_cast<int>(std::ceil(std::log10(high)));
  for (int e = from; e <= to; ++e) {
    if (e % stride != 0) continue;
    for (int m : mantissas) {
      const double v = m * std::pow(10.0, e);
      if (v >= low * (1 - 1e-12) && v <= high * (1 + 1e-12)) {
        char text[40];
        std::snprintf(text, sizeof text, "%g", v);
        ticks.push_back({v, text});
      }
    }
  }
  return ticks;
}

}  // namespace

std::vector<Tick> axis_ticks(double low, double high, bool log_scale, double length, double spacing) {
  const double room = std::max(1.0, length / std::max(spacing, 1e-9));  // ticks the axis has room for
  if (log_scale && low > 0.0 && high / low >= 10.0) {
    const double decades = std::log10(high / low);
    for (int stride : {1, 2, 5, 10, 20, 50, 100}) {
      if (decades / stride + 1 <= std::max(room, static_cast<double>(fewest))) {
        for (auto mantissas : {std::initializer_list<int>{1, 2, 5}, std::initializer_list<int>{1}}) {
          std::vector<Tick> ticks = logarithmic(low, high, mantissas, stride);
          if (ticks.size() >= fewest && (ticks.size() <= room || mantissas.size() == 1)) return ticks;
        }
      }
    }
  }
  // Steps from coarse to fine: the first with four ticks, or a finer one
  // while the axis has room for it.
  const double width = high - low;
  double step = std::pow(10.0, std::ceil(std::log10(width)));
  std::vector<Tick> chosen;
  for (int i = 0; i < 40; ++i, step /= (i % 3 == 1 ? 2.0 : i % 3 == 2 ? 2.5 : 2.0)) {
    std::vector<Tick> ticks = linear(low, high, step);
    if (ticks.size() < fewest) continue;
    if (!chosen.empty() && (ticks.size() > room || ticks.size() > most)) break;
    chosen = std::move(ticks);
  }
  // Four ticks closer than their labels allow: every other one unlabelled,
  // zero keeping its label.
  if (chosen.size() > room && chosen.size() > 1 && length > 0.0) {
    const double gap = length * (chosen[1].at - chosen[0].at) / (high - low);
    const auto every = static_cast<std::size_t>(std::clamp(std::ceil(spacing / gap), 1.0, 40.0));
    std::size_t phase = 0;
    for (std::size_t i = 0; i < chosen.size(); ++i) if (chosen[i].at == 0.0) phase = i % every;
    for (std::size_t i = 0; i < chosen.size(); ++i) if (i % every != phase) chosen[i].label.clear();
  }
  return chosen;
}

}  // namespace diffboot::figure
