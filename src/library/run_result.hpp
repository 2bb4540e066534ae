#pragma once
// The result of a run, from what its pipeline computed: the library's
// answer, and what the batch writes beside each report for programs to read.
#include "pipeline/tri.hpp"
#include "quorvel/quorvel.hpp"

namespace quorvel {

// The numbers and notices of `outcome` (each notice once, a repeated one
// with its count). The texts stay empty, and so does the per-value table
// unless `with_values`.
Result run_result(const RunOutcome& outcome, bool with_values = true);

// Each warning once, in order of first appearance; one that came more than
// once says how often.
std::vector<Warning> counted(const std::vector<Warning>& warnings);

}  // namespace quorvel
