#pragma once
#include <span>
#include <string>
#include <vector>

#include "common/run_parameters.hpp"

namespace quorvel {

// Reads the rows is ... ie of the data file on unit 2 by the format rp.fmt,
// each with its ncols values, and keeps the analysed column rp.icol in x,
// which grows to N as the rows arrive. mode 'a': values only; mode 'm': one
// 25-character date-and-time text per row as well, appended to dates (which
// is emptied first). Stops with its messages on a short file, a bad field
// or a column that memory cannot hold.
void datc(std::vector<double>& x, std::vector<std::string>& dates, const RunParameters& rp, char mode);

}  // namespace quorvel
