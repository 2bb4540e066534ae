#include "pipeline/tri.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <span>
#include <stdexcept>
#include <string>

#include "ar/dfar.hpp"
#include "ar/dport.hpp"
#include "ar/dstat.hpp"
#include "ar/outar.hpp"
#include "common/diagnostics.hpp"
#include "common/memory.hpp"
#include "common/record_writer.hpp"
#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/threads.hpp"
#include "common/units.hpp"
#include "engine/trisrun.hpp"
#include "readers/datc.hpp"
#include "pipeline/resampl.hpp"
#include "report/dwrstat.hpp"
#include "report/outtris.hpp"
#include "report/wr2.hpp"
#include "report/wrttris.hpp"

namespace quorvel {
namespace {

// (x - mean) / sd for every entry, as the engine expects its series; a
// constant series (sd = 0) is left centred rather than turned into NaN.
void standardise(std::span<const double> from, const Moments& m, std::span<double> to) {
  const double factor = m.sd > 0 ? 1.0 / m.sd : 1.0;
  for (std::size_t i = 0; i < from.size(); ++i) to[i] = (from[i] - m.mean) * factor;
}

// The raw column multiplied by the power of two that brings its largest
// magnitude into [0.5, 1). The factor is exact, so every normalised value
// of the pass is the same to the bit as without it, while data far from 1
// (below about 1e-41 or above 1e38) no longer under- or overflow in the
// fourth-order moments.
void scale_by_power_of_two(std::span<const double> from, std::span<double> to) {
  double largest = 0.0;
  for (double v : from) largest = std::max(largest, std::fabs(v));
  int exponent = 0;
  if (largest > 0.0) std::frexp(largest, &exponent);
  for (std::size_t i = 0; i < from.size(); ++i) to[i] = std::ldexp(from[i], -exponent);
}

}  // namespace

bool allocate_run_arrays(RunArrays& arrays, const RunParameters& rp) {
  const double n = rp.N;
  const double results_block = 12.0 * (static_cast<double>(rp.npos) + rp.nneg);  // outtris' scratch
  if (!fits_in_memory(8.0 * (3.0 * n + 4.0 * std::max(rp.ncols, 1)) + engine_bytes(rp) + results_block)) return false;
  // The column and the series are not taken here: the column grows as its
  // rows arrive, and the series is taken once they are all there.
  return allocate_engine_arrays(rp, arrays.engine);
}

bool tri(const RunParameters& rp, RunArrays& arrays, const DataSource& data, RunOutcome* outcome) {
  cffti(rp.M, arrays.v);

  writef(kReportUnit, "(67('*'))");
  wr2(rp, kReportUnit);
  writef(kReportUnit, "(' Format: ',A50)", rp.fmt);
  try {
    if (data.in_memory) {
      // The plan has kept is .. ie within the series; a caller that did not is refused.
      if (rp.is < 1 || rp.N < 0 || static_cast<std::size_t>(rp.is - 1) + rp.N > data.values.size()) {
        throw std::out_of_range("rows beyond the series");
      }
      const auto first = data.values.begin() + (rp.is - 1);
      arrays.x.assign(first, first + rp.N);
    } else {
      const bool dated = rp.fmt.find('a') != std::string::npos;
      // The date texts grow with the rows (datc); one entry without dates.
      std::vector<std::string> dates(dated ? 0 : 1, std::string(25, ' '));
      datc(arrays.x, dates, rp, dated ? 'm' : 'a');
    }
    arrays.r.assign(static_cast<std::size_t>(rp.N), 0.0);
  } catch (const std::bad_alloc&) {
    send(kAllOutputs, listed("Unable to allocate work space for arrays in top"));
    stop_for_memory();
  }

  const std::span<const double> d(arrays.x.data(), static_cast<std::size_t>(rp.N));
  // A NaN or an infinity read from the file would make every statistic of
  // the run meaningless.
  if (auto bad = std::find_if(d.begin(), d.end(), [](double v) { return !std::isfinite(v); }); bad != d.end()) {
    const int t = static_cast<int>(bad - d.begin()) + 1;
    // Named by its file, as the control file gives it: one batch reads many.
    const std::string file = rp.datafile.substr(0, rp.datafile.find_last_not_of(' ') + 1);
    send(kAllOutputs, listed("Datum ", rp.is + t - 1, " of column ", rp.icol, " of ", file, " is not a finite number"));
    stop();
  }
  const Moments moments = dstat(d);
  writef(kReportUnit, "(60('='))");
  writef(kReportUnit, "(10X,'Descriptive Statistics of Data')");
  dwrstat(kReportUnit, moments);
  if (outcome) outcome->data = moments;

  PassResults results;
  ShuffledPValues shuffled;
  if (rp.iar > 0) {
    const ArFit fit = dfar(d, rp.iar, rp.pv, arrays.r, kReportUnit);
    if (fit.k == 0) {
      char threshold[32];
      std::snprintf(threshold, sizeof threshold, "%g", static_cast<double>(rp.pv));
      post_diagnostic("no_ar_lag", std::string("no AR lag was kept at the threshold ") + threshold +
                                       ": the tests ran on the standardised series");
      standardise(d, moments, arrays.r);
    } else {
      // The residual statistics skip the leading zeros of the fit: they
      // are taken over the real one-step prediction errors.
      const std::size_t first = static_cast<std::size_t>(fit.lmax());
      const Moments residuals = dstat(std::span<const double>(arrays.r).subspan(first, rp.N - first));
      standardise(arrays.r, residuals, arrays.r);
      const float white = dport(arrays.r, rp.N, rp.e, kReportUnit);
      writef(kReportUnit, "(60('='))");
      writef(kReportUnit, "(10X,'Descriptive Statistics of Residuals')");
      dwrstat(kReportUnit, residuals);
      writef(kReportUnit, "(/,7X,'White Noise Test Statistic p-value = ',F7.3,/)", white);
      writef(kReportUnit, "(60('*'))");
      outar(fit, rp, kReportUnit);
      if (outcome) {
        outcome->residuals = residuals;
        outcome->white = white;
      }
    }
    if (outcome) outcome->fit = fit;
  } else {
    // The pass sees the raw column, neither centred nor scaled to unit
    // spread; only its binary exponent is taken out.
    scale_by_power_of_two(d, arrays.r);
  }
  const std::span<const double> series = arrays.r;
  arrays.engine.row_threads = worker_threads();
  trisrun(series, arrays.v, rp, arrays.engine, results, kReportUnit);
  // Too few valid values: no test was computed, so there is nothing to
  // report as a p-value and nothing for the bootstrap to compare with.
  const bool computed = results.valid >= 12;
  if (!computed) {
    send(kConsoleAndErrorFile, formatted("(' Valid trispectrum values = ',I1,' < 12')", results.valid));
  }
  if (computed && rp.nres > 0) shuffled = resampl(series, arrays.v, rp, results, kReportUnit);

  const EngineArrays& a = arrays.engine;
  const TrispectralValues values{a.t1, a.t2, a.t3, a.tr, a.ti, a.in};
  if (computed) {
    outtris(values, shuffled, rp.npos + rp.nneg, rp, results, kReportUnit);
  } else {
    outtris_not_computed(kReportUnit);
  }
  wrttris(a.u, rp.lo, rp.ne, 1, rp.bw, rp.iunit, kPosUnit);
  wrttris(a.z, rp.lo, rp.ne, 1, rp.bw, rp.iunit, kNegUnit);
  for (int unit : kRunFiles) flush_unit(unit);
  if (outcome) {
    outcome->results = results;
    outcome->shuffled = shuffled;
    outcome->computed = computed;
  }
  return computed;
}

}  // namespace quorvel
