#include "ar/dcholdc.hpp"

#include <cmath>

#include "common/array_view.hpp"

namespace quorvel {

int dcholdc(std::span<double> A_, int n, std::span<double> d_) {
  if (n <= 0) return 0;
  View2<double> A(A_.data(), n, n);
  View1<double> d(d_.data(), n);
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      double sum = A(i, j);
      for (int k = i - 1; k >= 1; --k) sum -= A(i, k) * A(j, k);
      if (i == j) {
        if (sum <= 0.0) return 1;
        d(i) = std::sqrt(sum);
      } else {
        A(j, i) = sum / d(i);
      }
    }
  }
  return 0;
}

}  // namespace quorvel
