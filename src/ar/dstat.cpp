#include "ar/dstat.hpp"

#include <cmath>
#include <limits>

namespace quorvel {

double dsum(int n, const double* x, int incx) {
  if (n <= 0) return 0.0;
  double sum = 0.0;
  if (incx != 1) {
    for (int i = 0; i < n; ++i) sum += x[static_cast<long>(i) * incx];
    return sum;
  }
  // The leading n mod 6 elements, then blocks of six; every addition still
  // runs in index order, so the sum equals a plain left-to-right loop.
  const int lead = n % 6;
  for (int i = 0; i < lead; ++i) sum += x[i];
  for (int i = lead; i < n; i += 6)
    sum = sum + x[i] + x[i + 1] + x[i + 2] + x[i + 3] + x[i + 4] + x[i + 5];
  return sum;
}

double var2(std::span<const double> x) {
  const int n = static_cast<int>(x.size());
  // A single value has no spread; the formula would divide by n - 1 = 0.
  if (n <= 1) return 0.0;
  const double m = dsum(n, x.data(), 1) / n;
  double s1 = 0.0, s2 = 0.0;
  for (double xi : x) {
    const double d = xi - m;
    s1 += d;
    s2 += d * d;
  }
  const double v = (s2 - s1 * s1 / n) / (n - 1);
  return v < 0.0 ? 0.0 : v;
}

Moments dstat(std::span<const double> x) {
  Moments r;
  r.max = -std::numeric_limits<double>::max();
  r.min = std::numeric_limits<double>::max();
  const int n = static_cast<int>(x.size());
  if (n <= 0) return r;

  double sum = 0.0;
  for (double xi : x) {
    sum += xi;
    if (xi >= r.max) r.max = xi;
    if (xi < r.min) r.min = xi;
  }
  r.mean = sum / n;
  r.sd = std::sqrt(var2(x));

  double s3 = 0.0, s4 = 0.0;
  for (double xi : x) {
    const double d = xi - r.mean;
    const double d3 = d * d * d;
    s3 += d3;
    s4 += d3 * d;
  }
  // A constant series has no shape: skewness and excess kurtosis are 0
  // rather than the 0/0 of the moment ratios.
  if (r.sd == 0.0) return r;
  const double sd2 = r.sd * r.sd;
  const double sd3 = sd2 * r.sd;
  const double sd4 = sd2 * sd2;
  r.skew = s3 / (n * sd3);
  r.kurt = s4 / (n * sd4) - 3.0;
  return r;
}

}  // namespace quorvel
