#include <algorithm>

#include "engine_fixtures.hpp"

namespace quorvel::testing {

namespace {

struct Cx {
  double re, im;
};
Cx mul(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

}  // namespace

RawEstimates reference_p234(const std::vector<double>& series, const FftTable& v,
                            const RunParameters& p, const std::vector<double>& w, int ntaper) {
  const int M = p.M, lo = p.lo, hi = p.hi;
  RawEstimates out{std::vector<double>(p.ne, 0.0), std::vector<double>(p.ntr, 0.0),
                   std::vector<double>(p.ntr, 0.0)};
  const int K = p.N / M;
  const double scale = static_cast<double>(p.N) / (static_cast<double>(p.N) * p.N);
  std::vector<double> f(2 * M), scratch(2 * M);
  for (int frame = 0; frame < K; ++frame) {
    for (int t = 0; t < M; ++t) {
      double y = series[frame * M + t];
      if (ntaper >= 3) y = y * w[t];
      f[2 * t] = y;
      f[2 * t + 1] = 0.0;
    }
    cfftf(v, f, scratch);
    auto X = [&](int k) { return Cx{f[2 * k], f[2 * k + 1]}; };
    for (int k = lo; k <= hi; ++k) out.sp[k - lo] += scale * mul(X(k), X(M - k)).re;
    int j = 0;
    auto add = [&](Cx a, Cx f3, Cx f4) {
      const Cx prod = mul(mul(a, f3), f4);
      out.tr[j] += prod.re;
      out.ti[j] += prod.im;
      ++j;
    };
    auto partial = [&](int k1, int k2) {
      return mul(Cx{scale * X(k1).re, scale * X(k1).im}, X(k2));
    };
    for (int k1 = lo; k1 <= hi; ++k1)
      for (int k2 = lo; k2 <= k1; ++k2)
        if (k1 + k2 < hi)
          for (int k3 = lo; k3 <= std::min(k2, hi - k1 - k2); ++k3)
            add(partial(k1, k2), X(k3), X(M - (k1 + k2 + k3)));
    for (int k1 = lo; k1 <= hi; ++k1)
      for (int k2 = lo; k2 <= k1; ++k2)
        for (int m = std::max(lo, k1 + k2 - hi); m < k2; ++m)
          add(partial(k1, k2), X(M - m), X(M - (k1 + k2 - m)));
    for (int k1 = lo; k1 <= std::min(hi, M / 6); ++k1)
      for (int k2 = lo; k2 <= k1; ++k2)
        for (int k3 = lo; k3 <= std::min(k2, hi - k1 - k2); ++k3)
          add(partial(k1, k2), X(k3), X(k1 + k2 + k3));
    for (int k1 = std::max(lo, M / 4); k1 <= hi; ++k1)
      for (int k2 = lo; k2 <= k1; ++k2)
        for (int m = std::max(lo, k1 + k2 - hi); m < k2; ++m)
          add(partial(k1, k2), X(M - m), X(k1 + k2 - m));
  }
  return out;
}

}  // namespace quorvel::testing
