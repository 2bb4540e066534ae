#include "pipeline/run_plan.hpp"

#include <random>
#include <utility>

#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/threads.hpp"
#include "common/version.hpp"
#include "report/head.hpp"
#include "report/setup_lines.hpp"
#include "stats/dshuf.hpp"

namespace quorvel {
namespace {

// The shuffles' generator and the thread count of a run that names its
// own, put back however the run ends.
class RunScope {
 public:
  explicit RunScope(const RunSpec& spec) : seeded_(spec.seed.has_value()), threads_(spec.threads > 0) {
    if (seeded_) {
      draws_.seed(*spec.seed);
      use_own_draws(&draws_);
    }
    if (threads_) set_own_worker_threads(spec.threads);
  }
  ~RunScope() {
    if (seeded_) use_own_draws(nullptr);
    if (threads_) set_own_worker_threads(0);
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  bool seeded_, threads_;
  std::mt19937 draws_;
};

}  // namespace

bool run_plan(const Plan& plan, const DataSource& data, float run_timer, RunOutcome* outcome) {
  const RunParameters& rp = plan.rp;
  if (rp.e > 0.3333f) write_consistency_warning(rp);
  write_positive_count(plan.grid.npos);
  write_other_counts(plan.grid.nneg, plan.grid.npos + plan.grid.nneg, plan.grid.na);

  std::vector<Diagnostic> notices = plan.notices;
  RunScope scope(plan.spec);
  RunArrays arrays;
  bool computed = false;
  {
    DiagnosticCapture capture(notices);
    if (!allocate_run_arrays(arrays, rp)) {
      send(kAllOutputs, listed("Unable to allocate work space for arrays in top"));
      stop_for_memory();
    }
    computed = tri(rp, arrays, data, outcome);
  }
  if (outcome) {
    outcome->rp = rp;
    outcome->arrays = std::move(arrays);
    outcome->notices = std::move(notices);
  }
  head(kVersionMonth, kVersionDay, kVersionYear, run_timer, kReportUnit);
  return computed;
}

}  // namespace quorvel
