#include "engine/tri.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
#include <string>

#include "ar/dfar.hpp"
#include "ar/dport.hpp"
#include "ar/dstat.hpp"
#include "ar/outar.hpp"
#include "common/memory.hpp"
#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/threads.hpp"
#include "common/units.hpp"
#include "engine/trisrun.hpp"
#include "input/datc.hpp"
#include "report/dwrstat.hpp"
#include "report/outtris.hpp"
#include "report/wr2.hpp"
#include "report/wrttris.hpp"
#include "stats/resampl.hpp"

namespace quorvel {
namespace {

// (x - mean) / sd for every entry, as the engine expects its series; a
// constant series (sd = 0) is left centred rather than turned into NaN.
void standardise(std::span<const double> from, const Moments& m, std::span<double> to) {
  const double factor = m.sd > 0 ? 1.0 / m.sd : 1.0;
  for (std::size_t i = 0; i < from.size(); ++i) to[i] = (from[i] - m.mean) * factor;
}

}  // namespace

bool allocate_run_arrays(RunArrays& arrays, const RunParameters& rp) {
  const double n = rp.N;
  if (!fits_in_memory(8.0 * (3.0 * n + 4.0 * std::max(rp.ncols, 1)) + engine_bytes(rp))) return false;
  try {
    arrays.x.assign(static_cast<std::size_t>(rp.N), 0.0);
    arrays.r.assign(static_cast<std::size_t>(rp.N), 0.0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return allocate_engine_arrays(rp, arrays.engine);
}

void tri(const RunParameters& rp, RunArrays& arrays, RunOutcome* outcome) {
  const bool dated = rp.fmt.find('a') != std::string::npos;
  std::vector<std::string> dates;
  try {
    dates.assign(dated ? static_cast<std::size_t>(rp.N) : 1, std::string(25, ' '));
  } catch (const std::bad_alloc&) {
    writel(kReportUnit, "Unable to allocate work space for ts in tri");
    writel(kConsoleUnit, "Unable to allocate work space for ts in tri");
    stop();
  }
  cffti(rp.M, arrays.v);

  writef(kReportUnit, "(67('*'))");
  wr2(rp, kReportUnit);
  writef(kReportUnit, "(' Format: ',A50)", rp.fmt);
  datc(arrays.x, dates, rp, dated ? 'm' : 'a');

  const std::span<const double> d(arrays.x.data(), static_cast<std::size_t>(rp.N));
  // A NaN or an infinity read from the file would make every statistic of
  // the run meaningless.
  if (auto bad = std::find_if(d.begin(), d.end(), [](double v) { return !std::isfinite(v); }); bad != d.end()) {
    const int t = static_cast<int>(bad - d.begin()) + 1;
    for (int unit : {kReportUnit, kConsoleUnit, kErrorUnit}) {
      writel(unit, "Datum ", rp.is + t - 1, " of column ", rp.icol, " is not a finite number");
    }
    stop();
  }
  const Moments data = dstat(d);
  writef(kReportUnit, "(60('='))");
  writef(kReportUnit, "(10X,'Descriptive Statistics of Data')");
  dwrstat(kReportUnit, data);
  if (outcome) outcome->data = data;

  PassResults results;
  ShuffledPValues shuffled;
  std::span<const double> series = d;
  if (rp.iar > 0) {
    const ArFit fit = dfar(d, rp.iar, rp.pv, arrays.r, kReportUnit);
    if (fit.k == 0) {
      standardise(d, data, arrays.r);
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
    series = arrays.r;
    if (outcome) outcome->fit = fit;
  }
  arrays.engine.row_threads = worker_threads();
  trisrun(series, arrays.v, rp, arrays.engine, results, kReportUnit);
  if (rp.nres > 0) shuffled = resampl(series, arrays.v, rp, results, kReportUnit);

  const EngineArrays& a = arrays.engine;
  const TrispectralValues values{a.t1, a.t2, a.t3, a.tr, a.ti, a.in};
  outtris(values, shuffled, rp.npos + rp.nneg, rp, results, kReportUnit);
  wrttris(a.u, rp.lo, rp.ne, rp.k3pos + 1, rp.bw, rp.iunit, kPosUnit);
  wrttris(a.z, rp.lo, rp.ne, rp.k3neg + 1, rp.bw, rp.iunit, kNegUnit);
  for (int unit : {kReportUnit, kNegUnit, kPosUnit}) flush_unit(unit);
  if (outcome) {
    outcome->results = results;
    outcome->shuffled = shuffled;
  }
}

}  // namespace quorvel
