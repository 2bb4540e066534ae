#pragma once
// Cholesky factorisation A = L*L^T in place. A is n x n, column-major with
// leading dimension n; only its upper triangle and diagonal are read. The
// strict lower triangle receives L, d(1..n) the diagonal of L.
#include <span>

namespace quorvel {

// Returns 0 on success, 1 when a pivot is not positive (the rows already
// done stay factorised, the rest of A is untouched).
int dcholdc(std::span<double> A, int n, std::span<double> d);

}  // namespace quorvel
