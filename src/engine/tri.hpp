#pragma once
// The analysis of one run: data, statistics, prewhitening, the test pass,
// the bootstrap, the results block and the value files.
#include <vector>

#include "common/run_parameters.hpp"
#include "engine/dfft.hpp"
#include "engine/engine_arrays.hpp"

namespace quorvel {

// The run's work arrays, sized by the set-up and released after the run.
struct RunArrays {
  std::vector<double> x;  // the analysed column of the data table, N values
  std::vector<double> r;  // the series of the test pass (standardised data or residuals)
  FftTable v;             // the transform table of the frame length
  EngineArrays engine;    // the arrays of the pass on the series under test
};

// Sizes the run's work arrays; false, never throwing, when they cannot be had.
bool allocate_run_arrays(RunArrays& arrays, const RunParameters& rp);

// Runs the analysis; false when the tests could not be computed (fewer than
// 12 valid trispectrum values in the pass on the series under test).
bool tri(const RunParameters& rp, RunArrays& arrays);

}  // namespace quorvel
