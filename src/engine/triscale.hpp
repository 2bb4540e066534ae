#pragma once
// The normalisation of the trispectrum values and the test statistics built
// on them.
#include "common/pass_results.hpp"
#include "common/run_parameters.hpp"

namespace quorvel {

struct EngineArrays;

// kappa = sqrt(2 K) / M, K = N div M frames: the constant that makes the
// squared moduli of the normalised values chi-square with 2 degrees of freedom.
long double normalising_constant(int N, int M);

// The multiplicity factor of a value (k1, k2, k3) of the grid: the product of
// the factorials of the multiplicities of its frequencies (1, 2 or 6).
double scaledet(int k1, int k2, int k3);

// Normalises the raw sums left by the estimator, sums the squared moduli of
// the stationary values of each pair (k1, k2) into the planes u and z, and computes lambda-hat and the zero
// trispectrum, time reversibility and aliasing probabilities into `results`
// (left as they are when fewer than 12 stationary values are valid; then the
// low-count lines go to `unit`), with their full-precision sums, degrees of
// freedom and scores (the least extreme score for a test not computed).
// Stationary tr then holds noncentral chi-square probabilities and ti phases
// in degrees; aliasing tr holds squared moduli and ti normalised imaginary
// parts.
// With for_report false the phases and the pair sums, which only the report
// and the value files read, are not written.
void triscale(EngineArrays& a, const RunParameters& p, double taperfac, int ntaper,
              PassResults& results, int unit, bool for_report = true);

// The per-pair probability planes: each pair sum of u and z that triscale
// left becomes the chi-square probability of the sum.
void scalu(EngineArrays& a, const RunParameters& p, int unit);

}  // namespace quorvel
