#include "stats/cdchi.hpp"

#include <cmath>

#include "common/record_writer.hpp"

namespace quorvel {
namespace {

// Relative tolerance of the series and of the continued fraction: the
// single-precision 3e-7 widened.
constexpr double kTolerance = static_cast<double>(3e-7f);
// Floor that keeps the continued fraction's divisors away from zero.
constexpr double kTiny = static_cast<double>(1e-30f);
constexpr int kSeriesSteps = 10000;
constexpr int kFractionSteps = 1000;

// What gammp returns when it computed no probability: a rejected argument or
// a series / continued fraction that did not converge (both reported).
constexpr float kNoProbability = -1.0f;

}  // namespace

void cdchi(float x, float df, float& p, int unit) {
  if (x < 0.0f) {
    writel(unit, "x in cdchi ", x, " is not positive");
    return;
  }
  if (x < 1e-4f) {
    p = 0.0f;
    return;
  }
  if (df < 0.0f) {
    writel(unit, "df ", df, " value is not positive in call to cdchi");
    return;
  }
  if (df < 1e-4f) {
    // A vanishing df is computed with the two-degree formula.
    float half = x / 2.0f;
    p = half > 11.0f ? 1.0f : static_cast<float>(1.0 - std::exp(-static_cast<double>(half)));
    return;
  }
  // After a failed gammp (-1) the floor below yields 0.
  p = gammp(df / 2.0f, x / 2.0f, unit);
  if (p < 1e-4f) p = 0.0f;
}

float gammp(float a, float x, int unit) {
  if (x < 0.0f || a <= 0.0f) {
    writel(unit, "Bad argument in gammp");
    return kNoProbability;
  }
  // A NaN result marks "not assigned": gser and gcf leave it untouched when
  // they report a failure.
  double result = std::nan("");
  double lg = 0.0;
  if (x < a + 1.0f) {
    gser(result, a, x, lg, unit);
    return std::isnan(result) ? kNoProbability : static_cast<float>(result);
  }
  gcf(result, a, x, lg, unit);
  return std::isnan(result) ? kNoProbability : static_cast<float>(1.0 - result);
}

void gser(double& result, float a, float x, double& lg, int unit) {
  if (x <= 0.0f) {
    if (x < 0.0f) {
      writel(unit, "x < 0 in gser");
      return;
    }
    result = 0.0;
    return;
  }
  const double ad = a, xd = x;
  lg = gammln(ad);
  double s = ad;
  double sum = 1.0 / ad;
  double delta = sum;
  for (int n = 1; n <= kSeriesSteps; ++n) {
    s += 1.0;
    delta = delta * xd / s;
    sum += delta;
    if (std::fabs(delta) < std::fabs(sum) * kTolerance) {
      result = sum * std::exp(-xd + ad * std::log(xd) - lg);
      return;
    }
  }
  writel(unit, "a = ", a, " too large, ITMAX too small in gser");
}

void gcf(double& result, float a, float x, double& lg, int unit) {
  const double ad = a, xd = x;
  lg = gammln(ad);
  double b = xd + 1.0 - ad;
  double q = 1.0 / kTiny;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i <= kFractionSteps; ++i) {
    double alpha = -i * (i - ad);
    b += 2.0;
    d = alpha * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    q = b + alpha / q;
    if (std::fabs(q) < kTiny) q = kTiny;
    d = 1.0 / d;
    double delta = d * q;
    h *= delta;
    if (std::fabs(delta - 1.0) < kTolerance) {
      result = std::exp(-xd + ad * std::log(xd) - lg) * h;
      return;
    }
  }
  writel(unit, "a = ", a, " too large, ITMAX too small in gcf");
}

double gammln(double z) {
  static constexpr double kCoefficients[6] = {76.18009172947146,     -86.50532032941677,
                                              24.01409824083091,     -1.231739572450155,
                                              0.1208650973866179e-2, -0.5395239384953e-5};
  double t = z + 5.5;
  t = (z + 0.5) * std::log(t) - t;
  double y = z;
  double sigma = 1.000000000190015;
  for (double c : kCoefficients) {
    y += 1.0;
    sigma += c / y;
  }
  return t + std::log(2.5066282746310005 * sigma / z);
}

}  // namespace quorvel
