#pragma once
// What a batch writes beside its reports for programs to read: each
// completed run's numbers as <stem>_quorvel.json (the JSON of `quorvel
// analyse`) and Quorvel-summary.csv with a row per completed run.
#include <fstream>
#include <string>

#include "pipeline/tri.hpp"

namespace quorvel::cli {

class BatchOutputs {
 public:
  // After a completed run: its JSON file and its summary row (the summary
  // is started afresh at the first completed run of the batch).
  void add(const RunOutcome& outcome);
  // True when one of these files could not be written (reported on
  // standard error; the batch then ends with exit status 1).
  bool failed() const { return failed_; }

 private:
  void report_failure(const std::string& name, const std::string& reason);
  bool may_write(const std::string& name);
  std::ofstream summary_;
  bool summary_started_ = false;
  bool failed_ = false;
};

}  // namespace quorvel::cli
