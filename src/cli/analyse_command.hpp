#pragma once
// `quorvel analyse`: the settings of a run control file as options, one
// analysis per input file, the results as text, JSON or CSV.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/read_column.hpp"
#include "quorvel/quorvel.hpp"

namespace quorvel::cli {

struct AnalyseOptions {
  std::vector<std::string> files;  // "-" is standard input
  std::string column = "1";        // 1-based number or header name
  TableLayout layout;              // --delimiter, --header
  std::string unit = "Hz";
  double rate = 1.0;
  std::string band;     // "LO,HI" frequencies (kHz, Hz)
  std::string periods;  // "LONGEST,SHORTEST" (a time unit)
  double taper = 0.0;
  double bandwidth = 0.0;      // 0: from the frame
  std::string frame = "auto";  // "auto" or M
  std::optional<int> ar;  // none: min(10, N / 10)
  double ar_threshold = 0.05;
  int start = 1, end = 0;
  int resamples = 199;
  double quantile = 0.8;
  std::optional<std::uint32_t> seed;
  std::string format = "text";  // text, json, csv
  std::string output;           // folder for the report and value files
  bool keep_going = false;
  bool quiet = false;
};

// Options that do not go together or do not make a setting.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The library settings of the options, checked as far as they go without
// a series (throws UsageError, naming the option).
Settings settings_of(const AnalyseOptions& o);

// The name of the outputs of an input: its base name up to the first point.
std::string output_stem(const std::string& file);

// Runs every input; returns the exit status (0, or 1 when one failed).
int run_analyse(const AnalyseOptions& o);

}  // namespace quorvel::cli
