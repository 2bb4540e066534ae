#pragma once

#include <functional>

#include "pipeline/tri.hpp"

namespace quorvel {

// Told of every completed run with what it computed (the command line
// writes the run's numbers beside its report).
using RunObserver = std::function<void(const RunOutcome&)>;

// Runs the batch of "Runquorvel.cnl" in the working directory. Returns the
// exit status: 0 when every run completed, 1 when a run was abandoned.
// An error stop throws Stop.
int run_batch(const RunObserver& after_run = {});

}  // namespace quorvel
