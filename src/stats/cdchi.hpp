#pragma once
// The central chi-square distribution function and the incomplete gamma
// function behind it.

namespace quorvel {

// p = P(chi-square with df degrees of freedom <= x); p is left unchanged
// after a rejected argument (a message on `unit`).
void cdchi(float x, float df, float& p, int unit);
// P(a, x); -1 after "Bad argument in gammp" or a series / fraction that
// did not converge (cdchi then floors it to 0).
float gammp(float a, float x, int unit);
// gser and gcf leave `result` unassigned after a reported failure.
void gser(double& result, float a, float x, double& lg, int unit);
void gcf(double& result, float a, float x, double& lg, int unit);
double gammln(double z);

}  // namespace quorvel
