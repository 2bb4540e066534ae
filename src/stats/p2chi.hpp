#pragma once
// The noncentral chi-square distribution function with two degrees of
// freedom.
#include <vector>

namespace quorvel {

// P(X <= x) for X noncentral chi-square(2, lamda); -1 after a reported fault
// (negative x, no convergence). A negative lamda with x > 1e-10 stops the
// program after its message.
float p2chi(float x, float lamda, int unit);

// What p2chi computes from lamda alone, prepared once for the many values of
// a test pass. p2chi(prepare_p2chi(lamda), x, unit) gives the same bits as
// p2chi(x, lamda, unit) for every x.
struct P2chiLambda {
  float lamda = 0.0f;
  double m = 0.0;       // lamda / 2
  double log_m = 0.0;   // ln m
  double w0 = 0.0;      // e^(-m), or 0 when m > 14
  // weights[k - 1] is the Poisson weight w_k of the loop (0 where its log is
  // below -14); every w_k beyond the stored ones is 0.
  std::vector<double> weights;
};

P2chiLambda prepare_p2chi(float lamda);
float p2chi(const P2chiLambda& prepared, float x, int unit);

}  // namespace quorvel
