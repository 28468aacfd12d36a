#pragma once
// Points of one column set side by side where they would hide each other,
// in a fixed order, so that the same values give the same figure.
#include <span>
#include <vector>

namespace diffboot::figure {

// The sideways offset of each of `positions` (the points' heights on the
// page), in the unit of `diameter`: a point goes to the nearest free slot of
// the column (0, +1, −1, +2, … diameters), a slot being free where its last
// point lies at least a diameter below; with `per_side` slots on each side
// taken, to the slot whose last point lies lowest.
std::vector<double> swarm_offsets(std::span<const double> positions, double diameter, int per_side);

}  // namespace diffboot::figure
