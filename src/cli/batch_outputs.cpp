#include "cli/batch_outputs.hpp"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>

#include "cli/result_formats.hpp"
#include "input/top.hpp"
#include "library/run_result.hpp"

namespace quorvel::cli {
namespace {

constexpr const char* kSummaryFile = "Quorvel-summary.csv";

std::string file_text(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

BatchOutputs::BatchOutputs() : summary_(kSummaryFile, std::ios::binary | std::ios::trunc) {
  summary_ << csv_header() << std::flush;
  if (!summary_) report_failure(kSummaryFile, errno ? std::strerror(errno) : "");
}

void BatchOutputs::add(const RunOutcome& outcome) {
  const std::string stem = run_output_stem(outcome.rp.datafile);
  const std::string json_name = stem + "_quorvel.json";
  try {
    const Result r = run_result(outcome, file_text(stem + "_Quorvel.out"));
    std::ofstream json(json_name, std::ios::binary | std::ios::trunc);
    json << result_json(stem, r).dump() << '\n';
    json.close();
    if (!json) report_failure(json_name, errno ? std::strerror(errno) : "");

    if (summary_.is_open() && summary_) {
      summary_ << csv_row(stem, r) << std::flush;
      if (!summary_) report_failure(kSummaryFile, errno ? std::strerror(errno) : "");
    }
  } catch (const std::exception& e) {
    // A run too large for its JSON in memory must not stop the batch.
    report_failure(json_name, e.what());
  }
}

void BatchOutputs::report_failure(const std::string& name, const std::string& reason) {
  std::cerr << " **** Error on writing " << name << (reason.empty() ? "" : " " + reason) << '\n';
  failed_ = true;
}

}  // namespace quorvel::cli
