#include "figure/effect_scale.h"

namespace diffboot::figure {

const EffectScale* unitless_scale(std::string_view code) {
  for (const EffectScale& s : unitless_scales) {
    if (s.measure == code) return &s;
  }
  return nullptr;
}

}  // namespace diffboot::figure
