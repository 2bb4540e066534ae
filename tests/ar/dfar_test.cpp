// The stepwise AR fit: lag selection, the reduced system, residuals and
// the messages of refused or failed fits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ar/dcholdc.hpp"
#include "ar/dcholsl.hpp"
#include "ar/dfar.hpp"
#include "common/units.hpp"
#include "support/message_capture.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

using testing::squeeze;

// Gaussian noise from a fixed generator (Box-Muller on 32-bit draws).
std::vector<double> noise(int n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  auto uniform = [&] { return (gen() + 0.5) / 4294967296.0; };
  std::vector<double> v(n);
  for (int i = 0; i < n; i += 2) {
    const double r = std::sqrt(-2.0 * std::log(uniform())), th = 2.0 * M_PI * uniform();
    v[i] = r * std::cos(th);
    if (i + 1 < n) v[i + 1] = r * std::sin(th);
  }
  return v;
}

// x(t) = sum phi(lag) x(t - lag) + noise, after a burn-in of 200 values.
std::vector<double> ar_series(int n, const std::vector<std::pair<int, double>>& phi,
                              std::uint32_t seed) {
  const int burn = 200;
  std::vector<double> eps = noise(n + burn, seed), x(n + burn, 0.0);
  for (int t = 0; t < n + burn; ++t) {
    double v = eps[t];
    for (auto [lag, c] : phi)
      if (t >= lag) v += c * x[t - lag];
    x[t] = v;
  }
  std::vector<double> out(x.begin() + burn, x.end());
  for (double& v : out) v += 10.0;  // a mean the fit must remove
  return out;
}

TEST(Dfar, KeepsLagsOneAndThreeOfFiveThroughASecondPass) {
  const int n = 2000;
  const std::vector<double> x = ar_series(n, {{1, 0.5}, {3, 0.3}}, 12);
  std::vector<double> e(n, -1.0);
  ArFit fit;
  {
    testing::MessageCapture quiet;
    fit = dfar(x, 5, 0.05f, e, kReportUnit);
    EXPECT_TRUE(quiet.records().empty());
  }
  ASSERT_EQ(fit.k, 2);
  EXPECT_EQ(fit.lags[0], 1);
  EXPECT_EQ(fit.lags[1], 3);
  EXPECT_EQ(fit.lmax(), 3);

  // The second pass's system: [[c0, c(2)], [c(2), c0]] with right-hand side (c(1), c(3)).
  ArSystem sys;
  sys.p = 5;
  sys.A.assign(25, 0.0);
  sys.r.assign(6, 0.0);
  sys.diag.assign(6, 0.0);
  sys.c.assign(6, 0.0);
  cr(x, 5, sys);
  const std::vector<int> kept = {1, 3};
  reduce(sys, kept, 2);
  EXPECT_EQ(sys.A[0], sys.c0);
  EXPECT_EQ(sys.A[2], sys.c[1]);
  EXPECT_EQ(sys.A[3], sys.c0);
  EXPECT_EQ(sys.r[0], sys.c[0]);
  EXPECT_EQ(sys.r[1], sys.c[2]);
  std::vector<double> a(2);
  ASSERT_EQ(dcholdc(std::span<double>(sys.A.data(), 4), 2, sys.diag), 0);
  dcholsl(std::span<const double>(sys.A.data(), 4), 2, sys.diag, sys.r, a);
  EXPECT_EQ(fit.a[0], a[0]);
  EXPECT_EQ(fit.a[1], a[1]);
  EXPECT_NEAR(a[0], 0.5, 0.05);
  EXPECT_NEAR(a[1], 0.3, 0.05);

  // Residuals start after the largest lag.
  for (int t = 0; t < 3; ++t) EXPECT_EQ(e[t], 0.0);
  const double xbar = sys.xbar;
  const double e4 = (x[3] - xbar) - (a[0] * (x[2] - xbar) + a[1] * (x[0] - xbar));
  EXPECT_EQ(e[3], e4);

  // The fit statistics count n - k (2 lags), not n - Lmax.
  double s1 = 0, s2 = 0;
  for (int t = 3; t < n; ++t) {
    s1 += e[t];
    s2 += e[t] * e[t];
  }
  const double sse = s2 - s1 * s1 / (n - 2);
  EXPECT_EQ(fit.s, static_cast<float>(std::sqrt(sse / (n - 2 - 1))));
  const float r2 = 1.0f - static_cast<float>(sse / sys.c0);
  EXPECT_EQ(fit.adjr2, r2 - (1.0f - r2) * 1.0f / static_cast<float>(n - 2));
  for (int j = 0; j < 2; ++j) EXPECT_GT(fit.se[j], 0.0);
}

