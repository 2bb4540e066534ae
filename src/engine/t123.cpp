#include "engine/t123.hpp"

#include <algorithm>

#include "engine/grid.hpp"

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
  for_each_grid_row(lo, hi, M, [&](const GridRow& row) {
    const int sign = negative_k3(row.part) ? -1 : 1;
    for (int k = row.first; k < row.first + row.count; ++k) put(row.k1, row.k2, sign * k);
  });
}

}  // namespace quorvel
