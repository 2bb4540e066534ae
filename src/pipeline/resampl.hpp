#pragma once
// The bootstrap ("Shuffled") p-values of the four tests.
#include <span>

#include "common/pass_results.hpp"
#include "common/run_parameters.hpp"
#include "engine/dfft.hpp"

namespace quorvel {

// The share of resample scores at or above the observed score (ties count):
// the share of resamples at least as extreme as the series.
float share_at_or_above(std::span<const double> resample_scores, double observed_score);

// Runs the test pass on rp.nres shuffled copies of x and returns, for each
// test, the share of their scores at or above the observed one. The
// passes work in arrays of their own, so the arrays of the pass on the
// series under test are left as they are.
ShuffledPValues resampl(std::span<const double> x, const FftTable& v, const RunParameters& rp,
                        const PassResults& observed, int unit);

}  // namespace quorvel
