#pragma once
// The frame trispectrum estimator: the products of four Fourier
// coefficients summed over the frames of a series for every value of the
// grid, and the band spectrum.
//
// The grid is run row by row: a row is one (part, k1, k2) with its k3 (or m)
// contiguous, so its values are contiguous in tr/ti and its two last factors
// are contiguous in the frame transforms (X_k ascending, or R_j = X_{M-j}
// ascending). The frames are transformed a chunk at a time and every row
// accumulates the frames of the chunk in frame order, which keeps each
// value's sum exactly that of a frame-by-frame loop.
#include <cstddef>
#include <span>
#include <vector>

#include "common/run_parameters.hpp"
#include "engine/dfft.hpp"

namespace quorvel {

struct EngineArrays;

// One row of the grid.
struct EstimatorRow {
  int k1 = 0, k2 = 0;
  int first = 0;   // 0-based position of its first value
  int length = 0;  // number of values
  // The third and fourth factors of the row's first value: read from X (false)
  // or from R (true), at index f3/f4 of the frame; both advance by one per value.
  bool f3_reversed = false, f4_reversed = false;
  int f3 = 0, f4 = 0;
};

struct EstimatorPlan {
  std::vector<EstimatorRow> rows;  // in grid order
  int stationary = 0;              // values of the two stationary parts
  int total = 0;                   // all values
};

// The rows of the grid of the band lo..hi for frames of M points.
EstimatorPlan make_estimator_plan(int lo, int hi, int M);

// The transforms of up to kFrames consecutive frames, split into real and
// imaginary parts, frame-major: X_k of frame c at [c * stride + k], and the
// same frame reversed, R_j = X_{(M - j) mod M}. Each frame row is padded with
// zeros so that a block of values may read past a row's end.
struct FrameChunk {
  static constexpr int kFrames = 32;
  static constexpr int kPad = 16;
  int M = 0;
  std::ptrdiff_t stride = 0;
  std::vector<double> xr, xi, rr, ri;
  FrameChunk() = default;
  explicit FrameChunk(int M);
  // Stores the transform f (M interleaved pairs) as frame c of the chunk.
  void store(int c, std::span<const double> f);
};

// Adds the products of frames 0..nframes-1 of the chunk to the values of the
// rows [row_begin, row_end) of the plan. Rows own disjoint positions of tr and
// ti, so disjoint row ranges may run at the same time.
void accumulate_rows(const EstimatorPlan& plan, std::size_t row_begin, std::size_t row_end,
                     const FrameChunk& chunk, int nframes, double scale, double* tr, double* ti);

// Makes the estimator use its portable kernel even where 512-bit vectors
// are there (the tests check that both kernels give the same bits).
void use_generic_estimator_kernel(bool generic);

// The estimator over one series (N values): zeroes and fills sp, tr and ti.
// The frames are tapered by w when ntaper >= 3. A plan that disagrees with the
// run's counts is reported on `unit` and stops the program.
void p234(std::span<const double> series, const FftTable& v, const RunParameters& p,
          EngineArrays& a, int ntaper, int unit);

}  // namespace quorvel
