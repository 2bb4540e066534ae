#include "pipeline/resampl.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <new>
#include <utility>
#include <vector>

#include "common/diagnostics.hpp"
#include "common/interrupt.hpp"
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
  std::vector<Diagnostic> notices;
  PassResults results;
  std::exception_ptr failure;
};

void run_pass(Worker& w, const FftTable& v, const RunParameters& rp, int unit) {
  w.messages.clear();
  w.notices.clear();
  w.failure = nullptr;
  w.results = PassResults{};  // a pass too thin for its tests reports p-values of 1
  RecordCapture capture(w.messages);
  DiagnosticCapture notices(w.notices);
  try {
    trisrun(w.y, v, rp, w.arrays, w.results, unit, PassUse::ResultsOnly);
  } catch (...) {
    w.failure = std::current_exception();
  }
}

[[noreturn]] void no_work_space(int unit) {
  writel(unit, "Unable to allocate work space in resampl");
  stop_for_memory();
}

}  // namespace

float share_at_or_above(std::span<const double> resample_scores, double observed_score) {
  const auto count = std::count_if(resample_scores.begin(), resample_scores.end(),
                                   [observed_score](double score) { return score >= observed_score; });
  return static_cast<float>(count) / static_cast<float>(resample_scores.size());
}

ShuffledPValues resampl(std::span<const double> x, const FftTable& v, const RunParameters& rp,
                        const PassResults& observed, int unit) {
  const int nres = rp.nres;
  std::array<std::vector<double>, 4> scores;  // quantile, zero, reversibility, aliasing
  std::vector<Worker> workers;
  const int wanted = std::min(worker_threads(), nres);
  try {
    for (auto& p : scores) p.resize(static_cast<std::size_t>(nres));
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
  if (workers.empty() || scores[3].size() != static_cast<std::size_t>(nres)) no_work_space(unit);

  const int threads = static_cast<int>(workers.size());
  report_progress(0, nres);
  for (int first = 0; first < nres; first += threads) {
    check_interrupt();  // a safe point between batches of resamples
    const int batch = std::min(threads, nres - first);
    // The shuffles are drawn in resample order from the one generator, so
    // its state runs exactly as with a single thread.
    for (int i = 0; i < batch; ++i) dshuf(x, workers[i].y, unit);
    run_parallel(batch, [&](int i) { run_pass(workers[i], v, rp, unit); });

    for (int i = 0; i < batch; ++i) {
      Worker& w = workers[i];
      for (const CapturedRecord& m : w.messages) write_record(m.unit, m.text);
      for (Diagnostic& d : w.notices) post_diagnostic(std::move(d.code), std::move(d.text));
      if (w.failure) std::rethrow_exception(w.failure);
      const std::size_t b = static_cast<std::size_t>(first + i);
      scores[0][b] = w.results.quantile_score;
      scores[1][b] = w.results.zero_score;
      scores[2][b] = w.results.reversibility_score;
      scores[3][b] = w.results.aliasing_score;
    }
    report_progress(first + batch, nres);
  }

  // Ranked by the full-precision scores: the 32-bit p-values of a strongly
  // nonlinear series and of its resamples would all be 0 and tie.
  ShuffledPValues s;
  s.quantile = share_at_or_above(scores[0], observed.quantile_score);
  s.zero = share_at_or_above(scores[1], observed.zero_score);
  s.reversibility = share_at_or_above(scores[2], observed.reversibility_score);
  s.aliasing = share_at_or_above(scores[3], observed.aliasing_score);
  return s;
}

}  // namespace quorvel
