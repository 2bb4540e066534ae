#pragma once
// Index sort and sample fractiles. Index arrays hold 0-based positions.
#include <span>

namespace quorvel {

// isrt: 'S' sort only, 'F' fractiles only (from an earlier sort), 'B' both.
// ierr: 0 success, 1 n <= 1, 2 bad isrt, 3 no fractiles asked for.
void dsort(std::span<int> indx, std::span<const double> x, int n, std::span<const float> frac,
           std::span<double> xf, char isrt, int& ierr);
void indexx(int n, std::span<const double> x, std::span<int> indx);

// The fractile of x at `level` (0 < level < 1, no NaN in x) exactly as
// dsort computes it, from the two order statistics it interpolates between,
// found by selection instead of a full sort; x is reordered.
double fractile_by_selection(std::span<double> x, float level);

}  // namespace quorvel
