#include "engine/triscale.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/array_view.hpp"
#include "common/record_writer.hpp"
#include "engine/engine_arrays.hpp"
#include "stats/cdchi.hpp"
#include "stats/p2chi.hpp"

namespace quorvel {

namespace {

constexpr double kDegrees = 57.2958f;  // the single-precision constant, widened

}  // namespace

// kappa = sqrt(2 K) / M in extended precision, K the number of frames.
long double normalising_constant(int N, int M) {
  return std::sqrt(2.0L * static_cast<long double>(N / M)) / static_cast<long double>(M);
}

// One normalised part: kappa times the raw sum over the root of the
// variance, formed in extended precision and stored as a double.
static double normalised(long double kappa, double raw, double root) {
  return static_cast<double>(kappa * raw / root);
}

double scaledet(int k1, int k2, int k3) {
  if (k3 > 0) {
    // k1 >= k2 >= k3 on the grid: k1 = k3 only when all three are equal.
    if (k1 == k2 && k2 == k3) return 6.0;
    if (k1 == k2 || k2 == k3) return 2.0;
    return 1.0;
  }
  // k3 = -m with m < k2: only k1 = k2 can repeat.
  return k1 == k2 ? 2.0 : 1.0;
}

void triscale(EngineArrays& a, const RunParameters& p, double taperfac, int ntaper,
              PassResults& results, int unit, bool for_report) {
  const int lo = p.lo, ne = p.ne;
  const int n = p.npos + p.nneg;
  View3<double> u(a.u.data(), ne, ne, p.k3pos + 1);
  View3<double> z(a.z.data(), ne, ne, p.k3neg + 1);
  auto S = [&](int k) { return a.sp[k - lo]; };

  const long double kappa = normalising_constant(p.N, p.M);
  const double t2 = taperfac * taperfac;
  const double taper4 = t2 * t2;
  const bool tapered = ntaper >= 3;
  int invalid = 0;
  long double sum_r = 0.0L, sum_i = 0.0L;  // extended-precision sums

  // The stationary values: both sets in one loop, k4 = -(k1 + k2 + k3).
  for (int j = 0; j < n; ++j) {
    const int k1 = a.t1[j], k2 = a.t2[j], k3 = a.t3[j];
    const int k4 = -(k1 + k2 + k3);
    double V = scaledet(k1, k2, k3) * S(k1) * S(k2) * S(std::abs(k3)) * S(-k4);
    if (tapered) V = V / taper4;
    auto cell = [&]() -> double& {
      return k3 > 0 ? u(k1 - lo + 1, k2 - lo + 1, k3 - lo + 1) : z(k1 - lo + 1, k2 - lo + 1, -k3 - lo + 1);
    };
    // A variance or a sum that overflowed (absurdly large data) makes the
    // value invalid rather than a NaN in every later statistic.
    const double root = std::sqrt(V);
    const double R = normalised(kappa, a.tr[j], root);
    const double I = normalised(kappa, a.ti[j], root);
    if (V > 0.0 && std::isfinite(V) && std::isfinite(R) && std::isfinite(I)) {
      sum_r += R * R;
      sum_i += I * I;
      a.tr[j] = R * R + I * I;
      if (for_report) {
        a.ti[j] = std::atan2(I, R) * kDegrees;
        cell() = a.tr[j];
      }
    } else {
      ++invalid;
      a.tr[j] = 0.0;
      a.ti[j] = 0.0;
      if (for_report) cell() = 0.0;
    }
  }

  const int valid = n - invalid;
  results.valid = valid;
  if (valid < 12) {
    writef(unit, "(40('*'),/)");
    writef(unit, "(' Valid trispectrum values = ',I1,' < 12')", valid);
    std::fill_n(a.tr.begin(), n, 0.0);
    return;
  }

  // Mean noncentrality, then every stationary value to its probability.
  const float s = static_cast<float>(sum_r + sum_i);
  float lambda = s / static_cast<float>(valid) - 2.0f;
  if (lambda <= 0.0f) lambda = 0.0f;
  results.lambda = lambda;
  const P2chiLambda prepared = prepare_p2chi(lambda);
  for (int j = 0; j < n; ++j) a.tr[j] = p2chi(prepared, static_cast<float>(a.tr[j]), unit);
  cdchi(s, static_cast<float>(2 * valid), results.zero, unit);
  cdchi(static_cast<float>(sum_i), static_cast<float>(valid), results.reversibility, unit);

  // The aliasing values: no taper correction; an invalid one keeps its raw sums.
  int invalid_a = 0;
  long double sum_ra = 0.0L, sum_ia = 0.0L;
  for (int j = n; j < p.ntr; ++j) {
    const int k1 = a.t1[j], k2 = a.t2[j], k3 = a.t3[j];
    const double V =
        scaledet(k1, k2, k3) * S(k1) * S(k2) * S(std::abs(k3)) * S(k1 + k2 + k3);
    const double root = std::sqrt(V);
    const double R = normalised(kappa, a.tr[j], root);
    const double I = normalised(kappa, a.ti[j], root);
    if (V > 0.0 && std::isfinite(V) && std::isfinite(R) && std::isfinite(I)) {
      a.ti[j] = I;
      a.tr[j] = R * R + I * I;
      sum_ra += R * R;
      sum_ia += I * I;
    } else {
      ++invalid_a;
    }
  }
  cdchi(static_cast<float>(sum_ra + sum_ia), static_cast<float>(2 * (p.na - invalid_a)),
        results.aliasing, unit);
}

void scalu(EngineArrays& a, const RunParameters& p, int unit) {
  const int lo = p.lo, hi = p.hi, ne = p.ne;
  View3<double> u(a.u.data(), ne, ne, p.k3pos + 1);
  View3<double> z(a.z.data(), ne, ne, p.k3neg + 1);
  const int pu = p.k3pos + 1, pz = p.k3neg + 1;
  for (int j = 1; j <= ne; ++j)
    for (int i = 1; i < j; ++i) {
      u(i, j, pu) = 0.0;
      z(i, j, pz) = 0.0;
    }
  auto probability = [&](double s, int terms) {
    float prob = 0.0f;
    if (terms > 0) cdchi(static_cast<float>(s), static_cast<float>(2 * terms), prob, unit);
    return static_cast<double>(prob);
  };
  for (int k1 = lo; k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2) {
      double s = 0.0;
      int terms = 0;
      if (k1 + k2 < hi) {
        for (int k3 = lo; k3 <= std::min(k2, hi - k1 - k2); ++k3, ++terms)
          s += u(k1 - lo + 1, k2 - lo + 1, k3 - lo + 1);
      }
      u(k1 - lo + 1, k2 - lo + 1, pu) = probability(s, terms);
    }
  for (int k1 = lo; k1 <= hi; ++k1)
    for (int k2 = lo; k2 <= k1; ++k2) {
      double s = 0.0;
      int terms = 0;
      for (int m = std::max(lo, k1 + k2 - hi); m <= k2 - 1; ++m, ++terms)
        s += z(k1 - lo + 1, k2 - lo + 1, m - lo + 1);
      z(k1 - lo + 1, k2 - lo + 1, pz) = probability(s, terms);
    }
}

}  // namespace quorvel
