#pragma once
// The frequency index tables of the trispectrum grid.
#include <span>

namespace quorvel {

// Writes k1, k2 and k3 (k3 = -m in the two k3 < 0 parts) of every value of
// the grid of the band lo..hi for frames of M points, in grid order: the
// stationary k3 > 0 set, the stationary k3 < 0 set, the aliasing set (k3 > 0
// half first). t1 and t2 are cleared over their ntr entries first.
void t123(std::span<int> t1, std::span<int> t2, std::span<int> t3, int lo, int hi, int M, int ntr);

}  // namespace quorvel
