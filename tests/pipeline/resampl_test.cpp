#include "pipeline/resampl.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "stats/chi_square_score.hpp"
#include "stats/dshuf.hpp"

namespace quorvel {
namespace {

TEST(Bootstrap, ShareOfResamplesAtLeastAsExtremeAsTheSeries) {
  const std::vector<double> scores{-1.0, 0.5, 2.0, 2.0, 40.0};
  EXPECT_EQ(share_at_or_above(scores, 2.0), 0.6f);  // ties count
  EXPECT_EQ(share_at_or_above(scores, 41.0), 0.0f);  // beyond every resample
  EXPECT_EQ(share_at_or_above(scores, -5.0), 1.0f);
  EXPECT_EQ(share_at_or_above(scores, kNoScore), 1.0f);  // a test the series did not have
  EXPECT_EQ(share_at_or_above(std::vector<double>{kNoScore, 3.0}, 1.0), 0.5f);
}

TEST(Bootstrap, ChiSquareScoresRankAcrossDegreesOfFreedom) {
  // The score is the normal quantile of the upper tail, near enough to rank:
  // chi-square(10) upper 5 % at 18.307, chi-square(200) at 233.994.
  EXPECT_NEAR(chi_square_score(18.307, 10), 1.645, 0.01);
  EXPECT_NEAR(chi_square_score(233.994, 200), 1.645, 0.005);
  EXPECT_NEAR(chi_square_score(200.0, 200), 0.0, 0.05);
  // Far beyond where a 32-bit tail probability is 0, it still grows.
  EXPECT_GT(chi_square_score(5000.0, 200), chi_square_score(4000.0, 200));
  EXPECT_GT(chi_square_score(4000.0, 200), 30.0);
  // No degrees of freedom, or no number: the least extreme score, never a NaN.
  EXPECT_EQ(chi_square_score(0.0, 0.0), kNoScore);
  EXPECT_EQ(chi_square_score(std::nan(""), 10.0), kNoScore);
  EXPECT_EQ(chi_square_score(-1.0, 10.0), kNoScore);
  EXPECT_EQ(chi_square_score(HUGE_VAL, 10.0), -kNoScore);
  EXPECT_LT(kNoScore, chi_square_score(0.0, 1.0));
}

TEST(Bootstrap, ShuffleKeepsEveryValueOnce) {
  std::vector<double> x(1000), y(1000);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i);
  dshuf(x, y, 6);
  EXPECT_NE(x, y);
  std::vector<double> sorted = y;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, x);

  std::vector<double> one{3.5}, out{0};
  dshuf(one, out, 6);
  EXPECT_EQ(out[0], 3.5);
}

TEST(Bootstrap, DrawsAreUniformFloatsBelowOne) {
  double sum = 0;
  for (int i = 0; i < 100000; ++i) {
    float u = uniform_draw();
    ASSERT_GE(u, 0.0f);
    ASSERT_LT(u, 1.0f);
    sum += u;
  }
  EXPECT_NEAR(sum / 100000, 0.5, 0.01);
}

}  // namespace
}  // namespace quorvel
