#pragma once

#include <functional>
#include <string>

#include "pipeline/tri.hpp"

namespace quorvel {

// How a run of the batch ended.
enum class RunEnd {
  Completed,    // the tests were computed
  NotComputed,  // the run went through with too few valid values for its tests
  Abandoned,    // the data file or an output could not be opened; the batch went on
  Stopped,      // an error stopped the batch in this run
};

// A run of the batch as it ended, for the files written beside its report.
struct RunReport {
  int irun = 0;
  std::string control;   // the control file as the batch list names it
  std::string datafile;  // the data file, once the run has it open ("" before)
  RunEnd end = RunEnd::Completed;
  std::string message;   // the run's error or notice, one line per record
  const RunOutcome* outcome = nullptr;  // what the run computed (Completed)
};

// Told as each run starts (its number and control file) and as it ends
// (however it ends, but for an interrupting signal), in list order.
struct BatchObserver {
  std::function<void(int irun, const std::string& control)> started;
  std::function<void(const RunReport&)> ended;
};

// Runs the batch of "Runquorvel.cnl" in the working directory. Returns the
// exit status: 0 when every run completed, 1 when a run was abandoned.
// An error stop throws Stop.
int run_batch(const BatchObserver& observer = {});

}  // namespace quorvel
