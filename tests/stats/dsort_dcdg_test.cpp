#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "stats/dcdg.hpp"
#include "stats/dsort.hpp"
#include "support/message_capture.hpp"

namespace quorvel {
namespace {

using testing::MessageCapture;

TEST(Dcdg, ExamplesAndCutOff) {
  EXPECT_EQ(dcdg(0.0), 0.5);
  EXPECT_NEAR(dcdg(1.959964), 0.975, 1e-7);
  EXPECT_NEAR(dcdg(-1.959964), 0.025, 1e-7);
  EXPECT_LT(dcdg(6.0), 1.0);
  EXPECT_GT(dcdg(-6.0), 0.0);
  EXPECT_EQ(dcdg(6.1), 1.0);
  EXPECT_EQ(dcdg(-6.1), 0.0);
  for (double x = -6.05; x < 6.05; x += 0.1) {
    long double ref = 0.5L * std::erfc(-static_cast<long double>(x) / std::sqrt(2.0L));
    // The constant 0.70710678 is 1/sqrt(2) to eight decimals only.
    EXPECT_NEAR(dcdg(x), static_cast<double>(ref), 1e-9 * (1 + std::fabs(x))) << x;
    EXPECT_NEAR(dcdg(x) + dcdg(-x), 1.0, 1e-15) << x;
  }
}

// Values 1..10 in a scrambled order.
const std::vector<double> kTen = {7, 3, 10, 1, 5, 9, 2, 8, 4, 6};

TEST(Dsort, FractilesOfTenValues) {
  MessageCapture capture;
  std::vector<int> indx(10, -1);
  const std::vector<float> frac = {0.5f, 0.25f, 0.05f, 0.99f};
  std::vector<double> xf(4), again(4);
  int ierr = -1;
  dsort(indx, kTen, 10, frac, xf, 'B', ierr);
  EXPECT_EQ(ierr, 0);
  for (int j = 0; j < 10; ++j) EXPECT_EQ(kTen[indx[j]], j + 1.0);
  EXPECT_EQ(xf[0], 5.0);
  EXPECT_EQ(xf[1], 2.5);
  EXPECT_EQ(xf[2], 1.0);
  double e = 10.0 * static_cast<double>(0.99f);
  EXPECT_EQ(xf[3], (1 - (e - 9)) * 9 + (e - 9) * 10);
  // 'F' after an 'S' gives what 'B' gave.
  std::vector<int> indx2(10, -1);
  dsort(indx2, kTen, 10, frac, again, 'S', ierr);
  EXPECT_EQ(ierr, 0);
  dsort(indx2, kTen, 10, frac, again, 'F', ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(again, xf);
  EXPECT_TRUE(capture.records().empty());
}

TEST(Dsort, StatusesAndMessages) {
  MessageCapture capture;
  std::vector<int> indx(10, -1);
  std::vector<double> xf(2, -5.0);
  const std::vector<float> good = {0.5f, 0.25f};
  int ierr = -1;

  dsort(indx, kTen, 1, good, xf, 'B', ierr);
  EXPECT_EQ(ierr, 1);
  dsort(indx, kTen, 10, good, xf, 'X', ierr);
  EXPECT_EQ(ierr, 2);
  EXPECT_EQ(indx, std::vector<int>(10, -1));
  EXPECT_EQ(xf, std::vector<double>(2, -5.0));
  dsort(indx, kTen, 10, {}, xf, 'B', ierr);
  EXPECT_EQ(ierr, 3);
  dsort(indx, kTen, 10, {}, xf, 'S', ierr);  // no levels needed for a sort
  EXPECT_EQ(ierr, 0);
  const std::vector<float> bad = {0.5f, 1.0f, 0.0f};
  dsort(indx, kTen, 10, bad, xf, 'F', ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(xf, std::vector<double>(2, -5.0));
  dsort(indx, kTen, 10, std::vector<float>{std::nanf("")}, xf, 'F', ierr);
  EXPECT_EQ(xf, std::vector<double>(2, -5.0));

  const std::vector<std::string> expected = {
      list_record({std::string("n in x(n) <= 1 "), 1}),
      list_record({std::string("Isrt control character in SORT is wrong  "), std::string("X")}),
      list_record({std::string("Number of fractiles in SORT <= 0 "), 0}),
      list_record({std::string("Fractile "), 2, std::string(" <=0 or >=1")}),
      list_record({std::string("Fractile "), 1, std::string(" <=0 or >=1")}),
  };
  EXPECT_EQ(capture.on(kConsoleUnit), expected);
  EXPECT_EQ(capture.records().size(), expected.size());
}

TEST(Indexx, HeapOrderOfTies) {
  // Traced by hand through the heapsort: equal keys come out as 1, 3 and
  // 2, 0 (a stable sort would give 1, 3, 0, 2).
  std::vector<int> indx(4);
  indexx(4, std::vector<double>{2, 1, 2, 1}, indx);
  EXPECT_EQ(indx, (std::vector<int>{1, 3, 2, 0}));
  indexx(2, std::vector<double>{5, 5}, std::span<int>(indx).first(2));
  EXPECT_EQ(indx[0], 1);
  EXPECT_EQ(indx[1], 0);
}

TEST(Indexx, SortsRandomSeriesWithTies) {
  std::mt19937 gen(42);
  for (int n : {2, 3, 7, 64, 1001}) {
    std::vector<double> x(n);
    std::uniform_int_distribution<int> pick(0, n / 3 + 1);
    for (double& v : x) v = pick(gen);
    std::vector<int> indx(n);
    indexx(n, x, indx);
    std::vector<int> seen = indx;
    std::sort(seen.begin(), seen.end());
    for (int j = 0; j < n; ++j) ASSERT_EQ(seen[j], j);
    for (int j = 1; j < n; ++j) ASSERT_LE(x[indx[j - 1]], x[indx[j]]);
  }
}

// Series for the selection and partial-sort checks: ties of every kind.
std::vector<double> series_of(int n, int distinct, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> pick(0, distinct - 1);
  std::vector<double> x(n);
  for (double& v : x) v = distinct > 0 ? pick(gen) * 0.25 : std::uniform_real_distribution<double>()(gen);
  return x;
}

struct SeriesCase {
  int n, distinct;  // distinct 0: continuous values
};
const SeriesCase kSeriesCases[] = {{2, 1}, {2, 2}, {3, 2}, {10, 0}, {64, 3}, {257, 1}, {1001, 40}, {1001, 0}};

// The stopped heapsort leaves the last entries exactly where the full one
// puts them, ties included, and a permutation of all positions.
TEST(Indexx, TailMatchesFullSort) {
  for (const SeriesCase& c : kSeriesCases) {
    const std::vector<double> x = series_of(c.n, c.distinct, 7 + c.n);
    std::vector<int> full(c.n), tail(c.n);
    indexx(c.n, x, full);
    for (int count : {0, 1, c.n / 3, c.n - 1, c.n}) {
      indexx_tail(c.n, x, tail, count);
      EXPECT_TRUE(std::equal(tail.end() - count, tail.end(), full.end() - count)) << c.n << " " << count;
      std::vector<int> seen = tail;
      std::sort(seen.begin(), seen.end());
      for (int j = 0; j < c.n; ++j) ASSERT_EQ(seen[j], j);
    }
  }
}

// Selection gives the bits of dsort's fractiles, for ascending levels and
// for levels in any order.
TEST(Dsort, SelectionGivesTheSortsFractiles) {
  const std::vector<float> ascending = {0.001f, 0.01f, 0.05f, 0.10f, 0.25f, 0.50f,
                                        0.75f,  0.90f, 0.95f, 0.99f, 0.999f};
  const std::vector<float> mixed = {0.5f, 0.25f, 0.9f, 0.05f, 0.5f, 0.999f, 0.001f};
  for (const SeriesCase& c : kSeriesCases) {
    for (const std::vector<float>& levels : {ascending, mixed}) {
      std::vector<double> x = series_of(c.n, c.distinct, 11 + c.n);
      ASSERT_TRUE(selection_matches_sort(x));
      std::vector<int> indx(c.n);
      std::vector<double> sorted(levels.size()), selected(levels.size());
      int ierr = -1;
      dsort(indx, x, c.n, levels, sorted, 'B', ierr);
      ASSERT_EQ(ierr, 0);
      fractiles_by_selection(x, levels, selected);
      EXPECT_EQ(std::memcmp(sorted.data(), selected.data(), sorted.size() * sizeof(double)), 0) << c.n;
      EXPECT_EQ(fractile_by_selection(x, levels[1]), sorted[1]);
    }
  }
}

TEST(Dsort, SelectionNeedsOrderedBits) {
  const struct {
    std::vector<double> x;
    bool matches;
  } cases[] = {{{0.5, 0.0, 1.0}, true}, {{0.5, -0.0, 1.0}, false}, {{std::nan(""), 1.0}, false}, {{}, true}};
  for (const auto& c : cases) EXPECT_EQ(selection_matches_sort(c.x), c.matches);
}

}  // namespace
}  // namespace quorvel
