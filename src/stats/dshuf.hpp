#pragma once
// Random permutations of a series for the bootstrap.
#include <random>
#include <span>

namespace quorvel {

// The next uniform value on [0, 1) of the program-wide generator: the
// default-seeded Mersenne twister, never reseeded, so a batch run twice
// gives the same shuffles.
float uniform_draw();
// Puts the generator back to the state every program run starts from.
void restart_uniform_draws();
// Draws on this thread from `own` instead (a library call, whose shuffles
// must not depend on other calls); nullptr goes back to the program's.
void use_own_draws(std::mt19937* own);

// y = a random permutation of x: n draws u(1..n) in index order, then the
// indices ordered by ascending u, ties kept in index order.
void dshuf(std::span<const double> x, std::span<double> y, int unit);

}  // namespace quorvel
