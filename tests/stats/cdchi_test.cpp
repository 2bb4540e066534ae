#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "stats/cdchi.hpp"
#include "support/message_capture.hpp"

namespace quorvel {
namespace {

using testing::MessageCapture;
constexpr int kUnit = 3;

// Regularised lower incomplete gamma P(a, x) by its power series in long
// double, summed until the terms no longer matter.
long double reference_gammp(long double a, long double x) {
  if (x <= 0) return 0;
  long double term = 1 / a, sum = term, log_scale = 0;
  for (int n = 1; n < 10000000 && term > sum * 1e-21L; ++n) {
    term *= x / (a + n);
    sum += term;
    if (sum > 1e300L) {  // keep large x within range
      sum *= 1e-300L;
      term *= 1e-300L;
      log_scale += 300 * std::log(10.0L);
    }
  }
  return sum * std::exp(log_scale - x + a * std::log(x) - std::lgamma(a));
}

float cdchi_of(float x, float df) {
  float p = -7.0f;
  cdchi(x, df, p, kUnit);
  return p;
}

TEST(Cdchi, Examples) {
  MessageCapture capture;
  EXPECT_EQ(cdchi_of(0.0f, 3.0f), 0.0f);
  EXPECT_EQ(cdchi_of(0.99e-4f, 3.0f), 0.0f);
  EXPECT_FLOAT_EQ(cdchi_of(2.0f, 2.0f), 1.0f - std::exp(-1.0f));   // series
  EXPECT_FLOAT_EQ(cdchi_of(10.0f, 2.0f), 1.0f - std::exp(-5.0f));  // continued fraction
  EXPECT_EQ(cdchi_of(1.0f, 0.0f), static_cast<float>(1.0 - std::exp(-0.5)));
  EXPECT_EQ(cdchi_of(22.0f, 0.0f), static_cast<float>(1.0 - std::exp(-11.0)));
  EXPECT_EQ(cdchi_of(23.0f, 0.0f), 1.0f);
  EXPECT_EQ(cdchi_of(0.5f, 30.0f), 0.0f);
  // df < 0 with x below the floor: p = 0 without a message.
  EXPECT_EQ(cdchi_of(0.5e-4f, -1.0f), 0.0f);
  EXPECT_TRUE(capture.records().empty());
}

TEST(Cdchi, RejectedArgumentsLeavePAndWriteOneRecord) {
  struct Case {
    float x, df;
    Items expected;
  };
  const Case cases[] = {
      {-1.0f, 3.0f, {std::string("x in cdchi "), -1.0f, std::string(" is not positive")}},
      {-2.5f, -1.0f, {std::string("x in cdchi "), -2.5f, std::string(" is not positive")}},
      {5.0f, -2.0f,
       {std::string("df "), -2.0f, std::string(" value is not positive in call to cdchi")}},
  };
  for (const Case& c : cases) {
    MessageCapture capture;
    float p = 0.25f;
    cdchi(c.x, c.df, p, kUnit);
    EXPECT_EQ(p, 0.25f);
    ASSERT_EQ(capture.on(kUnit).size(), 1u);
    EXPECT_EQ(capture.on(kUnit)[0], list_record(c.expected));
    EXPECT_EQ(capture.records().size(), 1u);
  }
}

TEST(Cdchi, AgreesWithLongDoubleSeries) {
  const float dfs[] = {1e-4f, 0.3f, 1, 2, 3, 5, 10, 30, 101, 1000, 24000, 750000};
  const float ratios[] = {0.05f, 0.3f, 0.6f, 0.9f, 0.97f, 1.0f, 1.03f, 1.1f, 1.5f, 2.0f, 3.0f, 5.0f};
  MessageCapture capture;
  for (float df : dfs) {
    std::vector<float> xs;
    for (float r : ratios) xs.push_back(df * r + 0.5f * r);
    // Either side of the switch x/2 = a + 1 between series and fraction.
    float sw = df + 2.0f;
    xs.insert(xs.end(), {sw, std::nextafter(sw, 0.0f), std::nextafter(sw, 1e30f)});
    for (float x : xs) {
      long double ref = reference_gammp(df / 2.0f, x / 2.0f);
      float p = cdchi_of(x, df);
      if (x < 1e-4f || ref < 1e-4L * (1 - 1e-6L)) {
        EXPECT_EQ(p, 0.0f) << "x=" << x << " df=" << df;
      } else if (ref > 1e-4L * (1 + 1e-6L)) {
        // Float rounding, plus the tail that the series leaves when it stops
        // at a relative 3e-7: near x = a that tail grows like sqrt(a).
        double tol = (2.4e-7 + 1e-7 * std::sqrt(df / 2.0)) * static_cast<double>(ref);
        EXPECT_NEAR(p, static_cast<double>(ref), tol) << "x=" << x << " df=" << df;
      }
    }
  }
  EXPECT_TRUE(capture.records().empty());
}

TEST(Gammp, FailuresAreReportedAndLeaveResults) {
  MessageCapture capture;
  EXPECT_EQ(gammp(0.0f, 1.0f, kUnit), -1.0f);
  EXPECT_EQ(gammp(1.0f, -1.0f, kUnit), -1.0f);
  double result = 9.0, lg = 0.0;
  gser(result, 2.0f, 0.0f, lg, kUnit);
  EXPECT_EQ(result, 0.0);
  result = 9.0;
  gser(result, 2.0f, -1.0f, lg, kUnit);
  // Near x = a = 1e8 the series needs far more than 10000 terms, the
  // fraction more than 1000 steps.
  gser(result, 1e8f, std::nextafter(1e8f, 0.0f), lg, kUnit);
  gcf(result, 1e8f, 1e8f, lg, kUnit);
  EXPECT_EQ(result, 9.0);
  const std::string too_large = " too large, ITMAX too small in ";
  const std::vector<std::string> expected = {
      list_record({std::string("Bad argument in gammp")}),
      list_record({std::string("Bad argument in gammp")}),
      list_record({std::string("x < 0 in gser")}),
      list_record({std::string("a = "), 1e8f, too_large + "gser"}),
      list_record({std::string("a = "), 1e8f, too_large + "gcf"}),
  };
  EXPECT_EQ(capture.on(kUnit), expected);
  // Through cdchi a failed gammp (-1) ends as p = 0.
  EXPECT_EQ(cdchi_of(std::nextafter(2e8f, 0.0f), 2e8f), 0.0f);
  EXPECT_EQ(capture.records().size(), expected.size() + 1);
}

TEST(Gammln, AgreesWithLgamma) {
  EXPECT_NEAR(gammln(1.0), 0.0, 1e-10);
  EXPECT_NEAR(gammln(2.0), 0.0, 1e-10);
  EXPECT_NEAR(gammln(0.5), 0.5723649429247001, 1e-9);
  for (double z : {1e-3, 0.1, 0.5, 1.5, 3.0, 7.5, 20.0, 170.5, 1e4, 1e7})
    EXPECT_NEAR(gammln(z), static_cast<double>(std::lgamma(static_cast<long double>(z))),
                2e-10 * std::max(1.0, std::fabs(gammln(z))))
        << z;
}

}  // namespace
}  // namespace quorvel
