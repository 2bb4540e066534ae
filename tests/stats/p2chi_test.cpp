#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/stop.hpp"
#include "support/message_capture.hpp"
#include "stats/p2chi.hpp"

namespace quorvel {
namespace {

using testing::MessageCapture;
constexpr int kUnit = 3;

// The Poisson mixture in long double with every term kept:
// sum_k Pois(k; lamda/2) * (1 - sum_{i<=k} Pois(i; x/2)).
long double reference_p2chi(long double x, long double lamda) {
  long double h = x / 2, m = lamda / 2, cumulative = 0, p = 0;
  int last = static_cast<int>(m + 30 * std::sqrt(m) + 80);
  for (int k = 0; k <= last; ++k) {
    cumulative += std::exp(k * std::log(h) - std::lgamma(k + 1.0L) - h);
    long double weight = m > 0 ? std::exp(k * std::log(m) - std::lgamma(k + 1.0L) - m) : k == 0;
    p += weight * (1 - cumulative);
  }
  return p;
}

TEST(P2chi, Examples) {
  MessageCapture capture;
  struct Case {
    float x, lamda, expected;
  };
  const Case cases[] = {
      {0.0f, 3.0f, 0.0f},
      {0.0f, -3.0f, 0.0f},  // x is settled before lamda is looked at
      {2.0f, 0.0f, static_cast<float>(1.0 - std::exp(-1.0))},
      {2.0f, 5e-8f, static_cast<float>(1.0 - std::exp(-1.0))},
      {2.0f, std::nextafter(1e-7f, 0.0f), static_cast<float>(1.0 - std::exp(-1.0))},
      {28.0f, 0.0f, static_cast<float>(1.0 - std::exp(-14.0))},
      {28.1f, 0.0f, 1.0f},
      {40.0f, 1e-6f, 1.0f},  // W0 (1 - E0) > 0.99999 already
  };
  for (const Case& c : cases) EXPECT_EQ(p2chi(c.x, c.lamda, kUnit), c.expected) << c.x << " " << c.lamda;
  // The float nearest 1e-10 lies above the double 1e-10: not settled as 0.
  EXPECT_GT(p2chi(1e-10f, 0.0f, kUnit), 0.0f);
  EXPECT_TRUE(capture.records().empty());
}

TEST(P2chi, AgreesWithFullMixture) {
  // Dropping Poisson terms below e^-14 and stopping at S > 0.99999 limit the
  // accuracy to about 1e-5.
  const float lamdas[] = {1e-7f, 0.01f, 0.5f, 1, 2, 5, 10, 27.9f, 28, 28.1f, 50, 200, 1000};
  const float xs[] = {1e-9f, 1e-4f, 0.01f, 0.5f, 1, 2, 5, 10, 20, 27.9f, 28, 28.1f, 40, 60, 100, 300, 1100, 1300};
  for (float lamda : lamdas)
    for (float x : xs)
      EXPECT_NEAR(p2chi(x, lamda, kUnit), static_cast<double>(reference_p2chi(x, lamda)), 1.2e-5)
          << "x=" << x << " lamda=" << lamda;
}

TEST(P2chi, PreparedLamdaGivesTheSameBits) {
  std::vector<float> xs = {0.0f, 1e-10f, std::nextafter(28.0f, 0.0f), 28.0f, std::nextafter(28.0f, 100.0f),
                           28.1f, 1e-30f, 1e30f};
  for (float x = 1e-12f; x < 3e4f; x *= 1.07f) xs.push_back(x);
  const float lamdas[] = {0.0f, 5e-8f, std::nextafter(1e-7f, 0.0f), 1e-7f, 1e-6f, 0.1f, 1.0f, 2.0f, 9.5f,
                          std::nextafter(28.0f, 0.0f), 28.0f, std::nextafter(28.0f, 100.0f), 100.0f,
                          3000.0f, 1e30f};
  for (float lamda : lamdas) {
    P2chiLambda prepared = prepare_p2chi(lamda);
    for (float x : xs)
      ASSERT_EQ(std::bit_cast<std::uint32_t>(p2chi(prepared, x, kUnit)),
                std::bit_cast<std::uint32_t>(p2chi(x, lamda, kUnit)))
          << "x=" << x << " lamda=" << lamda;
  }
}

TEST(P2chi, NegativeArgumentsAndNoConvergence) {
  MessageCapture capture;
  const P2chiLambda wide = prepare_p2chi(2e5f);  // weights beyond the 90000 terms
  EXPECT_EQ(p2chi(-1.0f, 2.0f, kUnit), -1.0f);
  EXPECT_EQ(p2chi(prepare_p2chi(2.0f), -1.0f, kUnit), -1.0f);
  EXPECT_EQ(p2chi(10.0f, 2e5f, kUnit), -1.0f);
  EXPECT_EQ(p2chi(wide, 10.0f, kUnit), -1.0f);
  const std::vector<std::string> report = {
      "",
      "       Error in subroutine P2chi",
      "",
      "  Sum did not converge in 90000 tries",
      "",
      format_records("(7X,'Input x = ',E12.5,2X,'Lamda = ',E12.5)", {10.0f, 2e5f})[0],
  };
  std::vector<std::string> expected(2, list_record({std::string("Argument is negative"), -1.0f}));
  for (int twice = 0; twice < 2; ++twice) expected.insert(expected.end(), report.begin(), report.end());
  EXPECT_EQ(capture.on(kUnit), expected);
  EXPECT_EQ(capture.records().size(), expected.size());
}

TEST(P2chi, NegativeLamdaStops) {
  MessageCapture capture;
  EXPECT_THROW(p2chi(1.0f, -0.5f, kUnit), Stop);
  EXPECT_THROW(p2chi(prepare_p2chi(-0.5f), 1.0f, kUnit), Stop);
  const std::string message = list_record({std::string("Noncentrality Parameter Lamda < 0. "), -0.5f});
  EXPECT_EQ(capture.on(kUnit), std::vector<std::string>(2, message));
}

}  // namespace
}  // namespace quorvel
