#include "ar/dcholsl.hpp"

#include "common/array_view.hpp"

namespace quorvel {

void dcholsl(std::span<const double> A_, int n, std::span<const double> d_,
             std::span<const double> b_, std::span<double> x_) {
  if (n <= 0) return;
  View2<const double> A(A_.data(), n, n);
  View1<const double> d(d_.data(), n);
  View1<const double> b(b_.data(), n);
  View1<double> x(x_.data(), n);
  for (int i = 1; i <= n; ++i) {
    double sum = b(i);
    for (int k = i - 1; k >= 1; --k) sum -= A(i, k) * x(k);
    x(i) = sum / d(i);
  }
  for (int i = n; i >= 1; --i) {
    double sum = x(i);
    for (int k = i + 1; k <= n; ++k) sum -= A(k, i) * x(k);
    x(i) = sum / d(i);
  }
}

}  // namespace quorvel
