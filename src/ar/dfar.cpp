#include "ar/dfar.hpp"

#include <cmath>
#include <new>
#include <string>

#include "ar/dcholdc.hpp"
#include "ar/dcholsl.hpp"
#include "ar/dinverse.hpp"
#include "common/array_view.hpp"
#include "common/diagnostics.hpp"
#include "common/memory.hpp"
#include "common/send.hpp"
#include "common/units.hpp"
#include "stats/cdchi.hpp"

namespace quorvel {

void cr(std::span<const double> x_, int p, ArSystem& sys) {
  const int n = static_cast<int>(x_.size());
  View1<const double> x(x_.data(), n);
  View1<double> c(sys.c.data(), p);
  View1<double> r(sys.r.data(), p);

  double sum = 0.0;
  for (int t = 1; t <= n; ++t) sum += x(t);
  const double xbar = sum / n;

  // c0 starts from the last square; the lag-1 sum adds those of t = 1 .. n - 1.
  const double dn = x(n) - xbar;
  double c0 = dn * dn;
  for (int h = 1; h <= p; ++h) {
    double ch = 0.0;
    for (int t = 1; t <= n - h; ++t) {
      const double dt = x(t) - xbar;
      ch += dt * (x(t + h) - xbar);
      if (h == 1) c0 += dt * dt;
    }
    c(h) = ch;
    r(h) = ch;
  }
  sys.c0 = c0;
  sys.xbar = xbar;

  View2<double> A(sys.A.data(), p, p);
  for (int j = 1; j <= p; ++j) {
    A(j, j) = sys.c0;
    for (int i = 1; i < j; ++i) A(i, j) = c(j - i);
  }
}

void reduce(ArSystem& sys, std::span<const int> lags, int k) {
  View1<const int> L(lags.data(), k);
  View1<const double> c(sys.c.data(), sys.p);
  View1<double> r(sys.r.data(), k);
  for (int i = 1; i <= k; ++i) r(i) = c(L(i));
  View2<double> A(sys.A.data(), k, k);
  for (int j = 1; j <= k; ++j) {
    A(j, j) = sys.c0;
    for (int i = 1; i < j; ++i) A(i, j) = c(L(j) - L(i));
  }
}

bool ar(std::span<const double> x_, ArSystem& sys, ArFit& fit, int m, float pv,
        std::span<double> e_, int unit) {
  const int n = static_cast<int>(x_.size());
  View1<const double> x(x_.data(), n);
  View1<double> e(e_.data(), n);
  View1<int> L(fit.lags.data(), m);
  View1<double> a(fit.a.data(), m);
  View1<double> se(fit.se.data(), m);
  const std::span<double> A(sys.A.data(), static_cast<std::size_t>(m) * m);

  if (dcholdc(A, m, sys.diag) != 0) {
    send({unit, kConsoleUnit}, listed("DCHOLDC failed, A is not positive definite"), listed("pi = ", m));
    post_diagnostic("ar_fit_failed", "the AR fit of order " + std::to_string(m) +
                                         " failed: its normal equations are not positive definite");
    return false;
  }
  dcholsl(A, m, sys.diag, sys.r, std::span<double>(fit.a.data(), m));

  const double xbar = sys.xbar;
  const int lmax = L(m);
  double s1 = 0.0, s2 = 0.0;
  for (int t = lmax + 1; t <= n; ++t) {
    double pred = 0.0;
    for (int j = 1; j <= m; ++j) pred += a(j) * (x(t - L(j)) - xbar);
    const double et = (x(t) - xbar) - pred;
    e(t) = et;
    s1 += et;
    s2 += et * et;
  }
  for (int t = 1; t <= lmax && t <= n; ++t) e(t) = 0.0;

  const double sse = s2 - s1 * s1 / (n - m);
  const float r2 = 1.0f - static_cast<float>(sse / sys.c0);
  fit.adjr2 = r2 - (1.0f - r2) * static_cast<float>(m - 1) / static_cast<float>(n - m);
  fit.s = static_cast<float>(std::sqrt(sse / (n - m - 1)));

  dinverse(A, m, sys.diag);
  View2<const double> Ainv(sys.A.data(), m, m);

  const float level = 1.0f - pv;
  int k = 0;
  for (int j = 1; j <= m; ++j) {
    const float sej = fit.s * static_cast<float>(std::sqrt(Ainv(j, j)));
    se(j) = sej;
    const float t = static_cast<float>(a(j)) / sej;
    const float chi2 = t * t;
    float prob = 0.0f;  // a rejected statistic counts as not significant
    cdchi(chi2, 1.0f, prob, unit);
    if (prob > level) {
      ++k;
      L(k) = L(j);
    }
  }
  fit.k = k;
  if (k > 0 && k < m) reduce(sys, std::span<const int>(fit.lags.data(), k), k);
  return true;
}

ArFit dfar(std::span<const double> x, int p, float pv, std::span<double> e, int unit) {
  ArFit fit;
  const int n = static_cast<int>(x.size());
  if (p < 1) {
    send({unit, kConsoleUnit}, listed("p in AR(p)", p, " < 1"));
    return fit;
  }
  if (p > n / 2) {
    send({unit, kConsoleUnit}, listed("p in AR(p) ", p, " > n/2 ", n / 2, " n = ", n));
    return fit;
  }

  // An order whose normal equations cannot fit in memory is refused before
  // any of the fit's work is spent.
  ArSystem sys;
  try {
    if (!fits_in_memory(8.0 * p * p + 64.0 * p)) throw std::bad_alloc();
    sys.p = p;
    sys.A.assign(static_cast<std::size_t>(p) * p, 0.0);
    sys.r.assign(p + 1, 0.0);
    sys.diag.assign(p + 1, 0.0);
    sys.c.assign(p + 1, 0.0);
    fit.a.assign(p, 0.0);
    fit.se.assign(p, 0.0);
    fit.lags.resize(p);
  } catch (const std::bad_alloc&) {
    send({unit, kConsoleUnit}, listed("Unable to allocate work space for arrays in far"));
    post_diagnostic("ar_fit_failed", "the AR fit of order " + std::to_string(p) + " does not fit in memory");
    return ArFit{};
  }

  cr(x, p, sys);
  for (int j = 1; j <= p; ++j) fit.lags[j - 1] = j;

  // Backward elimination: refit on the kept lags until a pass keeps all
  // of its lags or none.
  int m = p;
  for (;;) {
    if (!ar(x, sys, fit, m, pv, e, unit)) {
      fit.k = 0;  // a failed factorisation ends the fit without a model
      break;
    }
    if (fit.k == 0 || fit.k >= m) break;
    m = fit.k;
  }
  return fit;
}

}  // namespace quorvel
