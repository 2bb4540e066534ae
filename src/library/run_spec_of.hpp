#pragma once
// A library call's settings and series into the run they ask for, checked
// in the caller's terms: every refusal names the setting or the value as
// the caller gave it, with its range and, where there is one, the fix.
#include <span>
#include <vector>

#include "pipeline/plan.hpp"
#include "quorvel/quorvel.hpp"

namespace quorvel {

// The run of `settings` on `series`; the frame length is chosen when the
// settings give neither a bandwidth nor a frame length. Warnings of the
// settings themselves (a bootstrap that cannot run) go to `warnings`.
// Throws SettingsError or DataError.
RunSpec run_spec_of(std::span<const double> series, const Settings& settings, std::vector<Warning>& warnings);

// Throws the error of a plan's problem in the caller's terms (nothing for
// a plan without one).
void refuse_problem(const Plan& plan, const Settings& settings);

// The frame length chosen for n values: the largest M >= 10 whose exponent
// ln M / ln n, computed as the run computes it, is at most 0.3333; 10 when
// none is (then `within` is false).
int automatic_frame_length(long long n, bool& within);

}  // namespace quorvel
