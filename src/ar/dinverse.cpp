#include "ar/dinverse.hpp"

#include "common/array_view.hpp"

namespace quorvel {

void dinverse(std::span<double> A_, int n, std::span<const double> d_) {
  if (n <= 0) return;
  View2<double> A(A_.data(), n, n);
  View1<const double> d(d_.data(), n);
  // L^-1 into the lower triangle, column by column.
  for (int i = 1; i <= n; ++i) {
    A(i, i) = 1.0 / d(i);
    for (int j = i + 1; j <= n; ++j) {
      double sum = 0.0;
      for (int k = i; k <= j - 1; ++k) sum -= A(j, k) * A(k, i);
      A(j, i) = sum / d(j);
    }
  }
  // (L^-1)^T * L^-1 into the upper triangle, row by row: row i reads only
  // rows >= i + 1 of L^-1 and its own column, so overwriting is safe.
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      double sum = 0.0;
      for (int r = j; r <= n; ++r) sum += A(r, i) * A(r, j);
      A(i, j) = sum;
    }
    double sum = 0.0;
    for (int r = i; r <= n; ++r) sum += A(r, i) * A(r, i);
    A(i, i) = sum;
  }
  for (int i = 1; i <= n; ++i)
    for (int j = i + 1; j <= n; ++j) A(j, i) = A(i, j);
}

}  // namespace quorvel
