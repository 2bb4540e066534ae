#pragma once
#include "common/run_parameters.hpp"

namespace quorvel {

// Reads the two header lines of the data file on unit 2: title, nrows,
// ncols, rate (or interval) and fmt, and checks the header's unit against
// rp.iunit. Stops with its message on any failure.
void readhead(RunParameters& rp);

}  // namespace quorvel