TEST(Dfar, ZeroLevelKeepsNoLag) {
  const std::vector<double> x = ar_series(500, {{1, 0.8}}, 3);
  std::vector<double> e(500);
  const ArFit fit = dfar(x, 3, 0.0f, e, kReportUnit);
  EXPECT_EQ(fit.k, 0);
  EXPECT_EQ(fit.lmax(), 0);
}

TEST(Dfar, OrderOneMakesTheSinglePass) {
  const std::vector<double> x = ar_series(800, {{1, 0.6}}, 5);
  std::vector<double> e(800);
  const ArFit fit = dfar(x, 1, 0.05f, e, kReportUnit);
  ASSERT_EQ(fit.k, 1);
  EXPECT_EQ(fit.lags[0], 1);
  EXPECT_NEAR(fit.a[0], 0.6, 0.07);
  EXPECT_EQ(e[0], 0.0);
  EXPECT_NE(e[1], 0.0);
}

TEST(Dfar, OrderUpToHalfTheSeries) {
  const std::vector<double> x = noise(20, 9);
  std::vector<double> e(21);
  {
    testing::MessageCapture c;
    dfar(x, 10, 0.05f, e, kReportUnit);  // p = n/2 is accepted
    for (const auto& r : c.records()) EXPECT_EQ(r.text.find("n/2"), std::string::npos);
  }
  const std::vector<double> y = noise(21, 9);
  testing::MessageCapture c;
  const ArFit fit = dfar(y, 11, 0.05f, e, kReportUnit);
  EXPECT_EQ(fit.k, 0);
  ASSERT_EQ(c.records().size(), 2u);
  EXPECT_EQ(c.records()[0].unit, kReportUnit);
  EXPECT_EQ(c.records()[1].unit, kConsoleUnit);
  EXPECT_EQ(squeeze(c.records()[0].text), "p in AR(p) 11 > n/2 10 n = 21");
  EXPECT_EQ(c.records()[1].text, c.records()[0].text);
}

TEST(Dfar, OrderBelowOneIsRefused) {
  std::vector<double> x(10, 1.0), e(10);
  testing::MessageCapture c;
  EXPECT_EQ(dfar(x, 0, 0.05f, e, kReportUnit).k, 0);
  ASSERT_EQ(c.records().size(), 2u);
  EXPECT_EQ(squeeze(c.records()[0].text), "p in AR(p) 0 < 1");
}

// An order whose p x p normal equations need more memory than is available
// is refused before any of the fit's work, with the allocation message.
TEST(Dfar, OrderBeyondTheAvailableMemoryIsRefusedBeforeTheFit) {
  double available = 0;
  std::ifstream info("/proc/meminfo");
  for (std::string key; info >> key >> available && key != "MemAvailable:";) info.ignore(256, '\n');
  ASSERT_GT(available, 0);
  const int p = static_cast<int>(std::sqrt(1.5 * available * 1024.0 / 8.0)) + 1;
  std::vector<double> x(2 * static_cast<std::size_t>(p) + 2, 1.0), e(x.size());
  testing::MessageCapture c;
  EXPECT_EQ(dfar(x, p, 0.05f, e, kReportUnit).k, 0);
  ASSERT_FALSE(c.records().empty());
  EXPECT_EQ(squeeze(c.records()[0].text), "Unable to allocate work space for arrays in far");
}

TEST(Dfar, ConstantSeriesFailsTheFactorisationAndEndsWithoutModel) {
  std::vector<double> x(40, 2.5), e(40);
  testing::MessageCapture c;
  const ArFit fit = dfar(x, 3, 0.05f, e, kReportUnit);
  EXPECT_EQ(fit.k, 0);
  ASSERT_EQ(c.records().size(), 4u);
  EXPECT_EQ(c.records()[0].unit, kReportUnit);
  EXPECT_EQ(squeeze(c.records()[0].text), "DCHOLDC failed, A is not positive definite");
  EXPECT_EQ(c.records()[1].unit, kReportUnit);
  EXPECT_EQ(squeeze(c.records()[1].text), "pi = 3");
  EXPECT_EQ(c.records()[2].unit, kConsoleUnit);
  EXPECT_EQ(c.records()[2].text, c.records()[0].text);
  EXPECT_EQ(c.records()[3].unit, kConsoleUnit);
  EXPECT_EQ(c.records()[3].text, c.records()[1].text);
}

}  // namespace
}  // namespace quorvel
