#include "engine/t123.hpp"

#include <algorithm>

namespace quorvel {

void t123(std::span<int> t1, std::span<int> t2, std::span<int> t3, int lo, int hi, int M, int ntr) {
  const std::size_t clear = std::min<std::size_t>(static_cast<std::size_t>(std::max(ntr, 0)),
                                                  std::min(t1.size(), t2.size()));
  std::fill_n(t1.begin(), clear, 0);
  std::fill_n(t2.begin(), clear, 0);
  std::size_t j = 0;
  auto put = [&](int k1, int k2, int k3) {
    if (j >= t1.size() || j >= t2.size() || j >= t3.size()) return;  // never past the tables, whatever the counts say
    t1[j] = k1;
    t2[j] = k2;
    t3[j] = k3;
    ++j;
  };
  for (int k1 = lo; k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2)
      if (k1 + k2 < hi)
        for (int k3 = lo; k3 <= std::min(k2, hi - k1 - k2); ++k3) put(k1, k2, k3);
  for (int k1 = lo; k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2)
      for (int m = std::max(lo, k1 + k2 - hi); m <= k2 - 1; ++m) put(k1, k2, -m);
  for (int k1 = lo; k1 <= std::min(hi, M / 6); ++k1)
    for (int k2 = lo; k2 <= k1; ++k2)
      for (int k3 = lo; k3 <= std::min(k2, hi - k1 - k2); ++k3) put(k1, k2, k3);
  for (int k1 = std::max(lo, M / 4); k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2)
      for (int m = std::max(lo, k1 + k2 - hi); m <= k2 - 1; ++m) put(k1, k2, -m);
}

}  // namespace quorvel
