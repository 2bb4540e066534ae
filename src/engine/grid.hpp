#pragma once
// The trispectrum grid of a band, row by row: the one enumeration that the
// index tables (t123), the estimator's plan and the probability planes
// (scalu) walk, so that they cannot fall out of step.
#include <algorithm>

namespace quorvel {

// The four parts of the grid, in grid order.
enum class GridPart {
  StationaryPositive,  // k3 > 0
  StationaryNegative,  // k3 = -m
  AliasingPositive,    // k3 > 0, k1 <= M/6
  AliasingNegative,    // k3 = -m, k1 >= M/4
};

inline bool negative_k3(GridPart part) {
  return part == GridPart::StationaryNegative || part == GridPart::AliasingNegative;
}

// One (part, k1, k2) of the grid: its values have k3 = first, first + 1, ...
// (k3 > 0 parts) or m = first, first + 1, ... with k3 = -m, `count` of them
// (0 for a pair with no values).
struct GridRow {
  GridPart part;
  int k1, k2;
  int first;
  int count;
};

// Calls row(GridRow) for every pair (k1, k2), lo <= k2 <= k1, of each part
// of the band lo..hi for frames of M points, in grid order; pairs without
// values are visited too.
template <class Row>
void for_each_grid_row(int lo, int hi, int M, Row&& row) {
  auto positive = [&](GridPart part, int k1, int k2) {
    // A stationary pair needs k4 = -(k1 + k2 + k3) inside the band.
    const bool room = part == GridPart::AliasingPositive || k1 + k2 < hi;
    row(GridRow{part, k1, k2, lo, room ? std::max(std::min(k2, hi - k1 - k2) - lo + 1, 0) : 0});
  };
  auto negative = [&](GridPart part, int k1, int k2) {
    const int m0 = std::max(lo, k1 + k2 - hi);
    row(GridRow{part, k1, k2, m0, std::max(k2 - m0, 0)});
  };
  for (int k1 = lo; k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2) positive(GridPart::StationaryPositive, k1, k2);
  for (int k1 = lo; k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2) negative(GridPart::StationaryNegative, k1, k2);
  for (int k1 = lo; k1 <= std::min(hi, M / 6); ++k1)
    for (int k2 = lo; k2 <= k1; ++k2) positive(GridPart::AliasingPositive, k1, k2);
  for (int k1 = std::max(lo, M / 4); k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2) negative(GridPart::AliasingNegative, k1, k2);
}

}  // namespace quorvel
