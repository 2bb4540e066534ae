#pragma once
// The engine arrays of one test pass. Every pass of a run works in one set
// (the bootstrap gives each worker thread a set of its own); the FFT table
// is separate and shared read-only.
#include <cstddef>
#include <vector>

#include "common/run_parameters.hpp"
#include "engine/p234.hpp"

namespace quorvel {

struct EngineArrays {
  std::vector<double> b;        // frame buffer, M
  std::vector<double> w;        // taper window, M
  std::vector<double> f;        // complex transform work, M pairs (re, im)
  std::vector<double> scratch;  // FFT ping-pong partner of f, 2M
  std::vector<int> in;          // sort index of 1 - tr (0-based), npos + nneg; see trisrun
  std::vector<double> y;        // upper-tail p-values of the quantile test, npos + nneg
  std::vector<double> sp;       // band spectrum, ne
  std::vector<double> tr, ti;   // trispectrum values, ntr each
  std::vector<int> t1, t2, t3;  // frequency index tables, ntr each
  std::vector<double> u;        // per-pair probabilities of the k3 > 0 values, ne x ne, column-major
  std::vector<double> z;        // the same for the k3 < 0 values
  EstimatorPlan plan;           // the rows of the grid, as the estimator runs them
  FrameChunk chunk;             // transforms of a chunk of frames
  int row_threads = 1;          // threads that share the estimator's rows
  double taperfac = 1.0;        // taper outputs of the current pass
  int ntaper = 0;
};

// Sizes every array for a run's geometry (M, lo, hi, ne and the counts of the
// grid). Without planes, the probability planes u and z (which only a pass
// for the report writes) are left empty. Returns false, never throwing,
// when memory cannot be had.
bool allocate_engine_arrays(const RunParameters& p, EngineArrays& a, bool with_planes = true);

// A generous estimate of the bytes one set of engine arrays takes, so that a
// run too large for the machine is refused before anything is touched.
double engine_bytes(const RunParameters& p, bool with_planes = true);

}  // namespace quorvel
