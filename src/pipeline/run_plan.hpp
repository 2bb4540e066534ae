#pragma once
// A planned run carried out: the sizing lines of its report, its work
// arrays, the analysis and the closing banner.
#include "pipeline/plan.hpp"
#include "pipeline/tri.hpp"

namespace quorvel {

// Runs a plan that has no problem, writing on the report and value files
// open on their units; `run_timer` is the processor time at the report's
// title line. Returns false when the tests could not be computed. With an
// outcome, the run's numbers, arrays and notices are kept there. A run
// whose work space cannot be had stops (StopCause::NoMemory).
bool run_plan(const Plan& plan, const DataSource& data, float run_timer, RunOutcome* outcome = nullptr);

}  // namespace quorvel
