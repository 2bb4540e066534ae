#pragma once
// The analysis of one run: data, statistics, prewhitening, the test pass,
// the bootstrap, the results block and the value files.
#include <span>
#include <vector>

#include "ar/dfar.hpp"
#include "ar/dstat.hpp"
#include "common/diagnostics.hpp"
#include "common/pass_results.hpp"
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

// What a run computed, kept for a caller that wants the numbers beside the
// report (the library); the batch passes none.
struct RunOutcome {
  RunParameters rp;          // as the set-up left them
  RunArrays arrays;          // the run's arrays after the results were written
  Moments data;              // statistics of the data
  ArFit fit;                 // the AR fit (k = 0: none, or no lag kept)
  Moments residuals;         // statistics of the residuals, when a lag was kept
  float white = 0;           // white-noise p-value of the residuals, when a lag was kept
  PassResults results;       // the pass on the series under test
  ShuffledPValues shuffled;  // the bootstrap, when it ran
  bool computed = false;     // false: too few valid values for the tests
  std::vector<Diagnostic> notices;  // of the plan and the pipeline, in order
};

// Where a run's column comes from: the data file open on its unit, read by
// the row format of its header (the batch), or values already in memory,
// the whole series of which the run takes rows is .. ie (the library).
struct DataSource {
  std::span<const double> values;
  bool in_memory = false;
};

// Sizes the run's work arrays; false, never throwing, when they cannot be had.
bool allocate_run_arrays(RunArrays& arrays, const RunParameters& rp);

// Runs the analysis; false when the tests could not be computed (fewer than
// 12 valid trispectrum values in the pass on the series under test). With
// an outcome, the run's numbers are also kept there for the library.
bool tri(const RunParameters& rp, RunArrays& arrays, const DataSource& data, RunOutcome* outcome = nullptr);

}  // namespace quorvel
