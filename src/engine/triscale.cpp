#include "engine/triscale.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include <string>

#include "common/array_view.hpp"
#include "common/diagnostics.hpp"
#include "common/record_writer.hpp"
#include "common/units.hpp"
#include "engine/engine_arrays.hpp"
#include "engine/grid.hpp"
#include "stats/cdchi.hpp"
#include "stats/chi_square_score.hpp"
#include "stats/p2chi.hpp"

namespace quorvel {

namespace {

constexpr double kDegrees = 57.2958f;  // the single-precision constant, widened

// Runs part(first, last) over [0, n) in `threads` consecutive parts, the
// first on the calling thread and the others on threads of their own. The
// records the other parts write are held and written after the first's, in
// part order: as one loop over [0, n) writes them.
template <class Part>
void in_parts(int n, int threads, Part&& part) {
  if (threads <= 1 || n < 4096) {
    part(0, n);
    return;
  }
  auto bound = [&](int k) { return static_cast<int>(static_cast<long long>(n) * k / threads); };
  std::vector<std::vector<CapturedRecord>> held(static_cast<std::size_t>(threads));
  std::vector<std::thread> started;
  int k = 1;
  for (; k < threads; ++k) {
    try {
      started.emplace_back([&, k] {
        RecordCapture capture(held[k]);
        part(bound(k), bound(k + 1));
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  std::exception_ptr failure;
  try {
    part(0, bound(1));
  } catch (...) {
    failure = std::current_exception();
  }
  for (std::thread& t : started) t.join();
  if (failure) std::rethrow_exception(failure);
  for (int i = 1; i < k; ++i)
    for (const CapturedRecord& m : held[i]) write_record(m.unit, m.text);
  if (k < threads) part(bound(k), n);  // the parts whose thread could not start
}

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
  View2<double> u(a.u.data(), ne, ne);
  View2<double> z(a.z.data(), ne, ne);
  auto S = [&](int k) { return a.sp[k - lo]; };
  // The planes gather each pair's sum of squared moduli: the values of a
  // pair come in ascending k3, so each sum is formed in that order from 0.
  if (for_report) {
    std::fill(a.u.begin(), a.u.end(), 0.0);
    std::fill(a.z.begin(), a.z.end(), 0.0);
  }

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
    auto pair_sum = [&]() -> double& { return k3 > 0 ? u(k1 - lo + 1, k2 - lo + 1) : z(k1 - lo + 1, k2 - lo + 1); };
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
        a.y[j] = R;  // the phase is formed from R and I below
        a.ti[j] = I;
        pair_sum() += a.tr[j];
      }
    } else {
      ++invalid;
      a.tr[j] = 0.0;
      a.ti[j] = 0.0;
      if (for_report) {
        a.y[j] = 0.0;  // a phase of atan2(0, 0) = 0
        pair_sum() += 0.0;
      }
    }
  }
  const int threads = a.row_threads;
  if (for_report) {
    in_parts(n, threads, [&](int first, int last) {
      for (int j = first; j < last; ++j) a.ti[j] = std::atan2(a.ti[j], a.y[j]) * kDegrees;
    });
  }

  const int valid = n - invalid;
  // The full-precision statistics; a test this pass does not compute keeps
  // the least extreme score, as its probability keeps a p-value of 1.
  results.valid = valid;
  results.zero_sum = static_cast<double>(sum_r + sum_i);
  results.reversibility_sum = static_cast<double>(sum_i);
  results.zero_df = 2.0 * valid;
  results.reversibility_df = valid;
  results.aliasing_valid = 0;
  results.aliasing_sum = 0.0;
  results.aliasing_df = 0.0;
  results.zero_score = results.reversibility_score = results.aliasing_score = kNoScore;
  if (valid < 12) {
    writef(unit, "(40('*'),/)");
    writef(unit, "(' Valid trispectrum values = ',I1,' < 12')", valid);
    post_diagnostic("low_count", "a test pass had " + std::to_string(valid) +
                                     " valid trispectrum values, fewer than the 12 its tests need");
    std::fill_n(a.tr.begin(), n, 0.0);
    return;
  }

  // Mean noncentrality, then every stationary value to its probability.
  const float s = static_cast<float>(sum_r + sum_i);
  float lambda = s / static_cast<float>(valid) - 2.0f;
  if (lambda <= 0.0f) lambda = 0.0f;
  results.lambda = lambda;
  const P2chiLambda prepared = prepare_p2chi(lambda);
  in_parts(n, threads, [&](int first, int last) {
    for (int j = first; j < last; ++j) a.tr[j] = p2chi(prepared, static_cast<float>(a.tr[j]), unit);
  });
  cdchi(s, static_cast<float>(2 * valid), results.zero, unit);
  cdchi(static_cast<float>(sum_i), static_cast<float>(valid), results.reversibility, unit);
  results.zero_score = chi_square_score(results.zero_sum, results.zero_df);
  results.reversibility_score = chi_square_score(results.reversibility_sum, results.reversibility_df);

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
  results.aliasing_valid = p.na - invalid_a;
  results.aliasing_sum = static_cast<double>(sum_ra + sum_ia);
  results.aliasing_df = 2.0 * results.aliasing_valid;
  results.aliasing_score = chi_square_score(results.aliasing_sum, results.aliasing_df);
}

void scalu(EngineArrays& a, const RunParameters& p, int unit) {
  const int lo = p.lo, hi = p.hi, ne = p.ne;
  View2<double> u(a.u.data(), ne, ne);
  View2<double> z(a.z.data(), ne, ne);
  for (int j = 1; j <= ne; ++j)
    for (int i = 1; i < j; ++i) {
      u(i, j) = 0.0;
      z(i, j) = 0.0;
    }
  auto probability = [&](double s, int terms) {
    float prob = 0.0f;
    if (terms > 0) cdchi(static_cast<float>(s), static_cast<float>(2 * terms), prob, unit);
    return static_cast<double>(prob);
  };
  // Each pair's sum, left by triscale, becomes its probability; the number
  // of terms is that of the pair's values on the grid.
  for_each_grid_row(lo, hi, p.M, [&](const GridRow& row) {
    if (row.part != GridPart::StationaryPositive && row.part != GridPart::StationaryNegative) return;
    double& pair = row.part == GridPart::StationaryPositive ? u(row.k1 - lo + 1, row.k2 - lo + 1)
                                                            : z(row.k1 - lo + 1, row.k2 - lo + 1);
    pair = probability(pair, row.count);
  });
}

}  // namespace quorvel
