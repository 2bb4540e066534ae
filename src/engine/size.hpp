#pragma once
// The counting of the trispectrum grid of a band: how many values each part
// holds and the largest k3 of the two stationary sets.

namespace quorvel {

// Counts in 64 bits: a band absurdly wide for the machine must be counted
// (and refused) rather than overflow.
struct GridCounts {
  long long npos = 0;   // stationary values with k3 > 0
  long long nneg = 0;   // stationary values with k3 < 0
  long long na = 0;     // aliasing values, both halves
  long long k3pos = 0;  // largest k3 of the k3 > 0 set (0 if empty)
  long long k3neg = 0;  // largest m of the k3 = -m set (0 if empty)
};

// Counts the grid of the band lo..hi for frames of M points, in the same
// enumeration as the index tables and the estimator, in time linear in the
// band's width.
GridCounts size(int lo, int hi, int M);

}  // namespace quorvel
