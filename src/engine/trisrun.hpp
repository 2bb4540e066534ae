#pragma once
// One test pass over a series: index tables, taper, estimator,
// normalisation, per-pair probabilities and the four tests.
#include <span>

#include "common/pass_results.hpp"
#include "common/run_parameters.hpp"
#include "engine/dfft.hpp"
#include "engine/engine_arrays.hpp"

namespace quorvel {

// What a pass is for: the report (every array it leaves is shown) or only
// its five results (a bootstrap resample), which spares the phases, the
// probability planes and the sort index that only the report reads.
enum class PassUse { Report, ResultsOnly };

// Runs one pass over `series` (N values, only read) in the arrays `a` (sized
// by allocate_engine_arrays for p), with the run's FFT table v (cffti(M)).
// All five results are written, except that a pass with fewer than 12 valid
// stationary values leaves zero, reversibility, aliasing and lambda as they
// were. Messages go to `unit` (the run report).
void trisrun(std::span<const double> series, const FftTable& v, const RunParameters& p,
             EngineArrays& a, PassResults& results, int unit, PassUse use = PassUse::Report);

// The frame loop proper: taper window, estimator, normalisation with the
// stationary and aliasing tests, per-pair probability planes.
void triloop(std::span<const double> series, const FftTable& v, const RunParameters& p,
             EngineArrays& a, PassResults& results, int unit, PassUse use = PassUse::Report);

// How many entries at the end of the sort index of y = 1 - tr (n values)
// the results block reads: those of the values whose probability, as a
// 32-bit float, is below 1/n, with any value tied with their smallest y.
int listed_tail(std::span<const double> tr, std::span<const double> y, int n);

}  // namespace quorvel
