#pragma once
// The inverse of a symmetric positive definite matrix from its Cholesky
// factor (dcholdc), in place.
#include <span>

namespace quorvel {

// Replaces the factor in A (n x n, column-major) by the whole symmetric A^-1.
void dinverse(std::span<double> A, int n, std::span<const double> d);

}  // namespace quorvel
