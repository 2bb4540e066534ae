#pragma once
// The result of a run of the batch, from what its pipeline computed: the
// batch writes it beside the run's report for programs to read.
#include <string>

#include "pipeline/tri.hpp"
#include "quorvel/quorvel.hpp"

namespace quorvel {

// The numbers and warnings of `outcome`; `report` is the text of the run's
// report (its low-count lines become warnings). The texts stay empty, and
// so does the per-value table unless `with_values`.
Result run_result(const RunOutcome& outcome, const std::string& report, bool with_values = true);

}  // namespace quorvel
