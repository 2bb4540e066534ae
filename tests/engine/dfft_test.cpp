#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "engine/dfft.hpp"
#include "engine_fixtures.hpp"

namespace quorvel {
namespace {

std::vector<double> transform(const std::vector<double>& x) {
  FftTable table;
  const int n = static_cast<int>(x.size() / 2);
  cffti(n, table);
  std::vector<double> y = x, scratch(2 * n);
  cfftf(table, y, scratch);
  return y;
}

TEST(Dfft, FactorOrder) {
  const std::vector<std::pair<int, std::vector<int>>> cases = {
      {1, {}}, {4, {4}}, {6, {2, 3}}, {7, {7}}, {8, {2, 4}}, {48, {3, 4, 4}},
      {1000, {2, 4, 5, 5, 5}}, {22, {2, 11}}, {63, {3, 3, 7}}};
  for (const auto& [n, factors] : cases) {
    FftTable table;
    cffti(n, table);
    EXPECT_EQ(table.factors, factors) << "n = " << n;
  }
}

TEST(Dfft, LengthOneAndFourPoints) {
  EXPECT_EQ(transform({3.5, -1.25}), (std::vector<double>{3.5, -1.25}));
  EXPECT_EQ(transform({1, 0, 0, 0, 0, 0, 0, 0}), (std::vector<double>{1, 0, 1, 0, 1, 0, 1, 0}));
  // (0, 1, 0, 0) -> (1, -i, -1, i), up to the 32-bit 2 pi of the twiddles.
  const auto y = transform({0, 0, 1, 0, 0, 0, 0, 0});
  const std::vector<double> expected = {1, 0, 0, -1, -1, 0, 0, 1};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(y[i], expected[i], 1e-7) << i;
}

// Every radix and the general pass against the direct sum in long double. The
// twiddles are built from 2 pi rounded to 32 bits (relative error 2.8e-8), so
// the transforms agree to that accuracy, not to the last bit.
TEST(Dfft, MatchesDirectTransform) {
  for (int n : {6, 7, 8, 48, 1000, 22, 63, 121}) {
    testing::Rng rng(n);
    std::vector<double> x(2 * n);
    double l1 = 0;
    for (double& v : x) {
      v = rng.normal();
      l1 += std::abs(v);
    }
    const auto y = transform(x);
    double worst = 0;
    for (int j = 0; j < n; ++j) {
      std::complex<long double> s = 0;
      for (int k = 0; k < n; ++k) {
        const long double angle = -2.0L * 3.14159265358979323846264338327950288L *
                                  static_cast<long double>((static_cast<long long>(j) * k) % n) / n;
        s += std::complex<long double>(x[2 * k], x[2 * k + 1]) *
             std::complex<long double>(std::cos(angle), std::sin(angle));
      }
      worst = std::max<double>(worst, std::abs(std::complex<long double>(y[2 * j], y[2 * j + 1]) - s));
    }
    EXPECT_LT(worst, 2e-7 * l1) << "n = " << n;
  }
}

TEST(Dfft, TableIsOnlyRead) {
  FftTable table;
  cffti(60, table);
  const FftTable before = table;
  testing::Rng rng(5);
  std::vector<double> x(120), scratch(120);
  for (double& v : x) v = rng.normal();
  auto y1 = x, y2 = x;
  cfftf(table, y1, scratch);
  cfftf(table, y2, scratch);
  EXPECT_EQ(y1, y2);
  EXPECT_EQ(table.twiddles, before.twiddles);
}

}  // namespace
}  // namespace quorvel
