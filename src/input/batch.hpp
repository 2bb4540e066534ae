#pragma once

namespace quorvel {

// Runs the batch of "Runquorvel.cnl" in the working directory. Returns the
// exit status: 0 when every run completed, 1 when a run was abandoned.
// An error stop throws Stop.
int run_batch();

}  // namespace quorvel
