#pragma once
// The two kinds of experiment: two values measured on each unit (paired),
// or two independent samples (unpaired).

namespace diffboot::bootstrap {

enum class Experiment { paired, unpaired };

}  // namespace diffboot::bootstrap
