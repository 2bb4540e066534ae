#pragma once

#include <string>

#include "pipeline/tri.hpp"

namespace quorvel {

// One run of the batch, from the control file open on unit 11 to the
// closing banner. Returns false when the run was abandoned because the
// data file or an output file could not be opened (the batch goes on);
// every other failure stops the program.
// With an outcome, what the run computed is kept there as well.
bool top(float& run_timer, int nruns, int irun, RunOutcome* outcome = nullptr);

// The stem that names the outputs of a run on `datafile`.
std::string run_output_stem(const std::string& datafile);

}  // namespace quorvel
