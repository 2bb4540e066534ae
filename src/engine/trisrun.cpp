#include "engine/trisrun.hpp"

#include <algorithm>
#include <cmath>

#include "engine/dtaper.hpp"
#include "engine/p234.hpp"
#include "engine/t123.hpp"
#include "engine/triscale.hpp"
#include "stats/chi_square_score.hpp"
#include "stats/dcdg.hpp"
#include "stats/dsort.hpp"

namespace quorvel {

void triloop(std::span<const double> series, const FftTable& v, const RunParameters& p,
             EngineArrays& a, PassResults& results, int unit, PassUse use) {
  a.ntaper = 0;
  a.taperfac = 1.0;
  if (p.taper > 0.0f) {
    dtaper(a.w, p.M, static_cast<double>(p.taper), a.taperfac, a.ntaper, unit);
    // Fewer than 3 tapered points leave the frames untapered; so does a
    // window that dtaper refused to build (wider than M/4), rather than
    // tapering with a window and factor that this pass never computed.
    if (a.ntaper < 3 || a.ntaper > p.M / 4) {
      a.ntaper = 0;
      a.taperfac = 1.0;
    }
  }
  p234(series, v, p, a, a.ntaper, unit);
  const bool report = use == PassUse::Report;
  triscale(a, p, a.taperfac, a.ntaper, results, unit, report);
  if (report) scalu(a, p, unit);
}

// How many entries at the end of the sort index (1 - tr ascending) the
// results block can read: it lists the values whose probability, as a
// 32-bit float, is below 1/n, and those are the largest y. Any value tied
// with the smallest of their y is counted too, as the sort may put it among
// them.
int listed_tail(std::span<const double> tr, std::span<const double> y, int n) {
  const float below = 1.0f / static_cast<float>(n);
  bool any = false;
  double least = 0.0;
  for (int j = 0; j < n; ++j) {
    if (static_cast<float>(tr[j]) < below && (!any || y[j] < least)) {
      least = y[j];
      any = true;
    }
  }
  if (!any) return 0;
  return static_cast<int>(std::count_if(y.begin(), y.begin() + n, [least](double v) { return v >= least; }));
}

void trisrun(std::span<const double> series, const FftTable& v, const RunParameters& p,
             EngineArrays& a, PassResults& results, int unit, PassUse use) {
  const int n = p.npos + p.nneg;
  t123(a.t1, a.t2, a.t3, p.lo, p.hi, p.M, p.ntr);
  triloop(series, v, p, a, results, unit, use);

  // Quantile nonlinearity test: the q-fractile of the upper-tail p-values,
  // standardised by its large-sample spread under uniformity.
  for (int j = 0; j < n; ++j) a.y[j] = 1.0 - a.tr[j];
  const float frac[1] = {p.quant};
  double xi[1] = {0.0};
  const std::span<double> y(a.y.data(), static_cast<std::size_t>(n));
  if (n > 1 && p.quant > 0.0f && p.quant < 1.0f && selection_matches_sort(y)) {
    // The fractile needs only the two order statistics it interpolates
    // between, found by selection: the same values the index sort gives.
    // The report reads the sort index only where it lists values, at its
    // end; that part is sorted first, since the selection reorders y.
    if (use == PassUse::Report) indexx_tail(n, y, std::span<int>(a.in.data(), n), listed_tail(a.tr, y, n));
    xi[0] = fractile_by_selection(y, frac[0]);
  } else {
    int ierr = 0;
    dsort(std::span<int>(a.in.data(), n), y, n, frac, xi, 'B', ierr);
  }
  const double q = p.quant;
  const double zq = (xi[0] - q) / std::sqrt(q * (1.0 - q) / n);
  results.quantile = static_cast<float>(dcdg(zq));
  results.quantile_z = zq;
  results.quantile_score = std::isnan(zq) ? kNoScore : zq;
}

}  // namespace quorvel
