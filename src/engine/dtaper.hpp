#pragma once
// The split cosine-bell taper of a frame.
#include <span>

namespace quorvel {

// Fills w (M values) with a window whose ends rise as a quarter sine over
// ntaper points, for a taper of pct percent; taperfac is the mean of w^2.
// pct <= 0 returns at once; a pct above 50 or a taper wider than M/4 is
// reported on `unit` and leaves w and taperfac untouched.
void dtaper(std::span<double> w, int M, double pct, double& taperfac, int& ntaper, int unit);

}  // namespace quorvel
