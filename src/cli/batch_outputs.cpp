#include "cli/batch_outputs.hpp"

#include <unistd.h>

#include <fstream>
#include <iostream>

#include "cli/result_formats.hpp"
#include "common/output_file.hpp"
#include "input/top.hpp"
#include "library/run_result.hpp"

namespace quorvel::cli {
namespace {

constexpr const char* kSummaryFile = "Quorvel-summary.csv";

}  // namespace

void BatchOutputs::add(const RunReport& run) {
  // A run that stopped before it opened its data file is named by its
  // control file; it has no stem for a JSON file.
  const bool has_stem = !run.datafile.empty();
  const std::string name = has_stem ? run_output_stem(run.datafile) : run.control;
  const std::string json_name = name + "_quorvel.json";
  if (run.end != RunEnd::Completed || !run.outcome) {
    if (has_stem) write_json(json_name, json_text(failure_json(name, run.message)) + '\n');
    rows_ += csv_failure_row(name, run.message);
    write_summary();
    return;
  }
  std::string row;
  try {
    // Without the per-value table, which the value files and the report
    // already hold: for long frames it runs to millions of values.
    const Result r = run_result(*run.outcome, false);
    row = csv_row(name, r);
    write_json(json_name, json_text(result_json(name, r)) + '\n');
  } catch (const std::exception& e) {
    // A run too large for its JSON in memory must not stop the batch; the
    // file of its name then says so rather than keep an earlier run's numbers.
    report_failure(json_name, e.what());
    write_json(json_name, json_text(failure_json(name, std::string("no JSON of the run: ") + e.what())) + '\n');
    if (row.empty()) row = csv_failure_row(name, std::string("no JSON of the run: ") + e.what());
  }
  rows_ += row;
  write_summary();
}

void BatchOutputs::finish() { write_summary(); }

void BatchOutputs::write_json(const std::string& name, const std::string& text) {
  const int status = write_output_file(name, text);
  if (status == 0) return;
  report_failure(name, output_failure_text(status));
  // What cannot be replaced by the run's own file is removed, unless the
  // name was refused (it belongs to something else).
  if (status > 0 && output_refusal(name) == 0) ::unlink(name.c_str());
}

void BatchOutputs::write_summary() {
  const int status = write_output_file(kSummaryFile, csv_header() + rows_);
  // Written after every run: a summary that cannot be is reported once.
  if (status != 0 && !summary_failed_) report_failure(kSummaryFile, output_failure_text(status));
  summary_failed_ = summary_failed_ || status != 0;
}

void BatchOutputs::report_failure(const std::string& name, const std::string& reason) {
  std::cerr << " **** Error on writing " << name << (reason.empty() ? "" : " " + reason) << '\n';
  failed_ = true;
}

}  // namespace quorvel::cli
