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
RunSpec checked_run(std::span<const double> series, const Settings& settings, std::vector<Warning>& warnings);

// Throws the error of a plan's problem in the caller's terms (nothing for
// a plan without one).
void refuse_problem(const Plan& plan, const Settings& settings);

// The frame length chosen for n values when the settings give none:
// kChosenFrame points, the frame whose tests had the most power, or close
// to it, in the simulations of the statistical guidance (100 to 4,096
// values), at a cost that grows only linearly with n; the run's consistency
// check (e = ln M / ln n at most 0.3333) passes from 4,100 values on. Shorter series take
// four frames of n / 4 points; 0 when n is below four of the shortest
// frames whose tests can be computed.
inline constexpr int kShortestFrame = 12;  // 20 stationary values: 12 valid ones at least
inline constexpr int kChosenFrame = 16;    // 50 stationary values
int automatic_frame_length(long long n);

// The largest AR order of a call that gives none: min(10, n / 10).
int default_ar_order(int n);

}  // namespace quorvel
