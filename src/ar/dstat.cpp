#include "ar/dstat.hpp"

#include <cmath>
#include <limits>

namespace quorvel {
namespace {

// The power of two that brings the largest magnitude of x into [0.5, 1):
// sums of fourth powers of data near 1e77 or beyond overflow, those of tiny
// data underflow, and a power of two scales every product and quotient of
// the moments exactly, so that ordinary data give the same bits with it
// as without.
double unit_scale(std::span<const double> x) {
  double largest = 0.0;
  for (double xi : x) largest = std::fmax(largest, std::fabs(xi));
  if (largest == 0.0 || !std::isfinite(largest)) return 1.0;
  int exponent = 0;
  std::frexp(largest, &exponent);
  return std::ldexp(1.0, -exponent);
}

// var2 of the data times `scale`, taken as they are read.
double scaled_var2(std::span<const double> x, double scale) {
  const int n = static_cast<int>(x.size());
  // A single value has no spread; the formula would divide by n - 1 = 0.
  if (n <= 1) return 0.0;
  double sum = 0.0;
  {
    // dsum's order: the leading n mod 6 values, then blocks of six, every
    // addition in index order.
    const int lead = n % 6;
    for (int i = 0; i < lead; ++i) sum += x[i] * scale;
    for (int i = lead; i < n; i += 6)
      sum = sum + x[i] * scale + x[i + 1] * scale + x[i + 2] * scale + x[i + 3] * scale + x[i + 4] * scale +
            x[i + 5] * scale;
  }
  const double m = sum / n;
  double s1 = 0.0, s2 = 0.0;
  for (double xi : x) {
    const double d = xi * scale - m;
    s1 += d;
    s2 += d * d;
  }
  const double v = (s2 - s1 * s1 / n) / (n - 1);
  return v < 0.0 ? 0.0 : v;
}

}  // namespace

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
  const double scale = unit_scale(x);
  // The variance scales by the square of the power of two: exact.
  return scaled_var2(x, scale) / (scale * scale);
}

Moments dstat(std::span<const double> x) {
  Moments r;
  r.max = -std::numeric_limits<double>::max();
  r.min = std::numeric_limits<double>::max();
  const int n = static_cast<int>(x.size());
  if (n <= 0) return r;

  // The moments are taken of the data times a power of two, and the mean
  // and the spread scaled back: exact, and finite for any finite data.
  const double scale = unit_scale(x);
  double sum = 0.0;
  for (double xi : x) {
    sum += xi * scale;
    if (xi >= r.max) r.max = xi;
    if (xi < r.min) r.min = xi;
  }
  const double mean = sum / n;
  const double sd = std::sqrt(scaled_var2(x, scale));
  r.mean = mean / scale;
  r.sd = sd / scale;

  double s3 = 0.0, s4 = 0.0;
  for (double xi : x) {
    const double d = xi * scale - mean;
    const double d3 = d * d * d;
    s3 += d3;
    s4 += d3 * d;
  }
  // A constant series has no shape: skewness and excess kurtosis are 0
  // rather than the 0/0 of the moment ratios.
  if (sd == 0.0) return r;
  const double sd2 = sd * sd;
  const double sd3 = sd2 * sd;
  const double sd4 = sd2 * sd2;
  r.skew = s3 / (n * sd3);
  r.kurt = s4 / (n * sd4) - 3.0;
  return r;
}

}  // namespace quorvel
