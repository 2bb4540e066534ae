// Descriptive statistics, the strided sum and the portmanteau test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "ar/dport.hpp"
#include "ar/dstat.hpp"
#include "stats/cdchi.hpp"

namespace quorvel {
namespace {

TEST(Dstat, OneToFour) {
  const std::vector<double> x = {1, 2, 3, 4};
  const Moments m = dstat(x);
  EXPECT_EQ(m.mean, 2.5);
  EXPECT_DOUBLE_EQ(m.sd, std::sqrt(5.0 / 3.0));
  EXPECT_NEAR(m.skew, 0.0, 1e-15);
  EXPECT_NEAR(m.kurt, -2.0775, 1e-12);
  EXPECT_EQ(m.max, 4.0);
  EXPECT_EQ(m.min, 1.0);
}

TEST(Dstat, ConstantSeriesHasZeroShapeAndNoNaN) {
  const std::vector<double> x(50, 3.25);
  const Moments m = dstat(x);
  EXPECT_EQ(m.mean, 3.25);
  EXPECT_EQ(m.sd, 0.0);
  EXPECT_EQ(m.skew, 0.0);
  EXPECT_EQ(m.kurt, 0.0);
  EXPECT_EQ(m.max, 3.25);
  EXPECT_EQ(m.min, 3.25);
}

TEST(Dstat, EmptySeriesGivesTheExtremes) {
  const Moments m = dstat(std::span<const double>{});
  EXPECT_EQ(m.max, -std::numeric_limits<double>::max());
  EXPECT_EQ(m.min, std::numeric_limits<double>::max());
  EXPECT_EQ(var2(std::vector<double>{7.0}), 0.0);
}

// The moments as they were taken before the data were scaled: the scaling
// by a power of two must not change a bit of them for ordinary data.
Moments unscaled(const std::vector<double>& x) {
  Moments r;
  const int n = static_cast<int>(x.size());
  double sum = 0.0;
  r.max = -std::numeric_limits<double>::max();
  r.min = std::numeric_limits<double>::max();
  for (double xi : x) {
    sum += xi;
    if (xi >= r.max) r.max = xi;
    if (xi < r.min) r.min = xi;
  }
  r.mean = sum / n;
  const double m = dsum(n, x.data(), 1) / n;
  double s1 = 0.0, s2 = 0.0;
  for (double xi : x) {
    s1 += xi - m;
    s2 += (xi - m) * (xi - m);
  }
  r.sd = std::sqrt(std::max((s2 - s1 * s1 / n) / (n - 1), 0.0));
  double s3 = 0.0, s4 = 0.0;
  for (double xi : x) {
    const double d = xi - r.mean, d3 = d * d * d;
    s3 += d3;
    s4 += d3 * d;
  }
  const double sd2 = r.sd * r.sd;
  r.skew = s3 / (n * (sd2 * r.sd));
  r.kurt = s4 / (n * (sd2 * sd2)) - 3.0;
  return r;
}

TEST(Dstat, OrdinaryDataGiveTheBitsOfTheUnscaledMoments) {
  std::mt19937 gen(11);
  std::exponential_distribution<double> skewed(1.0);
  for (double magnitude : {1e-6, 0.37, 1.0, 3000.0, 6.5e9}) {
    for (int n : {7, 409, 8192}) {
      std::vector<double> x(n);
      for (double& v : x) v = (skewed(gen) - 0.8) * magnitude;
      const Moments got = dstat(x), want = unscaled(x);
      for (auto [a, b] : {std::pair{got.mean, want.mean}, {got.sd, want.sd}, {got.skew, want.skew},
                          {got.kurt, want.kurt}, {got.max, want.max}, {got.min, want.min}}) {
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << magnitude << " " << n << ": " << a << " " << b;
      }
    }
  }
}

// Finite data give finite statistics however large or small they are: a
// series times 2^256 or 2^-1000 has the shape of the series itself, and one
// near 1e77 (whose fourth powers overflow) the shape it has at 1.
TEST(Dstat, FiniteDataGiveFiniteStatistics) {
  std::mt19937 gen(5);
  std::exponential_distribution<double> skewed(1.0);
  std::vector<double> x(1000);
  for (double& v : x) v = skewed(gen);
  const Moments base = dstat(x);
  for (double factor : {std::ldexp(1.0, 256), std::ldexp(1.0, -1000), 1e77, 1e300, -1e-300}) {
    std::vector<double> y(x);
    for (double& v : y) v *= factor;
    const Moments m = dstat(y);
    for (double v : {m.mean, m.sd, m.skew, m.kurt}) EXPECT_TRUE(std::isfinite(v)) << factor;
    EXPECT_NEAR(m.skew, std::copysign(1.0, factor) * base.skew, 1e-12 * std::fabs(base.skew)) << factor;
    EXPECT_NEAR(m.kurt, base.kurt, 1e-12 * std::fabs(base.kurt)) << factor;
    EXPECT_NEAR(m.sd / std::fabs(factor), base.sd, 1e-12 * base.sd) << factor;
  }
}

TEST(Dsum, UnitStrideEqualsPlainLoopToTheBit) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {7, 13}) {
    for (int trial = 0; trial < 50; ++trial) {
      std::vector<double> x(n);
      for (double& v : x) v = u(gen) * std::pow(10.0, static_cast<int>(gen() % 33) - 16);
      double plain = 0.0;
      for (double v : x) plain += v;
      const double s = dsum(n, x.data(), 1);
      EXPECT_EQ(std::memcmp(&s, &plain, sizeof s), 0) << "n = " << n;
    }
  }
  // Order matters here: x(1) first, so 1e16 + 1 loses the 1.
  const std::vector<double> x = {1e16, 1.0, -1e16, 1.0, 1.0, 1.0, 1.0};
  EXPECT_EQ(dsum(7, x.data(), 1), 4.0);
  EXPECT_EQ(dsum(0, x.data(), 1), 0.0);
  EXPECT_EQ(dsum(3, x.data(), 2), 1.0e16 - 1e16 + 1.0);
}

