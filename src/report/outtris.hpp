#pragma once
// The results block of the report: test p-values, fractiles of the
// trispectral probabilities and the table of the smallest probabilities.
#include <array>
#include <span>

#include "common/run_parameters.hpp"

namespace quorvel {

// The stationary trispectral values of a pass, as the test driver leaves them.
struct TrispectralValues {
  std::span<const int> t1, t2, t3;  // frequency indices k1, k2, k3 of each value
  std::span<const double> tr;       // trispectral probability ("1-Pr")
  std::span<const double> ti;       // phase in degrees
  std::span<const int> idx;         // 0-based positions, in which 1 - tr ascends
};

// The bootstrap ("Shuffled") p-values of the four tests.
struct ShuffledPValues {
  float quantile = 0;
  float zero = 0;
  float reversibility = 0;
  float aliasing = 0;
};

// The eleven fractiles (0.001 ... 0.999) of the first n probabilities tr,
// each with its p-value under uniform probabilities; zeros when n < 2.
// index and work are scratch of n entries.
void trispectral_fractiles(std::span<const double> tr, int n, std::span<int> index, std::span<double> work,
                           std::array<double, 11>& xf, std::array<double, 11>& pf);

// Writes the results block for the n stationary values on `unit`; uses
// rp.unitname, rp.bw, rp.nres and rp.iunit. Stops the program when its
// working storage cannot be had.
void outtris(const TrispectralValues& values, const ShuffledPValues& shuffled, int n,
             const RunParameters& rp, const PassResults& results, int unit);

}  // namespace quorvel
