#pragma once
// The analysis of one run: data, statistics, prewhitening, the test pass,
// the bootstrap, the results block and the value files.
#include <vector>

#include "ar/dfar.hpp"
#include "ar/dstat.hpp"
#include "common/run_parameters.hpp"
#include "engine/dfft.hpp"
#include "engine/engine_arrays.hpp"
#include "report/outtris.hpp"

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
};

// Sizes the run's work arrays; false, never throwing, when they cannot be had.
bool allocate_run_arrays(RunArrays& arrays, const RunParameters& rp);

void tri(const RunParameters& rp, RunArrays& arrays, RunOutcome* outcome = nullptr);

}  // namespace quorvel
