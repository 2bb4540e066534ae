// The library's entry point: the settings checked in the caller's terms, the
// run planned and carried out with its files in memory, the result taken
// from what the pipeline computed.
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/clock.hpp"
#include "common/interrupt.hpp"
#include "common/memory_units.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "library/run_result.hpp"
#include "library/checked_run.hpp"
#include "pipeline/run_plan.hpp"
#include "quorvel/quorvel.hpp"
#include "report/head.hpp"
#include "report/setup_lines.hpp"

namespace quorvel {
namespace {

constexpr const char* kReportFile = "report";
constexpr const char* kPositiveFile = "k3+";
constexpr const char* kNegativeFile = "k3-";

// The per-thread state a call sets for its run, put back however it ends.
class CallScope {
 public:
  CallScope(MemoryFiles& files, const std::function<bool()>& should_stop) {
    keep_units_in_memory(&files);
    set_cancel_hook(should_stop);
  }
  ~CallScope() {
    keep_units_in_memory(nullptr);
    set_cancel_hook(nullptr);
  }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

bool chosen_frame(const Settings& s) { return s.bandwidth == 0 && s.frame_length == 0; }

[[noreturn]] void no_memory(const RunParameters& rp) {
  throw Error("not enough memory for a run of " + std::to_string(rp.N) + " values with frames of " +
              std::to_string(rp.M) + " points: take shorter frames or a narrower band");
}

// The run of `spec`, its report and value files written as the batch
// writes them for one run; the outcome holds its numbers.
void run_in_memory(std::span<const double> series, RunSpec spec, const Settings& settings, MemoryFiles& files,
                   RunOutcome& outcome) {
  CallScope scope(files, settings.should_stop);
  RunParameters sized;
  try {
    open_unit(kReportUnit, kReportFile, OpenStatus::Replace);
    write_title_line(kReportUnit);
    const float run_timer = processor_time();
    open_unit(kPosUnit, kPositiveFile, OpenStatus::Replace);
    write_version_line(kPosUnit);
    open_unit(kNegUnit, kNegativeFile, OpenStatus::Replace);
    write_version_line(kNegUnit);
    write_column_line(spec.icol, spec.ncols, kReportUnit);
    spec.nres = bootstrap_resamples(spec.nres, spec.iar);
    const Plan planned = plan(spec);
    sized = planned.rp;
    refuse_problem(planned, settings);
    run_plan(planned, DataSource{series, true}, run_timer, &outcome);
  } catch (const Stop& stop) {
    if (stop.cause == StopCause::Cancelled) throw Cancelled("the call was cancelled");
    if (stop.cause == StopCause::NoMemory) no_memory(sized);
    // Settings and data are checked before the run: a stop here is a fault.
    throw Error("the run stopped unexpectedly");
  } catch (const std::bad_alloc&) {
    no_memory(sized);
  }
}

}  // namespace

Result analyse(std::span<const double> series, const Settings& settings) {
  std::vector<Warning> warnings;
  const RunSpec spec = checked_run(series, settings, warnings);
  MemoryFiles files;
  RunOutcome outcome;
  try {
    run_in_memory(series, spec, settings, files, outcome);
  } catch (const Error&) {
    throw;
  } catch (const std::exception& e) {
    throw Error(std::string("unexpected failure: ") + e.what());
  }
  if (!outcome.computed) {
    throw DataError("the tests were not computed: only " + std::to_string(outcome.results.valid) +
                    " valid trispectrum values, fewer than the 12 they need; take longer frames or a wider band");
  }

  Result r = run_result(outcome);
  // A frame chosen for the series may break e <= 1/3 on short series; with
  // the bootstrap the p-values to read hold their level all the same.
  if (chosen_frame(settings) && r.resamples > 0) std::erase_if(r.warnings, [](const Warning& w) { return w.code == "consistency"; });
  r.warnings.insert(r.warnings.begin(), warnings.begin(), warnings.end());
  r.unit = spec.unitname;
  r.report = std::move(files.files[kReportFile]);
  r.positive_file = std::move(files.files[kPositiveFile]);
  r.negative_file = std::move(files.files[kNegativeFile]);
  return r;
}

}  // namespace quorvel
