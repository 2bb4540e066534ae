#pragma once
// What a test pass and the bootstrap compute: shared by the engine that
// computes them, the pipeline that runs them and the writers that report them.

namespace quorvel {

// The results of one test pass: the four cumulative probabilities and the
// mean noncentrality parameter. They start at 0 before a run's first pass.
struct PassResults {
  float quantile = 0;       // quantile nonlinearity test
  float zero = 0;           // zero trispectrum test
  float reversibility = 0;  // time reversibility test
  float aliasing = 0;       // aliasing test
  float lambda = 0;         // mean noncentrality parameter

  // Kept beside the 32-bit results at full precision: the statistics, their
  // degrees of freedom and valid counts, and the scores by which the
  // bootstrap ranks passes (larger is more extreme; unlike the 32-bit tail
  // probabilities they do not saturate).
  int valid = 0;                 // valid stationary values v
  int aliasing_valid = 0;        // valid aliasing values v_a
  double quantile_z = 0;         // (xi - q) / sqrt(q(1 - q)/n)
  double zero_sum = 0;           // chi-square sum of the zero trispectrum test
  double reversibility_sum = 0;  // chi-square sum of the time reversibility test
  double aliasing_sum = 0;       // chi-square sum of the aliasing test
  double zero_df = 0, reversibility_df = 0, aliasing_df = 0;  // their degrees of freedom
  double quantile_score = 0, zero_score = 0, reversibility_score = 0, aliasing_score = 0;
};

// The bootstrap ("Shuffled") p-values of the four tests.
struct ShuffledPValues {
  float quantile = 0;
  float zero = 0;
  float reversibility = 0;
  float aliasing = 0;
};

}  // namespace quorvel
