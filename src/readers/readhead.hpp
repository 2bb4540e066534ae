#pragma once
// The two header lines of a data file.
#include <string>

#include "common/run_parameters.hpp"

namespace quorvel {

struct DataHeader {
  std::string title;  // the first line, 80 characters
  int nrows = 0, ncols = 0;
  float rate = 0;     // sampling rate, or the sampling interval of a time unit
  std::string fmt;    // the record format of the data rows
};

// Reads the header of the data file on unit 2 for a run in the sampling
// unit `iunit` (which decides between rate and interval, and against which
// the header's unit is checked). Stops with its message on any failure.
DataHeader readhead(SamplingUnit iunit);

}  // namespace quorvel
