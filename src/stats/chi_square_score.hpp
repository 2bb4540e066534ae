#pragma once
// A normal score of a chi-square statistic, by which passes with different
// degrees of freedom can be ranked: it grows as the upper-tail probability
// shrinks and, unlike that probability in 32 bits, never saturates.

namespace quorvel {

// The least extreme score: a test without degrees of freedom, or one that a
// pass did not compute, ranks below every computed score.
inline constexpr double kNoScore = -1.0e300;

// The Wilson-Hilferty normal score of a chi-square sum x with k degrees of
// freedom, ((x/k)^(1/3) - (1 - 2/(9k))) / sqrt(2/(9k)); kNoScore for k <= 0
// or a sum that is not a number >= 0 (an infinite sum scores -kNoScore).
double chi_square_score(double x, double k);

}  // namespace quorvel
