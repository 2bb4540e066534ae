// Cholesky factor, solve and inverse of the AR normal equations.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ar/dcholdc.hpp"
#include "ar/dcholsl.hpp"
#include "ar/dinverse.hpp"

namespace quorvel {
namespace {

TEST(Cholesky, TwoByTwoFactorSolveAndInverse) {
  // Upper triangle and diagonal of [[4, 2], [2, 3]]; the lower entry is junk
  // that must not matter.
  std::vector<double> A = {4.0, 99.0, 2.0, 3.0};
  std::vector<double> d(2);
  ASSERT_EQ(dcholdc(A, 2, d), 0);
  EXPECT_DOUBLE_EQ(d[0], 2.0);
  EXPECT_DOUBLE_EQ(d[1], std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(A[1], 1.0);  // L(2,1)
  EXPECT_EQ(A[0], 4.0);         // upper triangle kept
  EXPECT_EQ(A[2], 2.0);

  std::vector<double> x = {2.0, 1.0};
  dcholsl(A, 2, d, x, x);  // b and x the same array
  EXPECT_NEAR(x[0], 0.5, 1e-15);
  EXPECT_NEAR(x[1], 0.0, 1e-15);

  dinverse(A, 2, d);
  EXPECT_NEAR(A[0], 0.375, 1e-15);
  EXPECT_NEAR(A[1], -0.25, 1e-15);
  EXPECT_NEAR(A[2], -0.25, 1e-15);
  EXPECT_NEAR(A[3], 0.5, 1e-15);
}

TEST(Cholesky, NonPositivePivotStopsWithStatusOne) {
  for (double first : {0.0, -1.0}) {
    std::vector<double> A = {first, 0.0, 1.0, 2.0};
    std::vector<double> d = {-7.0, -7.0};
    EXPECT_EQ(dcholdc(A, 2, d), 1);
    EXPECT_EQ(d[0], -7.0);  // untouched
    EXPECT_EQ(A[1], 0.0);
  }
  // A later pivot: [[1, 2], [2, 1]] is indefinite; row 1 stays factorised.
  std::vector<double> A = {1.0, 0.0, 2.0, 1.0};
  std::vector<double> d(2, -7.0);
  EXPECT_EQ(dcholdc(A, 2, d), 1);
  EXPECT_EQ(d[0], 1.0);
  EXPECT_EQ(A[1], 2.0);
  EXPECT_EQ(d[1], -7.0);
}

TEST(Cholesky, OneByOneSystem) {
  std::vector<double> A = {6.25};
  std::vector<double> d(1), x(1);
  ASSERT_EQ(dcholdc(A, 1, d), 0);
  EXPECT_EQ(d[0], 2.5);
  std::vector<double> b = {5.0};
  dcholsl(A, 1, d, b, x);
  EXPECT_EQ(x[0], 0.8);
  dinverse(A, 1, d);
  EXPECT_DOUBLE_EQ(A[0], 0.16);
}

TEST(Cholesky, InverseOfToeplitzTimesMatrixIsIdentity) {
  const int n = 5;
  std::vector<double> full(n * n), A(n * n), d(n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) full[i + j * n] = std::pow(0.6, std::abs(i - j)) * 10.0;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i <= j; ++i) A[i + j * n] = full[i + j * n];
  ASSERT_EQ(dcholdc(A, n, d), 0);
  dinverse(A, n, d);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0;
      for (int r = 0; r < n; ++r) s += full[i + r * n] * A[r + j * n];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
    }
}

}  // namespace
}  // namespace quorvel
