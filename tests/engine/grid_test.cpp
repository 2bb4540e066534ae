#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "engine/engine_arrays.hpp"
#include "engine/size.hpp"
#include "engine/t123.hpp"
#include "engine_fixtures.hpp"

namespace quorvel {
namespace {

std::vector<std::tuple<int, int, int>> tables(const RunParameters& p) {
  std::vector<int> t1(p.ntr), t2(p.ntr), t3(p.ntr);
  t123(t1, t2, t3, p.lo, p.hi, p.M, p.ntr);
  std::vector<std::tuple<int, int, int>> out;
  for (int j = 0; j < p.ntr; ++j) out.emplace_back(t1[j], t2[j], t3[j]);
  return out;
}

TEST(Grid, EightPointFrameValueByValue) {
  const RunParameters p = testing::geometry(64, 8, 1, 4);
  EXPECT_EQ(std::make_tuple(p.npos, p.nneg, p.na, p.k3pos, p.k3neg), std::make_tuple(2, 3, 4, 1, 2));
  const std::vector<std::tuple<int, int, int>> expected = {
      {1, 1, 1}, {2, 1, 1}, {2, 2, -1}, {3, 2, -1}, {3, 3, -2},
      {1, 1, 1}, {2, 2, -1}, {3, 2, -1}, {3, 3, -2}};
  EXPECT_EQ(tables(p), expected);
}

TEST(Grid, Counts) {
  const GridCounts c = size(1, 32, 64);
  EXPECT_EQ(c.npos, 950);
  EXPECT_EQ(c.nneg, 2600);
  EXPECT_EQ(c.na, 220 + 2040);
  const GridCounts small = size(1, 3, 8);  // (1,1,1) and (2,2,-1)
  EXPECT_EQ(small.npos, 1);
  EXPECT_EQ(small.nneg, 1);
  const GridCounts full = size(1, 128, 256);
  EXPECT_EQ(full.npos + full.nneg + full.na, 375914);
}

// The counts, the index tables and the estimator's rows enumerate one grid.
TEST(Grid, TablesCountsAndRowsAgree) {
  for (auto [M, lo, hi] : {std::tuple{64, 1, 32}, {21, 2, 10}, {22, 1, 11}, {100, 7, 45}, {256, 1, 128}}) {
    const RunParameters p = testing::geometry(4 * M, M, lo, hi);
    const auto t = tables(p);
    int k3pos = 0, k3neg = 0;
    for (int j = 0; j < p.npos + p.nneg; ++j) {
      const auto [k1, k2, k3] = t[j];
      if (j < p.npos) {
        EXPECT_GT(k3, 0);
        k3pos = std::max(k3pos, k3);
      } else {
        EXPECT_LT(k3, 0);
        k3neg = std::max(k3neg, -k3);
      }
    }
    EXPECT_EQ(k3pos, p.k3pos);
    EXPECT_EQ(k3neg, p.k3neg);
    const EstimatorPlan plan = make_estimator_plan(lo, hi, M);
    EXPECT_EQ(plan.stationary, p.npos + p.nneg);
    EXPECT_EQ(plan.total, p.ntr);
    for (const EstimatorRow& row : plan.rows)
      for (int i = 0; i < row.length; ++i) {
        EXPECT_EQ(std::get<0>(t[row.first + i]), row.k1);
        EXPECT_EQ(std::get<1>(t[row.first + i]), row.k2);
      }
  }
}

}  // namespace
}  // namespace quorvel
