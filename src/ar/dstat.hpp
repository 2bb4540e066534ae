#pragma once
// Descriptive statistics of a series.
#include <span>

namespace quorvel {

struct Moments {
  double mean = 0, sd = 0, skew = 0, kurt = 0;
  double max = 0, min = 0;
};

// Mean, standard deviation (divisor n - 1), skewness, excess kurtosis,
// maximum and minimum of x.
Moments dstat(std::span<const double> x);
// Sample variance with divisor n - 1, by the corrected two-pass formula.
double var2(std::span<const double> x);
// Sum of n elements taken with a stride.
double dsum(int n, const double* x, int incx);

}  // namespace quorvel
