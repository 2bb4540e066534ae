#pragma once
// Index sort and sample fractiles. Index arrays hold 0-based positions.
#include <span>

namespace quorvel {

// isrt: 'S' sort only, 'F' fractiles only (from an earlier sort), 'B' both.
// ierr: 0 success, 1 n <= 1, 2 bad isrt, 3 no fractiles asked for.
void dsort(std::span<int> indx, std::span<const double> x, int n, std::span<const float> frac,
           std::span<double> xf, char isrt, int& ierr);
void indexx(int n, std::span<const double> x, std::span<int> indx);

// indexx stopped as soon as the last `count` entries of indx are final: they
// are exactly the last `count` entries that indexx gives (ties in its order
// too); the entries before them are the other positions in no useful order.
void indexx_tail(int n, std::span<const double> x, std::span<int> indx, int count);

// Whether selection gives the bits of the sorted order: no NaN (which has no
// rank) and no negative zero (equal to +0 but printed differently).
bool selection_matches_sort(std::span<const double> x);

// The fractile of x at `level` (0 < level < 1) exactly as dsort computes it,
// from the two order statistics it interpolates between, found by selection
// instead of a full sort; x is reordered. Needs selection_matches_sort(x).
double fractile_by_selection(std::span<double> x, float level);

// The same for several levels (each 0 < level < 1) into xf; the selections
// share their work.
void fractiles_by_selection(std::span<double> x, std::span<const float> levels, std::span<double> xf);

}  // namespace quorvel
