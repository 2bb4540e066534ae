#pragma once
// Solution of A*x = b from the Cholesky factor left by dcholdc.
#include <span>

namespace quorvel {

// Forward then back substitution; A and d are not changed. b and x may be
// the same array.
void dcholsl(std::span<const double> A, int n, std::span<const double> d,
             std::span<const double> b, std::span<double> x);

}  // namespace quorvel
