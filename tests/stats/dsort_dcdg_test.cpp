#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

}  // namespace
}  // namespace quorvel
