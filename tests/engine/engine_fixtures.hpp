#pragma once
// Shared helpers of the engine tests: run geometries, seeded series, and the
// plain frame-by-frame estimator that the fast one must match bit for bit.
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/run_parameters.hpp"
#include "engine/dfft.hpp"
#include "engine/size.hpp"

namespace quorvel::testing {

inline RunParameters geometry(int N, int M, int lo, int hi, float taper = 0.0f,
                              float quant = 0.9f) {
  RunParameters p;
  p.N = N;
  p.M = M;
  p.lo = lo;
  p.hi = hi;
  p.ne = hi - lo + 1;
  const GridCounts c = size(lo, hi, M);
  p.npos = c.npos;
  p.nneg = c.nneg;
  p.na = c.na;
  p.ntr = c.npos + c.nneg + c.na;
  p.k3pos = c.k3pos;
  p.k3neg = c.k3neg;
  p.taper = taper;
  p.quant = quant;
  return p;
}

// A small fixed generator, so the series are the same on every platform.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  double uniform() {  // (0, 1)
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return (static_cast<double>(s_ >> 11) + 0.5) * 0x1.0p-53;
  }
  double normal() {
    const double u1 = uniform(), u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }

 private:
  std::uint64_t s_;
};

inline std::vector<double> gaussian_series(int n, std::uint64_t seed) {
  Rng rng(seed);
  std::vector<double> x(n);
  for (double& v : x) v = rng.normal();
  return x;
}

// A non-Gaussian, nonlinear series: squared noise through a short filter.
inline std::vector<double> nonlinear_series(int n, std::uint64_t seed) {
  Rng rng(seed);
  std::vector<double> x(n);
  double prev = 0.0;
  for (double& v : x) {
    const double e = rng.normal();
    v = e * e - 1.0 + 0.6 * prev;
    prev = e;
  }
  return x;
}

struct RawEstimates {
  std::vector<double> sp, tr, ti;
};

// The estimator as the frame loop reads most plainly: one frame at a time,
// every value of the grid in order with its product formed left to right.
RawEstimates reference_p234(const std::vector<double>& series, const FftTable& v,
                            const RunParameters& p, const std::vector<double>& w, int ntaper);

}  // namespace quorvel::testing
