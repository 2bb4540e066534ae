#include "stats/p2chi.hpp"

#include <cmath>
#include <optional>

#include "common/record_writer.hpp"
#include "common/stop.hpp"

namespace quorvel {
namespace {

constexpr int kMaxTerms = 90000;
// Poisson terms whose logarithm is below this are taken as zero.
constexpr double kLogFloor = -14.0;

// ln k! for k = 0 .. kMaxTerms, summed exactly as the series loop sums it
// (L_k = L_{k-1} + ln k), so a value read here has the loop's bits.
const std::vector<double>& log_factorials() {
  static const std::vector<double> table = [] {
    std::vector<double> l(kMaxTerms + 1);
    double sum = 0.0;
    l[0] = 0.0;
    for (int k = 1; k <= kMaxTerms; ++k) {
      sum += std::log(static_cast<double>(k));
      l[k] = sum;
    }
    return l;
  }();
  return table;
}

// The checks that precede the series and the central case; a value when
// they settle the result.
[[gnu::always_inline]] inline std::optional<float> settled_without_series(float x, float lamda, int unit) {
  if (x < 0.0f) {
    writel(unit, "Argument is negative", x);
    return -1.0f;
  }
  if (static_cast<double>(x) <= 1e-10) return 0.0f;
  if (lamda < 0.0f) {
    writel(unit, "Noncentrality Parameter Lamda < 0. ", lamda);
    stop();
  }
  if (lamda < 1e-7f) {
    double h = static_cast<double>(x) / 2.0;
    if (h > 14.0) return 1.0f;
    return static_cast<float>(1.0 - std::exp(-h));
  }
  return std::nullopt;
}

// The stopping rules, tested against the sum s before the term t is added.
[[gnu::always_inline]] inline std::optional<float> stop_rule(double s, double t, double g) {
  if (s > 0.99999) return 1.0f;
  if (t < 1e-10 * s) return static_cast<float>(s);
  if (t < 1e-20 && s > 1e-6) return static_cast<float>(s);
  if (std::fabs(g - 1.0) < 1e-10) return static_cast<float>(s);
  return std::nullopt;
}

float report_no_convergence(float x, float lamda, int unit) {
  writef(unit, "(/,7X,'Error in subroutine P2chi',/)");
  writef(unit, "(2X,'Sum did not converge in ',I5,' tries')", kMaxTerms);
  writef(unit, "(/,7X,'Input x = ',E12.5,2X,'Lamda = ',E12.5)", x, lamda);
  return -1.0f;
}

}  // namespace

float p2chi(float x, float lamda, int unit) {
  if (auto settled = settled_without_series(x, lamda, unit)) return *settled;
  const double h = static_cast<double>(x) / 2.0;
  const double m = static_cast<double>(lamda) / 2.0;
  const double e0 = h <= 14.0 ? std::exp(-h) : 0.0;
  const double w0 = m <= 14.0 ? std::exp(-m) : 0.0;
  double s = w0 * (1.0 - e0);
  double g = e0;
  double log_fact = 0.0;
  const double log_h = std::log(h);
  const double log_m = std::log(m);
  for (int k = 1; k <= kMaxTerms; ++k) {
    log_fact += std::log(static_cast<double>(k));
    double t_x = k * log_h - log_fact - h;
    double t_lambda = k * log_m - log_fact - m;
    if (t_x >= kLogFloor) g += std::exp(t_x);
    double w = t_lambda >= kLogFloor ? std::exp(t_lambda) : 0.0;
    double t = w * (1.0 - g);
    if (auto result = stop_rule(s, t, g)) return *result;
    s += t;
  }
  return report_no_convergence(x, lamda, unit);
}

P2chiLambda prepare_p2chi(float lamda) {
  P2chiLambda p;
  p.lamda = lamda;
  // Below 1e-7 (or negative) the series is never reached.
  if (lamda < 1e-7f) return p;
  p.m = static_cast<double>(lamda) / 2.0;
  p.w0 = p.m <= 14.0 ? std::exp(-p.m) : 0.0;
  p.log_m = std::log(p.m);
  const std::vector<double>& log_fact = log_factorials();
  for (int k = 1; k <= kMaxTerms; ++k) {
    double t_lambda = k * p.log_m - log_fact[k] - p.m;
    if (t_lambda >= kLogFloor) {
      p.weights.resize(k, 0.0);
      p.weights[k - 1] = std::exp(t_lambda);
    }
  }
  return p;
}

float p2chi(const P2chiLambda& prepared, float x, int unit) {
  if (auto settled = settled_without_series(x, prepared.lamda, unit)) return *settled;
  const double h = static_cast<double>(x) / 2.0;
  const double e0 = h <= 14.0 ? std::exp(-h) : 0.0;
  double s = prepared.w0 * (1.0 - e0);
  double g = e0;
  const double log_h = std::log(h);
  const double* log_fact = log_factorials().data();
  const double* weights = prepared.weights.data();
  const int n_weights = static_cast<int>(prepared.weights.size());
  for (int k = 1; k <= kMaxTerms; ++k) {
    double t_x = k * log_h - log_fact[k] - h;
    if (t_x >= kLogFloor) g += std::exp(t_x);
    double w = k <= n_weights ? weights[k - 1] : 0.0;
    double t = w * (1.0 - g);
    if (auto result = stop_rule(s, t, g)) return *result;
    s += t;
  }
  return report_no_convergence(x, prepared.lamda, unit);
}

}  // namespace quorvel
