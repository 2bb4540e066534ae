#include "stats/resampl.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <new>
#include <vector>

#include "common/memory.hpp"
#include "common/progress.hpp"
#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/threads.hpp"
#include "common/units.hpp"
#include "engine/engine_arrays.hpp"
#include "engine/trisrun.hpp"
#include "stats/dshuf.hpp"

namespace quorvel {
namespace {

// What one worker owns: a set of engine arrays, its shuffled series, and
// the messages and results of its current resample.
struct Worker {
  EngineArrays arrays;
  std::vector<double> y;
  std::vector<CapturedRecord> messages;
  PassResults results;
  std::exception_ptr failure;
};

void run_pass(Worker& w, const FftTable& v, const RunParameters& rp, int unit) {
  w.messages.clear();
  w.failure = nullptr;
  w.results = PassResults{};  // a pass too thin for its tests reports p-values of 1
  capture_records(&w.messages);
  try {
    trisrun(w.y, v, rp, w.arrays, w.results, unit, PassUse::ResultsOnly);
  } catch (...) {
    w.failure = std::current_exception();
  }
  capture_records(nullptr);
}

[[noreturn]] void no_work_space(int unit) {
  writel(unit, "Unable to allocate work space in resampl");
  stop();
}

}  // namespace

float share_at_or_below(std::span<const double> resample_pvalues, float observed_pvalue) {
  const auto count = std::count_if(resample_pvalues.begin(), resample_pvalues.end(),
                                   [observed_pvalue](double p) { return p <= observed_pvalue; });
  return static_cast<float>(count) / static_cast<float>(resample_pvalues.size());
}

ShuffledPValues resampl(std::span<const double> x, const FftTable& v, const RunParameters& rp,
                        const PassResults& observed, int unit) {
  const int nres = rp.nres;
  std::array<std::vector<double>, 4> pvalues;  // quantile, zero, reversibility, aliasing
  std::vector<Worker> workers;
  const int wanted = std::min(worker_threads(), nres);
  try {
    for (auto& p : pvalues) p.resize(static_cast<std::size_t>(nres));
    workers.reserve(static_cast<std::size_t>(wanted));
    // Each worker needs a full set of engine arrays; with less memory the
    // bootstrap runs on fewer threads, with the same results.
    // The arrays of the pass on the series under test are already taken.
    const double taken = engine_bytes(rp) + 8.0 * 3 * x.size();
    const double per_worker = engine_bytes(rp, false) + 8.0 * x.size();
    for (int i = 0; i < wanted; ++i) {
      if (i > 0 && !fits_in_memory(taken + (i + 1) * per_worker)) break;
      Worker w;
      if (!allocate_engine_arrays(rp, w.arrays, false)) break;
      w.y.resize(x.size());
      workers.push_back(std::move(w));
    }
  } catch (const std::bad_alloc&) {
  }
  if (workers.empty() || pvalues[3].size() != static_cast<std::size_t>(nres)) no_work_space(unit);

  const int threads = static_cast<int>(workers.size());
  report_progress(0, nres);
  for (int first = 0; first < nres; first += threads) {
    const int batch = std::min(threads, nres - first);
    // The shuffles are drawn in resample order from the one generator, so
    // its state runs exactly as with a single thread.
    for (int i = 0; i < batch; ++i) dshuf(x, workers[i].y, unit);
    run_parallel(batch, [&](int i) { run_pass(workers[i], v, rp, unit); });

    for (int i = 0; i < batch; ++i) {
      Worker& w = workers[i];
      for (const CapturedRecord& m : w.messages) write_record(m.unit, m.text);
      if (w.failure) std::rethrow_exception(w.failure);
      const std::size_t b = static_cast<std::size_t>(first + i);
      pvalues[0][b] = 1.0 - static_cast<double>(w.results.quantile);
      pvalues[1][b] = 1.0 - static_cast<double>(w.results.zero);
      pvalues[2][b] = 1.0 - static_cast<double>(w.results.reversibility);
      pvalues[3][b] = 1.0 - static_cast<double>(w.results.aliasing);
    }
    report_progress(first + batch, nres);
  }

  auto observed_p = [](float c) { return static_cast<float>(1.0 - static_cast<double>(c)); };
  ShuffledPValues s;
  s.quantile = share_at_or_below(pvalues[0], observed_p(observed.quantile));
  s.zero = share_at_or_below(pvalues[1], observed_p(observed.zero));
  s.reversibility = share_at_or_below(pvalues[2], observed_p(observed.reversibility));
  s.aliasing = share_at_or_below(pvalues[3], observed_p(observed.aliasing));
  return s;
}

}  // namespace quorvel
