#pragma once
// The AR block of the run report: the fitted lags with their coefficients
// and t values, the fit statistics, and the amplitudes and frequencies (or
// periods) of the roots of the AR polynomial.
#include <span>

#include <vector>

#include "ar/dfar.hpp"
#include "ar/zroots.hpp"
#include "common/run_parameters.hpp"

namespace quorvel {

// Amplitude and value (frequency or period in the run's unit; 0 for a real
// root) of one root of the AR polynomial.
struct RootValue {
  float amplitude = 0, value = 0;
};

// The table entry of root z: iunit 2 (Hz) and 1 (kHz) give the frequency
// rate/|P|, any other unit the period |P|*rate capped at 10000, where P is
// the root's period in samples.
RootValue root_value(Complex z, int iunit, float rate);

// The roots of the AR polynomial of a fit with fit.k > 0, one entry per
// degree. False when the degree is beyond the solver's limit (it has said
// so on the console); err = 1 when the iteration did not converge.
bool ar_roots(const ArFit& fit, const RunParameters& run, std::vector<RootValue>& roots, int& err);

// Writes the AR block of a fit with fit.k > 0 to `unit`.
void outar(const ArFit& fit, const RunParameters& run, int unit);

}  // namespace quorvel
