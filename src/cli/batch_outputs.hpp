#pragma once
// What a batch writes beside its reports for programs to read: each run's
// numbers as <stem>_quorvel.json (the JSON of `quorvel analyse`) and
// Quorvel-summary.csv with a row per run of the batch, in list order.
#include <string>

#include "input/batch.hpp"

namespace quorvel::cli {

class BatchOutputs {
 public:
  // After each run: its JSON file (a run that did not complete gets one
  // that holds its error or notice) and its summary row; the summary is
  // written whole each time.
  void add(const RunReport& run);
  // At the end of the batch however it ended (but for a signal): the
  // summary is written afresh even when no run ended.
  void finish();
  // True when one of these files could not be written (reported on
  // standard error; the batch then ends with exit status 1).
  bool failed() const { return failed_; }

 private:
  void write_json(const std::string& name, const std::string& text);
  void write_summary();
  void report_failure(const std::string& name, const std::string& reason);
  std::string rows_;
  bool summary_failed_ = false;
  bool failed_ = false;
};

}  // namespace quorvel::cli
