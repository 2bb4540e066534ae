#pragma once
// The run summary block of the report.
#include "common/run_parameters.hpp"

namespace quorvel {

// Writes the run summary (title, data span, sizes, sampling, resolution,
// passband, taper, bootstrap, quantile and frame exponent) on `unit`.
void wr2(const RunParameters& rp, int unit);

}  // namespace quorvel
