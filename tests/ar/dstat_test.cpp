// Descriptive statistics, the strided sum and the portmanteau test.
#include <gtest/gtest.h>

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
