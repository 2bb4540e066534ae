#include "cli/batch_outputs.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/result_formats.hpp"
#include "common/units.hpp"
#include "input/top.hpp"
#include "library/run_result.hpp"

namespace quorvel::cli {
namespace {

constexpr const char* kSummaryFile = "Quorvel-summary.csv";

}  // namespace

// These files are written beside the run's own outputs and under the same
// rule: never over a path that is no regular file or is one of the inputs.
bool BatchOutputs::may_write(const std::string& name) {
  if (output_refusal(name) == 0) return true;
  const std::string reason = refusal_reason();
  report_failure(name, reason.empty() ? name + " is not a regular file" : reason);
  return false;
}

void BatchOutputs::add(const RunOutcome& outcome) {
  if (!summary_started_) {
    summary_started_ = true;
    if (may_write(kSummaryFile)) {
      summary_.open(kSummaryFile, std::ios::binary | std::ios::trunc);
      summary_ << csv_header() << std::flush;
      if (!summary_) report_failure(kSummaryFile, errno ? std::strerror(errno) : "");
    }
  }
  const std::string stem = run_output_stem(outcome.rp.datafile);
  const std::string json_name = stem + "_quorvel.json";
  const std::string partial = json_name + ".partial";
  try {
    // Without the per-value table, which the value files and the report
    // already hold: for long frames it runs to millions of values.
    const Result r = run_result(outcome, false);
    if (may_write(json_name) && may_write(partial)) {
      // Written whole under a temporary name, then put in place.
      std::ofstream json(partial, std::ios::binary | std::ios::trunc);
      json << result_json(stem, r).dump() << '\n';
      json.close();
      if (!json) {
        report_failure(json_name, errno ? std::strerror(errno) : "");
        std::remove(partial.c_str());
      } else if (std::rename(partial.c_str(), json_name.c_str()) != 0) {
        report_failure(json_name, std::strerror(errno));
        std::remove(partial.c_str());
      }
    }
    if (summary_.is_open() && summary_) {
      summary_ << csv_row(stem, r) << std::flush;
      if (!summary_) report_failure(kSummaryFile, errno ? std::strerror(errno) : "");
    }
  } catch (const std::exception& e) {
    // A run too large for its JSON in memory must not stop the batch.
    std::remove(partial.c_str());
    report_failure(json_name, e.what());
  }
}

void BatchOutputs::report_failure(const std::string& name, const std::string& reason) {
  std::cerr << " **** Error on writing " << name << (reason.empty() ? "" : " " + reason) << '\n';
  failed_ = true;
}

}  // namespace quorvel::cli