TEST(Dport, LagCountFollowsTheFrameExponent) {
  EXPECT_EQ(dport_lags(1000, 0.5f), 32);
  EXPECT_EQ(dport_lags(4096, 0.75f), 512);
}

TEST(Dport, EqualsThePlainLagByLagStatisticToTheBit) {
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> u(-1.7, 1.7);
  for (int n : {1003, 64, 9}) {
    std::vector<double> x(n);
    for (double& v : x) v = u(gen);
    const float e = 0.6f;
    const int h = dport_lags(n, e);
    double q = 0.0;
    for (int k = 1; k <= h; ++k) {
      double s = 0.0;
      for (int j = 0; j < n - k; ++j) s += x[j] * x[j + k];
      q += s * (s / (n - k));
    }
    float prob = 0.0f;
    cdchi(static_cast<float>(q), static_cast<float>(h), prob, 6);
    EXPECT_EQ(dport(x, n, e, 6), 1.0f - prob) << "n = " << n;
  }
}

TEST(Dport, AlternatingSeriesIsFarFromWhite) {
  const int n = 100;
  std::vector<double> x(n);
  for (int i = 0; i < n; ++i) x[i] = i % 2 == 0 ? 1.0 : -1.0;
  EXPECT_LT(dport(x, n, 0.5f, 6), 1e-6f);
}

TEST(Dport, WhiteToRoundingGivesOne) {
  std::vector<double> x(64, 0.0);
  x[0] = 1.0;  // every lagged product vanishes
  EXPECT_EQ(dport(x, 64, 0.5f, 6), 1.0f);
}

TEST(Dport, LagsBeyondTheSeriesAddNothing) {
  // e = 1 asks for n lags; the lag n has no pairs and must not give 0/0.
  std::vector<double> x = {1.0, -0.5, 0.25, 2.0, -1.0, 0.5};
  const float p = dport(x, 6, 1.0f, 6);
  EXPECT_FALSE(std::isnan(p));
  EXPECT_GE(p, 0.0f);
  EXPECT_LE(p, 1.0f);
}

}  // namespace
}  // namespace quorvel
