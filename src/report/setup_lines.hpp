#pragma once
// The lines a run's set-up writes before the analysis: the bootstrap's
// notes, the consistency warning and the counts of the trispectrum grid.
#include "common/run_parameters.hpp"

namespace quorvel {

// The resamples a run makes of the `nres` asked for: none below 11 or
// without AR prewhitening (order `iar` = 0), with the notes that say so on
// the report, the console and the error file.
int bootstrap_resamples(int nres, int iar);

// The warning of a bandwidth frame exponent above 1/3, on the report and
// the console.
void write_consistency_warning(const RunParameters& rp);

// The counts of stationary values with k3 > 0 (the first line), then those
// with k3 < 0, their total and the aliasing values, on the report. Counts
// come in 64 bits: a grid too large for the run is counted before it is
// refused (a count beyond the I9 field prints as asterisks).
void write_positive_count(long long npos);
void write_other_counts(long long nneg, long long total, long long na);

}  // namespace quorvel
