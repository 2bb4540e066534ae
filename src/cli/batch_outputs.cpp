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
  if (!summary_) report_failure(kSummaryFile);
}

void BatchOutputs::add(const RunOutcome& outcome) {
  const std::string stem = run_output_stem(outcome.rp.datafile);
  const Result r = run_result(outcome, file_text(stem + "_Quorvel.out"));

  const std::string json_name = stem + "_quorvel.json";
  std::ofstream json(json_name, std::ios::binary | std::ios::trunc);
  json << result_json(stem, r).dump() << '\n';
  json.close();
  if (!json) report_failure(json_name);

  if (summary_.is_open() && summary_) {
    summary_ << csv_row(stem, r) << std::flush;
    if (!summary_) report_failure(kSummaryFile);
  }
}

void BatchOutputs::report_failure(const std::string& name) {
  std::cerr << " **** Error on writing " << name << (errno ? std::string(" ") + std::strerror(errno) : "") << '\n';
  failed_ = true;
}

}  // namespace quorvel::cli
