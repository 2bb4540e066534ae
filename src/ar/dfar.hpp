#pragma once
// The stepwise AR fit: Yule-Walker normal equations from sample
// autocovariance sums, refitted by backward elimination of the lags whose
// coefficients are not significant at the level pv.
#include <span>
#include <vector>

namespace quorvel {

// The fitted model. The first k entries of a, se and lags are the model;
// entries beyond k are left over from earlier passes.
struct ArFit {
  std::vector<double> a, se;  // coefficient of lag lags[j] and its standard error
  std::vector<int> lags;      // kept lag list, ascending
  int k = 0;                  // kept count; 0 = no model
  float adjr2 = 0, s = 0;     // adjusted R^2 and std error of the fit, last pass
  // The largest kept lag; residuals e(1..lmax) are 0.
  int lmax() const { return k > 0 ? lags[k - 1] : 0; }
};

// Work space of a fit of up to p lags.
struct ArSystem {
  int p = 0;
  std::vector<double> A;     // p x p, column-major, leading dimension = current lag count
  std::vector<double> r;     // right-hand side
  std::vector<double> diag;  // Cholesky diagonal
  std::vector<double> c;     // autocovariance sums c(1..p), c[h - 1] = c(h)
  double xbar = 0, c0 = 0;   // series mean and total sum of squares
};

// Fits the model to x(1..n) with up to p lags, leaving the residuals in
// e(1..n) (e.size() >= n). Messages go to `unit`, then to the console.
ArFit dfar(std::span<const double> x, int p, float pv, std::span<double> e, int unit);

// Mean, total sum of squares, autocovariance sums and the p x p Toeplitz
// matrix (upper triangle and diagonal) with its right-hand side.
void cr(std::span<const double> x, int p, ArSystem& sys);

// One pass over the m lags fit.lags[0..m): solve, residuals, fit
// statistics, standard errors and the significance of each lag. Sets
// fit.k to the significant count and, when 0 < k < m, reduces the system.
// Returns false (with its messages) when the factorisation fails; nothing
// of the fit is changed then.
bool ar(std::span<const double> x, ArSystem& sys, ArFit& fit, int m, float pv,
        std::span<double> e, int unit);

// Rebuilds the k x k system for the lags lags[0..k), packed with leading
// dimension k into the front of sys.A.
void reduce(ArSystem& sys, std::span<const int> lags, int k);

}  // namespace quorvel
