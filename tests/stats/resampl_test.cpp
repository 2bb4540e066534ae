#include "stats/resampl.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "stats/dshuf.hpp"

namespace quorvel {
namespace {

TEST(Bootstrap, ShareOfResamplesAtOrBelowTheObservedPValue) {
  const std::vector<double> p{0.1, 0.2, 0.2, 0.5, 0.9};
  EXPECT_EQ(share_at_or_below(p, 0.2f), 0.6f);  // ties count
  EXPECT_EQ(share_at_or_below(p, 0.05f), 0.0f);  // below every resample
  EXPECT_EQ(share_at_or_below(p, 0.0f), 0.0f);
  EXPECT_EQ(share_at_or_below(p, 1.0f), 1.0f);
  EXPECT_EQ(share_at_or_below(std::vector<double>{0.0, 1.0}, 0.0f), 0.5f);
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
